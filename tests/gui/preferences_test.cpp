// The preferences dialog under Xvfb: the real program, opened from the main window's menu,
// with the "Playlist" and "Audio" pages its modules register.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "equalizer_test_util.h"
#include "support/harness.h"

namespace {

class Preferences : public testing::Test {
protected:
    // With a stored preferences file, or with the playlist window shown.
    void start(const std::string &preferences = "", bool show_playlist = false) {
        ASSERT_TRUE(x_.ok());
        data_ = dir_ / "data";
        ProgramOptions o;
        o.data_dir = data_;
        o.display = x_.display();
        if (!preferences.empty() || show_playlist) {
            ASSERT_EQ(mkdir(data_.c_str(), 0700), 0);
            ASSERT_EQ(mkdir((data_ + "/theme").c_str(), 0700), 0);
        }
        if (!preferences.empty()) {
            ASSERT_TRUE(write_file(data_ + "/preferences.config", preferences));
        }
        if (show_playlist) {
            ASSERT_TRUE(write_file(data_ + "/gui.config", "showplaylist=TRUE\n"));
            ASSERT_TRUE(write_file(dir_ / "list.m3u", fixture_path("stereo44.mp3") + "\n"));
            o.args.push_back("--playlist.m3u=" + (dir_ / "list.m3u"));
        }
        p_ = std::make_unique<ProgramProcess>(o);
        auto w = x_.wait_window("ravlox main");
        ASSERT_TRUE(w.has_value()) << p_->out() << p_->err();
        main_ = *w;
    }

    // Opens the dialog with the main window's menu button and its first item. The menu and
    // the dialog both carry the program's name as their title; the dialog is the wide one.
    void open() {
        ASSERT_TRUE(x_.find_windows("ravlox").empty());
        auto wide = [&]() -> std::optional<std::string> {
            for (const std::string &w : x_.find_windows("ravlox")) {
                auto g = x_.window_geometry(w);
                if (g && g->width > 300) return w;
            }
            return std::nullopt;
        };
        for (int attempt = 0; attempt < 3 && !wide(); ++attempt) {
            ASSERT_TRUE(x_.click(main_, 10, 7));
            if (!wait_until([&] { return !x_.find_windows("ravlox").empty(); }, milliseconds(3000)))
                continue;
            std::this_thread::sleep_for(milliseconds(300));
            ASSERT_TRUE(x_.xdotool({"key", "Return"}).exited_with(0));
            wait_until([&] { return wide().has_value(); }, milliseconds(3000));
        }
        auto d = wide();
        ASSERT_TRUE(d.has_value()) << p_->out() << p_->err();
        dialog_ = *d;
        geometry_ = *x_.window_geometry(dialog_);
        std::this_thread::sleep_for(milliseconds(300));
    }

    // The tabs: "Playlist", then "Audio".
    void tab(int index) { ASSERT_TRUE(x_.click(dialog_, index == 0 ? 44 : 119, 18)); }

    // The three buttons share a homogeneous row of five cells at the bottom.
    void press(int cell) {
        ASSERT_TRUE(x_.click(dialog_, geometry_.width * (2 * cell + 1) / 10, geometry_.height - 16));
    }
    void okay() { press(0); }
    void apply() { press(2); }
    void cancel() { press(4); }

    bool hidden() { return x_.wait_window_gone("ravlox", milliseconds(5000)); }

    // The "Audio" page is a drop-down whose arrow sits at the right end of the page.
    bool audio_page_shown() const {
        const Image img = x_.screenshot(dialog_);
        for (int y = 38; y < 72; ++y)
            for (int x = geometry_.width - 40; x < geometry_.width - 5; ++x) {
                const Rgb c = img.pixel(x, y);
                if (c.r < 80 && c.g < 80 && c.b < 80) return true;
            }
        return false;
    }

    std::string page() const { return read_settings(data_ + "/preferences.config")["page"]; }

    TempDir dir_{"ravlox-prefs"};
    Xvfb x_;
    std::string data_;
    std::unique_ptr<ProgramProcess> p_;
    std::string main_;
    std::string dialog_;
    Geometry geometry_;
};

TEST_F(Preferences, RemembersThePageThroughEveryWayOfHiding) {
    start();
    open();
    // Bound to its file at the first showing, not at start-up.
    EXPECT_EQ(read_file(data_ + "/preferences.config"), "page=0\n");
    EXPECT_FALSE(audio_page_shown());

    tab(1);
    ASSERT_TRUE(wait_until([&] { return audio_page_shown(); }));
    cancel();
    ASSERT_TRUE(hidden());
    EXPECT_EQ(page(), "1");

    open();
    EXPECT_TRUE(wait_until([&] { return audio_page_shown(); }));
    tab(0);
    ASSERT_TRUE(wait_until([&] { return !audio_page_shown(); }));
    // The window manager's close request hides too, and remembers.
    ASSERT_TRUE(send_close_request(x_.display(), dialog_));
    ASSERT_TRUE(hidden());
    EXPECT_EQ(page(), "0");
    EXPECT_TRUE(p_->running());

    open();
    EXPECT_FALSE(audio_page_shown());
    tab(1);
    ASSERT_TRUE(wait_until([&] { return audio_page_shown(); }));
    // "Apply" leaves the dialog open on its page and stores nothing.
    apply();
    std::this_thread::sleep_for(milliseconds(500));
    EXPECT_FALSE(x_.find_windows("ravlox").empty());
    EXPECT_TRUE(audio_page_shown());
    EXPECT_EQ(page(), "0");
    okay();
    ASSERT_TRUE(hidden());
    EXPECT_EQ(page(), "1");
}

TEST_F(Preferences, StoredPageOutsideTheNotebook) {
    // Past the last page: ignored, the first page stays selected.
    start("page=7\n");
    open();
    EXPECT_FALSE(audio_page_shown());
    cancel();
    ASSERT_TRUE(hidden());
    EXPECT_EQ(page(), "0");
}

TEST_F(Preferences, NegativeStoredPageSelectsTheLast) {
    start("page=-1\n");
    open();
    EXPECT_TRUE(wait_until([&] { return audio_page_shown(); }));
    okay();
    ASSERT_TRUE(hidden());
    EXPECT_EQ(page(), "1");
}

TEST_F(Preferences, OkayAppliesThePagesAndCancelDiscards) {
    start("", true);
    auto playlist = x_.wait_window("ravlox playlist");
    ASSERT_TRUE(playlist.has_value()) << p_->out() << p_->err();
    // Without a window manager every window opens at (0, 0): move it off the main window.
    ASSERT_TRUE(x_.xdotool({"windowmove", *playlist, "0", "400"}).exited_with(0));
    std::this_thread::sleep_for(milliseconds(500));
    const Image full_path = x_.screenshot(*playlist);
    const std::string config = data_ + "/playlist.config";
    EXPECT_EQ(read_settings(config)["showfull"], "1");

    // Untick "Show full path" (the page's check button, top left) and cancel.
    open();
    ASSERT_TRUE(x_.click(dialog_, 14, 48));
    std::this_thread::sleep_for(milliseconds(300));
    cancel();
    ASSERT_TRUE(hidden());
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(read_settings(config)["showfull"], "1");
    EXPECT_EQ(x_.screenshot(*playlist).rgb, full_path.rgb);

    // Opening refreshes the page from the setting; untick again and press "Okay".
    open();
    ASSERT_TRUE(x_.click(dialog_, 14, 48));
    std::this_thread::sleep_for(milliseconds(300));
    okay();
    ASSERT_TRUE(hidden());
    EXPECT_TRUE(wait_until([&] { return read_settings(config)["showfull"] == "0"; }));
    EXPECT_TRUE(wait_until([&] { return x_.screenshot(*playlist).rgb != full_path.rgb; }));
}

// The "ReplayGain" row of the "Audio" page: the mode's drop-down and the preamp's box.
TEST_F(Preferences, ReplayGainIsStoredAndShownAgain) {
    const std::string config = dir_ / "data/audiooutout.config";
    start();
    open();
    tab(1);
    ASSERT_TRUE(wait_until([&] { return audio_page_shown(); }));
    EXPECT_EQ(read_settings(config)["replaygain"], "off");
    // The drop-down (its list opens below it), and the preamp's text typed over.
    const Image off = x_.screenshot(dialog_);
    ASSERT_TRUE(x_.click(dialog_, 137, 91));
    std::this_thread::sleep_for(milliseconds(700));
    ASSERT_TRUE(x_.click(dialog_, 117, 203));
    std::this_thread::sleep_for(milliseconds(500));
    ASSERT_TRUE(x_.click(dialog_, 270, 91));
    ASSERT_TRUE(x_.key(dialog_, "ctrl+a BackSpace"));
    ASSERT_TRUE(x_.key(dialog_, "minus 6 period 5"));
    std::this_thread::sleep_for(milliseconds(300));
    const Image album = x_.screenshot(dialog_).crop(88, 75, 98, 33);
    EXPECT_NE(album.rgb, off.crop(88, 75, 98, 33).rgb);
    // Applied with the text still being typed: it counts.
    okay();
    ASSERT_TRUE(hidden());
    EXPECT_TRUE(wait_until([&] { return read_settings(config)["replaygain"] == "album"; }));
    EXPECT_EQ(read_settings(config)["replaygain_preamp"], "-6.5");

    // The next start shows the stored setting, and "Okay" keeps it.
    p_->stop();
    start();
    open();
    ASSERT_TRUE(wait_until([&] { return audio_page_shown(); }));
    const Image shown = x_.screenshot(dialog_);
    EXPECT_EQ(shown.crop(88, 75, 98, 33).rgb, album.rgb);
    EXPECT_NE(shown.crop(248, 75, 55, 33).rgb, off.crop(248, 75, 55, 33).rgb);
    okay();
    ASSERT_TRUE(hidden());
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(read_settings(config)["replaygain"], "album");
    EXPECT_EQ(read_settings(config)["replaygain_preamp"], "-6.5");
}

} // namespace
