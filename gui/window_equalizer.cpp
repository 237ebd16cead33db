// The equalizer window: drawing, sliders, buttons and the presets menu.
#include "gui/window_equalizer.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/handle.h"
#include "gui/gui.h"
#include "theme/catalogue.h"
#include "theme/render.h"

namespace {

constexpr int32_t EQ_MIN = -100;
constexpr int32_t EQ_MAX = 100;
constexpr int32_t GRAPH_X = 86;
constexpr int32_t GRAPH_Y = 17;
constexpr int32_t GRAPH_COLUMNS = 113;
constexpr int32_t COLOUR_ROWS = 19;
// The graph is 20 rows high; the preamp line moves over the 19 below its first row.
constexpr int32_t PREAMP_SPAN = 19;
constexpr int32_t TRACK_Y = 38;
constexpr int32_t TRACK_HEIGHT = 63;
constexpr int32_t THUMB_HEIGHT = 11;

struct tBoxPlace {
    int32_t id;
    int32_t element;
};

// Test order matters: the first box containing the pointer wins.
constexpr std::array<tBoxPlace, EQ_BOXES> EQ_BOX_PLACES = {{
    {EQ_BOX_ON, ELEM_EQ_ONAUTO},
    {EQ_BOX_AUTO, ELEM_EQ_ONAUTO + 1},
    {EQ_BOX_PRESETS, ELEM_EQ_PRESETS},
    {EQ_BOX_LEVEL_TOP, ELEM_EQ_LEVEL_TOP},
    {EQ_BOX_LEVEL_MIDDLE, ELEM_EQ_LEVEL_MIDDLE},
    {EQ_BOX_LEVEL_BOTTOM, ELEM_EQ_LEVEL_BOTTOM},
    {30, ELEM_EQ_TRACK + 0},
    {31, ELEM_EQ_TRACK + 1},
    {32, ELEM_EQ_TRACK + 2},
    {33, ELEM_EQ_TRACK + 3},
    {34, ELEM_EQ_TRACK + 4},
    {35, ELEM_EQ_TRACK + 5},
    {36, ELEM_EQ_TRACK + 6},
    {37, ELEM_EQ_TRACK + 7},
    {38, ELEM_EQ_TRACK + 8},
    {39, ELEM_EQ_TRACK + 9},
    {40, ELEM_EQ_TRACK + 10},
    {EQ_BOX_TITLE_BUTTON, ELEM_EQEX_BUTTON_B},
    {EQ_BOX_CLOSE, ELEM_EQ_CLOSE_PRESSED},
}};
static_assert(EQ_BOX_PLACES[6].id == EQ_BOX_PREAMP && EQ_BOX_PLACES[16].id == EQ_BOX_BAND_LAST);
static_assert(ELEM_EQ_TRACK_COUNT == EQ_VALUES);
static_assert(THEME_ELEMENTS[ELEM_EQ_TRACK].destination_y == TRACK_Y &&
              THEME_ELEMENTS[ELEM_EQ_TRACK].height == TRACK_HEIGHT);
static_assert(THEME_ELEMENTS[ELEM_EQ_THUMB].height == THUMB_HEIGHT);
static_assert(THEME_ELEMENTS[ELEM_EQ_GRAPH_COLOURS].height == COLOUR_ROWS);
static_assert(THEME_ELEMENTS[ELEM_EQ_GRAPH].width == GRAPH_COLUMNS);

// The static parts, drawn in this order into the background.
constexpr std::array<int32_t, 20> EQ_BACKGROUND_ELEMENTS = {
    ELEM_EQ_TITLE_ACTIVE, ELEM_EQ_BODY,      ELEM_EQ_GRAPH_AREA,   ELEM_EQ_ONAUTO,
    ELEM_EQ_ONAUTO + 1,   ELEM_EQ_PRESETS,   ELEM_EQ_LEVEL_TOP,    ELEM_EQ_LEVEL_MIDDLE,
    ELEM_EQ_LEVEL_BOTTOM, ELEM_EQ_TRACK + 0, ELEM_EQ_TRACK + 1,    ELEM_EQ_TRACK + 2,
    ELEM_EQ_TRACK + 3,    ELEM_EQ_TRACK + 4, ELEM_EQ_TRACK + 5,    ELEM_EQ_TRACK + 6,
    ELEM_EQ_TRACK + 7,    ELEM_EQ_TRACK + 8, ELEM_EQ_TRACK + 9,    ELEM_EQ_TRACK + 10,
};

int32_t clamp_value(int32_t v) { return std::clamp(v, EQ_MIN, EQ_MAX); }

tHandleWindowEqualizer *record_of(gpointer object) {
    return static_cast<tHandleWindowEqualizer *>(g_object_get_data(G_OBJECT(object), "pThis"));
}

int32_t track_x(int32_t index) { return THEME_ELEMENTS[ELEM_EQ_TRACK + index].destination_x; }

// Shows one strip of the frame, enlarged without smoothing so pixels stay sharp.
void show_strip(GtkWidget *picture, GdkPixbuf *strip, int32_t scale) {
    if (picture == nullptr || strip == nullptr) return;
    if (scale <= 1) {
        gtk_picture_set_pixbuf(GTK_PICTURE(picture), strip);
        return;
    }
    GdkPixbuf *big =
        gdk_pixbuf_scale_simple(strip, gdk_pixbuf_get_width(strip) * scale,
                                gdk_pixbuf_get_height(strip) * scale, GDK_INTERP_NEAREST);
    if (big == nullptr) {
        gtk_picture_set_pixbuf(GTK_PICTURE(picture), strip);
        return;
    }
    gtk_picture_set_pixbuf(GTK_PICTURE(picture), big);
    g_object_unref(big);
}

void draw_curve(tHandleWindowEqualizer *w) {
    int32_t rows[GRAPH_COLUMNS];
    window_equalizer_curve_rows(w->value, rows);
    GdkPixbuf *colours = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 1, COLOUR_ROWS);
    if (colours == nullptr) return;
    // Without a colour column in the theme the curve is drawn opaque black.
    gdk_pixbuf_fill(colours, 0x000000ff);
    theme_draw_element_at(w->theme, colours, ELEM_EQ_GRAPH_COLOURS, 0, 0);
    for (int32_t k = 0; k < GRAPH_COLUMNS; ++k)
        gdk_pixbuf_copy_area(colours, 0, rows[k], 1, 1, w->frame, GRAPH_X + k, GRAPH_Y + rows[k]);
    g_object_unref(colours);
}

void draw_pressed(tHandleWindowEqualizer *w) {
    const int32_t p = w->pressed;
    if (p == EQ_BOX_ON) {
        theme_draw_element(w->theme, w->frame, w->on == 1 ? ELEM_EQ_ONAUTO + 6 : ELEM_EQ_ONAUTO + 4);
    } else if (p == EQ_BOX_AUTO) {
        theme_draw_element(w->theme, w->frame,
                           w->automatic == 1 ? ELEM_EQ_ONAUTO + 7 : ELEM_EQ_ONAUTO + 5);
    } else if (p == EQ_BOX_PRESETS) {
        theme_draw_element(w->theme, w->frame, ELEM_EQ_PRESETS_PRESSED);
    } else if (p >= EQ_BOX_PREAMP && p <= EQ_BOX_BAND_LAST) {
        const int32_t i = p - EQ_BOX_PREAMP;
        theme_draw_element_at(w->theme, w->frame, ELEM_EQ_THUMB_PRESSED, track_x(i) + 1,
                              w->thumb_y[i]);
    } else if (p == EQ_BOX_TITLE_BUTTON) {
        theme_draw_element(w->theme, w->frame, ELEM_EQEX_BUTTON_B);
    } else if (p == EQ_BOX_CLOSE) {
        theme_draw_element(w->theme, w->frame, ELEM_EQ_CLOSE_PRESSED);
    }
}

void act_on_release(tHandleWindowEqualizer *w, int32_t id) {
    switch (id) {
    case EQ_BOX_ON:
        handle_send_int(w->handle, EVENT_EQ_ENABLE, w->on == 0 ? 1 : 0);
        break;
    case EQ_BOX_PRESETS:
        if (w->popover != nullptr) {
            // Point the menu at the button, in the box's current pixels.
            const double sx = gtk_widget_get_width(w->window) / double(EQ_WIDTH);
            const double sy = gtk_widget_get_height(w->window) / double(EQ_HEIGHT);
            const tHitBox &b = w->boxes[EQ_BOX_PRESETS - EQ_BOX_ON];
            GdkRectangle r{int(b.x * sx), int(b.y * sy), int(b.width * sx), int(b.height * sy)};
            gtk_popover_set_pointing_to(GTK_POPOVER(w->popover), &r);
            gtk_popover_popup(GTK_POPOVER(w->popover));
        }
        break;
    case EQ_BOX_LEVEL_TOP:
    case EQ_BOX_LEVEL_MIDDLE:
    case EQ_BOX_LEVEL_BOTTOM: {
        const int32_t v = id == EQ_BOX_LEVEL_TOP ? EQ_MAX : id == EQ_BOX_LEVEL_MIDDLE ? 0 : EQ_MIN;
        for (int32_t i = 1; i < EQ_VALUES; ++i) handle_send_band(w->handle, i, v);
        break;
    }
    case EQ_BOX_CLOSE:
        handle_send_int(w->handle, EVENT_SHOW_EQUALIZER, 0);
        break;
    default:
        break;
    }
}

void on_pressed(GtkGestureClick *gesture, int, double x, double y, gpointer) {
    tHandleWindowEqualizer *w = record_of(gesture);
    if (w == nullptr) return;
    w->pressed = gui_hitbox_test(w->boxes, EQ_BOXES, w->window, EQ_WIDTH, EQ_HEIGHT, x, y);
    w->press_x = int32_t(x);
    w->press_y = int32_t(y);
    window_equalizer_redraw(w);
}

void on_released(GtkGestureClick *gesture, int, double x, double y, gpointer) {
    tHandleWindowEqualizer *w = record_of(gesture);
    if (w == nullptr) return;
    const int32_t id = gui_hitbox_test(w->boxes, EQ_BOXES, w->window, EQ_WIDTH, EQ_HEIGHT, x, y);
    act_on_release(w, id);
    w->pressed = 0;
    window_equalizer_redraw(w);
}

void on_drag_begin(GtkGestureDrag *, double, double, gpointer) {}

void on_drag_update(GtkGestureDrag *gesture, double, double dy, gpointer) {
    tHandleWindowEqualizer *w = record_of(gesture);
    if (w == nullptr || w->pressed < EQ_BOX_PREAMP || w->pressed > EQ_BOX_BAND_LAST) return;
    const int32_t index = w->pressed - EQ_BOX_PREAMP;
    handle_send_band(w->handle, index, window_equalizer_drag_value(w->press_y + dy, gtk_widget_get_height(w->window)));
}

void on_drag_end(GtkGestureDrag *, double, double, gpointer) {}

gboolean on_close_request(GtkWindow *window, gpointer) {
    tHandleWindowEqualizer *w = record_of(window);
    if (w != nullptr) handle_send_int(w->handle, EVENT_SHOW_EQUALIZER, 0);
    return TRUE;
}

// The chosen file's local path; null when the choice has none.
char *chosen_path(GtkNativeDialog *dialog) {
    GFile *file = gtk_file_chooser_get_file(GTK_FILE_CHOOSER(dialog));
    if (file == nullptr) return nullptr;
    // The local path keeps names that are not valid UTF-8 intact.
    char *path = g_file_get_path(file);
    if (path == nullptr) path = g_file_get_parse_name(file);
    g_object_unref(file);
    return path;
}

void on_save_response(GtkNativeDialog *dialog, int response, gpointer) {
    tHandleWindowEqualizer *w = record_of(dialog);
    if (w != nullptr && response == GTK_RESPONSE_ACCEPT) {
        char *path = chosen_path(dialog);
        if (path != nullptr) window_equalizer_write_presets(path, w->value);
        g_free(path);
    }
    g_object_unref(dialog);
}

void on_load_response(GtkNativeDialog *dialog, int response, gpointer) {
    tHandleWindowEqualizer *w = record_of(dialog);
    if (w != nullptr && response == GTK_RESPONSE_ACCEPT) {
        char *path = chosen_path(dialog);
        int32_t values[EQ_VALUES] = {};
        const int32_t n = path != nullptr ? window_equalizer_read_presets(path, values) : 0;
        for (int32_t i = 0; i < n; ++i) handle_send_band(w->handle, i, values[i]);
        g_free(path);
    }
    g_object_unref(dialog);
}

void open_chooser(tHandleWindowEqualizer *w, const char *title, GtkFileChooserAction action,
                  const char *accept, GCallback response) {
    GtkFileChooserNative *dialog = gtk_file_chooser_native_new(
        title, GTK_WINDOW(w->window), action, accept, "_Cancel");
    g_object_set_data(G_OBJECT(dialog), "pThis", w);
    g_signal_connect(dialog, "response", response, nullptr);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(dialog));
}

void on_menu_save(GSimpleAction *action, GVariant *, gpointer) {
    tHandleWindowEqualizer *w = record_of(action);
    if (w != nullptr)
        open_chooser(w, "Save presets", GTK_FILE_CHOOSER_ACTION_SAVE, "Save",
                     G_CALLBACK(on_save_response));
}

void on_menu_load(GSimpleAction *action, GVariant *, gpointer) {
    tHandleWindowEqualizer *w = record_of(action);
    if (w != nullptr)
        open_chooser(w, "Load presets", GTK_FILE_CHOOSER_ACTION_OPEN, "Load",
                     G_CALLBACK(on_load_response));
}

void add_menu_entry(tHandleWindowEqualizer *w, const char *action_name, const char *label,
                    GCallback activate) {
    if (w->menu_count >= EQ_MENU_SLOTS) return;
    GSimpleAction *action = g_simple_action_new(action_name, nullptr);
    g_object_set_data(G_OBJECT(action), "pThis", w);
    g_signal_connect(action, "activate", activate, nullptr);
    g_action_map_add_action(G_ACTION_MAP(w->application), G_ACTION(action));
    char detailed[128];
    snprintf(detailed, sizeof detailed, "app.%s", action_name);
    GMenuItem *item = g_menu_item_new(label, detailed);
    g_menu_append_item(w->menu_model, item);
    w->actions[w->menu_count] = action;
    w->menu_items[w->menu_count] = item;
    ++w->menu_count;
}

} // namespace

int32_t window_equalizer_drag_value(double y, int32_t window_height) {
    const double s = window_height / double(EQ_HEIGHT);
    if (!(s > 0)) return 0;
    double v = 100.0 - 200.0 * (y / s - TRACK_Y) / TRACK_HEIGHT;
    v = std::clamp(v, double(EQ_MIN), double(EQ_MAX));
    return int32_t(std::trunc(v));
}

void window_equalizer_curve_rows(const int32_t value[EQ_VALUES], int32_t rows[GRAPH_COLUMNS]) {
    constexpr int32_t N = 124;
    constexpr int32_t RUN = 12;
    int32_t s[N] = {};
    for (int32_t k = 0; k < 10; ++k) s[RUN * k] = clamp_value(value[k + 1]);
    int32_t t[N];
    int32_t u[N];
    for (int32_t i = 0; i < N; ++i) {
        int32_t sum = 0;
        for (int32_t j = std::max(0, i - (RUN - 1)); j <= i; ++j) sum += s[j];
        t[i] = sum / RUN;
    }
    for (int32_t i = 0; i < N; ++i) {
        int32_t sum = 0;
        for (int32_t j = std::max(0, i - (RUN - 1)); j <= i; ++j) sum += t[j];
        u[i] = sum / RUN;
    }
    for (int32_t k = 0; k < GRAPH_COLUMNS; ++k) {
        int32_t v = 0;
        for (int32_t j = k; j < k + RUN; ++j) v += u[j];
        // Clamped to the colour column; with values in -100..100 r stays within 0..18.
        rows[k] = std::clamp((100 - v) * (COLOUR_ROWS - 1) / 200, 0, COLOUR_ROWS - 1);
    }
}

int32_t window_equalizer_read_presets(const char *path, int32_t value[EQ_VALUES]) {
    FILE *f = fopen(path, "rb");
    if (f == nullptr) return 0;
    int32_t n = 0;
    for (int32_t i = 0; !feof(f) && i < EQ_VALUES; ++i) {
        int32_t v = 0;
        if (fread(&v, sizeof v, 1, f) != 1) break;
        // The file is raw bytes from anywhere: keep values in the range the gains expect.
        value[i] = clamp_value(v);
        n = i + 1;
    }
    fclose(f);
    return n;
}

int32_t window_equalizer_write_presets(const char *path, const int32_t value[EQ_VALUES]) {
    FILE *f = fopen(path, "wb");
    if (f == nullptr) return -1;
    const size_t written = fwrite(value, sizeof value[0], EQ_VALUES, f);
    const int closed = fclose(f);
    return written == size_t(EQ_VALUES) && closed == 0 ? 0 : -1;
}

int32_t window_equalizer_init(tHandleWindowEqualizer *w, tHandle *h, tHandleTheme *theme,
                              GtkApplication *application) {
    *w = tHandleWindowEqualizer{};
    w->application = application;
    w->handle = h;
    w->theme = theme;
    w->scale = 1;

    w->title_pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, EQ_WIDTH, EQ_TITLE_HEIGHT);
    w->body_pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, EQ_WIDTH, EQ_BODY_HEIGHT);
    w->background = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, EQ_WIDTH, EQ_HEIGHT);
    w->frame = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, EQ_WIDTH, EQ_HEIGHT);
    if (w->title_pixbuf == nullptr || w->body_pixbuf == nullptr || w->background == nullptr ||
        w->frame == nullptr)
        return -1;
    gdk_pixbuf_fill(w->title_pixbuf, 0x000000ff);
    gdk_pixbuf_fill(w->body_pixbuf, 0x000000ff);
    gdk_pixbuf_fill(w->background, 0x000000ff);
    gdk_pixbuf_fill(w->frame, 0x000000ff);

    w->window = gtk_application_window_new(application);
    g_object_set_data(G_OBJECT(w->window), "pThis", w);
    gtk_window_set_default_size(GTK_WINDOW(w->window), EQ_WIDTH, EQ_HEIGHT);
    gtk_window_set_title(GTK_WINDOW(w->window), "ravlox equalizer");
    gtk_window_set_resizable(GTK_WINDOW(w->window), FALSE);
    gtk_window_set_decorated(GTK_WINDOW(w->window), FALSE);

    w->box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_set_homogeneous(GTK_BOX(w->box), FALSE);
    w->window_handle = gtk_window_handle_new();
    w->title_picture = gtk_picture_new_for_pixbuf(w->title_pixbuf);
    w->body_picture = gtk_picture_new_for_pixbuf(w->body_pixbuf);
    gtk_window_handle_set_child(GTK_WINDOW_HANDLE(w->window_handle), w->title_picture);
    gtk_box_append(GTK_BOX(w->box), w->window_handle);
    gtk_box_append(GTK_BOX(w->box), w->body_picture);
    gtk_window_set_child(GTK_WINDOW(w->window), w->box);

    w->click = gtk_gesture_click_new();
    g_object_set_data(G_OBJECT(w->click), "pThis", w);
    g_signal_connect(w->click, "pressed", G_CALLBACK(on_pressed), nullptr);
    g_signal_connect(w->click, "released", G_CALLBACK(on_released), nullptr);
    gtk_widget_add_controller(w->window, GTK_EVENT_CONTROLLER(w->click));

    w->drag = gtk_gesture_drag_new();
    g_object_set_data(G_OBJECT(w->drag), "pThis", w);
    g_signal_connect(w->drag, "drag-begin", G_CALLBACK(on_drag_begin), nullptr);
    g_signal_connect(w->drag, "drag-update", G_CALLBACK(on_drag_update), nullptr);
    g_signal_connect(w->drag, "drag-end", G_CALLBACK(on_drag_end), nullptr);
    gtk_widget_add_controller(w->window, GTK_EVENT_CONTROLLER(w->drag));

    for (int32_t i = 0; i < EQ_BOXES; ++i)
        gui_hitbox_from_element(EQ_WIDTH, EQ_HEIGHT, &w->boxes[i], EQ_BOX_PLACES[i].id,
                                EQ_BOX_PLACES[i].element);

    g_signal_connect(w->window, "close-request", G_CALLBACK(on_close_request), nullptr);

    w->menu_model = g_menu_new();
    add_menu_entry(w, "window_equalizer_menu_save", "Save", G_CALLBACK(on_menu_save));
    add_menu_entry(w, "window_equalizer_menu_load", "Load", G_CALLBACK(on_menu_load));
    w->popover =
        gtk_popover_menu_new_from_model_full(G_MENU_MODEL(w->menu_model), GTK_POPOVER_MENU_NESTED);
    gtk_widget_set_parent(w->popover, w->box);
    return 0;
}

int32_t window_equalizer_read_config(tHandleWindowEqualizer *w) {
    config_open(&w->config, w->handle->data_dir, "equalizer.config");
    for (int32_t i = 0; i < EQ_VALUES; ++i) {
        char key[16];
        snprintf(key, sizeof key, "bar%02d", i);
        int32_t v = 0;
        config_get_int(&w->config, key, &v, 0);
        // A hand-edited file may hold anything; the gains and the drawing expect -100..100.
        handle_send_band(w->handle, i, clamp_value(v));
    }
    int32_t on = w->on;
    config_get_onoff(&w->config, "equalizer", &on, w->on);
    handle_send_int(w->handle, EVENT_EQ_ENABLE, on == 1 ? 1 : 0);
    int32_t automatic = 0;
    config_get_onoff(&w->config, "automatic", &automatic, 0);
    w->automatic = automatic == 1 ? 1 : 0;
    window_equalizer_redraw(w);
    return 0;
}

int32_t window_equalizer_set_value(tHandleWindowEqualizer *w, int32_t index, int32_t value) {
    if (index < 0 || index >= EQ_VALUES) return -1;
    value = clamp_value(value);
    char key[16];
    snprintf(key, sizeof key, "bar%02d", index);
    const int32_t result = config_set_int(&w->config, key, value);
    w->value[index] = value;
    window_equalizer_redraw(w);
    return result;
}

int32_t window_equalizer_set_enabled(tHandleWindowEqualizer *w, int32_t flag) {
    w->on = flag != 0 ? 1 : 0;
    const int32_t result = config_set_onoff(&w->config, "equalizer", w->on);
    window_equalizer_redraw(w);
    return result;
}

int32_t window_equalizer_show(tHandleWindowEqualizer *w) {
    if (w->window == nullptr) return -1;
    gtk_widget_set_visible(w->window, TRUE);
    return 0;
}

int32_t window_equalizer_hide(tHandleWindowEqualizer *w) {
    if (w->window == nullptr) return -1;
    gtk_widget_set_visible(w->window, FALSE);
    return 0;
}

int32_t window_equalizer_set_scale(tHandleWindowEqualizer *w, uint32_t scale) {
    // Factors outside the accepted range (a hand-edited file) fall back to 1.
    const int32_t s = scale >= uint32_t(GUI_SCALE_MIN) && scale <= uint32_t(GUI_SCALE_MAX)
                          ? int32_t(scale)
                          : 1;
    w->scale = s;
    if (w->window == nullptr) return -1;
    gtk_window_set_default_size(GTK_WINDOW(w->window), EQ_WIDTH * s, EQ_HEIGHT * s);
    window_equalizer_redraw(w);
    return 0;
}

int32_t window_equalizer_refresh(tHandleWindowEqualizer *w) {
    if (w->background == nullptr) return -1;
    int32_t result = 0;
    for (int32_t id : EQ_BACKGROUND_ELEMENTS) result |= theme_draw_element(w->theme, w->background, id);
    result |= theme_draw_element(w->theme, w->background, ELEM_EQ_CLOSE);
    window_equalizer_redraw(w);
    return result;
}

int32_t window_equalizer_redraw(tHandleWindowEqualizer *w) {
    if (w->frame == nullptr || w->background == nullptr) return -1;
    gdk_pixbuf_copy_area(w->background, 0, 0, EQ_WIDTH, EQ_HEIGHT, w->frame, 0, 0);

    for (int32_t i = 0; i < EQ_VALUES; ++i) {
        const int32_t v = clamp_value(w->value[i]);
        const int32_t x = track_x(i);
        const int32_t f = (v * 27 + 2899) / 200;
        const int32_t bar = f <= 13 ? ELEM_EQ_BAR_LOW + f : ELEM_EQ_BAR_HIGH + (f - 14);
        theme_draw_element_at(w->theme, w->frame, bar, x, TRACK_Y);
        w->thumb_y[i] = TRACK_Y + (TRACK_HEIGHT - THUMB_HEIGHT) * (100 - v) / 200;
        theme_draw_element_at(w->theme, w->frame, ELEM_EQ_THUMB, x + 1, w->thumb_y[i]);
    }
    theme_draw_element(w->theme, w->frame, w->on == 1 ? ELEM_EQ_ONAUTO + 2 : ELEM_EQ_ONAUTO);
    theme_draw_element(w->theme, w->frame, w->automatic == 1 ? ELEM_EQ_ONAUTO + 3 : ELEM_EQ_ONAUTO + 1);

    theme_draw_element(w->theme, w->frame, ELEM_EQ_GRAPH);
    const int32_t preamp_y = GRAPH_Y + (clamp_value(w->value[0]) + 100) * PREAMP_SPAN / 200;
    theme_draw_element_at(w->theme, w->frame, ELEM_EQ_PREAMP_LINE, GRAPH_X, preamp_y);
    draw_curve(w);

    draw_pressed(w);

    gdk_pixbuf_copy_area(w->frame, 0, 0, EQ_WIDTH, EQ_TITLE_HEIGHT, w->title_pixbuf, 0, 0);
    gdk_pixbuf_copy_area(w->frame, 0, EQ_TITLE_HEIGHT, EQ_WIDTH, EQ_BODY_HEIGHT, w->body_pixbuf, 0,
                         0);
    show_strip(w->title_picture, w->title_pixbuf, w->scale);
    show_strip(w->body_picture, w->body_pixbuf, w->scale);
    if (w->window != nullptr) gtk_widget_queue_draw(w->window);
    return 0;
}
