// The player on a private session bus, driven by the real playerctl and watched with gdbus,
// as the desktop's media keys and sound menu drive and watch it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <glib.h>

#include "support/harness.h"
#include "theme/catalogue.h"

namespace {

class Mpris : public testing::Test {
protected:
    void SetUp() override {
        if (const std::string t = missing_program({"playerctl", "gdbus", "dbus-daemon"}); !t.empty())
            GTEST_SKIP() << t << " is not installed";
        ASSERT_TRUE(x_.ok());
        ASSERT_TRUE(bus_.ok()) << "no private session bus";
    }

    // The template theme, so that the status marker can be told from the sheet's pixels.
    void start(bool with_bus = true) {
        const std::string theme = dir_ / "template";
        ASSERT_TRUE(run_program({"--gui.theme.dumptemplate=" + theme + "/"}).exited_with(0));
        sheet_ = Image::load(theme + "/" + THEME_BITMAPS[THEME_ELEMENTS[183].bitmap].name);
        ASSERT_FALSE(sheet_.empty());
        data_ = dir_ / "data";
        mkdir(data_.c_str(), 0700);
        mkdir((data_ + "/theme").c_str(), 0700);
        const std::string m3u = dir_ / "list.m3u";
        ASSERT_TRUE(write_file(m3u, fixture_path("stereo44.mp3") + "\n" + fixture_path("tagged.mp3") + "\n"));
        ProgramOptions o;
        o.data_dir = data_;
        o.display = x_.display();
        o.alsa = AlsaConfig::FileAppend; // the output may reopen its stream after a pause
        o.capture_file = dir_ / "capture.raw";
        o.args = {"--gui.theme.dir=" + theme, "--playlist.m3u=" + m3u};
        if (with_bus)
            o.env = bus_.env();
        p_ = std::make_unique<ProgramProcess>(o);
        auto w = x_.wait_window("ravlox main");
        ASSERT_TRUE(w.has_value()) << p_->out() << p_->err();
        win_ = *w;
        if (with_bus) {
            ASSERT_TRUE(wait_until([&] { return has_line(ctl({"-l"}).out, "ravlox"); }))
                << p_->out() << p_->err();
        }
    }

    ProgramResult ctl(std::vector<std::string> args) { return bus_.playerctl(args); }
    std::string ctl_out(std::vector<std::string> args) { return bus_.playerctl_out(args); }
    bool ctl_says(std::vector<std::string> args, const std::string &want) {
        return wait_until([&] { return ctl_out(args) == want; });
    }

    // The window shows the status marker `element` at its place, (24, 18).
    bool marker_is(int element) {
        const tThemeElement &e = THEME_ELEMENTS[element];
        return wait_until([&] {
            Image s = x_.screenshot(win_);
            for (int y = 0; y < e.height; y++)
                for (int x = 0; x < e.width; x++)
                    if (!(s.pixel(24 + x, 18 + y) == sheet_.pixel(e.source_x + x, e.source_y + y)))
                        return false;
            return true;
        });
    }

    bool sound_after(size_t from) {
        return wait_until([&] {
            auto samples = read_samples(dir_ / "capture.raw");
            for (size_t k = from; k < samples.size(); k++)
                if (samples[k] != 0)
                    return true;
            return false;
        });
    }

    bool config_has(const std::string &file, const std::string &line) {
        return wait_until([&] { return has_line(read_file(data_ + "/" + file), line); });
    }

    void click(int x, int y) { ASSERT_TRUE(x_.click(win_, x, y)); }

    TempDir dir_{"ravlox-mpris"};
    SessionBus bus_;
    Xvfb x_;
    Image sheet_;
    std::string data_;
    std::string win_;
    std::unique_ptr<ProgramProcess> p_;
};

} // namespace

TEST_F(Mpris, PlayerctlDrivesThePlayer) {
    start();
    EXPECT_TRUE(ctl_says({"status"}, "Stopped")) << "the first entry is open, not playing";
    EXPECT_TRUE(marker_is(186));

    ASSERT_TRUE(ctl({"play"}).exited_with(0));
    EXPECT_TRUE(marker_is(183)) << "play";
    EXPECT_TRUE(ctl_says({"status"}, "Playing"));
    EXPECT_TRUE(sound_after(0)) << "no sound reached the device\n" << p_->out() << p_->err();

    ASSERT_TRUE(ctl({"pause"}).exited_with(0));
    EXPECT_TRUE(marker_is(184)) << "pause";
    EXPECT_TRUE(ctl_says({"status"}, "Paused"));
    // Paused, nothing but silence follows once the buffers have drained.
    std::this_thread::sleep_for(milliseconds(500));
    const size_t paused_at = read_samples(dir_ / "capture.raw").size();
    std::this_thread::sleep_for(milliseconds(500));
    auto after = read_samples(dir_ / "capture.raw");
    for (size_t k = paused_at; k < after.size(); k++)
        ASSERT_EQ(after[k], 0) << "sound while paused, sample " << k;

    ASSERT_TRUE(ctl({"position", "1"}).exited_with(0));
    EXPECT_TRUE(ctl_says({"position"}, "1.000000")) << "seek to second 1";
    ASSERT_TRUE(ctl({"play"}).exited_with(0));
    EXPECT_TRUE(sound_after(after.size())) << "playing again from second 1";

    ASSERT_TRUE(ctl({"stop"}).exited_with(0));
    EXPECT_TRUE(marker_is(185)) << "stop";
    EXPECT_TRUE(ctl_says({"status"}, "Stopped"));
    EXPECT_TRUE(ctl_says({"position"}, "0.000000")) << "stop rewinds";

    // The second entry, made by lame with --tt, --ta and --tl.
    ASSERT_TRUE(ctl({"next"}).exited_with(0));
    EXPECT_TRUE(marker_is(187)) << "next while stopped: ready";
    EXPECT_TRUE(wait_until([&] {
        const std::string m = ctl_out({"metadata"});
        return m.find("xesam:title               Fixture Title") != std::string::npos &&
               m.find("xesam:artist              Fixture Artist") != std::string::npos &&
               m.find("xesam:album               Fixture Album") != std::string::npos &&
               m.find("mpris:length              1000000") != std::string::npos;
    })) << ctl_out({"metadata"});
    EXPECT_TRUE(ctl_says({"metadata", "--format", "{{xesam:url}}"}, "file://" + fixture_path("tagged.mp3")));

    // Back to the first entry, which has no tags: its file name is its title.
    ASSERT_TRUE(ctl({"previous"}).exited_with(0));
    EXPECT_TRUE(ctl_says({"metadata", "--format", "{{xesam:title}} {{mpris:length}}"}, "stereo44.mp3 3000000"));

    ASSERT_TRUE(ctl({"volume", "0.5"}).exited_with(0));
    EXPECT_TRUE(config_has("audiooutout.config", "volume=50"));
    EXPECT_TRUE(ctl_says({"volume"}, "0.500000"));

    ASSERT_TRUE(ctl({"shuffle", "On"}).exited_with(0));
    ASSERT_TRUE(ctl({"loop", "Playlist"}).exited_with(0));
    EXPECT_TRUE(config_has("windowmain.config", "shuffle=ON"));
    EXPECT_TRUE(config_has("windowmain.config", "repeat=ON"));
    ctl({"loop", "Track"}); // no repeat of one track: refused, the switch stays
    EXPECT_TRUE(ctl_says({"loop"}, "Playlist"));

    // A file from outside is added to the list and played.
    ASSERT_TRUE(ctl({"open", "file://" + fixture_path("mono22.mp3")}).exited_with(0));
    EXPECT_TRUE(ctl_says({"metadata", "--format", "{{xesam:title}}"}, "mono22.mp3"));
    EXPECT_TRUE(ctl_says({"status"}, "Playing"));
    EXPECT_TRUE(marker_is(183));

    // Another format: its Vorbis comments give what ID3 gives, and the track and year.
    ASSERT_TRUE(ctl({"open", "file://" + fixture_path("tagged.flac")}).exited_with(0));
    EXPECT_TRUE(ctl_says({"metadata", "--format",
                          "{{xesam:artist}} - {{xesam:title}} / {{xesam:album}} {{xesam:trackNumber}} "
                          "{{xesam:contentCreated}}"},
                         "Flac Artist - Flac Title / Flac Album 7 2019-01-01T00:00:00Z"))
        << ctl_out({"metadata"});
}

// Requests a careless or hostile client may send: bounded, or refused with the state kept.
TEST_F(Mpris, OutOfRangeRequestsAreBoundedOrRefused) {
    start();
    const auto call = [&](std::vector<std::string> args) {
        std::vector<std::string> argv = {"gdbus", "call", "--session", "--dest", "org.mpris.MediaPlayer2.ravlox",
                                         "--object-path", "/org/mpris/MediaPlayer2", "--method"};
        argv.insert(argv.end(), args.begin(), args.end());
        return run_command(argv, bus_.env(), milliseconds(10000));
    };
    const auto set_volume = [&](const std::string &value) {
        return call({"org.freedesktop.DBus.Properties.Set", "org.mpris.MediaPlayer2.Player", "Volume", value});
    };
    const std::string url = "{{xesam:url}}";

    ASSERT_TRUE(ctl({"play"}).exited_with(0));
    EXPECT_TRUE(ctl_says({"metadata", "--format", url}, "file://" + fixture_path("stereo44.mp3")));
    // Far past the end is past the end: the next entry, not a wrapped-round rewind.
    ASSERT_TRUE(call({"org.mpris.MediaPlayer2.Player.Seek", "9223372036854775807"}).exited_with(0));
    EXPECT_TRUE(ctl_says({"metadata", "--format", url}, "file://" + fixture_path("tagged.mp3")));
    ASSERT_TRUE(call({"org.mpris.MediaPlayer2.Player.Seek", "--", "-9223372036854775808"}).exited_with(0));
    EXPECT_TRUE(ctl_says({"position"}, "0.000000"));
    EXPECT_TRUE(ctl_says({"metadata", "--format", url}, "file://" + fixture_path("tagged.mp3")));

    ASSERT_TRUE(set_volume("<0.5>").exited_with(0));
    EXPECT_TRUE(config_has("audiooutout.config", "volume=50"));
    const ProgramResult nan = set_volume("<nan>");
    EXPECT_FALSE(nan.exited_with(0)) << nan;
    EXPECT_NE(nan.err.find("not a number"), std::string::npos) << nan;
    ASSERT_TRUE(set_volume("<-inf>").exited_with(0));
    EXPECT_TRUE(config_has("audiooutout.config", "volume=0"));
    ASSERT_TRUE(set_volume("<inf>").exited_with(0));
    EXPECT_TRUE(config_has("audiooutout.config", "volume=100"));

    // Another machine's file is not the local one of the same name.
    const std::string mono = fixture_path("mono22.mp3");
    const ProgramResult remote_call = call({"org.mpris.MediaPlayer2.Player.OpenUri", "file://otherhost" + mono});
    EXPECT_FALSE(remote_call.exited_with(0)) << remote_call;
    EXPECT_EQ(ctl_out({"metadata", "--format", url}), "file://" + fixture_path("tagged.mp3"));
    EXPECT_NE(p_->err().find("not a local file [file://otherhost" + mono + "]"), std::string::npos) << p_->err();
    ASSERT_TRUE(call({"org.mpris.MediaPlayer2.Player.OpenUri", "file://localhost" + mono}).exited_with(0));
    EXPECT_TRUE(ctl_says({"metadata", "--format", url}, "file://" + mono));
}

// A replacing playlist that adds nothing leaves the list as it was.
TEST_F(Mpris, AnEmptyPlaylistKeepsTheList) {
    start();
    const std::string empty = dir_ / "empty.m3u";
    ASSERT_TRUE(write_file(empty, "\n\n"));
    const ProgramResult open = ctl({"open", "file://" + empty});
    EXPECT_TRUE(ctl_says({"metadata", "--format", "{{xesam:url}}"}, "file://" + fixture_path("stereo44.mp3")))
        << open;
    ASSERT_TRUE(ctl({"next"}).exited_with(0));
    EXPECT_TRUE(ctl_says({"metadata", "--format", "{{xesam:url}}"}, "file://" + fixture_path("tagged.mp3")))
        << "the list's second entry is still there";
}

TEST_F(Mpris, TheBusFollowsTheWindow) {
    start();
    const ProgramResult introspect =
        run_command({"gdbus", "introspect", "--session", "--dest", "org.mpris.MediaPlayer2.ravlox",
                     "--object-path", "/org/mpris/MediaPlayer2"},
                    bus_.env());
    ASSERT_TRUE(introspect.exited_with(0)) << introspect;
    EXPECT_NE(introspect.out.find("interface org.mpris.MediaPlayer2 {"), std::string::npos);
    EXPECT_NE(introspect.out.find("interface org.mpris.MediaPlayer2.Player {"), std::string::npos);
    EXPECT_NE(introspect.out.find("Seeked("), std::string::npos);

    click(50, 96); // play
    EXPECT_TRUE(ctl_says({"status"}, "Playing"));

    ProgramOptions o;
    o.program = program_path("gdbus");
    o.args = {"monitor", "--session", "--dest", "org.mpris.MediaPlayer2.ravlox"};
    o.env = bus_.env();
    ProgramProcess monitor(o);
    ASSERT_TRUE(monitor.wait_for_output("is owned by", milliseconds(8000))) << monitor.out() << monitor.err();
    click(73, 96); // pause
    EXPECT_TRUE(monitor.wait_for_output("'PlaybackStatus': <'Paused'>", milliseconds(8000))) << monitor.out();
    EXPECT_NE(monitor.out().find("PropertiesChanged ('org.mpris.MediaPlayer2.Player'"), std::string::npos);
    click(224, 96); // repeat: a switch the window keeps to itself, still announced
    EXPECT_TRUE(monitor.wait_for_output("'LoopStatus': <'Playlist'>", milliseconds(8000))) << monitor.out();
    ASSERT_TRUE(x_.key(win_, "Up")); // volume from 100 stays 100: nothing to announce
    ASSERT_TRUE(x_.key(win_, "Down"));
    EXPECT_TRUE(monitor.wait_for_output("'Volume': <0.9", milliseconds(8000))) << monitor.out();
    EXPECT_TRUE(ctl_says({"loop"}, "Playlist"));
}

TEST_F(Mpris, WithoutASessionBusOneLineAndOn) {
    start(false);
    ASSERT_TRUE(marker_is(186)) << "the window is drawn";
    click(50, 96);
    EXPECT_TRUE(marker_is(183)) << "the window works as before";
    const std::string out = p_->out();
    const std::string line = "desktop media controls are off: no session bus";
    EXPECT_TRUE(has_line(out, line)) << out;
    EXPECT_EQ(out.find(line), out.rfind(line));
    EXPECT_FALSE(has_line(ctl({"-l"}).out, "ravlox"));
}
