// The skinned-window framework (hit boxes, sliders) and the GUI module owning the windows.
#pragma once

#include <cstdint>

#include "config/config.h"
#include "gui/window_equalizer.h"
#include "gui/window_main.h"
#include "gui/window_playlist.h"
#include "gui/window_preferences.h"
#include "theme/theme.h"

struct tHandle;
struct tHandlePlaylist;
typedef struct _GtkApplication GtkApplication;
typedef struct _GtkWidget GtkWidget;

struct tHitBox {
    int32_t id;
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

struct tHandleGui {
    GtkApplication *application;
    tHandleConfig config;
    tHandleTheme theme;
    tHandleWindowEqualizer window_equalizer;
    tHandleWindowMain window_main;
    tHandleWindowPlaylist window_playlist;
    tHandleWindowPreferences window_preferences;
    tHandle *handle;
};

int32_t gui_hitbox_set(tHitBox *box, int32_t id, int32_t x, int32_t y, int32_t width,
                       int32_t height);
int32_t gui_hitbox_from_element(int32_t base_width, int32_t base_height, tHitBox *box, int32_t id,
                                int32_t element);
int32_t gui_hitbox_disable(tHitBox *box, int32_t id);
int32_t gui_hitbox_test(const tHitBox *boxes, int32_t count, GtkWidget *widget, int32_t base_width,
                        int32_t base_height, double x, double y);
int32_t gui_slider_value(int32_t minimum, int32_t maximum, int32_t vertical, GtkWidget *widget,
                         int32_t base_width, int32_t base_height, int32_t start, int32_t end,
                         double x, double y);

int32_t gui_init(tHandleGui *g, tHandle *h, GtkApplication *application, tHandlePlaylist *playlist);
int32_t gui_read_config(tHandleGui *g);
int32_t gui_parse_option(tHandleGui *g, const char *arg);
int32_t gui_set_scale(tHandleGui *g, int32_t factor);
int32_t gui_show_playlist(tHandleGui *g, int32_t flag);
int32_t gui_show_equalizer(tHandleGui *g, int32_t flag);
int32_t gui_show_preferences(tHandleGui *g, int32_t flag);
int32_t gui_refresh(tHandleGui *g);
int32_t gui_add_preferences_page(tHandleGui *g, GtkWidget *page, const char *tab);
