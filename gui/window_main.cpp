#include "gui/window_main.h"

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtk/gtk.h>

#include "core/handle.h"
#include "gui/drop.h"
#include "gui/gui.h"
#include "theme/catalogue.h"
#include "theme/render.h"

namespace {

// Unchanged ticks before the tick stops: longer than a spectrum peak stays up, so a
// settling visualizer is seen to its end.
constexpr int32_t WINDOW_MAIN_STILL_TICKS = 2 * VISUALIZER_PEAK_FRAMES;

// ---- drawing

inline void draw(tHandleWindowMain *w, int32_t id) { theme_draw_element(w->theme, w->frame, id); }

inline void draw_at(tHandleWindowMain *w, int32_t id, int32_t x, int32_t y) {
    theme_draw_element_at(w->theme, w->frame, id, x, y);
}

// Copies a rectangle between two images of the same layout; the caller has checked that both
// rectangles fit. Row copies, because the image library's own copy allocates on every call.
void copy_rect(GdkPixbuf *from, int sx, int sy, int width, int height, GdkPixbuf *to, int dx, int dy) {
    const int n = gdk_pixbuf_get_n_channels(from);
    if (n != gdk_pixbuf_get_n_channels(to) || gdk_pixbuf_get_bits_per_sample(from) != 8 ||
        gdk_pixbuf_get_bits_per_sample(to) != 8) {
        gdk_pixbuf_copy_area(from, sx, sy, width, height, to, dx, dy);
        return;
    }
    const int fs = gdk_pixbuf_get_rowstride(from), ts = gdk_pixbuf_get_rowstride(to);
    const guchar *f = gdk_pixbuf_read_pixels(from) + sy * fs + sx * n;
    guchar *t = gdk_pixbuf_get_pixels(to) + dy * ts + dx * n;
    for (int y = 0; y < height; y++)
        memcpy(t + y * ts, f + y * fs, static_cast<size_t>(width) * n);
}

// Copies a w x h rectangle of a text strip into the frame when both rectangles fit.
void blit_strip(GdkPixbuf *strip, int32_t sx, int32_t width, GdkPixbuf *frame, int32_t dx,
                int32_t dy) {
    if (strip == nullptr || width <= 0)
        return;
    const int sw = gdk_pixbuf_get_width(strip);
    const int sh = gdk_pixbuf_get_height(strip);
    if (sx < 0 || sx + width > sw || sh < 6)
        return;
    if (dx < 0 || dy < 0 || dx + width > gdk_pixbuf_get_width(frame) ||
        dy + 6 > gdk_pixbuf_get_height(frame))
        return;
    copy_rect(strip, sx, 0, width, 6, frame, dx, dy);
}

void draw_controls(tHandleWindowMain *w) {
    draw(w, ELEM_VOLUME_FRAME + w->volume * 27 / 100);
    draw(w, ELEM_BALANCE_FRAME + abs(w->balance) * 27 / 100);
    w->volume_thumb_x = 107 + w->volume * 53 / 100;
    draw_at(w, ELEM_VOLUME_THUMB, w->volume_thumb_x, 58);
    w->balance_thumb_x = 189 + w->balance * 23 / 200;
    draw_at(w, ELEM_BALANCE_THUMB, w->balance_thumb_x, 58);
    draw(w, w->clutterbar == 1 ? ELEM_CLUTTERBAR_ON : ELEM_CLUTTERBAR_OFF);
    draw(w, w->equalizer_button == 1 ? ELEM_EQPL_TOGGLE + 4 : ELEM_EQPL_TOGGLE);
    draw(w, w->playlist_button == 1 ? ELEM_EQPL_TOGGLE + 5 : ELEM_EQPL_TOGGLE + 1);
    draw(w, w->shuffle == 1 ? ELEM_SHUFREP + 5 : ELEM_SHUFREP + 1);
    draw(w, w->repeat == 1 ? ELEM_SHUFREP + 4 : ELEM_SHUFREP);
    int32_t marker = ELEM_STATUS + 3;
    switch (w->status) {
    case STATUS_PLAYING: marker = ELEM_STATUS; break;
    case STATUS_PAUSED: marker = ELEM_STATUS + 1; break;
    case STATUS_STOPPED: marker = ELEM_STATUS + 2; break;
    case STATUS_READY: marker = ELEM_STATUS + 4; break;
    case STATUS_TRACK_ENDED: marker = ELEM_STATUS + 5; break;
    default: break;
    }
    draw(w, marker);
}

int32_t shown_seconds(const tHandleWindowMain *w) {
    const int32_t t = w->countdown == 1 ? w->song.length - w->song.position : w->song.position;
    // A position past the length (or a negative one) would ask for digits that do not exist.
    return t < 0 ? 0 : t;
}

int32_t position_thumb_x(const tHandleWindowMain *w) {
    int32_t position = w->song.position;
    const int32_t length = w->song.length;
    if (position > length)
        position = length;
    if (position < 0)
        position = 0;
    return length > 0 ? 16 + static_cast<int32_t>(int64_t{218} * position / length) : 16;
}

void draw_time(tHandleWindowMain *w) {
    const int32_t t = shown_seconds(w);
    int32_t m = t / 60;
    const int32_t r = t - 60 * m;
    if (m > 99)
        m = 99;
    draw_at(w, m >= -9 && m <= 9 ? ELEM_DIGIT_BLANK : ELEM_DIGIT + m / 10, 48, 26);
    draw_at(w, ELEM_DIGIT + m % 10, 60, 26);
    draw_at(w, ELEM_DIGIT + r / 10, 78, 26);
    draw_at(w, ELEM_DIGIT + r % 10, 90, 26);
}

bool ticker_scrolls(const tHandleWindowMain *w) {
    return w->text_title != nullptr && gdk_pixbuf_get_width(w->text_title) >= 155;
}

// Where the ticker's window into a scrolling title strip starts.
int32_t ticker_source_x(const tHandleWindowMain *w) {
    const int32_t width = gdk_pixbuf_get_width(w->text_title);
    const int32_t s = w->ticker_offset > 0 ? w->ticker_offset : 0;
    return s < width - 154 ? s : width - 155;
}

// Once the end of the text has shown long enough, back to its start.
void ticker_wrap(tHandleWindowMain *w) {
    if (ticker_scrolls(w) && w->ticker_offset >= gdk_pixbuf_get_width(w->text_title) - 77)
        w->ticker_offset = -77;
}

void draw_ticker(tHandleWindowMain *w) {
    if (w->text_title == nullptr)
        return;
    const int32_t width = gdk_pixbuf_get_width(w->text_title);
    if (width < 155) {
        // Too short to scroll: shown from its start.
        blit_strip(w->text_title, 0, width < 154 ? width : 154, w->frame, 111, 27);
        return;
    }
    blit_strip(w->text_title, ticker_source_x(w), 154, w->frame, 111, 27);
    ticker_wrap(w);
}

void draw_displays(tHandleWindowMain *w) {
    draw_time(w);
    draw_ticker(w);
    blit_strip(w->text_rate, 0, 10, w->frame, 156, 43);
    blit_strip(w->text_bitrate, 0, 15, w->frame, 111, 43);
    w->position_thumb_x = position_thumb_x(w);
    draw_at(w, ELEM_POSBAR_THUMB, w->position_thumb_x, 72);
    if (w->song.channels == 1) {
        draw(w, ELEM_STEREO_OFF);
        draw(w, ELEM_MONO_ON);
    } else if (w->song.channels == 2) {
        draw(w, ELEM_STEREO_ON);
        draw(w, ELEM_MONO_OFF);
    } else {
        draw(w, ELEM_STEREO_OFF);
        draw(w, ELEM_MONO_OFF);
    }
    visualizer_draw(&w->visualizer, w->frame, 24, 44);
}

void draw_pressed(tHandleWindowMain *w) {
    const int32_t id = w->pressed;
    if (id == MAIN_ID_VOLUME)
        draw_at(w, ELEM_VOLUME_THUMB_PRESSED, w->volume_thumb_x, 58);
    else if (id == MAIN_ID_BALANCE)
        draw_at(w, ELEM_BALANCE_THUMB_PRESSED, w->balance_thumb_x, 58);
    else if (id == MAIN_ID_POSITION)
        draw_at(w, ELEM_POSBAR_THUMB_PRESSED, w->position_thumb_x, 72);
    else if (const int32_t look = window_main_pressed_look(id); look != SKIN_NO_ELEMENT) {
        const bool on = (id == MAIN_ID_EQUALIZER && w->equalizer_button == 1) ||
                        (id == MAIN_ID_PLAYLIST && w->playlist_button == 1) ||
                        (id == MAIN_ID_SHUFFLE && w->shuffle == 1) ||
                        (id == MAIN_ID_REPEAT && w->repeat == 1);
        draw(w, on ? look + 4 : look);
    }
}

// The bounded length of a field that may lack its terminator.
size_t field_length(const char *field, size_t size) { return strnlen(field, size); }

bool field_differs(const char *a, const char *b, size_t size) {
    const size_t n = field_length(a, size);
    return n != field_length(b, size) || memcmp(a, b, n) != 0;
}

// Copies a field that may lack its terminator, always leaving one (the last byte is given up).
void copy_field(char *to, const char *from, size_t size) {
    const size_t n = field_length(from, size - 1);
    memcpy(to, from, n);
    memset(to + n, 0, size - n);
}

void render_text(tHandleWindowMain *w, GdkPixbuf **slot, int32_t fallback, const char *text,
                 int32_t min_width) {
    if (w->theme != nullptr)
        theme_render_text(w->theme, slot, fallback, text, min_width);
    w->generation++;
}

void frame_inputs(tHandleWindowMain *w, tMainFrameInputs *k) {
    k->time = shown_seconds(w);
    k->ticker_x = ticker_scrolls(w) ? ticker_source_x(w) : -1;
    k->volume = w->volume;
    k->balance = w->balance;
    k->clutterbar = w->clutterbar;
    k->equalizer_button = w->equalizer_button;
    k->playlist_button = w->playlist_button;
    k->shuffle = w->shuffle;
    k->repeat = w->repeat;
    k->status = w->status;
    k->pressed = w->pressed;
    k->position_thumb_x = position_thumb_x(w);
    k->channels = w->song.channels;
    k->generation = w->generation;
    tHandleVisualizer *v = &w->visualizer;
    pthread_mutex_lock(&v->mutex);
    k->visualizer_mode = v->mode;
    if (v->mode == VISUALIZER_OFF)
        memset(k->visualizer, 0, sizeof k->visualizer);
    else
        memcpy(k->visualizer, v->image, sizeof k->visualizer);
    pthread_mutex_unlock(&v->mutex);
}

// Whether the window can be seen: mapped, and not minimised. Asked only when GTK reports a
// change; reading the surface's state is a property lookup, too dear for every frame.
bool window_visible(tHandleWindowMain *w) {
    if (w->window == nullptr)
        return true;
    if (!gtk_widget_get_mapped(w->window))
        return false;
    GdkSurface *surface = gtk_native_get_surface(GTK_NATIVE(w->window));
    if (surface == nullptr || !gdk_surface_get_mapped(surface))
        return false;
    return !GDK_IS_TOPLEVEL(surface) ||
           (gdk_toplevel_get_state(GDK_TOPLEVEL(surface)) & GDK_TOPLEVEL_STATE_MINIMIZED) == 0;
}

bool seen(const tHandleWindowMain *w) { return w->window == nullptr || w->visible != 0; }

void show_title_and_body(tHandleWindowMain *w) {
    skin_paintable_update(w->title_paintable, w->title_pixbuf);
    skin_paintable_update(w->body_paintable, w->body_pixbuf, WINDOW_MAIN_PARTS,
                          WINDOW_MAIN_PART_COUNT, WINDOW_MAIN_TITLE_HEIGHT);
}

void show_parts(tHandleWindowMain *w) {
    for (int i = 0; i < WINDOW_MAIN_PART_COUNT; i++)
        skin_paintable_update(w->part_paintables[i], w->part_pixbufs[i]);
}

// Between two frames that differ in their parts only: whether part `i` shows anything new.
bool part_differs(int i, const tMainFrameInputs &a, const tMainFrameInputs &b) {
    switch (i) {
    case MAIN_PART_VISUALIZER:
        return a.visualizer_mode != b.visualizer_mode ||
               memcmp(a.visualizer, b.visualizer, sizeof a.visualizer) != 0;
    case MAIN_PART_TICKER: return a.ticker_x != b.ticker_x;
    case MAIN_PART_TIME: return a.time != b.time;
    case MAIN_PART_POSITION: return a.position_thumb_x != b.position_thumb_x;
    default: return true;
    }
}

// Composes the window before it is first shown, where draw_frame would not.
int32_t compose_unseen(void *record) {
    tHandleWindowMain *w = static_cast<tHandleWindowMain *>(record);
    window_main_compose(w);
    show_title_and_body(w);
    show_parts(w);
    return 0;
}

// Composes and shows the parts whose inputs changed, on the frame composed last: nothing else
// of the window draws into a part's rectangle.
void compose_parts(tHandleWindowMain *w, const tMainFrameInputs &now) {
    for (int i = 0; i < WINDOW_MAIN_PART_COUNT; i++) {
        if (!part_differs(i, now, w->shown)) {
            if (i == MAIN_PART_TICKER)
                ticker_wrap(w);
            continue;
        }
        const tMainPart &r = WINDOW_MAIN_PARTS[i];
        copy_rect(w->background, r.x, r.y, r.width, r.height, w->frame, r.x, r.y);
        switch (i) {
        case MAIN_PART_VISUALIZER: visualizer_draw(&w->visualizer, w->frame, r.x, r.y); break;
        case MAIN_PART_TICKER: draw_ticker(w); break;
        case MAIN_PART_TIME: draw_time(w); break;
        case MAIN_PART_POSITION:
            w->position_thumb_x = position_thumb_x(w);
            draw_at(w, ELEM_POSBAR_THUMB, w->position_thumb_x, 72);
            if (w->pressed == MAIN_ID_POSITION)
                draw_at(w, ELEM_POSBAR_THUMB_PRESSED, w->position_thumb_x, 72);
            break;
        default: break;
        }
        skin_paintable_update(w->part_paintables[i], w->part_pixbufs[i]);
    }
}

// Composes and shows the frame unless it would be the one already shown; true when it was
// composed. A window that cannot be seen is not drawn, and is composed afresh when it shows.
bool draw_frame(tHandleWindowMain *w) {
    if (!seen(w)) {
        w->composed = 0;
        return false;
    }
    tMainFrameInputs now;
    frame_inputs(w, &now);
    if (w->composed == 1 && memcmp(&now, &w->shown, sizeof now) == 0) {
        ticker_wrap(w);
        return false;
    }
    // Only the parts changed: what the title and body show stays as it is.
    const bool parts_only =
        w->composed == 1 && memcmp(&now, &w->shown, offsetof(tMainFrameInputs, time)) == 0;
    if (parts_only) {
        compose_parts(w, now);
    } else {
        window_main_compose(w);
        show_title_and_body(w);
        show_parts(w);
    }
    memcpy(&w->shown, &now, sizeof now);
    w->composed = 1;
    return true;
}

void place_parts(tHandleWindowMain *w) {
    const int s = static_cast<int>(w->scale);
    for (int i = 0; i < WINDOW_MAIN_PART_COUNT; i++) {
        if (w->part_pictures[i] == nullptr)
            continue;
        gtk_widget_set_margin_start(w->part_pictures[i], WINDOW_MAIN_PARTS[i].x * s);
        gtk_widget_set_margin_top(w->part_pictures[i], (WINDOW_MAIN_PARTS[i].y - WINDOW_MAIN_TITLE_HEIGHT) * s);
    }
}

void shown_or_hidden(tHandleWindowMain *w) {
    w->visible = window_visible(w) ? 1 : 0;
    window_main_wake(w);
}

void on_shown_or_hidden(GObject *, GParamSpec *, gpointer data) {
    shown_or_hidden(static_cast<tHandleWindowMain *>(data));
}

void on_map_change(GtkWidget *, gpointer data) { shown_or_hidden(static_cast<tHandleWindowMain *>(data)); }

void on_realize(GtkWidget *widget, gpointer data) {
    GdkSurface *surface = gtk_native_get_surface(GTK_NATIVE(widget));
    if (surface == nullptr)
        return;
    g_signal_connect(surface, "notify::mapped", G_CALLBACK(on_shown_or_hidden), data);
    g_signal_connect(surface, "notify::state", G_CALLBACK(on_shown_or_hidden), data);
}

gboolean on_close_request(GtkWindow *, gpointer data) {
    handle_dispatch(static_cast<tHandleWindowMain *>(data)->handle, EVENT_QUIT, nullptr);
    exit(0);
}

} // namespace

// ---- composition

int32_t window_main_create_images(tHandleWindowMain *w) {
    w->frame = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, WINDOW_MAIN_WIDTH, WINDOW_MAIN_HEIGHT);
    w->background =
        gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, WINDOW_MAIN_WIDTH, WINDOW_MAIN_HEIGHT);
    if (w->frame == nullptr || w->background == nullptr)
        return -1;
    gdk_pixbuf_fill(w->frame, 0x000000ff);
    gdk_pixbuf_fill(w->background, 0x000000ff);
    w->title_pixbuf =
        gdk_pixbuf_new_subpixbuf(w->frame, 0, 0, WINDOW_MAIN_WIDTH, WINDOW_MAIN_TITLE_HEIGHT);
    for (int i = 0; i < WINDOW_MAIN_PART_COUNT; i++) {
        const tMainPart &r = WINDOW_MAIN_PARTS[i];
        w->part_pixbufs[i] = gdk_pixbuf_new_subpixbuf(w->frame, r.x, r.y, r.width, r.height);
    }
    w->body_pixbuf = gdk_pixbuf_new_subpixbuf(w->frame, 0, WINDOW_MAIN_TITLE_HEIGHT,
                                              WINDOW_MAIN_WIDTH,
                                              WINDOW_MAIN_HEIGHT - WINDOW_MAIN_TITLE_HEIGHT);
    return 0;
}

void window_main_update_song(tHandleWindowMain *w, const tSongInfo *fresh) {
    tSongInfo &s = w->song;
    if (field_differs(fresh->path, s.path, sizeof s.path) ||
        field_differs(fresh->title, s.title, sizeof s.title)) {
        copy_field(s.path, fresh->path, sizeof s.path);
        copy_field(s.title, fresh->title, sizeof s.title);
        render_text(w, &w->text_title, ELEM_GLYPH_BLANK_316, s.title[0] != '\0' ? s.title : s.path,
                    154);
    }
    char text[16];
    if (fresh->rate != s.rate) {
        // Two digits cannot hold 176 or 192: such rates read "HI", as in high resolution.
        if (fresh->rate >= 100000)
            snprintf(text, sizeof text, "HI");
        else
            snprintf(text, sizeof text, "%2d", fresh->rate / 1000);
        render_text(w, &w->text_rate, ELEM_GLYPH_BLANK_315, text, 10);
        s.rate = fresh->rate;
    }
    if (fresh->bitrate != s.bitrate) {
        snprintf(text, sizeof text, "%3d", fresh->bitrate);
        render_text(w, &w->text_bitrate, ELEM_GLYPH_BLANK_353, text, 15);
        s.bitrate = fresh->bitrate;
    }
    if (w->pressed != MAIN_ID_POSITION)
        s.position = fresh->position;
    s.length = fresh->length;
    s.channels = fresh->channels;
}

int32_t window_main_compose_background(tHandleWindowMain *w) {
    static constexpr int32_t ELEMENTS[] = {
        ELEM_TB_TITLE,       ELEM_MAIN_BODY,          ELEM_CLUTTERBAR_ON,  ELEM_MONO_OFF,
        ELEM_STEREO_OFF,     ELEM_MAIN_RATE_AREA,     ELEM_MAIN_FREQ_AREA, ELEM_VOLUME_FRAME + 27,
        ELEM_BALANCE_FRAME,  ELEM_EQPL_TOGGLE + 1,    ELEM_EQPL_TOGGLE,    ELEM_POSBAR,
        ELEM_CBUTTON,        ELEM_CBUTTON + 1,        ELEM_CBUTTON + 2,    ELEM_CBUTTON + 3,
        ELEM_CBUTTON + 4,    ELEM_CBUTTON + 5,        ELEM_SHUFREP + 1,    ELEM_SHUFREP,
        ELEM_MAIN_CORNER,    ELEM_TB_MENU,            ELEM_TB_CLOSE,       ELEM_TB_MINIMIZE,
        ELEM_TB_BUTTON4,
    };
    if (w->background == nullptr || w->theme == nullptr)
        return -1;
    gdk_pixbuf_fill(w->background, 0x000000ff);
    int32_t result = 0;
    for (const int32_t id : ELEMENTS)
        result |= theme_draw_element(w->theme, w->background, id);
    w->generation++;
    return result;
}

void window_main_compose(tHandleWindowMain *w) {
    w->composed = 0; // the frame no longer need be what `shown` describes
    if (w->frame == nullptr || w->background == nullptr || w->theme == nullptr)
        return;
    copy_rect(w->background, 0, 0, WINDOW_MAIN_WIDTH, WINDOW_MAIN_HEIGHT, w->frame, 0, 0);
    draw_controls(w);
    draw_displays(w);
    draw_pressed(w);
}

// ---- operations

int32_t window_main_init(tHandleWindowMain *w, tHandle *h, tHandleTheme *theme,
                         GtkApplication *application) {
    memset(static_cast<void *>(w), 0, sizeof *w);
    w->application = application;
    w->handle = h;
    w->theme = theme;
    w->clutterbar = 1;
    w->status = STATUS_NONE;
    w->pressed = MAIN_ID_NONE;
    w->scale = 1;
    if (window_main_create_images(w) != 0)
        return -1;

    w->title_paintable = skin_paintable_new(WINDOW_MAIN_WIDTH, WINDOW_MAIN_TITLE_HEIGHT,
                                            &w->invalidations, &w->snapshots);
    w->body_paintable = skin_paintable_new(WINDOW_MAIN_WIDTH,
                                           WINDOW_MAIN_HEIGHT - WINDOW_MAIN_TITLE_HEIGHT,
                                           &w->invalidations, &w->snapshots);
    w->title_picture = skin_picture_new(w->title_paintable);
    w->body_picture = skin_picture_new(w->body_paintable);
    w->overlay = gtk_overlay_new();
    gtk_overlay_set_child(GTK_OVERLAY(w->overlay), w->body_picture);
    for (int i = 0; i < WINDOW_MAIN_PART_COUNT; i++) {
        const tMainPart &r = WINDOW_MAIN_PARTS[i];
        w->part_paintables[i] =
            skin_paintable_new(r.width, r.height, &w->invalidations, &w->snapshots);
        GtkWidget *picture = skin_picture_new(w->part_paintables[i]);
        gtk_widget_set_halign(picture, GTK_ALIGN_START);
        gtk_widget_set_valign(picture, GTK_ALIGN_START);
        gtk_widget_set_can_target(picture, FALSE);
        gtk_overlay_add_overlay(GTK_OVERLAY(w->overlay), picture);
        w->part_pictures[i] = picture;
    }
    place_parts(w);
    const tSkinChrome chrome = skin_window_new(application, "ravlox main", WINDOW_MAIN_WIDTH,
                                               WINDOW_MAIN_HEIGHT, w->title_picture, w->overlay);
    w->window = chrome.window;
    drop_attach(w->window, h, INSTANCE_REPLACE);
    w->box = chrome.box;
    w->window_handle = chrome.window_handle;

    window_main_connect_input(w);
    window_main_build_hitboxes(w);
    visualizer_init(&w->visualizer, h, theme);
    pthread_mutex_init(&w->mutex, nullptr);
    const int32_t result = window_licence_init(&w->licence, application);
    g_signal_connect(w->window, "close-request", G_CALLBACK(on_close_request), w);
    g_signal_connect(w->window, "realize", G_CALLBACK(on_realize), w);
    g_signal_connect(w->window, "map", G_CALLBACK(on_map_change), w);
    g_signal_connect(w->window, "unmap", G_CALLBACK(on_map_change), w);
    window_main_build_menu(w);
    return result;
}

int32_t window_main_read_config(tHandleWindowMain *w) {
    config_open(&w->config, w->handle->data_dir, "windowmain.config");
    config_get_onoff(&w->config, "clutterbar", &w->clutterbar, 1);
    config_get_onoff(&w->config, "shuffle", &w->shuffle, 0);
    config_get_onoff(&w->config, "repeat", &w->repeat, 0);
    config_get_onoff(&w->config, "countdown", &w->countdown, 0);
    visualizer_read_config(&w->visualizer);
    return 0;
}

int32_t window_main_show(tHandleWindowMain *w) {
    skin_window_show(w->window, compose_unseen, w);
    return 0;
}

int32_t window_main_set_scale(tHandleWindowMain *w, uint32_t scale) {
    // 0 (or a negative factor seen as unsigned) would give an empty or absurd window.
    if (scale < static_cast<uint32_t>(GUI_SCALE_MIN) || scale > static_cast<uint32_t>(GUI_SCALE_MAX))
        scale = GUI_SCALE_MIN;
    w->scale = scale;
    skin_paintable_set_scale(w->title_paintable, scale);
    skin_paintable_set_scale(w->body_paintable, scale);
    for (GdkPaintable *part : w->part_paintables)
        skin_paintable_set_scale(part, scale);
    place_parts(w);
    if (w->window != nullptr)
        gtk_window_set_default_size(GTK_WINDOW(w->window), WINDOW_MAIN_WIDTH * static_cast<int>(scale),
                                    WINDOW_MAIN_HEIGHT * static_cast<int>(scale));
    return 0;
}

int32_t window_main_refresh(tHandleWindowMain *w) {
    tSongInfo saved = w->song;
    memset(&w->song, 0, sizeof w->song);
    window_main_update_song(w, &saved);
    const int32_t result = window_main_compose_background(w);
    window_main_redraw(w);
    return result;
}

int32_t window_main_set_status(tHandleWindowMain *w, int32_t status) {
    w->status = status;
    return 0;
}

int32_t window_main_set_volume(tHandleWindowMain *w, int32_t volume) {
    w->volume = volume <= 0 ? 0 : volume > 100 ? 100 : volume;
    return window_main_redraw(w);
}

int32_t window_main_set_balance(tHandleWindowMain *w, int32_t balance) {
    w->balance = balance < -99 ? -100 : balance > 100 ? 100 : balance;
    return window_main_redraw(w);
}

int32_t window_main_set_equalizer_button(tHandleWindowMain *w, int32_t flag) {
    w->equalizer_button = flag != 0 ? 1 : 0;
    return 0;
}

int32_t window_main_set_playlist_button(tHandleWindowMain *w, int32_t flag) {
    w->playlist_button = flag != 0 ? 1 : 0;
    return 0;
}

int32_t window_main_get_shuffle_repeat(tHandleWindowMain *w, int32_t *shuffle, int32_t *repeat) {
    *shuffle = w->shuffle == 1 ? 1 : 0;
    *repeat = w->repeat == 1 ? 1 : 0;
    return 0;
}

int32_t window_main_redraw(tHandleWindowMain *w) {
    draw_frame(w);
    window_main_wake(w);
    return 0;
}

void window_main_wake(tHandleWindowMain *w) {
    w->still_ticks = 0;
    if (w->tick_source == 0 && w->window != nullptr && w->visible)
        w->tick_source = g_timeout_add(WINDOW_MAIN_TICK_MS, window_main_tick, w);
}

int window_main_tick(void *record) {
    tHandleWindowMain *w = static_cast<tHandleWindowMain *>(record);
    if (!seen(w)) {
        w->composed = 0;
        w->tick_source = 0;
        audiooutput_poll_room(&w->handle->audiooutput, 0);
        return G_SOURCE_REMOVE;
    }
    tSongInfo fresh;
    int16_t samples[512];
    pthread_mutex_lock(&w->mutex);
    handle_get_song_info(w->handle, &fresh);
    handle_read_tap(w->handle, samples, 512);
    visualizer_update(&w->visualizer, samples, 512);
    window_main_update_song(w, &fresh);
    pthread_mutex_unlock(&w->mutex);
    if (w->ticker_offset < INT32_MAX)
        w->ticker_offset++;
    const bool changed = draw_frame(w);
    int32_t state = DECODER_IDLE;
    decoder_get_state(&w->handle->decoder, &state);
    if (changed || state == DECODER_PLAYING || w->pressed != MAIN_ID_NONE || ticker_scrolls(w))
        w->still_ticks = 0;
    else if (++w->still_ticks >= WINDOW_MAIN_STILL_TICKS) {
        w->tick_source = 0;
        audiooutput_poll_room(&w->handle->audiooutput, 0);
        return G_SOURCE_REMOVE;
    }
    // Last: a woken decoder may end the track, and what that changes is drawn next tick.
    audiooutput_poll_room(&w->handle->audiooutput, 1);
    return G_SOURCE_CONTINUE;
}
