// The main window: drawing, timer and input.
#pragma once

#include <cstdint>

struct tHandle;
struct tHandleTheme;
typedef struct _GtkApplication GtkApplication;

struct tHandleWindowMain {
    tHandle *handle;
    tHandleTheme *theme;
    int32_t status;
    int32_t volume;
    int32_t balance;
    int32_t shuffle;
    int32_t repeat;
    int32_t equalizer_button;
    int32_t playlist_button;
};

int32_t window_main_init(tHandleWindowMain *w, tHandle *h, tHandleTheme *theme,
                         GtkApplication *application);
int32_t window_main_read_config(tHandleWindowMain *w);
int32_t window_main_show(tHandleWindowMain *w);
int32_t window_main_set_scale(tHandleWindowMain *w, uint32_t scale);
int32_t window_main_refresh(tHandleWindowMain *w);
int32_t window_main_set_status(tHandleWindowMain *w, int32_t status);
int32_t window_main_set_volume(tHandleWindowMain *w, int32_t volume);
int32_t window_main_set_balance(tHandleWindowMain *w, int32_t balance);
int32_t window_main_set_equalizer_button(tHandleWindowMain *w, int32_t flag);
int32_t window_main_set_playlist_button(tHandleWindowMain *w, int32_t flag);
int32_t window_main_get_shuffle_repeat(tHandleWindowMain *w, int32_t *shuffle, int32_t *repeat);
int32_t window_main_redraw(tHandleWindowMain *w);
