// The "Jump to file" window in the real program under openbox: opened with j from each of the
// three windows and from the main window's menu, a word typed as a typist types it, Down and
// Return play the chosen entry (heard in the file-backed device), Escape closes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gui/playlist_window_test_util.h"
#include "support/harness.h"

namespace {

using namespace plwin;

constexpr const char *JUMP = "Jump to file";

// stereo44.mp3 is heard, and nothing before it: a wrong entry played first would have gone
// on to the next ones, and so to stereo44.mp3, too.
bool stereo44_heard_first(const std::string &capture) {
    if (!heard_stereo44(capture))
        return false;
    static const ReferencePcm ref = decode_reference(fixture_path("stereo44.mp3"));
    const size_t offset = 2 * 11025; // where heard_stereo44 looks, a quarter second in
    const std::vector<int16_t> probe(ref.samples.begin() + offset, ref.samples.begin() + offset + 1024);
    const std::vector<int16_t> heard = read_samples(capture);
    const std::optional<size_t> at = find_samples(heard, probe);
    // A few frames' leeway for where the file's sound really begins.
    const size_t silent = at && *at > offset + 4096 ? *at - offset - 4096 : 0;
    for (size_t k = 0; k < silent; k++)
        if (heard[k] != 0)
            return false;
    return at.has_value();
}

class JumpToFile : public testing::Test {
protected:
    // Four entries, of which two are called stereo: stereo48.mp3 first, then stereo44.mp3.
    void start(const std::string &gui_config = "") {
        ASSERT_TRUE(x_.ok());
        data_ = dir_ / "data";
        capture_ = dir_ / "capture.raw";
        std::string m3u;
        for (const char *name : {"mono22.mp3", "stereo48.mp3", "stereo44.mp3", "mono8.mp3"})
            m3u += fixture_path(name) + "\n";
        ASSERT_TRUE(write_file(dir_ / "list.m3u", m3u));
        if (!gui_config.empty()) {
            ASSERT_EQ(mkdir(data_.c_str(), 0700), 0);
            ASSERT_EQ(mkdir((data_ + "/theme").c_str(), 0700), 0);
            ASSERT_TRUE(run_program({"--gui.theme.dumpdefault=" + data_ + "/theme/"}).exited_with(0));
            ASSERT_TRUE(write_file(data_ + "/gui.config", gui_config));
        }
        ProgramOptions o;
        o.data_dir = data_;
        o.display = x_.display();
        // Every stream the player opens is kept, so that what played before is heard too.
        o.alsa = AlsaConfig::FileAppend;
        o.capture_file = capture_;
        o.args = {"--playlist.m3u=" + (dir_ / "list.m3u")};
        p_ = std::make_unique<ProgramProcess>(o);
        auto w = x_.wait_window("ravlox main");
        ASSERT_TRUE(w.has_value()) << p_->out() << p_->err();
        main_ = *w;
        pause_ms(300);
    }

    // Sends the keys to a window of the player, activated first as a click would.
    void keys_to(const std::string &window, const std::vector<std::string> &keys) {
        std::vector<std::string> args{"windowactivate", "--sync", window, "key", "--delay", "40"};
        args.insert(args.end(), keys.begin(), keys.end());
        ASSERT_TRUE(x_.xdotool(args).exited_with(0));
    }

    // Keys to whatever has the focus (the jump window, once it is open).
    void keys(const std::vector<std::string> &keys) {
        std::vector<std::string> args{"key", "--delay", "60"};
        args.insert(args.end(), keys.begin(), keys.end());
        ASSERT_TRUE(x_.xdotool(args).exited_with(0));
    }

    // The jump window, open and focused.
    std::string jump_window() {
        auto j = x_.wait_window(JUMP, milliseconds(5000));
        EXPECT_TRUE(j.has_value()) << p_->out() << p_->err();
        if (!j)
            return "";
        EXPECT_TRUE(wait_until([&] {
            const ProgramResult r = x_.xdotool({"getwindowfocus"});
            return r.exited_with(0) && r.out.find(*j) == 0;
        }, milliseconds(3000))) << "the jump window did not take the focus";
        pause_ms(200);
        return *j;
    }

    TempDir dir_{"ravlox-jump"};
    Xvfb x_{WindowManager::openbox};
    std::string data_, capture_, main_;
    std::unique_ptr<ProgramProcess> p_;
};

TEST_F(JumpToFile, ATypedQueryDownAndReturnPlayTheSecondMatch) {
    start();
    keys_to(main_, {"j"});
    const std::string jump = jump_window();
    ASSERT_FALSE(jump.empty());
    // Both words, the second first and in capitals: stereo48.mp3 and stereo44.mp3 match, and
    // the first of them is chosen.
    ASSERT_TRUE(x_.xdotool({"type", "--delay", "40", "MP3 stereo"}).exited_with(0));
    pause_ms(200);
    keys({"Down", "Return"});
    EXPECT_TRUE(stereo44_heard_first(capture_)) << p_->out() << p_->err();
    EXPECT_TRUE(x_.wait_window_gone(JUMP, milliseconds(3000))) << "Return closes the window";
    EXPECT_TRUE(p_->running());
    EXPECT_EQ(p_->err().find("-CRITICAL"), std::string::npos) << p_->err();
    EXPECT_EQ(p_->err().find("-WARNING"), std::string::npos) << p_->err();
}

TEST_F(JumpToFile, EscapeClosesWithoutPlaying) {
    start();
    keys_to(main_, {"j"});
    ASSERT_FALSE(jump_window().empty());
    ASSERT_TRUE(x_.xdotool({"type", "--delay", "40", "stereo44"}).exited_with(0));
    keys({"Escape"});
    EXPECT_TRUE(x_.wait_window_gone(JUMP, milliseconds(3000)));
    EXPECT_FALSE(heard_stereo44(capture_, 15)) << "Escape played the entry";

    // Opened again, the search starts afresh: Return plays the first entry of the whole list.
    keys_to(main_, {"j"});
    ASSERT_FALSE(jump_window().empty());
    keys({"Down", "Down", "Return"});
    EXPECT_TRUE(stereo44_heard_first(capture_)) << "the third entry, chosen from the whole list\n" << p_->err();
}

TEST_F(JumpToFile, OpensFromTheEqualizerThePlaylistAndTheMenu) {
    start("showequalizer=TRUE\nshowplaylist=TRUE\n");
    auto eq = x_.wait_window("ravlox equalizer");
    auto pl = x_.wait_window("ravlox playlist");
    ASSERT_TRUE(eq && pl);
    pause_ms(300);

    keys_to(*eq, {"j"});
    ASSERT_FALSE(jump_window().empty()) << "from the equalizer";
    keys({"Escape"});
    ASSERT_TRUE(x_.wait_window_gone(JUMP, milliseconds(3000)));

    // The main window's menu, its second item.
    keys_to(main_, {"ctrl+o"});
    pause_ms(400);
    keys({"Down", "Down", "Return"});
    ASSERT_FALSE(jump_window().empty()) << "from the menu";
    keys({"Escape"});
    ASSERT_TRUE(x_.wait_window_gone(JUMP, milliseconds(3000)));

    // The playlist's own keys (Up, Down, Return) stay its own; j is the main window's.
    keys_to(*pl, {"j"});
    ASSERT_FALSE(jump_window().empty()) << "from the playlist";
    ASSERT_TRUE(x_.xdotool({"type", "--delay", "40", "44"}).exited_with(0));
    pause_ms(200);
    keys({"Return"});
    EXPECT_TRUE(stereo44_heard_first(capture_)) << p_->out() << p_->err();
    EXPECT_TRUE(p_->running());
}

} // namespace
