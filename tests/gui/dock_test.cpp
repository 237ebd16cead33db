// The three windows as one stack, in the real program under Xvfb, with and without a window
// manager: where they first appear, title-bar drags that carry the docked windows, snapping,
// positions kept in "gui.config" across a restart, lost positions, scale changes.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>

#include "gui/dock.h"
#include "support/harness.h"

namespace {

constexpr int SCREEN_W = 1280, SCREEN_H = 1024;

std::string text(const Geometry &g) {
    return std::to_string(g.width) + "x" + std::to_string(g.height) + "+" + std::to_string(g.x) + "+" +
           std::to_string(g.y);
}

bool same_place(const Geometry &a, const Geometry &b) { return a.x == b.x && a.y == b.y; }

const char *const TITLES[] = {"ravlox main", "ravlox equalizer", "ravlox playlist"};
const char *const KEYS[][2] = {{"mainx", "mainy"}, {"equalizerx", "equalizery"}, {"playlistx", "playlisty"}};

class Dock : public testing::TestWithParam<WindowManager> {
protected:
    Dock() : x_(GetParam()) {}

    // A data directory with the default theme and these lines in "gui.config".
    void prepare(const std::string &gui_config) {
        ASSERT_TRUE(x_.ok());
        data_ = dir_ / "data";
        ASSERT_EQ(mkdir(data_.c_str(), 0700), 0);
        ASSERT_TRUE(run_program({"--gui.theme.dumpdefault=" + data_ + "/theme/"}).exited_with(0));
        ASSERT_TRUE(write_file(data_ + "/gui.config", gui_config));
    }

    // Starts the program and waits for the shown windows (`shown[i]` for main, equalizer,
    // playlist) to stand still.
    void start(std::array<bool, 3> shown = {true, true, true}) {
        ProgramOptions o;
        o.data_dir = data_;
        o.display = x_.display();
        p_ = std::make_unique<ProgramProcess>(o);
        for (int i = 0; i < 3; i++) {
            ids_[i].clear();
            if (!shown[i])
                continue;
            auto w = x_.wait_window(TITLES[i]);
            ASSERT_TRUE(w.has_value()) << TITLES[i] << "\n" << p_->out() << p_->err();
            ids_[i] = *w;
        }
        settle();
    }

    void stop() {
        p_->stop();
        p_.reset();
    }

    Geometry geometry(int i) const {
        auto g = x_.window_geometry(ids_[i]);
        return g ? *g : Geometry{-1, -1, -1, -1};
    }

    // Waits until the shown windows keep their places for a quarter of a second (a window
    // manager carries out moves after the program asks).
    void settle() {
        std::array<Geometry, 3> last{};
        int still = 0;
        wait_until([&] {
            bool same = true;
            for (int i = 0; i < 3; i++) {
                if (ids_[i].empty())
                    continue;
                const Geometry g = geometry(i);
                same = same && same_place(g, last[i]) && g.width == last[i].width;
                last[i] = g;
            }
            still = same ? still + 1 : 0;
            return still >= 5;
        });
    }

    // Press at (x0, y0) of the screen, move in steps to (x1, y1), release: in screen
    // coordinates, since the window moves under the pointer.
    void drag(int x0, int y0, int x1, int y1) {
        auto s = [](int v) { return std::to_string(v); };
        ASSERT_TRUE(x_.xdotool({"mousemove", s(x0), s(y0), "mousedown", "1"}).exited_with(0));
        constexpr int STEPS = 10;
        for (int k = 1; k <= STEPS; k++) {
            std::this_thread::sleep_for(milliseconds(15));
            ASSERT_TRUE(x_.xdotool({"mousemove", s(x0 + (x1 - x0) * k / STEPS), s(y0 + (y1 - y0) * k / STEPS)})
                            .exited_with(0));
        }
        std::this_thread::sleep_for(milliseconds(40));
        ASSERT_TRUE(x_.mouse_up(1));
        settle();
    }

    // A title-bar drag of window i by (dx, dy), taken at a blank place of its title bar.
    void drag_title(int i, int dx, int dy) {
        const Geometry g = geometry(i);
        const int s = g.width / 275;
        drag(g.x + 150 * s, g.y + 6 * s, g.x + 150 * s + dx, g.y + 6 * s + dy);
    }

    // The stored position of window i, as the windows stand now.
    bool stored_where_shown(int i) {
        auto c = read_settings(data_ + "/gui.config");
        const Geometry g = geometry(i);
        return c[KEYS[i][0]] == std::to_string(g.x) && c[KEYS[i][1]] == std::to_string(g.y);
    }

    void expect_stacked(int upper, int lower) {
        const Geometry a = geometry(upper), b = geometry(lower);
        EXPECT_EQ(b.y, a.y + a.height) << TITLES[lower] << " " << text(b) << " under " << text(a);
        EXPECT_EQ(b.x, a.x) << TITLES[lower] << " " << text(b) << " under " << text(a);
    }

    Xvfb x_;
    TempDir dir_{"ravlox-dock"};
    std::string data_;
    std::unique_ptr<ProgramProcess> p_;
    std::array<std::string, 3> ids_;
};

// First start: the stack, left edges aligned, centred on the screen, at scale 1 and 2; the
// playlist goes under the main window while the equalizer is hidden.
TEST_P(Dock, FirstStartStacksTheWindowsCentred) {
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        TempDir dir("ravlox-dock-start");
        data_ = dir / "data";
        ASSERT_EQ(mkdir(data_.c_str(), 0700), 0);
        ASSERT_TRUE(run_program({"--gui.theme.dumpdefault=" + data_ + "/theme/"}).exited_with(0));
        ASSERT_TRUE(write_file(data_ + "/gui.config", "scalefactor=" + std::to_string(scale) +
                                                          "\nshowplaylist=TRUE\nshowequalizer=TRUE\n"));
        start();
        const Geometry main = geometry(0), eq = geometry(1), pl = geometry(2);
        EXPECT_EQ(main.width, 275 * scale);
        EXPECT_EQ(main.height, 116 * scale);
        expect_stacked(0, 1);
        expect_stacked(1, 2);
        EXPECT_EQ(main.x, (SCREEN_W - main.width) / 2);
        EXPECT_EQ(main.y, (SCREEN_H - main.height - eq.height - pl.height) / 2);
        for (int i = 0; i < 3; i++)
            EXPECT_TRUE(stored_where_shown(i)) << TITLES[i];
        stop();
    }

    TempDir dir("ravlox-dock-start");
    data_ = dir / "data";
    ASSERT_EQ(mkdir(data_.c_str(), 0700), 0);
    ASSERT_TRUE(run_program({"--gui.theme.dumpdefault=" + data_ + "/theme/"}).exited_with(0));
    ASSERT_TRUE(write_file(data_ + "/gui.config", "showplaylist=TRUE\n"));
    start({true, false, true});
    expect_stacked(0, 2);
    EXPECT_EQ(geometry(0).y, (SCREEN_H - 2 * 116) / 2);
}

// A drag of the main window's title bar carries the docked windows; the playlist dragged away
// stays behind at the next drag; a restart puts every window where it was left.
TEST_P(Dock, MainWindowDragCarriesTheDockedWindows) {
    prepare("showplaylist=TRUE\nshowequalizer=TRUE\n");
    start();
    std::array<Geometry, 3> before{geometry(0), geometry(1), geometry(2)};
    drag_title(0, 80, 40);
    for (int i = 0; i < 3; i++) {
        const Geometry g = geometry(i);
        EXPECT_EQ(g.x, before[i].x + 80) << TITLES[i];
        EXPECT_EQ(g.y, before[i].y + 40) << TITLES[i];
        EXPECT_TRUE(stored_where_shown(i)) << TITLES[i];
    }
    EXPECT_TRUE(p_->running()) << "a drag from the title bar must not act as a click";

    const Geometry pl = geometry(2);
    drag_title(2, 250, 135);
    EXPECT_EQ(geometry(2).x, pl.x + 250);
    EXPECT_EQ(geometry(2).y, pl.y + 135);
    EXPECT_TRUE(stored_where_shown(2));

    before = {geometry(0), geometry(1), geometry(2)};
    drag_title(0, -100, -80);
    EXPECT_EQ(geometry(0).x, before[0].x - 100);
    EXPECT_EQ(geometry(0).y, before[0].y - 80);
    expect_stacked(0, 1);
    EXPECT_TRUE(same_place(geometry(2), before[2])) << text(geometry(2)) << " was " << text(before[2]);

    before = {geometry(0), geometry(1), geometry(2)};
    stop();
    start();
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(same_place(geometry(i), before[i])) << TITLES[i] << " " << text(geometry(i)) << " was " << text(before[i]);
}

// A drag that starts on the main window's close button moves the stack; the press never acts
// (the player runs on) and the button is drawn up again.
TEST_P(Dock, MoveTakesOverAPressOnATitleButton) {
    prepare("showequalizer=TRUE\n");
    start({true, true, false});
    const Geometry main = geometry(0), eq = geometry(1);
    const Image up = x_.screenshot(ids_[0]).crop(264, 3, 9, 9);
    drag(main.x + 268, main.y + 7, main.x + 268 + 60, main.y + 7 + 90);
    EXPECT_EQ(geometry(0).x, main.x + 60);
    EXPECT_EQ(geometry(0).y, main.y + 90);
    EXPECT_EQ(geometry(1).y, eq.y + 90);
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_TRUE(p_->running());
    EXPECT_TRUE(x_.screenshot(ids_[0]).crop(264, 3, 9, 9).rgb == up.rgb) << "the close button stays pressed";
}

// A window let go within 10 pixels of another's edge docks to it, and the main window then
// carries it; the screen's edges catch a window too.
TEST_P(Dock, DraggedWindowsSnapToEdges) {
    prepare("showplaylist=TRUE\nshowequalizer=TRUE\n");
    start();
    drag_title(2, 300, 200);
    const Geometry eq = geometry(1), pl = geometry(2);
    // Back to 6 pixels right of and 7 below the equalizer's bottom left corner.
    drag_title(2, eq.x + 6 - pl.x, eq.y + eq.height + 7 - pl.y);
    expect_stacked(1, 2);
    EXPECT_TRUE(stored_where_shown(2));

    const Geometry main = geometry(0);
    drag_title(0, 9 - main.x, 0);
    EXPECT_EQ(geometry(0).x, 0) << "the screen's left edge";
    expect_stacked(0, 1);
    expect_stacked(1, 2);
}

// Stored positions that are off every screen: the stack is laid out as at the first start; a
// lost equalizer alone goes back under the main window.
TEST_P(Dock, PositionsOffTheScreensFallBack) {
    prepare("showplaylist=TRUE\nshowequalizer=TRUE\nmainx=5000\nmainy=-3000\nequalizerx=40\n"
            "equalizery=40\nplaylistx=600\nplaylisty=10\n");
    start();
    expect_stacked(0, 1);
    expect_stacked(1, 2);
    EXPECT_EQ(geometry(0).x, (SCREEN_W - 275) / 2);
    stop();

    write_file(data_ + "/gui.config", "showequalizer=TRUE\nmainx=100\nmainy=200\nequalizerx=-900\n"
                                      "equalizery=300\n");
    start({true, true, false});
    EXPECT_EQ(geometry(0).x, 100);
    EXPECT_EQ(geometry(0).y, 200);
    expect_stacked(0, 1);
    stop();

    // Numbers out of every range, which would wrap to 100 and 200, and words: not places.
    write_file(data_ + "/gui.config", "mainx=4294967396\nmainy=4294967496\nequalizerx=left\nequalizery=top\n"
                                      "showequalizer=TRUE\n");
    start({true, true, false});
    EXPECT_EQ(geometry(0).x, (SCREEN_W - 275) / 2);
    EXPECT_NE(geometry(0).y, 200);
    expect_stacked(0, 1);
}

// A scale change keeps the stack docked: the windows below follow the new heights.
TEST_P(Dock, ScaleChangeKeepsTheStackDocked) {
    prepare("showplaylist=TRUE\nshowequalizer=TRUE\nmainx=100\nmainy=50\n");
    start();
    // The clutterbar's scale button.
    ASSERT_TRUE(x_.click(ids_[0], 13, 51));
    ASSERT_TRUE(wait_until([&] { return geometry(0).width == 550 && geometry(1).y == 50 + 232; }))
        << text(geometry(0)) << " " << text(geometry(1));
    settle();
    EXPECT_TRUE(same_place(geometry(0), Geometry{100, 50, 0, 0})) << text(geometry(0));
    expect_stacked(0, 1);
    expect_stacked(1, 2);
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(stored_where_shown(i)) << TITLES[i];
}

// A hidden window shown again comes back where it was stored, not where the stack went.
TEST_P(Dock, ShownAgainAtItsStoredPlace) {
    prepare("showplaylist=TRUE\nshowequalizer=TRUE\n");
    start();
    const Geometry pl = geometry(2);
    ASSERT_TRUE(x_.click(ids_[0], 250, 63)); // the main window's playlist button
    ASSERT_TRUE(x_.wait_window_gone(TITLES[2], milliseconds(5000)));
    drag_title(0, -200, -100);
    expect_stacked(0, 1);
    ASSERT_TRUE(x_.click(ids_[0], 250, 63));
    auto w = x_.wait_window(TITLES[2]);
    ASSERT_TRUE(w.has_value());
    ids_[2] = *w;
    settle();
    EXPECT_TRUE(same_place(geometry(2), pl)) << text(geometry(2)) << " was " << text(pl);
}

// The equalizer shown while the playlist stands under the main window takes its place there,
// and the playlist moves under it.
TEST_P(Dock, EqualizerShownLaterGoesBetween) {
    prepare("showplaylist=TRUE\n");
    start({true, false, true});
    expect_stacked(0, 2);
    ASSERT_TRUE(x_.click(ids_[0], 228, 63)); // the main window's equalizer button
    auto w = x_.wait_window(TITLES[1]);
    ASSERT_TRUE(w.has_value());
    ids_[1] = *w;
    settle();
    expect_stacked(0, 1);
    expect_stacked(1, 2);
    EXPECT_TRUE(stored_where_shown(2));
}

INSTANTIATE_TEST_SUITE_P(, Dock, testing::Values(WindowManager::none, WindowManager::openbox),
                         [](const testing::TestParamInfo<WindowManager> &info) {
                             return info.param == WindowManager::none ? "NoWindowManager" : "Openbox";
                         });

// The geometry on its own.

TEST(DockGeometry, SnapsToTheNearestEdgeWithinTheDistance) {
    const tDockRect screen = {0, 0, 1280, 1024};
    tDockRect r[DOCK_WINDOWS] = {{100, 100, 275, 116}, {100, 216, 275, 116}, {600, 400, 275, 116}};
    const int32_t moving[DOCK_WINDOWS] = {0, 0, 1}, still[DOCK_WINDOWS] = {1, 1, 0};
    // The playlist dragged to 7 right of and 9 below the equalizer's bottom left corner.
    int32_t dx = 107 - 600, dy = 341 - 400;
    dock_snap(r, moving, still, &screen, 1, 10, &dx, &dy);
    EXPECT_EQ(600 + dx, 100);
    EXPECT_EQ(400 + dy, 332);
    // 11 pixels away is out of reach; the screen's edge is caught at 10.
    dx = 100 + 275 + 11 - 600, dy = 10 - 400;
    dock_snap(r, moving, still, &screen, 1, 10, &dx, &dy);
    EXPECT_EQ(600 + dx, 386);
    EXPECT_EQ(400 + dy, 0);
    // An edge far along the other axis does not catch.
    dx = 100 + 275 + 3 - 600, dy = 700 - 400;
    dock_snap(r, moving, still, &screen, 1, 10, &dx, &dy);
    EXPECT_EQ(600 + dx, 378);
}

TEST(DockGeometry, GroupFollowsTouchingEdgesFromTheMainWindow) {
    const int32_t shown[DOCK_WINDOWS] = {1, 1, 1};
    int32_t group[DOCK_WINDOWS];
    // The playlist touches only the equalizer, which touches the main window.
    tDockRect r[DOCK_WINDOWS] = {{100, 100, 275, 116}, {100, 216, 275, 116}, {150, 332, 275, 116}};
    dock_group(r, shown, group);
    EXPECT_EQ(group[1], 1);
    EXPECT_EQ(group[2], 1);
    // The equalizer beside the main window, the playlist under it: the playlist touches the
    // main window at a corner only, but follows the equalizer.
    r[1] = {375, 100, 275, 116};
    r[2] = {375, 216, 275, 116};
    dock_group(r, shown, group);
    EXPECT_EQ(group[1], 1);
    EXPECT_EQ(group[2], 1);
    r[2] = {375, 217, 275, 116};
    dock_group(r, shown, group);
    EXPECT_EQ(group[2], 0) << "a pixel apart";
    r[2] = {100 + 275, 216, 275, 116};
    r[1] = {700, 700, 275, 116};
    dock_group(r, shown, group);
    EXPECT_EQ(group[2], 0) << "corner to corner only";
    const int32_t hidden[DOCK_WINDOWS] = {1, 0, 1};
    r[1] = {100, 216, 275, 116};
    r[2] = {100, 332, 275, 116};
    dock_group(r, hidden, group);
    EXPECT_EQ(group[1], 0);
    EXPECT_EQ(group[2], 0) << "a hidden equalizer links nothing";
}

TEST(DockGeometry, OnScreenNeedsAPieceOfTheTitleBar) {
    const tDockRect screens[2] = {{0, 0, 1280, 1024}, {1280, 0, 1024, 768}};
    EXPECT_TRUE(dock_on_screen({1300, 700, 275, 116}, screens, 2, 1));
    EXPECT_FALSE(dock_on_screen({1300, 770, 275, 116}, screens, 2, 1)) << "below the second screen";
    EXPECT_FALSE(dock_on_screen({100, -5, 275, 116}, screens, 2, 1)) << "title bar above the top";
    EXPECT_TRUE(dock_on_screen({-259, 10, 275, 116}, screens, 2, 1));
    EXPECT_FALSE(dock_on_screen({-260, 10, 275, 116}, screens, 2, 1));
    EXPECT_FALSE(dock_on_screen({-259, 10, 275, 116}, screens, 2, 2)) << "twice as much at scale 2";
}

} // namespace
