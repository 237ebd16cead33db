// The list kept between runs, with the real player on a private session bus: driven and read
// back with playerctl, restarted, killed, and given lists on its command line.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "playlist/playlist.h"
#include "support/harness.h"

namespace {

class KeptRun : public testing::Test {
protected:
    void SetUp() override {
        if (const std::string t = missing_program({"playerctl", "gdbus", "dbus-daemon"}); !t.empty())
            GTEST_SKIP() << t << " is not installed";
        ASSERT_TRUE(x_.ok());
        ASSERT_TRUE(bus_.ok()) << "no private session bus";
        data_ = dir_ / "data";
        kept_ = data_ + "/playlist.m3u8";
    }

    void start(std::vector<std::string> args) {
        p_.reset();
        ASSERT_TRUE(x_.wait_window_gone("ravlox main", milliseconds(5000)));
        ProgramOptions o;
        o.data_dir = data_;
        o.display = x_.display();
        o.alsa = AlsaConfig::FileAppend;
        o.capture_file = dir_ / "capture.raw";
        o.args = std::move(args);
        o.env = bus_.env();
        p_ = std::make_unique<ProgramProcess>(o);
        // A loaded machine and the sanitizers make a start slow.
        ASSERT_TRUE(x_.wait_window("ravlox main", milliseconds(60000)).has_value()) << p_->out() << p_->err();
        ASSERT_TRUE(wait_until([&] { return has_line(ctl({"-l"}).out, "ravlox"); })) << p_->out() << p_->err();
    }

    // A data directory made beforehand, to put files in before the first start.
    void make_data_dir() {
        ASSERT_EQ(mkdir(data_.c_str(), 0700), 0);
        ASSERT_EQ(mkdir((data_ + "/theme").c_str(), 0700), 0);
    }

    // Quits as the bus asks a player to, and waits for the end.
    void quit() {
        run_command({"gdbus", "call", "--session", "--dest", "org.mpris.MediaPlayer2.ravlox", "--object-path",
                     "/org/mpris/MediaPlayer2", "--method", "org.mpris.MediaPlayer2.Quit"},
                    bus_.env(), milliseconds(10000));
        const auto end = p_->wait(milliseconds(10000));
        ASSERT_TRUE(end.has_value() && end->exited_with(0)) << p_->err();
    }

    ProgramResult ctl(std::vector<std::string> args) { return bus_.playerctl(args); }
    std::string ctl_out(std::vector<std::string> args) { return bus_.playerctl_out(args); }
    bool ctl_says(std::vector<std::string> args, const std::string &want) {
        return wait_until([&] { return ctl_out(args) == want; });
    }
    std::string url() { return ctl_out({"metadata", "--format", "{{xesam:url}}"}); }
    bool at(const std::string &path) {
        return wait_until([&] { return url() == "file://" + path; });
    }
    // The kept list holds these lines, one after the other, once its batched save is done.
    bool kept_has(const std::string &lines) {
        return wait_until([&] { return ("\n" + read_file(kept_)).find("\n" + lines) != std::string::npos; });
    }
    std::string list(const std::string &name, const std::vector<std::string> &lines) {
        std::string text;
        for (const std::string &l : lines)
            text += l + "\n";
        EXPECT_TRUE(write_file(dir_ / name, text));
        return dir_ / name;
    }

    TempDir dir_{"ravlox-kept"};
    SessionBus bus_;
    Xvfb x_;
    std::string data_;
    std::string kept_;
    std::unique_ptr<ProgramProcess> p_;
};

} // namespace

TEST_F(KeptRun, ARestartComesBackAtTheSecondEntryAtItsSecondNotPlaying) {
    const std::string m3u =
        list("three.m3u", {fixture_path("stereo44.mp3"), fixture_path("long80.mp3"), fixture_path("tagged.mp3")});
    start({"--playlist.m3u=" + m3u});
    ASSERT_TRUE(ctl({"next"}).exited_with(0));
    ASSERT_TRUE(at(fixture_path("long80.mp3")));
    // Paused there, as a listener leaves a long track.
    ASSERT_TRUE(ctl({"play"}).exited_with(0));
    ASSERT_TRUE(ctl({"pause"}).exited_with(0));
    ASSERT_TRUE(ctl_says({"status"}, "Paused"));
    ASSERT_TRUE(ctl({"position", "70"}).exited_with(0));
    ASSERT_TRUE(ctl_says({"position"}, "70.000000")) << ctl_out({"position"});
    // Saved a moment after the change, without waiting for a quit: a kill loses nothing.
    ASSERT_TRUE(kept_has("#RAVLOX-CURRENT:1\n#RAVLOX-POSITION:70\n#RAVLOX-ENTRIES:3\n")) << read_file(kept_);
    p_->stop(SIGKILL);
    const size_t heard = read_samples(dir_ / "capture.raw").size();

    start({});
    EXPECT_TRUE(at(fixture_path("long80.mp3"))) << url() << p_->err();
    EXPECT_TRUE(ctl_says({"position"}, "70.000000"));
    EXPECT_TRUE(ctl_says({"status"}, "Paused"));
    // And it stays there: nothing plays by itself.
    std::this_thread::sleep_for(milliseconds(1500));
    EXPECT_EQ(ctl_out({"status"}), "Paused");
    EXPECT_EQ(ctl_out({"position"}), "70.000000");
    const std::vector<int16_t> samples = read_samples(dir_ / "capture.raw");
    for (size_t k = heard; k < samples.size(); k++)
        ASSERT_EQ(samples[k], 0) << "sound before Play, sample " << k;
    // Play goes on from there.
    ASSERT_TRUE(ctl({"play"}).exited_with(0));
    EXPECT_TRUE(wait_until([&] { return atof(ctl_out({"position"}).c_str()) >= 71.0; })) << ctl_out({"position"});
    EXPECT_TRUE(at(fixture_path("long80.mp3")));
}

TEST_F(KeptRun, ADamagedListIsSetAsideAndTheStartGoesOn) {
    std::string garbage(4000, '\0');
    for (size_t k = 0; k < garbage.size(); k++)
        garbage[k] = static_cast<char>((k * 7919 + 13) % 251);
    make_data_dir();
    ASSERT_TRUE(write_file(kept_, garbage));
    start({});
    const std::string line = "the kept playlist [" + kept_ + "] is damaged: set aside as [" + kept_ + ".damaged]\n";
    EXPECT_TRUE(p_->wait_for_output(line, milliseconds(5000), true)) << p_->err();
    EXPECT_EQ(read_file(kept_ + ".damaged"), garbage);
    EXPECT_TRUE(ctl_says({"status"}, "Stopped"));
    EXPECT_EQ(url(), "") << "the list is empty";
    // The player goes on as after any start, and keeps its new list.
    ASSERT_TRUE(ctl({"open", "file://" + fixture_path("long80.mp3")}).exited_with(0));
    ASSERT_TRUE(at(fixture_path("long80.mp3")));
    ASSERT_TRUE(ctl({"pause"}).exited_with(0));
    ASSERT_TRUE(kept_has(fixture_path("long80.mp3") + "\n")) << read_file(kept_);
    ASSERT_TRUE(kept_has("#RAVLOX-ENTRIES:1\n"));
    EXPECT_TRUE(p_->running());

    // A list cut short, as a disk that failed under it leaves it: set aside too.
    const std::string whole = read_file(kept_);
    p_->stop(SIGKILL);
    const std::string cut = whole.substr(0, whole.size() / 2);
    ASSERT_TRUE(write_file(kept_, cut));
    start({});
    EXPECT_TRUE(p_->wait_for_output(line, milliseconds(5000), true)) << p_->err();
    EXPECT_EQ(read_file(kept_ + ".damaged"), cut);
    EXPECT_EQ(url(), "");
    EXPECT_EQ(p_->err().find("damaged", p_->err().find(line) + line.size()), std::string::npos)
        << "one line: " << p_->err();
}

TEST_F(KeptRun, WithTheSettingOffNothingIsSavedOrRestored) {
    make_data_dir();
    ASSERT_TRUE(write_file(data_ + "/playlist.config", "remember=0\n"));
    // A list an earlier run kept, while the setting was on.
    const std::string earlier = "#EXTM3U\n#EXTINF:-1,\n" + fixture_path("long80.mp3") +
                                "\n#RAVLOX-CURRENT:0\n#RAVLOX-POSITION:5\n#RAVLOX-ENTRIES:1\n";
    ASSERT_TRUE(write_file(kept_, earlier));
    const std::string m3u = list("two.m3u", {fixture_path("stereo44.mp3"), fixture_path("long80.mp3")});
    start({"--playlist.m3u=" + m3u});
    ASSERT_TRUE(ctl({"next"}).exited_with(0));
    ASSERT_TRUE(ctl({"position", "20"}).exited_with(0));
    ASSERT_TRUE(ctl({"pause"}).exited_with(0));
    ASSERT_TRUE(ctl_says({"position"}, "20.000000"));
    std::this_thread::sleep_for(milliseconds(2500)); // past any batched save
    quit();
    EXPECT_EQ(read_file(kept_), earlier);
    EXPECT_TRUE(has_line(read_file(data_ + "/playlist.config"), "remember=0"));

    start({});
    EXPECT_TRUE(ctl_says({"status"}, "Stopped"));
    EXPECT_EQ(url(), "") << "nothing restored";
    quit();
    EXPECT_EQ(read_file(kept_), earlier);
    for (const std::string &name : list_dir(data_))
        EXPECT_EQ(name.find(".saving-"), std::string::npos) << name;
}

TEST_F(KeptRun, ListsFromTheCommandLineReplaceTheKeptOne) {
    const std::string first = list("first.m3u", {fixture_path("stereo44.mp3"), fixture_path("long80.mp3")});
    start({"--playlist.m3u=" + first});
    ASSERT_TRUE(ctl({"next"}).exited_with(0));
    ASSERT_TRUE(at(fixture_path("long80.mp3")));
    quit();
    ASSERT_TRUE(has_line(read_file(kept_), "#RAVLOX-CURRENT:1")) << read_file(kept_);

    const std::string second = list("second.m3u", {fixture_path("tagged.mp3"), fixture_path("mono22.mp3")});
    start({"--playlist.m3u=" + second});
    EXPECT_TRUE(at(fixture_path("tagged.mp3"))) << "the given list's first entry, not the kept one's";
    EXPECT_TRUE(ctl_says({"status"}, "Stopped"));
    ASSERT_TRUE(kept_has(fixture_path("tagged.mp3") + "\n")) << "kept from now on, before any quit";
    quit();
    std::string text = read_file(kept_);
    EXPECT_TRUE(has_line(text, fixture_path("mono22.mp3"))) << text;
    EXPECT_FALSE(has_line(text, fixture_path("long80.mp3"))) << text;

    // A file argument is a list of its own, and plays as before.
    start({fixture_path("mono8.mp3")});
    EXPECT_TRUE(at(fixture_path("mono8.mp3")));
    quit();
    text = read_file(kept_);
    EXPECT_TRUE(has_line(text, fixture_path("mono8.mp3"))) << text;
    EXPECT_FALSE(has_line(text, fixture_path("tagged.mp3"))) << text;
    EXPECT_TRUE(has_line(text, "#RAVLOX-ENTRIES:1")) << text;

    // A name mistyped replaces nothing: the kept list comes back.
    start({(dir_ / "no such file.mp3")});
    EXPECT_TRUE(at(fixture_path("mono8.mp3"))) << p_->err();
    EXPECT_NE(p_->err().find("cannot open [" + (dir_ / "no such file.mp3") + "]"), std::string::npos) << p_->err();
    quit();
    EXPECT_EQ(read_file(kept_), text);
}

// Killed while it saves a large list, the player leaves the last whole list, and its next
// start reads it without a word about damage.
TEST_F(KeptRun, AKillDuringASaveLeavesAWholeList) {
    constexpr int ENTRIES = PLAYLIST_CAPACITY;
    std::string text = fixture_path("long80.mp3") + "\n" + fixture_path("stereo44.mp3") + "\n";
    for (int i = 2; i < ENTRIES; i++)
        text += "/music/" + std::to_string(i) + "/" + std::string(600, 'x') + ".mp3\n";
    ASSERT_TRUE(write_file(dir_ / "big.m3u", text));
    start({"--playlist.m3u=" + (dir_ / "big.m3u")});
    const std::string whole_end = "#RAVLOX-ENTRIES:" + std::to_string(ENTRIES) + "\n";
    ASSERT_TRUE(wait_until([&] { return read_file(kept_).ends_with(whole_end); }, milliseconds(20000)));

    bool caught = false;
    for (int round = 0; round < 3 && !caught; round++) {
        ASSERT_TRUE(ctl({round % 2 == 0 ? "next" : "previous"}).exited_with(0));
        // Killed once the new list is on its way beside the old one.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!caught && std::chrono::steady_clock::now() < until) {
            for (const std::string &name : list_dir(data_))
                if (name.starts_with("playlist.m3u8.saving-") && file_size(data_ + "/" + name) > 0)
                    caught = true;
        }
        if (!caught)
            std::this_thread::sleep_for(milliseconds(2500)); // that save is over: try another
    }
    p_->stop(SIGKILL);
    if (!caught)
        GTEST_SKIP() << "every save was over before it could be caught";

    auto store = static_cast<tHandlePlaylist *>(calloc(1, sizeof(tHandlePlaylist)));
    ASSERT_NE(store, nullptr);
    int32_t position = -1;
    EXPECT_EQ(playlist_read_kept(store, kept_.c_str(), &position), 0);
    EXPECT_EQ(store->count, ENTRIES);
    free(store);

    start({});
    EXPECT_TRUE(wait_until([&] { return !url().empty(); })) << p_->err();
    EXPECT_EQ(p_->err().find("damaged"), std::string::npos) << p_->err();
    // What the killed save left beside the list goes with the next save.
    ASSERT_TRUE(ctl({"next"}).exited_with(0));
    EXPECT_TRUE(wait_until([&] {
        for (const std::string &name : list_dir(data_))
            if (name.find(".saving-") != std::string::npos)
                return false;
        return read_file(kept_).ends_with(whole_end);
    }, milliseconds(20000)));
}
