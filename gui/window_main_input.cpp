// The main window's input: hit boxes, clicks, slider drags, keys, the options menu and the
// theme and file choosers.
#include <array>
#include <cstdio>
#include <gtk/gtk.h>

#include "core/handle.h"
#include "gui/window_main.h"
#include "theme/catalogue.h"
#include "theme/default_theme.h"
#include "theme/theme.h"

namespace {

struct tKeyRow {
    uint32_t keyval;
    uint32_t mask;
    uint32_t id;
};

constexpr uint32_t CONTROL = GDK_CONTROL_MASK;

constexpr std::array<tKeyRow, 15> KEY_TABLE = {{
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
}};
static_assert(GDK_CONTROL_MASK == 4);

tHandleWindowMain *record_of(gpointer object) {
    return static_cast<tHandleWindowMain *>(g_object_get_data(G_OBJECT(object), "pThis"));
}

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

void show_menu(tHandleWindowMain *w) {
    if (w->popover == nullptr)
        return;
    GdkRectangle at = {w->press_x, w->press_y, 1, 1};
    gtk_popover_set_pointing_to(GTK_POPOVER(w->popover), &at);
    gtk_popover_popup(GTK_POPOVER(w->popover));
}

// ---- choosers

enum tChooser { CHOOSER_FILE, CHOOSER_DIRECTORY, CHOOSER_WSZ };

void on_chooser_response(GtkNativeDialog *dialog, int response, gpointer kind) {
    tHandleWindowMain *w = record_of(dialog);
    if (response == GTK_RESPONSE_ACCEPT && w != nullptr) {
        GFile *file = gtk_file_chooser_get_file(GTK_FILE_CHOOSER(dialog));
        char *path = file != nullptr ? g_file_get_parse_name(file) : nullptr;
        char folder[HANDLE_PATH_SIZE];
        const bool theme = GPOINTER_TO_INT(kind) != CHOOSER_FILE;
        if (path != nullptr && (!theme || handle_get_theme_dir(w->handle, folder) == RESULT_OK)) {
            switch (GPOINTER_TO_INT(kind)) {
            case CHOOSER_FILE: {
                handle_send_path(w->handle, path);
                break;
            }
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
        g_free(path);
        if (file != nullptr)
            g_object_unref(file);
    }
    g_object_unref(dialog);
}

void open_chooser(tHandleWindowMain *w, tChooser kind) {
    static constexpr struct {
        const char *title;
        GtkFileChooserAction action;
        const char *accept;
    } KINDS[] = {
        {"Open File", GTK_FILE_CHOOSER_ACTION_OPEN, "_Open"},
        {"Open Directory", GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "Choose"},
        {"Open WSZ", GTK_FILE_CHOOSER_ACTION_OPEN, "Open"},
    };
    const auto &k = KINDS[kind];
    GtkFileChooserNative *chooser = gtk_file_chooser_native_new(
        k.title, GTK_WINDOW(w->window), k.action, k.accept, "_Cancel");
    g_object_set_data(G_OBJECT(chooser), "pThis", w);
    g_signal_connect(chooser, "response", G_CALLBACK(on_chooser_response), GINT_TO_POINTER(kind));
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser));
}

// ---- menu actions

void on_menu_preferences(GSimpleAction *, GVariant *, gpointer data) {
    handle_send_int(static_cast<tHandleWindowMain *>(data)->handle, EVENT_PREFERENCES, 1);
}

void on_menu_skins(GSimpleAction *, GVariant *, gpointer data) {
    open_chooser(static_cast<tHandleWindowMain *>(data), CHOOSER_DIRECTORY);
}

void on_menu_skins_wsz(GSimpleAction *, GVariant *, gpointer data) {
    open_chooser(static_cast<tHandleWindowMain *>(data), CHOOSER_WSZ);
}

void on_menu_skins_default(GSimpleAction *, GVariant *, gpointer data) {
    tHandleWindowMain *w = static_cast<tHandleWindowMain *>(data);
    char dir[HANDLE_PATH_SIZE];
    if (handle_get_theme_dir(w->handle, dir) != RESULT_OK)
        return;
    theme_default_write_all(dir);
    theme_load_directory(w->theme, dir, dir);
    handle_dispatch(w->handle, EVENT_REFRESH, nullptr);
}

// ---- controllers

void on_pressed(GtkGestureClick *gesture, int, double x, double y, gpointer) {
    tHandleWindowMain *w = record_of(gesture);
    w->pressed = hit(w, x, y);
    w->press_x = static_cast<int32_t>(x);
    w->press_y = static_cast<int32_t>(y);
    window_main_redraw(w);
}

void on_released(GtkGestureClick *gesture, int, double x, double y, gpointer) {
    tHandleWindowMain *w = record_of(gesture);
    window_main_release(w, hit(w, x, y));
}

// A press taken over by the window handle (moving the window) ends without its action.
void on_cancel(GtkGesture *gesture, GdkEventSequence *, gpointer) {
    tHandleWindowMain *w = record_of(gesture);
    if (w->pressed != MAIN_ID_NONE && w->pressed != MAIN_ID_POSITION) {
        w->pressed = MAIN_ID_NONE;
        window_main_redraw(w);
    }
}

void on_drag_update(GtkGestureDrag *gesture, double dx, double dy, gpointer) {
    tHandleWindowMain *w = record_of(gesture);
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

// Ends a press whose release the click gesture did not report (it gives up on long moves).
void on_drag_end(GtkGestureDrag *gesture, double dx, double dy, gpointer) {
    tHandleWindowMain *w = record_of(gesture);
    if (w->pressed != MAIN_ID_NONE)
        window_main_release(w, hit(w, w->press_x + dx, w->press_y + dy));
}

gboolean on_key_pressed(GtkEventControllerKey *controller, guint keyval, guint, GdkModifierType state,
                        gpointer) {
    tHandleWindowMain *w = record_of(controller);
    const int32_t id = window_main_key_lookup(keyval, state);
    if (w->pressed == MAIN_ID_NONE)
        w->pressed = id;
    window_main_redraw(w);
    return w->pressed != MAIN_ID_NONE;
}

gboolean on_key_released(GtkEventControllerKey *controller, guint keyval, guint, GdkModifierType state,
                         gpointer) {
    tHandleWindowMain *w = record_of(controller);
    const int32_t id = window_main_key_lookup(keyval, state);
    window_main_release(w, id);
    w->pressed = MAIN_ID_NONE;
    return id != MAIN_ID_NONE;
}

int32_t step_up(int32_t v, int32_t max) {
    const int32_t r = (v + 10) / 10 * 10;
    return r > max ? max : r;
}

} // namespace

int32_t window_main_key_lookup(uint32_t keyval, uint32_t state) {
    for (const tKeyRow &row : KEY_TABLE)
        if (row.keyval == keyval && (state & row.mask) == row.mask)
            return static_cast<int32_t>(row.id);
    return MAIN_ID_NONE;
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
    const int32_t pressed = w->pressed;
    // Cleared first: the actions below redraw, and must show the button up.
    w->pressed = MAIN_ID_NONE;
    if (id != MAIN_ID_NONE && id == pressed) {
        switch (id) {
        case MAIN_ID_MENU:
        case MAIN_ID_TITLE_MENU: show_menu(w); break;
        case MAIN_ID_LICENCE: window_licence_show(&w->licence); break;
        case MAIN_ID_SCALE: handle_dispatch(w->handle, EVENT_SCALE, nullptr); break;
        case MAIN_ID_VISUALIZER: visualizer_cycle_mode(&w->visualizer); break;
        case MAIN_ID_EQUALIZER: handle_send_int(w->handle, EVENT_SHOW_EQUALIZER, w->equalizer_button == 0 ? 1 : 0); break;
        case MAIN_ID_PLAYLIST: handle_send_int(w->handle, EVENT_SHOW_PLAYLIST, w->playlist_button == 0 ? 1 : 0); break;
        case MAIN_ID_PREV: handle_dispatch(w->handle, EVENT_PREV, nullptr); break;
        case MAIN_ID_PLAY: handle_dispatch(w->handle, EVENT_PLAY, nullptr); break;
        case MAIN_ID_PAUSE: handle_dispatch(w->handle, EVENT_PAUSE, nullptr); break;
        case MAIN_ID_STOP: handle_dispatch(w->handle, EVENT_STOP, nullptr); break;
        case MAIN_ID_NEXT: handle_dispatch(w->handle, EVENT_NEXT, nullptr); break;
        case MAIN_ID_EJECT: open_chooser(w, CHOOSER_FILE); break;
        case MAIN_ID_SHUFFLE: toggle(w, &w->shuffle, "shuffle"); break;
        case MAIN_ID_REPEAT: toggle(w, &w->repeat, "repeat"); break;
        case MAIN_ID_POSITION: handle_send_int(w->handle, EVENT_SEEK, w->song.position); break;
        case MAIN_ID_TIME: toggle(w, &w->countdown, "countdown"); break;
        case MAIN_ID_MINIMIZE:
            if (w->window != nullptr)
                gtk_window_minimize(GTK_WINDOW(w->window));
            break;
        case MAIN_ID_CLOSE: handle_dispatch(w->handle, EVENT_QUIT, nullptr); break;
        case MAIN_ID_VOLUME_UP: handle_send_int(w->handle, EVENT_VOLUME, step_up(w->volume, 100)); break;
        case MAIN_ID_VOLUME_DOWN: {
            const int32_t v = (w->volume - 10) / 10 * 10;
            handle_send_int(w->handle, EVENT_VOLUME, v > 0 ? v : 0);
            break;
        }
        case MAIN_ID_BALANCE_LEFT: {
            const int32_t b = (w->balance - 10) / 10 * 10;
            handle_send_int(w->handle, EVENT_BALANCE, b < -99 ? -100 : b);
            break;
        }
        case MAIN_ID_BALANCE_RIGHT: handle_send_int(w->handle, EVENT_BALANCE, step_up(w->balance, 100)); break;
        default: break; // 2, 22: only the look; 16, 17: the drag has acted
        }
    } else if (pressed == MAIN_ID_POSITION) {
        handle_send_int(w->handle, EVENT_SEEK, w->song.position);
    }
    w->pressed = MAIN_ID_NONE;
    window_main_redraw(w);
    return 0;
}

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
    w->click = gtk_gesture_click_new();
    w->drag = gtk_gesture_drag_new();
    w->keys = gtk_event_controller_key_new();
    for (gpointer c : {static_cast<gpointer>(w->click), static_cast<gpointer>(w->drag),
                       static_cast<gpointer>(w->keys)})
        g_object_set_data(G_OBJECT(c), "pThis", w);
    g_signal_connect(w->click, "pressed", G_CALLBACK(on_pressed), w->window);
    g_signal_connect(w->click, "released", G_CALLBACK(on_released), w->window);
    g_signal_connect(w->click, "cancel", G_CALLBACK(on_cancel), w->window);
    g_signal_connect(w->drag, "drag-update", G_CALLBACK(on_drag_update), w->window);
    g_signal_connect(w->drag, "drag-end", G_CALLBACK(on_drag_end), w->window);
    g_signal_connect(w->keys, "key-pressed", G_CALLBACK(on_key_pressed), w->window);
    g_signal_connect(w->keys, "key-released", G_CALLBACK(on_key_released), w->window);
    gtk_widget_add_controller(w->window, GTK_EVENT_CONTROLLER(w->click));
    gtk_widget_add_controller(w->window, GTK_EVENT_CONTROLLER(w->drag));
    gtk_widget_add_controller(w->window, w->keys);
    return 0;
}

int32_t window_main_build_menu(tHandleWindowMain *w) {
    static constexpr struct {
        const char *label;
        const char *action;
        const char *detailed;
        void (*handler)(GSimpleAction *, GVariant *, gpointer);
    } ITEMS[] = {
        {"Preferences...", "window_main_menu_preferences", "app.window_main_menu_preferences",
         on_menu_preferences},
        {"Load skin from directory", "window_main_menu_skins", "app.window_main_menu_skins",
         on_menu_skins},
        {"Load skin from WSZ", "window_main_menu_skins_wsz", "app.window_main_menu_skins_wsz",
         on_menu_skins_wsz},
        {"Reset to default skin", "window_main_menu_skins_default",
         "app.window_main_menu_skins_default", on_menu_skins_default},
    };
    w->menu = g_menu_new();
    w->menu_count = 0;
    for (const auto &item : ITEMS) {
        const int i = w->menu_count++;
        w->actions[i] = g_simple_action_new(item.action, nullptr);
        g_signal_connect(w->actions[i], "activate", G_CALLBACK(item.handler), w);
        if (w->application != nullptr)
            g_action_map_add_action(G_ACTION_MAP(w->application), G_ACTION(w->actions[i]));
        w->menu_items[i] = g_menu_item_new(item.label, item.detailed);
        g_menu_append_item(w->menu, w->menu_items[i]);
    }
    w->popover = gtk_popover_menu_new_from_model_full(G_MENU_MODEL(w->menu), GTK_POPOVER_MENU_NESTED);
    gtk_widget_set_parent(w->popover, w->box);
    return 0;
}
