// Drawing theme elements into images, and text in the theme's bitmap font.
#include "theme/render.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <cstring>

#include "core/types.h"

namespace {

constexpr int GLYPH_ADVANCE = 5;
constexpr int GLYPH_HEIGHT = 6;

const tThemeElement *checked_element(int32_t id) {
    const tThemeElement *e = theme_element(id);
    if (e == nullptr || e->id != id) {
        fprintf(stderr, "enums are not usable with this compiler. please write to %s\n",
                RAVLOX_CONTACT);
        return nullptr;
    }
    return e;
}

// Replaces a whole rectangle, alpha included; a rectangle reaching outside either image is not
// copied at all.
void copy_rect(const GdkPixbuf *src, int sx, int sy, int w, int h, GdkPixbuf *dst, int dx, int dy) {
    if (src == nullptr || dst == nullptr || w <= 0 || h <= 0) return;
    const int src_w = gdk_pixbuf_get_width(src), src_h = gdk_pixbuf_get_height(src);
    const int dst_w = gdk_pixbuf_get_width(dst), dst_h = gdk_pixbuf_get_height(dst);
    if (sx < 0 || sy < 0 || sx + w > src_w || sy + h > src_h) return;
    if (dx < 0 || dy < 0 || dx + w > dst_w || dy + h > dst_h) return;
    const int src_channels = gdk_pixbuf_get_n_channels(src);
    const int dst_channels = gdk_pixbuf_get_n_channels(dst);
    if (gdk_pixbuf_get_bits_per_sample(dst) != 8 || src_channels < 3 || dst_channels < 3) return;
    const int src_stride = gdk_pixbuf_get_rowstride(src);
    const int dst_stride = gdk_pixbuf_get_rowstride(dst);
    const guint8 *s = gdk_pixbuf_read_pixels(src) + static_cast<size_t>(sy) * src_stride +
                      static_cast<size_t>(sx) * src_channels;
    guint8 *d = gdk_pixbuf_get_pixels(dst) + static_cast<size_t>(dy) * dst_stride +
                static_cast<size_t>(dx) * dst_channels;
    if (src_channels == dst_channels) {
        const size_t row = static_cast<size_t>(w) * dst_channels;
        for (int y = 0; y < h; ++y) memcpy(d + static_cast<size_t>(y) * dst_stride,
                                           s + static_cast<size_t>(y) * src_stride, row);
        return;
    }
    for (int y = 0; y < h; ++y) {
        const guint8 *sp = s + static_cast<size_t>(y) * src_stride;
        guint8 *dp = d + static_cast<size_t>(y) * dst_stride;
        for (int x = 0; x < w; ++x, sp += src_channels, dp += dst_channels) {
            dp[0] = sp[0];
            dp[1] = sp[1];
            dp[2] = sp[2];
            if (dst_channels == 4) dp[3] = src_channels == 4 ? sp[3] : 255;
        }
    }
}

void draw(const tHandleTheme *t, const tThemeElement &e, GdkPixbuf *destination, int32_t x,
          int32_t y) {
    if (t->present[e.id] == 0) return;
    copy_rect(t->bitmaps[e.bitmap], e.source_x, e.source_y, e.width, e.height, destination, x, y);
}

bool is_ellipsis(const char *p) { return p[0] == '.' && p[1] == '.' && p[2] == '.'; }

}  // namespace

int32_t theme_draw_element(tHandleTheme *t, GdkPixbuf *destination, int32_t id) {
    const tThemeElement *e = checked_element(id);
    if (e == nullptr) return -1;
    if (destination == nullptr) return 0;
    const int32_t x = theme_destination(e->destination_x, gdk_pixbuf_get_width(destination));
    const int32_t y = theme_destination(e->destination_y, gdk_pixbuf_get_height(destination));
    draw(t, *e, destination, x, y);
    return 0;
}

int32_t theme_draw_element_at(tHandleTheme *t, GdkPixbuf *destination, int32_t id, int32_t x,
                              int32_t y) {
    const tThemeElement *e = checked_element(id);
    if (e == nullptr) return -1;
    if (destination != nullptr) draw(t, *e, destination, x, y);
    return 0;
}

int32_t theme_text_glyph_count(const char *text) {
    int32_t glyphs = 0;
    for (const char *p = text; *p != '\0'; ++glyphs) p += is_ellipsis(p) ? 3 : 1;
    return glyphs;
}

int32_t theme_render_text(tHandleTheme *t, GdkPixbuf **slot, int32_t fallback_id, const char *text,
                          int32_t min_width) {
    if (slot == nullptr || text == nullptr) return -1;
    const int32_t width = GLYPH_ADVANCE * theme_text_glyph_count(text);
    bool fresh = *slot == nullptr;
    if (!fresh) {
        const int w = gdk_pixbuf_get_width(*slot);
        if (w < min_width || (w != width && w > min_width)) {
            g_object_unref(*slot);
            *slot = nullptr;
            fresh = true;
        }
    }
    if (fresh) {
        // A text of no glyphs has no image: the slot stays empty.
        if (width == 0) return 0;
        *slot = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, GLYPH_HEIGHT);
        if (*slot == nullptr) return -1;
        gdk_pixbuf_fill(*slot, 0);
    }
    int32_t result = 0;
    int32_t x = 0;
    for (const char *p = text; *p != '\0'; x += GLYPH_ADVANCE) {
        int32_t id;
        if (is_ellipsis(p)) {
            id = ELEM_GLYPH_ELLIPSIS;
            p += 3;
        } else {
            id = theme_glyph_id(static_cast<uint8_t>(*p), fallback_id);
            p += 1;
        }
        const tThemeElement *e = checked_element(id);
        if (e == nullptr) {
            result = -1;
            continue;
        }
        draw(t, *e, *slot, x, 0);
    }
    return result;
}
