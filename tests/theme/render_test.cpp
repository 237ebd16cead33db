// Drawing elements and bitmap-font text.
#include "theme/render.h"

#include "theme_test_util.h"

namespace {

// A theme record whose sheets hold the test pattern (alpha 200) and every element present,
// filled in directly so that the renderer is tested on its own.
struct PatternTheme : ThemeEnv {
    PatternTheme() {
        for (int i = 0; i < THEME_BITMAP_COUNT; ++i)
            for (int y = 0; y < THEME_BITMAPS[i].height; ++y)
                for (int x = 0; x < THEME_BITMAPS[i].width; ++x) {
                    const Rgb c = sheet_colour(i, x, y);
                    set_pixel(bitmap(i), x, y, Rgba{c.r, c.g, c.b, 200});
                }
        memset(theme->present, 1, sizeof theme->present);
    }
};

// True when the element's source rectangle is in `image` at (x, y).
::testing::AssertionResult drawn_at(const PatternTheme &t, const GdkPixbuf *image, int id, int x,
                                    int y) {
    const tThemeElement &e = THEME_ELEMENTS[id];
    for (int dy = 0; dy < e.height; ++dy)
        for (int dx = 0; dx < e.width; ++dx)
            if (pixel_at(image, x + dx, y + dy) !=
                pixel_at(t.bitmap(e.bitmap), e.source_x + dx, e.source_y + dy))
                return ::testing::AssertionFailure()
                       << "element " << id << " differs at " << x + dx << "," << y + dy;
    return ::testing::AssertionSuccess();
}

// Number of pixels of `image` that still hold `fill`.
int count_fill(const GdkPixbuf *image, Rgba fill) {
    int n = 0;
    for (int y = 0; y < gdk_pixbuf_get_height(image); ++y)
        for (int x = 0; x < gdk_pixbuf_get_width(image); ++x) n += pixel_at(image, x, y) == fill;
    return n;
}

struct Owned {
    GdkPixbuf *p;
    explicit Owned(GdkPixbuf *image) : p(image) {}
    ~Owned() {
        if (p != nullptr) g_object_unref(p);
    }
};

constexpr Rgba FILL = {9, 8, 7, 255};

}  // namespace

TEST(ThemeDraw, FixedPlacesCountNegativeCoordinatesFromTheFarEdge) {
    PatternTheme t;
    Owned main(new_image(275, 116));
    EXPECT_EQ(theme_draw_element(t.theme, main.p, ELEM_EQ_CLOSE), 0);
    EXPECT_TRUE(drawn_at(t, main.p, ELEM_EQ_CLOSE, 264, 3));
    EXPECT_EQ(count_fill(main.p, FILL), 275 * 116 - 81);
    // Pixels are replaced, alpha included, not blended.
    EXPECT_EQ(pixel_at(main.p, 264, 3)[3], 200);

    Owned narrow(new_image(200, 116));
    EXPECT_EQ(theme_draw_element(t.theme, narrow.p, ELEM_EQ_CLOSE), 0);
    EXPECT_TRUE(drawn_at(t, narrow.p, ELEM_EQ_CLOSE, 189, 3));

    Owned playlist(new_image(300, 145));
    EXPECT_EQ(theme_draw_element(t.theme, playlist.p, ELEM_PL_BOTTOM_RIGHT), 0);
    EXPECT_TRUE(drawn_at(t, playlist.p, ELEM_PL_BOTTOM_RIGHT, 150, 107));

    EXPECT_EQ(theme_draw_element(t.theme, main.p, ELEM_MAIN_BODY), 0);
    EXPECT_TRUE(drawn_at(t, main.p, ELEM_MAIN_BODY, 0, 14));
}

TEST(ThemeDraw, NoClippingAndAbsentElementsLeavePixelsAlone) {
    PatternTheme t;
    Owned main(new_image(275, 116));
    // 250 + 29 > 275: nothing at all is copied.
    EXPECT_EQ(theme_draw_element_at(t.theme, main.p, ELEM_POSBAR_THUMB, 250, 72), 0);
    EXPECT_EQ(count_fill(main.p, FILL), 275 * 116);
    EXPECT_EQ(theme_draw_element_at(t.theme, main.p, ELEM_POSBAR_THUMB, -1, 72), 0);
    EXPECT_EQ(theme_draw_element_at(t.theme, main.p, ELEM_POSBAR_THUMB, 10, 107), 0);
    EXPECT_EQ(count_fill(main.p, FILL), 275 * 116);
    // Exactly touching the edges is inside.
    EXPECT_EQ(theme_draw_element_at(t.theme, main.p, ELEM_POSBAR_THUMB, 246, 106), 0);
    EXPECT_TRUE(drawn_at(t, main.p, ELEM_POSBAR_THUMB, 246, 106));
    // The table destination is ignored by the positioned form.
    EXPECT_EQ(theme_draw_element_at(t.theme, main.p, ELEM_EQ_CLOSE, 0, 0), 0);
    EXPECT_TRUE(drawn_at(t, main.p, ELEM_EQ_CLOSE, 0, 0));
    // An element too wide for the image at its fixed place.
    Owned small(new_image(100, 100));
    EXPECT_EQ(theme_draw_element(t.theme, small.p, ELEM_MAIN_BODY), 0);
    EXPECT_EQ(count_fill(small.p, FILL), 100 * 100);

    t.theme->present[ELEM_CBUTTON] = 0;
    Owned other(new_image(275, 116));
    EXPECT_EQ(theme_draw_element(t.theme, other.p, ELEM_CBUTTON), 0);
    EXPECT_EQ(theme_draw_element_at(t.theme, other.p, ELEM_CBUTTON, 0, 0), 0);
    EXPECT_EQ(count_fill(other.p, FILL), 275 * 116);
}

TEST(ThemeDraw, IdsOutsideTheTableAreRejected) {
    PatternTheme t;
    Owned main(new_image(275, 116));
    for (int id : {-1, THEME_ELEMENT_COUNT, 100000}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(theme_draw_element(t.theme, main.p, id), -1);
        EXPECT_EQ(theme_draw_element_at(t.theme, main.p, id, 0, 0), -1);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.rfind("enums are not usable with this compiler. please write to ", 0), 0u) << err;
    }
    EXPECT_EQ(count_fill(main.p, FILL), 275 * 116);
}

TEST(ThemeText, GlyphsAndFallback) {
    PatternTheme t;
    GdkPixbuf *slot = nullptr;
    char text[8];
    snprintf(text, sizeof text, "%3d", 44);
    EXPECT_EQ(theme_render_text(t.theme, &slot, ELEM_GLYPH_BLANK_353, text, 15), 0);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(slot), 15);
    EXPECT_EQ(gdk_pixbuf_get_height(slot), 6);
    EXPECT_TRUE(drawn_at(t, slot, ELEM_GLYPH_BLANK_353, 0, 0));
    EXPECT_TRUE(drawn_at(t, slot, 321, 5, 0));
    EXPECT_TRUE(drawn_at(t, slot, 321, 10, 0));
    g_object_unref(slot);
    slot = nullptr;

    // Letters of either case draw the same cell; 0xE4 is an extra letter; a tab falls back.
    EXPECT_EQ(theme_render_text(t.theme, &slot, ELEM_GLYPH_BLANK_316, "aZ\xe4\t?\xc5", 0), 0);
    ASSERT_NE(slot, nullptr);
    EXPECT_TRUE(drawn_at(t, slot, 287, 0, 0));
    EXPECT_TRUE(drawn_at(t, slot, 312, 5, 0));
    EXPECT_TRUE(drawn_at(t, slot, 350, 10, 0));
    EXPECT_TRUE(drawn_at(t, slot, ELEM_GLYPH_BLANK_316, 15, 0));
    EXPECT_TRUE(drawn_at(t, slot, 351, 20, 0));
    EXPECT_TRUE(drawn_at(t, slot, ELEM_GLYPH_BLANK_316, 25, 0));
    g_object_unref(slot);

    // A fallback outside the table fails that glyph only.
    slot = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_EQ(theme_render_text(t.theme, &slot, 5000, "A B", 0), -1);
    testing::internal::GetCapturedStderr();
    ASSERT_NE(slot, nullptr);
    EXPECT_TRUE(drawn_at(t, slot, 287, 0, 0));
    EXPECT_TRUE(drawn_at(t, slot, 288, 10, 0));
    EXPECT_EQ(pixel_at(slot, 5, 0), (Rgba{0, 0, 0, 0}));
    g_object_unref(slot);
}

TEST(ThemeText, EllipsisCounting) {
    PatternTheme t;
    struct Case {
        const char *text;
        int glyphs;
        std::vector<int> ids;
    };
    const std::vector<Case> cases = {
        {"ABC...", 4, {287, 288, 289, ELEM_GLYPH_ELLIPSIS}},
        {"A...B", 3, {287, ELEM_GLYPH_ELLIPSIS, 288}},
        {"....", 2, {ELEM_GLYPH_ELLIPSIS, 328}},
        {"......", 2, {ELEM_GLYPH_ELLIPSIS, ELEM_GLYPH_ELLIPSIS}},
        {"..", 2, {328, 328}},
        {".....A", 4, {ELEM_GLYPH_ELLIPSIS, 328, 328, 287}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(theme_text_glyph_count(c.text), c.glyphs);
        GdkPixbuf *slot = nullptr;
        EXPECT_EQ(theme_render_text(t.theme, &slot, ELEM_GLYPH_BLANK_316, c.text, 0), 0);
        ASSERT_NE(slot, nullptr);
        EXPECT_EQ(gdk_pixbuf_get_width(slot), 5 * c.glyphs);
        for (size_t i = 0; i < c.ids.size(); ++i)
            EXPECT_TRUE(drawn_at(t, slot, c.ids[i], static_cast<int>(5 * i), 0));
        g_object_unref(slot);
    }
}

TEST(ThemeText, SlotReuseAndEmptyTexts) {
    PatternTheme t;
    GdkPixbuf *slot = nullptr;
    // Nothing to draw: no image.
    EXPECT_EQ(theme_render_text(t.theme, &slot, ELEM_GLYPH_BLANK_316, "", 154), 0);
    EXPECT_EQ(slot, nullptr);

    // The bit-rate strip: always 15 wide, reused, stale pixels right of a shorter text.
    EXPECT_EQ(theme_render_text(t.theme, &slot, ELEM_GLYPH_BLANK_353, "128", 15), 0);
    GdkPixbuf *first = slot;
    EXPECT_EQ(theme_render_text(t.theme, &slot, ELEM_GLYPH_BLANK_353, "9", 15), 0);
    EXPECT_EQ(slot, first);
    EXPECT_EQ(gdk_pixbuf_get_width(slot), 15);
    EXPECT_TRUE(drawn_at(t, slot, 326, 0, 0));
    EXPECT_TRUE(drawn_at(t, slot, 319, 5, 0));
    EXPECT_TRUE(drawn_at(t, slot, 325, 10, 0));
    // Too long for the reused image: the glyph that does not fit is not drawn at all.
    EXPECT_EQ(theme_render_text(t.theme, &slot, ELEM_GLYPH_BLANK_353, "4567", 15), 0);
    EXPECT_EQ(slot, first);
    EXPECT_TRUE(drawn_at(t, slot, 321, 0, 0));
    EXPECT_TRUE(drawn_at(t, slot, 323, 10, 0));

    // Narrower than the minimum: replaced by one of the text's own width.
    EXPECT_EQ(theme_render_text(t.theme, &slot, ELEM_GLYPH_BLANK_316, "AB", 154), 0);
    EXPECT_EQ(gdk_pixbuf_get_width(slot), 10);
    EXPECT_EQ(theme_render_text(t.theme, &slot, ELEM_GLYPH_BLANK_316, "ABCDEFGHIJ", 0), 0);
    EXPECT_EQ(gdk_pixbuf_get_width(slot), 50);
    // Wider than the minimum and than the text: replaced; a fresh image starts transparent.
    t.theme->present[287] = 0;
    EXPECT_EQ(theme_render_text(t.theme, &slot, ELEM_GLYPH_BLANK_316, "AB", 5), 0);
    EXPECT_EQ(gdk_pixbuf_get_width(slot), 10);
    EXPECT_EQ(pixel_at(slot, 0, 0), (Rgba{0, 0, 0, 0}));
    EXPECT_TRUE(drawn_at(t, slot, 288, 5, 0));

    // A text of no glyphs when a new image is due: the slot is emptied.
    EXPECT_EQ(theme_render_text(t.theme, &slot, ELEM_GLYPH_BLANK_316, "", 0), 0);
    EXPECT_EQ(slot, nullptr);
}
