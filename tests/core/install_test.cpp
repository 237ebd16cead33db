// Installing as a user or a package does: cmake --install into a prefix and into DESTDIR, the
// desktop's own validators on what lands there, and the installed player's windows as a
// taskbar sees them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <glib.h>

#include "support/harness.h"

namespace {

constexpr const char *ID = "org.ravlox.Ravlox";
constexpr int ICON_SIZES[] = {16, 22, 24, 32, 48, 64, 128, 256};

class Install : public testing::Test {
protected:
    void SetUp() override {
        if (const std::string t = missing_program({"cmake", "desktop-file-validate", "appstreamcli", "man"}); !t.empty())
            GTEST_SKIP() << t << " is not installed";
        const ProgramResult r = run_command({"cmake", "--install", RAVLOX_BUILD_DIR, "--prefix", prefix}, {},
                                            milliseconds(60000));
        ASSERT_TRUE(r.exited_with(0)) << r;
    }

    std::string share(const std::string &rest) const { return prefix + "/share/" + rest; }

    TempDir t{"ravlox-install"};
    std::string prefix = t / "usr";
};

// The option names of a help text: "--dir" of "  --dir=DIRECTORY/   Data ...".
std::vector<std::string> help_options(const std::string &help) {
    std::vector<std::string> names;
    std::istringstream in(help);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("  --", 0) == 0)
            names.push_back(line.substr(2, line.find_first_of("= ", 2) - 2));
    return names;
}

} // namespace

TEST_F(Install, WhatLandsPassesTheDesktopsValidators) {
    EXPECT_TRUE(g_file_test((prefix + "/bin/ravlox").c_str(), G_FILE_TEST_IS_EXECUTABLE));

    const std::string desktop = share("applications/") + ID + ".desktop";
    const ProgramResult entry = run_command({"desktop-file-validate", desktop});
    EXPECT_TRUE(entry.exited_with(0)) << entry;
    EXPECT_EQ(entry.out + entry.err, "") << "no warnings either";
    const std::string text = read_file(desktop);
    for (const char *line : {"Type=Application", "Exec=ravlox %U", "Categories=AudioVideo;Audio;Player;",
                             "MimeType=audio/mpeg;audio/flac;audio/ogg;audio/x-vorbis+ogg;audio/opus;audio/mp4;audio/x-m4a;audio/wav;audio/x-aiff;audio/x-wavpack;audio/x-mpegurl;audio/mpegurl;audio/x-scpls;application/xspf+xml;", "Icon=org.ravlox.Ravlox"})
        EXPECT_NE(("\n" + text).find(std::string("\n") + line + "\n"), std::string::npos) << line;

    const std::string metainfo = share("metainfo/") + ID + ".metainfo.xml";
    const ProgramResult meta = run_command({"appstreamcli", "validate", "--no-net", metainfo});
    EXPECT_TRUE(meta.exited_with(0)) << meta;
    EXPECT_NE(read_file(metainfo).find("<screenshot type=\"default\">"), std::string::npos);
    EXPECT_NE(read_file(metainfo).find(std::string("<launchable type=\"desktop-id\">") + ID + ".desktop<"),
              std::string::npos);

    // The man page renders and tells every option the help tells.
    const ProgramResult page = run_command({"man", "-l", share("man/man1/ravlox.1")},
                                           {{"LC_ALL", "C"}, {"MANWIDTH", "100"}, {"MAN_KEEP_FORMATTING", ""}});
    ASSERT_TRUE(page.exited_with(0)) << page;
    EXPECT_EQ(page.err, "");
    const ProgramResult help = run_program({"--help"});
    ASSERT_TRUE(help.exited_with(0)) << help;
    const std::vector<std::string> options = help_options(help.out);
    EXPECT_GE(options.size(), 10u);
    for (const std::string &option : options) {
        if (option == "--help-all") // GTK's own; the page may leave it out
            continue;
        EXPECT_NE(page.out.find(option), std::string::npos) << option << " is not in the man page";
    }
    for (const char *word : {"audiooutout.config", "gui.config", "windowmain.config", "visualizer.config",
                             "equalizer.config", "playlist.config", "preferences.config", "~/.ravlox/theme/",
                             "PLEDIT.TXT", "VISCOLOR.TXT", "--licence"})
        EXPECT_NE(page.out.find(word), std::string::npos) << word;

    // Every size is the size it says; the scalable one draws the same picture.
    for (int size : ICON_SIZES) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        const Image icon = Image::load(share("icons/hicolor/" + name + "/apps/") + ID + ".png");
        EXPECT_EQ(icon.width, size) << name;
        EXPECT_EQ(icon.height, size) << name;
    }
    const std::string svg = share("icons/hicolor/scalable/apps/") + ID + ".svg";
    ASSERT_NE(read_file(svg).find("<svg "), std::string::npos);
    const Image drawn = Image::load(svg);
    const Image big = Image::load(share("icons/hicolor/256x256/apps/") + ID + ".png");
    if (drawn.empty())
        GTEST_SKIP() << "no SVG loader for gdk-pixbuf (librsvg2-common)";
    ASSERT_EQ(drawn.width, big.width);
    ASSERT_EQ(drawn.height, big.height);
    long long off = 0;
    for (size_t k = 0; k < big.rgb.size(); k++)
        off += std::abs(int(drawn.rgb[k]) - int(big.rgb[k])) > 48;
    EXPECT_LT(off, static_cast<long long>(big.rgb.size() / 100)) << "the SVG and the PNGs differ";
}

TEST_F(Install, DestdirStagesUnderTheFinalPrefix) {
    const std::string stage = t / "stage";
    const ProgramResult r = run_command({"cmake", "--install", RAVLOX_BUILD_DIR, "--prefix", "/opt/ravlox"},
                                        {{"DESTDIR", stage}}, milliseconds(60000));
    ASSERT_TRUE(r.exited_with(0)) << r;
    for (const std::string rest : {"/bin/ravlox", "/share/applications/org.ravlox.Ravlox.desktop",
                                   "/share/metainfo/org.ravlox.Ravlox.metainfo.xml", "/share/man/man1/ravlox.1",
                                   "/share/icons/hicolor/48x48/apps/org.ravlox.Ravlox.png",
                                   "/share/icons/hicolor/scalable/apps/org.ravlox.Ravlox.svg"})
        EXPECT_TRUE(path_exists(stage + "/opt/ravlox" + rest)) << rest;
}

// The windows carry the installed icon, and on a session bus the application id, so a taskbar
// groups them under the desktop entry.
TEST_F(Install, InstalledWindowsCarryTheIconAndTheId) {
    if (const std::string t = missing_program({"xprop", "gdbus", "dbus-daemon"}); !t.empty())
        GTEST_SKIP() << t << " is not installed";
    Xvfb x;
    SessionBus bus;
    ASSERT_TRUE(x.ok() && bus.ok());
    // The default data directory, whose player has the plain id.
    const std::string data = t / "home/.ravlox";
    ASSERT_EQ(g_mkdir_with_parents((data + "/theme").c_str(), 0700), 0);
    ASSERT_TRUE(write_file(data + "/gui.config", "showplaylist=TRUE\nshowequalizer=TRUE\n"));
    ProgramOptions o;
    o.program = prefix + "/bin/ravlox";
    o.home = t / "home";
    o.display = x.display();
    o.env = bus.env();
    o.env.push_back({"XDG_DATA_DIRS", share("") + ":/usr/share"});
    ProgramProcess p(o);
    for (const char *title : {"ravlox main", "ravlox playlist", "ravlox equalizer"}) {
        const auto w = x.wait_window(title);
        ASSERT_TRUE(w.has_value()) << title << p.out() << p.err();
        const ProgramResult props = run_command({"xprop", "-id", *w, "WM_CLASS", "_NET_WM_ICON", "_GTK_APPLICATION_ID"},
                                                {{"DISPLAY", x.display()}});
        ASSERT_TRUE(props.exited_with(0)) << props;
        EXPECT_NE(props.out.find("WM_CLASS(STRING) = \"ravlox\""), std::string::npos) << title << props.out;
        EXPECT_NE(props.out.find(std::string("_GTK_APPLICATION_ID(UTF8_STRING) = \"") + ID + "\""),
                  std::string::npos)
            << title << props.out.substr(0, 400);
        EXPECT_NE(props.out.find("_NET_WM_ICON(CARDINAL) = "), std::string::npos) << title << props.out.substr(0, 400);
    }
    // The sound menu finds the entry, and so the icon, by the name the player gives.
    ASSERT_TRUE(wait_until([&] {
        const ProgramResult entry = run_command(
            {"gdbus", "call", "--session", "--dest", "org.mpris.MediaPlayer2.ravlox", "--object-path",
             "/org/mpris/MediaPlayer2", "--method", "org.freedesktop.DBus.Properties.Get", "org.mpris.MediaPlayer2",
             "DesktopEntry"},
            bus.env());
        return entry.out == std::string("(<'") + ID + "'>,)\n";
    })) << p.out() << p.err();
    EXPECT_TRUE(path_exists(share("applications/") + ID + ".desktop"));
}
