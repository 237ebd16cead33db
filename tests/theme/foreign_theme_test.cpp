// Themes as other people make them, built here from the template and the default theme:
// sheets left out, broken or named differently, archives that fail half way.
#include "theme/default_theme.h"
#include "theme/template.h"
#include "theme_test_util.h"

namespace {

// The template theme written into dir (its progress lines kept off the test output).
void write_template(const std::string &dir) {
    testing::internal::CaptureStdout();
    const int32_t r = theme_write_template(dir.c_str());
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(r, 0);
}

// The default theme's sheets, loaded by a record of their own.
struct DefaultSheets {
    ThemeEnv env;
    DefaultSheets() {
        const std::string dir = env.tmp / "default";
        mkdir(dir.c_str(), 0755);
        EXPECT_EQ(theme_default_write_all(dir.c_str()), 0);
        EXPECT_EQ(theme_load_directory(env.theme, dir.c_str(), env.folder.c_str()), 0);
    }
    GdkPixbuf *sheet(int index) const { return env.bitmap(index); }
};

std::string solid_sheet(int index, Rgb c) {
    return bmp24(THEME_BITMAPS[index].width, THEME_BITMAPS[index].height, [&](int, int) { return c; });
}

// An extended digits sheet, 108 x 13: twelve cells (0-9, blank, minus), each its own colour;
// a second row below in another colour, as some themes have it.
Rgb nums_ex_colour(int cell) { return Rgb{static_cast<uint8_t>(20 * cell + 5), 77, 99}; }
std::string nums_ex_sheet() {
    return bmp24(108, 26, [](int x, int y) { return y < 13 ? nums_ex_colour(x / 9) : Rgb{1, 2, 3}; });
}

void expect_nums_ex_digits(const ThemeEnv &env) {
    for (int cell = 0; cell < 11; ++cell)
        for (int y = 0; y < 13; y += 4)
            ASSERT_EQ(pixel_at(env.bitmap(BITMAP_NUMBERS), 9 * cell + 4, y), opaque(nums_ex_colour(cell)))
                << "cell " << cell;
    for (int d = 0; d <= 10; ++d) EXPECT_EQ(env.theme->present[ELEM_DIGIT + d], 1);
}

// Gives the named entry a compression method no reader knows, in its local and central headers.
bool set_unknown_method(std::string &zip, const std::string &name) {
    int patched = 0;
    for (size_t at = 0; at + 46 < zip.size(); ++at) {
        const bool local = zip.compare(at, 4, "PK\x03\x04") == 0;
        const bool central = zip.compare(at, 4, "PK\x01\x02") == 0;
        if (!local && !central) continue;
        const size_t name_at = at + (local ? 30 : 46);
        const size_t len_at = at + (local ? 26 : 28);
        const size_t len = static_cast<uint8_t>(zip[len_at]) | (static_cast<uint8_t>(zip[len_at + 1]) << 8);
        if (len != name.size() || zip.compare(name_at, len, name) != 0) continue;
        const size_t method_at = at + (local ? 8 : 10);
        zip[method_at] = 95;
        zip[method_at + 1] = 0;
        ++patched;
    }
    return patched == 2;
}

}  // namespace

TEST(ForeignTheme, MissingSheetComesFromTheDefaultThemeNotThePreviousOne) {
    ThemeEnv env;
    DefaultSheets defaults;
    const std::string a = env.tmp / "a", b = env.tmp / "b";
    write_template(a);
    write_template(b);
    ASSERT_TRUE(write_file(a + "/BALANCE.BMP", solid_sheet(BITMAP_BALANCE, Rgb{255, 0, 0})));
    ASSERT_EQ(remove((b + "/BALANCE.BMP").c_str()), 0);
    ASSERT_EQ(remove((b + "/AVS.BMP").c_str()), 0);

    ASSERT_EQ(theme_load_directory(env.theme, a.c_str(), env.folder.c_str()), 0);
    EXPECT_EQ(pixel_at(env.bitmap(BITMAP_BALANCE), 10, 10), (Rgba{255, 0, 0, 255}));
    ASSERT_EQ(theme_load_directory(env.theme, b.c_str(), env.folder.c_str()), 0);
    EXPECT_TRUE(same_pixels(env.bitmap(BITMAP_BALANCE), defaults.sheet(BITMAP_BALANCE)));
    // A sheet the default theme lacks is gone with the theme that brought it.
    EXPECT_FALSE(path_exists(env.in_folder("AVS.BMP")));
    EXPECT_EQ(env.theme->present[ELEM_AVS_FRAME], 0);
    EXPECT_TRUE(read_file(env.in_folder("MAIN.BMP")) == read_file(b + "/MAIN.BMP"));

    // The same through an archive.
    ASSERT_EQ(theme_load_directory(env.theme, a.c_str(), env.folder.c_str()), 0);
    const std::string wsz = env.tmp / "b.wsz";
    Entries entries;
    for (const std::string &name : list_dir(b)) entries.emplace_back("b/" + name, read_file(b + "/" + name));
    ASSERT_TRUE(make_zip(wsz, entries));
    ASSERT_EQ(theme_load_wsz(env.theme, wsz.c_str(), env.folder.c_str()), 0);
    ASSERT_EQ(theme_load_directory(env.theme, env.folder.c_str(), env.folder.c_str()), 0);
    EXPECT_TRUE(same_pixels(env.bitmap(BITMAP_BALANCE), defaults.sheet(BITMAP_BALANCE)));
    EXPECT_FALSE(path_exists(env.in_folder("AVS.BMP")));
    // Nothing is left beside the theme folder, not even what a killed load left there.
    EXPECT_EQ(list_dir(env.data), (std::vector<std::string>{"theme"}));
    for (const char *name : {"/theme.new-Ab12Cd", "/theme.old-x9Y8z7", "/theme.backup"}) {
        ASSERT_EQ(mkdir((env.data + name).c_str(), 0700), 0);
        ASSERT_TRUE(write_file(env.data + name + "/MAIN.BMP", "half"));
    }
    ASSERT_EQ(theme_load_directory(env.theme, b.c_str(), env.folder.c_str()), 0);
    EXPECT_EQ(list_dir(env.data), (std::vector<std::string>{"theme", "theme.backup"}));
}

TEST(ForeignTheme, FailedArchiveLeavesTheOldThemeWhole) {
    ThemeEnv env;
    const std::string a = env.tmp / "a";
    write_template(a);
    ASSERT_TRUE(write_file(a + "/BALANCE.BMP", solid_sheet(BITMAP_BALANCE, Rgb{255, 0, 0})));
    ASSERT_EQ(theme_load_directory(env.theme, a.c_str(), env.folder.c_str()), 0);
    const auto before = snapshot(env.folder);

    // A stored entry that comes out, then one whose method cannot be read.
    const std::string wsz = env.tmp / "broken.wsz";
    ASSERT_TRUE(make_zip(wsz, {{"BALANCE.BMP", solid_sheet(BITMAP_BALANCE, Rgb{0, 0, 255})},
                                      {"MAIN.BMP", solid_sheet(BITMAP_MAIN, Rgb{0, 255, 0})}},
                         true));
    std::string bytes = read_file(wsz);
    ASSERT_TRUE(set_unknown_method(bytes, "MAIN.BMP"));
    ASSERT_TRUE(write_file(wsz, bytes));
    testing::internal::CaptureStderr();
    EXPECT_EQ(theme_load_wsz(env.theme, wsz.c_str(), env.folder.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "error reading WSZ file\n");
    EXPECT_TRUE(snapshot(env.folder) == before);
    EXPECT_EQ(list_dir(env.data), (std::vector<std::string>{"theme"}));
    ASSERT_EQ(theme_load_directory(env.theme, env.folder.c_str(), env.folder.c_str()), 0);
    EXPECT_EQ(pixel_at(env.bitmap(BITMAP_BALANCE), 10, 10), (Rgba{255, 0, 0, 255}));

    // Over the size cap after an entry was written: the same.
    const std::string big = env.tmp / "big.wsz";
    ASSERT_TRUE(make_zip(big, {{"BALANCE.BMP", solid_sheet(BITMAP_BALANCE, Rgb{0, 0, 255})},
                                      {"MAIN.BMP", std::string(THEME_MAX_ENTRY_SIZE + 1, 'x')}}));
    testing::internal::CaptureStderr();
    EXPECT_EQ(theme_load_wsz(env.theme, big.c_str(), env.folder.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "error reading WSZ file\n");
    EXPECT_TRUE(snapshot(env.folder) == before);
}

TEST(ForeignTheme, UndecodableSheetFallsBackToTheDefaultOne) {
    ThemeEnv env;
    DefaultSheets defaults;
    const std::string src = env.tmp / "src";
    write_template(src);
    ASSERT_TRUE(write_file(src + "/MAIN.BMP", ""));
    const std::string titlebar = read_file(src + "/TITLEBAR.BMP");
    ASSERT_TRUE(write_file(src + "/TITLEBAR.BMP", titlebar.substr(0, 40)));  // truncated header
    std::string cbuttons = read_file(src + "/CBUTTONS.BMP");
    cbuttons[28] = 7;  // 7 bits per pixel: no such BMP
    ASSERT_TRUE(write_file(src + "/CBUTTONS.BMP", cbuttons));

    ASSERT_EQ(theme_load_directory(env.theme, src.c_str(), env.folder.c_str()), 0);
    for (int index : {BITMAP_MAIN, BITMAP_TITLEBAR, BITMAP_CBUTTONS})
        EXPECT_TRUE(same_pixels(env.bitmap(index), defaults.sheet(index))) << THEME_BITMAPS[index].name;
    EXPECT_EQ(env.theme->present[ELEM_MAIN_BODY], 1);
    // The others are the template's.
    ThemeEnv plain;
    ASSERT_EQ(theme_load_directory(plain.theme, src.c_str(), plain.folder.c_str()), 0);
    EXPECT_TRUE(same_pixels(env.bitmap(BITMAP_VOLUME), plain.bitmap(BITMAP_VOLUME)));
    EXPECT_FALSE(same_pixels(env.bitmap(BITMAP_VOLUME), defaults.sheet(BITMAP_VOLUME)));
}

TEST(ForeignTheme, ExtendedDigitsSheetStandsInForAMissingNumbersSheet) {
    ThemeEnv env;
    const std::string src = env.tmp / "src";
    write_template(src);
    ASSERT_EQ(remove((src + "/NUMBERS.BMP").c_str()), 0);
    ASSERT_TRUE(write_file(src + "/nums_ex.bmp", nums_ex_sheet()));
    ASSERT_EQ(theme_load_directory(env.theme, src.c_str(), env.folder.c_str()), 0);
    expect_nums_ex_digits(env);

    // From an archive too.
    ThemeEnv zipped;
    const std::string wsz = zipped.tmp / "t.wsz";
    Entries entries;
    for (const std::string &name : list_dir(src))
        entries.emplace_back("skin/" + name, read_file(src + "/" + name));
    ASSERT_TRUE(make_zip(wsz, entries));
    ASSERT_EQ(theme_load_wsz(zipped.theme, wsz.c_str(), zipped.folder.c_str()), 0);
    ASSERT_EQ(theme_load_directory(zipped.theme, zipped.folder.c_str(), zipped.folder.c_str()), 0);
    expect_nums_ex_digits(zipped);

    // Beside a NUMBERS.BMP, the extended sheet is not used.
    ASSERT_TRUE(write_file(src + "/NUMBERS.BMP", solid_sheet(BITMAP_NUMBERS, Rgb{9, 9, 9})));
    ASSERT_EQ(theme_load_directory(env.theme, src.c_str(), env.folder.c_str()), 0);
    EXPECT_EQ(pixel_at(env.bitmap(BITMAP_NUMBERS), 4, 4), (Rgba{9, 9, 9, 255}));
    entries.emplace_back("skin/NUMBERS.BMP", solid_sheet(BITMAP_NUMBERS, Rgb{9, 9, 9}));
    ASSERT_TRUE(make_zip(wsz, entries));
    ASSERT_EQ(theme_load_wsz(zipped.theme, wsz.c_str(), zipped.folder.c_str()), 0);
    ASSERT_EQ(theme_load_directory(zipped.theme, zipped.folder.c_str(), zipped.folder.c_str()), 0);
    EXPECT_EQ(pixel_at(zipped.bitmap(BITMAP_NUMBERS), 4, 4), (Rgba{9, 9, 9, 255}));
}

TEST(ForeignTheme, TextFilesWrittenByHand) {
    ThemeEnv env;
    const std::string src = env.tmp / "src";
    write_template(src);
    ASSERT_TRUE(write_file(src + "/PLEDIT.TXT",
                           "\xEF\xBB\xBF[Text]\r\n"
                           "Normal = #00FF00\r\n"
                           " Current\t=\t0x102030 ; current line\r\n"
                           "NormalBG=405060  // background\r\n"
                           "SelectedBG =\r\n"
                           "Font = Caf\xE9 Sans \r\n"));
    // The visualizer file of the template, without its last line end.
    std::string vis = read_file(src + "/VISCOLOR.TXT");
    ASSERT_EQ(vis.substr(vis.size() - 2), "\r\n");
    vis.resize(vis.size() - 2);
    vis = vis.substr(0, vis.rfind('\n') + 1) + "1,2,3";
    ASSERT_TRUE(write_file(src + "/VISCOLOR.TXT", vis));

    ASSERT_EQ(theme_load_directory(env.theme, src.c_str(), env.folder.c_str()), 0);
    using C = std::array<int, 3>;
    auto colour = [&](int i) {
        return C{env.theme->plcolors[i][0], env.theme->plcolors[i][1], env.theme->plcolors[i][2]};
    };
    EXPECT_EQ(colour(THEME_PLCOLOR_NORMAL), (C{0, 255, 0}));
    EXPECT_EQ(colour(THEME_PLCOLOR_CURRENT), (C{0x10, 0x20, 0x30}));
    EXPECT_EQ(colour(THEME_PLCOLOR_NORMALBG), (C{0x40, 0x50, 0x60}));
    EXPECT_EQ(colour(THEME_PLCOLOR_SELECTEDBG), (C{0, 64, 255}));  // no value: the default stays
    EXPECT_STREQ(env.theme->font, "Caf\xC3\xA9 Sans");
    EXPECT_EQ(env.theme->viscolors[23][0], 1);
    EXPECT_EQ(env.theme->viscolors[23][1], 2);
    EXPECT_EQ(env.theme->viscolors[23][2], 3);
    EXPECT_EQ(env.theme->viscolors[22][0], 0xCD);  // the template's own colour 22
}
