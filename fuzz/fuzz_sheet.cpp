// One theme sheet: the bytes become one BMP file of the theme folder, which is loaded as every
// theme is (the other sheets are 1 x 1 images: quick to decode, too small for any element),
// then every element cut from that sheet is drawn, and text in its font when it is TEXT.BMP.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstring>

#include "fuzz/fuzz_support.h"
#include "theme/render.h"
#include "theme/theme.h"

namespace {

uint32_t le(const uint8_t *p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}

// The sheet whose expected size the header declares (so the default theme's files land on their
// own sheets), else one chosen by the length.
int pick_sheet(const uint8_t *data, size_t size) {
    if (size >= 26) {
        const int32_t w = static_cast<int32_t>(le(data + 18, 4));
        int32_t h = static_cast<int32_t>(le(data + 22, 4));
        if (h < 0 && h != INT32_MIN) h = -h;
        for (const tThemeBitmap &b : THEME_BITMAPS)
            if (b.width == w && b.height == h) return static_cast<int>(b.index);
    }
    return static_cast<int>(size % THEME_BITMAP_COUNT);
}

// A valid 24-bit BMP of one pixel.
constexpr uint8_t TINY_BMP[58] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0,
                                  0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4, 0, 0, 0};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static tHandleTheme theme;
    static GdkPixbuf *window = nullptr;
    static GdkPixbuf *text = nullptr;
    static const std::string folder = fuzz::data_dir() + "/theme";
    static int last = -1;
    if (window == nullptr) {
        theme_init(&theme);
        window = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 280, 433);
        mkdir(folder.c_str(), 0700);
        for (const tThemeBitmap &b : THEME_BITMAPS) fuzz::write_file(folder + "/" + b.name, TINY_BMP, sizeof TINY_BMP);
        fuzz::write_file(folder + "/" + THEME_PLEDIT_NAME, nullptr, 0);
        fuzz::write_file(folder + "/" + THEME_VISCOLOR_NAME, nullptr, 0);
    }
    fuzz::FdGuard fds;
    const int sheet = pick_sheet(data, size);
    if (last >= 0) fuzz::write_file(folder + "/" + THEME_BITMAPS[last].name, TINY_BMP, sizeof TINY_BMP);
    last = sheet;
    if (!fuzz::write_file(folder + "/" + THEME_BITMAPS[sheet].name, data, size)) return 0;

    theme_load_directory(&theme, folder.c_str(), folder.c_str());
    for (const tThemeElement &e : THEME_ELEMENTS) {
        if (e.bitmap != sheet) {
            FUZZ_CHECK(theme.present[e.id] == 0, "element %d of a 1 x 1 sheet present", e.id);
            continue;
        }
        FUZZ_CHECK(theme_draw_element(&theme, window, e.id) == 0, "element %d", e.id);
        FUZZ_CHECK(theme_draw_element_at(&theme, window, e.id, 0, 0) == 0, "element %d", e.id);
    }
    if (sheet == BITMAP_TEXT) {
        char all[256];
        for (int i = 1; i < 256; ++i) all[i - 1] = static_cast<char>(i);
        all[255] = '\0';
        theme_render_text(&theme, &text, ELEM_GLYPH_ELLIPSIS, all, 0);
        theme_render_text(&theme, &text, ELEM_GLYPH_ELLIPSIS, "A... 12:34", 200);
    }
    fuzz::check_only(folder, fuzz::theme_file_names());
    fuzz::check_only(fuzz::data_dir(), {"theme"});
    return 0;
}
