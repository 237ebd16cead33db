// The template theme for designers, and reading it back.
#include "theme/template.h"

#include <sys/stat.h>

#include "theme_test_util.h"

namespace {

const char *const EXPECTED_PROGRESS =
    "     AVS.BMP>   9 elements\n"
    " BALANCE.BMP>  30 elements\n"
    "CBUTTONS.BMP>  12 elements\n"
    "   EQ_EX.BMP>  16 elements\n"
    "  EQMAIN.BMP>  67 elements\n"
    "    MAIN.BMP>   6 elements\n"
    "      MB.BMP>  28 elements\n"
    "MONOSTER.BMP>   4 elements\n"
    " NUMBERS.BMP>  11 elements\n"
    "PLAYPAUS.BMP>   6 elements\n"
    "  PLEDIT.BMP>  79 elements\n"
    "  POSBAR.BMP>   3 elements\n"
    " SHUFREP.BMP>  16 elements\n"
    "    TEXT.BMP>  67 elements\n"
    "TITLEBAR.BMP>  25 elements\n"
    "  VOLUME.BMP>  30 elements\n";

std::vector<std::string> template_names() {
    std::vector<std::string> names;
    for (const tThemeBitmap &b : THEME_BITMAPS) names.push_back(b.name);
    names.push_back("PLEDIT.TXT");
    names.push_back("VISCOLOR.TXT");
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(ThemeTemplate, WritesEighteenFilesWithProgressLines) {
    TempDir tmp;
    // A long path: the file names must not be cut.
    const std::string dir = tmp / std::string(90, 'd');
    testing::internal::CaptureStdout();
    EXPECT_EQ(theme_write_template(dir.c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), EXPECTED_PROGRESS);
    EXPECT_EQ(file_mode(dir), 0755);
    EXPECT_EQ(list_dir(dir), template_names());

    EXPECT_EQ(read_file(dir + "/PLEDIT.TXT"),
              "[Text]\r\nNormal=#696969\r\nCurrent=#A9A9A9\r\nNormalBG=#DCDCDC\r\n"
              "SelectedBG=#2F4F4F\r\nFont=Arial\r\n");
    const std::string vis = read_file(dir + "/VISCOLOR.TXT");
    EXPECT_EQ(vis.rfind("105,105,105, // color 0 = black\r\n169,169,169, // color 1 = grey\r\n", 0), 0u);
    EXPECT_NE(vis.find("\r\n85,107,47, // color 4 = \r\n"), std::string::npos);
    EXPECT_NE(vis.find("\r\n70,130,180, // color 23 = peak dots\r\n"), std::string::npos);
    EXPECT_EQ(std::count(vis.begin(), vis.end(), '\n'), 24);

    for (const tThemeBitmap &b : THEME_BITMAPS) {
        int w = 0, h = 0;
        ASSERT_NE(gdk_pixbuf_get_file_info((dir + "/" + b.name).c_str(), &w, &h), nullptr) << b.name;
        EXPECT_EQ(w, b.width) << b.name;
        EXPECT_EQ(h, b.height) << b.name;
    }
    // Entry 34 (354 mod 80) is FFB03060: stored as red 0x60, green 0x30, blue 0xB0.
    GdkPixbuf *titlebar = gdk_pixbuf_new_from_file((dir + "/TITLEBAR.BMP").c_str(), nullptr);
    ASSERT_NE(titlebar, nullptr);
    EXPECT_EQ(opaque(Rgb{pixel_at(titlebar, 0, 0)[0], pixel_at(titlebar, 0, 0)[1],
                         pixel_at(titlebar, 0, 0)[2]}),
              (Rgba{0x60, 0x30, 0xB0, 255}));
    // Between the title bars (ending at x 302) and the option strips (from x 304).
    EXPECT_EQ(pixel_at(titlebar, 302, 0), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(pixel_at(titlebar, 0, 86), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(pixel_at(titlebar, 20, 60), (Rgba{0, 0, 0, 255}));
    g_object_unref(titlebar);
}

TEST(ThemeTemplate, ReadsBackAsACompleteTheme) {
    ThemeEnv env;
    const std::string dir = env.tmp / "template";
    testing::internal::CaptureStdout();
    ASSERT_EQ(theme_write_template(dir.c_str()), 0);
    testing::internal::GetCapturedStdout();

    uint8_t vis[24][3] = {};
    EXPECT_EQ(theme_read_viscolor(vis, (dir + "/VISCOLOR.TXT").c_str()), 0);
    EXPECT_EQ(vis[0][0], 105);
    EXPECT_EQ(vis[3][1], 0x4F);
    EXPECT_EQ(vis[23][2], 0xB4);
    EXPECT_EQ(theme_read_pledit(env.theme, (dir + "/PLEDIT.TXT").c_str()), 0);
    const uint8_t plcolors[4][3] = {{105, 105, 105}, {169, 169, 169}, {220, 220, 220}, {47, 79, 79}};
    EXPECT_EQ(memcmp(env.theme->plcolors, plcolors, sizeof plcolors), 0);
    EXPECT_STREQ(env.theme->font, "Arial");

    // Loaded as a theme, every element is present, and the last element of each sheet shows its
    // own palette colour (bytes in the order red = bits 0-7).
    EXPECT_EQ(theme_load_directory(env.theme, dir.c_str(), env.folder.c_str()), 0);
    EXPECT_EQ(env.present_count(), THEME_ELEMENT_COUNT);
    EXPECT_EQ(memcmp(env.theme->viscolors, vis, sizeof vis), 0);
    for (int b = 0; b < THEME_BITMAP_COUNT; ++b) {
        const int last = theme_bitmap_first_element(b) + theme_bitmap_element_count(b) - 1;
        const tThemeElement &e = THEME_ELEMENTS[last];
        const Rgba got = pixel_at(env.bitmap(b), e.source_x + e.width - 1, e.source_y + e.height - 1);
        SCOPED_TRACE(last);
        // Palette entries 0-23 are the viscolor lines, which give the expected bytes back.
        if (last % 80 < 24) {
            EXPECT_EQ(got[0], vis[last % 80][2]);
            EXPECT_EQ(got[1], vis[last % 80][1]);
            EXPECT_EQ(got[2], vis[last % 80][0]);
        }
        EXPECT_EQ(got[3], 255);
        EXPECT_NE(got, (Rgba{0, 0, 0, 255}));
    }
}

TEST(ThemeTemplate, SecondWriteIsIdenticalAndFailuresAreReported) {
    TempDir tmp;
    const std::string dir = tmp / "t";
    testing::internal::CaptureStdout();
    ASSERT_EQ(theme_write_template(dir.c_str()), 0);
    std::vector<std::pair<std::string, std::string>> first;
    for (const std::string &n : list_dir(dir)) first.emplace_back(n, read_file(dir + "/" + n));
    // Spoil one file: the second write restores it.
    ASSERT_TRUE(write_file(dir + "/MAIN.BMP", "x"));
    ASSERT_EQ(theme_write_template(dir.c_str()), 0);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(list_dir(dir), template_names());
    for (const auto &[name, bytes] : first)
    {
        const std::string now = read_file(dir + "/" + name);
        size_t i = 0;
        while (i < now.size() && i < bytes.size() && now[i] == bytes[i]) ++i;
        EXPECT_TRUE(now == bytes) << name << " differs at " << i << " of " << now.size() << "/" << bytes.size();
    }

    const std::string blocked = tmp / "file";
    ASSERT_TRUE(write_file(blocked, "x"));
    testing::internal::CaptureStdout();
    EXPECT_EQ(theme_write_template((blocked + "/t").c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "unable to open [" + blocked + "/t/PLEDIT.TXT] for writing.\n");
}

TEST(ThemeTemplate, CommandLineOptionWritesItAndEnds) {
    TempDir tmp;
    const std::string dir = tmp / "designer";
    ProgramOptions options;
    options.args = {"--gui.theme.dumptemplate=" + dir + "/"};
    options.home = tmp.path();
    const ProgramResult r = run_program(options);
    ASSERT_TRUE(r.exited_with(0)) << r;
    EXPECT_NE(r.out.find(EXPECTED_PROGRESS), std::string::npos) << r.out;
    EXPECT_EQ(list_dir(dir), template_names());
    EXPECT_EQ(file_size(dir + "/PLEDIT.TXT"), 91);
    EXPECT_FALSE(path_exists(tmp / ".ravlox"));
}
