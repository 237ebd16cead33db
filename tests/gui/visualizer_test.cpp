// The visualizer on real sample buffers: the transform against a plain DFT, the three pictures
// and their edge cases, and its configuration file in a temporary data directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <memory>
#include <random>
#include <vector>

#include "core/handle.h"
#include "gui/visualizer.h"
#include "support/harness.h"
#include "theme/theme.h"

namespace {

constexpr double FULL = 253046375534.0;

struct VisualizerTest : ::testing::Test {
    TempDir dir{"ravlox-vis"};
    std::unique_ptr<tHandle, decltype(&free)> handle{static_cast<tHandle *>(calloc(1, sizeof(tHandle))),
                                                    &free};
    std::unique_ptr<tHandleTheme> theme = std::make_unique<tHandleTheme>();
    std::unique_ptr<tHandleVisualizer> vis = std::make_unique<tHandleVisualizer>();

    void SetUp() override {
        snprintf(handle->data_dir, sizeof handle->data_dir, "%s/", dir.path().c_str());
        memset(theme.get(), 0, sizeof *theme);
        // Colour c is (c, 100 + c, 200): the index can be read back from any pixel.
        for (int c = 0; c < 24; c++) {
            theme->viscolors[c][0] = static_cast<uint8_t>(c);
            theme->viscolors[c][1] = static_cast<uint8_t>(100 + c);
            theme->viscolors[c][2] = 200;
        }
        visualizer_init(vis.get(), handle.get(), theme.get());
    }

    // Colour index of a pixel, or -1 if it is not one of the theme's colours.
    int colour(int row, int column) const {
        const uint8_t *p = vis->image + row * VISUALIZER_STRIDE + column * 4;
        if (p[3] != 255 || p[2] != 200 || p[1] != 100 + p[0] || p[0] > 23)
            return -1;
        return p[0];
    }
    static int background(int row, int column) { return (row % 2 == 1 && column % 2 == 1) ? 1 : 0; }

    void update(std::vector<int16_t> samples) {
        samples.resize(512);
        visualizer_update(vis.get(), samples.data(), 512);
    }
    static std::vector<int16_t> constant(int16_t left, int16_t right) {
        std::vector<int16_t> s(512);
        for (int i = 0; i < 256; i++) {
            s[2 * i] = left;
            s[2 * i + 1] = right;
        }
        return s;
    }
    // Sets the smoothed power so that the next silent spectrum frame gives bar b the level e.
    void preset_level(int bar, double e) {
        // Nudged up so that rounding cannot leave the level just under e.
        vis->power[bar + 1] = e * (1 + 1e-12) * FULL / 15 / 0.4;
        vis->power[256 - (bar + 1)] = 0;
    }
};

TEST_F(VisualizerTest, TransformMatchesPlainDft) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(-32768, 32767);
    std::vector<int16_t> s(512);
    for (auto &x : s)
        x = static_cast<int16_t>(value(random));
    visualizer_fft(vis.get(), s.data());
    double worst = 0;
    for (int k = 0; k < 256; k++) {
        std::complex<double> sum = 0;
        for (int n = 0; n < 256; n++)
            sum += std::complex<double>(s[2 * n], s[2 * n + 1]) *
                   std::polar(1.0, -2 * M_PI * k * n / 256);
        worst = std::max(worst, std::abs(sum - std::complex<double>(vis->re[k], vis->im[k])));
    }
    EXPECT_LT(worst, 1e-6 * 32768 * 256);
}

TEST_F(VisualizerTest, SilenceInEveryMode) {
    vis->mode = VISUALIZER_OSCILLOSCOPE;
    update({});
    for (int r = 0; r < 15; r++)
        for (int c = 0; c < 76; c++)
            ASSERT_EQ(colour(r, c), r == 7 ? 18 : background(r, c)) << r << "," << c;

    vis->mode = VISUALIZER_SPECTRUM;
    update({});
    for (int r = 0; r < 15; r++)
        for (int c = 0; c < 76; c++) {
            const bool bar = c % 4 != 0;
            ASSERT_EQ(colour(r, c), bar && r == 14 ? 23 : background(r, c)) << r << "," << c;
        }

    vis->mode = VISUALIZER_SPECTROGRAM;
    for (int i = 0; i < 3; i++)
        update({});
    for (int r = 12; r < 15; r++)
        for (int c = 0; c < 76; c++)
            ASSERT_EQ(colour(r, c), 16) << r << "," << c;
}

TEST_F(VisualizerTest, OscilloscopeSquareWaves) {
    vis->mode = VISUALIZER_OSCILLOSCOPE;
    std::vector<int16_t> s(512);
    for (int i = 0; i < 256; i++)
        s[2 * i] = s[2 * i + 1] = (i / 8) % 2 ? -32767 : 32767;
    update(s);
    std::vector<int> rows;
    for (int c = 0; c < 76; c++)
        for (int r = 0; r < 15; r++)
            if (colour(r, c) == 18)
                rows.push_back(r);
    ASSERT_EQ(rows.size(), 76u);
    for (int r : rows)
        EXPECT_TRUE(r == 0 || r == 14) << r;
    EXPECT_NE(std::count(rows.begin(), rows.end(), 0), 0);
    EXPECT_NE(std::count(rows.begin(), rows.end(), 14), 0);

    // With -32768 the scale is 32768 and the positive half falls one row short.
    visualizer_init(vis.get(), handle.get(), theme.get());
    vis->mode = VISUALIZER_OSCILLOSCOPE;
    for (int i = 0; i < 256; i++)
        s[2 * i] = s[2 * i + 1] = (i / 8) % 2 ? -32768 : 32767;
    update(s);
    for (int c = 0; c < 76; c++) {
        EXPECT_NE(colour(14, c), 18) << c;
        EXPECT_TRUE(colour(13, c) == 18 || colour(0, c) == 18) << c;
    }
}

TEST_F(VisualizerTest, TracePixelFadesThroughFiveColours) {
    vis->mode = VISUALIZER_OSCILLOSCOPE;
    update(constant(32767, 32767)); // a full-scale trace on row 14
    std::vector<int> seen{colour(14, 30)};
    for (int i = 0; i < 5; i++) {
        update({}); // from now on the trace is on row 7
        seen.push_back(colour(14, 30));
    }
    EXPECT_EQ(seen, (std::vector<int>{18, 19, 20, 21, 22, background(14, 30)}));
    EXPECT_EQ(colour(7, 30), 18);
}

TEST_F(VisualizerTest, BarHeightsAndPeaks) {
    vis->mode = VISUALIZER_SPECTRUM;
    preset_level(0, 1.0); // bar 0: one pixel, history 1
    preset_level(1, 1.5); // bar 1: two pixels, history 1, peak covers its top pixel
    update({});
    for (int c = 1; c <= 3; c++) {
        EXPECT_EQ(colour(14, c), 16);
        EXPECT_EQ(colour(13, c), 23);
        EXPECT_EQ(colour(12, c), background(12, c));
    }
    for (int c = 5; c <= 7; c++) {
        EXPECT_EQ(colour(14, c), 16);
        EXPECT_EQ(colour(13, c), 23);
        EXPECT_EQ(colour(12, c), background(12, c));
    }
    EXPECT_EQ(vis->peak_history[0][0], 1);
    EXPECT_EQ(vis->peak_history[0][1], 1);
    EXPECT_EQ(colour(14, 4), background(14, 4)); // the gap column between bars

    // The peak stays for the next 15 frames and is gone on the 16th after it.
    for (int i = 1; i <= 15; i++) {
        update({});
        ASSERT_EQ(colour(13, 2), 23) << i;
    }
    update({});
    EXPECT_EQ(colour(13, 2), background(13, 2));
    EXPECT_EQ(colour(14, 2), 23);
}

TEST_F(VisualizerTest, FullBarKeepsItsPeakInsideThePicture) {
    vis->mode = VISUALIZER_SPECTRUM;
    preset_level(3, 40.0);
    update({});
    const int c = 4 * 3 + 1;
    EXPECT_EQ(colour(0, c), 23);
    for (int r = 1; r < 15; r++)
        EXPECT_EQ(colour(r, c), 16 - (14 - r)) << r;
    EXPECT_EQ(vis->peak_history[0][3], 15);
}

TEST_F(VisualizerTest, SpectrogramScrollsAndShowsLevels) {
    vis->mode = VISUALIZER_SPECTROGRAM;
    vis->power[1] = 14.0 * FULL / 14 / 0.4 * 2; // column 0 at full level
    vis->power[3] = 5.5 * FULL / 14 / 0.4;      // column 2 at level 5
    update({});
    EXPECT_EQ(colour(14, 0), 2);
    EXPECT_EQ(colour(14, 2), 11);
    update({});
    EXPECT_EQ(colour(13, 0), 2); // moved up one row
    EXPECT_EQ(colour(13, 2), 11);
    EXPECT_EQ(colour(14, 2), 16 - 2); // 5.5 * 0.4 = 2.2
}

TEST_F(VisualizerTest, ModeFileAndCycle) {
    const std::string file = dir / "visualizer.config";
    for (const char *bad : {"3", "-1", "77"}) {
        write_file(file, std::string("visualizer=") + bad + "\n");
        vis->mode = VISUALIZER_SPECTRUM;
        visualizer_read_config(vis.get());
        EXPECT_EQ(vis->mode, VISUALIZER_OFF) << bad;
    }
    write_file(file, "visualizer=2\n");
    visualizer_read_config(vis.get());
    EXPECT_EQ(vis->mode, VISUALIZER_SPECTROGRAM);
    const int32_t expected[] = {VISUALIZER_OFF, VISUALIZER_OSCILLOSCOPE, VISUALIZER_SPECTRUM};
    for (int32_t mode : expected) {
        visualizer_cycle_mode(vis.get());
        EXPECT_EQ(vis->mode, mode);
        EXPECT_NE(read_file(file).find("visualizer=" + std::to_string(mode)), std::string::npos)
            << read_file(file);
    }
}

TEST_F(VisualizerTest, DrawsAtItsPlaceUnlessOff) {
    GdkPixbuf *target = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 275, 116);
    gdk_pixbuf_fill(target, 0xff00ffff);
    vis->mode = VISUALIZER_OFF;
    update({});
    visualizer_draw(vis.get(), target, 24, 44);
    const guchar *px = gdk_pixbuf_get_pixels(target);
    const int stride = gdk_pixbuf_get_rowstride(target);
    EXPECT_EQ(px[44 * stride + 24 * 4 + 1], 0); // untouched magenta
    vis->mode = VISUALIZER_OSCILLOSCOPE;
    update({});
    visualizer_draw(vis.get(), target, 24, 44);
    for (int r = 0; r < 15; r++)
        for (int c = 0; c < 76; c++)
            ASSERT_EQ(0, memcmp(px + (44 + r) * stride + (24 + c) * 4,
                                vis->image + r * VISUALIZER_STRIDE + c * 4, 4));
    EXPECT_EQ(px[43 * stride + 24 * 4 + 1], 0); // the row above is untouched
    EXPECT_EQ(px[44 * stride + 100 * 4 + 1], 0); // and the column right of it
    // A place where the picture does not fit copies nothing.
    gdk_pixbuf_fill(target, 0xff00ffff);
    visualizer_draw(vis.get(), target, 200, 44);
    EXPECT_EQ(px[44 * stride + 200 * 4 + 1], 0);
    g_object_unref(target);
}

} // namespace
