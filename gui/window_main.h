// The main window: drawing, timer and input.
#pragma once

#include <cstdint>
#include <pthread.h>

#include "core/types.h"
#include "config/config.h"
#include "gui/skin_window.h"
#include "gui/keys.h"
#include "gui/visualizer.h"
#include "gui/window_licence.h"

struct tHandle;
struct tHandleTheme;
typedef struct _GtkEventController GtkEventController;

constexpr int WINDOW_MAIN_WIDTH = 275;
constexpr int WINDOW_MAIN_HEIGHT = 116;
// The redraw tick's period.
constexpr unsigned WINDOW_MAIN_TICK_MS = 19;
constexpr int WINDOW_MAIN_TITLE_HEIGHT = 14;
constexpr int WINDOW_MAIN_HITBOXES = 25;
constexpr int WINDOW_MAIN_MENU_SLOTS = 16;
// Rectangles of the frame that change while playing (visualizer, ticker, time, position
// bar), each shown by a picture of its own over the body, so that a tick hands GTK only
// what changed.
using tMainPart = tSkinRect;
constexpr tMainPart WINDOW_MAIN_PARTS[] = {
    {24, 44, 76, 15}, {111, 27, 154, 6}, {48, 26, 51, 13}, {16, 72, 248, 10}};
constexpr int WINDOW_MAIN_PART_COUNT = 4;
enum : int32_t { MAIN_PART_VISUALIZER, MAIN_PART_TICKER, MAIN_PART_TIME, MAIN_PART_POSITION };
static_assert(WINDOW_MAIN_PARTS[MAIN_PART_VISUALIZER].width == 76 && WINDOW_MAIN_PARTS[MAIN_PART_TICKER].width == 154 &&
              WINDOW_MAIN_PARTS[MAIN_PART_TIME].width == 51 && WINDOW_MAIN_PARTS[MAIN_PART_POSITION].width == 248);
static_assert(sizeof WINDOW_MAIN_PARTS / sizeof WINDOW_MAIN_PARTS[0] == WINDOW_MAIN_PART_COUNT);

// Ids of the hit boxes and keys; the release of an id performs its action.
enum : int32_t {
    MAIN_ID_NONE = 0,
    MAIN_ID_MENU = 1,
    MAIN_ID_STRIP_2 = 2,
    MAIN_ID_LICENCE = 3,
    MAIN_ID_SCALE = 4,
    MAIN_ID_VISUALIZER = 5,
    MAIN_ID_EQUALIZER = 6,
    MAIN_ID_PLAYLIST = 7,
    MAIN_ID_PREV = 8,
    MAIN_ID_PLAY = 9,
    MAIN_ID_PAUSE = 10,
    MAIN_ID_STOP = 11,
    MAIN_ID_NEXT = 12,
    MAIN_ID_EJECT = 13,
    MAIN_ID_SHUFFLE = 14,
    MAIN_ID_REPEAT = 15,
    MAIN_ID_VOLUME = 16,
    MAIN_ID_BALANCE = 17,
    MAIN_ID_POSITION = 18,
    MAIN_ID_TIME = 19,
    MAIN_ID_TITLE_MENU = 20,
    MAIN_ID_MINIMIZE = 21,
    MAIN_ID_BUTTON4 = 22,
    MAIN_ID_CLOSE = 23,
    MAIN_ID_VOLUME_UP = 76,
    MAIN_ID_VOLUME_DOWN = 77,
    MAIN_ID_BALANCE_LEFT = 78,
    MAIN_ID_BALANCE_RIGHT = 79,
    MAIN_ID_JUMP = 80,
};

// Everything a composed frame is made of: two frames with equal inputs are the same picture.
// The fields from `time` on change only the parts' pictures.
struct tMainFrameInputs {
    int32_t volume, balance;
    int32_t clutterbar, equalizer_button, playlist_button, shuffle, repeat;
    int32_t status, pressed, channels;
    uint32_t generation; // of the text strips and the background
    int32_t time;     // seconds shown
    int32_t ticker_x; // source x of the title strip, -1 for a strip shown unscrolled
    int32_t position_thumb_x;
    int32_t visualizer_mode;
    uint8_t visualizer[VISUALIZER_HEIGHT * VISUALIZER_STRIDE]; // zero while off
};

struct tHandleWindowMain {
    tHandleConfig config;
    GtkApplication *application;
    GdkPixbuf *frame;
    GdkPixbuf *title_pixbuf; // rows 0-13 of frame, sharing its pixels
    GdkPixbuf *body_pixbuf;  // rows 14-115 of frame, sharing its pixels
    GtkWidget *window_handle;
    GtkWidget *box;
    GtkWidget *title_picture;
    GtkWidget *body_picture;
    GtkWidget *window;
    GtkWidget *popover;
    GMenu *menu;
    GMenuItem *menu_items[WINDOW_MAIN_MENU_SLOTS];
    GSimpleAction *actions[WINDOW_MAIN_MENU_SLOTS];
    int32_t menu_count;
    GtkGesture *click;
    GtkGesture *drag;
    GtkEventController *keys;
    tKeyMachine key_machine;
    GdkPixbuf *background;
    GdkPixbuf *text_title;
    GdkPixbuf *text_rate;
    GdkPixbuf *text_bitrate;
    tHandleTheme *theme;
    tHandleVisualizer visualizer;
    tHandleWindowLicence licence;
    tHandle *handle;
    tSongInfo song;
    int32_t pressed;
    int32_t press_x;
    int32_t press_y;
    int32_t clutterbar;
    int32_t equalizer_button;
    int32_t playlist_button;
    int32_t shuffle;
    int32_t repeat;
    int32_t countdown;
    int32_t status;
    int32_t volume;
    int32_t balance;
    int32_t volume_thumb_x;
    int32_t balance_thumb_x;
    int32_t position_thumb_x;
    int32_t ticker_offset;
    tHitBox hitboxes[WINDOW_MAIN_HITBOXES];
    pthread_mutex_t mutex;
    // What the pictures show: the title and body rows, scaled without filtering.
    GdkPaintable *title_paintable;
    GdkPaintable *body_paintable;
    uint32_t scale;
    GtkWidget *overlay; // the body picture with the parts' pictures over it
    GdkPixbuf *part_pixbufs[WINDOW_MAIN_PART_COUNT]; // views into frame
    GdkPaintable *part_paintables[WINDOW_MAIN_PART_COUNT];
    GtkWidget *part_pictures[WINDOW_MAIN_PART_COUNT];
    // The redraw tick runs only while something on screen moves: its GLib source (0 while
    // none runs) and how many ticks in a row changed nothing.
    uint32_t tick_source;
    int32_t still_ticks;
    int32_t visible; // 1 while the window is mapped and not minimised
    // The inputs of the frame last composed (valid while `composed` is 1), and a count
    // raised whenever a text strip or the background is drawn anew.
    tMainFrameInputs shown;
    int32_t composed;
    uint32_t generation;
    // Times the pictures told GTK that their contents changed, and times GTK drew them.
    uint32_t invalidations;
    uint32_t snapshots;
    tSkinInput input;
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
// Flips the shuffle or the repeat switch (by its button's id) as its button does.
int32_t window_main_toggle_switch(tHandleWindowMain *w, int32_t id);
int window_main_tick(void *record);
// Starts the redraw tick unless it runs or the window cannot be seen; called after every
// event and input, since those are what set something on screen moving.
void window_main_wake(tHandleWindowMain *w);

// Pieces of the above, usable without a display (the benchmark and the tests use them).
// Creates the frame, its two row views and the background image.
int32_t window_main_create_images(tHandleWindowMain *w);
// Takes a fresh song-info record into the copy, re-rendering the text strips that changed.
void window_main_update_song(tHandleWindowMain *w, const tSongInfo *fresh);
// Rebuilds the background image from the theme; the or of the draw results.
int32_t window_main_compose_background(tHandleWindowMain *w);
// Composes the frame: background, controls, displays, pressed look, visualizer.
void window_main_compose(tHandleWindowMain *w);

// Input (window_main_input.cpp).
int32_t window_main_release(tHandleWindowMain *w, int32_t id);
// The element drawn while `id` is held (for a switch, its look while off), or SKIN_NO_ELEMENT.
int32_t window_main_pressed_look(int32_t id);
// The main window's keys, for its own key machine and those of the other windows.
tKeyTarget window_main_key_target(tHandleWindowMain *w);
// Its key rows alone, for tools that type them.
const tKeyRow *window_main_key_rows(int32_t *count);
void window_main_build_hitboxes(tHandleWindowMain *w);
int32_t window_main_connect_input(tHandleWindowMain *w);
int32_t window_main_build_menu(tHandleWindowMain *w);
