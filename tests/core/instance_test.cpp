// One player per data directory on the session bus, and the files on its command line: the
// real binary on a private bus, heard in the file-backed sound device and asked over the bus
// what it plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <glib.h>

#include "support/harness.h"

namespace {

std::string trimmed(std::string text) {
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

class Instance : public testing::Test {
protected:
    void SetUp() override {
        if (const std::string t = missing_program({"playerctl", "gdbus", "dbus-daemon"}); !t.empty())
            GTEST_SKIP() << t << " is not installed";
        ASSERT_TRUE(x_.ok());
        ASSERT_TRUE(bus_.ok()) << "no private session bus";
        music_ = dir_ / "music";
        std::filesystem::create_directories(music_);
        std::filesystem::copy_file(fixture_path("mono22.mp3"), music_ + "/one.mp3");
        std::filesystem::copy_file(fixture_path("mono8.mp3"), music_ + "/two.MP3");
        ASSERT_TRUE(write_file(music_ + "/notes.txt", "not music"));
        a_ = dir_ / "a.mp3";
        b_ = dir_ / "b.mp3";
        std::filesystem::copy_file(fixture_path("stereo44.mp3"), a_);
        std::filesystem::copy_file(fixture_path("len10_9.mp3"), b_); // long enough to be caught playing
    }

    ProgramOptions options(std::vector<std::string> args, const std::string &data, bool bus = true,
                           const std::string &capture = "capture.raw") {
        ProgramOptions o;
        o.args = std::move(args);
        o.data_dir = data;
        o.home = home_.path();
        o.display = x_.display();
        o.alsa = AlsaConfig::File; // a file of another rate reopens the stream and starts it anew
        o.capture_file = dir_ / capture;
        if (bus)
            o.env = bus_.env();
        o.timeout = milliseconds(20000);
        return o;
    }

    std::string ctl(std::vector<std::string> args) {
        std::vector<std::string> argv = {"playerctl", "-p", "ravlox"};
        argv.insert(argv.end(), args.begin(), args.end());
        return trimmed(run_command(argv, bus_.env(), milliseconds(10000)).out);
    }
    bool playing_url(const std::string &path) {
        return wait_until([&] {
            return ctl({"metadata", "--format", "{{xesam:url}}"}) == "file://" + path &&
                   ctl({"status"}) == "Playing";
        });
    }
    // A stretch from the middle of the file's decoded samples turns up in the device.
    bool heard(const std::string &path, const std::string &capture = "capture.raw") {
        return heard(decode_reference(path), capture);
    }
    bool heard(const ReferencePcm &ref, const std::string &capture = "capture.raw") {
        if (!ref.ok || ref.samples.size() < 40000)
            return false;
        const std::vector<int16_t> probe(ref.samples.begin() + 30000, ref.samples.begin() + 31024);
        return wait_until([&] { return find_samples(read_samples(dir_ / capture), probe).has_value(); },
                          milliseconds(10000));
    }
    std::vector<std::string> bus_names() {
        const ProgramResult r = run_command({"gdbus", "call", "--session", "--dest", "org.freedesktop.DBus",
                                             "--object-path", "/org/freedesktop/DBus", "--method",
                                             "org.freedesktop.DBus.ListNames"},
                                            bus_.env());
        std::vector<std::string> names;
        for (size_t at = r.out.find("'org.ravlox."); at != std::string::npos;
             at = r.out.find("'org.ravlox.", at + 1))
            names.push_back(r.out.substr(at + 1, r.out.find('\'', at + 1) - at - 1));
        return names;
    }

    TempDir dir_{"ravlox-instance"};
    TempDir home_{"ravlox-instance-home"};
    SessionBus bus_;
    Xvfb x_;
    std::string music_, a_, b_;
};

} // namespace

// The library's other types on the command line play as MP3s do, and a second start hands
// them to the running player.
TEST_F(Instance, OtherTypesFromTheCommandLinePlay) {
    const std::string data = dir_ / "data";
    const std::string flac = dir_ / "c.FLAC";
    const std::string opus = dir_ / "d.opus";
    std::filesystem::copy_file(fixture_path("flac16.flac"), flac);
    std::filesystem::copy_file(fixture_path("opus.opus"), opus);
    ProgramProcess first(options({flac}, data));
    ASSERT_TRUE(x_.wait_window("ravlox main").has_value()) << first.out() << first.err();
    EXPECT_TRUE(playing_url(flac)) << ctl({"metadata"});
    EXPECT_TRUE(heard(decode_ffmpeg_reference(flac, 2))) << "the FLAC never reached the device\n" << first.err();
    const ProgramResult second = run_program(options({opus}, data));
    EXPECT_TRUE(second.exited_with(0)) << second;
    EXPECT_TRUE(playing_url(opus)) << ctl({"metadata"});
}

TEST_F(Instance, FilesPlayAndASecondStartHandsItsFilesOver) {
    const std::string data = dir_ / "data";
    ProgramProcess first(options({a_, music_ + "/"}, data));
    ASSERT_TRUE(x_.wait_window("ravlox main").has_value()) << first.out() << first.err();
    EXPECT_TRUE(heard(a_)) << "a.mp3 never reached the device\n" << first.out() << first.err();
    EXPECT_TRUE(playing_url(a_)) << ctl({"metadata"});

    // The folder's two MP3 files follow, in the order the folder lists them; not the notes.
    std::vector<std::string> after;
    for (int k = 0; k < 2; k++) {
        ctl({"next"});
        ASSERT_TRUE(wait_until([&] {
            const std::string url = ctl({"metadata", "--format", "{{xesam:url}}"});
            return url.rfind("file://" + music_ + "/", 0) == 0 &&
                   (after.empty() || url != "file://" + after.back());
        })) << ctl({"metadata"});
        after.push_back(ctl({"metadata", "--format", "{{xesam:url}}"}).substr(7));
    }
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, (std::vector<std::string>{music_ + "/one.mp3", music_ + "/two.MP3"}));

    // A second start with a file hands it over and ends; the running player plays it.
    const ProgramResult second = run_program(options({b_}, data));
    EXPECT_TRUE(second.exited_with(0)) << second;
    EXPECT_EQ(second.out.find("allocating"), std::string::npos) << second;
    EXPECT_TRUE(playing_url(b_)) << ctl({"metadata"});
    EXPECT_TRUE(heard(b_)) << "b.mp3 never reached the device\n" << first.out() << first.err();

    // Without files it only brings the running player forward.
    const ProgramResult third = run_program(options({}, data));
    EXPECT_TRUE(third.exited_with(0)) << third;
    EXPECT_EQ(third.out.find("allocating"), std::string::npos) << third;
    EXPECT_TRUE(first.running()) << first.out() << first.err();
    EXPECT_EQ(x_.find_windows("ravlox main").size(), 1u);
    EXPECT_EQ(ctl({"metadata", "--format", "{{xesam:url}}"}), "file://" + b_);
}

TEST_F(Instance, EveryDataDirectoryHasAPlayerOfItsOwn) {
    // The default directory has the plain id, another one an id of its own.
    ProgramProcess plain(options({}, ""));
    ASSERT_TRUE(x_.wait_window("ravlox main").has_value()) << plain.out() << plain.err();
    ProgramProcess other(options({a_}, dir_ / "other"));
    ASSERT_TRUE(wait_until([&] { return x_.find_windows("ravlox main").size() == 2; }))
        << other.out() << other.err();
    EXPECT_TRUE(wait_until([&] { return bus_names().size() == 2; }));
    const std::vector<std::string> names = bus_names();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_NE(std::find(names.begin(), names.end(), "org.ravlox.Ravlox"), names.end());
    for (const std::string &name : names)
        EXPECT_EQ(name.rfind("org.ravlox.Ravlox", 0), 0u) << name;
    EXPECT_NE(plain.out().find("allocating"), std::string::npos);
    EXPECT_NE(other.out().find("allocating"), std::string::npos);

    // The same directory by another spelling is the same player: the file goes to it.
    const ProgramResult again = run_program(options({"--dir=" + home_.path() + "//.ravlox/./", b_}, ""));
    EXPECT_TRUE(again.exited_with(0)) << again;
    EXPECT_EQ(again.out.find("allocating"), std::string::npos) << again;
    EXPECT_EQ(x_.find_windows("ravlox main").size(), 2u);

    // Under a name that links to it, the id cannot tell: the directory's lock keeps the start out.
    std::filesystem::create_directory_symlink(dir_ / "other", dir_ / "link");
    const ProgramResult linked = run_program(options({b_}, dir_ / "link"));
    EXPECT_TRUE(linked.exited_with(1)) << linked;
    EXPECT_NE(linked.err.find("another player uses the data directory [" + dir_ / "link"), std::string::npos)
        << linked;
    EXPECT_EQ(x_.find_windows("ravlox main").size(), 2u);
    EXPECT_TRUE(plain.running() && other.running());
}

// The running player owns the data directory whatever options it was started with; a later
// start hands its options and paths to it, which applies them as its own command line would,
// and the later start ends with the answer.
TEST_F(Instance, ASecondStartHandsItsOptionsToTheRunningPlayer) {
    const std::string data = dir_ / "data";
    const auto two_devices = [&](std::vector<std::string> args) {
        ProgramOptions o = options(std::move(args), data);
        o.alsa = AlsaConfig::TwoFiles;
        o.env.push_back({"CAPTURE_FILE_A", dir_ / "a.raw"});
        o.env.push_back({"CAPTURE_FILE_B", dir_ / "b.raw"});
        o.cwd = dir_.path();
        return o;
    };
    ProgramProcess first(two_devices({"--audiooutput.portaudio.device=0", b_}));
    ASSERT_TRUE(x_.wait_window("ravlox main").has_value()) << first.out() << first.err();
    ASSERT_TRUE(playing_url(b_)) << ctl({"metadata"});
    EXPECT_TRUE(heard(b_, "a.raw")) << "not playing on ravlox_a\n" << first.out() << first.err();
    const auto handed = [&](std::vector<std::string> args, int status = 0) {
        const ProgramResult r = run_program(two_devices(std::move(args)));
        EXPECT_TRUE(r.exited_with(status)) << r;
        EXPECT_EQ(r.out.find("allocating"), std::string::npos) << r;
        EXPECT_EQ(x_.find_windows("ravlox main").size(), 1u);
        return r;
    };
    const auto opened = [&](const std::string &path) {
        return wait_until([&] { return ctl({"metadata", "--format", "{{xesam:url}}"}) == "file://" + path; });
    };

    // The running player's devices, and a switch to the second one.
    EXPECT_NE(handed({"--audiooutput.portaudio.device=?"}).out.find("     1> ravlox_b\n"), std::string::npos);
    handed({"--audiooutput.portaudio.device=1"});
    ctl({"open", "file://" + b_}); // b.mp3 again from its start, whether it still plays or not
    EXPECT_TRUE(heard(b_, "b.raw")) << "not switched to ravlox_b\n" << first.out() << first.err();

    // A theme and a playlist named relative to where the later start was made.
    ASSERT_TRUE(run_program({"--gui.theme.dumptemplate=" + dir_ / "template/"}).exited_with(0));
    const Image before = x_.screenshot(*x_.wait_window("ravlox main"));
    handed({"--gui.theme.dir=template/"});
    EXPECT_EQ(read_file(data + "/theme/MAIN.BMP"), read_file(dir_ / "template/MAIN.BMP"));
    EXPECT_TRUE(wait_until([&] { return x_.screenshot(*x_.wait_window("ravlox main")).rgb != before.rgb; }))
        << "the window still shows the old theme";
    ASSERT_TRUE(write_file(dir_ / "list.m3u", "a.mp3\n"));
    handed({"--playlist.m3u=list.m3u"});
    EXPECT_TRUE(opened(a_)) << ctl({"metadata"});

    // What the running player cannot apply fails the later start, and the player goes on with
    // its list: a missing or empty playlist, an option it does not know.
    const ProgramResult missing = handed({"--playlist.m3u=missing.m3u"}, 1);
    EXPECT_NE(missing.err.find("could not apply [--playlist.m3u=missing.m3u]"), std::string::npos) << missing;
    ASSERT_TRUE(write_file(dir_ / "empty.m3u", "\n"));
    handed({"--playlist.m3u=empty.m3u"}, 1);
    handed({"--gui.nonsense=1"}, 1);
    EXPECT_TRUE(first.running()) << first.out() << first.err();
    EXPECT_TRUE(opened(a_)) << ctl({"metadata"});
    // Options nobody knows are refused before anything is handed over.
    const ProgramResult unknown = handed({"--gui.theme.dir=template/", "--nonsense"}, 1);
    EXPECT_NE(unknown.err.find("--nonsense"), std::string::npos) << unknown;
}

// Without a session bus, or with a player that runs without one, the data directory's lock
// keeps a second player out of it; it frees with the player.
TEST_F(Instance, WithoutASessionBusTheDataDirectoryIsLocked) {
    const std::string data = dir_ / "data";
    ProgramProcess first(options({a_}, data, false));
    ASSERT_TRUE(x_.wait_window("ravlox main").has_value()) << first.out() << first.err();
    ASSERT_TRUE(wait_until([&] { return path_exists(data + "/gui.config"); }));
    const std::string settings = read_file(data + "/gui.config");
    const std::string theme = dir_ / "theme";
    ASSERT_TRUE(run_program({"--gui.theme.dumptemplate=" + theme + "/"}).exited_with(0));
    for (const bool bus : {false, true}) {
        const ProgramResult second = run_program(options({"--gui.theme.dir=" + theme + "/", b_}, data, bus));
        EXPECT_TRUE(second.exited_with(1)) << second;
        EXPECT_NE(second.err.find("another player uses the data directory [" + data), std::string::npos)
            << second;
        EXPECT_EQ(x_.find_windows("ravlox main").size(), 1u);
    }
    EXPECT_TRUE(first.running()) << first.out() << first.err();
    EXPECT_EQ(read_file(data + "/gui.config"), settings);
    EXPECT_NE(read_file(data + "/theme/MAIN.BMP"), read_file(theme + "/MAIN.BMP"));

    first.stop(SIGKILL);
    ProgramProcess again(options({b_}, data, false, "again.raw"));
    EXPECT_TRUE(x_.wait_window("ravlox main").has_value()) << again.out() << again.err();
    EXPECT_TRUE(heard(b_, "again.raw")) << again.out() << again.err();
}

// Under a window manager a second start without files brings a minimised player back.
TEST(InstanceDesktop, ASecondStartWithoutFilesPresentsTheWindows) {
    Xvfb x(WindowManager::openbox);
    SessionBus bus;
    ASSERT_TRUE(x.ok() && bus.ok());
    TempDir dir{"ravlox-present"};
    ProgramOptions o;
    o.data_dir = dir / "data";
    o.display = x.display();
    o.env = bus.env();
    ProgramProcess first(o);
    const auto main = x.wait_window("ravlox main");
    ASSERT_TRUE(main.has_value()) << first.out() << first.err();
    ASSERT_TRUE(x.xdotool({"windowminimize", *main}).exited_with(0));
    ASSERT_TRUE(x.wait_window_gone("ravlox main", milliseconds(8000)));
    o.timeout = milliseconds(20000);
    const ProgramResult second = run_program(o);
    EXPECT_TRUE(second.exited_with(0)) << second;
    EXPECT_TRUE(x.wait_window("ravlox main", milliseconds(8000)).has_value()) << "still minimised";
    EXPECT_EQ(x.find_windows("ravlox main").size(), 1u);
}
