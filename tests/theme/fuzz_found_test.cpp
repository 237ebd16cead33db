// Inputs that fuzzing found to break theme loading, kept as they were found.
#include <sys/stat.h>

#include "theme/default_theme.h"
#include "theme_test_util.h"

namespace {

std::string found(const std::string &name) {
    return read_file(std::string(RAVLOX_SOURCE_DIR) + "/tests/theme/data/fuzz/" + name);
}

// Loads a full theme whose sheet `index` is the found input: that input is refused unread and
// the default theme's sheet takes its place; every other sheet is the theme's own.
void expect_refused(const std::string &input, int index) {
    ThemeEnv env;
    const std::string src = env.tmp / "src";
    write_full_theme(src);
    ASSERT_TRUE(write_file(src + "/" + THEME_BITMAPS[index].name, input));

    EXPECT_EQ(theme_load_directory(env.theme, src.c_str(), env.folder.c_str()), 0);
    const std::string d = env.tmp / "default";
    mkdir(d.c_str(), 0755);
    ASSERT_EQ(theme_default_write_all(d.c_str()), 0);
    EXPECT_TRUE(read_file(env.in_folder(THEME_BITMAPS[index].name)) ==
                read_file(d + "/" + THEME_BITMAPS[index].name));
    EXPECT_EQ(env.present_count(), THEME_ELEMENT_COUNT);
    EXPECT_EQ(pixel_at(env.bitmap(BITMAP_MAIN), 0, 0), opaque(sheet_colour(BITMAP_MAIN, 0, 0)));
}

}  // namespace

// A 495-byte PLEDIT.BMP whose header-size and data-offset fields hold text: the image library
// sized its buffers from them (gigabytes, seconds).
TEST(ThemeFuzzFound, SheetWithAbsurdHeaderFieldsIsRefused) {
    const std::string input = found("pledit-huge-header-fields.bmp");
    ASSERT_EQ(input.size(), 495u);
    expect_refused(input, BITMAP_PLEDIT);
}

// A 120-byte 1-bit BMP (2355 x 2048, within the size bound) declaring 2915333888 palette colours:
// the image library asked for 3 GB.
TEST(ThemeFuzzFound, SheetWithAbsurdColourCountIsRefused) {
    const std::string input = found("huge-colour-count.bmp");
    ASSERT_EQ(input.size(), 120u);
    expect_refused(input, BITMAP_EQMAIN);
}
