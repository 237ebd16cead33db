// The main window's drawing rules on the real composition images, with the template theme
// loaded from a temporary data directory: time, ticker, rate strips, thumbs, indicators.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <memory>
#include <sys/stat.h>
#include <string>

#include "core/handle.h"
#include "gui/window_main.h"
#include "support/harness.h"
#include "theme/catalogue.h"
#include "theme/template.h"
#include "theme/theme.h"

namespace {

struct MainDrawing : ::testing::Test {
    TempDir dir{"ravlox-draw"};
    std::unique_ptr<tHandle, decltype(&free)> h{static_cast<tHandle *>(calloc(1, sizeof(tHandle))), &free};
    tHandleTheme *theme = nullptr;
    tHandleWindowMain *w = nullptr;

    void SetUp() override {
        snprintf(h->data_dir, sizeof h->data_dir, "%s/", dir.path().c_str());
        theme = &h->gui.theme;
        ASSERT_EQ(theme_init(theme), 0);
        const std::string tpl = dir / "template";
        ASSERT_EQ(mkdir(tpl.c_str(), 0700), 0);
        theme_write_template(tpl.c_str());
        char folder[HANDLE_PATH_SIZE];
        ASSERT_EQ(handle_get_theme_dir(h.get(), folder), 0);
        ASSERT_EQ(theme_load_directory(theme, tpl.c_str(), folder), 0);
        w = &h->gui.window_main;
        memset(static_cast<void *>(w), 0, sizeof *w);
        w->handle = h.get();
        w->theme = theme;
        w->clutterbar = 1;
        w->volume = 100;
        ASSERT_EQ(window_main_create_images(w), 0);
        visualizer_init(&w->visualizer, h.get(), theme);
        ASSERT_EQ(window_main_compose_background(w), 0);
    }
    void TearDown() override {
        for (GdkPixbuf *p : {w->frame, w->background, w->title_pixbuf, w->body_pixbuf, w->text_title,
                             w->text_rate, w->text_bitrate})
            if (p != nullptr)
                g_object_unref(p);
        for (GdkPixbuf *b : theme->bitmaps)
            if (b != nullptr)
                g_object_unref(b);
    }

    static bool same_rect(GdkPixbuf *a, int ax, int ay, GdkPixbuf *b, int bx, int by, int width,
                          int height) {
        const int na = gdk_pixbuf_get_n_channels(a), nb = gdk_pixbuf_get_n_channels(b);
        const guchar *pa = gdk_pixbuf_read_pixels(a), *pb = gdk_pixbuf_read_pixels(b);
        const int sa = gdk_pixbuf_get_rowstride(a), sb = gdk_pixbuf_get_rowstride(b);
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++)
                if (memcmp(pa + (ay + y) * sa + (ax + x) * na, pb + (by + y) * sb + (bx + x) * nb, 3) != 0)
                    return false;
        return true;
    }
    // Whether the frame shows element id with its top-left corner at (x, y).
    bool shows(int id, int x, int y) const {
        const tThemeElement &e = THEME_ELEMENTS[id];
        return same_rect(w->frame, x, y, theme->bitmaps[e.bitmap], e.source_x, e.source_y, e.width,
                         e.height);
    }
    // Columns from..to (exclusive) of an element at its fixed place, for one partly covered.
    bool shows_columns(int id, int from, int to) const {
        const tThemeElement &e = THEME_ELEMENTS[id];
        return same_rect(w->frame, e.destination_x + from, e.destination_y, theme->bitmaps[e.bitmap],
                         e.source_x + from, e.source_y, to - from, e.height);
    }
    bool shows_fixed(int id) const {
        const tThemeElement &e = THEME_ELEMENTS[id];
        return shows(id, theme_destination(e.destination_x, 275), theme_destination(e.destination_y, 116));
    }
    void song(int length, int position, int channels = 2, int rate = 0, int bitrate = 0,
              const char *title = "") {
        tSongInfo s{};
        snprintf(s.title, sizeof s.title, "%s", title);
        s.length = length;
        s.position = position;
        s.channels = channels;
        s.rate = rate;
        s.bitrate = bitrate;
        window_main_update_song(w, &s);
    }
    void expect_time(int tens, int minutes, int r10, int r1) {
        window_main_compose(w);
        EXPECT_TRUE(shows(tens < 0 ? ELEM_DIGIT_BLANK : ELEM_DIGIT + tens, 48, 26));
        EXPECT_TRUE(shows(ELEM_DIGIT + minutes, 60, 26));
        EXPECT_TRUE(shows(ELEM_DIGIT + r10, 78, 26));
        EXPECT_TRUE(shows(ELEM_DIGIT + r1, 90, 26));
    }
};

TEST_F(MainDrawing, TimeDigitsCapAndCountdown) {
    song(0, 6000);
    expect_time(9, 9, 0, 0);
    song(0, 6007);
    expect_time(9, 9, 0, 7);
    song(0, 65);
    expect_time(-1, 1, 0, 5);
    song(0, 754);
    expect_time(1, 2, 3, 4);
    w->countdown = 1;
    song(200, 65);
    expect_time(-1, 2, 1, 5);
    song(100, 130); // past the end: shown as nothing left, not as digits that do not exist
    expect_time(-1, 0, 0, 0);
}

TEST_F(MainDrawing, SlidersThumbsAndIndicators) {
    song(0, 0, 1);
    window_main_compose(w);
    EXPECT_TRUE(shows_columns(ELEM_VOLUME_FRAME + 27, 0, 50));
    EXPECT_TRUE(shows(ELEM_VOLUME_THUMB, 160, 58));
    EXPECT_TRUE(shows(ELEM_POSBAR_THUMB, 16, 72)); // length 0
    EXPECT_TRUE(shows_fixed(ELEM_MONO_ON));
    EXPECT_TRUE(shows_fixed(ELEM_STEREO_OFF));
    EXPECT_TRUE(shows_fixed(ELEM_STATUS + 3)); // STATUS_NONE

    w->balance = -100;
    w->status = STATUS_READY;
    song(100, 50, 2);
    window_main_compose(w);
    EXPECT_TRUE(shows_columns(ELEM_BALANCE_FRAME + 27, 15, 38));
    EXPECT_TRUE(shows(ELEM_BALANCE_THUMB, 178, 58));
    EXPECT_TRUE(shows(ELEM_POSBAR_THUMB, 125, 72));
    EXPECT_TRUE(shows_fixed(ELEM_STEREO_ON));
    EXPECT_TRUE(shows_fixed(ELEM_MONO_OFF));
    EXPECT_TRUE(shows_fixed(ELEM_STATUS + 4));

    w->balance = 100;
    w->volume = 0;
    song(100, 400, 6); // a position past the length keeps the thumb on the bar
    window_main_compose(w);
    EXPECT_TRUE(shows(ELEM_BALANCE_THUMB, 200, 58));
    EXPECT_TRUE(shows(ELEM_VOLUME_THUMB, 107, 58));
    EXPECT_TRUE(shows_columns(ELEM_VOLUME_FRAME, 15, 68));
    EXPECT_TRUE(shows(ELEM_POSBAR_THUMB, 234, 72));
    EXPECT_TRUE(shows_fixed(ELEM_STEREO_OFF));
    EXPECT_TRUE(shows_fixed(ELEM_MONO_OFF));

    // While the position bar is held the shown position stays.
    w->pressed = MAIN_ID_POSITION;
    song(100, 10);
    EXPECT_EQ(w->song.position, 400);
    window_main_compose(w);
    EXPECT_TRUE(shows(ELEM_POSBAR_THUMB_PRESSED, 234, 72));
}

TEST_F(MainDrawing, RateStripsUseTheirBlankCells) {
    song(0, 0, 2, 8000, 44);
    window_main_compose(w);
    EXPECT_TRUE(shows(ELEM_GLYPH_BLANK_315, 156, 43));
    EXPECT_TRUE(shows(317 + 8, 161, 43));
    EXPECT_TRUE(shows(ELEM_GLYPH_BLANK_353, 111, 43));
    EXPECT_TRUE(shows(317 + 4, 116, 43));
    EXPECT_TRUE(shows(317 + 4, 121, 43));
    GdkPixbuf *strip = w->text_rate;
    song(0, 0, 2, 22050, 128);
    EXPECT_EQ(w->text_rate, strip); // same width: reused
    window_main_compose(w);
    EXPECT_TRUE(shows(317 + 2, 156, 43));
    EXPECT_TRUE(shows(317 + 2, 161, 43));
    EXPECT_TRUE(shows(317 + 1, 111, 43));
}

TEST_F(MainDrawing, TickerScrollsLongTitlesAndKeepsShortOnesAtTheirStart) {
    song(0, 0, 2, 0, 0, "HI");
    ASSERT_NE(w->text_title, nullptr);
    for (int tick = 0; tick < 3; tick++) {
        w->ticker_offset = 40 * tick;
        window_main_compose(w);
        EXPECT_TRUE(shows(287 + 7, 111, 27)) << tick; // H, unscrolled
        EXPECT_TRUE(shows(287 + 8, 116, 27)) << tick;
        // The rest of the field is the body underneath.
        EXPECT_TRUE(same_rect(w->frame, 121, 27, w->background, 121, 27, 144, 6));
    }

    // 40 glyphs: a strip 200 wide.
    song(0, 0, 2, 0, 0, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCD");
    ASSERT_EQ(gdk_pixbuf_get_width(w->text_title), 200);
    auto field_from = [&](int sx) { return same_rect(w->frame, 111, 27, w->text_title, sx, 0, 154, 6); };
    w->ticker_offset = -30;
    window_main_compose(w);
    EXPECT_TRUE(field_from(0));
    w->ticker_offset = 10;
    window_main_compose(w);
    EXPECT_TRUE(field_from(10));
    w->ticker_offset = 100; // past 200 - 154: the end of the text stays
    window_main_compose(w);
    EXPECT_TRUE(field_from(45));
    EXPECT_EQ(w->ticker_offset, 100);
    w->ticker_offset = 123; // 200 - 77: jumps back
    window_main_compose(w);
    EXPECT_TRUE(field_from(45));
    EXPECT_EQ(w->ticker_offset, -77);
}

TEST_F(MainDrawing, TitleFallsBackToPathAndUnterminatedFieldsStayInside) {
    tSongInfo s{};
    memset(s.path, 'a', sizeof s.path); // no terminator anywhere
    window_main_update_song(w, &s);
    EXPECT_EQ(w->song.path[sizeof w->song.path - 1], '\0');
    ASSERT_NE(w->text_title, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(w->text_title), 5 * 1023);
    window_main_compose(w);
    EXPECT_TRUE(shows(287, 111, 27)); // lower-case a draws A

    memset(s.title, 'b', sizeof s.title);
    window_main_update_song(w, &s);
    EXPECT_EQ(gdk_pixbuf_get_width(w->text_title), 5 * 255);
    window_main_compose(w);
    EXPECT_TRUE(shows(288, 111, 27));
}

TEST_F(MainDrawing, RefreshRendersTheTextsAgainInTheNewTheme) {
    song(0, 0, 2, 44100, 128, "TITLE");
    ASSERT_NE(w->text_title, nullptr);
    // Another theme: every glyph of the template turned into one colour.
    GdkPixbuf *text = theme->bitmaps[BITMAP_TEXT];
    gdk_pixbuf_fill(text, 0x123456ff);
    window_main_refresh(w);
    window_main_compose(w);
    const guchar *p = gdk_pixbuf_read_pixels(w->frame) + 27 * gdk_pixbuf_get_rowstride(w->frame) + 111 * 4;
    EXPECT_EQ(p[0], 0x12);
    EXPECT_EQ(p[1], 0x34);
    EXPECT_EQ(p[2], 0x56);
    EXPECT_TRUE(shows(317 + 4, 156, 43)); // the rate, drawn from the new sheet
}

} // namespace
