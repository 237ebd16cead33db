// The playlist shows the titles from its entries' tags: read when an entry is opened and,
// in the background, for the lines on screen; the "Playlist" page switches back to paths.
#include <gtest/gtest.h>

#include <cairo.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "core/handle.h"
#include "support/harness.h"
#include "support/live_handle.h"
#include "theme/theme.h"

namespace {

tSongInfo entry_of(tHandle *h, int32_t index) {
    static tSongInfo entry;
    playlist_get_entry(&h->playlist, index, &entry, nullptr);
    return entry;
}

// Line u of the text layer as its bytes, without its top rows, which the descenders of the
// line above may reach.
std::vector<uint8_t> line_pixels(tHandleWindowPlaylist *w, int u) {
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 4);
    cairo_t *cr = cairo_create(surface);
    const char *font = reinterpret_cast<const char *>(theme_get_plcolors(w->theme) + 4);
    cairo_select_font_face(cr, font, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 8.0 * w->scale);
    cairo_font_extents_t e;
    cairo_font_extents(cr, &e);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    const int h = static_cast<int>(e.height);
    const int top = u * h + static_cast<int>(e.descent + 1);
    const size_t stride = static_cast<size_t>(gdk_pixbuf_get_rowstride(w->text_layer));
    const guint8 *p = gdk_pixbuf_read_pixels(w->text_layer);
    return std::vector<uint8_t>(p + top * stride, p + static_cast<size_t>((u + 1) * h) * stride);
}

} // namespace

TEST(PlaylistTitles, ReadWhenOpenedAndForTheLinesOnScreen) {
    TempDir dir("ravlox-pltitles");
    const std::string tagged = fixture_path("tagged.mp3");
    const std::string plain = fixture_path("stereo44.mp3");
    // Entry 1 carries tags, entries 0 and 2 to 19 do not; entries 18 and 19 lie off screen.
    std::vector<std::string> lines;
    for (int k = 0; k < 20; k++)
        lines.push_back(k == 1 || k == 19 ? tagged : plain);
    std::string m3u;
    for (const std::string &l : lines)
        m3u += l + "\n";
    ASSERT_TRUE(write_file(dir / "list.m3u", m3u));
    LiveHandle live({"--playlist.m3u=" + (dir / "list.m3u")});
    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    tHandleWindowPlaylist *w = &h->gui.window_playlist;
    ASSERT_EQ(w->showtitles, 1) << "titles are shown by default";
    ASSERT_GT(w->visible_lines, 2);
    ASSERT_LT(w->visible_lines, 18);

    // Start-up opened entry 0; the rest of the screen is read while the loop is idle.
    EXPECT_EQ(entry_of(h, 0).tags_read, 1);
    live.pump(500);
    for (int32_t e = 0; e < w->visible_lines; e++)
        EXPECT_EQ(entry_of(h, e).tags_read, 1) << "visible entry " << e;
    EXPECT_STREQ(entry_of(h, 1).title, "Fixture Artist - Fixture Title");
    EXPECT_STREQ(entry_of(h, 2).title, "");
    EXPECT_EQ(entry_of(h, 19).tags_read, 0) << "off screen: not read yet";

    // What the line shows: the title, or the path when the switch is off; an untagged
    // entry shows its path either way.
    const std::vector<uint8_t> title_line = line_pixels(w, 1);
    const std::vector<uint8_t> plain_line = line_pixels(w, 2);
    w->showtitles = 0;
    window_playlist_redraw(w);
    EXPECT_NE(line_pixels(w, 1), title_line);
    EXPECT_EQ(line_pixels(w, 2), plain_line);
    w->showtitles = 1;
    window_playlist_redraw(w);
    EXPECT_EQ(line_pixels(w, 1), title_line);

    // Opening an entry reads it, wherever it is.
    playlist_set_current(&h->playlist, 18);
    live.dispatch(EVENT_NEXT);
    EXPECT_EQ(entry_of(h, 19).tags_read, 1);
    EXPECT_STREQ(entry_of(h, 19).title, "Fixture Artist - Fixture Title");
    EXPECT_STREQ(h->decoder.song.title, "Fixture Artist - Fixture Title") << "the ticker's text";

    // Scrolling down reads the next screenful.
    w->scroll_offset = 12;
    window_playlist_redraw(w);
    live.pump(500);
    for (int32_t e = 12; e < 12 + w->visible_lines && e < 20; e++)
        EXPECT_EQ(entry_of(h, e).tags_read, 1) << "entry " << e;

    // Sorting still goes by path, and the titles move with their entries.
    playlist_sort_reverse(&h->playlist);
    EXPECT_STREQ(entry_of(h, 0).title, "Fixture Artist - Fixture Title");
    playlist_sort_by_filename(&h->playlist);
    EXPECT_STREQ(entry_of(h, 0).path, plain.c_str()) << "stereo44 before tagged";
    EXPECT_STREQ(entry_of(h, 18).title, "Fixture Artist - Fixture Title");
    EXPECT_STREQ(entry_of(h, 18).path, tagged.c_str());
}

TEST(PlaylistTitles, ThePageSwitchesBackToPaths) {
    LiveHandle live;
    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    tHandleWindowPlaylist *w = &h->gui.window_playlist;
    ASSERT_NE(w->setting_checks[WINDOW_PLAYLIST_SHOWTITLES], nullptr);
    EXPECT_STREQ(gtk_check_button_get_label(GTK_CHECK_BUTTON(w->setting_checks[WINDOW_PLAYLIST_SHOWTITLES])), "Show titles from tags");
    live.dispatch_int(EVENT_PREFERENCES, 1);
    EXPECT_TRUE(gtk_check_button_get_active(GTK_CHECK_BUTTON(w->setting_checks[WINDOW_PLAYLIST_SHOWTITLES])));
    gtk_check_button_set_active(GTK_CHECK_BUTTON(w->setting_checks[WINDOW_PLAYLIST_SHOWTITLES]), FALSE);
    live.dispatch(EVENT_PREFERENCES_APPLY);
    EXPECT_EQ(w->showtitles, 0);
    const std::string config = read_file(live.data_dir() + "/playlist.config");
    EXPECT_NE(config.find("showtitles=0\n"), std::string::npos) << config;
    // Cancel leaves the stored value: the next opening shows it again.
    gtk_check_button_set_active(GTK_CHECK_BUTTON(w->setting_checks[WINDOW_PLAYLIST_SHOWTITLES]), TRUE);
    live.dispatch_int(EVENT_PREFERENCES, 0);
    live.dispatch_int(EVENT_PREFERENCES, 1);
    EXPECT_FALSE(gtk_check_button_get_active(GTK_CHECK_BUTTON(w->setting_checks[WINDOW_PLAYLIST_SHOWTITLES])));
    live.dispatch_int(EVENT_PREFERENCES, 0);
}
