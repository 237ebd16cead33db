// The playlist window: record, geometry, configuration and drawing.
#include "gui/window_playlist.h"

#include <cairo.h>
#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>

#include "core/handle.h"
#include "gui/drop.h"
#include "playlist/filter.h"
#include "theme/render.h"

namespace {

constexpr int32_t TITLE_HEIGHT = THEME_ELEMENTS[ELEM_PL_TITLE_A].height;
constexpr int32_t ROW_HEIGHT = THEME_ELEMENTS[ELEM_PL_SIDE_LEFT].height;
constexpr int32_t COLUMN_WIDTH = THEME_ELEMENTS[ELEM_PL_TITLE_A + 2].width;
constexpr int32_t BOTTOM_HEIGHT = THEME_ELEMENTS[ELEM_PL_BOTTOM_LEFT].height;
constexpr int32_t LEFT_WIDTH = THEME_ELEMENTS[ELEM_PL_SIDE_LEFT].width;
constexpr int32_t RIGHT_WIDTH = THEME_ELEMENTS[ELEM_PL_SIDE_RIGHT].width +
                                THEME_ELEMENTS[ELEM_PL_SIDE_RIGHT + 1].width +
                                THEME_ELEMENTS[ELEM_PL_SIDE_RIGHT + 2].width;
constexpr int32_t MIN_ROWS = 2;
constexpr int32_t MIN_COLUMNS = 11;
static_assert(TITLE_HEIGHT == 20 && ROW_HEIGHT == 29 && COLUMN_WIDTH == 25 &&
              BOTTOM_HEIGHT == 38 && LEFT_WIDTH == 12 && RIGHT_WIDTH == 20);
static_assert(COLUMN_WIDTH * MIN_COLUMNS == 275 &&
              ROW_HEIGHT * MIN_ROWS + TITLE_HEIGHT + BOTTOM_HEIGHT == 116);

constexpr const char *WINDOW_TITLE = "ravlox playlist";

// One pop-up menu: its side bar and its items (hit-box id and element), top to bottom.
struct tPopupMenu {
    int32_t side_bar;
    int32_t count;
    int32_t ids[4];
    int32_t elements[4];
};

constexpr tPopupMenu POPUP_MENUS[WINDOW_PLAYLIST_MENUS] = {
    {233, 3, {51, 50, 49, 0}, {231, 246, 256, 0}},
    {236, 4, {52, 55, 53, 54}, {266, 234, 248, 258}},
    {239, 3, {56, 57, 58, 0}, {237, 250, 260, 0}},
    {242, 3, {59, 60, 61, 0}, {240, 252, 262, 0}},
    {245, 3, {62, 63, 64, 0}, {243, 254, 264, 0}},
};

// The pressed form of each item lies 23 pixels to its right, one id further on.
constexpr bool popup_pressed_forms_follow_items() {
    for (const tPopupMenu &m : POPUP_MENUS)
        for (int32_t i = 0; i < m.count; i++) {
            const tThemeElement &item = THEME_ELEMENTS[m.elements[i]];
            const tThemeElement &pressed = THEME_ELEMENTS[m.elements[i] + 1];
            if (pressed.source_x != item.source_x + 23 || pressed.source_y != item.source_y ||
                pressed.destination_x != item.destination_x ||
                pressed.destination_y != item.destination_y)
                return false;
        }
    return true;
}
static_assert(popup_pressed_forms_follow_items());
static_assert(ELEM_PL_POPUP == 231 && ELEM_PL_POPUP_COUNT == 37);

GdkPixbuf *new_image(int32_t width, int32_t height) {
    if (width < 1 || height < 1)
        return nullptr;
    GdkPixbuf *p = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height);
    if (p)
        gdk_pixbuf_fill(p, 0);
    return p;
}

void release(GdkPixbuf **slot) {
    if (*slot)
        g_object_unref(*slot);
    *slot = nullptr;
}

void set_picture(GtkWidget *picture, GdkPixbuf *pixbuf) {
    if (picture)
        gtk_picture_set_pixbuf(GTK_PICTURE(picture), pixbuf);
}

int32_t clamp_scale(uint32_t scale) {
    if (scale < 1)
        return 1;
    if (scale > static_cast<uint32_t>(WINDOW_PLAYLIST_MAX_SCALE))
        return WINDOW_PLAYLIST_MAX_SCALE;
    return static_cast<int32_t>(scale);
}

// Sizes the widgets for the current geometry and scale, so that the window follows them.
void apply_sizes(tHandleWindowPlaylist *w) {
    if (!w->window)
        return;
    const int32_t s = w->scale;
    gtk_widget_set_size_request(w->title_picture, s * w->width, s * TITLE_HEIGHT);
    gtk_widget_set_size_request(w->list_picture, s * w->width, s * (w->height - TITLE_HEIGHT));
    gtk_widget_set_size_request(w->body_picture, s * w->width, s * (w->height - TITLE_HEIGHT));
    gtk_window_set_default_size(GTK_WINDOW(w->window), s * w->width, s * w->height);
}

void set_pictures(tHandleWindowPlaylist *w) {
    skin_paintable_update(w->title_paintable, w->title_strip);
    skin_paintable_update(w->body_paintable, w->body_strip);
    set_picture(w->list_picture, w->text_layer);
}

int32_t compose(void *record) {
    return window_playlist_refresh(static_cast<tHandleWindowPlaylist *>(record));
}

// Cairo takes the colours with red and blue exchanged: its native bytes become RGBA bytes.
void set_colour(cairo_t *cr, const uint8_t c[3]) {
    cairo_set_source_rgb(cr, c[2] / 255.0, c[1] / 255.0, c[0] / 255.0);
}

void draw_entry_text(cairo_t *cr, const char *text) {
    if (g_utf8_validate(text, -1, nullptr)) {
        cairo_show_text(cr, text);
        return;
    }
    // Cairo refuses invalid UTF-8 and then stops drawing altogether; show replacements instead.
    gchar *valid = g_utf8_make_valid(text, -1);
    cairo_show_text(cr, valid);
    g_free(valid);
}

// Without cairo the list still shows its background colour instead of staying empty.
void fill_list_area(tHandleWindowPlaylist *w, const uint8_t colour[3]) {
    const int32_t s = w->scale;
    const int32_t x = s * w->list_x;
    const int32_t y = s * (w->list_y - TITLE_HEIGHT);
    const int32_t width = s * w->list_width;
    const int32_t height = s * w->list_height;
    if (x + width > gdk_pixbuf_get_width(w->text_layer) ||
        y + height > gdk_pixbuf_get_height(w->text_layer))
        return;
    GdkPixbuf *area = gdk_pixbuf_new_subpixbuf(w->text_layer, x, y, width, height);
    if (!area)
        return;
    gdk_pixbuf_fill(area, (static_cast<guint32>(colour[0]) << 24) |
                              (static_cast<guint32>(colour[1]) << 16) |
                              (static_cast<guint32>(colour[2]) << 8) | 0xffu);
    g_object_unref(area);
}

// Renders the entry lines into the text layer. Returns -1 when cairo could not be used; the
// text layer then keeps its previous contents.
int32_t draw_entries(tHandleWindowPlaylist *w) {
    int32_t count = 0;
    int32_t current = 0;
    playlist_get_position(w->playlist, &count, &current);
    w->entry_count = count;
    if (w->scroll_offset > count - 1)
        w->scroll_offset = count > 0 ? count - 1 : 0;
    if (w->scroll_offset < 0)
        w->scroll_offset = 0;
    w->thumb_y = count != 0
                     ? w->list_y + (w->list_height - 19) * w->scroll_offset / count
                     : w->list_y;

    const int32_t s = w->scale;
    const int32_t width = s * w->list_width;
    const int32_t height = s * w->list_height;
    if (!w->text_layer)
        return -1;
    const uint8_t(*colours)[3] = theme_get_plcolors(w->theme);
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        fill_list_area(w, colours[2]);
        return -1;
    }
    cairo_t *cr = cairo_create(surface);
    const char *font = reinterpret_cast<const char *>(colours + 4);

    set_colour(cr, colours[2]);
    cairo_paint(cr);
    cairo_select_font_face(cr, font, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 8.0 * s);
    cairo_font_extents_t extents;
    cairo_font_extents(cr, &extents);
    int32_t line = static_cast<int32_t>(extents.height);
    if (line < 1)
        line = 1;
    w->visible_lines = height / line;
    w->line_height = line;

    static tSongInfo entry; // too large for the stack of every redraw
    bool unread = false;
    for (int32_t u = w->visible_lines - 1; u >= 0; u--) {
        const int32_t e = w->scroll_offset + u;
        if (e >= count)
            continue;
        uint8_t mark = 0;
        if (playlist_get_entry(w->playlist, e, &entry, &mark) != 0)
            continue;
        entry.path[sizeof entry.path - 1] = '\0';
        if (mark) {
            set_colour(cr, colours[3]);
            cairo_rectangle(cr, 0, u * line, width, line);
            cairo_fill(cr);
        }
        cairo_move_to(cr, 0, (u + 1) * line);
        set_colour(cr, e == current ? colours[1] : colours[0]);
        entry.title[sizeof entry.title - 1] = '\0';
        unread |= w->showtitles && !entry.tags_read;
        draw_entry_text(cr, window_playlist_shown_text(w, &entry));
        // A failed line must not stop the others; the context keeps an error once it has one.
        if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
            cairo_destroy(cr);
            cr = cairo_create(surface);
            cairo_select_font_face(cr, font, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
            cairo_set_font_size(cr, 8.0 * s);
        }
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    if (unread)
        window_playlist_read_tags_later(w);

    int32_t result = -1;
    GdkPixbuf *lines = gdk_pixbuf_new_from_data(cairo_image_surface_get_data(surface),
                                                GDK_COLORSPACE_RGB, TRUE, 8, width, height,
                                                cairo_image_surface_get_stride(surface), nullptr,
                                                nullptr);
    if (lines) {
        const int32_t x = s * w->list_x;
        const int32_t y = s * (w->list_y - TITLE_HEIGHT);
        if (x + width <= gdk_pixbuf_get_width(w->text_layer) &&
            y + height <= gdk_pixbuf_get_height(w->text_layer)) {
            gdk_pixbuf_copy_area(lines, 0, 0, width, height, w->text_layer, x, y);
            result = 0;
        }
        g_object_unref(lines);
    } else {
        fill_list_area(w, colours[2]);
    }
    cairo_surface_destroy(surface);
    return result;
}

int32_t draw_menus(tHandleWindowPlaylist *w) {
    int32_t result = 0;
    for (int32_t m = 0; m < WINDOW_PLAYLIST_MENUS; m++) {
        const tPopupMenu &menu = POPUP_MENUS[m];
        if (!w->menu_open[m])
            continue;
        result |= theme_draw_element(w->theme, w->frame, menu.side_bar);
        for (int32_t i = 0; i < menu.count; i++)
            result |= theme_draw_element(w->theme, w->frame, menu.elements[i]);
    }
    result |= window_playlist_place_menu_hitboxes(w);
    result |= theme_draw_element_at(w->theme, w->frame, ELEM_PL_SCROLL_THUMB, w->width - 15,
                                    w->thumb_y);
    return result;
}

int32_t draw_pressed(tHandleWindowPlaylist *w) {
    if (w->pressed == PLAYLIST_ID_CLOSE)
        return theme_draw_element(w->theme, w->frame, ELEM_PL_CLOSE_PRESSED);
    for (const tPopupMenu &menu : POPUP_MENUS)
        for (int32_t i = 0; i < menu.count; i++)
            if (menu.ids[i] == w->pressed)
                return theme_draw_element(w->theme, w->frame, menu.elements[i] + 1);
    return 0;
}

// The check buttons of the "Playlist" page, each an integer 0 or 1 in "playlist.config".
struct tPageSetting {
    const char *label;
    const char *key;
    int32_t initial;
    int32_t tHandleWindowPlaylist::*value;
};

constexpr tPageSetting PAGE_SETTINGS[WINDOW_PLAYLIST_SETTINGS] = {
    {"Show full path", "showfull", 1, &tHandleWindowPlaylist::showfull},
    {"Show titles from tags", "showtitles", 1, &tHandleWindowPlaylist::showtitles},
    {"Remember the playlist", "remember", 1, &tHandleWindowPlaylist::remember},
    {"Read every playlist line as a path", "plainlines", 0, &tHandleWindowPlaylist::plainlines},
    {"Save plain paths", "plainsave", 0, &tHandleWindowPlaylist::plainsave},
    {"Add a folder's own files only, as the system lists them", "flatfolders", 0,
     &tHandleWindowPlaylist::flatfolders},
};

// The store follows the settings on how it reads, saves and adds folders.
void apply_store_options(tHandleWindowPlaylist *w) {
    if (!w->playlist)
        return;
    int32_t options =
        w->playlist->options & ~(PLAYLIST_READ_PLAIN | PLAYLIST_SAVE_PLAIN | PLAYLIST_FOLDERS_FLAT | PLAYLIST_KEEP);
    if (w->remember)
        options |= PLAYLIST_KEEP;
    if (w->plainlines)
        options |= PLAYLIST_READ_PLAIN;
    if (w->plainsave)
        options |= PLAYLIST_SAVE_PLAIN;
    if (w->flatfolders)
        options |= PLAYLIST_FOLDERS_FLAT;
    w->playlist->options = options;
}

int32_t page_open(void *context) {
    auto *w = static_cast<tHandleWindowPlaylist *>(context);
    for (int32_t k = 0; k < WINDOW_PLAYLIST_SETTINGS; k++)
        if (w->setting_checks[k])
            gtk_check_button_set_active(GTK_CHECK_BUTTON(w->setting_checks[k]), w->*PAGE_SETTINGS[k].value != 0);
    return 0;
}

int32_t page_apply(void *context) {
    auto *w = static_cast<tHandleWindowPlaylist *>(context);
    for (int32_t k = 0; k < WINDOW_PLAYLIST_SETTINGS; k++) {
        if (w->setting_checks[k])
            w->*PAGE_SETTINGS[k].value = gtk_check_button_get_active(GTK_CHECK_BUTTON(w->setting_checks[k])) ? 1 : 0;
        config_set_int(&w->config, PAGE_SETTINGS[k].key, w->*PAGE_SETTINGS[k].value);
    }
    apply_store_options(w);
    return window_playlist_redraw(w);
}

} // namespace

uint32_t window_playlist_shown(const tHandleWindowPlaylist *w) {
    // The title a playlist file gave shows until the tags give one.
    return (w->showtitles ? PLAYLIST_SHOW_TITLES : 0u) | (w->showfull ? PLAYLIST_SHOW_FULL_PATH : 0u);
}

const char *window_playlist_shown_text(const tHandleWindowPlaylist *w, const tSongInfo *entry) {
    return playlist_shown_text(entry, window_playlist_shown(w));
}

int32_t window_playlist_init(tHandleWindowPlaylist *w, tHandle *h, tHandleTheme *theme,
                             GtkApplication *application, tHandlePlaylist *playlist) {
    memset(static_cast<void *>(w), 0, sizeof *w);
    w->scale = 1;
    w->application = application;
    w->handle = h;
    w->theme = theme;
    w->playlist = playlist;

    w->title_paintable = skin_paintable_new(COLUMN_WIDTH * MIN_COLUMNS, TITLE_HEIGHT);
    w->body_paintable = skin_paintable_new(COLUMN_WIDTH * MIN_COLUMNS,
                                           ROW_HEIGHT * MIN_ROWS + BOTTOM_HEIGHT);
    w->title_picture = skin_picture_new(w->title_paintable);
    w->body_picture = skin_picture_new(w->body_paintable);
    // The text layer is rendered at the scaled size already.
    w->list_picture = gtk_picture_new();
    gtk_picture_set_content_fit(GTK_PICTURE(w->list_picture), GTK_CONTENT_FIT_FILL);
    gtk_picture_set_can_shrink(GTK_PICTURE(w->list_picture), TRUE);

    w->overlay = gtk_overlay_new();
    gtk_overlay_set_child(GTK_OVERLAY(w->overlay), w->list_picture);
    gtk_overlay_add_overlay(GTK_OVERLAY(w->overlay), w->body_picture);
    const tSkinChrome chrome =
        skin_window_new(application, WINDOW_TITLE, COLUMN_WIDTH * MIN_COLUMNS,
                        ROW_HEIGHT * MIN_ROWS + TITLE_HEIGHT + BOTTOM_HEIGHT, w->title_picture,
                        w->overlay);
    w->window = chrome.window;
    drop_attach(w->window, h, INSTANCE_APPEND);
    w->box = chrome.box;
    w->window_handle = chrome.window_handle;
    for (GtkWidget *widget : {w->box, w->overlay, w->list_picture, w->body_picture}) {
        gtk_widget_set_hexpand(widget, TRUE);
        gtk_widget_set_vexpand(widget, TRUE);
        gtk_widget_set_halign(widget, GTK_ALIGN_FILL);
        gtk_widget_set_valign(widget, GTK_ALIGN_FILL);
    }
    g_object_set_data(G_OBJECT(w->window), "pThis", w);

    int32_t result = window_playlist_resize(w, MIN_ROWS, MIN_COLUMNS);
    w->pressed = 0;
    pthread_mutex_init(&w->mutex, nullptr);
    result |= window_playlist_attach_input(w);
    for (const tPageSetting &setting : PAGE_SETTINGS)
        w->*setting.value = setting.initial;
    return result;
}

int32_t window_playlist_resize(tHandleWindowPlaylist *w, int32_t rows, int32_t columns) {
    if (rows < MIN_ROWS + 1)
        rows = MIN_ROWS;
    if (columns < MIN_COLUMNS + 1)
        columns = MIN_COLUMNS;
    if (rows > WINDOW_PLAYLIST_MAX_ROWS)
        rows = WINDOW_PLAYLIST_MAX_ROWS;
    if (columns > WINDOW_PLAYLIST_MAX_COLUMNS)
        columns = WINDOW_PLAYLIST_MAX_COLUMNS;
    const int32_t width = COLUMN_WIDTH * columns;
    const int32_t height = ROW_HEIGHT * rows + TITLE_HEIGHT + BOTTOM_HEIGHT;
    const int32_t s = w->scale;

    // Build the new images first: when one cannot be had, the window keeps its old size.
    GdkPixbuf *background = new_image(width, height);
    GdkPixbuf *frame = new_image(width, height);
    GdkPixbuf *title = new_image(width, TITLE_HEIGHT);
    GdkPixbuf *body = new_image(width, height - TITLE_HEIGHT);
    GdkPixbuf *text = new_image(s * width, s * (height - TITLE_HEIGHT));
    if (!background || !frame || !title || !body || !text) {
        for (GdkPixbuf *p : {background, frame, title, body, text})
            if (p)
                g_object_unref(p);
        fprintf(stderr, "playlist window: no memory for %d x %d\n", columns, rows);
        return -1;
    }

    w->rows = rows;
    w->columns = columns;
    if (w->config_read) {
        config_set_int(&w->config, "rows", rows);
        config_set_int(&w->config, "columns", columns);
    }
    w->width = width;
    w->height = height;
    w->list_x = LEFT_WIDTH;
    w->list_y = TITLE_HEIGHT;
    w->list_width = width - LEFT_WIDTH - RIGHT_WIDTH;
    w->list_height = ROW_HEIGHT * rows;

    release(&w->background);
    release(&w->frame);
    release(&w->title_strip);
    release(&w->body_strip);
    release(&w->text_layer);
    w->background = background;
    w->frame = frame;
    w->title_strip = title;
    w->body_strip = body;
    w->text_layer = text;

    int32_t result = window_playlist_place_hitboxes(w);
    set_pictures(w);
    apply_sizes(w);
    return result;
}

int32_t window_playlist_draw_frame(tHandleWindowPlaylist *w) {
    GdkPixbuf *b = w->background;
    tHandleTheme *t = w->theme;
    if (!b)
        return -1;
    const int32_t width = w->width;
    int32_t result = 0;
    gdk_pixbuf_fill(b, 0);

    result |= theme_draw_element_at(t, b, ELEM_PL_TITLE, 0, 0);
    int32_t x = COLUMN_WIDTH;
    for (; x < width - COLUMN_WIDTH; x += COLUMN_WIDTH)
        result |= theme_draw_element_at(t, b, ELEM_PL_TITLE + 2, x, 0);
    result |= theme_draw_element_at(t, b, ELEM_PL_TITLE + 3, x, 0);
    result |= theme_draw_element_at(t, b, ELEM_PL_TITLE + 1, width / 2 - 50, 0);

    for (int32_t i = 0; i < w->rows; i++) {
        const int32_t y = TITLE_HEIGHT + ROW_HEIGHT * i;
        result |= theme_draw_element_at(t, b, ELEM_PL_SIDE_LEFT, 0, y);
        result |= theme_draw_element_at(t, b, ELEM_PL_SIDE_RIGHT, width - 20, y);
        result |= theme_draw_element_at(t, b, ELEM_PL_SIDE_RIGHT + 1, width - 15, y);
        result |= theme_draw_element_at(t, b, ELEM_PL_SIDE_RIGHT + 2, width - 7, y);
    }

    const int32_t bottom = ROW_HEIGHT * w->rows + TITLE_HEIGHT;
    result |= theme_draw_element_at(t, b, ELEM_PL_BOTTOM_LEFT, 0, bottom);
    int32_t n = width - 275;
    if (n >= 75) {
        result |= theme_draw_element(t, b, ELEM_PL_BOTTOM_EXTRA);
        n -= 75;
    }
    for (x = 125; n > 0; x += 25, n -= 25)
        result |= theme_draw_element_at(t, b, ELEM_PL_BOTTOM_FILL, x, bottom);
    result |= theme_draw_element(t, b, ELEM_PL_BOTTOM_RIGHT);

    for (int32_t i = 0; i < ELEM_PL_MINI_BUTTON_COUNT; i++)
        result |= theme_draw_element(t, b, ELEM_PL_MINI_BUTTON + i);
    for (int32_t i = 0; i < ELEM_PL_SMALL_BUTTON_COUNT; i++)
        result |= theme_draw_element(t, b, ELEM_PL_SMALL_BUTTON + i);
    return result;
}

int32_t window_playlist_redraw(tHandleWindowPlaylist *w) {
    if (!w->frame || !w->background)
        return -1;
    int32_t result = 0;
    gdk_pixbuf_copy_area(w->background, 0, 0, w->width, w->height, w->frame, 0, 0);
    // A failed text rendering keeps the previous lines; the frame is still shown.
    draw_entries(w);
    result |= draw_menus(w);
    result |= draw_pressed(w);
    gdk_pixbuf_copy_area(w->frame, 0, 0, w->width, TITLE_HEIGHT, w->title_strip, 0, 0);
    gdk_pixbuf_copy_area(w->frame, 0, TITLE_HEIGHT, w->width, w->height - TITLE_HEIGHT,
                         w->body_strip, 0, 0);
    set_pictures(w);
    return result;
}

int32_t window_playlist_refresh(tHandleWindowPlaylist *w) {
    return window_playlist_draw_frame(w) | window_playlist_redraw(w);
}

int32_t window_playlist_set_scale(tHandleWindowPlaylist *w, uint32_t scale) {
    const int32_t s = clamp_scale(scale);
    GdkPixbuf *text = new_image(s * w->width, s * (w->height - TITLE_HEIGHT));
    if (!text) {
        fprintf(stderr, "playlist window: no memory for scale %d\n", s);
        return -1;
    }
    w->scale = s;
    release(&w->text_layer);
    w->text_layer = text;
    skin_paintable_set_scale(w->title_paintable, static_cast<uint32_t>(s));
    skin_paintable_set_scale(w->body_paintable, static_cast<uint32_t>(s));
    apply_sizes(w);
    return window_playlist_refresh(w);
}

int32_t window_playlist_show(tHandleWindowPlaylist *w) {
    skin_window_show(w->window, compose, w);
    return 0;
}

int32_t window_playlist_hide(tHandleWindowPlaylist *w) {
    if (w->window)
        gtk_widget_set_visible(w->window, FALSE);
    return 0;
}

int32_t window_playlist_read_config(tHandleWindowPlaylist *w) {
    w->config_read = 1;
    int32_t result = config_open(&w->config, w->handle->data_dir, "playlist.config");
    int32_t rows = w->rows;
    int32_t columns = MIN_COLUMNS;
    config_get_int(&w->config, "rows", &rows, w->rows);
    config_get_int(&w->config, "columns", &columns, MIN_COLUMNS);
    GtkWidget *page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 3);
    for (int32_t k = 0; k < WINDOW_PLAYLIST_SETTINGS; k++) {
        const tPageSetting &setting = PAGE_SETTINGS[k];
        int32_t value = w->*setting.value;
        config_get_int(&w->config, setting.key, &value, w->*setting.value);
        w->*setting.value = value != 0 ? 1 : 0;
        w->setting_checks[k] = gtk_check_button_new_with_label(setting.label);
        gtk_box_append(GTK_BOX(page), w->setting_checks[k]);
    }
    apply_store_options(w);
    result |= handle_register_page(w->handle, page, "Playlist", page_open, page_apply, w);

    result |= window_playlist_resize(w, rows, columns);
    return result;
}
