// Inputs that fuzzing found to break theme loading, kept as they were found.
#include "theme_test_util.h"

namespace {

std::string found(const std::string &name) {
    return read_file(std::string(RAVLOX_SOURCE_DIR) + "/tests/theme/data/fuzz/" + name);
}

void expect_sheet_absent(const ThemeEnv &env, int index) {
    for (const tThemeElement &e : THEME_ELEMENTS) {
        if (e.bitmap == index) {
            ASSERT_EQ(env.theme->present[e.id], 0) << e.id;
        }
    }
    EXPECT_EQ(pixel_at(env.bitmap(index), 0, 0), (Rgba{0, 0, 0, 0}));
}

}  // namespace

// A 495-byte PLEDIT.BMP whose header-size and data-offset fields hold text: the image library
// sized its buffers from them (gigabytes, seconds). It is refused unread; the rest loads.
TEST(ThemeFuzzFound, SheetWithAbsurdHeaderFieldsIsRefused) {
    ThemeEnv env;
    const std::string src = env.tmp / "src";
    write_full_theme(src);
    const std::string input = found("pledit-huge-header-fields.bmp");
    ASSERT_EQ(input.size(), 495u);
    ASSERT_TRUE(write_file(src + "/PLEDIT.BMP", input));

    EXPECT_EQ(theme_load_directory(env.theme, src.c_str()), 0);
    expect_sheet_absent(env, BITMAP_PLEDIT);
    EXPECT_EQ(pixel_at(env.bitmap(BITMAP_MAIN), 0, 0), opaque(sheet_colour(BITMAP_MAIN, 0, 0)));
}

// A 120-byte 1-bit BMP (2355 x 2048, within the size bound) declaring 2915333888 palette colours:
// the image library asked for 3 GB. It is refused unread.
TEST(ThemeFuzzFound, SheetWithAbsurdColourCountIsRefused) {
    ThemeEnv env;
    const std::string src = env.tmp / "src";
    write_full_theme(src);
    const std::string input = found("huge-colour-count.bmp");
    ASSERT_EQ(input.size(), 120u);
    ASSERT_TRUE(write_file(src + "/EQMAIN.BMP", input));

    EXPECT_EQ(theme_load_directory(env.theme, src.c_str()), 0);
    expect_sheet_absent(env, BITMAP_EQMAIN);
    EXPECT_EQ(pixel_at(env.bitmap(BITMAP_MAIN), 0, 0), opaque(sheet_colour(BITMAP_MAIN, 0, 0)));
}
