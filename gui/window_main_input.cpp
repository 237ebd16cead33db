// The main window's input: hit boxes, clicks, slider drags, keys, the options menu and the
// theme and file choosers.
#include <array>
#include <cstdio>
#include <gtk/gtk.h>

#include "core/handle.h"
#include "gui/window_main.h"
#include "theme/catalogue.h"
#include "theme/theme.h"

namespace {

constexpr uint32_t CONTROL = GDK_CONTROL_MASK;

constexpr std::array<tKeyRow, 16> KEY_TABLE = {{
    {GDK_KEY_o, CONTROL, MAIN_ID_MENU},
    {GDK_KEY_a, CONTROL, MAIN_ID_STRIP_2},
    {GDK_KEY_d, CONTROL, MAIN_ID_SCALE},
    {GDK_KEY_i, CONTROL, MAIN_ID_LICENCE},
    {GDK_KEY_v, CONTROL, MAIN_ID_VISUALIZER},
    {GDK_KEY_z, 0, MAIN_ID_PREV},
    {GDK_KEY_x, 0, MAIN_ID_PLAY},
    {GDK_KEY_c, 0, MAIN_ID_PAUSE},
    {GDK_KEY_v, 0, MAIN_ID_STOP},
    {GDK_KEY_b, 0, MAIN_ID_NEXT},
    {GDK_KEY_n, 0, MAIN_ID_EJECT},
    {GDK_KEY_Up, 0, MAIN_ID_VOLUME_UP},
    {GDK_KEY_Down, 0, MAIN_ID_VOLUME_DOWN},
    {GDK_KEY_Left, 0, MAIN_ID_BALANCE_LEFT},
    {GDK_KEY_Right, 0, MAIN_ID_BALANCE_RIGHT},
    {GDK_KEY_j, 0, MAIN_ID_JUMP},
}};
static_assert(GDK_CONTROL_MASK == 4);

int32_t hit(tHandleWindowMain *w, double x, double y) {
    return gui_hitbox_test(w->hitboxes, WINDOW_MAIN_HITBOXES, w->window, WINDOW_MAIN_WIDTH,
                           WINDOW_MAIN_HEIGHT, x, y);
}

void toggle(tHandleWindowMain *w, int32_t *flag, const char *key) {
    *flag = *flag == 1 ? 0 : 1;
    config_set_onoff(&w->config, key, *flag);
    // The switches change here, not through the dispatcher, so the desktop is told here.
    if (w->handle != nullptr)
        mpris_announce(&w->handle->mpris, 0);
}

void show_menu(tHandleWindowMain *w) { skin_menu_popup(w->popover, w->press_x, w->press_y, 1, 1); }

// ---- choosers

enum : int32_t { CHOOSER_FILE, CHOOSER_DIRECTORY, CHOOSER_WSZ };

constexpr tSkinChooser CHOOSERS[] = {
    SKIN_CHOOSER_OPEN_FILE,
    {"Open Directory", GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "Choose", nullptr, nullptr, nullptr, 0},
    {"Open WSZ", GTK_FILE_CHOOSER_ACTION_OPEN, "Open", nullptr, nullptr, nullptr, 0},
};

void on_chosen(void *record, int32_t kind, const char *path) {
    tHandleWindowMain *w = static_cast<tHandleWindowMain *>(record);
    char folder[HANDLE_PATH_SIZE];
    if (kind != CHOOSER_FILE && handle_get_theme_dir(w->handle, folder) != RESULT_OK)
        return;
    switch (kind) {
    case CHOOSER_FILE:
        handle_send_path(w->handle, path);
        break;
    case CHOOSER_DIRECTORY:
        if (theme_load_directory(w->theme, path, folder) == 0)
            handle_dispatch(w->handle, EVENT_REFRESH, nullptr);
        break;
    case CHOOSER_WSZ:
        if (theme_load_wsz(w->theme, path, folder) == 0) {
            theme_load_directory(w->theme, folder, folder);
            handle_dispatch(w->handle, EVENT_REFRESH, nullptr);
        }
        break;
    default:
        break;
    }
}

void open_chooser(tHandleWindowMain *w, int32_t kind) {
    skin_choose_file(w->window, CHOOSERS[kind], on_chosen, w, kind);
}

// ---- menu actions

void on_menu_preferences(GSimpleAction *, GVariant *, void *data) {
    handle_send_int(static_cast<tHandleWindowMain *>(data)->handle, EVENT_PREFERENCES, 1);
}

void on_menu_skins(GSimpleAction *, GVariant *, void *data) {
    open_chooser(static_cast<tHandleWindowMain *>(data), CHOOSER_DIRECTORY);
}

void on_menu_skins_wsz(GSimpleAction *, GVariant *, void *data) {
    open_chooser(static_cast<tHandleWindowMain *>(data), CHOOSER_WSZ);
}

void open_jump(tHandleWindowMain *w) { window_jump_show(&w->handle->gui.window_jump); }

void on_menu_jump(GSimpleAction *, GVariant *, void *data) { open_jump(static_cast<tHandleWindowMain *>(data)); }

void on_menu_skins_default(GSimpleAction *, GVariant *, void *data) {
    tHandleWindowMain *w = static_cast<tHandleWindowMain *>(data);
    char dir[HANDLE_PATH_SIZE];
    if (handle_get_theme_dir(w->handle, dir) != RESULT_OK)
        return;
    // A reset that cannot be written leaves the old theme on the screen; it said why.
    if (theme_load_default(w->theme, dir) == 0)
        handle_dispatch(w->handle, EVENT_REFRESH, nullptr);
}

// ---- controllers

int32_t hit_record(void *record, double x, double y) {
    return hit(static_cast<tHandleWindowMain *>(record), x, y);
}

int32_t redraw_record(void *record) {
    return window_main_redraw(static_cast<tHandleWindowMain *>(record));
}

void act(void *record, int32_t id, int32_t, double, double);

// Letting go of the position bar anywhere else seeks too.
void release_begin(void *record, int32_t pressed, bool acts) {
    tHandleWindowMain *w = static_cast<tHandleWindowMain *>(record);
    if (!acts && pressed == MAIN_ID_POSITION)
        handle_send_int(w->handle, EVENT_SEEK, w->song.position);
}

void on_drag_update(void *record, double dx, double dy) {
    tHandleWindowMain *w = static_cast<tHandleWindowMain *>(record);
    const double x = w->press_x + dx;
    const double y = w->press_y + dy;
    auto value = [&](int32_t min, int32_t max, int32_t start, int32_t end) {
        return gui_slider_value(min, max, 0, w->window, WINDOW_MAIN_WIDTH, WINDOW_MAIN_HEIGHT,
                                start, end, x, y);
    };
    switch (w->pressed) {
    case MAIN_ID_VOLUME:
        handle_send_int(w->handle, EVENT_VOLUME, value(0, 100, 107, 175));
        break;
    case MAIN_ID_BALANCE:
        handle_send_int(w->handle, EVENT_BALANCE, value(-100, 100, 177, 215));
        break;
    case MAIN_ID_POSITION:
        w->song.position = value(0, w->song.length, 16, 264);
        window_main_redraw(w);
        break;
    default:
        break;
    }
}

int32_t release_of(void *record, int32_t id) {
    auto *w = static_cast<tHandleWindowMain *>(record);
    const bool menu = id == MAIN_ID_MENU && w->pressed == id;
    const int32_t result = window_main_release(w, id);
    // Opened from the keyboard, the menu itself takes the focus rather than its first item,
    // so that the arrows choose the first or the last item.
    if (menu && w->popover != nullptr) {
        gtk_widget_set_focusable(w->popover, TRUE);
        gtk_widget_grab_focus(w->popover);
        gtk_widget_set_focusable(w->popover, FALSE);
    }
    return result;
}



} // namespace

const tKeyRow *window_main_key_rows(int32_t *count) {
    *count = static_cast<int32_t>(KEY_TABLE.size());
    return KEY_TABLE.data();
}

tKeyTarget window_main_key_target(tHandleWindowMain *w) {
    return {w, &w->pressed, release_of, redraw_record, KEY_TABLE.data(),
            static_cast<int32_t>(KEY_TABLE.size())};
}

int32_t window_main_toggle_switch(tHandleWindowMain *w, int32_t id) {
    if (id == MAIN_ID_SHUFFLE)
        toggle(w, &w->shuffle, "shuffle");
    else if (id == MAIN_ID_REPEAT)
        toggle(w, &w->repeat, "repeat");
    else
        return -1;
    return window_main_redraw(w);
}

int32_t window_main_release(tHandleWindowMain *w, int32_t id) {
    return skin_input_release(&w->input, id, 1, w->press_x, w->press_y);
}

namespace {

int32_t step_up(int32_t v, int32_t max) {
    const int32_t r = (v + 10) / 10 * 10;
    return r > max ? max : r;
}

void volume_down(tHandleWindowMain *w) {
    const int32_t v = (w->volume - 10) / 10 * 10;
    handle_send_int(w->handle, EVENT_VOLUME, v > 0 ? v : 0);
}

void balance_left(tHandleWindowMain *w) {
    const int32_t b = (w->balance - 10) / 10 * 10;
    handle_send_int(w->handle, EVENT_BALANCE, b < -99 ? -100 : b);
}

void minimize(tHandleWindowMain *w) {
    if (w->window != nullptr)
        gtk_window_minimize(GTK_WINDOW(w->window));
}

using tMainBox = tSkinBox<void (*)(tHandleWindowMain *)>;
constexpr int32_t NO_ELEMENT = SKIN_NO_ELEMENT;

// Every id of a box or key: the element it rests as, the one drawn while it is held (for the
// switches, their look while off; +4 is the look while on), and its release's action (none: only
// the look, or the drag has acted). The thumbs' pressed looks follow the thumbs.
constexpr tMainBox MAIN_BOXES[] = {
    {MAIN_ID_MENU, ELEM_CLUTTERBAR_ON, ELEM_CLUTTERBAR_PRESSED, show_menu},
    {MAIN_ID_STRIP_2, ELEM_CLUTTERBAR_ON, ELEM_CLUTTERBAR_PRESSED + 1, nullptr},
    {MAIN_ID_LICENCE, ELEM_CLUTTERBAR_ON, ELEM_CLUTTERBAR_PRESSED + 2,
     [](tHandleWindowMain *w) { window_licence_show(&w->licence); }},
    {MAIN_ID_SCALE, ELEM_CLUTTERBAR_ON, ELEM_CLUTTERBAR_PRESSED + 3,
     [](tHandleWindowMain *w) { handle_dispatch(w->handle, EVENT_SCALE, nullptr); }},
    {MAIN_ID_VISUALIZER, ELEM_CLUTTERBAR_ON, ELEM_CLUTTERBAR_PRESSED + 4,
     [](tHandleWindowMain *w) { visualizer_cycle_mode(&w->visualizer); }},
    {MAIN_ID_EQUALIZER, ELEM_EQPL_TOGGLE, ELEM_EQPL_TOGGLE + 2,
     [](tHandleWindowMain *w) { handle_send_int(w->handle, EVENT_SHOW_EQUALIZER, w->equalizer_button == 0 ? 1 : 0); }},
    {MAIN_ID_PLAYLIST, ELEM_EQPL_TOGGLE + 1, ELEM_EQPL_TOGGLE + 3,
     [](tHandleWindowMain *w) { handle_send_int(w->handle, EVENT_SHOW_PLAYLIST, w->playlist_button == 0 ? 1 : 0); }},
    {MAIN_ID_PREV, ELEM_CBUTTON, ELEM_CBUTTON_PRESSED,
     [](tHandleWindowMain *w) { handle_dispatch(w->handle, EVENT_PREV, nullptr); }},
    {MAIN_ID_PLAY, ELEM_CBUTTON + 1, ELEM_CBUTTON_PRESSED + 1,
     [](tHandleWindowMain *w) { handle_dispatch(w->handle, EVENT_PLAY, nullptr); }},
    {MAIN_ID_PAUSE, ELEM_CBUTTON + 2, ELEM_CBUTTON_PRESSED + 2,
     [](tHandleWindowMain *w) { handle_dispatch(w->handle, EVENT_PAUSE, nullptr); }},
    {MAIN_ID_STOP, ELEM_CBUTTON + 3, ELEM_CBUTTON_PRESSED + 3,
     [](tHandleWindowMain *w) { handle_dispatch(w->handle, EVENT_STOP, nullptr); }},
    {MAIN_ID_NEXT, ELEM_CBUTTON + 4, ELEM_CBUTTON_PRESSED + 4,
     [](tHandleWindowMain *w) { handle_dispatch(w->handle, EVENT_NEXT, nullptr); }},
    {MAIN_ID_EJECT, ELEM_CBUTTON + 5, ELEM_CBUTTON_PRESSED + 5,
     [](tHandleWindowMain *w) { open_chooser(w, CHOOSER_FILE); }},
    {MAIN_ID_SHUFFLE, ELEM_SHUFREP + 1, ELEM_SHUFREP + 3,
     [](tHandleWindowMain *w) { toggle(w, &w->shuffle, "shuffle"); }},
    {MAIN_ID_REPEAT, ELEM_SHUFREP, ELEM_SHUFREP + 2,
     [](tHandleWindowMain *w) { toggle(w, &w->repeat, "repeat"); }},
    {MAIN_ID_VOLUME, ELEM_VOLUME_THUMB, NO_ELEMENT, nullptr},
    {MAIN_ID_BALANCE, ELEM_BALANCE_THUMB, NO_ELEMENT, nullptr},
    {MAIN_ID_POSITION, ELEM_POSBAR_THUMB, NO_ELEMENT,
     [](tHandleWindowMain *w) { handle_send_int(w->handle, EVENT_SEEK, w->song.position); }},
    {MAIN_ID_TIME, NO_ELEMENT, NO_ELEMENT,
     [](tHandleWindowMain *w) { toggle(w, &w->countdown, "countdown"); }},
    {MAIN_ID_TITLE_MENU, ELEM_TB_MENU, ELEM_TB_PRESSED, show_menu},
    {MAIN_ID_MINIMIZE, ELEM_TB_MINIMIZE, ELEM_TB_PRESSED + 1, minimize},
    {MAIN_ID_BUTTON4, ELEM_TB_BUTTON4, ELEM_TB_BUTTON4_PRESSED, nullptr},
    {MAIN_ID_CLOSE, ELEM_TB_CLOSE, ELEM_TB_PRESSED + 2,
     [](tHandleWindowMain *w) { handle_dispatch(w->handle, EVENT_QUIT, nullptr); }},
    {MAIN_ID_VOLUME_UP, NO_ELEMENT, NO_ELEMENT,
     [](tHandleWindowMain *w) { handle_send_int(w->handle, EVENT_VOLUME, step_up(w->volume, 100)); }},
    {MAIN_ID_VOLUME_DOWN, NO_ELEMENT, NO_ELEMENT, volume_down},
    {MAIN_ID_BALANCE_LEFT, NO_ELEMENT, NO_ELEMENT, balance_left},
    {MAIN_ID_BALANCE_RIGHT, NO_ELEMENT, NO_ELEMENT,
     [](tHandleWindowMain *w) { handle_send_int(w->handle, EVENT_BALANCE, step_up(w->balance, 100)); }},
    {MAIN_ID_JUMP, NO_ELEMENT, NO_ELEMENT, open_jump},
};
static_assert(skin_pressed_element(MAIN_BOXES, MAIN_ID_CLOSE) == 362 &&
              skin_pressed_element(MAIN_BOXES, MAIN_ID_EJECT) == 50);

void act(void *record, int32_t id, int32_t, double, double) {
    tHandleWindowMain *w = static_cast<tHandleWindowMain *>(record);
    const tMainBox *box = skin_box(MAIN_BOXES, id);
    if (box != nullptr && box->action != nullptr)
        box->action(w);
}

} // namespace

int32_t window_main_pressed_look(int32_t id) { return skin_pressed_element(MAIN_BOXES, id); }

void window_main_build_hitboxes(tHandleWindowMain *w) {
    constexpr int W = WINDOW_MAIN_WIDTH, H = WINDOW_MAIN_HEIGHT;
    tHitBox *b = w->hitboxes;
    int n = 0;
    for (int k = 0; k < 4; k++)
        gui_hitbox_set(&b[n++], MAIN_ID_MENU + k, 10, 25 + 8 * k, 8, 6);
    gui_hitbox_set(&b[n++], MAIN_ID_VISUALIZER, 10, 56, 8, 6);
    gui_hitbox_from_element(W, H, &b[n++], MAIN_ID_VISUALIZER, ELEM_MAIN_VIS_AREA);
    gui_hitbox_from_element(W, H, &b[n++], MAIN_ID_EQUALIZER, ELEM_EQPL_TOGGLE + 6);
    gui_hitbox_from_element(W, H, &b[n++], MAIN_ID_PLAYLIST, ELEM_EQPL_TOGGLE + 7);
    for (int k = 0; k < 6; k++)
        gui_hitbox_from_element(W, H, &b[n++], MAIN_ID_PREV + k, ELEM_CBUTTON_PRESSED + k);
    gui_hitbox_from_element(W, H, &b[n++], MAIN_ID_SHUFFLE, ELEM_SHUFREP + 7);
    gui_hitbox_from_element(W, H, &b[n++], MAIN_ID_REPEAT, ELEM_SHUFREP + 6);
    gui_hitbox_from_element(W, H, &b[n++], MAIN_ID_VOLUME, ELEM_VOLUME_FRAME);
    gui_hitbox_from_element(W, H, &b[n++], MAIN_ID_BALANCE, ELEM_BALANCE_FRAME);
    gui_hitbox_from_element(W, H, &b[n++], MAIN_ID_POSITION, ELEM_POSBAR);
    const tThemeElement *digit = theme_element(ELEM_DIGIT);
    gui_hitbox_set(&b[n++], MAIN_ID_TIME, 48, digit->destination_y, 42, digit->height);
    gui_hitbox_from_element(W, H, &b[n++], MAIN_ID_LICENCE, ELEM_MAIN_CORNER);
    gui_hitbox_from_element(W, H, &b[n++], MAIN_ID_TITLE_MENU, ELEM_TB_MENU);
    gui_hitbox_from_element(W, H, &b[n++], MAIN_ID_MINIMIZE, ELEM_TB_MINIMIZE);
    gui_hitbox_from_element(W, H, &b[n++], MAIN_ID_BUTTON4, ELEM_TB_BUTTON4);
    gui_hitbox_from_element(W, H, &b[n++], MAIN_ID_CLOSE, ELEM_TB_CLOSE);
    g_assert(n == WINDOW_MAIN_HITBOXES);
}

int32_t window_main_connect_input(tHandleWindowMain *w) {
    w->input = tSkinInput{.record = w,
                          .window = w->window,
                          .pressed = &w->pressed,
                          .press_x = &w->press_x,
                          .press_y = &w->press_y,
                          .flags = SKIN_RELEASE_AT_DRAG_END,
                          .hit = hit_record,
                          .act = act,
                          .release_begin = release_begin,
                          .drag_update = on_drag_update,
                          .redraw = redraw_record,
                          .title_bar = w->window_handle};
    skin_input_attach(&w->input);
    w->click = w->input.click;
    w->drag = w->input.drag;
    keys_init(&w->key_machine, window_main_key_target(w));
    w->keys = keys_attach(&w->key_machine, w->window);
    return 0;
}

constexpr tSkinMenuItem MAIN_MENU[] = {
    {"Preferences...", "window_main_menu_preferences", "app.window_main_menu_preferences",
     on_menu_preferences},
    // The theme items stay together, last.
    {"Jump to file", "window_main_menu_jump", "app.window_main_menu_jump", on_menu_jump},
    {"Load skin from directory", "window_main_menu_skins", "app.window_main_menu_skins",
     on_menu_skins},
    {"Load skin from WSZ", "window_main_menu_skins_wsz", "app.window_main_menu_skins_wsz",
     on_menu_skins_wsz},
    {"Reset to default skin", "window_main_menu_skins_default",
     "app.window_main_menu_skins_default", on_menu_skins_default},
};

int32_t window_main_build_menu(tHandleWindowMain *w) {
    tSkinMenu menu{nullptr, nullptr, w->menu_items, w->actions, &w->menu_count,
                   WINDOW_MAIN_MENU_SLOTS};
    constexpr int32_t items = static_cast<int32_t>(sizeof MAIN_MENU / sizeof MAIN_MENU[0]);
    static_assert(items <= WINDOW_MAIN_MENU_SLOTS);
    const int32_t result = skin_menu_build(&menu, w->application, w->box, MAIN_MENU, items, w);
    w->menu = menu.model;
    w->popover = menu.popover;
    return result;
}
