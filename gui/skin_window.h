// The machinery every skinned window shares: the borderless window with its title bar, pictures
// scaled by whole pixels, the press/hold/release/cancel state machine of the hit boxes, pressed
// looks from a table, popover menus from a table and the file choosers. The boxes themselves
// are in gui/hitbox.h.
//
// Who owns a press: the window's click and drag gestures, until the title bar's window move
// takes it over. The move claims the event sequence and then calls skin_input_take_over, which
// resets the window's gestures; their "cancel" ends in skin_input_cancel, which clears the press
// at once: it never acts, and its pressed look goes. (A claim alone does not reach gestures of
// the window itself, and under a window manager no release comes back.) The window handle's own
// move is seen by its drag gesture's cancel, which skin_input_attach hooks; a title-bar drag of
// our own must claim and call skin_input_take_over itself, and never release a box.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gui/hitbox.h"
#include "playlist/playlist.h"

typedef struct _GtkApplication GtkApplication;
typedef struct _GtkWidget GtkWidget;
typedef struct _GtkGesture GtkGesture;
typedef struct _GdkPixbuf GdkPixbuf;
typedef struct _GdkPaintable GdkPaintable;
typedef struct _GMenu GMenu;
typedef struct _GMenuItem GMenuItem;
typedef struct _GSimpleAction GSimpleAction;
typedef struct _GVariant GVariant;
typedef struct _GtkFileChooserNative GtkFileChooserNative;

// A rectangle in a window's base pixels.
struct tSkinRect {
    int32_t x, y, width, height;
};

// ---- pictures

// A paintable showing a pixbuf of the window's base size enlarged by whole pixels, nearest
// neighbour, so that a pixel-exact theme stays exact at any scale. The counters (may be null)
// count the times GTK was told the contents changed and the times it drew them.
GdkPaintable *skin_paintable_new(int32_t width, int32_t height, uint32_t *invalidations = nullptr,
                                 uint32_t *snapshots = nullptr);
// Takes the pixbuf's pixels (8-bit RGBA); a pixbuf of another size resizes the paintable.
// Opaque pixels under the `hidden` rectangles (pictures of their own lie over them, in rows
// counted from `top`) do not count as changes.
void skin_paintable_update(GdkPaintable *paintable, GdkPixbuf *source,
                           const tSkinRect *hidden = nullptr, int32_t hidden_count = 0,
                           int32_t top = 0);
void skin_paintable_set_scale(GdkPaintable *paintable, uint32_t scale);
// A picture of the paintable that fills its allocation and never shrinks below its size.
GtkWidget *skin_picture_new(GdkPaintable *paintable);

// ---- the window

struct tSkinChrome {
    GtkWidget *window;
    GtkWidget *box;           // vertical: the title bar, then the body
    GtkWidget *window_handle; // the title bar; dragging it moves the window
};

// An undecorated, not resizable application window of the given default size, whose child is a
// vertical box holding the title bar (with the title picture in it) and the body.
tSkinChrome skin_window_new(GtkApplication *application, const char *title, int32_t width,
                            int32_t height, GtkWidget *title_picture, GtkWidget *body);
// Shows the window; one not yet on screen is composed first, so that it never shows an empty
// frame.
void skin_window_show(GtkWidget *window, int32_t (*compose)(void *record), void *record);

// ---- presses

enum : uint32_t {
    // The box under the release acts, whichever box was pressed (otherwise only a release
    // over the pressed box acts).
    SKIN_ACT_ON_RELEASE_BOX = 1u << 0,
    // A press still held when the drag ends is released there (the click gesture gives up
    // reporting a release once the pointer has moved far).
    SKIN_RELEASE_AT_DRAG_END = 1u << 1,
};

// A window's side of the state machine: its press fields and what to call.
struct tSkinInput {
    void *record = nullptr;
    GtkWidget *window = nullptr;
    int32_t *pressed = nullptr; // 0 while nothing is held
    int32_t *press_x = nullptr; // the press position, truncated to window pixels
    int32_t *press_y = nullptr;
    uint32_t flags = 0;
    // The id under window position (x, y), 0 for none.
    int32_t (*hit)(void *record, double x, double y) = nullptr;
    // The action of `id`, released as the flags allow.
    void (*act)(void *record, int32_t id, int32_t presses, double x, double y) = nullptr;
    // At every release, before the action (may be null): the id that was held, and whether
    // the action follows.
    void (*release_begin)(void *record, int32_t pressed, bool acts) = nullptr;
    // At every press, after the pressed id is stored (may be null).
    void (*press)(void *record) = nullptr;
    // Slider and corner drags by offset from the press (may be null).
    void (*drag_update)(void *record, double dx, double dy) = nullptr;
    void (*drag_end)(void *record, double dx, double dy) = nullptr;
    int32_t (*redraw)(void *record) = nullptr;
    GtkWidget *title_bar = nullptr; // the chrome's window handle (may be null)
    GtkGesture *click = nullptr;
    GtkGesture *drag = nullptr;
};

// Creates the window's click and drag gestures (the record under "pThis") and connects them.
int32_t skin_input_attach(tSkinInput *input);
// The release of `id` (the id under the pointer, or of a released key): acts as the flags say,
// then nothing is held, and the window is redrawn.
int32_t skin_input_release(tSkinInput *input, int32_t id, int32_t presses, double x, double y);
// Ends the press without its action and clears its look.
void skin_input_cancel(tSkinInput *input);
// The window move has taken the press: cancels the window's gestures, and so the press.
void skin_input_take_over(tSkinInput *input);

// ---- pressed looks

constexpr int32_t SKIN_NO_ELEMENT = -1;

// One row of a window's table: the box id, the element it rests as, the element drawn while
// it is held (either may be SKIN_NO_ELEMENT), and what its release does.
template <typename tAction> struct tSkinBox {
    int32_t id;
    int32_t element;
    int32_t pressed_element;
    tAction action;
};

// The pressed element of `id` in the table, SKIN_NO_ELEMENT when it has none.
template <typename tAction, size_t N>
constexpr int32_t skin_pressed_element(const tSkinBox<tAction> (&table)[N], int32_t id) {
    for (const tSkinBox<tAction> &row : table)
        if (row.id == id)
            return row.pressed_element;
    return SKIN_NO_ELEMENT;
}

// The row of `id`, null when the table has none.
template <typename tAction, size_t N>
constexpr const tSkinBox<tAction> *skin_box(const tSkinBox<tAction> (&table)[N], int32_t id) {
    for (const tSkinBox<tAction> &row : table)
        if (row.id == id)
            return &row;
    return nullptr;
}

// ---- menus

struct tSkinMenuItem {
    const char *label;
    const char *action;   // the application action's name
    const char *detailed; // the item's detailed action, "app." and the name
    void (*activate)(GSimpleAction *action, GVariant *parameter, void *record);
};

struct tSkinMenu {
    GtkWidget *popover;
    GMenu *model;
    GMenuItem **items;      // room for `slots`
    GSimpleAction **actions;
    int32_t *count;
    int32_t slots;
};

// Adds the items' actions to the application, the items to a new model and a nested popover
// menu of it parented to `parent`. The actions get the record as user data.
int32_t skin_menu_build(tSkinMenu *menu, GtkApplication *application, GtkWidget *parent,
                        const tSkinMenuItem *items, int32_t count, void *record);
// Shows the popover pointing at a rectangle of window pixels.
void skin_menu_popup(GtkWidget *popover, int32_t x, int32_t y, int32_t width, int32_t height);

// ---- file choosers

struct tSkinChooser {
    const char *title;
    int32_t action; // a GtkFileChooserAction
    const char *accept;
    const char *proposed_name; // for saving; null for none
    // A filter of these name suffixes (without the dot, any case), shown first under
    // `filter_name`, and "All files" beside it; null for no filters.
    const char *filter_name;
    const char *const *suffixes;
    int32_t suffix_count;
};

// "Open File" of the main and the playlist window: every type the player plays.
// The action is GTK_FILE_CHOOSER_ACTION_OPEN (0; skin_window.cpp checks it).
inline constexpr tSkinChooser SKIN_CHOOSER_OPEN_FILE = {
    "Open File", 0, "_Open", nullptr, "Audio files", PLAYLIST_AUDIO_SUFFIXES, PLAYLIST_AUDIO_SUFFIX_COUNT};

// The chooser for the window, not shown yet, with its filters; the caller owns it.
GtkFileChooserNative *skin_chooser_new(GtkWidget *parent, const tSkinChooser &kind);
// Opens a native file chooser for the window; on acceptance `chosen` gets the chosen file's
// parse name. The dialog is destroyed after any response.
void skin_choose_file(GtkWidget *parent, const tSkinChooser &kind,
                      void (*chosen)(void *record, int32_t kind, const char *path), void *record,
                      int32_t kind_id);
