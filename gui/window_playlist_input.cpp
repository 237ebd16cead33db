// The playlist window: hit boxes, clicks, drags, the wheel, menus, the sort menu and choosers.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>

#include "core/handle.h"
#include "gui/window_playlist.h"
#include "playlist/playlist.h"

namespace {

// Box order: the sixteen menu items, then the fixed boxes.
constexpr int32_t ITEM_BOXES = 16;
constexpr int32_t FIRST_ITEM_ID = 49;

struct tMenuItem {
    int32_t id;
    int32_t element;
    int32_t menu;
};

constexpr std::array<tMenuItem, ITEM_BOXES> MENU_ITEMS = {{
    {49, 256, PLAYLIST_MENU_ADD},    {50, 246, PLAYLIST_MENU_ADD},
    {51, 231, PLAYLIST_MENU_ADD},    {52, 266, PLAYLIST_MENU_REMOVE},
    {53, 248, PLAYLIST_MENU_REMOVE}, {54, 258, PLAYLIST_MENU_REMOVE},
    {55, 234, PLAYLIST_MENU_REMOVE}, {56, 237, PLAYLIST_MENU_SELECT},
    {57, 250, PLAYLIST_MENU_SELECT}, {58, 260, PLAYLIST_MENU_SELECT},
    {59, 240, PLAYLIST_MENU_MISC},   {60, 252, PLAYLIST_MENU_MISC},
    {61, 262, PLAYLIST_MENU_MISC},   {62, 243, PLAYLIST_MENU_LIST},
    {63, 254, PLAYLIST_MENU_LIST},   {64, 264, PLAYLIST_MENU_LIST},
}};

constexpr bool menu_items_in_id_order() {
    for (int32_t i = 0; i < ITEM_BOXES; i++)
        if (MENU_ITEMS[i].id != FIRST_ITEM_ID + i)
            return false;
    return true;
}
static_assert(menu_items_in_id_order());

// Fixed boxes taken from elements: id and element, in test order.
struct tElementBox {
    int32_t id;
    int32_t element;
};

constexpr std::array<tElementBox, 14> ELEMENT_BOXES = {{
    {43, ELEM_PL_MENU_BUTTON},
    {44, ELEM_PL_MENU_BUTTON + 1},
    {45, ELEM_PL_MENU_BUTTON + 2},
    {46, ELEM_PL_MENU_BUTTON + 3},
    {47, ELEM_PL_MENU_BUTTON + 4},
    {48, ELEM_PL_RESIZE},
    {65, ELEM_PL_MINI_BUTTON},
    {66, ELEM_PL_MINI_BUTTON + 1},
    {67, ELEM_PL_MINI_BUTTON + 2},
    {68, ELEM_PL_MINI_BUTTON + 3},
    {69, ELEM_PL_MINI_BUTTON + 4},
    {70, ELEM_PL_MINI_BUTTON + 5},
    {71, ELEM_PL_SMALL_BUTTON},
    {72, ELEM_PL_SMALL_BUTTON + 1},
}};
constexpr int32_t BOX_SCROLL = ITEM_BOXES + 14;
constexpr int32_t BOX_LIST = BOX_SCROLL + 1;
constexpr int32_t BOX_CLOSE = BOX_LIST + 1;
static_assert(BOX_CLOSE + 1 == WINDOW_PLAYLIST_HITBOXES);

enum : int32_t {
    ID_MENU_ADD = 43,
    ID_MENU_LIST = 47,
    ID_RESIZE = 48,
    ID_LIST = 73,
    ID_SCROLL = 74,
    ID_CLOSE = 75,
};

constexpr const char *WINDOW_TITLE = "ravlox playlist";

tHandleWindowPlaylist *record_of(gpointer object) {
    return static_cast<tHandleWindowPlaylist *>(g_object_get_data(G_OBJECT(object), "pThis"));
}

int32_t box_from_element(tHandleWindowPlaylist *w, int32_t index, int32_t id, int32_t element) {
    return gui_hitbox_from_element(w->width, w->height, &w->hitboxes[index], id, element);
}

int32_t hit_test(tHandleWindowPlaylist *w, double x, double y) {
    return gui_hitbox_test(w->hitboxes, WINDOW_PLAYLIST_HITBOXES, w->window, w->width, w->height,
                           x, y);
}

int32_t hide_window(tHandleWindowPlaylist *w) { return handle_send_int(w->handle, EVENT_SHOW_PLAYLIST, 0); }

// The rows and columns that the resize drag at offset (dx, dy) points at.
void prospective_size(tHandleWindowPlaylist *w, double dx, double dy, int32_t *rows,
                      int32_t *columns) {
    const double sx = static_cast<double>(gtk_widget_get_width(w->window)) / w->width;
    const double sy = static_cast<double>(gtk_widget_get_height(w->window)) / w->height;
    double step_rows = sy > 0 ? std::trunc(dy / (29.0 * sy)) : 0;
    double step_columns = sx > 0 ? std::trunc(dx / (25.0 * sx)) : 0;
    // Far beyond any screen: keeps the sums inside 32 bits.
    step_rows = std::fmax(-100000.0, std::fmin(100000.0, step_rows));
    step_columns = std::fmax(-100000.0, std::fmin(100000.0, step_columns));
    *rows = w->press_rows + static_cast<int32_t>(step_rows);
    *columns = w->press_columns + static_cast<int32_t>(step_columns);
}

// --- file choosers ---

enum : int32_t {
    CHOOSER_FILE = 0,
    CHOOSER_DIRECTORY = 1,
    CHOOSER_SAVE = 2,
    CHOOSER_LOAD = 3,
};

struct tChooserKind {
    const char *title;
    GtkFileChooserAction action;
    const char *accept;
};

constexpr tChooserKind CHOOSERS[4] = {
    {"Open File", GTK_FILE_CHOOSER_ACTION_OPEN, "_Open"},
    {"Open Directory", GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "Choose"},
    {"Save playlist ", GTK_FILE_CHOOSER_ACTION_SAVE, "Save"},
    {"Load Playlist ", GTK_FILE_CHOOSER_ACTION_OPEN, "_Load"},
};

void chooser_response(GtkNativeDialog *dialog, int response, gpointer) {
    tHandleWindowPlaylist *w = record_of(dialog);
    const int32_t kind = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(dialog), "kind"));
    if (w && response == GTK_RESPONSE_ACCEPT) {
        GFile *file = gtk_file_chooser_get_file(GTK_FILE_CHOOSER(dialog));
        char *path = file ? g_file_get_parse_name(file) : nullptr;
        if (path) {
            switch (kind) {
            case CHOOSER_FILE: {
                static tSongInfo entry; // too large for the stack
                memset(&entry, 0, sizeof entry);
                snprintf(entry.path, sizeof entry.path, "%s", path);
                playlist_add(w->playlist, &entry);
                break;
            }
            case CHOOSER_DIRECTORY:
                playlist_add_directory(w->playlist, path);
                break;
            case CHOOSER_SAVE:
                if (playlist_write_m3u(w->playlist, path, 1) != 0)
                    fprintf(stderr, "unable to write the playlist [%s]\n", path);
                break;
            case CHOOSER_LOAD:
                if (playlist_read_m3u(w->playlist, path) != 0)
                    fprintf(stderr, "unable to read the playlist [%s]\n", path);
                break;
            default:
                break;
            }
            g_free(path);
        }
        if (file)
            g_object_unref(file);
        window_playlist_redraw(w);
    }
    gtk_native_dialog_destroy(dialog);
    g_object_unref(dialog);
}

void open_chooser(tHandleWindowPlaylist *w, int32_t kind) {
    const tChooserKind &k = CHOOSERS[kind];
    GtkFileChooserNative *chooser = gtk_file_chooser_native_new(
        k.title, GTK_WINDOW(w->window), k.action, k.accept, "_Cancel");
    g_object_set_data(G_OBJECT(chooser), "pThis", w);
    g_object_set_data(G_OBJECT(chooser), "kind", GINT_TO_POINTER(kind));
    if (kind == CHOOSER_SAVE)
        gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), "Untitled document");
    g_signal_connect(chooser, "response", G_CALLBACK(chooser_response), nullptr);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser));
}

// --- the sort menu ---

void sort_by_filename(GSimpleAction *, GVariant *, gpointer data) {
    auto *w = static_cast<tHandleWindowPlaylist *>(data);
    playlist_sort_by_filename(w->playlist);
    window_playlist_redraw(w);
}

void sort_randomize(GSimpleAction *, GVariant *, gpointer data) {
    auto *w = static_cast<tHandleWindowPlaylist *>(data);
    playlist_sort_randomize(w->playlist);
    window_playlist_redraw(w);
}

void sort_reverse(GSimpleAction *, GVariant *, gpointer data) {
    auto *w = static_cast<tHandleWindowPlaylist *>(data);
    playlist_sort_reverse(w->playlist);
    window_playlist_redraw(w);
}

struct tSortEntry {
    const char *label;
    const char *action;
    const char *detailed;
    void (*activate)(GSimpleAction *, GVariant *, gpointer);
};

constexpr tSortEntry SORT_ENTRIES[3] = {
    {"Sort by Filename", "window_playlist_sort_by_filename",
     "app.window_playlist_sort_by_filename", sort_by_filename},
    {"Randomize", "window_playlist_sort_randomize", "app.window_playlist_sort_randomize",
     sort_randomize},
    {"Reverse", "window_playlist_sort_reverse", "app.window_playlist_sort_reverse", sort_reverse},
};
static_assert(3 <= WINDOW_PLAYLIST_SORT_ITEMS);

void show_sort_menu(tHandleWindowPlaylist *w) {
    if (!w->sort_popover)
        return;
    const double s = w->width > 0 ? static_cast<double>(gtk_widget_get_width(w->box)) / w->width
                                  : 1.0;
    const tHitBox &button = w->hitboxes[ITEM_BOXES + 3];
    GdkRectangle area = {static_cast<int>(button.x * s), static_cast<int>(button.y * s),
                         static_cast<int>(button.width * s), static_cast<int>(button.height * s)};
    gtk_popover_set_pointing_to(GTK_POPOVER(w->sort_popover), &area);
    gtk_popover_popup(GTK_POPOVER(w->sort_popover));
}

// --- list clicks ---

void list_click(tHandleWindowPlaylist *w, int32_t presses, double x, double y) {
    const int32_t line = gui_slider_value(0, w->visible_lines, 1, w->window, w->width, w->height,
                                          w->list_y, w->list_y + w->list_height, x, y);
    const int32_t index = w->scroll_offset + line;
    if (presses == 1) {
        if (index < w->entry_count)
            playlist_toggle_selected(w->playlist, index);
        window_playlist_redraw(w);
    } else if (presses == 2) {
        if (index >= w->entry_count) {
            window_playlist_redraw(w);
            return;
        }
        playlist_toggle_selected(w->playlist, index);
        window_playlist_redraw(w);
        static tSongInfo entry; // too large for the stack
        if (playlist_get_entry(w->playlist, index, &entry, nullptr) != 0)
            return;
        entry.path[sizeof entry.path - 1] = '\0';
        playlist_set_current(w->playlist, index);
        handle_send_path(w->handle, entry.path);
    }
}

// --- controller handlers ---

void on_pressed(GtkGestureClick *gesture, int, double x, double y, gpointer) {
    tHandleWindowPlaylist *w = record_of(gesture);
    if (!w)
        return;
    w->pressed = hit_test(w, x, y);
    w->press_x = static_cast<int32_t>(x);
    w->press_y = static_cast<int32_t>(y);
    w->press_rows = w->rows;
    w->press_columns = w->columns;
    window_playlist_redraw(w);
}

void on_released(GtkGestureClick *gesture, int presses, double x, double y, gpointer) {
    tHandleWindowPlaylist *w = record_of(gesture);
    if (!w)
        return;
    const int32_t id = hit_test(w, x, y);
    for (int32_t &flag : w->menu_open)
        flag = 0;
    if (id != 0 && id == w->pressed) {
        switch (id) {
        case 43: case 44: case 45: case 46: case 47:
            w->menu_open[id - ID_MENU_ADD] = 1;
            break;
        case ID_RESIZE:
            window_playlist_refresh(w);
            break;
        case 49:
            open_chooser(w, CHOOSER_FILE);
            break;
        case 50:
            open_chooser(w, CHOOSER_DIRECTORY);
            break;
        case 53:
            playlist_remove_selected(w->playlist);
            window_playlist_redraw(w);
            break;
        case 55:
        case 62:
            playlist_clear(w->playlist);
            window_playlist_redraw(w);
            break;
        case 56:
            playlist_select(w->playlist, PLAYLIST_SELECT_INVERT);
            window_playlist_redraw(w);
            break;
        case 57:
            playlist_select(w->playlist, PLAYLIST_SELECT_NONE);
            window_playlist_redraw(w);
            break;
        case 58:
            playlist_select(w->playlist, PLAYLIST_SELECT_ALL);
            window_playlist_redraw(w);
            break;
        case 59:
            show_sort_menu(w);
            break;
        case 63:
            open_chooser(w, CHOOSER_SAVE);
            break;
        case 64:
            open_chooser(w, CHOOSER_LOAD);
            break;
        case 65:
            handle_dispatch(w->handle, EVENT_PREV, nullptr);
            break;
        case 66:
            handle_dispatch(w->handle, EVENT_PLAY, nullptr);
            break;
        case 67:
            handle_dispatch(w->handle, EVENT_PAUSE, nullptr);
            break;
        case 68:
            handle_dispatch(w->handle, EVENT_STOP, nullptr);
            break;
        case 69:
            handle_dispatch(w->handle, EVENT_NEXT, nullptr);
            break;
        case ID_LIST:
            list_click(w, presses, x, y);
            break;
        case ID_CLOSE:
            hide_window(w);
            break;
        default: // 51, 52, 54, 60, 61, 70, 71, 72, 74: inert
            break;
        }
    }
    w->pressed = 0;
    window_playlist_redraw(w);
}

// Another gesture took the press over (dragging the title bar moves the window): no release
// will come, so the pressed look must not stay.
void on_cancel(GtkGesture *gesture, GdkEventSequence *, gpointer) {
    tHandleWindowPlaylist *w = record_of(gesture);
    if (!w || w->pressed == 0 || w->pressed == ID_RESIZE || w->pressed == ID_SCROLL)
        return;
    w->pressed = 0;
    window_playlist_redraw(w);
}

void on_drag_begin(GtkGestureDrag *, double, double, gpointer) {}

void on_drag_update(GtkGestureDrag *gesture, double dx, double dy, gpointer) {
    tHandleWindowPlaylist *w = record_of(gesture);
    if (!w)
        return;
    if (w->pressed == ID_RESIZE) {
        pthread_mutex_lock(&w->mutex);
        int32_t rows = 0;
        int32_t columns = 0;
        prospective_size(w, dx, dy, &rows, &columns);
        if (rows != w->rows || columns != w->columns) {
            char title[64];
            // Odd, kept: people know the resize drag by this title.
            snprintf(title, sizeof title, "FIXME: %d x %d\n", columns, rows);
            gtk_window_set_title(GTK_WINDOW(w->window), title);
        }
        window_playlist_refresh(w);
        pthread_mutex_unlock(&w->mutex);
    } else if (w->pressed == ID_SCROLL && w->entry_count != 0) {
        w->scroll_offset = gui_slider_value(0, w->entry_count - 1, 1, w->window, w->width,
                                            w->height, w->list_y, w->list_y + w->list_height,
                                            w->press_x + dx, w->press_y + dy);
        window_playlist_redraw(w);
    }
}

void on_drag_end(GtkGestureDrag *gesture, double dx, double dy, gpointer) {
    tHandleWindowPlaylist *w = record_of(gesture);
    if (!w || w->pressed != ID_RESIZE)
        return;
    gtk_window_set_title(GTK_WINDOW(w->window), WINDOW_TITLE);
    pthread_mutex_lock(&w->mutex);
    int32_t rows = 0;
    int32_t columns = 0;
    prospective_size(w, dx, dy, &rows, &columns);
    if (rows != w->rows || columns != w->columns)
        window_playlist_resize(w, rows, columns);
    window_playlist_refresh(w);
    pthread_mutex_unlock(&w->mutex);
}

gboolean on_scroll(GtkEventControllerScroll *, double, double dy, gpointer data) {
    auto *w = static_cast<tHandleWindowPlaylist *>(data);
    const double step = std::fmax(-1e6, std::fmin(1e6, std::trunc(dy)));
    int32_t t = w->scroll_offset + static_cast<int32_t>(step);
    if (t >= w->entry_count)
        t = w->entry_count - 1;
    w->scroll_offset = t > 0 ? t : 0;
    window_playlist_redraw(w);
    return TRUE;
}

gboolean on_close_request(GtkWindow *, gpointer data) {
    hide_window(static_cast<tHandleWindowPlaylist *>(data));
    return TRUE;
}

} // namespace

int32_t window_playlist_place_hitboxes(tHandleWindowPlaylist *w) {
    int32_t result = window_playlist_place_menu_hitboxes(w);
    for (size_t i = 0; i < ELEMENT_BOXES.size(); i++)
        result |= box_from_element(w, ITEM_BOXES + static_cast<int32_t>(i), ELEMENT_BOXES[i].id,
                                   ELEMENT_BOXES[i].element);
    result |= gui_hitbox_set(&w->hitboxes[BOX_SCROLL], ID_SCROLL, w->width - 20, w->list_y, 20,
                             w->list_height);
    result |= gui_hitbox_set(&w->hitboxes[BOX_LIST], ID_LIST, w->list_x, w->list_y,
                             w->list_width, w->list_height);
    result |= box_from_element(w, BOX_CLOSE, ID_CLOSE, ELEM_PL_CLOSE_PRESSED);
    return result;
}

int32_t window_playlist_place_menu_hitboxes(tHandleWindowPlaylist *w) {
    int32_t result = 0;
    for (int32_t i = 0; i < ITEM_BOXES; i++) {
        const tMenuItem &item = MENU_ITEMS[i];
        if (w->menu_open[item.menu]) {
            result |= box_from_element(w, i, item.id, item.element);
        } else {
            result |= gui_hitbox_disable(&w->hitboxes[i], item.id);
        }
    }
    return result;
}

int32_t window_playlist_attach_input(tHandleWindowPlaylist *w) {
    if (!w->window)
        return -1;
    w->click = gtk_gesture_click_new();
    g_object_set_data(G_OBJECT(w->click), "pThis", w);
    g_signal_connect(w->click, "pressed", G_CALLBACK(on_pressed), w->window);
    g_signal_connect(w->click, "released", G_CALLBACK(on_released), w->window);
    g_signal_connect(w->click, "cancel", G_CALLBACK(on_cancel), w->window);
    gtk_widget_add_controller(w->window, GTK_EVENT_CONTROLLER(w->click));

    w->drag = gtk_gesture_drag_new();
    g_object_set_data(G_OBJECT(w->drag), "pThis", w);
    g_signal_connect(w->drag, "drag-begin", G_CALLBACK(on_drag_begin), w->window);
    g_signal_connect(w->drag, "drag-update", G_CALLBACK(on_drag_update), w->window);
    g_signal_connect(w->drag, "drag-end", G_CALLBACK(on_drag_end), w->window);
    gtk_widget_add_controller(w->window, GTK_EVENT_CONTROLLER(w->drag));

    w->scroll = gtk_event_controller_scroll_new(GTK_EVENT_CONTROLLER_SCROLL_VERTICAL);
    g_object_set_data(G_OBJECT(w->scroll), "pThis", w);
    g_signal_connect(w->scroll, "scroll", G_CALLBACK(on_scroll), w);
    gtk_widget_add_controller(w->window, w->scroll);

    g_signal_connect(w->window, "close_request", G_CALLBACK(on_close_request), w);

    w->sort_model = g_menu_new();
    w->sort_count = 0;
    for (const tSortEntry &e : SORT_ENTRIES) {
        GSimpleAction *action = g_simple_action_new(e.action, nullptr);
        g_signal_connect(action, "activate", G_CALLBACK(e.activate), w);
        if (w->application)
            g_action_map_add_action(G_ACTION_MAP(w->application), G_ACTION(action));
        GMenuItem *item = g_menu_item_new(e.label, e.detailed);
        g_menu_append_item(w->sort_model, item);
        w->sort_actions[w->sort_count] = action;
        w->sort_items[w->sort_count] = item;
        w->sort_count++;
    }
    w->sort_popover = gtk_popover_menu_new_from_model_full(G_MENU_MODEL(w->sort_model),
                                                           GTK_POPOVER_MENU_NESTED);
    gtk_widget_set_parent(w->sort_popover, w->box);
    return 0;
}
