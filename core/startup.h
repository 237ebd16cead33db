// Start-up: the command line, activation, the data directory and the printed texts.
#pragma once

#include <cstdint>

struct tHandle;
typedef struct _GtkApplication GtkApplication;

// The whole licence text, as printed by --bsd and shown in the licence window.
extern const char RAVLOX_LICENCE_TEXT[];

struct tArgList {
    int count;
    char **args;
};

int32_t handle_parse_option(tHandle *h, const char *program, const char *arg);
void handle_activate(GtkApplication *application, void *kept_list);
int32_t handle_apply_options(tHandle *h, const tArgList *kept);
int32_t handle_create_data_dir(tHandle *h);
int32_t handle_read_configs(tHandle *h);
void print_banner();
void print_version();
void print_licence();
void print_help(const char *program);
int ravlox_main(int argc, char **argv);
