// The playlist window of the real program under Xvfb: the skinned frame at several sizes, the
// scroll thumb, and the entry lines in the colours and font of the theme's PLEDIT.TXT.
#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "gui/playlist_window_test_util.h"

namespace {

using plwin::PlaylistRun;
using plwin::PlaylistSetup;

// ---------------------------------------------------------------------------
// Frame pieces with the template theme (every element a flat colour of its own)

struct FrameCase {
    int rows;
    int columns;
    int width;
    int height;
    int title_x;   // where the title piece is centred
    int extension; // x of the extension block, or -1
    int filler;    // x of the one filler tile, or -1
};

void PrintTo(const FrameCase &c, std::ostream *os) { *os << c.columns << "x" << c.rows; }

class PlaylistFrame : public ::testing::TestWithParam<FrameCase> {};

TEST_P(PlaylistFrame, PiecesLandWhereTheSizeSays) {
    const FrameCase c = GetParam();
    PlaylistRun run;
    PlaylistSetup s;
    s.rows = c.rows;
    s.columns = c.columns;
    ASSERT_TRUE(run.start(s)) << run.why;
    const Image img = run.shot();
    plwin::keep(img, "plwin-frame-" + std::to_string(c.width));
    ASSERT_EQ(img.width, c.width);
    ASSERT_EQ(img.height, c.height);
    const int W = c.width;
    const int H = c.height;

    // Title bar: corners, the first and last filler tiles, the centred title piece.
    EXPECT_EQ(run.element_mismatches(img, ELEM_PL_TITLE, 0, 0), 0);
    EXPECT_EQ(run.element_mismatches(img, ELEM_PL_TITLE + 2, 25, 0), 0);
    EXPECT_EQ(run.element_mismatches(img, ELEM_PL_TITLE + 2, W - 50, 0), 0);
    EXPECT_EQ(run.element_mismatches(img, ELEM_PL_TITLE + 3, W - 25, 0), 0);
    EXPECT_EQ(run.element_mismatches(img, ELEM_PL_TITLE + 1, c.title_x, 0), 0);

    // Side tiles on every row; the groove is covered by the thumb at y 20..37 (empty list).
    for (int i = 0; i < c.rows; i++) {
        SCOPED_TRACE("row " + std::to_string(i));
        const int y = 20 + 29 * i;
        EXPECT_EQ(run.element_mismatches(img, ELEM_PL_SIDE_LEFT, 0, y), 0);
        EXPECT_EQ(run.element_mismatches(img, ELEM_PL_SIDE_RIGHT, W - 20, y), 0);
        EXPECT_EQ(run.element_mismatches(img, ELEM_PL_SIDE_RIGHT + 2, W - 7, y), 0);
        const int dy0 = i == 0 ? 18 : 0;
        EXPECT_EQ(run.element_mismatches(img, ELEM_PL_SIDE_RIGHT + 1, W - 15, y, 0, dy0), 0);
    }
    EXPECT_EQ(run.element_mismatches(img, ELEM_PL_SCROLL_THUMB, W - 15, 20), 0);

    // Bottom bar: left block, extension and filler as the width asks, right block.
    EXPECT_EQ(run.element_mismatches(img, ELEM_PL_BOTTOM_LEFT, 0, H - 38), 0);
    if (c.extension >= 0) {
        EXPECT_EQ(run.element_mismatches(img, ELEM_PL_BOTTOM_EXTRA, c.extension, H - 38), 0);
    }
    if (c.filler >= 0) {
        EXPECT_EQ(run.element_mismatches(img, ELEM_PL_BOTTOM_FILL, c.filler, H - 38), 0);
    }
    // The right block's left strip and its upper part (below them lie the small buttons).
    EXPECT_EQ(run.element_mismatches(img, ELEM_PL_BOTTOM_RIGHT, W - 150, H - 38, 0, 0, 6, 38), 0);
    EXPECT_EQ(run.element_mismatches(img, ELEM_PL_BOTTOM_RIGHT, W - 150, H - 38, 6, 0, 128, 22),
              0);
    if (c.extension < 0 && c.filler < 0) { // nothing between the blocks at the smallest width
        EXPECT_EQ(W - 150, 125);
    }

    // The small transport buttons and the two small buttons, from the right and bottom edges.
    const int mini_x[6] = {144, 136, 127, 117, 107, 99};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(run.element_mismatches(img, ELEM_PL_MINI_BUTTON + i, W - mini_x[i], H - 16), 0)
            << "small button " << i;
    EXPECT_EQ(run.element_mismatches(img, ELEM_PL_SMALL_BUTTON, W - 16, H - 36), 0);
    EXPECT_EQ(run.element_mismatches(img, ELEM_PL_SMALL_BUTTON + 1, W - 16, H - 31), 0);

    // The list area shows the template's NormalBG and nothing of the skin.
    const Rgb normal_bg{220, 220, 220};
    for (int y : {20, 20 + 29 * c.rows - 1})
        for (int x : {12, W / 2, W - 21})
            EXPECT_EQ(img.pixel(x, y), normal_bg) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Sizes, PlaylistFrame,
                         ::testing::Values(FrameCase{2, 11, 275, 116, 87, -1, -1},
                                           FrameCase{3, 12, 300, 145, 100, -1, 125},
                                           FrameCase{2, 14, 350, 116, 125, 125, -1},
                                           FrameCase{2, 15, 375, 116, 137, 150, 125}));

TEST(PlaylistFrameEdges, TooSmallConfigurationGivesTheSmallestWindow) {
    PlaylistRun run;
    PlaylistSetup s;
    s.rows = 0;
    s.columns = -5;
    ASSERT_TRUE(run.start(s)) << run.why;
    const Geometry g = run.geometry();
    EXPECT_EQ(g.width, 275);
    EXPECT_EQ(g.height, 116);
}

TEST(PlaylistFrameEdges, ScrollThumbFollowsTheOffset) {
    PlaylistRun run;
    PlaylistSetup s;
    for (int i = 0; i < 10; i++)
        s.entries.push_back("/music/track" + std::to_string(i) + ".mp3");
    ASSERT_TRUE(run.start(s)) << run.why;
    for (int i = 0; i < 5; i++)
        ASSERT_TRUE(run.x.scroll(run.window, 100, 40, false));
    const Image img = run.shot();
    plwin::keep(img, "plwin-thumb");
    // 20 + (58 - 19) * 5 / 10 = 39
    EXPECT_EQ(run.element_mismatches(img, ELEM_PL_SCROLL_THUMB, 275 - 15, 39), 0);
    EXPECT_EQ(run.element_mismatches(img, ELEM_PL_SIDE_RIGHT + 1, 275 - 15, 20, 0, 0, 8, 19), 0);
}

// ---------------------------------------------------------------------------
// Entry lines with a generated PLEDIT.TXT

const char *const PLEDIT = "[Text]\r\nNormal=#FF0000\r\nCurrent=#00FF00\r\nNormalBG=#0000FF\r\n"
                           "SelectedBG=#FFFF00\r\nFont=DejaVu Sans\r\n";
const Rgb BLUE{0, 0, 255};
const Rgb YELLOW{255, 255, 0};

cairo_font_extents_t font_extents(int scale) {
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 4);
    cairo_t *cr = cairo_create(surface);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 8.0 * scale);
    cairo_font_extents_t e;
    cairo_font_extents(cr, &e);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return e;
}

// The line height that the font gives at this scale: cairo's extent height, truncated.
int line_height(int scale) { return std::max(1, static_cast<int>(font_extents(scale).height)); }

// Rows at the top of a line that the descenders of the line above may reach.
int descender_rows(int scale) { return static_cast<int>(std::ceil(font_extents(scale).descent)); }

struct Band {
    int max_r = 0, max_g = 0, max_b = 0;
    int min_r = 255, min_g = 255, min_b = 255;
    int yellow = 0, blue = 0, pixels = 0;
};

// Colour statistics of one entry line (its text part, left of the scroll bar).
// Skips the top rows, where the line above may reach with its descenders.
Band band(const Image &img, int scale, int width, int line, int h) {
    Band b;
    for (int y = scale * 20 + line * h + descender_rows(scale); y < scale * 20 + (line + 1) * h;
         y++)
        for (int x = scale * 12; x < scale * (width - 20); x++) {
            const Rgb p = img.pixel(x, y);
            b.max_r = std::max<int>(b.max_r, p.r);
            b.max_g = std::max<int>(b.max_g, p.g);
            b.max_b = std::max<int>(b.max_b, p.b);
            b.min_r = std::min<int>(b.min_r, p.r);
            b.min_g = std::min<int>(b.min_g, p.g);
            b.min_b = std::min<int>(b.min_b, p.b);
            b.yellow += p == YELLOW;
            b.blue += p == BLUE;
            b.pixels++;
        }
    return b;
}

// Pixels of a line that are not the plain background: the shape of its text.
std::vector<bool> text_mask(const Image &img, int width, int line, int h) {
    std::vector<bool> mask;
    for (int y = 20 + line * h + descender_rows(1); y < 20 + (line + 1) * h; y++)
        for (int x = 12; x < width - 20; x++)
            mask.push_back(!(img.pixel(x, y) == BLUE));
    return mask;
}

bool blank(const std::vector<bool> &mask) {
    return std::none_of(mask.begin(), mask.end(), [](bool b) { return b; });
}

// Window y of the middle of line `line`, for clicking it.
int line_middle(int scale, int line, int h) { return scale * 20 + line * h + h / 2; }

TEST(PlaylistText, ColoursOfNormalCurrentAndSelectedLines) {
    PlaylistRun run;
    PlaylistSetup s;
    s.pledit = PLEDIT;
    s.entries = {"/music/first.mp3", "/music/second.mp3", "/music/third.mp3",
                 "/music/fourth.mp3"};
    ASSERT_TRUE(run.start(s)) << run.why;
    const int h = line_height(1);
    ASSERT_GE(58 / h, 4) << "the font is too large for four lines in two rows";

    Image img = run.shot();
    plwin::keep(img, "plwin-text-1");
    // The current entry (0 after loading) in Current green, the others in Normal red, on blue.
    const Band current = band(img, 1, 275, 0, h);
    EXPECT_LE(current.max_r, 40);
    EXPECT_GE(current.max_g, 160);
    const Band normal = band(img, 1, 275, 1, h);
    EXPECT_LE(normal.max_g, 40);
    EXPECT_GE(normal.max_r, 160);
    EXPECT_EQ(band(img, 1, 275, 5, h).blue, band(img, 1, 275, 5, h).pixels) << "no entry 5";

    // Selecting entries 2 and 0 lays the SelectedBG band behind their text.
    ASSERT_TRUE(run.x.click(run.window, 100, line_middle(1, 2, h)));
    ASSERT_TRUE(run.x.click(run.window, 100, line_middle(1, 0, h)));
    img = run.shot();
    plwin::keep(img, "plwin-text-2");
    const Band selected = band(img, 1, 275, 2, h);
    EXPECT_EQ(selected.blue, 0);
    EXPECT_GT(selected.yellow, selected.pixels / 2);
    EXPECT_LE(selected.min_g, 120) << "red text on the yellow band";
    EXPECT_LE(selected.max_b, 40);
    const Band selected_current = band(img, 1, 275, 0, h);
    EXPECT_EQ(selected_current.blue, 0);
    EXPECT_GT(selected_current.yellow, selected_current.pixels / 2);
    EXPECT_LE(selected_current.min_r, 120) << "green text on the yellow band";
    EXPECT_EQ(band(img, 1, 275, 1, h).yellow, 0) << "line 1 stays unselected";

    // A second click on the same line clears its mark again.
    ASSERT_TRUE(run.x.click(run.window, 100, line_middle(1, 2, h)));
    plwin::pause_ms(500); // the second click must not make a double click with the first
    img = run.shot();
    EXPECT_EQ(band(img, 1, 275, 2, h).yellow, 0);
}

TEST(PlaylistText, FileNamesOnlyAndBadPaths) {
    PlaylistRun run;
    PlaylistSetup s;
    s.pledit = PLEDIT;
    s.rows = 4;
    s.showfull = 0;
    s.entries = {"/first.mp3",   "/music/a/b.mp3", "/other/b.mp3",          "/music/dir/",
                 "/x/dir/",      "/z/dir",         "/bad\xff\xfe name.mp3", "/bad\xc3 two.mp3"};
    ASSERT_TRUE(run.start(s)) << run.why;
    const int h = line_height(1);
    ASSERT_GE(29 * 4 / h, 8);
    const Image img = run.shot();
    plwin::keep(img, "plwin-names");
    std::vector<std::vector<bool>> lines;
    for (int i = 0; i < 8; i++)
        lines.push_back(text_mask(img, 275, i, h));
    for (int i = 0; i < 8; i++)
        EXPECT_FALSE(blank(lines[i])) << "line " << i << " shows nothing";
    EXPECT_EQ(lines[1], lines[2]) << "both show b.mp3";
    EXPECT_EQ(lines[3], lines[4]) << "both show dir/";
    EXPECT_NE(lines[3], lines[5]) << "dir/ and dir differ";
    EXPECT_NE(lines[6], lines[7]);
}

TEST(PlaylistText, FullPathsDiffer) {
    PlaylistRun run;
    PlaylistSetup s;
    s.pledit = PLEDIT;
    s.entries = {"/first.mp3", "/music/a/b.mp3", "/other/b.mp3"};
    ASSERT_TRUE(run.start(s)) << run.why;
    const int h = line_height(1);
    const Image img = run.shot();
    EXPECT_NE(text_mask(img, 275, 1, h), text_mask(img, 275, 2, h));
    EXPECT_FALSE(blank(text_mask(img, 275, 1, h)));
}

TEST(PlaylistText, ScaleTwoDoublesWindowAndFont) {
    PlaylistRun run;
    PlaylistSetup s;
    s.pledit = PLEDIT;
    s.scale = 2;
    s.entries = {"/music/first.mp3", "/music/second.mp3"};
    ASSERT_TRUE(run.start(s)) << run.why;
    const Geometry g = run.geometry();
    EXPECT_EQ(g.width, 550);
    EXPECT_EQ(g.height, 232);
    const int h1 = line_height(1);
    const int h2 = line_height(2);
    EXPECT_GE(h2, 2 * h1 - 1);

    ASSERT_TRUE(run.x.click(run.window, 200, line_middle(2, 1, h2)));
    const Image img = run.shot();
    plwin::keep(img, "plwin-scale2");
    // The band of line 1 is exactly one line of the 16-pixel font high.
    int top = -1, bottom = -1;
    for (int y = 40; y < 40 + 2 * 58; y++)
        if (img.pixel(2 * 255 - 2, y) == YELLOW) {
            if (top < 0)
                top = y;
            bottom = y;
        }
    EXPECT_EQ(top, 40 + h2);
    EXPECT_EQ(bottom - top + 1, h2);
    // Text is rendered at full resolution: the green text of line 0 reaches about twice as
    // many rows as at scale 1 would.
    int rows_with_text = 0;
    for (int y = 40; y < 40 + h2; y++) {
        bool any = false;
        for (int x = 24; x < 400; x++)
            any = any || img.pixel(x, y).g > 128;
        rows_with_text += any;
    }
    EXPECT_GE(rows_with_text, 10);
    // The skin is stretched: the middle of the title piece keeps its colour.
    EXPECT_EQ(img.pixel(2 * (87 + 50), 2 * 10), run.sheet_pixel(ELEM_PL_TITLE + 1, 50, 10));
}

} // namespace
