// The playlist window.
#pragma once

#include <cstdint>
#include <pthread.h>

#include "config/config.h"
#include "core/types.h"
#include "gui/skin_window.h"
#include "gui/keys.h"

struct tHandle;
struct tHandleTheme;
struct tHandlePlaylist;
typedef struct _GtkEventController GtkEventController;

constexpr int WINDOW_PLAYLIST_HITBOXES = 33;
constexpr int WINDOW_PLAYLIST_MENUS = 5;
constexpr int WINDOW_PLAYLIST_SORT_ITEMS = 16;
// The check buttons of the "Playlist" page, in order.
enum : int32_t {
    WINDOW_PLAYLIST_SHOWFULL,
    WINDOW_PLAYLIST_SHOWTITLES,
    WINDOW_PLAYLIST_REMEMBER,
    WINDOW_PLAYLIST_PLAINLINES,
    WINDOW_PLAYLIST_PLAINSAVE,
    WINDOW_PLAYLIST_FLATFOLDERS,
    WINDOW_PLAYLIST_SETTINGS
};
// Upper bounds (4000 x 2958 base pixels, beyond the largest screens) that keep a hand-edited
// "playlist.config" from asking for images of any size.
constexpr int32_t WINDOW_PLAYLIST_MAX_ROWS = 100;
constexpr int32_t WINDOW_PLAYLIST_MAX_COLUMNS = 160;
constexpr int32_t WINDOW_PLAYLIST_MAX_SCALE = 16;

enum : int32_t {
    PLAYLIST_MENU_ADD = 0,
    PLAYLIST_MENU_REMOVE = 1,
    PLAYLIST_MENU_SELECT = 2,
    PLAYLIST_MENU_MISC = 3,
    PLAYLIST_MENU_LIST = 4,
};

// Hit-box ids: the buttons, the pop-up menus' items and the areas.
enum : int32_t {
    PLAYLIST_ID_NONE = 0,
    PLAYLIST_ID_MENU_ADD = 43,
    PLAYLIST_ID_MENU_REMOVE = 44,
    PLAYLIST_ID_MENU_SELECT = 45,
    PLAYLIST_ID_MENU_MISC = 46,
    PLAYLIST_ID_MENU_LIST = 47,
    PLAYLIST_ID_RESIZE = 48,
    PLAYLIST_ID_ADD_FILE = 49,
    PLAYLIST_ID_ADD_DIRECTORY = 50,
    PLAYLIST_ID_ADD_URL = 51,      // inert
    PLAYLIST_ID_REMOVE_MISC = 52,  // inert
    PLAYLIST_ID_REMOVE_SELECTED = 53,
    PLAYLIST_ID_REMOVE_CROP = 54,  // inert
    PLAYLIST_ID_REMOVE_ALL = 55,
    PLAYLIST_ID_SELECT_INVERT = 56,
    PLAYLIST_ID_SELECT_NONE = 57,
    PLAYLIST_ID_SELECT_ALL = 58,
    PLAYLIST_ID_MISC_SORT = 59,
    PLAYLIST_ID_MISC_INFO = 60,
    PLAYLIST_ID_MISC_OPTIONS = 61, // inert
    PLAYLIST_ID_LIST_NEW = 62,
    PLAYLIST_ID_LIST_SAVE = 63,
    PLAYLIST_ID_LIST_LOAD = 64,
    PLAYLIST_ID_PREV = 65,
    PLAYLIST_ID_PLAY = 66,
    PLAYLIST_ID_PAUSE = 67,
    PLAYLIST_ID_STOP = 68,
    PLAYLIST_ID_NEXT = 69,
    PLAYLIST_ID_EJECT = 70,        // inert
    PLAYLIST_ID_SMALL_UP = 71,     // inert
    PLAYLIST_ID_SMALL_DOWN = 72,   // inert
    PLAYLIST_ID_LIST = 73,
    PLAYLIST_ID_SCROLL = 74,
    PLAYLIST_ID_CLOSE = 75,
};

struct tHandleWindowPlaylist {
    tHandleConfig config;
    int32_t config_read;
    GtkApplication *application;
    GdkPixbuf *frame;
    GdkPixbuf *title_strip;
    GdkPixbuf *body_strip;
    GdkPixbuf *text_layer;
    GtkWidget *window_handle;
    GtkWidget *box;
    GtkWidget *overlay;
    GtkWidget *title_picture;
    GtkWidget *list_picture;
    GtkWidget *body_picture;
    GtkWidget *window;
    GtkGesture *click;
    GtkGesture *drag;
    GtkEventController *scroll;
    GdkPixbuf *background;
    tHandlePlaylist *playlist;
    tHandleTheme *theme;
    tHandle *handle;
    int32_t pressed;
    int32_t press_x;
    int32_t press_y;
    int32_t press_columns;
    int32_t press_rows;
    int32_t rows;
    int32_t columns;
    int32_t height;
    int32_t width;
    int32_t list_x;
    int32_t list_y;
    int32_t list_width;
    int32_t list_height;
    int32_t scroll_offset;
    int32_t visible_lines;
    // Height of a drawn entry line in the text layer's pixels (the window's scale).
    int32_t line_height;
    int32_t entry_count;
    int32_t thumb_y;
    int32_t scale;
    tHitBox hitboxes[WINDOW_PLAYLIST_HITBOXES];
    int32_t menu_open[WINDOW_PLAYLIST_MENUS];
    GtkWidget *sort_popover;
    GMenu *sort_model;
    GMenuItem *sort_items[WINDOW_PLAYLIST_SORT_ITEMS];
    GSimpleAction *sort_actions[WINDOW_PLAYLIST_SORT_ITEMS];
    int32_t sort_count;
    pthread_mutex_t mutex;
    int32_t showfull;
    // 1 shows the titles from the entries' tags where they have one, 0 only paths.
    int32_t showtitles;
    // 1 keeps the list between runs in the data directory.
    int32_t remember;
    // The first versions' ways, each one setting away: every M3U line a path, M3U files saved
    // as bare paths, a folder's own files in the system's order.
    int32_t plainlines;
    int32_t plainsave;
    int32_t flatfolders;
    // The "Playlist" page's check buttons, by the indexes above.
    GtkWidget *setting_checks[WINDOW_PLAYLIST_SETTINGS];
    // The idle source reading the tags of visible entries, 0 when none runs.
    uint32_t tags_source;
    // What the title and body pictures show, scaled without filtering.
    GdkPaintable *title_paintable;
    GdkPaintable *body_paintable;
    tSkinInput input;
    // What smooth scrolling has moved short of a whole entry.
    double scroll_remainder;
    tKeyMachine key_machine;
};

int32_t window_playlist_init(tHandleWindowPlaylist *w, tHandle *h, tHandleTheme *theme,
                             GtkApplication *application, tHandlePlaylist *playlist);
int32_t window_playlist_read_config(tHandleWindowPlaylist *w);
int32_t window_playlist_resize(tHandleWindowPlaylist *w, int32_t rows, int32_t columns);
int32_t window_playlist_redraw(tHandleWindowPlaylist *w);
int32_t window_playlist_refresh(tHandleWindowPlaylist *w);
int32_t window_playlist_set_scale(tHandleWindowPlaylist *w, uint32_t scale);
int32_t window_playlist_show(tHandleWindowPlaylist *w);
int32_t window_playlist_hide(tHandleWindowPlaylist *w);

// What the list shows for an entry: its title, its path or its file name, as the settings say
// (the PLAYLIST_SHOW_ flags of playlist/filter.h).
uint32_t window_playlist_shown(const tHandleWindowPlaylist *w);
const char *window_playlist_shown_text(const tHandleWindowPlaylist *w, const tSongInfo *entry);

// Shared by the window's drawing and input sources.
int32_t window_playlist_draw_frame(tHandleWindowPlaylist *w);
int32_t window_playlist_place_hitboxes(tHandleWindowPlaylist *w);
int32_t window_playlist_place_menu_hitboxes(tHandleWindowPlaylist *w);
int32_t window_playlist_attach_input(tHandleWindowPlaylist *w);
// The playlist's own key rows, searched before the main window's.
const tKeyRow *window_playlist_key_rows(int32_t *count);
// The drawn line under window y for a window widget_height pixels high, -1 when y is above
// the list or below its last whole line.
int32_t window_playlist_line_at(const tHandleWindowPlaylist *w, double y, int32_t widget_height);
// Scrolls by dy entries; fractions are kept until they add up to a whole entry.
int32_t window_playlist_scroll(tHandleWindowPlaylist *w, double dy);
// Reads the tags of the visible entries in the background, one entry per main-loop
// iteration, and redraws once they are all read (window_playlist_tags.cpp).
void window_playlist_read_tags_later(tHandleWindowPlaylist *w);
