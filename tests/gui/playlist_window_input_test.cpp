// Input to the playlist window of the real program, driven with xdotool under Xvfb: the menus,
// selection, double click, wheel and scroll bar, the resize drag and the close button.
#include <algorithm>

#include "gui/playlist_window_test_util.h"

namespace {

using namespace plwin;

constexpr int W = 275;
constexpr int H = 116;

// Centre of a 22 x 18 menu button or item at base (x, y).
struct Point {
    int x, y;
};
constexpr int MENU_X[5] = {14, 43, 72, 101, W - 44};
Point button(int menu) { return {MENU_X[menu] + 11, H - 30 + 9}; }
Point item(int menu, int y_from_bottom) { return {MENU_X[menu] + 11, H - y_from_bottom + 9}; }

struct MenuLook {
    int side_bar;
    std::vector<std::pair<int, int>> items; // element, y from the bottom edge
};
const MenuLook MENUS[5] = {
    {233, {{231, 66}, {246, 48}, {256, 30}}},
    {236, {{266, 84}, {234, 66}, {248, 48}, {258, 30}}},
    {239, {{237, 66}, {250, 48}, {260, 30}}},
    {242, {{240, 66}, {252, 48}, {262, 30}}},
    {245, {{243, 66}, {254, 48}, {264, 30}}},
};

bool click(PlaylistRun &run, Point p) { return run.x.click(run.window, p.x, p.y); }

// Element `id` at its own place (negative coordinates from the right and bottom edges).
int mismatches_at_own_place(PlaylistRun &run, const Image &img, int id) {
    const tThemeElement &e = THEME_ELEMENTS[id];
    const int x = e.destination_x < 0 ? img.width + e.destination_x : e.destination_x;
    const int y = e.destination_y < 0 ? img.height + e.destination_y : e.destination_y;
    return run.element_mismatches(img, id, x, y);
}

std::string config_text(PlaylistRun &run, const char *file) { return read_file(run.data + "/" + file); }

TEST(PlaylistInput, EachMenuOpensAndAnyOtherClickClosesIt) {
    PlaylistRun run;
    ASSERT_TRUE(run.start(PlaylistSetup{})) << run.why;
    const Image closed = run.shot();
    for (int m = 0; m < 5; m++) {
        SCOPED_TRACE("menu " + std::to_string(m));
        ASSERT_TRUE(click(run, button(m)));
        const Image open = run.shot();
        keep(open, "plwin-menu-" + std::to_string(m));
        EXPECT_EQ(mismatches_at_own_place(run, open, MENUS[m].side_bar), 0);
        for (auto [element, y] : MENUS[m].items)
            EXPECT_EQ(mismatches_at_own_place(run, open, element), 0) << "item " << element;
        // A click on the empty list closes the menu and leaves the window as it was.
        ASSERT_TRUE(run.x.click(run.window, 150, 30));
        pause_ms(400);
        EXPECT_TRUE(run.shot().rgb == closed.rgb);
    }

    // A held item shows its pressed form; released elsewhere it does nothing.
    ASSERT_TRUE(click(run, button(0)));
    run.shot();
    const Point inert = item(0, 66); // the add menu's top item has no action
    ASSERT_TRUE(run.x.mouse_down(run.window, inert.x, inert.y));
    Image held = run.shot();
    EXPECT_EQ(mismatches_at_own_place(run, held, 232), 0);
    ASSERT_TRUE(run.x.mouse_move(run.window, 150, 30));
    ASSERT_TRUE(run.x.mouse_up());
    pause_ms(400);
    EXPECT_TRUE(run.shot().rgb == closed.rgb);

    // The close button's pressed look while held. Dragged away, the title bar moves the
    // window instead, and the button is no longer shown pressed.
    ASSERT_TRUE(run.x.mouse_down(run.window, W - 7, 7));
    held = run.shot();
    EXPECT_EQ(run.element_mismatches(held, ELEM_PL_CLOSE_PRESSED, W - 11, 3), 0);
    for (int i = 1; i <= 5; i++) {
        pause_ms(20);
        ASSERT_TRUE(run.x.mouse_move(run.window, W - 7, 7 + 20 * i));
    }
    ASSERT_TRUE(run.x.mouse_up());
    pause_ms(400);
    run.x.xdotool({"windowmove", run.window, std::to_string(WINDOW_X), std::to_string(WINDOW_Y)});
    keep(run.shot(), "plwin-close-away");
    EXPECT_TRUE(run.shot().rgb == closed.rgb);
    EXPECT_TRUE(run.process->running());

    // The wheel on an empty list moves nothing.
    ASSERT_TRUE(run.x.scroll(run.window, 150, 40, false));
    pause_ms(300);
    EXPECT_TRUE(run.shot().rgb == closed.rgb);
}

TEST(PlaylistInput, SelectAllNoneInvertAndRemoveSelected) {
    PlaylistRun run;
    PlaylistSetup s;
    s.pledit = PLEDIT;
    s.entries = {"/music/first.mp3", "/music/second.mp3", "/music/third.mp3",
                 "/music/fourth.mp3"};
    ASSERT_TRUE(run.start(s)) << run.why;
    const int h = line_height(1);
    ASSERT_GE(58 / h, 4);
    const Image start = run.shot();
    auto selected_lines = [&](const Image &img) {
        std::vector<int> lines;
        for (int i = 0; i < 4; i++)
            if (band(img, 1, W, i, h).yellow > band(img, 1, W, i, h).pixels / 2)
                lines.push_back(i);
        return lines;
    };

    // The select menu's bottom item lies over its button: a second click selects all.
    ASSERT_TRUE(click(run, button(2)));
    run.shot();
    ASSERT_TRUE(click(run, item(2, 30)));
    EXPECT_EQ(selected_lines(run.shot()), (std::vector<int>{0, 1, 2, 3}));

    ASSERT_TRUE(click(run, button(2)));
    run.shot();
    ASSERT_TRUE(click(run, item(2, 48)));
    EXPECT_EQ(selected_lines(run.shot()), (std::vector<int>{}));

    ASSERT_TRUE(run.x.click(run.window, 100, line_middle(1, 1, h)));
    EXPECT_EQ(selected_lines(run.shot()), (std::vector<int>{1}));
    pause_ms(400);
    ASSERT_TRUE(click(run, button(2)));
    run.shot();
    ASSERT_TRUE(click(run, item(2, 66)));
    const Image inverted = run.shot();
    keep(inverted, "plwin-inverted");
    EXPECT_EQ(selected_lines(inverted), (std::vector<int>{0, 2, 3}));

    // Remove selected: only the second entry is left, on the first line.
    ASSERT_TRUE(click(run, button(1)));
    run.shot();
    ASSERT_TRUE(click(run, item(1, 48)));
    const Image removed = run.shot();
    keep(removed, "plwin-removed");
    EXPECT_EQ(selected_lines(removed), (std::vector<int>{}));
    EXPECT_EQ(text_mask(removed, W, 0, h), text_mask(start, W, 1, h));
    for (int i = 1; i < 4; i++)
        EXPECT_TRUE(blank(text_mask(removed, W, i, h))) << "line " << i;

    // Remove all (the remove menu's second item) empties the list.
    ASSERT_TRUE(click(run, button(1)));
    run.shot();
    ASSERT_TRUE(click(run, item(1, 66)));
    EXPECT_TRUE(blank(text_mask(run.shot(), W, 0, h)));
}

TEST(PlaylistInput, DoubleClickOpensTheEntryAndPlayPlaysIt) {
    PlaylistRun run;
    ASSERT_TRUE(run.start(two_files())) << run.why;
    const int h = line_height(1);
    const Image before = run.shot();

    // Below the last entry a double click changes nothing.
    ASSERT_TRUE(run.x.double_click(run.window, 100, line_middle(1, 4, h)));
    pause_ms(400);
    EXPECT_TRUE(run.shot().rgb == before.rgb);

    ASSERT_TRUE(run.x.double_click(run.window, 100, line_middle(1, 1, h)));
    const Image opened = run.shot();
    keep(opened, "plwin-double");
    // Entry 1 is now the current one (green) and its selection is as it was (none).
    const Band line1 = band(opened, 1, W, 1, h);
    EXPECT_GE(line1.max_g, 160);
    EXPECT_LE(line1.max_r, 40);
    EXPECT_EQ(line1.yellow, 0);
    EXPECT_GE(band(opened, 1, W, 0, h).max_r, 160) << "entry 0 is no longer current";

    // The small play button plays the opened entry into the sound device.
    ASSERT_TRUE(run.x.click(run.window, W - 136 + 4, H - 16 + 4));
    EXPECT_TRUE(heard_stereo44(run.capture)) << "stereo44.mp3 never reached the device\n"
                                              << run.log();
    // The small stop button stops it.
    ASSERT_TRUE(run.x.click(run.window, W - 117 + 4, H - 16 + 4));
}

TEST(PlaylistInput, WheelAndScrollBarStayInsideTheList) {
    PlaylistRun run;
    PlaylistSetup s;
    for (int i = 0; i < 10; i++)
        s.entries.push_back("/music/track" + std::to_string(i) + ".mp3");
    ASSERT_TRUE(run.start(s)) << run.why;
    auto thumb_at = [&](int y) {
        const Image img = run.shot();
        return run.element_mismatches(img, ELEM_PL_SCROLL_THUMB, W - 15, y) == 0;
    };
    ASSERT_TRUE(run.x.scroll(run.window, 100, 40, true));
    EXPECT_TRUE(thumb_at(20)) << "scrolling up at the top stays at the top";
    for (int i = 0; i < 12; i++)
        ASSERT_TRUE(run.x.scroll(run.window, 100, 40, false));
    EXPECT_TRUE(thumb_at(20 + 39 * 9 / 10)) << "the last entry can reach the first line, no further";
    for (int i = 0; i < 20; i++)
        ASSERT_TRUE(run.x.scroll(run.window, 100, 40, true));
    EXPECT_TRUE(thumb_at(20));

    // The pointer's place in the scroll-bar column sets the offset: half way is entry 4.
    ASSERT_TRUE(run.x.drag(run.window, W - 10, 22, W - 10, 20 + 29));
    EXPECT_TRUE(thumb_at(20 + 39 * 4 / 10));
    ASSERT_TRUE(run.x.drag(run.window, W - 10, 22, W - 10, 200));
    EXPECT_TRUE(thumb_at(20 + 39 * 9 / 10));
}

TEST(PlaylistInput, ResizeDragStoresTheNewSize) {
    PlaylistRun run;
    ASSERT_TRUE(run.start(PlaylistSetup{})) << run.why;
    // Drag the corner 58 pixels down: the title shows the prospective size while dragging.
    ASSERT_TRUE(run.x.mouse_down(run.window, W - 10, H - 10));
    for (int dy = 10; dy <= 58; dy += 8) {
        pause_ms(20);
        ASSERT_TRUE(run.x.mouse_move(run.window, W - 10, H - 10 + std::min(dy, 58)));
    }
    ASSERT_TRUE(run.x.mouse_move(run.window, W - 10, H - 10 + 58));
    pause_ms(300);
    const std::string dragging = run.x.window_title(run.window);
    EXPECT_EQ(dragging.rfind("FIXME: 11 x 4", 0), 0u) << dragging;
    EXPECT_EQ(run.geometry().height, H) << "the window keeps its size during the drag";
    ASSERT_TRUE(run.x.mouse_up());
    pause_ms(500);
    run.settle();
    EXPECT_EQ(run.x.window_title(run.window), TITLE);
    Geometry g = run.geometry();
    EXPECT_EQ(g.width, W);
    EXPECT_EQ(g.height, 174);
    std::string config = config_text(run, "playlist.config");
    EXPECT_NE(config.find("rows=4\n"), std::string::npos) << config;
    EXPECT_NE(config.find("columns=11\n"), std::string::npos) << config;
    // The new frame is drawn: the bottom block sits on the new bottom edge.
    const Image img = run.shot();
    EXPECT_EQ(run.element_mismatches(img, ELEM_PL_BOTTOM_LEFT, 0, 174 - 38), 0);

    // Far up and left of the minimum ends at 2 rows and 11 columns.
    ASSERT_TRUE(run.x.mouse_down(run.window, W - 10, 174 - 10));
    for (int i = 1; i <= 8; i++) {
        pause_ms(20);
        ASSERT_TRUE(run.x.xdotool({"mousemove", std::to_string(WINDOW_X + (W - 10) * (8 - i) / 8),
                                   std::to_string(WINDOW_Y - 200 * i / 8)})
                        .exited_with(0));
    }
    ASSERT_TRUE(run.x.mouse_up());
    pause_ms(500);
    run.settle();
    g = run.geometry();
    EXPECT_EQ(g.width, 275);
    EXPECT_EQ(g.height, 116);
    config = config_text(run, "playlist.config");
    EXPECT_NE(config.find("rows=2\n"), std::string::npos) << config;
    EXPECT_NE(config.find("columns=11\n"), std::string::npos) << config;

    // Wider by two columns.
    ASSERT_TRUE(run.x.drag(run.window, W - 10, H - 10, W - 10 + 55, H - 10));
    pause_ms(500);
    run.settle();
    EXPECT_EQ(run.geometry().width, 325);
    EXPECT_NE(config_text(run, "playlist.config").find("columns=13\n"), std::string::npos);
}

TEST(PlaylistInput, CloseButtonHidesTheWindowAndStoresIt) {
    PlaylistRun run;
    ASSERT_TRUE(run.start(PlaylistSetup{})) << run.why;
    ASSERT_TRUE(run.x.click(run.window, W - 7, 7));
    EXPECT_TRUE(run.x.wait_window_gone(TITLE, milliseconds(5000)));
    std::string gui;
    for (int i = 0; i < 50; i++) {
        gui = config_text(run, "gui.config");
        if (gui.find("showplaylist=FALSE\n") != std::string::npos)
            break;
        pause_ms(100);
    }
    EXPECT_NE(gui.find("showplaylist=FALSE\n"), std::string::npos) << gui;
    EXPECT_TRUE(run.process->running());
}

} // namespace
