// What the three skinned windows share, tried on the real program under Xvfb, with a window
// manager and without one: a press that the title bar's window move takes over, the playlist
// pixel-exact at scale 2, a window composed before it is first shown, and a theme change that
// leaves nothing of the old theme in the equalizer.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <optional>
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

const char *const PLEDIT = "[Text]\r\nNormal=#FF0000\r\nCurrent=#00FF00\r\nNormalBG=#0000FF\r\n"
                          "SelectedBG=#FFFF00\r\nFont=DejaVu Sans\r\n";
const Rgb BLUE{0, 0, 255};

bool black(const Image &img) {
    if (img.empty())
        return false;
    for (uint8_t b : img.rgb)
        if (b != 0)
            return false;
    return true;
}

// A valid 2 x 2 white BMP: a sheet too small for any element of its bitmap.
std::string tiny_bmp() {
    std::string b(62, '\0');
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; i++)
            b[at + i] = static_cast<char>(v >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    put(2, 70, 4);  // file size: 54 header bytes, two rows of 8
    put(10, 54, 4); // pixel data offset
    put(14, 40, 4);
    put(18, 2, 4);
    put(22, 2, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, 16, 4);
    b.resize(54);
    b += std::string("\xff\xff\xff\xff\xff\xff\0\0", 8);
    b += std::string("\xff\xff\xff\xff\xff\xff\0\0", 8);
    return b;
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

class SkinnedWindows : public testing::TestWithParam<WindowManager> {};


// A press on a close button that becomes a drag of the title bar moves the window, and neither
// acts nor leaves the button looking pressed, wherever the pointer is let go.
TEST_P(SkinnedWindows, PressOnCloseButtonThenDragNeitherActsNorStaysPressed) {
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

// The template theme at scale 2 with an empty list: every base pixel is a 2 x 2 block of one
// colour, the frame's edges and the list's border included, and the list shows NormalBG.
TEST_P(SkinnedWindows, PlaylistAtScaleTwoIsWholePixelBlocks) {
    Skins s(GetParam());
    ASSERT_TRUE(s.start(true, false, 2, PLEDIT)) << s.log();
    auto w = s.place("ravlox playlist", 0, 240);
    ASSERT_TRUE(w.has_value()) << s.log();
    Image img;
    ASSERT_TRUE(wait_until([&] {
        img = s.x.screenshot(*w);
        return img.width == 550 && img.height == 232 && img.pixel(275, 116) == BLUE;
    })) << img.width << "x" << img.height;
    int blurred = 0;
    std::string first;
    for (int y = 0; y < img.height; y += 2)
        for (int x = 0; x < img.width; x += 2) {
            const Rgb c = img.pixel(x, y);
            if (img.pixel(x + 1, y) == c && img.pixel(x, y + 1) == c && img.pixel(x + 1, y + 1) == c)
                continue;
            if (blurred++ == 0)
                first = "(" + std::to_string(x) + "," + std::to_string(y) + ")";
        }
    EXPECT_EQ(blurred, 0) << "first at " << first;
    // The border between the left side tile and the list, and between the list and the right
    // side: the tile's colour, then NormalBG, on whole base pixels.
    const Image sheet = Image::load(s.data + "/theme/PLEDIT.BMP");
    const tThemeElement &left = THEME_ELEMENTS[ELEM_PL_SIDE_LEFT];
    const tThemeElement &right = THEME_ELEMENTS[ELEM_PL_SIDE_RIGHT];
    for (int y : {40, 41, 100, 155}) {
        EXPECT_EQ(img.pixel(23, y), sheet.pixel(left.source_x + 11, left.source_y + (y / 2 - 20) % 29));
        EXPECT_EQ(img.pixel(24, y), BLUE);
        EXPECT_EQ(img.pixel(509, y), BLUE);
        EXPECT_EQ(img.pixel(510, y), sheet.pixel(right.source_x, right.source_y + (y / 2 - 20) % 29));
    }
    img.save_png("/tmp/ravlox-skin-playlist-scale2.png");
}

// The equalizer after a theme whose EQMAIN.BMP is too small for any of its elements: nothing of
// the old theme stays, the window is black.
TEST_P(SkinnedWindows, EqualizerShowsNoOldPixelsAfterATheme) {
    Skins s(GetParam());
    ASSERT_TRUE(s.start(false, true)) << s.log();
    auto eq = s.place("ravlox equalizer", 0, 150);
    auto main = s.place("ravlox main", 0, 0);
    ASSERT_TRUE(eq && main) << s.log();
    ASSERT_TRUE(wait_until([&] { return !black(s.x.screenshot(*eq)); }));

    const std::string theme = s.dir / "small-eq";
    mkdir(theme.c_str(), 0700);
    ASSERT_TRUE(run_program({"--gui.theme.dumptemplate=" + theme + "/"}).exited_with(0));
    ASSERT_TRUE(write_file(theme + "/EQMAIN.BMP", tiny_bmp()));

    // The options menu (Control let go of last) and its "Load skin from directory".
    ASSERT_TRUE(s.x.xdotool({"windowfocus", *main, "keydown", "Control_L", "keydown", "o", "keyup",
                             "o", "keyup", "Control_L"})
                    .exited_with(0));
    pause_ms(500);
    // Up from the first item wraps to the last: three up is the second.
    for (const char *key : {"Up", "Up", "Up", "Return"}) {
        ASSERT_TRUE(s.x.xdotool({"windowfocus", *main, "key", key}).exited_with(0));
        pause_ms(150);
    }
    auto dialog = s.x.wait_window("Open Directory", milliseconds(10000));
    ASSERT_TRUE(dialog.has_value()) << s.log();
    pause_ms(700);
    s.x.key(*dialog, "ctrl+l");
    pause_ms(200);
    s.x.type(*dialog, theme + "/");
    pause_ms(400);
    s.x.key(*dialog, "Return");
    ASSERT_TRUE(s.x.wait_window_gone("Open Directory", milliseconds(10000)));

    Image img;
    EXPECT_TRUE(wait_until([&] { return black(img = s.x.screenshot(*eq)); }, milliseconds(5000)))
        << "old pixels left";
    if (!black(img))
        img.save_png("/tmp/ravlox-skin-equalizer-after.png");
    EXPECT_TRUE(s.process->running());
}

// With the other core busy, the playlist's first picture on screen already shows its list.
TEST_P(SkinnedWindows, PlaylistIsComposedBeforeItShows) {
    std::atomic<bool> busy{true};
    std::thread load([&] {
        volatile unsigned long n = 0;
        while (busy.load(std::memory_order_relaxed))
            n = n + 1;
    });
    Skins s(GetParam());
    const bool started = s.start(true, false, 1, PLEDIT);
    std::optional<std::string> w;
    Image first;
    if (started && (w = s.x.wait_window("ravlox playlist")))
        first = s.x.screenshot(*w);
    busy = false;
    load.join();
    ASSERT_TRUE(w.has_value()) << s.log();
    ASSERT_EQ(first.width, 275);
    first.save_png("/tmp/ravlox-skin-playlist-first.png");
    // The middle and the corners of the list area (x 12..254, y 20..77).
    for (auto [x, y] : {std::pair{137, 48}, {12, 20}, {254, 20}, {12, 77}, {254, 77}})
        EXPECT_EQ(first.pixel(x, y), BLUE) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, SkinnedWindows,
                         testing::Values(WindowManager::openbox, WindowManager::none),
                         [](const testing::TestParamInfo<WindowManager> &i) {
                             return std::string(i.param == WindowManager::openbox ? "openbox" : "none");
                         });

} // namespace
