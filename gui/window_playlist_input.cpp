// The playlist window: hit boxes, clicks, drags, the wheel, menus, the sort menu and choosers.
#include <algorithm>
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
constexpr int32_t FIRST_ITEM_ID = PLAYLIST_ID_ADD_FILE;

struct tMenuItem {
    int32_t id;
    int32_t element;
    int32_t menu;
};

constexpr std::array<tMenuItem, ITEM_BOXES> MENU_ITEMS = {{
    {PLAYLIST_ID_ADD_FILE, 256, PLAYLIST_MENU_ADD},
    {PLAYLIST_ID_ADD_DIRECTORY, 246, PLAYLIST_MENU_ADD},
    {PLAYLIST_ID_ADD_URL, 231, PLAYLIST_MENU_ADD},
    {PLAYLIST_ID_REMOVE_MISC, 266, PLAYLIST_MENU_REMOVE},
    {PLAYLIST_ID_REMOVE_SELECTED, 248, PLAYLIST_MENU_REMOVE},
    {PLAYLIST_ID_REMOVE_CROP, 258, PLAYLIST_MENU_REMOVE},
    {PLAYLIST_ID_REMOVE_ALL, 234, PLAYLIST_MENU_REMOVE},
    {PLAYLIST_ID_SELECT_INVERT, 237, PLAYLIST_MENU_SELECT},
    {PLAYLIST_ID_SELECT_NONE, 250, PLAYLIST_MENU_SELECT},
    {PLAYLIST_ID_SELECT_ALL, 260, PLAYLIST_MENU_SELECT},
    {PLAYLIST_ID_MISC_SORT, 240, PLAYLIST_MENU_MISC},
    {PLAYLIST_ID_MISC_INFO, 252, PLAYLIST_MENU_MISC},
    {PLAYLIST_ID_MISC_OPTIONS, 262, PLAYLIST_MENU_MISC},
    {PLAYLIST_ID_LIST_NEW, 243, PLAYLIST_MENU_LIST},
    {PLAYLIST_ID_LIST_SAVE, 254, PLAYLIST_MENU_LIST},
    {PLAYLIST_ID_LIST_LOAD, 264, PLAYLIST_MENU_LIST},
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
    {PLAYLIST_ID_MENU_ADD, ELEM_PL_MENU_BUTTON},
    {PLAYLIST_ID_MENU_REMOVE, ELEM_PL_MENU_BUTTON + 1},
    {PLAYLIST_ID_MENU_SELECT, ELEM_PL_MENU_BUTTON + 2},
    {PLAYLIST_ID_MENU_MISC, ELEM_PL_MENU_BUTTON + 3},
    {PLAYLIST_ID_MENU_LIST, ELEM_PL_MENU_BUTTON + 4},
    {PLAYLIST_ID_RESIZE, ELEM_PL_RESIZE},
    {PLAYLIST_ID_PREV, ELEM_PL_MINI_BUTTON},
    {PLAYLIST_ID_PLAY, ELEM_PL_MINI_BUTTON + 1},
    {PLAYLIST_ID_PAUSE, ELEM_PL_MINI_BUTTON + 2},
    {PLAYLIST_ID_STOP, ELEM_PL_MINI_BUTTON + 3},
    {PLAYLIST_ID_NEXT, ELEM_PL_MINI_BUTTON + 4},
    {PLAYLIST_ID_EJECT, ELEM_PL_MINI_BUTTON + 5},
    {PLAYLIST_ID_SMALL_UP, ELEM_PL_SMALL_BUTTON},
    {PLAYLIST_ID_SMALL_DOWN, ELEM_PL_SMALL_BUTTON + 1},
}};
constexpr int32_t BOX_SCROLL = ITEM_BOXES + 14;
constexpr int32_t BOX_LIST = BOX_SCROLL + 1;
constexpr int32_t BOX_CLOSE = BOX_LIST + 1;
static_assert(BOX_CLOSE + 1 == WINDOW_PLAYLIST_HITBOXES);

constexpr const char *WINDOW_TITLE = "ravlox playlist";

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

constexpr tSkinChooser CHOOSERS[4] = {
    SKIN_CHOOSER_OPEN_FILE,
    {"Open Directory", GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "Choose", nullptr, nullptr, nullptr, 0},
    {"Save playlist ", GTK_FILE_CHOOSER_ACTION_SAVE, "Save", "Untitled document", nullptr, nullptr, 0},
    {"Load Playlist ", GTK_FILE_CHOOSER_ACTION_OPEN, "_Load", nullptr, nullptr, nullptr, 0},
};

void on_chosen(void *record, int32_t kind, const char *path) {
    auto *w = static_cast<tHandleWindowPlaylist *>(record);
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
        if (playlist_write_file(w->playlist, path) != 0)
            fprintf(stderr, "unable to write the playlist [%s]\n", path);
        break;
    case CHOOSER_LOAD:
        if (playlist_read_file(w->playlist, path) != 0)
            fprintf(stderr, "unable to read the playlist [%s]\n", path);
        break;
    default:
        break;
    }
    window_playlist_redraw(w);
}

void open_chooser(tHandleWindowPlaylist *w, int32_t kind) {
    skin_choose_file(w->window, CHOOSERS[kind], on_chosen, w, kind);
}

// --- the sort menu ---

void sort_by_filename(GSimpleAction *, GVariant *, void *data) {
    auto *w = static_cast<tHandleWindowPlaylist *>(data);
    playlist_sort_by_filename(w->playlist);
    window_playlist_redraw(w);
}

void sort_randomize(GSimpleAction *, GVariant *, void *data) {
    auto *w = static_cast<tHandleWindowPlaylist *>(data);
    playlist_sort_randomize(w->playlist);
    window_playlist_redraw(w);
}

void sort_reverse(GSimpleAction *, GVariant *, void *data) {
    auto *w = static_cast<tHandleWindowPlaylist *>(data);
    playlist_sort_reverse(w->playlist);
    window_playlist_redraw(w);
}

constexpr tSkinMenuItem SORT_ENTRIES[3] = {
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
    skin_menu_popup(w->sort_popover, static_cast<int>(button.x * s), static_cast<int>(button.y * s),
                    static_cast<int>(button.width * s), static_cast<int>(button.height * s));
}

// --- list clicks ---

// Makes the entry the current one and opens it; 0 when it was opened.
int32_t open_entry(tHandleWindowPlaylist *w, int32_t index) {
    static tSongInfo entry; // too large for the stack
    if (playlist_get_entry(w->playlist, index, &entry, nullptr) != 0)
        return -1;
    entry.path[sizeof entry.path - 1] = '\0';
    playlist_set_current(w->playlist, index);
    return handle_send_path(w->handle, entry.path);
}

void list_click(tHandleWindowPlaylist *w, int32_t presses, double y) {
    const int32_t line = window_playlist_line_at(w, y, gtk_widget_get_height(w->window));
    const int32_t index = line < 0 ? w->entry_count : w->scroll_offset + line;
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
        // While playing, an entry that does not open gives way to the next one that does.
        int32_t state = DECODER_IDLE;
        decoder_get_state(&w->handle->decoder, &state);
        if (state == DECODER_PLAYING)
            handle_send_int(w->handle, EVENT_PLAY, index);
        else
            open_entry(w, index);
    }
}

// --- keys ---

enum : int32_t {
    ID_KEY_UP = 80,
    ID_KEY_DOWN = 81,
    ID_KEY_PAGE_UP = 82,
    ID_KEY_PAGE_DOWN = 83,
    ID_KEY_HOME = 84,
    ID_KEY_END = 85,
    ID_KEY_PLAY = 86,
    ID_KEY_REMOVE = 87,
    ID_KEY_SELECT_ALL = 88,
};

// Searched before the main window's rows, whose Up and Down these take over.
constexpr std::array<tKeyRow, 11> KEY_ROWS = {{
    {GDK_KEY_Up, 0, ID_KEY_UP},
    {GDK_KEY_Down, 0, ID_KEY_DOWN},
    {GDK_KEY_Page_Up, 0, ID_KEY_PAGE_UP},
    {GDK_KEY_Page_Down, 0, ID_KEY_PAGE_DOWN},
    {GDK_KEY_Home, 0, ID_KEY_HOME},
    {GDK_KEY_End, 0, ID_KEY_END},
    {GDK_KEY_Return, 0, ID_KEY_PLAY},
    {GDK_KEY_KP_Enter, 0, ID_KEY_PLAY},
    {GDK_KEY_Delete, 0, ID_KEY_REMOVE},
    {GDK_KEY_KP_Delete, 0, ID_KEY_REMOVE},
    {GDK_KEY_a, GDK_CONTROL_MASK, ID_KEY_SELECT_ALL},
}};

// The first (or last) selected entry, -1 when none is.
int32_t selected_entry(tHandleWindowPlaylist *w, bool last) {
    int32_t count = 0;
    int32_t current = 0;
    playlist_get_position(w->playlist, &count, &current);
    for (int32_t k = 0; k < count; k++) {
        const int32_t i = last ? count - 1 - k : k;
        uint8_t mark = 0;
        if (playlist_get_entry(w->playlist, i, nullptr, &mark) == 0 && mark)
            return i;
    }
    return -1;
}

// The first selected entry's, or else the current entry's.
void show_file_info(tHandleWindowPlaylist *w) {
    int32_t index = selected_entry(w, false);
    if (index < 0)
        playlist_get_position(w->playlist, nullptr, &index);
    static tSongInfo entry; // too large for the stack
    if (playlist_get_entry(w->playlist, index, &entry, nullptr) != 0 || w->handle == nullptr)
        return;
    entry.path[sizeof entry.path - 1] = '\0';
    window_fileinfo_show(&w->handle->gui.window_fileinfo, entry.path, w->window);
}

void set_offset(tHandleWindowPlaylist *w, int32_t offset) {
    w->scroll_offset = std::clamp(offset, 0, std::max(0, w->entry_count - 1));
}

// The selection becomes the one entry next to it (next to the current entry when nothing is
// selected), scrolled into sight.
void move_selection(tHandleWindowPlaylist *w, int32_t step) {
    int32_t count = 0;
    int32_t current = 0;
    playlist_get_position(w->playlist, &count, &current);
    if (count == 0)
        return;
    int32_t from = selected_entry(w, step > 0);
    if (from < 0)
        from = current;
    const int32_t to = std::clamp(from + step, 0, count - 1);
    playlist_select(w->playlist, PLAYLIST_SELECT_NONE);
    playlist_toggle_selected(w->playlist, to);
    const int32_t lines = std::max(1, w->visible_lines);
    if (to < w->scroll_offset)
        w->scroll_offset = to;
    else if (to >= w->scroll_offset + lines)
        w->scroll_offset = to - lines + 1;
}

void act_on_key(tHandleWindowPlaylist *w, int32_t id) {
    const int32_t page = std::max(1, w->visible_lines);
    switch (id) {
    case ID_KEY_UP: move_selection(w, -1); break;
    case ID_KEY_DOWN: move_selection(w, 1); break;
    case ID_KEY_PAGE_UP: set_offset(w, w->scroll_offset - page); break;
    case ID_KEY_PAGE_DOWN: set_offset(w, w->scroll_offset + page); break;
    case ID_KEY_HOME: set_offset(w, 0); break;
    case ID_KEY_END: set_offset(w, w->entry_count - page); break;
    case ID_KEY_PLAY: {
        const int32_t index = selected_entry(w, false);
        if (index >= 0)
            handle_send_int(w->handle, EVENT_PLAY, index);
        break;
    }
    case ID_KEY_REMOVE: playlist_remove_selected(w->playlist); break;
    case ID_KEY_SELECT_ALL: playlist_select(w->playlist, PLAYLIST_SELECT_ALL); break;
    default: break;
    }
}

// The release of a held key of this window's rows; a key let go of while the pointer holds a
// press leaves that press alone, since a resize or a scroll-bar drag ends only with its own
// release.
int32_t release_key(void *record, int32_t id) {
    auto *w = static_cast<tHandleWindowPlaylist *>(record);
    if (id == 0 || id != w->pressed)
        return 0;
    w->pressed = 0;
    act_on_key(w, id);
    return window_playlist_redraw(w);
}

int32_t redraw_of(void *record) {
    return window_playlist_redraw(static_cast<tHandleWindowPlaylist *>(record));
}

// --- controller handlers ---

int32_t hit_record(void *record, double x, double y) {
    return hit_test(static_cast<tHandleWindowPlaylist *>(record), x, y);
}

void on_press(void *record) {
    auto *w = static_cast<tHandleWindowPlaylist *>(record);
    w->press_rows = w->rows;
    w->press_columns = w->columns;
}

// Every release closes the pop-up menus before anything acts.
void release_begin(void *record, int32_t, bool) {
    for (int32_t &flag : static_cast<tHandleWindowPlaylist *>(record)->menu_open)
        flag = 0;
}

void act(void *record, int32_t id, int32_t presses, double, double y) {
    auto *w = static_cast<tHandleWindowPlaylist *>(record);
    switch (id) {
    case PLAYLIST_ID_MENU_ADD:
    case PLAYLIST_ID_MENU_REMOVE:
    case PLAYLIST_ID_MENU_SELECT:
    case PLAYLIST_ID_MENU_MISC:
    case PLAYLIST_ID_MENU_LIST:
        w->menu_open[id - PLAYLIST_ID_MENU_ADD] = 1;
        break;
    case PLAYLIST_ID_RESIZE:
        window_playlist_refresh(w);
        break;
    case PLAYLIST_ID_ADD_FILE:
        open_chooser(w, CHOOSER_FILE);
        break;
    case PLAYLIST_ID_ADD_DIRECTORY:
        open_chooser(w, CHOOSER_DIRECTORY);
        break;
    case PLAYLIST_ID_REMOVE_SELECTED:
        playlist_remove_selected(w->playlist);
        window_playlist_redraw(w);
        break;
    case PLAYLIST_ID_REMOVE_ALL:
    case PLAYLIST_ID_LIST_NEW:
        playlist_clear(w->playlist);
        window_playlist_redraw(w);
        break;
    case PLAYLIST_ID_SELECT_INVERT:
        playlist_select(w->playlist, PLAYLIST_SELECT_INVERT);
        window_playlist_redraw(w);
        break;
    case PLAYLIST_ID_SELECT_NONE:
        playlist_select(w->playlist, PLAYLIST_SELECT_NONE);
        window_playlist_redraw(w);
        break;
    case PLAYLIST_ID_SELECT_ALL:
        playlist_select(w->playlist, PLAYLIST_SELECT_ALL);
        window_playlist_redraw(w);
        break;
    case PLAYLIST_ID_MISC_SORT:
        show_sort_menu(w);
        break;
    case PLAYLIST_ID_MISC_INFO:
        show_file_info(w);
        break;
    case PLAYLIST_ID_LIST_SAVE:
        open_chooser(w, CHOOSER_SAVE);
        break;
    case PLAYLIST_ID_LIST_LOAD:
        open_chooser(w, CHOOSER_LOAD);
        break;
    case PLAYLIST_ID_PREV:
        handle_dispatch(w->handle, EVENT_PREV, nullptr);
        break;
    case PLAYLIST_ID_PLAY:
        handle_dispatch(w->handle, EVENT_PLAY, nullptr);
        break;
    case PLAYLIST_ID_PAUSE:
        handle_dispatch(w->handle, EVENT_PAUSE, nullptr);
        break;
    case PLAYLIST_ID_STOP:
        handle_dispatch(w->handle, EVENT_STOP, nullptr);
        break;
    case PLAYLIST_ID_NEXT:
        handle_dispatch(w->handle, EVENT_NEXT, nullptr);
        break;
    case PLAYLIST_ID_LIST:
        list_click(w, presses, y);
        break;
    case PLAYLIST_ID_CLOSE:
        hide_window(w);
        break;
    default: // the inert items and buttons, and the scroll bar (its drag acts)
        break;
    }
}

void on_drag_update(void *record, double dx, double dy) {
    auto *w = static_cast<tHandleWindowPlaylist *>(record);
    if (w->pressed == PLAYLIST_ID_RESIZE) {
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
    } else if (w->pressed == PLAYLIST_ID_SCROLL && w->entry_count != 0) {
        w->scroll_offset = gui_slider_value(0, w->entry_count - 1, 1, w->window, w->width,
                                            w->height, w->list_y, w->list_y + w->list_height,
                                            w->press_x + dx, w->press_y + dy);
        window_playlist_redraw(w);
    }
}

void on_drag_end(void *record, double dx, double dy) {
    auto *w = static_cast<tHandleWindowPlaylist *>(record);
    if (w->pressed != PLAYLIST_ID_RESIZE)
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
    window_playlist_scroll(static_cast<tHandleWindowPlaylist *>(data), dy);
    return TRUE;
}

gboolean on_close_request(GtkWindow *, gpointer data) {
    hide_window(static_cast<tHandleWindowPlaylist *>(data));
    return TRUE;
}

} // namespace

const tKeyRow *window_playlist_key_rows(int32_t *count) {
    *count = static_cast<int32_t>(KEY_ROWS.size());
    return KEY_ROWS.data();
}

int32_t window_playlist_line_at(const tHandleWindowPlaylist *w, double y, int32_t widget_height) {
    if (widget_height < 1 || w->height < 1 || w->line_height < 1)
        return -1;
    // In the text layer's pixels, where the lines are drawn line_height apart.
    const double drawn = y * w->scale * w->height / widget_height - w->scale * w->list_y;
    if (!(drawn >= 0))
        return -1;
    const double line = std::floor(drawn / w->line_height);
    return line < w->visible_lines ? static_cast<int32_t>(line) : -1;
}

int32_t window_playlist_scroll(tHandleWindowPlaylist *w, double dy) {
    if (!std::isfinite(dy))
        return -1;
    const double total = w->scroll_remainder + std::fmax(-1e6, std::fmin(1e6, dy));
    const double step = std::trunc(total);
    w->scroll_remainder = total - step;
    if (step == 0)
        return 0;
    int32_t t = w->scroll_offset + static_cast<int32_t>(step);
    if (t >= w->entry_count)
        t = w->entry_count - 1;
    w->scroll_offset = t > 0 ? t : 0;
    return window_playlist_redraw(w);
}

int32_t window_playlist_place_hitboxes(tHandleWindowPlaylist *w) {
    int32_t result = window_playlist_place_menu_hitboxes(w);
    for (size_t i = 0; i < ELEMENT_BOXES.size(); i++)
        result |= box_from_element(w, ITEM_BOXES + static_cast<int32_t>(i), ELEMENT_BOXES[i].id,
                                   ELEMENT_BOXES[i].element);
    result |= gui_hitbox_set(&w->hitboxes[BOX_SCROLL], PLAYLIST_ID_SCROLL, w->width - 20, w->list_y, 20,
                             w->list_height);
    result |= gui_hitbox_set(&w->hitboxes[BOX_LIST], PLAYLIST_ID_LIST, w->list_x, w->list_y,
                             w->list_width, w->list_height);
    result |= box_from_element(w, BOX_CLOSE, PLAYLIST_ID_CLOSE, ELEM_PL_CLOSE_PRESSED);
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
    w->input = tSkinInput{.record = w,
                          .window = w->window,
                          .pressed = &w->pressed,
                          .press_x = &w->press_x,
                          .press_y = &w->press_y,
                          .hit = hit_record,
                          .act = act,
                          .release_begin = release_begin,
                          .press = on_press,
                          .drag_update = on_drag_update,
                          .drag_end = on_drag_end,
                          .redraw = redraw_of,
                          .title_bar = w->window_handle};
    skin_input_attach(&w->input);
    w->click = w->input.click;
    w->drag = w->input.drag;

    w->scroll = gtk_event_controller_scroll_new(GTK_EVENT_CONTROLLER_SCROLL_VERTICAL);
    g_object_set_data(G_OBJECT(w->scroll), "pThis", w);
    g_signal_connect(w->scroll, "scroll", G_CALLBACK(on_scroll), w);
    gtk_widget_add_controller(w->window, w->scroll);

    keys_init(&w->key_machine, {w, &w->pressed, release_key, redraw_of, KEY_ROWS.data(),
                                static_cast<int32_t>(KEY_ROWS.size())});
    if (w->handle)
        keys_add_target(&w->key_machine, window_main_key_target(&w->handle->gui.window_main));
    keys_attach(&w->key_machine, w->window);

    g_signal_connect(w->window, "close_request", G_CALLBACK(on_close_request), w);

    tSkinMenu menu{nullptr, nullptr, w->sort_items, w->sort_actions, &w->sort_count,
                   WINDOW_PLAYLIST_SORT_ITEMS};
    skin_menu_build(&menu, w->application, w->box, SORT_ENTRIES, 3, w);
    w->sort_model = menu.model;
    w->sort_popover = menu.popover;
    return 0;
}
