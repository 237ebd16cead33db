// The GUI module: the theme and the four windows, "gui.config" and the "--gui." options.
// The hit-box framework is in gui/hitbox.h.
#pragma once

#include <cstdint>

#include "config/config.h"
#include "gui/dock.h"
#include "gui/hitbox.h"
#include "gui/window_equalizer.h"
#include "gui/window_fileinfo.h"
#include "gui/window_jump.h"
#include "gui/window_main.h"
#include "gui/window_playlist.h"
#include "gui/window_preferences.h"
#include "theme/theme.h"

struct tHandle;
struct tHandlePlaylist;
typedef struct _GtkApplication GtkApplication;
typedef struct _GtkWidget GtkWidget;

struct tHandleGui {
    GtkApplication *application;
    tHandleConfig config;
    tHandleTheme theme;
    tHandleWindowEqualizer window_equalizer;
    tHandleWindowMain window_main;
    tHandleWindowPlaylist window_playlist;
    tHandleWindowPreferences window_preferences;
    tHandle *handle;
    tHandleDock dock; // where the windows stand on the screen
    tHandleWindowJump window_jump;
    tHandleWindowFileInfo window_fileinfo;
};

int32_t gui_init(tHandleGui *g, tHandle *h, GtkApplication *application, tHandlePlaylist *playlist);
int32_t gui_read_config(tHandleGui *g);
int32_t gui_parse_option(tHandleGui *g, const char *arg);
int32_t gui_set_scale(tHandleGui *g, int32_t factor);
int32_t gui_show_playlist(tHandleGui *g, int32_t flag);
int32_t gui_show_equalizer(tHandleGui *g, int32_t flag);
int32_t gui_show_preferences(tHandleGui *g, int32_t flag);
int32_t gui_refresh(tHandleGui *g);
int32_t gui_add_preferences_page(tHandleGui *g, GtkWidget *page, const char *tab);

// The scale factors the windows accept; others (a hand-edited "gui.config") are brought into
// this range.
constexpr int32_t GUI_SCALE_MIN = 1;
constexpr int32_t GUI_SCALE_MAX = 16;
