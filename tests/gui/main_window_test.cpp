// The main window of the real program under Xvfb: its picture against the template theme's own
// sheets, the pressed looks, scale 2, and what clicks, drags and keys change on disk.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "support/harness.h"
#include "theme/catalogue.h"

namespace {

// The template theme, written once by the program itself, and its sheets as images.
struct Template {
    TempDir dir{"ravlox-main-theme"};
    std::string path;
    std::vector<Image> sheets;
    bool ok = false;
    Template() {
        path = dir / "template";
        ProgramResult r = run_program({"--gui.theme.dumptemplate=" + path + "/"});
        if (!r.exited_with(0))
            return;
        for (const tThemeBitmap &b : THEME_BITMAPS) {
            Image sheet = Image::load(path + "/" + b.name);
            sheets.push_back(sheet);
        }
        ok = !sheets[BITMAP_MAIN].empty() && !sheets[BITMAP_CBUTTONS].empty();
    }
};

Template &theme() {
    static Template t;
    return t;
}

// The picture the window should show, painted here from the template's sheets, element by
// element, in the window's drawing order.
struct Expected {
    Image img;
    Expected() {
        img.width = 275;
        img.height = 116;
        img.rgb.assign(275 * 116 * 3, 0);
    }
    void at(int id, int x, int y) {
        const tThemeElement &e = THEME_ELEMENTS[id];
        const Image &sheet = theme().sheets[e.bitmap];
        if (e.source_x + e.width > sheet.width || e.source_y + e.height > sheet.height)
            return;
        if (x < 0 || y < 0 || x + e.width > 275 || y + e.height > 116)
            return;
        for (int j = 0; j < e.height; j++)
            for (int i = 0; i < e.width; i++) {
                const Rgb c = sheet.pixel(e.source_x + i, e.source_y + j);
                uint8_t *p = &img.rgb[((y + j) * 275 + x + i) * 3];
                p[0] = c.r, p[1] = c.g, p[2] = c.b;
            }
    }
    void fixed(int id) {
        const tThemeElement &e = THEME_ELEMENTS[id];
        at(id, theme_destination(e.destination_x, 275), theme_destination(e.destination_y, 116));
    }
    // The idle window with volume 100, balance 0, no file, every switch at its default.
    static Expected idle() {
        Expected x;
        for (int id : {363, 134, 358, 171, 170, 136, 137, 406, 9, 280, 279, 268, 39, 40, 41, 42, 43,
                       44, 272, 271, 139, 354, 356, 355, 364})
            x.fixed(id);
        x.fixed(406);
        x.fixed(9);
        x.at(408, 160, 58);
        x.at(38, 189, 58);
        for (int id : {358, 279, 280, 272, 271, 186})
            x.fixed(id);
        x.at(182, 48, 26);
        x.at(172, 60, 26);
        x.at(172, 78, 26);
        x.at(172, 90, 26);
        x.at(269, 16, 72);
        x.fixed(170);
        x.fixed(171);
        return x;
    }
};

// Number of differing pixels, with the first one described.
int differences(const Image &a, const Image &b, std::string *first) {
    int n = 0;
    for (int y = 0; y < 116; y++)
        for (int x = 0; x < 275; x++)
            if (!(a.pixel(x, y) == b.pixel(x, y))) {
                if (n++ == 0) {
                    std::ostringstream s;
                    s << "(" << x << "," << y << ") shown " << a.pixel(x, y) << " expected "
                      << b.pixel(x, y);
                    *first = s.str();
                }
            }
    return n;
}

struct PressedLook;

class MainWindow : public testing::Test {
protected:
    // Starts the program with the template theme (or the default one) and waits for its window.
    void start(int scale = 1, bool template_theme = true, std::vector<std::string> args = {},
               AlsaConfig alsa = AlsaConfig::NoDevice) {
        ASSERT_TRUE(x_.ok());
        data_ = dir_ / "data";
        mkdir(data_.c_str(), 0700);
        mkdir((data_ + "/theme").c_str(), 0700);
        if (scale != 1) {
            ASSERT_TRUE(write_file(data_ + "/gui.config", "scalefactor=" + std::to_string(scale) + "\n"));
        }
        ProgramOptions o;
        o.data_dir = data_;
        o.display = x_.display();
        o.alsa = alsa;
        o.capture_file = dir_ / "capture.raw";
        o.jack_server = jack_;
        if (template_theme) {
            ASSERT_TRUE(theme().ok);
            o.args.push_back("--gui.theme.dir=" + theme().path);
        }
        for (auto &a : args)
            o.args.push_back(a);
        p_ = std::make_unique<ProgramProcess>(o);
        auto w = x_.wait_window("ravlox main");
        ASSERT_TRUE(w.has_value()) << p_->out() << p_->err();
        win_ = *w;
        scale_ = scale;
        ASSERT_TRUE(wait_until([&] {
            auto g = x_.window_geometry(win_);
            return g && g->width == 275 * scale && g->height == 116 * scale;
        })) << "window size";
        std::this_thread::sleep_for(milliseconds(150));
    }

    // The status marker left of the time shows the theme element `element`.
    bool marker_is(int element) {
        Expected want;
        want.at(element, 24, 18);
        return wait_until([&] {
            Image s = shot();
            for (int y = 18; y < 27; y++)
                for (int x = 24; x < 24 + THEME_ELEMENTS[element].width; x++)
                    if (!(s.pixel(x, y) == want.img.pixel(x, y)))
                        return false;
            return true;
        });
    }

    // The window at base size; at a larger scale every base pixel must be a uniform block, and
    // a block that is not shows as magenta, which no template colour matches.
    Image shot() const {
        Image full = x_.screenshot(win_);
        if (scale_ == 1)
            return full;
        Image base;
        base.width = 275;
        base.height = 116;
        base.rgb.assign(275 * 116 * 3, 0);
        for (int y = 0; y < 116; y++)
            for (int x = 0; x < 275; x++) {
                Rgb c = full.pixel(x * scale_, y * scale_);
                for (int j = 0; j < scale_; j++)
                    for (int i = 0; i < scale_; i++)
                        if (!(full.pixel(x * scale_ + i, y * scale_ + j) == c))
                            c = Rgb{255, 0, 255};
                uint8_t *p = &base.rgb[(y * 275 + x) * 3];
                p[0] = c.r, p[1] = c.g, p[2] = c.b;
            }
        return base;
    }

    // Waits until the window shows the expected picture.
    void expect_picture(const Expected &want, const std::string &what) {
        std::string first;
        int n = 0;
        const bool same = wait_until([&] { return (n = differences(shot(), want.img, &first)) == 0; },
                                     milliseconds(3000));
        if (!same) {
            shot().save_png(dir_ / "failed.png");
            want.img.save_png(dir_ / "expected.png");
        }
        EXPECT_TRUE(same) << what << ": " << n << " pixels differ, first " << first;
    }

    // Holds each look's box down, compares the picture, then ends the press without its action
    // by releasing a key of no row (plain xdotool: clearing modifiers would let go of the
    // button), and lets the button up.
    void check_pressed_looks(const std::vector<PressedLook> &looks);

    // Screen position of a base pixel.
    int at(double base) const { return static_cast<int>(base * scale_); }
    void click(int x, int y) { ASSERT_TRUE(x_.click(win_, at(x), at(y))); }
    void key(const std::string &k) { ASSERT_TRUE(x_.key(win_, k)); }
    // Control held around a letter, let go of with the letter first (keys_test.cpp sends
    // xdotool's "ctrl+d", which lets go of Control first).
    void control_key(const std::string &letter) {
        ASSERT_TRUE(x_.xdotool({"windowfocus", win_, "keydown", "Control_L", "keydown", letter,
                                "keyup", letter, "keyup", "Control_L"})
                        .exited_with(0));
    }
    void plain_key(const std::string &k) {
        ASSERT_TRUE(x_.xdotool({"windowfocus", win_, "key", k}).exited_with(0));
    }

    std::map<std::string, std::string> config(const std::string &file) const {
        return read_settings(data_ + "/" + file);
    }
    bool wait_config(const std::string &file, const std::string &key, const std::string &value) {
        return wait_until([&] {
            auto c = config(file);
            return c.count(key) && c[key] == value;
        });
    }

    TempDir dir_{"ravlox-main"};
    Xvfb x_;
    std::string data_;
    std::unique_ptr<ProgramProcess> p_;
    std::string win_;
    std::string jack_;
    int scale_ = 1;
};

// Pressed looks: box centre to press at, and what the window draws over the idle picture.
struct PressedLook {
    int id;
    int x, y;
    std::vector<std::array<int, 3>> drawn; // element, x, y (-1: its fixed place)
};

const std::vector<PressedLook> &pressed_looks() {
    static const std::vector<PressedLook> looks = {
        {1, 14, 28, {{372, -1, -1}}},  {2, 14, 36, {{373, -1, -1}}},
        {3, 14, 44, {{374, -1, -1}}},  {4, 14, 52, {{375, -1, -1}}},
        {5, 14, 59, {{376, -1, -1}}},  {5, 60, 50, {{376, -1, -1}}},
        {6, 230, 64, {{281, -1, -1}}}, {7, 253, 64, {{282, -1, -1}}},
        {8, 27, 96, {{45, -1, -1}}},   {9, 50, 96, {{46, -1, -1}}},
        {10, 73, 96, {{47, -1, -1}}},  {11, 96, 96, {{48, -1, -1}}},
        {12, 118, 96, {{49, -1, -1}}}, {13, 146, 96, {{50, -1, -1}}},
        {14, 186, 96, {{274, -1, -1}}}, {15, 224, 96, {{273, -1, -1}}},
        {16, 166, 63, {{407, 160, 58}}}, {17, 196, 63, {{37, 189, 58}}},
        {3, 259, 98, {{374, -1, -1}}},
        {20, 10, 7, {{360, -1, -1}}},  {21, 248, 7, {{361, -1, -1}}},
        {22, 258, 7, {{365, -1, -1}}}, {23, 268, 7, {{362, -1, -1}}},
        // Last: letting go of the position bar seeks to second 0, which shows "ready".
        {18, 30, 77, {{270, 16, 72}}},
    };
    return looks;
}

void MainWindow::check_pressed_looks(const std::vector<PressedLook> &looks) {
    for (const PressedLook &look : looks) {
        Expected want = Expected::idle();
        for (const auto &d : look.drawn) {
            if (d[1] < 0)
                want.fixed(d[0]);
            else
                want.at(d[0], d[1], d[2]);
        }
        ASSERT_TRUE(x_.mouse_down(win_, at(look.x), at(look.y)));
        expect_picture(want, "pressed id " + std::to_string(look.id) + " at " +
                                 std::to_string(look.x) + "," + std::to_string(look.y));
        plain_key("q");
        x_.mouse_up();
    }
}

TEST_F(MainWindow, IdleAndPressedPicturesAreExact) {
    start();
    expect_picture(Expected::idle(), "idle");
    check_pressed_looks(pressed_looks());
    Expected ready = Expected::idle();
    ready.fixed(187);
    expect_picture(ready, "idle again after the seek");
    EXPECT_TRUE(p_->running());
}

TEST_F(MainWindow, ScaleTwoShowsWholePixelBlocks) {
    start(2);
    expect_picture(Expected::idle(), "idle at scale 2");
    check_pressed_looks({pressed_looks()[9], pressed_looks()[16]});
    // A click lands on the same box at any scale: the shuffle toggle.
    click(186, 96);
    EXPECT_TRUE(wait_config("windowmain.config", "shuffle", "ON"));
}

TEST_F(MainWindow, ControlDCyclesTheScale) {
    start();
    for (auto [w, h] : {std::pair{550, 232}, std::pair{1100, 464}, std::pair{275, 116}}) {
        control_key("d");
        EXPECT_TRUE(wait_until([&] {
            auto g = x_.window_geometry(win_);
            return g && g->width == w && g->height == h;
        })) << w << "x" << h;
    }
    EXPECT_TRUE(wait_config("gui.config", "scalefactor", "1"));
}

TEST_F(MainWindow, TransportButtonsSetTheStatusMarker) {
    start();
    EXPECT_TRUE(marker_is(186)); // nothing opened yet
    click(50, 96);
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_TRUE(marker_is(186)) << "play with nothing opened does nothing";
    click(73, 96);
    EXPECT_TRUE(marker_is(184)) << "pause";
    click(96, 96);
    EXPECT_TRUE(marker_is(185)) << "stop";
    key("x");
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_TRUE(marker_is(185)) << "x with nothing opened does nothing";
    key("c");
    EXPECT_TRUE(marker_is(184)) << "c pauses";
    key("v");
    EXPECT_TRUE(marker_is(185)) << "v stops";
    control_key("z");
    EXPECT_TRUE(marker_is(185)) << "ctrl+z is previous, which has no file to rewind";
    // Press on play and let go over stop: nothing happens.
    ASSERT_TRUE(x_.mouse_down(win_, 50, 96));
    ASSERT_TRUE(x_.mouse_move(win_, 96, 96));
    ASSERT_TRUE(x_.mouse_up());
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_TRUE(marker_is(185)) << "press play, release on stop";
    key("shift+x");
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_TRUE(marker_is(185)) << "shift+x is no key of the table";
}

TEST_F(MainWindow, AFileFromTheCommandLinePlaysWithThePlayMarker) {
    start(1, true, {fixture_path("len10_9.mp3")});
    EXPECT_TRUE(marker_is(183));
    click(73, 96);
    EXPECT_TRUE(marker_is(184)) << "pause";
    click(50, 96);
    EXPECT_TRUE(marker_is(183)) << "play again";
}

TEST_F(MainWindow, TogglesAndKeysWriteTheirFiles) {
    start();
    EXPECT_EQ(config("windowmain.config")["shuffle"], "OFF");
    click(186, 96);
    EXPECT_TRUE(wait_config("windowmain.config", "shuffle", "ON"));
    click(224, 96);
    EXPECT_TRUE(wait_config("windowmain.config", "repeat", "ON"));
    click(224, 96);
    EXPECT_TRUE(wait_config("windowmain.config", "repeat", "OFF"));
    click(70, 32);
    EXPECT_TRUE(wait_config("windowmain.config", "countdown", "ON"));
    control_key("v");
    EXPECT_TRUE(wait_config("visualizer.config", "visualizer", "0"));
    click(60, 50);
    EXPECT_TRUE(wait_config("visualizer.config", "visualizer", "1"));

    // Volume 100 and balance 0 to start with; the keys step to multiples of ten.
    key("Down");
    EXPECT_TRUE(wait_config("audiooutout.config", "volume", "90"));
    key("Up Up");
    EXPECT_TRUE(wait_config("audiooutout.config", "volume", "100"));
    key("Left");
    EXPECT_TRUE(wait_config("audiooutout.config", "balance", "-10"));
    key("Right Right Right");
    EXPECT_TRUE(wait_config("audiooutout.config", "balance", "20"));

    // Drags: the volume thumb to x 141 is 50; the balance thumb to x 186 is -52.
    ASSERT_TRUE(x_.drag(win_, 166, 63, 141, 63));
    EXPECT_TRUE(wait_config("audiooutout.config", "volume", "50"));
    ASSERT_TRUE(x_.drag(win_, 196, 63, 186, 63));
    EXPECT_TRUE(wait_config("audiooutout.config", "balance", "-52"));
    // A drag past the end clamps.
    ASSERT_TRUE(x_.drag(win_, 135, 63, 250, 40));
    EXPECT_TRUE(wait_config("audiooutout.config", "volume", "100"));
    // A click on a slider without moving sends nothing.
    click(120, 63);
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(config("audiooutout.config")["volume"], "100");
    EXPECT_TRUE(p_->running());
}

TEST_F(MainWindow, LicenceWindowShowsAndHides) {
    start();
    control_key("i");
    auto lic = x_.wait_window("ravlox License", milliseconds(5000));
    ASSERT_TRUE(lic.has_value());
    auto g = x_.window_geometry(*lic);
    ASSERT_TRUE(g.has_value());
    EXPECT_GE(g->width, 766);
    EXPECT_GE(g->height, 487);
    // "OK" is the last widget, at the bottom.
    ASSERT_TRUE(x_.click(*lic, g->width / 2, g->height - 8));
    EXPECT_TRUE(x_.wait_window_gone("ravlox License", milliseconds(5000)));
    // The corner area shows it again.
    click(259, 98);
    EXPECT_TRUE(x_.wait_window("ravlox License", milliseconds(5000)).has_value());
    EXPECT_TRUE(p_->running());
}

TEST_F(MainWindow, CloseButtonEndsTheProgram) {
    start();
    click(268, 7);
    auto r = p_->wait(milliseconds(5000));
    ASSERT_TRUE(r.has_value());
    EXPECT_TRUE(r->exited_with(0)) << *r;
}

TEST_F(MainWindow, PlayingSendsSoundAndTheTickerShowsThePath) {
    const std::string m3u = dir_ / "list.m3u";
    ASSERT_TRUE(write_file(m3u, fixture_path("stereo44.mp3") + "\n"));
    start(1, true, {"--playlist.m3u=" + m3u}, AlsaConfig::File);
    // The first entry is opened, not played: the ticker has text, the marker is ready.
    Expected empty = Expected::idle();
    EXPECT_TRUE(wait_until([&] {
        Image s = shot();
        int differing = 0;
        for (int x = 111; x < 265; x++)
            differing += !(s.pixel(x, 29) == empty.img.pixel(x, 29));
        return differing > 10;
    })) << "ticker";
    click(50, 96);
    EXPECT_TRUE(wait_until([&] {
        auto samples = read_samples(dir_ / "capture.raw");
        for (int16_t v : samples)
            if (v != 0)
                return true;
        return false;
    }, milliseconds(10000))) << "no sound reached the device\n" << p_->out() << p_->err();
}

TEST(MainWindowStart, FirstStartWritesEveryDefault) {
    TempDir dir{"ravlox-first"};
    Xvfb x;
    ASSERT_TRUE(x.ok());
    ProgramOptions o;
    o.data_dir = fresh_data_dir(dir);
    o.display = x.display();
    ProgramProcess p(o);
    ASSERT_TRUE(x.wait_window("ravlox main").has_value()) << p.out() << p.err();
    const std::map<std::string, std::map<std::string, std::string>> want = {
        {"gui.config", {{"scalefactor", "1"}, {"showplaylist", "FALSE"}, {"showequalizer", "FALSE"}}},
        {"windowmain.config",
         {{"clutterbar", "ON"}, {"shuffle", "OFF"}, {"repeat", "OFF"}, {"countdown", "OFF"}}},
        {"visualizer.config", {{"visualizer", "3"}}},
    };
    for (const auto &[file, keys] : want)
        EXPECT_TRUE(wait_until([&] {
            auto c = read_settings(o.data_dir + "/" + file);
            for (const auto &[k, v] : keys)
                if (!c.count(k) || c[k] != v)
                    return false;
            return true;
        })) << file << ": " << read_file(o.data_dir + "/" + file);
}

TEST(MainWindowStart, ThemeDirectoryWithTooFewBitmapsEndsStartUp) {
    TempDir dir{"ravlox-few"};
    Xvfb x;
    ASSERT_TRUE(x.ok());
    // The theme folder itself, where all but seven sheets are folders: neither they nor the
    // default sheets that would stand in for broken ones can be read.
    const std::string data = fresh_data_dir(dir);
    const std::string theme = data + "/theme";
    ASSERT_EQ(mkdir(data.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(theme.c_str(), 0700), 0);
    ASSERT_TRUE(run_program({"--gui.theme.dumpdefault=" + theme + "/"}).exited_with(0));
    int kept = 0;
    for (const std::string &name : list_dir(theme))
        if (name.size() > 4 && name.substr(name.size() - 4) == ".BMP" && kept++ >= 7) {
            ASSERT_EQ(remove((theme + "/" + name).c_str()), 0);
            ASSERT_EQ(mkdir((theme + "/" + name).c_str(), 0700), 0);
        }
    ASSERT_GE(kept, 8);
    ProgramOptions o;
    o.data_dir = data;
    o.display = x.display();
    o.args = {"--gui.theme.dir=" + theme};
    o.timeout = milliseconds(20000);
    ProgramResult r = run_program(o);
    EXPECT_TRUE(r.exited_with(1)) << r;
    EXPECT_NE((r.out + r.err).find("ERROR initializing modules"), std::string::npos) << r;
}

} // namespace

namespace {

// The default theme's idle window against a reference picture kept in the repository. After a
// deliberate change of the default theme, run with RAVLOX_UPDATE_REFERENCE=1 to rewrite it.
TEST_F(MainWindow, DefaultThemeMatchesTheReferencePicture) {
    start(1, false);
    const std::string reference = RAVLOX_SOURCE_DIR "/tests/gui/data/main_default.png";
    if (getenv("RAVLOX_UPDATE_REFERENCE") != nullptr) {
        std::this_thread::sleep_for(milliseconds(300));
        ASSERT_TRUE(shot().save_png(reference));
    }
    Expected want;
    want.img = Image::load(reference);
    ASSERT_FALSE(want.img.empty()) << reference;
    expect_picture(want, "default theme");
}

// The README's picture: the default theme at scale 2, playing. Written only on request
// (RAVLOX_WRITE_SCREENSHOT=1), into docs/screenshot.png.
TEST_F(MainWindow, ReadmeScreenshot) {
    if (getenv("RAVLOX_WRITE_SCREENSHOT") == nullptr)
        GTEST_SKIP() << "set RAVLOX_WRITE_SCREENSHOT=1 to write docs/screenshot.png";
    const std::string m3u = dir_ / "list.m3u";
    const std::string song = dir_ / "ravlox demo - a chirp and a tone.mp3";
    ASSERT_TRUE(write_file(song, read_file(fixture_path("stereo44.mp3"))));
    ASSERT_TRUE(write_file(m3u, song + "\n"));
    JackServer jack;
    ASSERT_TRUE(jack.ok()) << jack.log();
    jack_ = jack.name();
    start(2, false, {"--playlist.m3u=" + m3u});
    click(60, 50); // the visualizer: from off to the oscilloscope
    click(60, 50); // and on to the spectrum
    click(50, 96); // play
    std::this_thread::sleep_for(milliseconds(2300));
    ASSERT_TRUE(x_.screenshot(win_).save_png(RAVLOX_SOURCE_DIR "/docs/screenshot.png"));
}

} // namespace

namespace {

bool digits_show(const Image &s, int d90) {
    Expected want;
    want.at(ELEM_DIGIT + d90, 90, 26);
    for (int y = 26; y < 39; y++)
        for (int x = 90; x < 99; x++)
            if (!(s.pixel(x, y) == want.img.pixel(x, y)))
                return false;
    return true;
}

TEST_F(MainWindow, PositionBarDragSeeksOnRelease) {
    const std::string m3u = dir_ / "list.m3u";
    ASSERT_TRUE(write_file(m3u, fixture_path("len10_9.mp3") + "\n"));
    start(1, true, {"--playlist.m3u=" + m3u});
    ASSERT_TRUE(digits_show(shot(), 0));
    // 10 s over x 16..264: x 140 is second 5. The drag ends outside the window.
    ASSERT_TRUE(x_.mouse_down(win_, 30, 77));
    ASSERT_TRUE(x_.mouse_move(win_, 90, 77));
    ASSERT_TRUE(x_.mouse_move(win_, 140, 77));
    ASSERT_TRUE(x_.mouse_move(win_, 140, 300));
    ASSERT_TRUE(x_.mouse_up());
    EXPECT_TRUE(wait_until([&] { return digits_show(shot(), 5); })) << "seek to second 5";
    // Not playing: the decoder stays at the second it was sent to.
    std::this_thread::sleep_for(milliseconds(500));
    EXPECT_TRUE(digits_show(shot(), 5));
}

TEST_F(MainWindow, ThemeFromAnArchiveAndResetFromTheMenu) {
    // The template theme zipped into an archive of ours.
    const std::string wsz = dir_ / "template.wsz";
    ASSERT_TRUE(theme().ok);
    ProgramResult z = run_command({"sh", "-c", "cd '" + theme().path + "' && zip -q -r '" + wsz + "' ."});
    ASSERT_TRUE(z.exited_with(0)) << z;
    start(1, false, {"--gui.theme.wsz=" + wsz});
    expect_picture(Expected::idle(), "theme from the archive");

    // Control+o opens the menu; its last item is "Reset to default skin".
    control_key("o");
    std::this_thread::sleep_for(milliseconds(400));
    plain_key("Up");
    plain_key("Return");
    Expected want;
    want.img = Image::load(RAVLOX_SOURCE_DIR "/tests/gui/data/main_default.png");
    expect_picture(want, "default theme after the reset");
    const std::string fresh = dir_ / "default";
    ASSERT_EQ(mkdir(fresh.c_str(), 0700), 0);
    ASSERT_TRUE(run_program({"--gui.theme.dumpdefault=" + fresh + "/"}).exited_with(0));
    EXPECT_EQ(read_file(data_ + "/theme/MAIN.BMP"), read_file(fresh + "/MAIN.BMP"));
}

TEST_F(MainWindow, EjectOpensTheFileChooser) {
    start();
    plain_key("n");
    auto chooser = x_.wait_window("Open File", milliseconds(8000));
    ASSERT_TRUE(chooser.has_value());
    ASSERT_TRUE(x_.xdotool({"windowfocus", *chooser, "key", "Escape"}).exited_with(0));
    EXPECT_TRUE(x_.wait_window_gone("Open File", milliseconds(5000)));
    EXPECT_TRUE(p_->running());
}

} // namespace

namespace {

// Only a hand-edited file can hold a factor below 1; the windows then use 1, and so does the file.
TEST_F(MainWindow, ScaleBelowOneIsTakenAsOne) {
    for (const char *factor : {"0", "-3"}) {
        const std::string data = dir_ / "data";
        remove_tree(data);
        ASSERT_EQ(mkdir(data.c_str(), 0700), 0);
        ASSERT_TRUE(write_file(data + "/gui.config", std::string("scalefactor=") + factor + "\n"));
        start(); // waits for a 275 x 116 window
        EXPECT_TRUE(wait_config("gui.config", "scalefactor", "1")) << factor;
        expect_picture(Expected::idle(), std::string("scale ") + factor);
        p_.reset();
    }
}

} // namespace
