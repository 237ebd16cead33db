// The playlist window of the real program under Xvfb: the skinned frame at several sizes, the
// scroll thumb, and the entry lines in the colours and font of the theme's PLEDIT.TXT.
#include "gui/playlist_window_test_util.h"

namespace {

using plwin::PlaylistRun;
using plwin::PlaylistSetup;
using namespace plwin;

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

// ---------------------------------------------------------------------------
// In the test process: the "Playlist" preferences page and "playlist.config"

#include "support/live_handle.h"
#include <gtk/gtk.h>
#include <cstring>

namespace {

TEST(PlaylistInProcess, PageResizeSortMenuAndCloseRequest) {
    LiveHandle live;
    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    tHandleWindowPlaylist *w = &h->gui.window_playlist;
    ASSERT_GE(h->page_count, 1);
    EXPECT_EQ(h->page_context[0], w) << "the playlist page is registered first";
    ASSERT_NE(w->setting_checks[WINDOW_PLAYLIST_SHOWFULL], nullptr);
    EXPECT_STREQ(gtk_check_button_get_label(GTK_CHECK_BUTTON(w->setting_checks[WINDOW_PLAYLIST_SHOWFULL])),
                 "Show full path");

    // Opening the dialog shows the current value; applying stores the check button's.
    live.dispatch_int(EVENT_PREFERENCES, 1);
    EXPECT_TRUE(gtk_check_button_get_active(GTK_CHECK_BUTTON(w->setting_checks[WINDOW_PLAYLIST_SHOWFULL])));
    gtk_check_button_set_active(GTK_CHECK_BUTTON(w->setting_checks[WINDOW_PLAYLIST_SHOWFULL]), FALSE);
    live.dispatch(EVENT_PREFERENCES_APPLY);
    EXPECT_EQ(w->showfull, 0);
    const std::string config = read_file(live.data_dir() + "/playlist.config");
    EXPECT_NE(config.find("showfull=0\n"), std::string::npos) << config;
    EXPECT_NE(config.find("rows=2\n"), std::string::npos) << config;
    EXPECT_NE(config.find("columns=11\n"), std::string::npos) << config;
    live.dispatch_int(EVENT_PREFERENCES, 0);

    // The first versions' playlist reading, saving and folder adding are a check button away
    // each, off at first.
    struct {
        int32_t check;
        const char *label;
        const char *stored;
        int32_t option;
    } const plain_ways[] = {
        {WINDOW_PLAYLIST_PLAINLINES, "Read every playlist line as a path", "plainlines=1\n", PLAYLIST_READ_PLAIN},
        {WINDOW_PLAYLIST_PLAINSAVE, "Save plain paths", "plainsave=1\n", PLAYLIST_SAVE_PLAIN},
        {WINDOW_PLAYLIST_FLATFOLDERS, "Add a folder's own files only, as the system lists them", "flatfolders=1\n",
         PLAYLIST_FOLDERS_FLAT},
    };
    for (const auto &way : plain_ways) {
        SCOPED_TRACE(way.label);
        GtkWidget *plain = w->setting_checks[way.check];
        ASSERT_NE(plain, nullptr);
        EXPECT_STREQ(gtk_check_button_get_label(GTK_CHECK_BUTTON(plain)), way.label);
        live.dispatch_int(EVENT_PREFERENCES, 1);
        EXPECT_FALSE(gtk_check_button_get_active(GTK_CHECK_BUTTON(plain)));
        EXPECT_EQ(h->playlist.options & way.option, 0);
        gtk_check_button_set_active(GTK_CHECK_BUTTON(plain), TRUE);
        live.dispatch(EVENT_PREFERENCES_APPLY);
        live.dispatch_int(EVENT_PREFERENCES, 0);
        EXPECT_NE(h->playlist.options & way.option, 0);
        EXPECT_NE(read_file(live.data_dir() + "/playlist.config").find(way.stored), std::string::npos);
        playlist_clear(&h->playlist);
        EXPECT_NE(h->playlist.options & way.option, 0) << "clearing the list keeps how it reads and saves";
    }
    // Keeping the list is on at first, and one check button away from the first versions'.
    GtkWidget *remember = w->setting_checks[WINDOW_PLAYLIST_REMEMBER];
    ASSERT_NE(remember, nullptr);
    EXPECT_STREQ(gtk_check_button_get_label(GTK_CHECK_BUTTON(remember)), "Remember the playlist");
    live.dispatch_int(EVENT_PREFERENCES, 1);
    EXPECT_TRUE(gtk_check_button_get_active(GTK_CHECK_BUTTON(remember)));
    EXPECT_NE(h->playlist.options & PLAYLIST_KEEP, 0);
    gtk_check_button_set_active(GTK_CHECK_BUTTON(remember), FALSE);
    live.dispatch(EVENT_PREFERENCES_APPLY);
    live.dispatch_int(EVENT_PREFERENCES, 0);
    EXPECT_EQ(h->playlist.options & PLAYLIST_KEEP, 0);
    EXPECT_NE(read_file(live.data_dir() + "/playlist.config").find("remember=0\n"), std::string::npos);

    // A resize moves the edge boxes and stores the size. (One handle per test process: GTK
    // stays on the display it first opened.)
    ASSERT_EQ(window_playlist_resize(w, 3, 12), 0);
    EXPECT_EQ(w->width, 300);
    EXPECT_EQ(w->height, 145);
    EXPECT_EQ(w->list_width, 268);
    EXPECT_EQ(w->list_height, 87);
    // Test order: items, menu buttons, corner, small buttons, scroll bar, list, close.
    const tHitBox *b = w->hitboxes;
    EXPECT_EQ(b[0].id, 49);
    EXPECT_EQ(b[0].x, -1) << "closed menus are never hit";
    EXPECT_EQ(b[16].id, 43);
    EXPECT_EQ(b[20].id, 47);
    EXPECT_EQ(b[20].x, 300 - 44);
    EXPECT_EQ(b[20].y, 145 - 30);
    EXPECT_EQ(b[21].id, 48);
    EXPECT_EQ(b[21].x, 300 - 19);
    EXPECT_EQ(b[21].y, 145 - 23);
    EXPECT_EQ(b[22].id, 65);
    EXPECT_EQ(b[22].x, 300 - 144);
    EXPECT_EQ(b[29].id, 72);
    EXPECT_EQ(b[29].y, 145 - 31);
    EXPECT_EQ(b[30].id, 74);
    EXPECT_EQ(b[30].height, 87);
    EXPECT_EQ(b[31].id, 73);
    EXPECT_EQ(b[31].width, 268);
    EXPECT_EQ(b[32].id, 75);
    EXPECT_EQ(b[32].x, 289);
    const std::string resized = read_file(live.data_dir() + "/playlist.config");
    EXPECT_NE(resized.find("rows=3\n"), std::string::npos) << resized;
    EXPECT_NE(resized.find("columns=12\n"), std::string::npos) << resized;

    // An absurd size from a hand-edited file is bounded instead of exhausting memory.
    EXPECT_EQ(window_playlist_resize(w, 1 << 30, 1 << 30), 0);
    EXPECT_EQ(w->rows, WINDOW_PLAYLIST_MAX_ROWS);
    EXPECT_EQ(w->columns, WINDOW_PLAYLIST_MAX_COLUMNS);
    EXPECT_EQ(window_playlist_set_scale(w, 0), 0);
    EXPECT_EQ(w->scale, 1) << "a scale below 1 draws at 1";
    // Lines wider than cairo can render (over 32767 pixels) still leave the list in its
    // background colour rather than empty.
    ASSERT_EQ(window_playlist_resize(w, 2, 160), 0);
    ASSERT_EQ(window_playlist_set_scale(w, 9), 0);
    {
        const guint8 *pixels = gdk_pixbuf_read_pixels(w->text_layer);
        const int stride = gdk_pixbuf_get_rowstride(w->text_layer);
        const guint8 *p = pixels + 5 * stride + (9 * 12 + 5) * 4;
        const uint8_t(*colours)[3] = theme_get_plcolors(&h->gui.theme);
        EXPECT_EQ(p[0], colours[2][0]);
        EXPECT_EQ(p[1], colours[2][1]);
        EXPECT_EQ(p[2], colours[2][2]);
        EXPECT_EQ(p[3], 255);
    }
    EXPECT_EQ(window_playlist_set_scale(w, 1), 0);
    EXPECT_EQ(window_playlist_resize(w, 2, 11), 0);

    // The sort menu: three items whose application actions reorder the store and redraw.
    ASSERT_EQ(w->sort_count, 3);
    GMenuModel *model = G_MENU_MODEL(w->sort_model);
    ASSERT_EQ(g_menu_model_get_n_items(model), 3);
    const char *labels[3] = {"Sort by Filename", "Randomize", "Reverse"};
    const char *actions[3] = {"app.window_playlist_sort_by_filename",
                              "app.window_playlist_sort_randomize",
                              "app.window_playlist_sort_reverse"};
    for (int i = 0; i < 3; i++) {
        gchar *label = nullptr;
        gchar *action = nullptr;
        g_menu_model_get_item_attribute(model, i, G_MENU_ATTRIBUTE_LABEL, "s", &label);
        g_menu_model_get_item_attribute(model, i, G_MENU_ATTRIBUTE_ACTION, "s", &action);
        EXPECT_STREQ(label, labels[i]);
        EXPECT_STREQ(action, actions[i]);
        g_free(label);
        g_free(action);
    }
    tHandlePlaylist *p = &h->playlist;
    playlist_clear(p);
    static tSongInfo song;
    for (const char *path : {"/m/b.mp3", "/m/c.mp3", "/m/a.mp3"}) {
        memset(&song, 0, sizeof song);
        snprintf(song.path, sizeof song.path, "%s", path);
        playlist_add(p, &song);
    }
    GActionGroup *app = G_ACTION_GROUP(h->application);
    g_action_group_activate_action(app, "window_playlist_sort_reverse", nullptr);
    EXPECT_STREQ(p->entries[0].path, "/m/a.mp3");
    EXPECT_STREQ(p->entries[2].path, "/m/b.mp3");
    g_action_group_activate_action(app, "window_playlist_sort_by_filename", nullptr);
    EXPECT_STREQ(p->entries[0].path, "/m/a.mp3");
    EXPECT_STREQ(p->entries[1].path, "/m/b.mp3");
    EXPECT_STREQ(p->entries[2].path, "/m/c.mp3");
    EXPECT_EQ(w->entry_count, 3) << "the action redrew the window";

    // A close request from the window manager hides the window and turns the toggle off.
    live.dispatch_int(EVENT_SHOW_PLAYLIST, 1);
    live.pump(100);
    ASSERT_TRUE(gtk_widget_get_visible(w->window));
    gtk_window_close(GTK_WINDOW(w->window));
    live.pump(100);
    EXPECT_FALSE(gtk_widget_get_visible(w->window));
    EXPECT_EQ(h->gui.window_main.playlist_button, 0);
    const std::string gui = read_file(live.data_dir() + "/gui.config");
    EXPECT_NE(gui.find("showplaylist=FALSE\n"), std::string::npos) << gui;
}

} // namespace
