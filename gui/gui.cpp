#include "gui/gui.h"

#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>

#include "core/handle.h"
#include "theme/catalogue.h"
#include "theme/default_theme.h"
#include "theme/template.h"

// ---- hit boxes and sliders

int32_t gui_hitbox_set(tHitBox *box, int32_t id, int32_t x, int32_t y, int32_t width,
                       int32_t height) {
    box->id = id;
    box->x = x;
    box->y = y;
    box->width = width;
    box->height = height;
    return 0;
}

int32_t gui_hitbox_from_element(int32_t base_width, int32_t base_height, tHitBox *box, int32_t id,
                                int32_t element) {
    const tThemeElement *e = theme_element(element);
    if (e == nullptr)
        return gui_hitbox_disable(box, id);
    return gui_hitbox_set(box, id, theme_destination(e->destination_x, base_width),
                          theme_destination(e->destination_y, base_height), e->width, e->height);
}

int32_t gui_hitbox_disable(tHitBox *box, int32_t id) { return gui_hitbox_set(box, id, -1, -1, -1, -1); }

int32_t gui_hitbox_test_size(const tHitBox *boxes, int32_t count, int32_t widget_width,
                             int32_t widget_height, int32_t base_width, int32_t base_height,
                             double x, double y) {
    if (count < 1 || base_width == 0 || base_height == 0)
        return 0;
    const double sx = static_cast<double>(widget_width) / base_width;
    const double sy = static_cast<double>(widget_height) / base_height;
    for (int32_t i = 0; i < count; i++) {
        const tHitBox &b = boxes[i];
        if (b.id != 0 && x >= sx * b.x && x < (b.x + b.width) * sx && y >= sy * b.y &&
            y < (b.y + b.height) * sy)
            return b.id;
    }
    return 0;
}

int32_t gui_hitbox_test(const tHitBox *boxes, int32_t count, GtkWidget *widget, int32_t base_width,
                        int32_t base_height, double x, double y) {
    if (widget == nullptr)
        return 0;
    return gui_hitbox_test_size(boxes, count, gtk_widget_get_width(widget),
                                gtk_widget_get_height(widget), base_width, base_height, x, y);
}

int32_t gui_slider_value_size(int32_t minimum, int32_t maximum, int32_t vertical,
                              int32_t widget_width, int32_t widget_height, int32_t base_width,
                              int32_t base_height, int32_t start, int32_t end, double x, double y) {
    const double extent = vertical ? widget_height : widget_width;
    const double base = vertical ? base_height : base_width;
    const double p = vertical ? y : x;
    if (base == 0 || extent == 0 || end == start)
        return minimum;
    const double s = extent / base;
    double v = static_cast<double>(maximum - minimum) * (p - start * s) / ((end - start) * s) +
               minimum;
    if (v < minimum)
        v = minimum;
    if (v > maximum)
        v = maximum;
    return static_cast<int32_t>(v);
}

int32_t gui_slider_value(int32_t minimum, int32_t maximum, int32_t vertical, GtkWidget *widget,
                         int32_t base_width, int32_t base_height, int32_t start, int32_t end,
                         double x, double y) {
    if (widget == nullptr)
        return minimum;
    return gui_slider_value_size(minimum, maximum, vertical, gtk_widget_get_width(widget),
                                 gtk_widget_get_height(widget), base_width, base_height, start,
                                 end, x, y);
}

// ---- the GUI module

int32_t gui_init(tHandleGui *g, tHandle *h, GtkApplication *application, tHandlePlaylist *playlist) {
    char *from = reinterpret_cast<char *>(&g->config);
    char *to = reinterpret_cast<char *>(&g->window_preferences) + sizeof g->window_preferences;
    memset(from, 0, static_cast<size_t>(to - from));
    g->application = application;
    g->handle = h;
    int32_t result = theme_init(&g->theme);
    result |= window_main_init(&g->window_main, h, &g->theme, application);
    result |= window_equalizer_init(&g->window_equalizer, h, &g->theme, application);
    result |= window_playlist_init(&g->window_playlist, h, &g->theme, application, playlist);
    result |= window_preferences_init(&g->window_preferences, h, application);
    result |= window_jump_init(&g->window_jump, h, application);
    result |= window_fileinfo_init(&g->window_fileinfo, application);
    dock_init(&g->dock, &g->config);
    dock_attach(&g->dock, DOCK_MAIN, g->window_main.window, g->window_main.title_picture,
                &g->window_main.input);
    dock_attach(&g->dock, DOCK_EQUALIZER, g->window_equalizer.window, g->window_equalizer.title_picture,
                &g->window_equalizer.input);
    dock_attach(&g->dock, DOCK_PLAYLIST, g->window_playlist.window, g->window_playlist.title_picture,
                &g->window_playlist.input);
    return result;
}

int32_t gui_read_config(tHandleGui *g) {
    config_open(&g->config, g->handle->data_dir, "gui.config");
    int32_t scale = 1;
    config_get_int(&g->config, "scalefactor", &scale, 1);
    handle_send_int(g->handle, EVENT_SCALE, scale);

    char theme_dir[HANDLE_PATH_SIZE];
    int32_t result = handle_get_theme_dir(g->handle, theme_dir);
    if (result == RESULT_OK)
        result = theme_load_directory(&g->theme, theme_dir, theme_dir);

    window_main_read_config(&g->window_main);
    window_equalizer_read_config(&g->window_equalizer);
    window_playlist_read_config(&g->window_playlist);

    // Read before the main window shows, so that the stack is laid out with the windows in it.
    int32_t show_playlist = 0;
    config_get_bool(&g->config, "showplaylist", &show_playlist, 0);
    int32_t show_equalizer = 0;
    config_get_bool(&g->config, "showequalizer", &show_equalizer, 0);
    dock_start(&g->dock, show_equalizer, show_playlist);
    dock_before_show(&g->dock, DOCK_MAIN);
    window_main_show(&g->window_main);
    dock_after_show(&g->dock, DOCK_MAIN);

    handle_send_int(g->handle, EVENT_SHOW_PLAYLIST, show_playlist);
    handle_send_int(g->handle, EVENT_SHOW_EQUALIZER, show_equalizer);
    return result;
}

namespace {

// The text after prefix when arg starts with it and at least one character follows, else null.
const char *option_value(const char *arg, const char *prefix) {
    const size_t n = strlen(prefix);
    if (strncmp(arg, prefix, n) != 0 || arg[n] == '\0')
        return nullptr;
    return arg + n;
}

int32_t refresh_all(tHandleGui *g) {
    int32_t result = window_main_refresh(&g->window_main);
    result |= window_equalizer_refresh(&g->window_equalizer);
    result |= window_playlist_refresh(&g->window_playlist);
    return result;
}

} // namespace

int32_t gui_parse_option(tHandleGui *g, const char *arg) {
    if (arg == nullptr)
        return RESULT_UNKNOWN_OPTION;
    if (const char *dir = option_value(arg, "--gui.theme.dumptemplate=")) {
        theme_write_template(dir);
        return RESULT_DONE;
    }
    if (const char *dir = option_value(arg, "--gui.theme.dumpdefault=")) {
        theme_default_write_all(dir);
        return RESULT_DONE;
    }
    const char *dir = option_value(arg, "--gui.theme.dir=");
    const char *wsz = option_value(arg, "--gui.theme.wsz=");
    if (dir == nullptr && wsz == nullptr)
        return RESULT_UNKNOWN_OPTION;
    char folder[HANDLE_PATH_SIZE];
    if (handle_get_theme_dir(g->handle, folder) != RESULT_OK)
        return RESULT_FAILED;
    const int32_t result = dir ? theme_load_directory(&g->theme, dir, folder) : theme_load_wsz(&g->theme, wsz, folder);
    return result | refresh_all(g);
}

int32_t gui_set_scale(tHandleGui *g, int32_t factor) {
    if (factor < GUI_SCALE_MIN)
        factor = GUI_SCALE_MIN;
    if (factor > GUI_SCALE_MAX)
        factor = GUI_SCALE_MAX;
    config_set_int(&g->config, "scalefactor", factor);
    const uint32_t scale = static_cast<uint32_t>(factor);
    window_equalizer_set_scale(&g->window_equalizer, scale);
    window_main_set_scale(&g->window_main, scale);
    window_playlist_set_scale(&g->window_playlist, scale);
    dock_set_scale(&g->dock, factor);
    return 0;
}

int32_t gui_show_playlist(tHandleGui *g, int32_t flag) {
    if (flag) {
        dock_before_show(&g->dock, DOCK_PLAYLIST);
        window_playlist_show(&g->window_playlist);
        dock_after_show(&g->dock, DOCK_PLAYLIST);
    } else
        window_playlist_hide(&g->window_playlist);
    window_main_set_playlist_button(&g->window_main, flag);
    config_set_bool(&g->config, "showplaylist", flag);
    return 0;
}

int32_t gui_show_equalizer(tHandleGui *g, int32_t flag) {
    if (flag) {
        dock_before_show(&g->dock, DOCK_EQUALIZER);
        window_equalizer_show(&g->window_equalizer);
        dock_after_show(&g->dock, DOCK_EQUALIZER);
    } else
        window_equalizer_hide(&g->window_equalizer);
    window_main_set_equalizer_button(&g->window_main, flag);
    config_set_bool(&g->config, "showequalizer", flag);
    return 0;
}

int32_t gui_show_preferences(tHandleGui *g, int32_t flag) {
    if (flag)
        return window_preferences_show(&g->window_preferences);
    return window_preferences_hide(&g->window_preferences);
}

int32_t gui_refresh(tHandleGui *g) { return refresh_all(g); }

int32_t gui_add_preferences_page(tHandleGui *g, GtkWidget *page, const char *tab) {
    return window_preferences_add_page(&g->window_preferences, page, tab);
}
