// Keys as typists and key-injection tools send them: the key machine on its own, then the real
// program under a window manager (Control let go of first, Caps Lock, the main window's keys
// from the other windows, the playlist's own keys), and the playlist's line arithmetic.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "gui/keys.h"
#include "gui/playlist_window_test_util.h"
#include "playlist/playlist.h"
#include "support/live_handle.h"

namespace {

using namespace plwin;

// ---------------------------------------------------------------------------
// The machine with recording targets

struct Recorder {
    int32_t pressed = 0;
    std::vector<int32_t> released; // ids handed to the release, 0 for an ended press
    int redraws = 0;
};

int32_t record_release(void *r, int32_t id) {
    auto *rec = static_cast<Recorder *>(r);
    rec->released.push_back(id);
    rec->pressed = 0;
    return 0;
}

int32_t record_redraw(void *r) {
    static_cast<Recorder *>(r)->redraws++;
    return 0;
}

constexpr tKeyRow OWN_ROWS[] = {{GDK_KEY_Up, 0, 80}, {GDK_KEY_a, GDK_CONTROL_MASK, 88}};
constexpr tKeyRow MAIN_ROWS[] = {{GDK_KEY_d, GDK_CONTROL_MASK, 4}, {GDK_KEY_x, 0, 9},
                                 {GDK_KEY_Up, 0, 76}, {GDK_KEY_a, GDK_CONTROL_MASK, 2}};
constexpr uint32_t CONTROL_L = 37, KEY_D = 40, KEY_X = 53, KEY_UP = 111, KEY_Q = 24;

struct Machine {
    Recorder own, main;
    tKeyMachine m{};
    Machine() {
        keys_init(&m, {&own, &own.pressed, record_release, record_redraw, OWN_ROWS, 2});
        keys_add_target(&m, {&main, &main.pressed, record_release, record_redraw, MAIN_ROWS, 4});
    }
};

TEST(KeyMachine, RowsAreChosenAtThePressAndCarriedOutByTheSameKey) {
    Machine k;
    // Control down, d down, Control up, d up: the row chosen with Control held acts.
    keys_press(&k.m, GDK_KEY_Control_L, CONTROL_L, 0);
    EXPECT_EQ(keys_press(&k.m, GDK_KEY_d, KEY_D, GDK_CONTROL_MASK), 1);
    EXPECT_EQ(k.main.pressed, 4) << "the pressed look shows while the key is held";
    EXPECT_EQ(keys_release(&k.m, CONTROL_L), 0);
    EXPECT_EQ(k.main.pressed, 4);
    EXPECT_EQ(keys_release(&k.m, KEY_D), 1);
    EXPECT_EQ(k.main.released, std::vector<int32_t>{4});

    // The window's own rows come first; the others fall through to the main window's.
    keys_press(&k.m, GDK_KEY_Up, KEY_UP, 0);
    keys_release(&k.m, KEY_UP);
    keys_press(&k.m, GDK_KEY_a, 38, GDK_CONTROL_MASK);
    keys_release(&k.m, 38);
    EXPECT_EQ(k.own.released, (std::vector<int32_t>{80, 88}));
    EXPECT_EQ(k.main.released.size(), 1u);

    // One key at a time: x pressed while d is held is refused; d's release acts alone, and a
    // later press of x is taken again.
    keys_press(&k.m, GDK_KEY_d, KEY_D, GDK_CONTROL_MASK);
    keys_press(&k.m, GDK_KEY_x, KEY_X, 0);
    keys_release(&k.m, KEY_X);
    keys_press(&k.m, GDK_KEY_d, KEY_D, GDK_CONTROL_MASK); // the held key's repeat
    keys_release(&k.m, KEY_D);
    EXPECT_EQ(k.main.released, (std::vector<int32_t>{4, 4}));
    keys_press(&k.m, GDK_KEY_x, KEY_X, GDK_CONTROL_MASK); // no mask: any modifiers
    keys_release(&k.m, KEY_X);
    EXPECT_EQ(k.main.released, (std::vector<int32_t>{4, 4, 9}));
}

TEST(KeyMachine, PointerPressesAndKeysOfNoRow) {
    Machine k;
    // The pointer holds a press: a key of a row leaves it, and any key let go of ends it
    // without its action.
    k.own.pressed = 43;
    EXPECT_EQ(keys_press(&k.m, GDK_KEY_Up, KEY_UP, 0), 1);
    EXPECT_EQ(k.own.pressed, 43);
    keys_release(&k.m, KEY_UP);
    EXPECT_EQ(k.own.released, std::vector<int32_t>{0});
    k.own.pressed = 43;
    EXPECT_EQ(keys_press(&k.m, GDK_KEY_q, KEY_Q, 0), 1) << "taken: its release ends the press";
    keys_release(&k.m, KEY_Q);
    EXPECT_EQ(k.own.released, (std::vector<int32_t>{0, 0}));
    // Idle, a key of no row is not taken and changes nothing.
    EXPECT_EQ(keys_press(&k.m, GDK_KEY_q, KEY_Q, 0), 0);
    EXPECT_EQ(keys_release(&k.m, KEY_Q), 0);
    EXPECT_EQ(k.own.released.size(), 2u);
    EXPECT_TRUE(k.main.released.empty());
}

TEST(KeyMachine, CapsLockAloneGivesTheLowerCaseKey) {
    constexpr uint32_t LOCK = GDK_LOCK_MASK, SHIFT = GDK_SHIFT_MASK, CONTROL = GDK_CONTROL_MASK;
    EXPECT_EQ(keys_lookup(MAIN_ROWS, 4, GDK_KEY_X, LOCK), 9);
    EXPECT_EQ(keys_lookup(MAIN_ROWS, 4, GDK_KEY_D, LOCK | CONTROL), 4);
    EXPECT_EQ(keys_lookup(MAIN_ROWS, 4, GDK_KEY_X, SHIFT), 0) << "Shift with a letter";
    EXPECT_EQ(keys_lookup(MAIN_ROWS, 4, GDK_KEY_x, LOCK | SHIFT), 0) << "Caps Lock and Shift";
    EXPECT_EQ(keys_lookup(MAIN_ROWS, 4, GDK_KEY_Up, LOCK | SHIFT), 76) << "not a letter";
    EXPECT_EQ(keys_lookup(MAIN_ROWS, 4, GDK_KEY_d, 0), 0) << "Control rows need Control";
}

// ---------------------------------------------------------------------------
// The real program under openbox

void send_keys(const Xvfb &x, const std::string &window, const std::vector<std::string> &keys) {
    std::vector<std::string> args{"windowactivate", "--sync", window, "key", "--delay", "40"};
    args.insert(args.end(), keys.begin(), keys.end());
    ASSERT_TRUE(x.xdotool(args).exited_with(0));
}

class KeysUnderOpenbox : public testing::Test {
protected:
    // The program with stereo44.mp3 opened (not playing) and the file-backed sound device.
    void start(const std::string &gui_config = "") {
        ASSERT_TRUE(x_.ok());
        data_ = dir_ / "data";
        capture_ = dir_ / "capture.raw";
        ASSERT_TRUE(write_file(dir_ / "list.m3u", fixture_path("stereo44.mp3") + "\n"));
        ProgramOptions o;
        o.data_dir = data_;
        o.display = x_.display();
        o.alsa = AlsaConfig::File;
        o.capture_file = capture_;
        o.args = {"--playlist.m3u=" + (dir_ / "list.m3u")};
        if (!gui_config.empty()) {
            // A data directory made here gets no theme from the program: the default one.
            ASSERT_EQ(mkdir(data_.c_str(), 0700), 0);
            ASSERT_EQ(mkdir((data_ + "/theme").c_str(), 0700), 0);
            ASSERT_TRUE(run_program({"--gui.theme.dumpdefault=" + data_ + "/theme/"}).exited_with(0));
            ASSERT_TRUE(write_file(data_ + "/gui.config", gui_config));
        }
        p_ = std::make_unique<ProgramProcess>(o);
        auto w = x_.wait_window("ravlox main");
        ASSERT_TRUE(w.has_value()) << p_->out() << p_->err();
        main_ = *w;
        ASSERT_TRUE(size_is(275, 116));
        pause_ms(200);
    }

    bool size_is(int width, int height) {
        return wait_until([&] {
            auto g = x_.window_geometry(main_);
            return g && g->width == width && g->height == height;
        });
    }

    TempDir dir_{"ravlox-keys"};
    Xvfb x_{WindowManager::openbox};
    std::string data_, capture_, main_;
    std::unique_ptr<ProgramProcess> p_;
};

TEST_F(KeysUnderOpenbox, ControlLetGoOfFirstStillActs) {
    start();
    send_keys(x_, main_, {"ctrl+d"});
    EXPECT_TRUE(size_is(550, 232));
    EXPECT_TRUE(wait_until([&] {
        return read_file(data_ + "/gui.config").find("scalefactor=2\n") != std::string::npos;
    })) << read_file(data_ + "/gui.config");

    // The options menu, its first item: the preferences, the wide window of that title.
    send_keys(x_, main_, {"ctrl+o"});
    ASSERT_TRUE(wait_until([&] { return !x_.find_windows("ravlox").empty(); }, milliseconds(5000)));
    pause_ms(300);
    ASSERT_TRUE(x_.xdotool({"key", "--delay", "100", "Down", "Return"}).exited_with(0));
    EXPECT_TRUE(wait_until([&] {
        for (const std::string &w : x_.find_windows("ravlox")) {
            auto g = x_.window_geometry(w);
            if (g && g->width > 300)
                return true;
        }
        return false;
    })) << "no preferences window";

    EXPECT_TRUE(p_->running());
}

TEST_F(KeysUnderOpenbox, CapsLockLettersPlayShiftedOnesDoNot) {
    start();
    send_keys(x_, main_, {"Caps_Lock"});
    send_keys(x_, main_, {"shift+x"});
    EXPECT_FALSE(heard_stereo44(capture_, 8)) << "Shift with Caps Lock gives no row";
    send_keys(x_, main_, {"x"});
    EXPECT_TRUE(heard_stereo44(capture_)) << p_->out() << p_->err();
    send_keys(x_, main_, {"Caps_Lock"});
}

TEST_F(KeysUnderOpenbox, MainWindowKeysWorkFromTheEqualizer) {
    start("showequalizer=TRUE\n");
    auto eq = x_.wait_window("ravlox equalizer");
    ASSERT_TRUE(eq.has_value());
    pause_ms(200);
    send_keys(x_, *eq, {"x"});
    EXPECT_TRUE(heard_stereo44(capture_)) << p_->out() << p_->err();
    send_keys(x_, *eq, {"ctrl+d"});
    EXPECT_TRUE(size_is(550, 232)) << "Control+d from the equalizer scales the windows";
}

TEST(PlaylistKeys, DownReturnPlaysTheNextEntryAndDeleteRemoves) {
    PlaylistRun run(WindowManager::openbox);
    ASSERT_TRUE(run.start(two_files())) << run.why;
    const int h = line_height(1);
    ASSERT_FALSE(blank(text_mask(run.shot(), 275, 1, h)));

    // Nothing is selected: Down selects the entry after the current (first) one.
    send_keys(run.x, run.window, {"Down", "Return"});
    EXPECT_TRUE(heard_stereo44(run.capture)) << run.log();
    const Image playing = run.shot();
    EXPECT_GT(band(playing, 1, 275, 1, h).yellow, 0) << "the played entry stays selected";
    EXPECT_EQ(band(playing, 1, 275, 0, h).yellow, 0);

    send_keys(run.x, run.window, {"Delete"});
    const Image one = run.shot();
    EXPECT_TRUE(blank(text_mask(one, 275, 1, h))) << "the selected entry is gone";
    EXPECT_FALSE(blank(text_mask(one, 275, 0, h)));
    send_keys(run.x, run.window, {"ctrl+a", "Delete"});
    EXPECT_TRUE(blank(text_mask(run.shot(), 275, 0, h))) << "Control+a selected the rest";
    EXPECT_TRUE(run.process->running());
}

// ---------------------------------------------------------------------------
// Playlist clicks: the drawn line height decides, with and without a window manager

class PlaylistLineClicks : public testing::TestWithParam<WindowManager> {};

TEST_P(PlaylistLineClicks, LastLineSelectsItsEntryAndTheStripBelowNothing) {
    PlaylistRun run(GetParam());
    PlaylistSetup s;
    s.rows = 10;
    s.pledit = PLEDIT;
    for (int i = 0; i < 40; i++)
        s.entries.push_back("/music/track" + std::to_string(i) + ".mp3");
    ASSERT_TRUE(run.start(s)) << run.why;
    const int h = line_height(1);
    const int list_height = 29 * 10;
    const int lines = list_height / h;
    const Image before = run.shot();

    if (lines * h < list_height) {
        // The strip under the last whole line, which the text never reaches.
        ASSERT_TRUE(run.x.click(run.window, 100, 20 + lines * h));
        pause_ms(400);
        EXPECT_TRUE(run.shot().rgb == before.rgb) << "a click below the last line selected";
    }
    // The top row of the last line, where a share of the list height gives the line above.
    ASSERT_TRUE(run.x.click(run.window, 100, 20 + (lines - 1) * h));
    const Image after = run.shot();
    keep(after, "plwin-last-line");
    EXPECT_GT(band(after, 1, 275, lines - 1, h).yellow, 0) << "last line, " << lines << " lines";
    for (int line = 0; line < lines - 1; line++)
        EXPECT_EQ(band(after, 1, 275, line, h).yellow, 0) << "line " << line;
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, PlaylistLineClicks,
                         testing::Values(WindowManager::none, WindowManager::openbox),
                         [](const testing::TestParamInfo<WindowManager> &i) {
                             return i.param == WindowManager::none ? std::string("NoManager")
                                                                   : std::string("Openbox");
                         });

// ---------------------------------------------------------------------------
// In process: the line arithmetic at two scales, and smooth scrolling

TEST(PlaylistInProcessInput, LineUnderThePointerAndFractionalScrolling) {
    LiveHandle live;
    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    tHandleWindowPlaylist *w = &h->gui.window_playlist;
    static tSongInfo entry{};
    for (int i = 0; i < 40; i++) {
        snprintf(entry.path, sizeof entry.path, "/music/track%02d.mp3", i);
        ASSERT_EQ(playlist_add(&h->playlist, &entry), 0);
    }
    ASSERT_EQ(window_playlist_resize(w, 10, 11), 0);
    for (int scale : {1, 2, 3}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        ASSERT_EQ(window_playlist_set_scale(w, scale), 0);
        window_playlist_redraw(w);
        ASSERT_GT(w->line_height, 0);
        const int widget = scale * w->height;
        const int lines = w->visible_lines;
        EXPECT_EQ(lines, scale * 290 / w->line_height);
        // Window y of the first row of drawn line u.
        auto top_of = [&](int u) { return scale * 20 + u * w->line_height; };
        EXPECT_EQ(window_playlist_line_at(w, top_of(0), widget), 0);
        EXPECT_EQ(window_playlist_line_at(w, top_of(0) - 0.5, widget), -1);
        EXPECT_EQ(window_playlist_line_at(w, top_of(lines - 1), widget), lines - 1);
        EXPECT_EQ(window_playlist_line_at(w, top_of(lines - 1) - 1, widget), lines - 2);
        EXPECT_EQ(window_playlist_line_at(w, top_of(lines), widget), -1);
        // A window that the desktop made twice as tall maps the same lines.
        EXPECT_EQ(window_playlist_line_at(w, 2 * top_of(lines - 1), 2 * widget), lines - 1);
    }

    // Deltas below 1 add up; each whole unit moves one entry, either way.
    w->scroll_offset = 0;
    w->scroll_remainder = 0;
    for (int i = 0; i < 3; i++)
        window_playlist_scroll(w, 0.25);
    EXPECT_EQ(w->scroll_offset, 0);
    window_playlist_scroll(w, 0.25);
    EXPECT_EQ(w->scroll_offset, 1);
    for (int i = 0; i < 10; i++)
        window_playlist_scroll(w, 0.25);
    EXPECT_EQ(w->scroll_offset, 3) << "2.5 more: two entries, half of one kept";
    window_playlist_scroll(w, -0.25);
    EXPECT_EQ(w->scroll_offset, 3);
    window_playlist_scroll(w, -1.25);
    EXPECT_EQ(w->scroll_offset, 2);
    window_playlist_scroll(w, 2.0);
    EXPECT_EQ(w->scroll_offset, 4);
    window_playlist_scroll(w, 1e300);
    EXPECT_EQ(w->scroll_offset, 39) << "the last entry may reach the first line, no further";
    window_playlist_scroll(w, -1e300);
    EXPECT_EQ(w->scroll_offset, 0);
    EXPECT_EQ(window_playlist_scroll(w, NAN), -1);
    EXPECT_EQ(w->scroll_offset, 0);
}

} // namespace
