// The present-flag rule and the glyph map, on the cases themes really produce.
#include "theme_test_util.h"

namespace {

struct Sizes {
    int32_t w[THEME_BITMAP_COUNT];
    int32_t h[THEME_BITMAP_COUNT];
    Sizes() {
        for (int i = 0; i < THEME_BITMAP_COUNT; ++i) {
            w[i] = THEME_BITMAPS[i].width;
            h[i] = THEME_BITMAPS[i].height;
        }
    }
};

}  // namespace

TEST(ThemeCatalogue, PresentFlagsFollowTheLoadedSizes) {
    uint8_t present[THEME_ELEMENT_COUNT];
    Sizes s;
    // The default theme's situation: no AVS.BMP and no MB.BMP.
    s.w[BITMAP_AVS] = s.h[BITMAP_AVS] = 0;
    s.w[BITMAP_MB] = s.h[BITMAP_MB] = 0;
    theme_compute_present(present, s.w, s.h);
    for (int id = 0; id < THEME_ELEMENT_COUNT; ++id) {
        const bool absent = id <= 8 || (id >= 140 && id <= 167);
        ASSERT_EQ(present[id], absent ? 0 : 1) << id;
    }

    // A TEXT.BMP 100 pixels wide: cells reaching past x = 100 are absent.
    s.w[BITMAP_TEXT] = 100;
    theme_compute_present(present, s.w, s.h);
    for (int id = ELEM_GLYPH; id < ELEM_GLYPH + ELEM_GLYPH_COUNT; ++id) {
        const tThemeElement &e = THEME_ELEMENTS[id];
        ASSERT_EQ(present[id], e.source_x + 5 <= 100 ? 1 : 0) << id;
    }
    EXPECT_EQ(present[ELEM_GLYPH_BLANK_316], 0);
    EXPECT_EQ(present[306], 1);
    EXPECT_EQ(present[307], 0);

    // One row short: the volume thumbs at the bottom go, the frames stay.
    s.h[BITMAP_VOLUME] = 432;
    theme_compute_present(present, s.w, s.h);
    EXPECT_EQ(present[ELEM_VOLUME_FRAME + 27], 1);
    EXPECT_EQ(present[ELEM_VOLUME_THUMB], 0);
    EXPECT_EQ(present[ELEM_VOLUME_THUMB_PRESSED], 0);
    // Larger than expected still counts.
    s.w[BITMAP_VOLUME] = s.h[BITMAP_VOLUME] = 4000;
    theme_compute_present(present, s.w, s.h);
    EXPECT_EQ(present[ELEM_VOLUME_THUMB], 1);
}

TEST(ThemeCatalogue, GlyphMapCoversTheFontAndNothingElse) {
    const char *punctuation = ".:()-'!_+\\/[]^&%,=$#";
    for (int i = 0; punctuation[i] != '\0'; ++i)
        EXPECT_EQ(theme_glyph_id(static_cast<uint8_t>(punctuation[i]), -7), 328 + i) << punctuation[i];
    EXPECT_EQ(theme_glyph_id('"', -7), 313);
    EXPECT_EQ(theme_glyph_id('@', -7), 314);
    EXPECT_EQ(theme_glyph_id('?', -7), 351);
    EXPECT_EQ(theme_glyph_id('*', -7), 352);
    EXPECT_EQ(theme_glyph_id(0xC2, -7), 348);
    EXPECT_EQ(theme_glyph_id(0xF6, -7), 349);
    EXPECT_EQ(theme_glyph_id(0xC4, -7), 350);
    int mapped = 0;
    for (int b = 0; b < 256; ++b) mapped += theme_glyph_id(static_cast<uint8_t>(b), -7) != -7;
    // 52 letters, 10 digits, 20 punctuation marks, 4 symbols, 6 extra-letter bytes.
    EXPECT_EQ(mapped, 92);
    for (int b : std::initializer_list<int>{' ', '\t', 0, 0xC5, 0xE5, '<', '>', '~', '`', '{', '|', '}', ';'})
        EXPECT_EQ(theme_glyph_id(static_cast<uint8_t>(b), 316), 316) << b;
}
