#include "gui/dock.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtk/gtk.h>

#include "config/config.h"

#if defined(GDK_WINDOWING_X11) && defined(RAVLOX_HAVE_X11)
#include <gdk/x11/gdkx.h>
#define DOCK_X11 1
#endif

// ---- geometry, without a display

namespace {

constexpr const char *POSITION_KEYS[DOCK_WINDOWS][2] = {
    {"mainx", "mainy"}, {"equalizerx", "equalizery"}, {"playlistx", "playlisty"}};
constexpr int32_t MAX_SCREENS = 8;

int32_t right(const tDockRect &r) { return r.x + r.width; }
int32_t bottom(const tDockRect &r) { return r.y + r.height; }

// Length of the overlap of [a0, a1) and [b0, b1), negative for a gap.
int32_t overlap(int32_t a0, int32_t a1, int32_t b0, int32_t b1) {
    return (a1 < b1 ? a1 : b1) - (a0 > b0 ? a0 : b0);
}

// Each shown window docked to the main window gets the window it touches on the way there
// (the main window itself: -1); `order` lists them, the main window first. Returns the count.
int32_t docked_tree(const tDockRect rects[DOCK_WINDOWS], const int32_t shown[DOCK_WINDOWS],
                    int32_t parent[DOCK_WINDOWS], int32_t order[DOCK_WINDOWS]) {
    int32_t n = 0;
    for (int32_t i = 0; i < DOCK_WINDOWS; i++)
        parent[i] = -2; // not docked
    if (!shown[DOCK_MAIN])
        return 0;
    parent[DOCK_MAIN] = -1;
    order[n++] = DOCK_MAIN;
    for (int32_t k = 0; k < n; k++)
        for (int32_t i = 0; i < DOCK_WINDOWS; i++)
            if (shown[i] && parent[i] == -2 && dock_touching(rects[order[k]], rects[i])) {
                parent[i] = order[k];
                order[n++] = i;
            }
    return n;
}

// The window placed under `above` (left edges aligned).
void put_under(tDockRect *r, const tDockRect &above) {
    r->x = above.x;
    r->y = bottom(above);
}

// Keeps the correction c of smaller size, when within the distance.
void consider(int32_t c, int32_t distance, int32_t *best) {
    if (abs(c) <= distance && abs(c) < abs(*best))
        *best = c;
}

} // namespace

bool dock_touching(const tDockRect &a, const tDockRect &b) {
    const bool stacked = (bottom(a) == b.y || bottom(b) == a.y) &&
                         overlap(a.x, right(a), b.x, right(b)) > 0;
    const bool side = (right(a) == b.x || right(b) == a.x) &&
                      overlap(a.y, bottom(a), b.y, bottom(b)) > 0;
    return stacked || side;
}

void dock_group(const tDockRect rects[DOCK_WINDOWS], const int32_t shown[DOCK_WINDOWS],
                int32_t group[DOCK_WINDOWS]) {
    int32_t parent[DOCK_WINDOWS], order[DOCK_WINDOWS];
    docked_tree(rects, shown, parent, order);
    for (int32_t i = 0; i < DOCK_WINDOWS; i++)
        group[i] = parent[i] != -2 ? 1 : 0;
}

void dock_layout(const tDockRect &screen, tDockRect rects[DOCK_WINDOWS],
                 const int32_t shown[DOCK_WINDOWS]) {
    int32_t width = 0, height = 0;
    for (int32_t i = 0; i < DOCK_WINDOWS; i++)
        if (shown[i] || i == DOCK_MAIN) {
            width = rects[i].width > width ? rects[i].width : width;
            height += rects[i].height;
        }
    tDockRect &main = rects[DOCK_MAIN];
    main.x = screen.x + (screen.width - width) / 2;
    // A stack taller than the screen keeps its title bar on it.
    main.y = screen.y + (screen.height > height ? (screen.height - height) / 2 : 0);
    put_under(&rects[DOCK_EQUALIZER], main);
    put_under(&rects[DOCK_PLAYLIST], shown[DOCK_EQUALIZER] ? rects[DOCK_EQUALIZER] : main);
}

void dock_snap(const tDockRect rects[DOCK_WINDOWS], const int32_t moving[DOCK_WINDOWS],
               const int32_t still[DOCK_WINDOWS], const tDockRect *screens, int32_t screen_count,
               int32_t distance, int32_t *dx, int32_t *dy) {
    int32_t best_x = distance + 1, best_y = distance + 1;
    for (int32_t i = 0; i < DOCK_WINDOWS; i++) {
        if (!moving[i])
            continue;
        const tDockRect m = {rects[i].x + *dx, rects[i].y + *dy, rects[i].width, rects[i].height};
        for (int32_t j = 0; j < DOCK_WINDOWS; j++) {
            if (!still[j] || moving[j])
                continue;
            const tDockRect &s = rects[j];
            // Edges snap to edges that they could touch: alongside, or within reach.
            if (overlap(m.y, bottom(m), s.y, bottom(s)) > -distance) {
                consider(right(s) - m.x, distance, &best_x);
                consider(s.x - right(m), distance, &best_x);
                consider(s.x - m.x, distance, &best_x);
                consider(right(s) - right(m), distance, &best_x);
            }
            if (overlap(m.x, right(m), s.x, right(s)) > -distance) {
                consider(bottom(s) - m.y, distance, &best_y);
                consider(s.y - bottom(m), distance, &best_y);
                consider(s.y - m.y, distance, &best_y);
                consider(bottom(s) - bottom(m), distance, &best_y);
            }
        }
        for (int32_t k = 0; k < screen_count; k++) {
            const tDockRect &s = screens[k];
            if (overlap(m.x, right(m), s.x, right(s)) <= 0 || overlap(m.y, bottom(m), s.y, bottom(s)) <= 0)
                continue;
            consider(s.x - m.x, distance, &best_x);
            consider(right(s) - right(m), distance, &best_x);
            consider(s.y - m.y, distance, &best_y);
            consider(bottom(s) - bottom(m), distance, &best_y);
        }
    }
    if (best_x <= distance)
        *dx += best_x;
    if (best_y <= distance)
        *dy += best_y;
}

bool dock_on_screen(const tDockRect &r, const tDockRect *screens, int32_t screen_count,
                    int32_t scale) {
    // Enough of the title bar to take hold of: 16 by 8 pixels at scale 1.
    const int32_t s = scale > 0 ? scale : 1;
    const int32_t need_x = r.width < 16 * s ? r.width : 16 * s;
    for (int32_t k = 0; k < screen_count; k++) {
        const tDockRect &m = screens[k];
        if (r.y >= m.y && r.y + 8 * s <= bottom(m) && overlap(r.x, right(r), m.x, right(m)) >= need_x)
            return true;
    }
    return false;
}

// ---- the windows on the display

namespace {

tHandleDock *record_of(gpointer object) {
    return static_cast<tHandleDock *>(g_object_get_data(G_OBJECT(object), "pThis"));
}

int32_t which_of(gpointer object) {
    return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(object), "dock-window"));
}

bool shown(GtkWidget *window) { return window != nullptr && gtk_widget_get_mapped(window); }

// The size the window takes: its windows set their default size to their scaled picture.
void size_of(GtkWidget *window, int32_t *width, int32_t *height) {
    int w = 0, h = 0;
    gtk_window_get_default_size(GTK_WINDOW(window), &w, &h);
    *width = w;
    *height = h;
}

// No screen lies this far out; past it, sums of a place and a size could overflow.
constexpr long DOCK_COORDINATE_LIMIT = 1 << 20;

// One coordinate of a hand-editable file: a number (leading blanks and a sign allowed, as for
// every integer setting) within the limit. What atoi would wrap onto a screen is refused.
bool stored_coordinate(const char *text, int32_t *v) {
    char *end = nullptr;
    errno = 0;
    const long n = strtol(text, &end, 10);
    if (end == text || errno != 0 || n < -DOCK_COORDINATE_LIMIT || n > DOCK_COORDINATE_LIMIT)
        return false;
    *v = static_cast<int32_t>(n);
    return true;
}

// A stored position, without adding the keys when there is none.
bool stored_position(const tHandleDock *d, int32_t which, int32_t *x, int32_t *y) {
    const tHandleConfig *c = d->config;
    int32_t found[2] = {-1, -1};
    for (int32_t k = 0; k < 2; k++)
        for (int32_t i = 0; i < c->count; i++)
            if (strcmp(c->keys[i], POSITION_KEYS[which][k]) == 0)
                found[k] = i;
    if (found[0] < 0 || found[1] < 0)
        return false;
    return stored_coordinate(c->values[found[0]], x) && stored_coordinate(c->values[found[1]], y);
}

void store_position(tHandleDock *d, int32_t which, const tDockRect &r) {
    config_set_int(d->config, POSITION_KEYS[which][0], r.x);
    config_set_int(d->config, POSITION_KEYS[which][1], r.y);
}

#ifdef DOCK_X11

Display *xdisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

Window xid_of(GtkWidget *window) {
    GdkSurface *surface = gtk_native_get_surface(GTK_NATIVE(window));
    return surface != nullptr ? gdk_x11_surface_get_xid(surface) : 0;
}

bool pointer(int32_t *x, int32_t *y) {
    Window root, child;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    Display *dpy = xdisplay();
    if (!XQueryPointer(dpy, DefaultRootWindow(dpy), &root, &child, &rx, &ry, &wx, &wy, &mask))
        return false;
    *x = rx;
    *y = ry;
    return true;
}

// Where the window is on the screen and the size it takes.
tDockRect rect_of(GtkWidget *window) {
    tDockRect r = {0, 0, 0, 0};
    size_of(window, &r.width, &r.height);
    const Window xid = xid_of(window);
    if (xid == 0)
        return r;
    Display *dpy = xdisplay();
    Window child;
    int x = 0, y = 0;
    XTranslateCoordinates(dpy, xid, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    r.x = x;
    r.y = y;
    return r;
}

// Puts the window's top left corner at (x, y) of the screen. A window manager is asked to
// move it, with the corner of the window itself as the reference point, so that its frame
// (if any) goes round it; without one, or before it is mapped, the window is moved directly.
void move_window(GtkWidget *window, int32_t x, int32_t y) {
    const Window xid = xid_of(window);
    if (xid == 0)
        return;
    Display *dpy = xdisplay();
    GdkDisplay *display = gdk_display_get_default();
    if (gtk_widget_get_mapped(window) &&
        gdk_x11_screen_supports_net_wm_hint(gdk_x11_display_get_screen(display),
                                            "_NET_MOVERESIZE_WINDOW")) {
        XEvent e;
        memset(&e, 0, sizeof e);
        e.xclient.type = ClientMessage;
        e.xclient.window = xid;
        e.xclient.message_type = gdk_x11_get_xatom_by_name_for_display(display, "_NET_MOVERESIZE_WINDOW");
        e.xclient.format = 32;
        e.xclient.data.l[0] = StaticGravity | (1 << 8) | (1 << 9) | (1 << 12); // x, y; an application
        e.xclient.data.l[1] = x;
        e.xclient.data.l[2] = y;
        XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    } else {
        XMoveWindow(dpy, xid, x, y);
    }
    XFlush(dpy);
}

int32_t screens_of(tDockRect out[MAX_SCREENS]) {
    GListModel *monitors = gdk_display_get_monitors(gdk_display_get_default());
    int32_t n = 0;
    const guint count = monitors != nullptr ? g_list_model_get_n_items(monitors) : 0;
    for (guint i = 0; i < count && n < MAX_SCREENS; i++) {
        GdkMonitor *monitor = GDK_MONITOR(g_list_model_get_item(monitors, i));
        GdkRectangle g;
        gdk_monitor_get_geometry(monitor, &g);
        g_object_unref(monitor);
        out[n++] = {g.x, g.y, g.width, g.height};
    }
    if (n == 0) {
        Display *dpy = xdisplay();
        out[n++] = {0, 0, DisplayWidth(dpy, DefaultScreen(dpy)), DisplayHeight(dpy, DefaultScreen(dpy))};
    }
    return n;
}

#else

bool pointer(int32_t *, int32_t *) { return false; }
tDockRect rect_of(GtkWidget *window) {
    tDockRect r = {0, 0, 0, 0};
    size_of(window, &r.width, &r.height);
    return r;
}
void move_window(GtkWidget *, int32_t, int32_t) {}
int32_t screens_of(tDockRect out[MAX_SCREENS]) {
    out[0] = {0, 0, 0, 0};
    return 0;
}

#endif

// The screen that holds the point (the first one when none does).
tDockRect screen_at(int32_t x, int32_t y) {
    tDockRect screens[MAX_SCREENS];
    const int32_t n = screens_of(screens);
    for (int32_t k = 0; k < n; k++)
        if (x >= screens[k].x && x < right(screens[k]) && y >= screens[k].y && y < bottom(screens[k]))
            return screens[k];
    return screens[0];
}

tDockRect pointer_screen() {
    int32_t x = 0, y = 0;
    pointer(&x, &y);
    return screen_at(x, y);
}

// The shift that brings [start, start + length) inside the screen's [from, from + size),
// keeping its beginning on it when it is too long.
int32_t shift_into(int32_t start, int32_t length, int32_t from, int32_t size) {
    int32_t shift = 0;
    if (start + length > from + size)
        shift = from + size - (start + length);
    if (start + shift < from)
        shift = from - start;
    return shift;
}

bool on_a_screen(const tHandleDock *d, const tDockRect &r) {
    tDockRect screens[MAX_SCREENS];
    const int32_t n = screens_of(screens);
    return dock_on_screen(r, screens, n, d->scale);
}

// The stored place of a window when it is on a screen.
bool stored_place(const tHandleDock *d, int32_t which, tDockRect *r) {
    tDockRect at = *r;
    if (!stored_position(d, which, &at.x, &at.y) || !on_a_screen(d, at))
        return false;
    *r = at;
    return true;
}

void on_drag_begin(GtkGestureDrag *gesture, double x, double y, gpointer) {
    tHandleDock *d = record_of(gesture);
    const int32_t which = which_of(gesture);
    d->dragged = -1;
    GtkWidget *title = gtk_event_controller_get_widget(GTK_EVENT_CONTROLLER(gesture));
    GtkWidget *window = d->windows[which];
    if (!d->x11 || title == nullptr || window == nullptr)
        return;
    int32_t visible[DOCK_WINDOWS];
    for (int32_t i = 0; i < DOCK_WINDOWS; i++) {
        visible[i] = shown(d->windows[i]) ? 1 : 0;
        d->start[i] = d->now[i] = rect_of(d->windows[i]);
    }
    // The press where it happened, not where the pointer is by now (on a busy machine it may
    // have moved on): the window has not moved yet, so its place gives the screen position.
    double wx = x, wy = y;
#if GTK_CHECK_VERSION(4, 10, 0)
    graphene_point_t in = GRAPHENE_POINT_INIT(static_cast<float>(x), static_cast<float>(y)), out;
    if (gtk_widget_compute_point(title, window, &in, &out))
        wx = out.x, wy = out.y;
#else
    gtk_widget_translate_coordinates(title, window, x, y, &wx, &wy);
#endif
    d->press_x = d->start[which].x + static_cast<int32_t>(wx);
    d->press_y = d->start[which].y + static_cast<int32_t>(wy);
    d->dragged = which;
    d->moving = 0;
    if (which == DOCK_MAIN) {
        dock_group(d->start, visible, d->group);
    } else {
        for (int32_t i = 0; i < DOCK_WINDOWS; i++)
            d->group[i] = i == which ? 1 : 0;
    }
    // The windows that stay put are what the moving ones snap to.
    for (int32_t i = 0; i < DOCK_WINDOWS; i++)
        d->still[i] = visible[i] && !d->group[i] ? 1 : 0;
}

void on_drag_update(GtkGestureDrag *gesture, double, double, gpointer) {
    tHandleDock *d = record_of(gesture);
    int32_t x = 0, y = 0;
    if (d->dragged != which_of(gesture) || !pointer(&x, &y))
        return;
    int32_t dx = x - d->press_x, dy = y - d->press_y;
    if (!d->moving) {
        int threshold = 8;
        g_object_get(gtk_settings_get_default(), "gtk-dnd-drag-threshold", &threshold, nullptr);
        if (abs(dx) < threshold && abs(dy) < threshold)
            return;
        // From here the press belongs to the move. The claim alone leaves the window's own
        // gestures holding it (a button would stay pressed), so they are taken over too.
        d->moving = 1;
        gtk_gesture_set_state(GTK_GESTURE(gesture), GTK_EVENT_SEQUENCE_CLAIMED);
        skin_input_take_over(d->inputs[d->dragged]);
    }
    tDockRect screens[MAX_SCREENS];
    const int32_t n = screens_of(screens);
    dock_snap(d->start, d->group, d->still, screens, n, DOCK_SNAP * d->scale, &dx, &dy);
    for (int32_t i = 0; i < DOCK_WINDOWS; i++) {
        if (!d->group[i])
            continue;
        d->now[i].x = d->start[i].x + dx;
        d->now[i].y = d->start[i].y + dy;
        move_window(d->windows[i], d->now[i].x, d->now[i].y);
    }
}

void on_drag_end(GtkGestureDrag *gesture, double, double, gpointer) {
    tHandleDock *d = record_of(gesture);
    if (d->dragged != which_of(gesture))
        return;
    if (d->moving)
        for (int32_t i = 0; i < DOCK_WINDOWS; i++)
            if (d->group[i])
                store_position(d, i, d->now[i]);
    d->dragged = -1;
    d->moving = 0;
}

// The playlist in the way of the equalizer being shown (it stood under the main window while
// the equalizer was hidden) goes under the equalizer.
void make_room(tHandleDock *d, const tDockRect &equalizer) {
    GtkWidget *playlist = d->windows[DOCK_PLAYLIST];
    if (!shown(playlist))
        return;
    tDockRect r = rect_of(playlist);
    if (overlap(r.x, right(r), equalizer.x, right(equalizer)) <= 0 ||
        overlap(r.y, bottom(r), equalizer.y, bottom(equalizer)) <= 0)
        return;
    put_under(&r, equalizer);
    move_window(playlist, r.x, r.y);
    store_position(d, DOCK_PLAYLIST, r);
}

} // namespace

void dock_prefer_x11() { gdk_set_allowed_backends("x11,*"); }

int32_t dock_init(tHandleDock *d, tHandleConfig *config) {
    memset(static_cast<void *>(d), 0, sizeof *d);
    d->config = config;
    d->scale = 1;
    d->dragged = -1;
    GdkDisplay *display = gdk_display_get_default();
#ifdef DOCK_X11
    d->x11 = display != nullptr && GDK_IS_X11_DISPLAY(display) ? 1 : 0;
#endif
    if (display != nullptr && !d->x11)
        fprintf(stderr, "windows cannot be docked without X11 (on Wayland): the desktop places them\n");
    return 0;
}

int32_t dock_attach(tHandleDock *d, int32_t which, GtkWidget *window, GtkWidget *title,
                    tSkinInput *input) {
    if (which < 0 || which >= DOCK_WINDOWS || window == nullptr || title == nullptr)
        return -1;
    d->windows[which] = window;
    d->inputs[which] = input;
    if (!d->x11)
        return 0;
    // On the title bar's picture, so that the drag sees the pointer before the window handle
    // around it (which would let the window manager move the window alone), and its claim
    // cancels the handle's and the window's gestures further up.
    GtkGesture *drag = gtk_gesture_drag_new();
    g_object_set_data(G_OBJECT(drag), "pThis", d);
    g_object_set_data(G_OBJECT(drag), "dock-window", GINT_TO_POINTER(which));
    g_signal_connect(drag, "drag-begin", G_CALLBACK(on_drag_begin), nullptr);
    g_signal_connect(drag, "drag-update", G_CALLBACK(on_drag_update), nullptr);
    g_signal_connect(drag, "drag-end", G_CALLBACK(on_drag_end), nullptr);
    gtk_widget_add_controller(title, GTK_EVENT_CONTROLLER(drag));
    return 0;
}

int32_t dock_start(tHandleDock *d, int32_t show_equalizer, int32_t show_playlist) {
    if (!d->x11)
        return 0;
    const int32_t visible[DOCK_WINDOWS] = {1, show_equalizer ? 1 : 0, show_playlist ? 1 : 0};
    tDockRect *r = d->plan;
    for (int32_t i = 0; i < DOCK_WINDOWS; i++) {
        r[i] = {0, 0, 0, 0};
        if (d->windows[i] != nullptr)
            size_of(d->windows[i], &r[i].width, &r[i].height);
        d->planned[i] = d->windows[i] != nullptr ? 1 : 0;
    }
    if (!stored_place(d, DOCK_MAIN, &r[DOCK_MAIN])) {
        // A stack whose main window is lost is laid out afresh, as one.
        dock_layout(pointer_screen(), r, visible);
        return 0;
    }
    if (!stored_place(d, DOCK_EQUALIZER, &r[DOCK_EQUALIZER]))
        put_under(&r[DOCK_EQUALIZER], r[DOCK_MAIN]);
    if (!stored_place(d, DOCK_PLAYLIST, &r[DOCK_PLAYLIST]))
        put_under(&r[DOCK_PLAYLIST], visible[DOCK_EQUALIZER] ? r[DOCK_EQUALIZER] : r[DOCK_MAIN]);
    return 0;
}

int32_t dock_before_show(tHandleDock *d, int32_t which) {
    if (!d->x11 || which < 0 || which >= DOCK_WINDOWS || d->windows[which] == nullptr)
        return 0;
    GtkWidget *window = d->windows[which];
    if (gtk_widget_get_visible(window)) {
        d->planned[which] = 0;
        d->pending[which] = 0;
        return 0;
    }
    tDockRect r = rect_of(window);
    if (d->planned[which]) {
        d->planned[which] = 0;
        r = d->plan[which];
    } else if (!stored_place(d, which, &r) && which != DOCK_MAIN) {
        const tDockRect main = rect_of(d->windows[DOCK_MAIN]);
        const bool under_equalizer = which == DOCK_PLAYLIST && shown(d->windows[DOCK_EQUALIZER]);
        put_under(&r, under_equalizer ? rect_of(d->windows[DOCK_EQUALIZER]) : main);
    }
    if (which == DOCK_EQUALIZER)
        make_room(d, r);
    d->now[which] = r;
    d->pending[which] = 1;
    gtk_widget_realize(window);
    move_window(window, r.x, r.y);
    // Stored at once, so that a restart finds the whole stack where it was, moved or not.
    store_position(d, which, r);
    return 0;
}

int32_t dock_after_show(tHandleDock *d, int32_t which) {
    if (!d->x11 || which < 0 || which >= DOCK_WINDOWS || !d->pending[which])
        return 0;
    d->pending[which] = 0;
    // A window manager places a new window its own way when it maps it; moved once more after.
    move_window(d->windows[which], d->now[which].x, d->now[which].y);
    return 0;
}

int32_t dock_set_scale(tHandleDock *d, int32_t scale) {
    const int32_t old = d->scale;
    d->scale = scale > 0 ? scale : 1;
    if (!d->x11 || old == d->scale || !shown(d->windows[DOCK_MAIN]))
        return 0;
    // The places of the stack before the change: the windows already have their new size.
    tDockRect before[DOCK_WINDOWS], after[DOCK_WINDOWS];
    int32_t visible[DOCK_WINDOWS];
    for (int32_t i = 0; i < DOCK_WINDOWS; i++) {
        visible[i] = shown(d->windows[i]) ? 1 : 0;
        before[i] = after[i] = visible[i] ? rect_of(d->windows[i]) : tDockRect{0, 0, 0, 0};
        before[i].width = after[i].width * old / d->scale;
        before[i].height = after[i].height * old / d->scale;
    }
    int32_t parent[DOCK_WINDOWS], order[DOCK_WINDOWS];
    const int32_t n = docked_tree(before, visible, parent, order);
    for (int32_t k = 1; k < n; k++) {
        const int32_t i = order[k];
        const tDockRect &p0 = before[parent[i]], &p1 = after[parent[i]];
        const tDockRect &w0 = before[i];
        tDockRect &w1 = after[i];
        // The same edge touches, at the same place along it in the new scale.
        if (w0.y == bottom(p0) || bottom(w0) == p0.y) {
            w1.x = p1.x + (w0.x - p0.x) * d->scale / old;
            w1.y = w0.y == bottom(p0) ? bottom(p1) : p1.y - w1.height;
        } else {
            w1.y = p1.y + (w0.y - p0.y) * d->scale / old;
            w1.x = w0.x == right(p0) ? right(p1) : p1.x - w1.width;
        }
    }
    // A grown stack that leaves its screen moves back onto it as a whole, still docked (a
    // window manager would push the windows in one by one).
    tDockRect box = after[DOCK_MAIN];
    for (int32_t k = 1; k < n; k++) {
        const tDockRect &r = after[order[k]];
        const int32_t x1 = right(r) > right(box) ? right(r) : right(box);
        const int32_t y1 = bottom(r) > bottom(box) ? bottom(r) : bottom(box);
        box.x = r.x < box.x ? r.x : box.x;
        box.y = r.y < box.y ? r.y : box.y;
        box.width = x1 - box.x;
        box.height = y1 - box.y;
    }
    const tDockRect screen = screen_at(before[DOCK_MAIN].x, before[DOCK_MAIN].y);
    const int32_t shift_x = shift_into(box.x, box.width, screen.x, screen.width);
    const int32_t shift_y = shift_into(box.y, box.height, screen.y, screen.height);
    for (int32_t k = 0; k < n; k++) {
        const int32_t i = order[k];
        if (k == 0 && shift_x == 0 && shift_y == 0)
            continue; // the main window stays where it is
        after[i].x += shift_x;
        after[i].y += shift_y;
        move_window(d->windows[i], after[i].x, after[i].y);
        store_position(d, i, after[i]);
    }
    return 0;
}
