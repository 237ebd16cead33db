// Hit boxes, slider mapping and the "--gui." option table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "core/handle.h"
#include "gui/gui.h"
#include "theme/catalogue.h"

namespace {

TEST(GuiHitBox, ContainmentFollowsTheShownSize) {
    tHitBox box;
    gui_hitbox_set(&box, 7, 242, 58, 23, 12);
    // 550 x 232 is the 275 x 116 base at scale 2: the left and top edges belong to the box,
    // the right and bottom edges do not.
    EXPECT_EQ(gui_hitbox_test_size(&box, 1, 550, 232, 275, 116, 484, 116), 7);
    EXPECT_EQ(gui_hitbox_test_size(&box, 1, 550, 232, 275, 116, 529.9, 139.9), 7);
    EXPECT_EQ(gui_hitbox_test_size(&box, 1, 550, 232, 275, 116, 530, 116), 0);
    EXPECT_EQ(gui_hitbox_test_size(&box, 1, 550, 232, 275, 116, 483.9, 116), 0);
    EXPECT_EQ(gui_hitbox_test_size(&box, 1, 550, 232, 275, 116, 500, 140), 0);
    // A window manager may give another size; the boxes stretch with it.
    EXPECT_EQ(gui_hitbox_test_size(&box, 1, 275, 232, 275, 116, 250, 120), 7);
    EXPECT_EQ(gui_hitbox_test_size(&box, 0, 275, 116, 275, 116, 250, 60), 0);
}

TEST(GuiHitBox, FirstBoxWinsAndDisabledOrZeroBoxesNeverHit) {
    tHitBox boxes[4];
    gui_hitbox_disable(&boxes[0], 9);
    gui_hitbox_set(&boxes[1], 0, 0, 0, 275, 116); // id 0 decides nothing
    gui_hitbox_set(&boxes[2], 3, 10, 10, 20, 20);
    gui_hitbox_set(&boxes[3], 4, 0, 0, 100, 100);
    EXPECT_EQ(boxes[0].id, 9);
    EXPECT_EQ(boxes[0].width, -1);
    EXPECT_EQ(gui_hitbox_test_size(boxes, 4, 275, 116, 275, 116, 15, 15), 3);
    EXPECT_EQ(gui_hitbox_test_size(boxes, 4, 275, 116, 275, 116, 5, 5), 4);
    EXPECT_EQ(gui_hitbox_test_size(boxes, 4, 275, 116, 275, 116, -1.5, -1.5), 0);
    EXPECT_EQ(gui_hitbox_test_size(boxes, 4, 275, 116, 275, 116, 200, 110), 0);
}

TEST(GuiHitBox, ElementPlacementCountsNegativeCoordinatesFromTheFarEdge) {
    tHitBox box;
    gui_hitbox_from_element(275, 116, &box, 5, ELEM_EQ_CLOSE);
    EXPECT_EQ(box.id, 5);
    EXPECT_EQ(box.x, 264);
    EXPECT_EQ(box.y, 3);
    EXPECT_EQ(box.width, 9);
    EXPECT_EQ(box.height, 9);
    gui_hitbox_from_element(300, 145, &box, 5, ELEM_EQ_CLOSE);
    EXPECT_EQ(box.x, 289);
    gui_hitbox_from_element(300, 145, &box, 6, ELEM_PL_BOTTOM_RIGHT);
    EXPECT_EQ(box.x, 150);
    EXPECT_EQ(box.y, 107);
    gui_hitbox_from_element(275, 116, &box, 6, 409); // no such element
    EXPECT_EQ(box.width, -1);
}

TEST(GuiSlider, MainWindowMappings) {
    // Volume at scale 2 over base x 107..175.
    auto volume = [](double x) { return gui_slider_value_size(0, 100, 0, 550, 232, 275, 116, 107, 175, x, 0); };
    EXPECT_EQ(volume(214), 0);
    EXPECT_EQ(volume(282), 50);
    EXPECT_EQ(volume(400), 100);
    EXPECT_EQ(volume(200), 0);
    EXPECT_EQ(volume(216), 1); // 1.47 truncated toward zero
    auto balance = [](double x) { return gui_slider_value_size(-100, 100, 0, 275, 116, 275, 116, 177, 215, x, 0); };
    EXPECT_EQ(balance(196), 0);
    EXPECT_EQ(balance(177), -100);
    EXPECT_EQ(balance(215), 100);
    EXPECT_EQ(balance(186), -52); // -52.6 truncates toward zero
    // A vertical slider reads y and the heights.
    EXPECT_EQ(gui_slider_value_size(-100, 100, 1, 275, 232, 275, 116, 38, 101, 9999, 139), 0);
    // A slider whose range is empty (a track of length 0) stays at its minimum.
    EXPECT_EQ(gui_slider_value_size(0, 0, 0, 275, 116, 275, 116, 16, 264, 200, 0), 0);
}

TEST(GuiOptions, UnknownOrEmptyOptionsAreNotTaken) {
    std::unique_ptr<tHandle, decltype(&free)> h{static_cast<tHandle *>(calloc(1, sizeof(tHandle))), &free};
    tHandleGui *g = &h->gui;
    for (const char *arg : {"--gui.theme.dir=", "--gui.theme.wsz=", "--gui.", "--gui.theme",
                            "--gui.theme.dirx=/tmp", "--gui.scale=2",
                            "--gui.theme.dumptemplate=", "--gui.theme.dumpdefault="})
        EXPECT_EQ(gui_parse_option(g, arg), -2) << arg;
}

} // namespace
