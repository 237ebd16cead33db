// The equalizer window.
#pragma once

#include <cstdint>

#include "config/config.h"
#include "gui/skin_window.h"
#include "gui/keys.h"

struct tHandle;
struct tHandleTheme;

constexpr int32_t EQ_WIDTH = 275;
constexpr int32_t EQ_HEIGHT = 116;
constexpr int32_t EQ_TITLE_HEIGHT = 14;
constexpr int32_t EQ_BODY_HEIGHT = 102;
constexpr int32_t EQ_VALUES = 11;
constexpr int32_t EQ_BOXES = 19;
constexpr int32_t EQ_MENU_SLOTS = 16;

// Hit-box ids of the equalizer window, in test order.
enum : int32_t {
    EQ_BOX_ON = 24,
    EQ_BOX_AUTO = 25,
    EQ_BOX_PRESETS = 26,
    EQ_BOX_LEVEL_TOP = 27,
    EQ_BOX_LEVEL_MIDDLE = 28,
    EQ_BOX_LEVEL_BOTTOM = 29,
    EQ_BOX_PREAMP = 30,
    EQ_BOX_BAND_1 = 31,
    EQ_BOX_BAND_2 = 32,
    EQ_BOX_BAND_3 = 33,
    EQ_BOX_BAND_4 = 34,
    EQ_BOX_BAND_5 = 35,
    EQ_BOX_BAND_6 = 36,
    EQ_BOX_BAND_7 = 37,
    EQ_BOX_BAND_8 = 38,
    EQ_BOX_BAND_9 = 39,
    EQ_BOX_BAND_10 = 40,
    EQ_BOX_BAND_LAST = EQ_BOX_BAND_10,
    EQ_BOX_TITLE_BUTTON = 41,
    EQ_BOX_CLOSE = 42,
};

struct tHandleWindowEqualizer {
    tHandleConfig config;
    GtkApplication *application;
    GdkPixbuf *frame;
    GdkPixbuf *title_pixbuf;
    GdkPixbuf *body_pixbuf;
    GtkWidget *window_handle;
    GtkWidget *box;
    GtkWidget *title_picture;
    GtkWidget *body_picture;
    GtkWidget *window;
    GtkGesture *click;
    GtkGesture *drag;
    GdkPixbuf *background;
    tHandleTheme *theme;
    tHandle *handle;
    int32_t pressed;
    int32_t press_x;
    int32_t press_y;
    int32_t on;
    int32_t automatic;
    int32_t value[EQ_VALUES];
    int32_t thumb_y[EQ_VALUES];
    tHitBox boxes[EQ_BOXES];
    GtkWidget *popover;
    GMenu *menu_model;
    GMenuItem *menu_items[EQ_MENU_SLOTS];
    GSimpleAction *actions[EQ_MENU_SLOTS];
    int32_t menu_count;
    // The factor the pictures are enlarged by (at least 1).
    int32_t scale;
    // What the pictures show: the title and body rows, scaled without filtering.
    GdkPaintable *title_paintable;
    GdkPaintable *body_paintable;
    tSkinInput input;
    // Keys here carry out the main window's rows.
    tKeyMachine key_machine;
};

int32_t window_equalizer_init(tHandleWindowEqualizer *w, tHandle *h, tHandleTheme *theme,
                              GtkApplication *application);
int32_t window_equalizer_read_config(tHandleWindowEqualizer *w);
int32_t window_equalizer_set_value(tHandleWindowEqualizer *w, int32_t index, int32_t value);
int32_t window_equalizer_set_enabled(tHandleWindowEqualizer *w, int32_t flag);
int32_t window_equalizer_show(tHandleWindowEqualizer *w);
int32_t window_equalizer_hide(tHandleWindowEqualizer *w);
int32_t window_equalizer_set_scale(tHandleWindowEqualizer *w, uint32_t scale);
int32_t window_equalizer_refresh(tHandleWindowEqualizer *w);
int32_t window_equalizer_redraw(tHandleWindowEqualizer *w);

// The drag formula: the value a slider takes with the pointer at window height y, for a
// window whose current height is window_height.
int32_t window_equalizer_drag_value(double y, int32_t window_height);
// The response curve: the graph row (0..19) of each of the 113 graph columns.
void window_equalizer_curve_rows(const int32_t value[EQ_VALUES], int32_t rows[113]);
// Reads a raw presets file into value[], clamped to -100..100; returns how many were read.
int32_t window_equalizer_read_presets(const char *path, int32_t value[EQ_VALUES]);
// Writes the eleven values as a raw presets file; 0 or -1.
int32_t window_equalizer_write_presets(const char *path, const int32_t value[EQ_VALUES]);
