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

// What the release of a box does.
enum tEqAction : int32_t {
    EQ_ACTION_NONE,
    EQ_ACTION_SWITCH,   // the equalizer on or off
    EQ_ACTION_PRESETS,  // the presets menu
    EQ_ACTION_LEVEL,    // every band to the label's level
    EQ_ACTION_CLOSE,
};

// Test order matters: the first box containing the pointer wins. The box is the element's
// rectangle; the pressed look of ON and AUTO is the one shown while the switch is off, the
// next-but-one element while it is on; the sliders show the pressed thumb instead.
constexpr tSkinBox<tEqAction> EQ_BOX_TABLE[EQ_BOXES] = {
    {EQ_BOX_ON, ELEM_EQ_ONAUTO, ELEM_EQ_ONAUTO + 4, EQ_ACTION_SWITCH},
    {EQ_BOX_AUTO, ELEM_EQ_ONAUTO + 1, ELEM_EQ_ONAUTO + 5, EQ_ACTION_NONE},
    {EQ_BOX_PRESETS, ELEM_EQ_PRESETS, ELEM_EQ_PRESETS_PRESSED, EQ_ACTION_PRESETS},
    {EQ_BOX_LEVEL_TOP, ELEM_EQ_LEVEL_TOP, SKIN_NO_ELEMENT, EQ_ACTION_LEVEL},
    {EQ_BOX_LEVEL_MIDDLE, ELEM_EQ_LEVEL_MIDDLE, SKIN_NO_ELEMENT, EQ_ACTION_LEVEL},
    {EQ_BOX_LEVEL_BOTTOM, ELEM_EQ_LEVEL_BOTTOM, SKIN_NO_ELEMENT, EQ_ACTION_LEVEL},
    {EQ_BOX_PREAMP, ELEM_EQ_TRACK + 0, SKIN_NO_ELEMENT, EQ_ACTION_NONE},
    {EQ_BOX_BAND_1, ELEM_EQ_TRACK + 1, SKIN_NO_ELEMENT, EQ_ACTION_NONE},
    {EQ_BOX_BAND_2, ELEM_EQ_TRACK + 2, SKIN_NO_ELEMENT, EQ_ACTION_NONE},
    {EQ_BOX_BAND_3, ELEM_EQ_TRACK + 3, SKIN_NO_ELEMENT, EQ_ACTION_NONE},
    {EQ_BOX_BAND_4, ELEM_EQ_TRACK + 4, SKIN_NO_ELEMENT, EQ_ACTION_NONE},
    {EQ_BOX_BAND_5, ELEM_EQ_TRACK + 5, SKIN_NO_ELEMENT, EQ_ACTION_NONE},
    {EQ_BOX_BAND_6, ELEM_EQ_TRACK + 6, SKIN_NO_ELEMENT, EQ_ACTION_NONE},
    {EQ_BOX_BAND_7, ELEM_EQ_TRACK + 7, SKIN_NO_ELEMENT, EQ_ACTION_NONE},
    {EQ_BOX_BAND_8, ELEM_EQ_TRACK + 8, SKIN_NO_ELEMENT, EQ_ACTION_NONE},
    {EQ_BOX_BAND_9, ELEM_EQ_TRACK + 9, SKIN_NO_ELEMENT, EQ_ACTION_NONE},
    {EQ_BOX_BAND_10, ELEM_EQ_TRACK + 10, SKIN_NO_ELEMENT, EQ_ACTION_NONE},
    {EQ_BOX_TITLE_BUTTON, ELEM_EQEX_BUTTON_B, ELEM_EQEX_BUTTON_B, EQ_ACTION_NONE},
    {EQ_BOX_CLOSE, ELEM_EQ_CLOSE_PRESSED, ELEM_EQ_CLOSE_PRESSED, EQ_ACTION_CLOSE},
};
static_assert(EQ_BOX_TABLE[6].id == EQ_BOX_PREAMP && EQ_BOX_TABLE[16].id == EQ_BOX_BAND_LAST);
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
    if (p >= EQ_BOX_PREAMP && p <= EQ_BOX_BAND_LAST) {
        const int32_t i = p - EQ_BOX_PREAMP;
        theme_draw_element_at(w->theme, w->frame, ELEM_EQ_THUMB_PRESSED, track_x(i) + 1,
                              w->thumb_y[i]);
        return;
    }
    int32_t look = skin_pressed_element(EQ_BOX_TABLE, p);
    if (look == SKIN_NO_ELEMENT) return;
    if ((p == EQ_BOX_ON && w->on == 1) || (p == EQ_BOX_AUTO && w->automatic == 1))
        look += 2;
    theme_draw_element(w->theme, w->frame, look);
}

void act_on_release(void *record, int32_t id, int32_t, double, double) {
    auto *w = static_cast<tHandleWindowEqualizer *>(record);
    const tSkinBox<tEqAction> *box = skin_box(EQ_BOX_TABLE, id);
    switch (box != nullptr ? box->action : EQ_ACTION_NONE) {
    case EQ_ACTION_SWITCH:
        handle_send_int(w->handle, EVENT_EQ_ENABLE, w->on == 0 ? 1 : 0);
        break;
    case EQ_ACTION_PRESETS: {
        // Point the menu at the button, in the box's current pixels.
        const double sx = gtk_widget_get_width(w->window) / double(EQ_WIDTH);
        const double sy = gtk_widget_get_height(w->window) / double(EQ_HEIGHT);
        const tHitBox &b = w->boxes[box - EQ_BOX_TABLE];
        skin_menu_popup(w->popover, int(b.x * sx), int(b.y * sy), int(b.width * sx),
                        int(b.height * sy));
        break;
    }
    case EQ_ACTION_LEVEL: {
        const int32_t v = id == EQ_BOX_LEVEL_TOP ? EQ_MAX : id == EQ_BOX_LEVEL_MIDDLE ? 0 : EQ_MIN;
        for (int32_t i = 1; i < EQ_VALUES; ++i) handle_send_band(w->handle, i, v);
        break;
    }
    case EQ_ACTION_CLOSE:
        handle_send_int(w->handle, EVENT_SHOW_EQUALIZER, 0);
        break;
    case EQ_ACTION_NONE:
        break;
    }
}

int32_t hit(void *record, double x, double y) {
    auto *w = static_cast<tHandleWindowEqualizer *>(record);
    return gui_hitbox_test(w->boxes, EQ_BOXES, w->window, EQ_WIDTH, EQ_HEIGHT, x, y);
}

int32_t redraw(void *record) {
    return window_equalizer_redraw(static_cast<tHandleWindowEqualizer *>(record));
}

int32_t compose(void *record) {
    return window_equalizer_refresh(static_cast<tHandleWindowEqualizer *>(record));
}

// The equalizer has no keys of its own: a key let go of only ends the pointer's press.
int32_t end_press(void *record, int32_t) {
    auto *w = static_cast<tHandleWindowEqualizer *>(record);
    w->pressed = 0;
    return window_equalizer_redraw(w);
}

void on_drag_update(void *record, double, double dy) {
    auto *w = static_cast<tHandleWindowEqualizer *>(record);
    if (w->pressed < EQ_BOX_PREAMP || w->pressed > EQ_BOX_BAND_LAST) return;
    const int32_t index = w->pressed - EQ_BOX_PREAMP;
    handle_send_band(w->handle, index, window_equalizer_drag_value(w->press_y + dy, gtk_widget_get_height(w->window)));
}

gboolean on_close_request(GtkWindow *window, gpointer) {
    tHandleWindowEqualizer *w = record_of(window);
    if (w != nullptr) handle_send_int(w->handle, EVENT_SHOW_EQUALIZER, 0);
    return TRUE;
}

enum : int32_t { EQ_CHOOSER_SAVE, EQ_CHOOSER_LOAD };

constexpr tSkinChooser EQ_CHOOSERS[] = {
    {"Save presets", GTK_FILE_CHOOSER_ACTION_SAVE, "Save", nullptr, nullptr, nullptr, 0},
    {"Load presets", GTK_FILE_CHOOSER_ACTION_OPEN, "Load", nullptr, nullptr, nullptr, 0},
};

void on_chosen(void *record, int32_t kind, const char *path) {
    auto *w = static_cast<tHandleWindowEqualizer *>(record);
    if (kind == EQ_CHOOSER_SAVE) {
        window_equalizer_write_presets(path, w->value);
        return;
    }
    int32_t values[EQ_VALUES] = {};
    const int32_t n = window_equalizer_read_presets(path, values);
    for (int32_t i = 0; i < n; ++i) handle_send_band(w->handle, i, values[i]);
}

void on_menu_save(GSimpleAction *, GVariant *, void *record) {
    auto *w = static_cast<tHandleWindowEqualizer *>(record);
    skin_choose_file(w->window, EQ_CHOOSERS[EQ_CHOOSER_SAVE], on_chosen, w, EQ_CHOOSER_SAVE);
}

void on_menu_load(GSimpleAction *, GVariant *, void *record) {
    auto *w = static_cast<tHandleWindowEqualizer *>(record);
    skin_choose_file(w->window, EQ_CHOOSERS[EQ_CHOOSER_LOAD], on_chosen, w, EQ_CHOOSER_LOAD);
}

constexpr tSkinMenuItem EQ_MENU[] = {
    {"Save", "window_equalizer_menu_save", "app.window_equalizer_menu_save", on_menu_save},
    {"Load", "window_equalizer_menu_load", "app.window_equalizer_menu_load", on_menu_load},
};

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

    w->title_paintable = skin_paintable_new(EQ_WIDTH, EQ_TITLE_HEIGHT);
    w->body_paintable = skin_paintable_new(EQ_WIDTH, EQ_BODY_HEIGHT);
    w->title_picture = skin_picture_new(w->title_paintable);
    w->body_picture = skin_picture_new(w->body_paintable);
    const tSkinChrome chrome = skin_window_new(application, "ravlox equalizer", EQ_WIDTH,
                                               EQ_HEIGHT, w->title_picture, w->body_picture);
    w->window = chrome.window;
    w->box = chrome.box;
    w->window_handle = chrome.window_handle;
    g_object_set_data(G_OBJECT(w->window), "pThis", w);

    w->input = tSkinInput{.record = w,
                          .window = w->window,
                          .pressed = &w->pressed,
                          .press_x = &w->press_x,
                          .press_y = &w->press_y,
                          .flags = SKIN_ACT_ON_RELEASE_BOX,
                          .hit = hit,
                          .act = act_on_release,
                          .drag_update = on_drag_update,
                          .redraw = redraw,
                          .title_bar = w->window_handle};
    skin_input_attach(&w->input);
    w->click = w->input.click;
    w->drag = w->input.drag;

    keys_init(&w->key_machine, {w, &w->pressed, end_press, redraw, nullptr, 0});
    if (h != nullptr)
        keys_add_target(&w->key_machine, window_main_key_target(&h->gui.window_main));
    keys_attach(&w->key_machine, w->window);

    for (int32_t i = 0; i < EQ_BOXES; ++i)
        gui_hitbox_from_element(EQ_WIDTH, EQ_HEIGHT, &w->boxes[i], EQ_BOX_TABLE[i].id,
                                EQ_BOX_TABLE[i].element);

    g_signal_connect(w->window, "close-request", G_CALLBACK(on_close_request), nullptr);

    tSkinMenu menu{nullptr, nullptr, w->menu_items, w->actions, &w->menu_count, EQ_MENU_SLOTS};
    skin_menu_build(&menu, application, w->box, EQ_MENU, 2, w);
    w->menu_model = menu.model;
    w->popover = menu.popover;
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
    skin_window_show(w->window, compose, w);
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
    skin_paintable_set_scale(w->title_paintable, uint32_t(s));
    skin_paintable_set_scale(w->body_paintable, uint32_t(s));
    if (w->window == nullptr) return -1;
    gtk_window_set_default_size(GTK_WINDOW(w->window), EQ_WIDTH * s, EQ_HEIGHT * s);
    window_equalizer_redraw(w);
    return 0;
}

int32_t window_equalizer_refresh(tHandleWindowEqualizer *w) {
    if (w->background == nullptr) return -1;
    // Cleared first: what a new theme lacks must not show the old one's pixels.
    gdk_pixbuf_fill(w->background, 0x000000ff);
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
    skin_paintable_update(w->title_paintable, w->title_pixbuf);
    skin_paintable_update(w->body_paintable, w->body_pixbuf);
    return 0;
}
