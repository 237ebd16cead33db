// The command line as a user meets it: the real binary, a private HOME and data directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "support/harness.h"

namespace {

const std::string kBanner = "*** ravlox 0.61\n*** ravlox-maintainers@ravlox.invalid\n"
                            "*** Copyright (c) 2026, the ravlox developers\n"
                            "********************\n\n";

std::string help_text(const std::string &program) {
    return "Please run with\n\n" + program +
           " [OPTIONS]\n\n"
           "Where [OPTIONS] are\n"
           "AUDIO options\n"
           "  --audiooutput.portaudio.device=NUMBER Set the audio output device\n"
           "                                        (Use ? to see a list\n"
           "GUI options\n"
           "  --gui.theme.dir=DIRECTORY/             Load a theme from this directory\n"
           "  --gui.theme.wsz=FILENAME.wsz           Load a theme from this WSZ file.\n"
           "  --gui.theme.dumpdefault=DIRECTORY/     Explicitly writes the default theme\n"
           "  --gui.theme.dumptemplate=DIRECTORY/    For theme designers: Writes a template\n"
           "Playlist options\n"
           "  --playlist.m3u=PLAYLIST.m3u            Loads playlist from an .m3u file\n"
           "Other options\n"
           "  --dir=DIRECTORY/                       Data directory (Default:~/.ravlox/)\n"
           "  --bsd                                  Prints the license\n"
           "  --help                                 Shows this help\n"
           "  --help-all                             Shows more GTK related help\n"
           "  --version                              Prints of 0.61\n"
           "\n"
           "For example: " +
           program + " --gui.theme.dir=theme/ --playlist.m3u=playlist.m3u\n";
}

class CommandLine : public ::testing::Test {
protected:
    ProgramResult run(std::vector<std::string> args) {
        ProgramOptions options;
        options.args = std::move(args);
        options.home = home.path();
        options.argv0 = "ravlox";
        options.timeout = milliseconds(20000);
        options.display = display.display();
        return run_program(options);
    }
    bool default_dir_exists() const { return path_exists(home / ".ravlox"); }

    TempDir home{"ravlox-cli-home"};
    Xvfb display; // GTK starts only with a display, even when start-up ends at once
};

TEST_F(CommandLine, HelpPrintsBannerAndHelpOnly) {
    const ProgramResult r = run({"--help", "--version"});
    EXPECT_TRUE(r.exited_with(0)) << r;
    EXPECT_EQ(r.out, kBanner + help_text("ravlox"));
    EXPECT_FALSE(default_dir_exists());
}

TEST_F(CommandLine, VersionPrintsTheNumber) {
    const ProgramResult r = run({"--version"});
    EXPECT_TRUE(r.exited_with(0)) << r;
    EXPECT_EQ(r.out, "0.61\n");
    EXPECT_FALSE(default_dir_exists());
}

TEST_F(CommandLine, EveryLicenceSpellingPrintsTheLicence) {
    for (const char *option : {"--bsd", "--license", "--licence"}) {
        const ProgramResult r = run({option});
        EXPECT_TRUE(r.exited_with(0)) << option << r;
        EXPECT_EQ(r.out.rfind("Copyright (c) 2026, the ravlox developers\nAll rights reserved.\n",
                              0),
                  0u)
            << option;
        EXPECT_NE(r.out.find("Redistributions in binary form must reproduce"), std::string::npos);
        EXPECT_NE(r.out.find("EVEN IF ADVISED OF THE POSSIBILITY OF SUCH DAMAGE.\n"),
                  std::string::npos);
        EXPECT_FALSE(default_dir_exists());
    }
}

TEST_F(CommandLine, NearMissesGoToGtk) {
    // Not ours: GTK's own option parsing rejects them, and no handle is allocated.
    for (const char *option : {"--versions", "--dir="}) {
        const ProgramResult r = run({option});
        EXPECT_FALSE(r.exited_with(0)) << option << r;
        EXPECT_EQ(r.out.find("allocating"), std::string::npos) << option << r;
        EXPECT_NE(r.err.find(option), std::string::npos) << option << r;
    }
}

TEST_F(CommandLine, UnknownModuleOptionFailsStartUp) {
    TempDir data{"ravlox-cli-data"};
    const ProgramResult r = run({"--dir=" + data.path() + "/d", "--playlist.xyz=1"});
    EXPECT_TRUE(r.exited_with(1)) << r;
    EXPECT_NE(r.out.find("allocating "), std::string::npos) << r;
    EXPECT_NE(r.err.find("ERROR initializing modules\n"), std::string::npos) << r;
}

TEST_F(CommandLine, MissingPlaylistFailsStartUp) {
    TempDir data{"ravlox-cli-data"};
    const ProgramResult r =
        run({"--dir=" + data.path() + "/d", "--playlist.m3u=" + data.path() + "/none.m3u"});
    EXPECT_TRUE(r.exited_with(1)) << r;
    EXPECT_NE(r.err.find("ERROR initializing modules\n"), std::string::npos) << r;
}

TEST_F(CommandLine, EmptyDumpDirectoryIsAFailedGuiOption) {
    TempDir data{"ravlox-cli-data"};
    const ProgramResult r = run({"--dir=" + data.path() + "/d", "--gui.theme.dumpdefault="});
    EXPECT_TRUE(r.exited_with(1)) << r;
    EXPECT_NE(r.err.find("ERROR initializing modules\n"), std::string::npos) << r;
}

// Start-up ends before any window is drawn when the device listing is asked for.
TEST_F(CommandLine, FirstStartCreatesTheDataDirectory) {
    TempDir data{"ravlox-cli-data"};
    const std::string dir = data.path() + "/a/b/";
    const ProgramResult r = run({"--dir=" + dir, "--audiooutput.portaudio.device=?"});
    EXPECT_TRUE(r.exited_with(0)) << r;
    EXPECT_TRUE(is_directory(data.path() + "/a/b"));
    EXPECT_EQ(file_mode(data.path() + "/a"), 0700);
    EXPECT_EQ(file_mode(data.path() + "/a/b"), 0700);
    EXPECT_EQ(file_mode(data.path() + "/a/b/theme"), 0700);

    // A second start leaves what is in theme/ alone.
    ASSERT_TRUE(write_file(dir + "theme/MINE.TXT", "kept"));
    const std::vector<std::string> before = list_dir(dir + "theme");
    const ProgramResult again = run({"--dir=" + dir, "--audiooutput.portaudio.device=?"});
    EXPECT_TRUE(again.exited_with(0)) << again;
    EXPECT_EQ(list_dir(dir + "theme"), before);
    EXPECT_EQ(read_file(dir + "theme/MINE.TXT"), "kept");
}

// A data directory whose theme folder path would not fit: start-up goes on without one
// rather than making a folder under a cut name.
TEST_F(CommandLine, DataDirectoryTooLongForItsThemeFolder) {
    TempDir data{"ravlox-cli-data"};
    std::string dir = data.path();
    while (dir.size() < 1018)
        dir += "/" + std::string(std::min<size_t>(200, 1018 - dir.size() - 1), 'd');
    dir += "/";
    ASSERT_GT(dir.size() + 7, 1023u);
    ASSERT_LT(dir.size(), 1024u);
    const ProgramResult r = run({"--dir=" + dir, "--audiooutput.portaudio.device=?"});
    EXPECT_TRUE(r.exited_with(0)) << r;
    EXPECT_TRUE(is_directory(dir));
    EXPECT_NE(r.err.find("too long for its theme folder"), std::string::npos) << r;
    // Only the lock that keeps a second player out.
    EXPECT_EQ(list_dir(dir), std::vector<std::string>{"player.lock"}) << "nothing under a cut name";
}

TEST_F(CommandLine, LaterDirOptionWinsAndTildeMeansHome) {
    TempDir data{"ravlox-cli-data"};
    const ProgramResult r = run({"--dir=" + data.path() + "/first", "--dir=~/x/",
                                 "--audiooutput.portaudio.device=?"});
    EXPECT_TRUE(r.exited_with(0)) << r;
    EXPECT_FALSE(path_exists(data.path() + "/first"));
    EXPECT_TRUE(is_directory(home / "x"));
    EXPECT_TRUE(is_directory(home / "x/theme"));
}

TEST_F(CommandLine, DefaultDataDirectoryIsUnderHome) {
    const ProgramResult r = run({"--audiooutput.portaudio.device=?"});
    EXPECT_TRUE(r.exited_with(0)) << r;
    EXPECT_TRUE(is_directory(home / ".ravlox/theme"));
    EXPECT_EQ(file_mode(home / ".ravlox"), 0700);
}

TEST_F(CommandLine, UnwritableDataDirectoryStillStarts) {
    // A plain file in the way makes the data directory impossible to create, even for root.
    TempDir data{"ravlox-cli-data"};
    ASSERT_TRUE(write_file(data / "file", "x"));
    Xvfb x;
    ASSERT_TRUE(x.ok());
    ProgramOptions options;
    options.home = home.path();
    options.display = x.display();
    options.args = {"--dir=" + data.path() + "/file/d"};
    ProgramProcess p(options);
    ASSERT_TRUE(p.started());
    EXPECT_TRUE(p.wait_for_output("unable to write [" + data.path() + "/file/d/", milliseconds(20000),
                                  true))
        << p.err();
    EXPECT_TRUE(x.wait_window("ravlox main").has_value()) << p.out() << p.err();
    EXPECT_TRUE(p.running());
}

// Folders that others may write to: the player refuses them before it reads or writes a file.
TEST_F(CommandLine, DataDirectoryOthersMayWriteIsRefused) {
    TempDir data{"ravlox-cli-data"};
    const std::string open_to_all = data / "shared";
    ASSERT_EQ(mkdir(open_to_all.c_str(), 0700), 0);
    ASSERT_EQ(chmod(open_to_all.c_str(), 01777), 0);
    ProgramResult r = run({"--dir=" + open_to_all});
    EXPECT_TRUE(r.exited_with(1)) << r;
    EXPECT_NE(r.err.find("refusing the data directory [" + open_to_all + "]: everyone may write to it\n"),
              std::string::npos)
        << r;
    EXPECT_EQ(list_dir(open_to_all), std::vector<std::string>{});

    // Another user's folder: as root one is made, otherwise the system's own is one.
    std::string theirs = "/usr/share";
    if (geteuid() == 0) {
        theirs = data / "theirs";
        ASSERT_EQ(mkdir(theirs.c_str(), 0700), 0);
        ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    }
    r = run({"--dir=" + theirs});
    EXPECT_TRUE(r.exited_with(1)) << r;
    EXPECT_NE(r.err.find("refusing the data directory [" + theirs + "]: it belongs to another user\n"),
              std::string::npos)
        << r;
    if (geteuid() == 0) {
        EXPECT_EQ(list_dir(theirs), std::vector<std::string>{});
    }

    // A link of another user's, even to a folder of ours: they may point it elsewhere later.
    if (geteuid() != 0) return;
    const std::string ours = data / "ours", link = data / "link";
    ASSERT_EQ(mkdir(ours.c_str(), 0700), 0);
    ASSERT_EQ(symlink(ours.c_str(), link.c_str()), 0);
    ASSERT_EQ(lchown(link.c_str(), 65534, 65534), 0);
    r = run({"--dir=" + link + "/"});
    EXPECT_TRUE(r.exited_with(1)) << r;
    EXPECT_NE(r.err.find("it is a link that belongs to another user\n"), std::string::npos) << r;
    EXPECT_EQ(list_dir(ours), std::vector<std::string>{});
}

// A symlink planted in the theme folder in place of a sheet is replaced by the default sheet,
// never written through.
TEST_F(CommandLine, PlantedThemeSymlinkIsReplacedNotFollowed) {
    TempDir data{"ravlox-cli-data"};
    const std::string dir = data / "d";
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dir + "/theme").c_str(), 0700), 0);
    const std::string victim = data / "victim.txt";
    ASSERT_TRUE(write_file(victim, "precious\n"));
    ASSERT_EQ(symlink(victim.c_str(), (dir + "/theme/MAIN.BMP").c_str()), 0);
    Xvfb x;
    ASSERT_TRUE(x.ok());
    ProgramOptions options;
    options.home = home.path();
    options.display = x.display();
    options.args = {"--dir=" + dir};
    ProgramProcess p(options);
    ASSERT_TRUE(p.started());
    EXPECT_TRUE(x.wait_window("ravlox main").has_value()) << p.out() << p.err();
    p.stop(SIGKILL);
    EXPECT_EQ(read_file(victim), "precious\n");
    struct stat st;
    ASSERT_EQ(lstat((dir + "/theme/MAIN.BMP").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(read_file(dir + "/theme/MAIN.BMP").substr(0, 2), "BM");
}

} // namespace
