// Loading theme directories into the theme folder and the theme record.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "theme/default_theme.h"
#include "theme_test_util.h"

namespace {

struct stat stat_of(const std::string &path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st;
}

void expect_sheet_pattern(const ThemeEnv &env, int index, int variant, int w, int h) {
    for (int y = 0; y < h; y += 7)
        for (int x = 0; x < w; x += 5)
            ASSERT_EQ(pixel_at(env.bitmap(index), x, y), opaque(sheet_colour(index, x, y, variant)))
                << THEME_BITMAPS[index].name << " at " << x << "," << y;
}

}  // namespace

TEST(ThemeLoad, FullThemeInAnyCaseLoadsWithUpperCaseCopies) {
    ThemeEnv env;
    const std::string src = env.tmp / "src";
    write_full_theme(src, 3);
    // Lower-case and mixed-case names, as real themes have them.
    ASSERT_EQ(rename((src + "/MAIN.BMP").c_str(), (src + "/main.bmp").c_str()), 0);
    ASSERT_EQ(rename((src + "/TEXT.BMP").c_str(), (src + "/Text.Bmp").c_str()), 0);
    ASSERT_EQ(rename((src + "/PLEDIT.TXT").c_str(), (src + "/pledit.txt").c_str()), 0);
    ASSERT_TRUE(write_file(src + "/readme.txt", "not a theme file"));

    EXPECT_EQ(theme_load_directory(env.theme, src.c_str(), env.folder.c_str()), 0);

    std::vector<std::string> expected;
    for (const tThemeBitmap &b : THEME_BITMAPS) expected.push_back(b.name);
    expected.push_back("PLEDIT.TXT");
    expected.push_back("VISCOLOR.TXT");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(list_dir(env.folder), expected);
    EXPECT_TRUE(read_file(env.in_folder("MAIN.BMP")) == read_file(src + "/main.bmp"));

    EXPECT_EQ(env.present_count(), THEME_ELEMENT_COUNT);
    for (int i = 0; i < THEME_BITMAP_COUNT; ++i)
        expect_sheet_pattern(env, i, 3, THEME_BITMAPS[i].width, THEME_BITMAPS[i].height);
    EXPECT_STREQ(env.theme->font, "Test Sans 3");
    EXPECT_EQ(env.theme->plcolors[THEME_PLCOLOR_NORMAL][2], 0x13);
    EXPECT_EQ(env.theme->viscolors[23][0], 26);
    EXPECT_EQ(env.theme->viscolors[23][2], 69);
}

TEST(ThemeLoad, ImageFormatsOfRealThemes) {
    ThemeEnv env;
    const std::string src = env.tmp / "src";
    write_full_theme(src);
    // Few colours, so that the palettised forms are lossless: 40 grey levels.
    auto grey = [](int x, int y) {
        const uint8_t v = static_cast<uint8_t>(((x / 7 + y / 3) % 40) * 6);
        return Rgb{v, v, static_cast<uint8_t>(255 - v)};
    };
    const std::string plain = env.tmp / "plain.bmp";
    ASSERT_TRUE(write_file(plain, bmp24(275, 116, grey)));
    // 8-bit palettised, RLE8 and 32-bit with alpha, each as the MAIN.BMP of a theme.
    struct Case {
        const char *name;
        std::vector<std::string> options;
        uint32_t bits, compression;
    };
    const std::vector<Case> cases = {
        {"palettised", {"-type", "Palette", "-colors", "256", "-compress", "None", "BMP3:"}, 8, 0},
        {"rle8", {"-type", "Palette", "-colors", "256", "-compress", "RLE", "BMP3:"}, 8, 1},
        {"rgba32", {"-alpha", "set", "-channel", "A", "-evaluate", "set", "50%", "+channel", "BMP:"}, 32, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = src + "/MAIN.BMP";
        std::vector<std::string> argv = {"convert", plain};
        argv.insert(argv.end(), c.options.begin(), c.options.end() - 1);
        argv.push_back(c.options.back() + out);
        ASSERT_EQ(run_tool(argv), 0);
        const std::string bytes = read_file(out);
        ASSERT_EQ(bmp_field(bytes, 28, 2), c.bits);
        ASSERT_EQ(bmp_field(bytes, 30, 4), c.compression);

        EXPECT_EQ(theme_load_directory(env.theme, src.c_str(), env.folder.c_str()), 0);
        EXPECT_EQ(env.theme->present[ELEM_MAIN_BODY], 1);
        const uint8_t alpha = c.bits == 32 ? 128 : 255;
        for (int y = 0; y < 116; y += 3)
            for (int x = 0; x < 275; x += 4) {
                const Rgb g = grey(x, y);
                const Rgba got = pixel_at(env.bitmap(BITMAP_MAIN), x, y);
                ASSERT_EQ((Rgba{got[0], got[1], got[2]}), (Rgba{g.r, g.g, g.b})) << x << "," << y;
                ASSERT_NEAR(got[3], alpha, 1) << x << "," << y;
            }
    }
}

TEST(ThemeLoad, SheetsSmallerOrLargerThanExpected) {
    ThemeEnv env;
    const std::string src = env.tmp / "src";
    write_full_theme(src);
    // TEXT.BMP only 100 pixels wide: glyph cells past x = 100 are absent.
    ASSERT_TRUE(write_sheet(src + "/TEXT.BMP", BITMAP_TEXT, 0, 100, 74));
    // MAIN.BMP larger than expected: only the expected area is used.
    ASSERT_TRUE(write_file(src + "/MAIN.BMP", bmp24(300, 130, [](int x, int y) {
                               return sheet_colour(BITMAP_MAIN, x, y, 9);
                           })));
    EXPECT_EQ(theme_load_directory(env.theme, src.c_str(), env.folder.c_str()), 0);

    EXPECT_EQ(env.theme->present[306], 1);  // T: 95..99
    EXPECT_EQ(env.theme->present[307], 0);  // U: 100..104
    EXPECT_EQ(env.theme->present[ELEM_GLYPH_BLANK_316], 0);
    EXPECT_EQ(env.theme->present[ELEM_GLYPH_BLANK_353], 0);
    EXPECT_EQ(env.theme->present[348], 1);
    expect_sheet_pattern(env, BITMAP_TEXT, 0, 100, 74);
    EXPECT_EQ(pixel_at(env.bitmap(BITMAP_TEXT), 100, 0), (Rgba{0, 0, 0, 0}));
    EXPECT_EQ(pixel_at(env.bitmap(BITMAP_TEXT), 154, 73), (Rgba{0, 0, 0, 0}));

    EXPECT_EQ(gdk_pixbuf_get_width(env.bitmap(BITMAP_MAIN)), 275);
    EXPECT_EQ(gdk_pixbuf_get_height(env.bitmap(BITMAP_MAIN)), 116);
    expect_sheet_pattern(env, BITMAP_MAIN, 9, 275, 116);
    for (int id = ELEM_MAIN_BODY; id <= ELEM_MAIN_CORNER; ++id) EXPECT_EQ(env.theme->present[id], 1);
}

TEST(ThemeLoad, HostileOrBrokenSheetsCountAsNotLoaded) {
    ThemeEnv env;
    const std::string src = env.tmp / "src";
    write_full_theme(src);
    // A header declaring 60000 x 60000 pixels (over 10 GB decoded) in a file of a few bytes.
    std::string huge = bmp24(2, 2, [](int, int) { return Rgb{1, 2, 3}; });
    for (int i = 0; i < 4; ++i) huge[18 + i] = huge[22 + i] = 0;
    huge[18] = static_cast<char>(60000 & 255);
    huge[19] = static_cast<char>(60000 >> 8);
    huge[22] = static_cast<char>(60000 & 255);
    huge[23] = static_cast<char>(60000 >> 8);
    ASSERT_TRUE(write_file(src + "/EQMAIN.BMP", huge));
    // Over the bound on one side only, and a real, decodable image.
    ASSERT_TRUE(write_file(src + "/POSBAR.BMP", bmp24(5000, 10, [](int, int) { return Rgb{}; })));
    ASSERT_TRUE(write_file(src + "/SHUFREP.BMP", "BM this is not an image"));

    // Refused unread, they give way to the default theme's sheets.
    EXPECT_EQ(theme_load_directory(env.theme, src.c_str(), env.folder.c_str()), 0);
    const std::string d = env.tmp / "default";
    mkdir(d.c_str(), 0755);
    ASSERT_EQ(theme_default_write_all(d.c_str()), 0);
    for (int b : {BITMAP_EQMAIN, BITMAP_POSBAR, BITMAP_SHUFREP}) {
        SCOPED_TRACE(THEME_BITMAPS[b].name);
        EXPECT_TRUE(read_file(env.in_folder(THEME_BITMAPS[b].name)) == read_file(d + "/" + THEME_BITMAPS[b].name));
        EXPECT_NE(pixel_at(env.bitmap(b), 0, 0), (Rgba{0, 0, 0, 0}));
    }
    EXPECT_EQ(env.present_count(), THEME_ELEMENT_COUNT);
}

TEST(ThemeLoad, FewerThanEightSheetsFailsButKeepsWhatLoaded) {
    ThemeEnv env;
    const std::string src = env.folder;
    write_full_theme(src);
    // Nine sheets that are folders in the theme folder: neither they nor the default sheets
    // that would replace them can be read.
    for (int i = 7; i < THEME_BITMAP_COUNT; ++i) {
        const std::string sheet = src + "/" + THEME_BITMAPS[i].name;
        ASSERT_EQ(remove(sheet.c_str()), 0);
        ASSERT_EQ(mkdir(sheet.c_str(), 0700), 0);
    }
    EXPECT_EQ(theme_load_directory(env.theme, src.c_str(), env.folder.c_str()), -1);
    for (int i = 0; i < 7; ++i)
        expect_sheet_pattern(env, i, 0, THEME_BITMAPS[i].width, THEME_BITMAPS[i].height);
    EXPECT_EQ(env.theme->present[ELEM_CBUTTON], 1);
    EXPECT_EQ(env.theme->present[ELEM_DIGIT], 0);
    EXPECT_STREQ(env.theme->font, "Test Sans 0");

    // One more loadable sheet reaches the threshold.
    ASSERT_EQ(rmdir((src + "/NUMBERS.BMP").c_str()), 0);
    ASSERT_TRUE(write_sheet(src + "/NUMBERS.BMP", BITMAP_NUMBERS));
    EXPECT_EQ(theme_load_directory(env.theme, src.c_str(), env.folder.c_str()), 0);
}

TEST(ThemeLoad, MissingFileComesFromTheDefaultThemeNotThePreviousOne) {
    ThemeEnv env;
    const std::string a = env.tmp / "a", b = env.tmp / "b", d = env.tmp / "default";
    write_full_theme(a, 1);
    write_full_theme(b, 2);
    ASSERT_EQ(remove((b + "/NUMBERS.BMP").c_str()), 0);
    ASSERT_EQ(theme_load_directory(env.theme, a.c_str(), env.folder.c_str()), 0);
    ASSERT_EQ(theme_load_directory(env.theme, b.c_str(), env.folder.c_str()), 0);
    mkdir(d.c_str(), 0755);
    ASSERT_EQ(theme_default_write_all(d.c_str()), 0);
    EXPECT_EQ(read_file(env.in_folder("NUMBERS.BMP")), read_file(d + "/NUMBERS.BMP"));
    expect_sheet_pattern(env, BITMAP_MAIN, 2, 275, 116);
    EXPECT_EQ(env.present_count(), THEME_ELEMENT_COUNT);
}

TEST(ThemeLoad, LoadingTheFolderItselfChangesNoFile) {
    ThemeEnv env;
    const std::string src = env.tmp / "src";
    write_full_theme(src, 4);
    ASSERT_EQ(theme_load_directory(env.theme, src.c_str(), env.folder.c_str()), 0);
    std::vector<std::pair<std::string, struct stat>> before;
    for (const std::string &name : list_dir(env.folder))
        before.emplace_back(read_file(env.in_folder(name)), stat_of(env.in_folder(name)));
    const std::vector<std::string> names = list_dir(env.folder);

    // With and without the trailing slash, as start-up and the menu give it.
    for (const std::string &dir : {env.folder + "/", env.folder}) {
        EXPECT_EQ(theme_load_directory(env.theme, dir.c_str(), env.folder.c_str()), 0);
        ASSERT_EQ(list_dir(env.folder), names);
        for (size_t i = 0; i < names.size(); ++i) {
            const struct stat st = stat_of(env.in_folder(names[i]));
            EXPECT_EQ(read_file(env.in_folder(names[i])), before[i].first) << names[i];
            EXPECT_EQ(st.st_ino, before[i].second.st_ino) << names[i];
            EXPECT_EQ(st.st_mtim.tv_sec, before[i].second.st_mtim.tv_sec) << names[i];
            EXPECT_EQ(st.st_mtim.tv_nsec, before[i].second.st_mtim.tv_nsec) << names[i];
        }
        expect_sheet_pattern(env, BITMAP_TITLEBAR, 4, 344, 87);
    }
}

TEST(ThemeLoad, EveryLoadResetsColoursAndFontFirst) {
    ThemeEnv env;
    const std::string a = env.tmp / "a", b = env.tmp / "b";
    write_full_theme(a);
    write_full_theme(b);
    ASSERT_TRUE(write_file(b + "/PLEDIT.TXT", "[Text]\r\nCurrent=#102030\r\n"));
    ASSERT_TRUE(write_file(b + "/VISCOLOR.TXT", "1,2,3,\r\n"));
    ASSERT_EQ(theme_load_directory(env.theme, a.c_str(), env.folder.c_str()), 0);
    ASSERT_EQ(theme_load_directory(env.theme, b.c_str(), env.folder.c_str()), 0);
    const uint8_t plcolors[4][3] = {{255, 64, 0}, {0x10, 0x20, 0x30}, {0, 0, 0}, {0, 64, 255}};
    EXPECT_EQ(memcmp(env.theme->plcolors, plcolors, sizeof plcolors), 0);
    EXPECT_STREQ(env.theme->font, "Arial");
    EXPECT_EQ(env.theme->viscolors[0][2], 3);
    for (int i = 1; i < 24; ++i) {
        const int v = 255 * i / 24;
        EXPECT_EQ(env.theme->viscolors[i][0], 255 - v);
        EXPECT_EQ(env.theme->viscolors[i][1], v);
        EXPECT_EQ(env.theme->viscolors[i][2], 0);
    }
    EXPECT_EQ(env.theme->viscolors[23][0], 11);
    EXPECT_EQ(env.theme->viscolors[23][1], 244);
    // The getters hand out the record's own arrays; the font follows the colours.
    EXPECT_EQ(theme_get_viscolors(env.theme), env.theme->viscolors);
    EXPECT_EQ(reinterpret_cast<char *>(theme_get_plcolors(env.theme) + 4), env.theme->font);
}

// Needs the embedded default theme.
TEST(ThemeLoad, EmptyDirectoryGetsTheDefaultTheme) {
    ThemeEnv env;
    const std::string src = env.tmp / "empty";
    mkdir(src.c_str(), 0755);
    EXPECT_EQ(theme_load_directory(env.theme, src.c_str(), env.folder.c_str()), 0);
    EXPECT_TRUE(path_exists(env.in_folder("MAIN.BMP")));
    EXPECT_TRUE(path_exists(env.in_folder("PLEDIT.TXT")));
    EXPECT_TRUE(path_exists(env.in_folder("VISCOLOR.TXT")));
    EXPECT_FALSE(path_exists(env.in_folder("AVS.BMP")));
    EXPECT_FALSE(path_exists(env.in_folder("MB.BMP")));
    for (const tThemeElement &e : THEME_ELEMENTS) {
        const bool expected = e.bitmap != BITMAP_AVS && e.bitmap != BITMAP_MB;
        ASSERT_EQ(env.theme->present[e.id], expected ? 1 : 0) << e.id;
    }
    const uint8_t plcolors[4][3] = {{0x70, 0x77, 0x7a}, {0xe0, 0xe7, 0xea}, {0x20, 0x27, 0x2a},
                                    {0x50, 0x57, 0x5a}};
    EXPECT_EQ(memcmp(env.theme->plcolors, plcolors, sizeof plcolors), 0);
    EXPECT_STREQ(env.theme->font, "Arial");
    EXPECT_EQ(env.theme->viscolors[18][0], 224);
    EXPECT_EQ(env.theme->viscolors[23][2], 234);
}

TEST(ThemeCopy, SkipsUnreadableSourcesAndReportsUnwritableTargets) {
    TempDir tmp;
    const std::string src = tmp / "src", dst = tmp / "dst";
    write_full_theme(src, 5);
    write_full_theme(dst, 6);
    // A "file" that cannot be read as one: skipped, and the target's copy is left alone.
    ASSERT_EQ(remove((src + "/MAIN.BMP").c_str()), 0);
    ASSERT_EQ(mkdir((src + "/main.bmp").c_str(), 0755), 0);
    EXPECT_EQ(theme_copy_files(src.c_str(), dst.c_str()), 0);
    const std::string old_main = read_file(dst + "/MAIN.BMP");
    ASSERT_FALSE(old_main.empty());
    EXPECT_EQ(old_main, bmp24(275, 116, [](int x, int y) { return sheet_colour(BITMAP_MAIN, x, y, 6); }));
    EXPECT_EQ(read_file(dst + "/VOLUME.BMP"), read_file(src + "/VOLUME.BMP"));
    EXPECT_EQ(read_file(dst + "/VISCOLOR.TXT"), read_file(src + "/VISCOLOR.TXT"));

    // A FIFO would block and a device never ends: neither is copied, nor read as a text file.
    const std::string vis_before = read_file(dst + "/VISCOLOR.TXT");
    ASSERT_EQ(remove((src + "/VISCOLOR.TXT").c_str()), 0);
    ASSERT_EQ(mkfifo((src + "/VISCOLOR.TXT").c_str(), 0644), 0);
    ASSERT_EQ(remove((src + "/TEXT.BMP").c_str()), 0);
    ASSERT_EQ(symlink("/dev/zero", (src + "/TEXT.BMP").c_str()), 0);
    EXPECT_EQ(theme_copy_files(src.c_str(), dst.c_str()), 0);
    EXPECT_EQ(read_file(dst + "/VISCOLOR.TXT"), vis_before);
    EXPECT_TRUE(read_file(dst + "/TEXT.BMP") ==
                bmp24(155, 74, [](int x, int y) { return sheet_colour(BITMAP_TEXT, x, y, 5); }));
    uint8_t colours[24][3];
    EXPECT_EQ(theme_read_viscolor(colours, (src + "/VISCOLOR.TXT").c_str()), -1);

    // A target that cannot be written: the first name found is reported.
    const std::string blocked = tmp / "file";
    ASSERT_TRUE(write_file(blocked, "x"));
    testing::internal::CaptureStderr();
    EXPECT_EQ(theme_copy_files(src.c_str(), (blocked + "/sub").c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "unable to open file [" + blocked + "/sub/AVS.BMP]\n");
}

TEST(ThemeFindFile, MatchesWholeNameIgnoringAsciiCase) {
    TempDir tmp;
    ASSERT_TRUE(write_file(tmp / "Main.Bmp", "a"));
    ASSERT_TRUE(write_file(tmp / "TITLEBAR.BMP.bak", "b"));
    ASSERT_TRUE(write_file(tmp / "\xc3\xa9q.bmp", "c"));

    char name[1024] = "MAIN.BMP";
    EXPECT_EQ(theme_find_file(tmp.path().c_str(), name), 1);
    EXPECT_EQ(std::string(name), tmp / "Main.Bmp");

    snprintf(name, sizeof name, "TITLEBAR.BMP");
    EXPECT_EQ(theme_find_file(tmp.path().c_str(), name), 0);
    EXPECT_STREQ(name, "TITLEBAR.BMP");
    // Bytes from 0x80 up are compared as they are.
    snprintf(name, sizeof name, "\xc3\xa9Q.BMP");
    EXPECT_EQ(theme_find_file(tmp.path().c_str(), name), 1);
    snprintf(name, sizeof name, "\xc3\x89Q.BMP");
    EXPECT_EQ(theme_find_file(tmp.path().c_str(), name), 0);
    snprintf(name, sizeof name, "MAIN.BMP");
    EXPECT_EQ(theme_find_file((tmp / "missing").c_str(), name), 0);
}

// A load that cannot put the new theme into the folder says why and changes nothing: not the
// folder, not the record, and nothing is left beside the folder.
TEST(ThemeLoad, FailedLoadsSayWhyAndKeepTheOldTheme) {
    ThemeEnv env;
    const std::string a = env.tmp / "a", b = env.tmp / "b";
    write_full_theme(a, 1);
    write_full_theme(b, 2);
    ASSERT_EQ(theme_load_directory(env.theme, a.c_str(), env.folder.c_str()), 0);
    const auto before = snapshot(env.folder);
    auto unchanged = [&](const char *what) {
        EXPECT_TRUE(snapshot(env.folder) == before) << what;
        EXPECT_EQ(list_dir(env.data), std::vector<std::string>{"theme"}) << what;
        expect_sheet_pattern(env, BITMAP_MAIN, 1, 275, 116);
        EXPECT_STREQ(env.theme->font, "Test Sans 1") << what;
    };

    testing::internal::CaptureStderr();
    EXPECT_EQ(theme_load_directory(env.theme, (env.tmp / "missing").c_str(), env.folder.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "unable to open directory [" + (env.tmp / "missing") + "]\n");
    unchanged("missing source");

    // A full disk: writes past 64 KB fail, in a child so that the limit stays there.
    testing::internal::CaptureStderr();
    fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool failed = theme_load_directory(env.theme, b.c_str(), env.folder.c_str()) == -1;
        const bool kept = strcmp(env.theme->font, "Test Sans 1") == 0 &&
                          pixel_at(env.bitmap(BITMAP_MAIN), 3, 4) == opaque(sheet_colour(BITMAP_MAIN, 3, 4, 1));
        fflush(nullptr);
        _exit(failed && kept ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the load must fail and keep the old record";
    EXPECT_EQ(said.rfind("unable to open file [" + env.folder + ".new-", 0), 0u) << said;
    unchanged("full disk");

    // The folder is a file: neither a directory nor the default theme can replace it.
    ASSERT_TRUE(remove_tree(env.folder));
    ASSERT_TRUE(write_file(env.folder, "not a folder"));
    for (const bool reset : {false, true}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(reset ? theme_load_default(env.theme, env.folder.c_str())
                        : theme_load_directory(env.theme, b.c_str(), env.folder.c_str()),
                  -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "unable to replace [" + env.folder + "]: not a folder\n");
        EXPECT_EQ(read_file(env.folder), "not a folder");
        expect_sheet_pattern(env, BITMAP_MAIN, 1, 275, 116);
    }
}

// A theme folder that is a link (the user keeps the theme elsewhere): the theme replaces the
// folder it points to, and the link stays.
TEST(ThemeLoad, ThemeFolderThatIsALinkIsReplacedWhereItPoints) {
    ThemeEnv env;
    const std::string a = env.tmp / "a", elsewhere = env.tmp / "kept";
    write_full_theme(a, 3);
    ASSERT_TRUE(remove_tree(env.folder));
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(symlink(elsewhere.c_str(), env.folder.c_str()), 0);
    for (const std::string &folder : {env.folder, env.folder + "/"}) {
        ASSERT_EQ(theme_load_directory(env.theme, a.c_str(), folder.c_str()), 0) << folder;
        struct stat st;
        ASSERT_EQ(lstat(env.folder.c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
        EXPECT_TRUE(read_file(elsewhere + "/MAIN.BMP") == read_file(a + "/MAIN.BMP"));
        expect_sheet_pattern(env, BITMAP_MAIN, 3, 275, 116);
        EXPECT_EQ(list_dir(env.data), std::vector<std::string>{"theme"});
        EXPECT_EQ(list_dir(env.tmp.path()), (std::vector<std::string>{"a", "data", "kept"}));
    }
    // The reset too.
    ASSERT_EQ(theme_load_default(env.theme, env.folder.c_str()), 0);
    EXPECT_FALSE(path_exists(elsewhere + "/AVS.BMP"));
    EXPECT_EQ(read_file(elsewhere + "/PLEDIT.TXT").substr(0, 8), "[Text]\r\n");
    EXPECT_STREQ(env.theme->font, "Arial");
}
