// The equalizer window under Xvfb: the real program, a template theme of ours, xdotool input,
// and the values it writes into "equalizer.config".
#include <gtest/gtest.h>

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "equalizer_test_util.h"
#include "support/harness.h"

namespace {

// The template palette, 0xAARRGGBB; element e is painted with entry e mod 80.
constexpr std::array<uint32_t, 80> PALETTE = {
    0xFF696969, 0xFFA9A9A9, 0xFFDCDCDC, 0xFF2F4F4F, 0xFF556B2F, 0xFF6B8E23, 0xFFA0522D, 0xFF2E8B57,
    0xFF800000, 0xFF191970, 0xFF006400, 0xFF808000, 0xFF483D8B, 0xFFB22222, 0xFF5F9EA0, 0xFF778899,
    0xFF008000, 0xFF3CB371, 0xFFBC8F8F, 0xFF663399, 0xFF008080, 0xFFBDB76B, 0xFFCD853F, 0xFF4682B4,
    0xFFD2691E, 0xFF9ACD32, 0xFF20B2AA, 0xFFCD5C5C, 0xFF00008B, 0xFF4B0082, 0xFF32CD32, 0xFFDAA520,
    0xFF7F007F, 0xFF8FBC8F, 0xFFB03060, 0xFF66CDAA, 0xFF9932CC, 0xFFFF4500, 0xFFFF8C00, 0xFFFFA500,
    0xFFFFD700, 0xFFFFFF00, 0xFFC71585, 0xFF0000CD, 0xFFDEB887, 0xFF40E0D0, 0xFF7FFF00, 0xFF00FF00,
    0xFFBA55D3, 0xFF00FA9A, 0xFF8A2BE2, 0xFF00FF7F, 0xFF4169E1, 0xFFDC143C, 0xFF00FFFF, 0xFF00BFFF,
    0xFF9370DB, 0xFF0000FF, 0xFFADFF2F, 0xFFDA70D6, 0xFFD8BFD8, 0xFFB0C4DE, 0xFFFF7F50, 0xFFFF00FF,
    0xFFDB7093, 0xFFFA8072, 0xFFEEE8AA, 0xFFFFFF54, 0xFF6495ED, 0xFFDDA0DD, 0xFF90EE90, 0xFF87CEEB,
    0xFFFF1493, 0xFF7B68EE, 0xFFFFA07A, 0xFFAFEEEE, 0xFF7FFFD4, 0xFFFFDAB9, 0xFFFF69B4, 0xFFFFC0CB,
};

// The template writer stores an entry's low byte as red and its third byte as blue.
Rgb element_colour(int element) {
    const uint32_t p = PALETTE[element % 80];
    return Rgb{uint8_t(p & 255), uint8_t((p >> 8) & 255), uint8_t((p >> 16) & 255)};
}

// Our own colour column: one distinct colour per row, so the curve's colour shows its row.
Rgb column_colour(int row) { return Rgb{200, uint8_t(10 * row + 5), 30}; }

constexpr int GRAPH_X = 86;
constexpr int GRAPH_Y = 17;

int track_x(int index) { return index == 0 ? 21 : 78 + 18 * (index - 1); }

std::string bars_config(const std::array<int, 11> &values, const std::string &extra = "") {
    std::string text;
    for (int i = 0; i < 11; ++i) {
        char line[32];
        snprintf(line, sizeof line, "bar%02d=%d\n", i, values[i]);
        text += line;
    }
    return text + extra;
}

std::string bar_key(int i) {
    char key[8];
    snprintf(key, sizeof key, "bar%02d", i);
    return key;
}

// The template theme with our colour column, written once for all tests.
class ThemeDirs {
public:
    ThemeDirs() {
        const std::string tpl = dir_ / "template";
        ProgramResult r = run_program({"--gui.theme.dumptemplate=" + tpl + "/"});
        ok_ = r.exited_with(0) && path_exists(tpl + "/EQMAIN.BMP");
        if (!ok_) return;
        GError *error = nullptr;
        GdkPixbuf *eq = gdk_pixbuf_new_from_file((tpl + "/EQMAIN.BMP").c_str(), &error);
        if (eq == nullptr) {
            g_clear_error(&error);
            ok_ = false;
            return;
        }
        GdkPixbuf *rgba = gdk_pixbuf_add_alpha(eq, FALSE, 0, 0, 0);
        g_object_unref(eq);
        const int stride = gdk_pixbuf_get_rowstride(rgba);
        guchar *pixels = gdk_pixbuf_get_pixels(rgba);
        for (int row = 0; row < 19; ++row) {
            guchar *p = pixels + (294 + row) * stride + 115 * 4;
            const Rgb c = column_colour(row);
            p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = 255;
        }
        ok_ = gdk_pixbuf_save(rgba, (tpl + "/EQMAIN.BMP").c_str(), "bmp", &error, nullptr);
        g_clear_error(&error);
        g_object_unref(rgba);
        path_ = tpl;
    }
    bool ok() const { return ok_; }
    const std::string &path() const { return path_; }

private:
    TempDir dir_{"ravlox-eq-theme"};
    std::string path_;
    bool ok_ = false;
};

ThemeDirs &theme_dirs() {
    static ThemeDirs dirs;
    return dirs;
}

// The program with the equalizer shown, on its own display and data directory.
class Equalizer : public testing::Test {
protected:
    void start(const std::string &equalizer_config, int scale = 1) {
        ASSERT_TRUE(theme_dirs().ok());
        ASSERT_TRUE(x_.ok());
        data_ = dir_ / "data";
        ASSERT_EQ(mkdir(data_.c_str(), 0700), 0);
        ASSERT_EQ(mkdir((data_ + "/theme").c_str(), 0700), 0);
        ASSERT_TRUE(write_file(data_ + "/gui.config",
                               "scalefactor=" + std::to_string(scale) + "\nshowequalizer=TRUE\n"));
        ASSERT_TRUE(write_file(data_ + "/equalizer.config", equalizer_config));
        ProgramOptions o;
        o.data_dir = data_;
        o.display = x_.display();
        o.args = {"--gui.theme.dir=" + theme_dirs().path()};
        p_ = std::make_unique<ProgramProcess>(o);
        auto w = x_.wait_window("ravlox equalizer");
        ASSERT_TRUE(w.has_value()) << p_->out() << p_->err();
        win_ = *w;
        scale_ = scale;
        // Drawn once the title bar shows the template's colour for element 97.
        ASSERT_TRUE(wait_until([&] { return shot().pixel(1, 1) == element_colour(97); }))
            << p_->out() << p_->err();
    }

    Image shot() const {
        Image full = x_.screenshot(win_);
        if (scale_ == 1) return full;
        // Sample the enlarged window back at base size, checking that every pixel is a
        // whole block of equal pixels.
        Image base;
        base.width = 275;
        base.height = 116;
        base.rgb.assign(275 * 116 * 3, 0);
        for (int y = 0; y < 116; ++y)
            for (int x = 0; x < 275; ++x) {
                const Rgb c = full.pixel(x * scale_, y * scale_);
                if (!(full.pixel(x * scale_ + scale_ - 1, y * scale_ + scale_ - 1) == c)) continue;
                uint8_t *p = &base.rgb[(y * 275 + x) * 3];
                p[0] = c.r, p[1] = c.g, p[2] = c.b;
            }
        return base;
    }

    std::map<std::string, std::string> config() const {
        return read_settings(data_ + "/equalizer.config");
    }

    bool wait_config(const std::string &key, const std::string &value) {
        return wait_until([&] {
            auto c = config();
            return c.count(key) != 0 && c[key] == value;
        });
    }

    // Base-pixel positions of the window, enlarged to the screen.
    int at(int base) const { return base * scale_; }

    TempDir dir_{"ravlox-eq"};
    Xvfb x_;
    std::string data_;
    std::unique_ptr<ProgramProcess> p_;
    std::string win_;
    int scale_ = 1;
};

// Bar frame, thumb and its position for one slider value.
void expect_slider(const Image &img, int index, int bar_element, int thumb_y) {
    const int x = track_x(index);
    SCOPED_TRACE("slider " + std::to_string(index));
    // The bar's left and right columns are not covered by the thumb.
    for (int y : {38, 60, 100}) {
        EXPECT_EQ(img.pixel(x, y), element_colour(bar_element)) << "y " << y;
        EXPECT_EQ(img.pixel(x + 13, y), element_colour(bar_element)) << "y " << y;
    }
    EXPECT_EQ(img.pixel(x + 1, thumb_y), element_colour(99));
    EXPECT_EQ(img.pixel(x + 11, thumb_y + 10), element_colour(99));
    if (thumb_y > 38) {
        EXPECT_EQ(img.pixel(x + 5, thumb_y - 1), element_colour(bar_element));
    }
    if (thumb_y + 11 <= 100) {
        EXPECT_EQ(img.pixel(x + 5, thumb_y + 11), element_colour(bar_element));
    }
}

// Every graph column holds the curve at its row and the background elsewhere, except for
// the preamp line's row.
void expect_curve(const Image &img, const std::vector<int> &rows, int preamp_row) {
    ASSERT_EQ(rows.size(), 113u);
    for (int k = 0; k < 113; ++k) {
        for (int r = 0; r < 20; ++r) {
            const Rgb got = img.pixel(GRAPH_X + k, GRAPH_Y + r);
            if (r == rows[k]) {
                EXPECT_EQ(got, column_colour(r)) << "column " << k << " row " << r;
            } else if (r == preamp_row) {
                EXPECT_EQ(got, element_colour(133)) << "column " << k << " row " << r;
            } else if (r < 19) {
                EXPECT_EQ(got, element_colour(131)) << "column " << k << " row " << r;
            }
        }
    }
}

std::vector<int> rows_for_all_bands(int first8[8], int middle, int last) {
    std::vector<int> rows(first8, first8 + 8);
    rows.resize(112, middle);
    rows.push_back(last);
    return rows;
}

TEST_F(Equalizer, SlidersShowBarFramesAndThumbsForTheirValues) {
    start(bars_config({-100, -100, 0, 100, 0, 0, 0, 0, 0, 0, 0}));
    const Image img = shot();
    expect_slider(img, 0, 100, 90);
    expect_slider(img, 1, 100, 90);
    expect_slider(img, 2, 117, 64);
    expect_slider(img, 3, 130, 38);
    expect_slider(img, 4, 117, 64);
    // The static parts: ON and AUTO off, PRESETS, the close button.
    EXPECT_EQ(img.pixel(15, 19), element_colour(88));
    EXPECT_EQ(img.pixel(40, 19), element_colour(89));
    EXPECT_EQ(img.pixel(218, 19), element_colour(114));
    EXPECT_EQ(img.pixel(265, 4), element_colour(87));
    // The preamp line of -100 lies on the graph's first curve row.
    int line = 0;
    for (int k = 0; k < 113; ++k) line += img.pixel(GRAPH_X + k, 17) == element_colour(133);
    EXPECT_GT(line, 100);
}

TEST_F(Equalizer, CurveFollowsTheLevelLabelsAndPreampLineItsValue) {
    start(bars_config({100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    {
        SCOPED_TRACE("all zero");
        expect_curve(shot(), std::vector<int>(113, 9), 19);
    }
    int high[8] = {4, 3, 3, 2, 2, 1, 1, 1};
    ASSERT_TRUE(x_.click(win_, 50, 40)); // upper label
    ASSERT_TRUE(wait_config("bar10", "100"));
    ASSERT_TRUE(wait_until([&] { return shot().pixel(GRAPH_X + 50, GRAPH_Y) == column_colour(0); }));
    {
        SCOPED_TRACE("all 100");
        expect_curve(shot(), rows_for_all_bands(high, 0, 1), 19);
        expect_slider(shot(), 10, 130, 38);
    }
    int low[8] = {13, 14, 14, 15, 15, 16, 16, 16};
    ASSERT_TRUE(x_.click(win_, 50, 100)); // lower label
    ASSERT_TRUE(wait_config("bar10", "-100"));
    ASSERT_TRUE(
        wait_until([&] { return shot().pixel(GRAPH_X + 50, GRAPH_Y + 17) == column_colour(17); }));
    {
        SCOPED_TRACE("all -100");
        expect_curve(shot(), rows_for_all_bands(low, 17, 16), 19);
    }
    // The labels leave the preamp alone.
    auto c = config();
    EXPECT_EQ(c["bar00"], "100");
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(c[bar_key(i)], "-100") << i;
    ASSERT_TRUE(x_.click(win_, 50, 70)); // middle label
    ASSERT_TRUE(wait_config("bar01", "0"));
    EXPECT_TRUE(wait_config("bar10", "0"));
}

TEST_F(Equalizer, DraggingSlidersWritesTheirValuesAtScaleTwo) {
    start(bars_config({0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0}), 2);
    auto geometry = x_.window_geometry(win_);
    ASSERT_TRUE(geometry.has_value());
    EXPECT_EQ(geometry->width, 550);
    EXPECT_EQ(geometry->height, 232);
    {
        // Enlarged without smoothing: the sampled picture is the base picture.
        SCOPED_TRACE("scaled picture");
        // 40 shows bar frame 19 (element 122), the thumb at 38 + 52 * 60 / 200.
        expect_slider(shot(), 3, 122, 53);
    }
    // Band 1 pulled above its track, band 2 below it, band 3 to the track's middle
    // (y 69.5 in base pixels, 139 on screen).
    ASSERT_TRUE(x_.drag(win_, at(85), at(70), at(85), 10));
    EXPECT_TRUE(wait_config("bar01", "100"));
    ASSERT_TRUE(x_.drag(win_, at(103), at(70), at(103), 230));
    EXPECT_TRUE(wait_config("bar02", "-100"));
    ASSERT_TRUE(x_.drag(win_, at(121), at(50), at(121), 139));
    EXPECT_TRUE(wait_config("bar03", "0"));
    // The preamp slider is index 0.
    ASSERT_TRUE(x_.drag(win_, at(28), at(70), at(28), at(45)));
    EXPECT_TRUE(wait_until([&] { return config()["bar00"] != "0"; }));
    EXPECT_EQ(config()["bar00"], std::to_string(int(100 - 200 * (45 - 38) / 63.0)));
}

TEST_F(Equalizer, FollowsTheScaleCycledFromTheMainWindow) {
    start(bars_config({0, 0, 0, 100, 0, 0, 0, 0, 0, 0, 0}));
    auto main = x_.wait_window("ravlox main");
    ASSERT_TRUE(main.has_value());
    // The windows open stacked, the equalizer docked under the main window, and stay so at
    // every scale: neither covers the other.
    for (int scale : {2, 4, 1}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        // The option strip's fourth button cycles the scale.
        ASSERT_TRUE(x_.click(*main, 13 * scale_, 51 * scale_));
        EXPECT_TRUE(wait_until([&] {
            auto g = x_.window_geometry(win_);
            return g && g->width == 275 * scale && g->height == 116 * scale;
        }));
        scale_ = scale;
        EXPECT_TRUE(wait_until([&] { return shot().pixel(track_x(3) + 5, 38) == element_colour(99); }));
        expect_slider(shot(), 3, 130, 38);
    }
    EXPECT_EQ(read_settings(data_ + "/gui.config")["scalefactor"], "1");
}

TEST_F(Equalizer, ReleasingADragOverALevelLabelSetsTheTenBands) {
    start(bars_config({37, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50}));
    ASSERT_TRUE(x_.drag(win_, 157, 60, 55, 40));
    // The bands are sent in order; band 10 comes last.
    ASSERT_TRUE(wait_config("bar10", "100"));
    auto c = config();
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(c[bar_key(i)], "100") << i;
    EXPECT_EQ(c["bar00"], "37");
}

TEST_F(Equalizer, PressedImagesShowWhileTheButtonIsHeld) {
    start(bars_config({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(x_.mouse_down(win_, 85, 70)); // band 1, thumb at 64
    EXPECT_TRUE(wait_until([&] { return shot().pixel(80, 65) == element_colour(115); }));
    ASSERT_TRUE(x_.mouse_up());
    EXPECT_TRUE(wait_until([&] { return shot().pixel(80, 65) == element_colour(99); }));
    // Pressing without moving changed nothing.
    EXPECT_EQ(config()["bar01"], "0");

    ASSERT_TRUE(x_.mouse_down(win_, 20, 24)); // ON, off
    EXPECT_TRUE(wait_until([&] { return shot().pixel(15, 19) == element_colour(92); }));
    // Moving off the button before letting go acts on the box under the pointer: none.
    ASSERT_TRUE(x_.mouse_move(win_, 150, 24));
    ASSERT_TRUE(x_.mouse_up());
    EXPECT_TRUE(wait_until([&] { return shot().pixel(15, 19) == element_colour(88); }));
    EXPECT_EQ(config()["equalizer"], "OFF");
}

TEST_F(Equalizer, OnButtonSwitchesAndIsStored) {
    start(bars_config({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "equalizer=OFF\n"));
    EXPECT_EQ(config()["automatic"], "OFF");
    ASSERT_TRUE(x_.click(win_, 20, 24));
    ASSERT_TRUE(wait_config("equalizer", "ON"));
    EXPECT_TRUE(wait_until([&] { return shot().pixel(15, 19) == element_colour(90); }));
    ASSERT_TRUE(x_.click(win_, 20, 24));
    ASSERT_TRUE(wait_config("equalizer", "OFF"));
    EXPECT_TRUE(wait_until([&] { return shot().pixel(15, 19) == element_colour(88); }));
    // AUTO is shown only and never changes.
    ASSERT_TRUE(x_.click(win_, 50, 24));
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(config()["automatic"], "OFF");
    EXPECT_EQ(shot().pixel(40, 19), element_colour(89));
}

TEST_F(Equalizer, StoredValuesAreShownInRange) {
    start("bar00=5000\nbar01=-2147483648\nbar02=abc\nbar03=101\nequalizer=ON\nautomatic=ON\n");
    auto c = config();
    EXPECT_EQ(c["bar00"], "100");
    EXPECT_EQ(c["bar01"], "-100");
    EXPECT_EQ(c["bar02"], "0");
    EXPECT_EQ(c["bar03"], "100");
    // Missing keys were added with their defaults.
    EXPECT_EQ(c["bar10"], "0");
    EXPECT_EQ(c["equalizer"], "ON");
    EXPECT_EQ(c["automatic"], "ON");
    const Image img = shot();
    expect_slider(img, 0, 130, 38);
    expect_slider(img, 1, 100, 90);
    EXPECT_EQ(img.pixel(15, 19), element_colour(90));
    EXPECT_EQ(img.pixel(40, 19), element_colour(91));
}

TEST_F(Equalizer, CloseRequestHidesTheWindowAndIsRemembered) {
    start(bars_config({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(send_close_request(x_.display(), win_));
    EXPECT_TRUE(x_.wait_window_gone("ravlox equalizer", milliseconds(5000)));
    EXPECT_TRUE(wait_until(
        [&] { return read_settings(data_ + "/gui.config")["showequalizer"] == "FALSE"; }));
    EXPECT_TRUE(p_->running());
    // The main window's equalizer toggle brings it back, drawn as before.
    auto main = x_.wait_window("ravlox main");
    ASSERT_TRUE(main.has_value());
    ASSERT_TRUE(x_.click(*main, 225, 62));
    auto again = x_.wait_window("ravlox equalizer");
    ASSERT_TRUE(again.has_value());
    win_ = *again;
    EXPECT_TRUE(wait_until([&] { return shot().pixel(1, 1) == element_colour(97); }));
    EXPECT_TRUE(wait_until(
        [&] { return read_settings(data_ + "/gui.config")["showequalizer"] == "TRUE"; }));
}

TEST_F(Equalizer, CloseButtonHidesTheWindowAndIsRemembered) {
    start(bars_config({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(x_.click(win_, 268, 7));
    EXPECT_TRUE(x_.wait_window_gone("ravlox equalizer", milliseconds(5000)));
    EXPECT_TRUE(wait_until(
        [&] { return read_settings(data_ + "/gui.config")["showequalizer"] == "FALSE"; }));
    EXPECT_TRUE(p_->running());
}


// The switch reaches the decoder: the sound played into a file-backed device is cut by the
// bands only while the equalizer is on.
class EqualizerSound : public testing::Test {
protected:
    // Plays the fixture once; with `press_on`, the ON button is clicked before playing.
    std::vector<int16_t> play(bool press_on) {
        TempDir dir("ravlox-eq-sound");
        const std::string data = dir / "data";
        const std::string capture = dir / "capture.raw";
        EXPECT_EQ(mkdir(data.c_str(), 0700), 0);
        EXPECT_EQ(mkdir((data + "/theme").c_str(), 0700), 0);
        write_file(data + "/gui.config", "showequalizer=TRUE\n");
        write_file(data + "/equalizer.config",
                   bars_config({0, -100, -100, -100, -100, -100, -100, -100, -100, -100, -100},
                               "equalizer=OFF\n"));
        write_file(dir / "list.m3u", fixture_path("stereo44.mp3") + "\n");
        Xvfb x;
        ProgramOptions o;
        o.data_dir = data;
        o.display = x.display();
        o.alsa = AlsaConfig::File;
        o.capture_file = capture;
        o.args = {"--playlist.m3u=" + (dir / "list.m3u")};
        ProgramProcess p(o);
        auto eq = x.wait_window("ravlox equalizer");
        auto main = x.wait_window("ravlox main");
        EXPECT_TRUE(eq.has_value() && main.has_value()) << p.out() << p.err();
        if (!eq || !main) return {};
        std::this_thread::sleep_for(milliseconds(500));
        if (press_on) {
            EXPECT_TRUE(x.click(*eq, 20, 24));
            EXPECT_TRUE(wait_until(
                [&] { return read_settings(data + "/equalizer.config")["equalizer"] == "ON"; }));
        }
        // Without a window manager both windows open at (0, 0); uncover the play button.
        EXPECT_TRUE(x.xdotool({"windowmove", *eq, "0", "300"}).exited_with(0));
        std::this_thread::sleep_for(milliseconds(300));
        EXPECT_TRUE(x.click(*main, 50, 96));
        EXPECT_TRUE(wait_until(
            [&] {
                for (int16_t v : read_samples(capture))
                    if (v != 0) return true;
                return false;
            },
            milliseconds(10000)))
            << p.out() << p.err();
        // The track lasts three seconds; the decoder plays it in real time.
        std::this_thread::sleep_for(milliseconds(3500));
        p.stop();
        return read_samples(capture);
    }

    static double energy(const std::vector<int16_t> &samples) {
        double sum = 0;
        for (int16_t s : samples) sum += double(s) * s;
        return sum;
    }
};

TEST_F(EqualizerSound, OnButtonAppliesTheBandsToWhatIsPlayed) {
    const ReferencePcm reference = decode_reference(fixture_path("stereo44.mp3"));
    ASSERT_TRUE(reference.ok);
    const std::vector<int16_t> off = play(false);
    ASSERT_FALSE(off.empty());
    // Switched off, the bands change nothing: stretches of the decoded track play unaltered.
    // The device does not wait for the decoder, so silence falls between the buffers; short
    // stretches at several places are looked for.
    auto heard = [&](const std::vector<int16_t> &capture) {
        int found = 0;
        for (size_t at = 20000; at + 256 < reference.samples.size(); at += 20000) {
            const std::vector<int16_t> stretch(reference.samples.begin() + at,
                                               reference.samples.begin() + at + 256);
            found += find_samples(capture, stretch).has_value();
        }
        return found;
    };
    EXPECT_GE(heard(off), 5);

    const std::vector<int16_t> on = play(true);
    ASSERT_FALSE(on.empty());
    EXPECT_EQ(heard(on), 0);
    // Every band at -100 scales the signal by 10^-0.6: about a sixteenth of the energy.
    EXPECT_LT(energy(on), 0.15 * energy(off));
    EXPECT_GT(energy(on), 0.02 * energy(off));
}

// Presets go through the PRESETS pop-up and a file chooser driven from the keyboard.
class EqualizerPresets : public Equalizer {
protected:
    // Opens the chooser of the pop-up's first ("Save") or second ("Load") item and
    // accepts `path` in it; with an empty path the chooser is cancelled.
    void choose(bool load, const std::string &path) {
        const char *title = load ? "Load presets" : "Save presets";
        ASSERT_TRUE(x_.click(win_, 230, 24));
        std::this_thread::sleep_for(milliseconds(500));
        ASSERT_TRUE(x_.xdotool({"key", load ? "Down" : "Return"}).exited_with(0));
        if (load) {
            ASSERT_TRUE(x_.xdotool({"key", "Return"}).exited_with(0));
        }
        auto dialog = x_.wait_window(title);
        ASSERT_TRUE(dialog.has_value()) << p_->out() << p_->err();
        if (path.empty()) {
            ASSERT_TRUE(x_.key(*dialog, "Escape"));
        } else {
            ASSERT_TRUE(x_.type(*dialog, path));
            std::this_thread::sleep_for(milliseconds(200));
            ASSERT_TRUE(x_.key(*dialog, "Return"));
        }
        ASSERT_TRUE(x_.wait_window_gone(title, milliseconds(5000)));
    }

    std::array<int, 11> bars() const {
        auto c = config();
        std::array<int, 11> out{};
        for (int i = 0; i < 11; ++i) out[i] = atoi(c[bar_key(i)].c_str());
        return out;
    }

    bool wait_bars(const std::array<int, 11> &expected) {
        return wait_until([&] { return bars() == expected; });
    }

    static std::string raw(const std::vector<int32_t> &values) {
        return std::string(reinterpret_cast<const char *>(values.data()), values.size() * 4);
    }
};

TEST_F(EqualizerPresets, SaveWritesTheElevenValuesInIndexOrder) {
    const std::array<int, 11> values = {-100, -7, 0, 3, 50, 99, 100, -1, 12, 42, -64};
    start(bars_config(values));
    // A cancelled chooser writes nothing.
    choose(false, "");
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(list_dir(dir_.path()), std::vector<std::string>{"data"});
    const std::string file = dir_ / "saved.eqf";
    choose(false, file);
    ASSERT_TRUE(wait_until([&] { return file_size(file) == 44; }));
    EXPECT_EQ(read_file(file), raw(std::vector<int32_t>(values.begin(), values.end())));

    // Loading it back after a change restores every value, the preamp included.
    ASSERT_TRUE(x_.click(win_, 50, 40));
    ASSERT_TRUE(wait_config("bar10", "100"));
    choose(true, file);
    EXPECT_TRUE(wait_bars(values));
}

TEST_F(EqualizerPresets, LoadSetsWhatTheFileHoldsClampedToTheRange) {
    start(bars_config({5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5}, "equalizer=ON\n"));
    const std::string full = dir_ / "full.eqf";
    ASSERT_TRUE(write_file(full, raw({-90, -70, -50, -30, -10, 0, 10, 30, 50, 70, 90})));
    choose(true, full);
    EXPECT_TRUE(wait_bars({-90, -70, -50, -30, -10, 0, 10, 30, 50, 70, 90}));

    // Twenty bytes and two stray ones: five values, the rest stays.
    const std::string part = dir_ / "part.eqf";
    ASSERT_TRUE(write_file(part, raw({1, 2, 3, 4, 5}) + std::string("\x7f\x7f", 2)));
    choose(true, part);
    EXPECT_TRUE(wait_bars({1, 2, 3, 4, 5, 0, 10, 30, 50, 70, 90}));

    // Raw bytes from anywhere: huge values end at the range's edges.
    const std::string huge = dir_ / "huge.eqf";
    ASSERT_TRUE(write_file(huge, raw({INT32_MAX, INT32_MIN, 101, -101, 1000000, -1000000, 100,
                                      -100, 0x7f7f7f7f, -2, 2, 555})));
    choose(true, huge);
    EXPECT_TRUE(wait_bars({100, -100, 100, -100, 100, -100, 100, -100, 100, -2, 2}));
    {
        SCOPED_TRACE("drawn at the edges");
        const Image img = shot();
        expect_slider(img, 0, 130, 38);
        expect_slider(img, 1, 100, 90);
    }
    // A preset holds no switch: the equalizer stays on.
    EXPECT_EQ(config()["equalizer"], "ON");

    // A file that does not open changes nothing.
    choose(true, dir_ / "missing.eqf");
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(bars(), (std::array<int, 11>{100, -100, 100, -100, 100, -100, 100, -100, 100, -2, 2}));
    EXPECT_TRUE(p_->running());
}

} // namespace
