// The program's "--gui.theme.dumpdefault=" option, run as a real process.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/harness.h"

namespace {
const std::string THEME_SOURCE = std::string(RAVLOX_SOURCE_DIR) + "/theme/default";
}

TEST(ThemeDumpDefault, WritesTheSeventeenFilesAndEnds) {
    TempDir tmp;
    const std::string dir = tmp / "out";
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    ProgramOptions options;
    options.args = {"--gui.theme.dumpdefault=" + dir};
    options.home = tmp.path();
    ProgramResult r = run_program(options);
    ASSERT_TRUE(r.exited_with(0)) << r;
    const std::vector<std::string> names = list_dir(dir);
    ASSERT_EQ(names.size(), 17u);
    const std::vector<std::pair<std::string, long long>> sizes = {
        {"BALANCE.BMP", 88386},  {"CBUTTONS.BMP", 14742}, {"EQMAIN.BMP", 260874}, {"EQ_EX.BMP", 67950},
        {"MAIN.BMP", 96102},     {"MONOSTER.BMP", 4278},  {"NUMBERS.BMP", 3954},  {"PLAYPAUS.BMP", 1206},
        {"PLEDIT.BMP", 156294},  {"PLEDIT.TXT", 91},      {"POSBAR.BMP", 9294},   {"SHUFREP.BMP", 23514},
        {"TEXT.BMP", 34686},     {"TITLEBAR.BMP", 89838}, {"VISCOLOR.TXT", 746},  {"VOLUME.BMP", 88386},
        {"cc-0-10.txt", file_size(THEME_SOURCE + "/cc-0-10.txt")},
    };
    for (const auto &[name, size] : sizes) {
        EXPECT_EQ(file_size(dir + "/" + name), size) << name;
        EXPECT_TRUE(read_file(dir + "/" + name) == read_file(THEME_SOURCE + "/" + name)) << name;
    }
    // The option ends the program before the data directory in HOME is made.
    EXPECT_FALSE(path_exists(tmp / ".ravlox"));
}

TEST(ThemeDumpDefault, AMissingDirectoryIsCreatedAndAFailedWriteEndsWithOne) {
    TempDir tmp;
    const std::string dir = tmp / "missing";
    ProgramResult r = run_program({"--gui.theme.dumpdefault=" + dir + "/"});
    EXPECT_TRUE(r.exited_with(0)) << r;
    EXPECT_TRUE(is_directory(dir));
    EXPECT_EQ(file_mode(dir), 0755);
    EXPECT_EQ(list_dir(dir).size(), 17u);
    EXPECT_TRUE(read_file(dir + "/MAIN.BMP") == read_file(THEME_SOURCE + "/MAIN.BMP"));

    // A directory that cannot be made: the parent is a file.
    ASSERT_TRUE(write_file(tmp / "file", "x"));
    r = run_program({"--gui.theme.dumpdefault=" + (tmp / "file/sub")});
    EXPECT_TRUE(r.exited_with(1)) << r;
    EXPECT_NE(r.out.find("unable to open file [" + (tmp / "file/sub") + "/BALANCE.BMP] for writing\n"),
              std::string::npos)
        << r;
    // One file that cannot be written, among others that can.
    const std::string partly = tmp / "partly";
    ASSERT_EQ(mkdir(partly.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((partly + "/MAIN.BMP").c_str(), 0700), 0);
    r = run_program({"--gui.theme.dumpdefault=" + partly});
    EXPECT_TRUE(r.exited_with(1)) << r;
    EXPECT_NE(r.out.find("unable to open file [" + partly + "/MAIN.BMP] for writing\n"), std::string::npos) << r;

    // The template writer the same.
    r = run_program({"--gui.theme.dumptemplate=" + (tmp / "file/sub")});
    EXPECT_TRUE(r.exited_with(1)) << r;
}
