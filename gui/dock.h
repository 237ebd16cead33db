// The three windows as one stack on an X11 desktop: where they appear, how their title-bar
// drags move them (snapping, the main window carrying the windows docked to it), and the
// positions remembered in "gui.config". Elsewhere (Wayland) the desktop places the windows.
#pragma once

#include <cstdint>

#include "gui/skin_window.h"

struct tHandleConfig;
typedef struct _GtkWidget GtkWidget;

enum : int32_t { DOCK_MAIN = 0, DOCK_EQUALIZER = 1, DOCK_PLAYLIST = 2, DOCK_WINDOWS = 3 };

// Snapping distance in pixels at scale 1.
constexpr int32_t DOCK_SNAP = 10;

struct tDockRect {
    int32_t x, y, width, height;
};

struct tHandleDock {
    tHandleConfig *config; // "gui.config", holding the positions
    int32_t x11;           // 1 when the windows can be placed
    int32_t scale;
    GtkWidget *windows[DOCK_WINDOWS];
    tSkinInput *inputs[DOCK_WINDOWS]; // the windows' presses, which a move takes over
    // Where each window goes when it is first shown after start-up; `planned` 0 once used.
    tDockRect plan[DOCK_WINDOWS];
    int32_t planned[DOCK_WINDOWS];
    // A window being shown: placed again once mapped, at `now`.
    int32_t pending[DOCK_WINDOWS];
    // The title-bar drag under way: the window pressed (-1 none), whether it moves yet, the
    // pointer and the windows' places at the press, the windows moving with it and those
    // staying, where the windows are now.
    int32_t dragged;
    int32_t moving;
    int32_t press_x, press_y;
    tDockRect start[DOCK_WINDOWS];
    int32_t group[DOCK_WINDOWS];
    int32_t still[DOCK_WINDOWS];
    tDockRect now[DOCK_WINDOWS];
};

// Asks GDK for X11 before Wayland, so that the stack also works through XWayland; before the
// application starts.
void dock_prefer_x11();
// Binds the record to the GUI's configuration; prints one line when the display is not X11.
int32_t dock_init(tHandleDock *d, tHandleConfig *config);
// Gives a window's title bar the drag that moves it (and, for the main window, its stack).
// `title` is the widget inside the title bar's window handle. Once the drag moves the window
// it claims the press and hands it to skin_input_take_over: the press never acts and its
// pressed look goes.
int32_t dock_attach(tHandleDock *d, int32_t which, GtkWidget *window, GtkWidget *title,
                    tSkinInput *input);
// Plans the places of the start-up windows: the stored ones that are on a screen, the others
// stacked under the main window, a stack without a stored main window centred on the screen
// with the pointer.
int32_t dock_start(tHandleDock *d, int32_t show_equalizer, int32_t show_playlist);
// Places a window that is about to be shown and again once it is shown: as planned at
// start-up, later where it was stored (or under the stack when that is off every screen).
int32_t dock_before_show(tHandleDock *d, int32_t which);
int32_t dock_after_show(tHandleDock *d, int32_t which);
// After the windows took the new scale: the docked windows follow the new sizes.
int32_t dock_set_scale(tHandleDock *d, int32_t scale);

// Pieces of the above without a display (the tests use them).
bool dock_touching(const tDockRect &a, const tDockRect &b);
// Which shown windows are docked to the main window: those touching it or a docked one.
void dock_group(const tDockRect rects[DOCK_WINDOWS], const int32_t shown[DOCK_WINDOWS],
                int32_t group[DOCK_WINDOWS]);
// The first-start stack of the shown windows, centred on `screen`.
void dock_layout(const tDockRect &screen, tDockRect rects[DOCK_WINDOWS],
                 const int32_t shown[DOCK_WINDOWS]);
// The offset (added to dx, dy) that snaps the moving windows to the still windows' edges and
// the screens' edges within `distance` pixels.
void dock_snap(const tDockRect rects[DOCK_WINDOWS], const int32_t moving[DOCK_WINDOWS],
               const int32_t still[DOCK_WINDOWS], const tDockRect *screens, int32_t screen_count,
               int32_t distance, int32_t *dx, int32_t *dy);
// Whether a grabbable piece of the window's top edge lies on one of the screens.
bool dock_on_screen(const tDockRect &r, const tDockRect *screens, int32_t screen_count,
                    int32_t scale);
