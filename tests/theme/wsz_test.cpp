// Extracting .wsz theme archives into the theme folder.
#include "theme_test_util.h"

namespace {

std::string sheet(int index, int variant) {
    return bmp24(THEME_BITMAPS[index].width, THEME_BITMAPS[index].height,
                 [&](int x, int y) { return sheet_colour(index, x, y, variant); });
}

}  // namespace

TEST(ThemeWsz, ZipToolArchiveInSubFolderWithAnyCase) {
    ThemeEnv env;
    const std::string stage = env.tmp / "stage";
    ASSERT_EQ(mkdir(stage.c_str(), 0755), 0);
    write_full_theme(stage + "/skin", 7);
    ASSERT_EQ(rename((stage + "/skin/MAIN.BMP").c_str(), (stage + "/skin/Main.bmp").c_str()), 0);
    ASSERT_EQ(rename((stage + "/skin/TEXT.BMP").c_str(), (stage + "/skin/text.bmp").c_str()), 0);
    ASSERT_EQ(rename((stage + "/skin/VISCOLOR.TXT").c_str(), (stage + "/skin/viscolor.txt").c_str()), 0);
    ASSERT_TRUE(write_file(stage + "/skin/TITLEBAR.BMP.bak", "old"));
    ASSERT_TRUE(write_file(stage + "/readme.txt", "hello"));
    const std::string wsz = env.tmp / "theme.wsz";
    ASSERT_EQ(run_tool({"sh", "-c", "cd '" + stage + "' && zip -q -r '" + wsz + "' skin readme.txt"}), 0);

    EXPECT_EQ(theme_load_wsz(env.theme, wsz.c_str(), env.folder.c_str()), 0);
    std::vector<std::string> expected;
    for (const tThemeBitmap &b : THEME_BITMAPS) expected.push_back(b.name);
    expected.push_back("PLEDIT.TXT");
    expected.push_back("VISCOLOR.TXT");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(list_dir(env.folder), expected);
    EXPECT_TRUE(read_file(env.in_folder("MAIN.BMP")) == sheet(BITMAP_MAIN, 7));
    EXPECT_TRUE(read_file(env.in_folder("TITLEBAR.BMP")) == sheet(BITMAP_TITLEBAR, 7));
    EXPECT_EQ(read_file(env.in_folder("VISCOLOR.TXT")), read_file(stage + "/skin/viscolor.txt"));

    // Extraction does not load; the caller loads the folder.
    EXPECT_EQ(env.present_count(), 0);
    EXPECT_EQ(theme_load_directory(env.theme, env.folder.c_str(), env.folder.c_str()), 0);
    EXPECT_EQ(env.present_count(), THEME_ELEMENT_COUNT);
    EXPECT_EQ(pixel_at(env.bitmap(BITMAP_TEXT), 3, 4), opaque(sheet_colour(BITMAP_TEXT, 3, 4, 7)));
    EXPECT_STREQ(env.theme->font, "Test Sans 7");
}

TEST(ThemeWsz, EntryNamesAreReducedToUpperCaseBaseNames) {
    ThemeEnv env;
    write_full_theme(env.folder, 1);
    const std::string wsz = env.tmp / "names.wsz";
    ASSERT_TRUE(make_zip(wsz, {
                                  {"skins\\dark\\main.BMP", sheet(BITMAP_MAIN, 2)},
                                  {"a/Volume.bmp", sheet(BITMAP_VOLUME, 2)},
                                  {"b\\c/VOLUME.BMP", sheet(BITMAP_VOLUME, 3)},  // later wins
                                  {"x/", ""},
                                  {"TEXT.BMP.bak", "no"},
                                  {"notes/readme.txt", "no"},
                                  {std::string(40, 'Q') + "/NUMBERS.BMP", sheet(BITMAP_NUMBERS, 2)},
                                  {std::string(30, 'Q') + "NUMBERS.BMP", "cut to 31 bytes: no match"},
                                  {"pledit.TXT", "[Text]\r\nFont=Zipped\r\n"},
                              }));
    const auto before = snapshot(env.folder);
    EXPECT_EQ(theme_load_wsz(env.theme, wsz.c_str(), env.folder.c_str()), 0);
    const auto after = snapshot(env.folder);
    EXPECT_EQ(after.size(), before.size() - 2);  // no AVS.BMP, no MB.BMP
    EXPECT_TRUE(after.at("MAIN.BMP") == sheet(BITMAP_MAIN, 2));
    EXPECT_TRUE(after.at("VOLUME.BMP") == sheet(BITMAP_VOLUME, 3));
    EXPECT_TRUE(after.at("NUMBERS.BMP") == sheet(BITMAP_NUMBERS, 2));
    EXPECT_EQ(after.at("PLEDIT.TXT"), "[Text]\r\nFont=Zipped\r\n");
    // Nothing of the previous theme stays: what the archive lacks is the default theme's.
    EXPECT_FALSE(after.at("TEXT.BMP") == before.at("TEXT.BMP"));
    EXPECT_EQ(after.count("AVS.BMP"), 0u);
}

TEST(ThemeWsz, NotAZipFileChangesNothing) {
    ThemeEnv env;
    write_full_theme(env.folder, 1);
    const auto before = snapshot(env.folder);
    for (const std::string &path : {env.tmp / "plain.wsz", env.tmp / "missing.wsz"}) {
        if (path.find("plain") != std::string::npos) {
            ASSERT_TRUE(write_file(path, sheet(BITMAP_MAIN, 0)));
        }
        testing::internal::CaptureStderr();
        EXPECT_EQ(theme_load_wsz(env.theme, path.c_str(), env.folder.c_str()), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "illegal skin file [" + path + "]\n");
        EXPECT_TRUE(snapshot(env.folder) == before);
    }
}

TEST(ThemeWsz, ZipBombIsBounded) {
    ThemeEnv env;
    write_full_theme(env.folder, 1);
    const auto before = snapshot(env.folder);
    const std::string wsz = env.tmp / "bomb.wsz";
    // 16 MiB and one byte of zeros pack into a few kilobytes.
    ASSERT_TRUE(make_zip(wsz, {
                                  {"VOLUME.BMP", sheet(BITMAP_VOLUME, 5)},
                                  {"MAIN.BMP", std::string(16 * 1024 * 1024 + 1, '\0')},
                                  {"TEXT.BMP", sheet(BITMAP_TEXT, 5)},
                              }));
    ASSERT_LT(file_size(wsz), 200000);
    testing::internal::CaptureStderr();
    EXPECT_EQ(theme_load_wsz(env.theme, wsz.c_str(), env.folder.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "error reading WSZ file\n");
    // Nothing of the archive is taken, not even the entry before the bomb.
    EXPECT_TRUE(snapshot(env.folder) == before);
    EXPECT_EQ(list_dir(env.data), (std::vector<std::string>{"theme"}));

    // Exactly at the bound is still a theme file.
    ASSERT_TRUE(make_zip(wsz, {{"MB.BMP", std::string(16 * 1024 * 1024, 'M')}}));
    EXPECT_EQ(theme_load_wsz(env.theme, wsz.c_str(), env.folder.c_str()), 0);
    EXPECT_EQ(file_size(env.in_folder("MB.BMP")), 16 * 1024 * 1024);
}

TEST(ThemeWsz, DamagedDataAndUnwritableFolderAreReported) {
    ThemeEnv env;
    const std::string wsz = env.tmp / "damaged.wsz";
    ASSERT_TRUE(make_zip(wsz, {{"PLEDIT.BMP", sheet(BITMAP_PLEDIT, 1)}}));
    std::string bytes = read_file(wsz);
    ASSERT_GT(bytes.size(), 600u);
    for (size_t i = 200; i < 260; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    ASSERT_TRUE(write_file(wsz, bytes));
    testing::internal::CaptureStderr();
    EXPECT_EQ(theme_load_wsz(env.theme, wsz.c_str(), env.folder.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "error reading WSZ file\n");
    // A half-written sheet is not left behind.
    EXPECT_FALSE(path_exists(env.in_folder("PLEDIT.BMP")));

    // The theme folder is a file, so nothing can be created in it.
    const std::string good = env.tmp / "good.wsz";
    ASSERT_TRUE(make_zip(good, {{"skin/Main.bmp", sheet(BITMAP_MAIN, 1)}}));
    ASSERT_TRUE(remove_tree(env.folder));
    ASSERT_TRUE(write_file(env.folder, "not a folder"));
    testing::internal::CaptureStderr();
    EXPECT_EQ(theme_load_wsz(env.theme, good.c_str(), env.folder.c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "unable to replace [" + env.folder + "]: not a folder\n");
    EXPECT_EQ(read_file(env.folder), "not a folder");
}
