// The catalogue of theme bitmaps and sprite elements, fixed at compile time.
// The tables were transcribed mechanically, not typed; the checks at the end guard them.
#pragma once

#include <array>
#include <cstdint>

constexpr int THEME_BITMAP_COUNT = 16;
constexpr int THEME_ELEMENT_COUNT = 409;

struct tThemeBitmap {
    const char *name;
    int32_t width;
    int32_t height;
    int64_t index;
};

struct tThemeElement {
    int32_t bitmap;
    int32_t source_x;
    int32_t source_y;
    int32_t width;
    int32_t height;
    int32_t id;
    int32_t destination_x;
    int32_t destination_y;
};

// Bitmap indexes, in table order.
enum : int32_t {
    BITMAP_AVS = 0,
    BITMAP_BALANCE = 1,
    BITMAP_CBUTTONS = 2,
    BITMAP_EQ_EX = 3,
    BITMAP_EQMAIN = 4,
    BITMAP_MAIN = 5,
    BITMAP_MB = 6,
    BITMAP_MONOSTER = 7,
    BITMAP_NUMBERS = 8,
    BITMAP_PLAYPAUS = 9,
    BITMAP_PLEDIT = 10,
    BITMAP_POSBAR = 11,
    BITMAP_SHUFREP = 12,
    BITMAP_TEXT = 13,
    BITMAP_TITLEBAR = 14,
    BITMAP_VOLUME = 15,
};

constexpr std::array<tThemeBitmap, THEME_BITMAP_COUNT> THEME_BITMAPS = {{
    {"AVS.BMP", 97, 188, 0},
    {"BALANCE.BMP", 68, 433, 1},
    {"CBUTTONS.BMP", 136, 36, 2},
    {"EQ_EX.BMP", 275, 82, 3},
    {"EQMAIN.BMP", 275, 315, 4},
    {"MAIN.BMP", 275, 116, 5},
    {"MB.BMP", 234, 119, 6},
    {"MONOSTER.BMP", 58, 24, 7},
    {"NUMBERS.BMP", 99, 13, 8},
    {"PLAYPAUS.BMP", 42, 9, 9},
    {"PLEDIT.BMP", 280, 186, 10},
    {"POSBAR.BMP", 307, 10, 11},
    {"SHUFREP.BMP", 92, 85, 12},
    {"TEXT.BMP", 155, 74, 13},
    {"TITLEBAR.BMP", 344, 87, 14},
    {"VOLUME.BMP", 68, 433, 15},
}};

// Groups of element ids: the first id of each group, and the size of groups of several ids.
enum : int32_t {
    ELEM_AVS_FRAME = 0,
    ELEM_AVS_FRAME_COUNT = 9,
    ELEM_BALANCE_FRAME = 9,
    ELEM_BALANCE_FRAME_COUNT = 28,
    ELEM_BALANCE_THUMB_PRESSED = 37,
    ELEM_BALANCE_THUMB = 38,
    ELEM_CBUTTON = 39,
    ELEM_CBUTTON_COUNT = 6,
    ELEM_CBUTTON_PRESSED = 45,
    ELEM_CBUTTON_PRESSED_COUNT = 6,
    ELEM_EQEX_TITLE_A = 51,
    ELEM_EQEX_SLIDER_A = 52,
    ELEM_EQEX_SLIDER_A_COUNT = 2,
    ELEM_EQEX_TITLE_B = 54,
    ELEM_EQEX_SLIDER_B = 55,
    ELEM_EQEX_SLIDER_B_COUNT = 2,
    ELEM_EQEX_THUMB = 57,
    ELEM_EQEX_THUMB_COUNT = 6,
    ELEM_EQEX_BUTTON_A = 63,
    ELEM_EQEX_BUTTON_A_COUNT = 2,
    ELEM_EQEX_BUTTON_B = 65,
    ELEM_EQEX_BUTTON_C = 66,
    ELEM_EQ_TOP = 67,
    ELEM_EQ_BODY = 68,
    ELEM_EQ_GRAPH_AREA = 69,
    ELEM_EQ_BUTTON_AREA = 70,
    ELEM_EQ_BUTTON_AREA_COUNT = 3,
    ELEM_EQ_LEVEL_TOP = 73,
    ELEM_EQ_TRACK = 74,
    ELEM_EQ_TRACK_COUNT = 11,
    ELEM_EQ_LEVEL_MIDDLE = 85,
    ELEM_EQ_LEVEL_BOTTOM = 86,
    ELEM_EQ_CLOSE = 87,
    ELEM_EQ_ONAUTO = 88,
    ELEM_EQ_ONAUTO_COUNT = 8,
    ELEM_EQ_CLOSE_PRESSED = 96,
    ELEM_EQ_TITLE_ACTIVE = 97,
    ELEM_EQ_TITLE_INACTIVE = 98,
    ELEM_EQ_THUMB = 99,
    ELEM_EQ_BAR_LOW = 100,
    ELEM_EQ_BAR_LOW_COUNT = 14,
    ELEM_EQ_PRESETS = 114,
    ELEM_EQ_THUMB_PRESSED = 115,
    ELEM_EQ_PRESETS_PRESSED = 116,
    ELEM_EQ_BAR_HIGH = 117,
    ELEM_EQ_BAR_HIGH_COUNT = 14,
    ELEM_EQ_GRAPH = 131,
    ELEM_EQ_GRAPH_COLOURS = 132,
    ELEM_EQ_PREAMP_LINE = 133,
    ELEM_MAIN_BODY = 134,
    ELEM_MAIN_TITLE_AREA = 135,
    ELEM_MAIN_RATE_AREA = 136,
    ELEM_MAIN_FREQ_AREA = 137,
    ELEM_MAIN_VIS_AREA = 138,
    ELEM_MAIN_CORNER = 139,
    ELEM_MB_FRAME = 140,
    ELEM_MB_FRAME_COUNT = 28,
    ELEM_STEREO_ON = 168,
    ELEM_MONO_ON = 169,
    ELEM_STEREO_OFF = 170,
    ELEM_MONO_OFF = 171,
    ELEM_DIGIT = 172,
    ELEM_DIGIT_COUNT = 10,
    ELEM_DIGIT_BLANK = 182,
    ELEM_STATUS = 183,
    ELEM_STATUS_COUNT = 6,
    ELEM_PL_TITLE_A = 189,
    ELEM_PL_TITLE_A_COUNT = 4,
    ELEM_PL_BOTTOM_FILL = 193,
    ELEM_PL_BOTTOM_EXTRA = 194,
    ELEM_PL_TITLE = 195,
    ELEM_PL_TITLE_COUNT = 4,
    ELEM_PL_SIDE_LEFT = 199,
    ELEM_PL_SIDE_RIGHT = 200,
    ELEM_PL_SIDE_RIGHT_COUNT = 3,
    ELEM_PL_CLOSE_PRESSED = 203,
    ELEM_PL_BUTTON_PRESSED = 204,
    ELEM_PL_STRIP_A = 205,
    ELEM_PL_STRIP_A_COUNT = 2,
    ELEM_PL_BUTTON_B = 207,
    ELEM_PL_SCROLL_THUMB = 208,
    ELEM_PL_SCROLL_THUMB_PRESSED = 209,
    ELEM_PL_STRIP_B = 210,
    ELEM_PL_STRIP_B_COUNT = 2,
    ELEM_PL_BOTTOM_LEFT = 212,
    ELEM_PL_BOTTOM_RIGHT = 213,
    ELEM_PL_SMALL_BUTTON = 214,
    ELEM_PL_SMALL_BUTTON_COUNT = 2,
    ELEM_PL_MENU_BUTTON = 216,
    ELEM_PL_MENU_BUTTON_COUNT = 5,
    ELEM_PL_STRIP_C = 221,
    ELEM_PL_RESIZE = 222,
    ELEM_PL_MINI_BUTTON = 223,
    ELEM_PL_MINI_BUTTON_COUNT = 6,
    ELEM_PL_STRIP_D = 229,
    ELEM_PL_STRIP_D_COUNT = 2,
    ELEM_PL_POPUP = 231,
    ELEM_PL_POPUP_COUNT = 37,
    ELEM_POSBAR = 268,
    ELEM_POSBAR_THUMB = 269,
    ELEM_POSBAR_THUMB_PRESSED = 270,
    ELEM_SHUFREP = 271,
    ELEM_SHUFREP_COUNT = 8,
    ELEM_EQPL_TOGGLE = 279,
    ELEM_EQPL_TOGGLE_COUNT = 8,
    ELEM_GLYPH = 287,
    ELEM_GLYPH_COUNT = 67,
    ELEM_TB_MENU = 354,
    ELEM_TB_MINIMIZE = 355,
    ELEM_TB_CLOSE = 356,
    ELEM_TB_TITLE_ALT = 357,
    ELEM_CLUTTERBAR_ON = 358,
    ELEM_CLUTTERBAR_OFF = 359,
    ELEM_TB_PRESSED = 360,
    ELEM_TB_PRESSED_COUNT = 3,
    ELEM_TB_TITLE = 363,
    ELEM_TB_BUTTON4 = 364,
    ELEM_TB_BUTTON4_PRESSED = 365,
    ELEM_TB_BUTTON4_ALT = 366,
    ELEM_TB_BUTTON4_ALT_COUNT = 2,
    ELEM_TB_COMPACT_A = 368,
    ELEM_TB_COMPACT_PARTS = 369,
    ELEM_TB_COMPACT_PARTS_COUNT = 2,
    ELEM_TB_COMPACT_B = 371,
    ELEM_CLUTTERBAR_PRESSED = 372,
    ELEM_CLUTTERBAR_PRESSED_COUNT = 5,
    ELEM_TB_TITLE_EXTRA = 377,
    ELEM_TB_TITLE_EXTRA_COUNT = 2,
    ELEM_VOLUME_FRAME = 379,
    ELEM_VOLUME_FRAME_COUNT = 28,
    ELEM_VOLUME_THUMB_PRESSED = 407,
    ELEM_VOLUME_THUMB = 408,
    ELEM_GLYPH_ELLIPSIS = 327,
    ELEM_GLYPH_BLANK_315 = 315,
    ELEM_GLYPH_BLANK_316 = 316,
    ELEM_GLYPH_BLANK_353 = 353,
};

// bitmap, source x, source y, width, height, id, destination x, destination y
constexpr std::array<tThemeElement, THEME_ELEMENT_COUNT> THEME_ELEMENTS = {{
    // ELEM_AVS_FRAME
    {BITMAP_AVS, 0, 0, 9, 9, 0, -1, -1},
    {BITMAP_AVS, 15, 0, 50, 15, 1, -1, -1},
    {BITMAP_AVS, 66, 15, 14, 15, 2, -1, -1},
    {BITMAP_AVS, 81, 0, 16, 15, 3, -1, -1},
    {BITMAP_AVS, 0, 16, 7, 172, 4, -1, -1},
    {BITMAP_AVS, 8, 16, 6, 172, 5, -1, -1},
    {BITMAP_AVS, 15, 16, 50, 5, 6, -1, -1},
    {BITMAP_AVS, 66, 16, 14, 5, 7, -1, -1},
    {BITMAP_AVS, 81, 16, 16, 5, 8, -1, -1},
    // ELEM_BALANCE_FRAME
    {BITMAP_BALANCE, 9, 0, 38, 13, 9, 177, 57},
    {BITMAP_BALANCE, 9, 15, 38, 13, 10, 177, 57},
    {BITMAP_BALANCE, 9, 30, 38, 13, 11, 177, 57},
    {BITMAP_BALANCE, 9, 45, 38, 13, 12, 177, 57},
    {BITMAP_BALANCE, 9, 60, 38, 13, 13, 177, 57},
    {BITMAP_BALANCE, 9, 75, 38, 13, 14, 177, 57},
    {BITMAP_BALANCE, 9, 90, 38, 13, 15, 177, 57},
    {BITMAP_BALANCE, 9, 105, 38, 13, 16, 177, 57},
    {BITMAP_BALANCE, 9, 120, 38, 13, 17, 177, 57},
    {BITMAP_BALANCE, 9, 135, 38, 13, 18, 177, 57},
    {BITMAP_BALANCE, 9, 150, 38, 13, 19, 177, 57},
    {BITMAP_BALANCE, 9, 165, 38, 13, 20, 177, 57},
    {BITMAP_BALANCE, 9, 180, 38, 13, 21, 177, 57},
    {BITMAP_BALANCE, 9, 195, 38, 13, 22, 177, 57},
    {BITMAP_BALANCE, 9, 210, 38, 13, 23, 177, 57},
    {BITMAP_BALANCE, 9, 225, 38, 13, 24, 177, 57},
    {BITMAP_BALANCE, 9, 240, 38, 13, 25, 177, 57},
    {BITMAP_BALANCE, 9, 255, 38, 13, 26, 177, 57},
    {BITMAP_BALANCE, 9, 270, 38, 13, 27, 177, 57},
    {BITMAP_BALANCE, 9, 285, 38, 13, 28, 177, 57},
    {BITMAP_BALANCE, 9, 300, 38, 13, 29, 177, 57},
    {BITMAP_BALANCE, 9, 315, 38, 13, 30, 177, 57},
    {BITMAP_BALANCE, 9, 330, 38, 13, 31, 177, 57},
    {BITMAP_BALANCE, 9, 345, 38, 13, 32, 177, 57},
    {BITMAP_BALANCE, 9, 360, 38, 13, 33, 177, 57},
    {BITMAP_BALANCE, 9, 375, 38, 13, 34, 177, 57},
    {BITMAP_BALANCE, 9, 390, 38, 13, 35, 177, 57},
    {BITMAP_BALANCE, 9, 405, 38, 13, 36, 177, 57},
    // ELEM_BALANCE_THUMB_PRESSED
    {BITMAP_BALANCE, 0, 422, 14, 11, 37, -1, 58},
    // ELEM_BALANCE_THUMB
    {BITMAP_BALANCE, 15, 422, 14, 11, 38, -1, 58},
    // ELEM_CBUTTON
    {BITMAP_CBUTTONS, 0, 0, 23, 18, 39, 16, 88},
    {BITMAP_CBUTTONS, 23, 0, 23, 18, 40, 39, 88},
    {BITMAP_CBUTTONS, 46, 0, 23, 18, 41, 62, 88},
    {BITMAP_CBUTTONS, 69, 0, 23, 18, 42, 85, 88},
    {BITMAP_CBUTTONS, 92, 0, 22, 18, 43, 108, 88},
    {BITMAP_CBUTTONS, 114, 0, 22, 16, 44, 136, 89},
    // ELEM_CBUTTON_PRESSED
    {BITMAP_CBUTTONS, 0, 18, 23, 18, 45, 16, 88},
    {BITMAP_CBUTTONS, 23, 18, 23, 18, 46, 39, 88},
    {BITMAP_CBUTTONS, 46, 18, 23, 18, 47, 62, 88},
    {BITMAP_CBUTTONS, 69, 18, 23, 18, 48, 85, 88},
    {BITMAP_CBUTTONS, 92, 18, 22, 18, 49, 108, 88},
    {BITMAP_CBUTTONS, 114, 16, 22, 16, 50, 136, 89},
    // ELEM_EQEX_TITLE_A
    {BITMAP_EQ_EX, 0, 0, 275, 14, 51, 0, 0},
    // ELEM_EQEX_SLIDER_A
    {BITMAP_EQ_EX, 61, 4, 97, 7, 52, -1, -1},
    {BITMAP_EQ_EX, 164, 4, 42, 7, 53, -1, -1},
    // ELEM_EQEX_TITLE_B
    {BITMAP_EQ_EX, 0, 15, 275, 14, 54, 0, 0},
    // ELEM_EQEX_SLIDER_B
    {BITMAP_EQ_EX, 61, 19, 97, 7, 55, -1, -1},
    {BITMAP_EQ_EX, 164, 19, 42, 7, 56, -1, -1},
    // ELEM_EQEX_THUMB
    {BITMAP_EQ_EX, 1, 30, 3, 7, 57, -1, -1},
    {BITMAP_EQ_EX, 4, 30, 3, 7, 58, -1, -1},
    {BITMAP_EQ_EX, 7, 30, 3, 7, 59, -1, -1},
    {BITMAP_EQ_EX, 11, 30, 3, 7, 60, -1, -1},
    {BITMAP_EQ_EX, 14, 30, 3, 7, 61, -1, -1},
    {BITMAP_EQ_EX, 17, 30, 3, 7, 62, -1, -1},
    // ELEM_EQEX_BUTTON_A
    {BITMAP_EQ_EX, 1, 38, 9, 9, 63, 263, 4},
    {BITMAP_EQ_EX, 11, 38, 9, 9, 64, 263, 4},
    // ELEM_EQEX_BUTTON_B
    {BITMAP_EQ_EX, 1, 47, 9, 9, 65, 254, 3},
    // ELEM_EQEX_BUTTON_C
    {BITMAP_EQ_EX, 11, 47, 9, 9, 66, -11, 3},
    // ELEM_EQ_TOP
    {BITMAP_EQMAIN, 0, 0, 275, 14, 67, 0, 0},
    // ELEM_EQ_BODY
    {BITMAP_EQMAIN, 0, 14, 275, 102, 68, 0, 14},
    // ELEM_EQ_GRAPH_AREA
    {BITMAP_EQMAIN, 86, 16, 113, 20, 69, 86, 16},
    // ELEM_EQ_BUTTON_AREA
    {BITMAP_EQMAIN, 14, 18, 25, 12, 70, 14, 18},
    {BITMAP_EQMAIN, 39, 18, 33, 12, 71, 39, 18},
    {BITMAP_EQMAIN, 217, 18, 44, 12, 72, 217, 18},
    // ELEM_EQ_LEVEL_TOP
    {BITMAP_EQMAIN, 42, 33, 26, 20, 73, 42, 33},
    // ELEM_EQ_TRACK
    {BITMAP_EQMAIN, 21, 38, 14, 63, 74, 21, 38},
    {BITMAP_EQMAIN, 78, 38, 14, 63, 75, 78, 38},
    {BITMAP_EQMAIN, 96, 38, 14, 63, 76, 96, 38},
    {BITMAP_EQMAIN, 114, 38, 14, 63, 77, 114, 38},
    {BITMAP_EQMAIN, 132, 38, 14, 63, 78, 132, 38},
    {BITMAP_EQMAIN, 150, 38, 14, 63, 79, 150, 38},
    {BITMAP_EQMAIN, 168, 38, 14, 63, 80, 168, 38},
    {BITMAP_EQMAIN, 186, 38, 14, 63, 81, 186, 38},
    {BITMAP_EQMAIN, 204, 38, 14, 63, 82, 204, 38},
    {BITMAP_EQMAIN, 222, 38, 14, 63, 83, 222, 38},
    {BITMAP_EQMAIN, 240, 38, 14, 63, 84, 240, 38},
    // ELEM_EQ_LEVEL_MIDDLE
    {BITMAP_EQMAIN, 42, 65, 26, 20, 85, 42, 65},
    // ELEM_EQ_LEVEL_BOTTOM
    {BITMAP_EQMAIN, 42, 92, 26, 20, 86, 42, 92},
    // ELEM_EQ_CLOSE
    {BITMAP_EQMAIN, 0, 116, 9, 9, 87, -11, 3},
    // ELEM_EQ_ONAUTO
    {BITMAP_EQMAIN, 10, 119, 25, 12, 88, 14, 18},
    {BITMAP_EQMAIN, 35, 119, 33, 12, 89, 39, 18},
    {BITMAP_EQMAIN, 69, 119, 25, 12, 90, 14, 18},
    {BITMAP_EQMAIN, 94, 119, 33, 12, 91, 39, 18},
    {BITMAP_EQMAIN, 128, 119, 25, 12, 92, 14, 18},
    {BITMAP_EQMAIN, 153, 119, 33, 12, 93, 39, 18},
    {BITMAP_EQMAIN, 187, 119, 25, 12, 94, 14, 18},
    {BITMAP_EQMAIN, 212, 119, 33, 12, 95, 39, 18},
    // ELEM_EQ_CLOSE_PRESSED
    {BITMAP_EQMAIN, 0, 125, 9, 9, 96, -11, 3},
    // ELEM_EQ_TITLE_ACTIVE
    {BITMAP_EQMAIN, 0, 134, 275, 14, 97, 0, 0},
    // ELEM_EQ_TITLE_INACTIVE
    {BITMAP_EQMAIN, 0, 149, 275, 14, 98, 0, 0},
    // ELEM_EQ_THUMB
    {BITMAP_EQMAIN, 0, 164, 11, 11, 99, -1, -1},
    // ELEM_EQ_BAR_LOW
    {BITMAP_EQMAIN, 13, 164, 14, 63, 100, -1, 38},
    {BITMAP_EQMAIN, 28, 164, 14, 63, 101, -1, 38},
    {BITMAP_EQMAIN, 43, 164, 14, 63, 102, -1, 38},
    {BITMAP_EQMAIN, 58, 164, 14, 63, 103, -1, 38},
    {BITMAP_EQMAIN, 73, 164, 14, 63, 104, -1, 38},
    {BITMAP_EQMAIN, 88, 164, 14, 63, 105, -1, 38},
    {BITMAP_EQMAIN, 103, 164, 14, 63, 106, -1, 38},
    {BITMAP_EQMAIN, 118, 164, 14, 63, 107, -1, 38},
    {BITMAP_EQMAIN, 133, 164, 14, 63, 108, -1, 38},
    {BITMAP_EQMAIN, 148, 164, 14, 63, 109, -1, 38},
    {BITMAP_EQMAIN, 163, 164, 14, 63, 110, -1, 38},
    {BITMAP_EQMAIN, 178, 164, 14, 63, 111, -1, 38},
    {BITMAP_EQMAIN, 193, 164, 14, 63, 112, -1, 38},
    {BITMAP_EQMAIN, 208, 164, 14, 63, 113, -1, 38},
    // ELEM_EQ_PRESETS
    {BITMAP_EQMAIN, 224, 164, 44, 12, 114, 217, 18},
    // ELEM_EQ_THUMB_PRESSED
    {BITMAP_EQMAIN, 0, 176, 11, 11, 115, -1, -1},
    // ELEM_EQ_PRESETS_PRESSED
    {BITMAP_EQMAIN, 224, 176, 44, 12, 116, 217, 18},
    // ELEM_EQ_BAR_HIGH
    {BITMAP_EQMAIN, 13, 229, 14, 63, 117, -1, -1},
    {BITMAP_EQMAIN, 28, 229, 14, 63, 118, -1, -1},
    {BITMAP_EQMAIN, 43, 229, 14, 63, 119, -1, -1},
    {BITMAP_EQMAIN, 58, 229, 14, 63, 120, -1, -1},
    {BITMAP_EQMAIN, 73, 229, 14, 63, 121, -1, -1},
    {BITMAP_EQMAIN, 88, 229, 14, 63, 122, -1, -1},
    {BITMAP_EQMAIN, 103, 229, 14, 63, 123, -1, -1},
    {BITMAP_EQMAIN, 118, 229, 14, 63, 124, -1, -1},
    {BITMAP_EQMAIN, 133, 229, 14, 63, 125, -1, -1},
    {BITMAP_EQMAIN, 148, 229, 14, 63, 126, -1, -1},
    {BITMAP_EQMAIN, 163, 229, 14, 63, 127, -1, -1},
    {BITMAP_EQMAIN, 178, 229, 14, 63, 128, -1, -1},
    {BITMAP_EQMAIN, 193, 229, 14, 63, 129, -1, -1},
    {BITMAP_EQMAIN, 208, 229, 14, 63, 130, -1, -1},
    // ELEM_EQ_GRAPH
    {BITMAP_EQMAIN, 0, 293, 113, 20, 131, 86, 16},
    // ELEM_EQ_GRAPH_COLOURS
    {BITMAP_EQMAIN, 115, 294, 1, 19, 132, -1, -1},
    // ELEM_EQ_PREAMP_LINE
    {BITMAP_EQMAIN, 0, 314, 113, 1, 133, -1, -1},
    // ELEM_MAIN_BODY
    {BITMAP_MAIN, 0, 14, 275, 102, 134, 0, 14},
    // ELEM_MAIN_TITLE_AREA
    {BITMAP_MAIN, 111, 27, 154, 6, 135, 111, 27},
    // ELEM_MAIN_RATE_AREA
    {BITMAP_MAIN, 111, 43, 15, 6, 136, 111, 43},
    // ELEM_MAIN_FREQ_AREA
    {BITMAP_MAIN, 156, 43, 10, 6, 137, 156, 43},
    // ELEM_MAIN_VIS_AREA
    {BITMAP_MAIN, 24, 44, 76, 15, 138, 24, 44},
    // ELEM_MAIN_CORNER
    {BITMAP_MAIN, 253, 91, 13, 15, 139, 253, 91},
    // ELEM_MB_FRAME
    {BITMAP_MB, 0, 0, 25, 20, 140, -1, -1},
    {BITMAP_MB, 26, 0, 100, 20, 141, -1, -1},
    {BITMAP_MB, 127, 0, 25, 20, 142, -1, -1},
    {BITMAP_MB, 153, 0, 25, 20, 143, -1, -1},
    {BITMAP_MB, 0, 21, 25, 20, 144, -1, -1},
    {BITMAP_MB, 26, 21, 100, 20, 145, -1, -1},
    {BITMAP_MB, 127, 21, 25, 20, 146, -1, -1},
    {BITMAP_MB, 153, 21, 25, 20, 147, -1, -1},
    {BITMAP_MB, 0, 42, 125, 38, 148, -1, -1},
    {BITMAP_MB, 127, 42, 11, 29, 149, -1, -1},
    {BITMAP_MB, 139, 42, 8, 29, 150, -1, -1},
    {BITMAP_MB, 148, 42, 9, 9, 151, -1, -1},
    {BITMAP_MB, 158, 42, 15, 18, 152, -1, -1},
    {BITMAP_MB, 173, 42, 15, 18, 153, -1, -1},
    {BITMAP_MB, 188, 42, 15, 18, 154, -1, -1},
    {BITMAP_MB, 203, 42, 15, 18, 155, -1, -1},
    {BITMAP_MB, 218, 42, 15, 18, 156, -1, -1},
    {BITMAP_MB, 9, 51, 15, 18, 157, -1, -1},
    {BITMAP_MB, 24, 51, 15, 18, 158, -1, -1},
    {BITMAP_MB, 39, 51, 15, 18, 159, -1, -1},
    {BITMAP_MB, 54, 51, 15, 18, 160, -1, -1},
    {BITMAP_MB, 69, 53, 15, 18, 161, -1, -1},
    {BITMAP_MB, 92, 81, 33, 13, 162, -1, -1},
    {BITMAP_MB, 0, 81, 125, 38, 163, -1, -1},
    {BITMAP_MB, 127, 92, 25, 27, 164, -1, -1},
    {BITMAP_MB, 0, 92, 100, 13, 165, -1, -1},
    {BITMAP_MB, 127, 92, 68, 13, 166, -1, -1},
    {BITMAP_MB, 107, 102, 18, 17, 167, -1, -1},
    // ELEM_STEREO_ON
    {BITMAP_MONOSTER, 0, 0, 29, 12, 168, 239, 41},
    // ELEM_MONO_ON
    {BITMAP_MONOSTER, 29, 0, 27, 12, 169, 212, 41},
    // ELEM_STEREO_OFF
    {BITMAP_MONOSTER, 0, 12, 29, 12, 170, 239, 41},
    // ELEM_MONO_OFF
    {BITMAP_MONOSTER, 29, 12, 27, 12, 171, 212, 41},
    // ELEM_DIGIT
    {BITMAP_NUMBERS, 0, 0, 9, 13, 172, -1, 26},
    {BITMAP_NUMBERS, 9, 0, 9, 13, 173, -1, 26},
    {BITMAP_NUMBERS, 18, 0, 9, 13, 174, -1, 26},
    {BITMAP_NUMBERS, 27, 0, 9, 13, 175, -1, 26},
    {BITMAP_NUMBERS, 36, 0, 9, 13, 176, -1, 26},
    {BITMAP_NUMBERS, 45, 0, 9, 13, 177, -1, 26},
    {BITMAP_NUMBERS, 54, 0, 9, 13, 178, -1, 26},
    {BITMAP_NUMBERS, 63, 0, 9, 13, 179, -1, 26},
    {BITMAP_NUMBERS, 72, 0, 9, 13, 180, -1, 26},
    {BITMAP_NUMBERS, 81, 0, 9, 13, 181, -1, 26},
    // ELEM_DIGIT_BLANK
    {BITMAP_NUMBERS, 90, 0, 9, 13, 182, -1, 26},
    // ELEM_STATUS
    {BITMAP_PLAYPAUS, 1, 0, 8, 9, 183, 24, 18},
    {BITMAP_PLAYPAUS, 9, 0, 9, 9, 184, 24, 18},
    {BITMAP_PLAYPAUS, 18, 0, 9, 9, 185, 24, 18},
    {BITMAP_PLAYPAUS, 27, 0, 2, 9, 186, 24, 18},
    {BITMAP_PLAYPAUS, 36, 0, 3, 9, 187, 24, 18},
    {BITMAP_PLAYPAUS, 39, 0, 3, 9, 188, 24, 18},
    // ELEM_PL_TITLE_A
    {BITMAP_PLEDIT, 0, 0, 25, 20, 189, -1, -1},
    {BITMAP_PLEDIT, 26, 0, 100, 20, 190, -1, -1},
    {BITMAP_PLEDIT, 127, 0, 25, 20, 191, -1, -1},
    {BITMAP_PLEDIT, 153, 0, 25, 20, 192, -1, -1},
    // ELEM_PL_BOTTOM_FILL
    {BITMAP_PLEDIT, 179, 0, 25, 38, 193, -1, -1},
    // ELEM_PL_BOTTOM_EXTRA
    {BITMAP_PLEDIT, 205, 0, 75, 38, 194, -225, -38},
    // ELEM_PL_TITLE
    {BITMAP_PLEDIT, 0, 21, 25, 20, 195, -1, -1},
    {BITMAP_PLEDIT, 26, 21, 100, 20, 196, -1, -1},
    {BITMAP_PLEDIT, 127, 21, 25, 20, 197, -1, -1},
    {BITMAP_PLEDIT, 153, 21, 25, 20, 198, -1, -1},
    // ELEM_PL_SIDE_LEFT
    {BITMAP_PLEDIT, 0, 42, 12, 29, 199, -1, -1},
    // ELEM_PL_SIDE_RIGHT
    {BITMAP_PLEDIT, 31, 42, 5, 29, 200, -20, -1},
    {BITMAP_PLEDIT, 36, 42, 8, 29, 201, -15, -1},
    {BITMAP_PLEDIT, 44, 42, 7, 29, 202, -7, -1},
    // ELEM_PL_CLOSE_PRESSED
    {BITMAP_PLEDIT, 52, 42, 9, 9, 203, -11, 3},
    // ELEM_PL_BUTTON_PRESSED
    {BITMAP_PLEDIT, 62, 42, 9, 9, 204, -1, -1},
    // ELEM_PL_STRIP_A
    {BITMAP_PLEDIT, 72, 42, 25, 14, 205, -1, -1},
    {BITMAP_PLEDIT, 99, 42, 50, 14, 206, -1, -1},
    // ELEM_PL_BUTTON_B
    {BITMAP_PLEDIT, 150, 42, 9, 9, 207, -1, -1},
    // ELEM_PL_SCROLL_THUMB
    {BITMAP_PLEDIT, 52, 53, 8, 18, 208, -15, -1},
    // ELEM_PL_SCROLL_THUMB_PRESSED
    {BITMAP_PLEDIT, 61, 53, 8, 18, 209, -15, -1},
    // ELEM_PL_STRIP_B
    {BITMAP_PLEDIT, 72, 57, 25, 14, 210, -1, -1},
    {BITMAP_PLEDIT, 99, 57, 50, 14, 211, -1, -1},
    // ELEM_PL_BOTTOM_LEFT
    {BITMAP_PLEDIT, 0, 72, 125, 38, 212, -1, -1},
    // ELEM_PL_BOTTOM_RIGHT
    {BITMAP_PLEDIT, 126, 72, 150, 38, 213, -150, -38},
    // ELEM_PL_SMALL_BUTTON
    {BITMAP_PLEDIT, 261, 74, 9, 5, 214, -16, -36},
    {BITMAP_PLEDIT, 261, 79, 9, 5, 215, -16, -31},
    // ELEM_PL_MENU_BUTTON
    {BITMAP_PLEDIT, 14, 80, 22, 18, 216, 14, -30},
    {BITMAP_PLEDIT, 43, 80, 22, 18, 217, 43, -30},
    {BITMAP_PLEDIT, 72, 80, 22, 18, 218, 72, -30},
    {BITMAP_PLEDIT, 101, 80, 22, 18, 219, 101, -30},
    {BITMAP_PLEDIT, 232, 80, 22, 18, 220, -44, -30},
    // ELEM_PL_STRIP_C
    {BITMAP_PLEDIT, 133, 82, 90, 6, 221, -1, -1},
    // ELEM_PL_RESIZE
    {BITMAP_PLEDIT, 257, 89, 19, 21, 222, -19, -23},
    // ELEM_PL_MINI_BUTTON
    {BITMAP_PLEDIT, 132, 94, 7, 8, 223, -144, -16},
    {BITMAP_PLEDIT, 140, 94, 8, 8, 224, -136, -16},
    {BITMAP_PLEDIT, 149, 94, 9, 8, 225, -127, -16},
    {BITMAP_PLEDIT, 159, 94, 9, 8, 226, -117, -16},
    {BITMAP_PLEDIT, 169, 94, 7, 8, 227, -107, -16},
    {BITMAP_PLEDIT, 177, 94, 9, 8, 228, -99, -16},
    // ELEM_PL_STRIP_D
    {BITMAP_PLEDIT, 190, 95, 19, 6, 229, -1, -1},
    {BITMAP_PLEDIT, 212, 95, 10, 6, 230, -1, -1},
    // ELEM_PL_POPUP
    {BITMAP_PLEDIT, 0, 111, 22, 18, 231, 14, -66},
    {BITMAP_PLEDIT, 23, 111, 22, 18, 232, 14, -66},
    {BITMAP_PLEDIT, 48, 111, 3, 54, 233, 11, -66},
    {BITMAP_PLEDIT, 54, 111, 22, 18, 234, 43, -66},
    {BITMAP_PLEDIT, 77, 111, 22, 18, 235, 43, -66},
    {BITMAP_PLEDIT, 100, 111, 3, 72, 236, 40, -84},
    {BITMAP_PLEDIT, 104, 111, 22, 18, 237, 72, -66},
    {BITMAP_PLEDIT, 127, 111, 22, 18, 238, 72, -66},
    {BITMAP_PLEDIT, 150, 111, 3, 54, 239, 69, -66},
    {BITMAP_PLEDIT, 154, 111, 22, 18, 240, 101, -66},
    {BITMAP_PLEDIT, 177, 111, 22, 18, 241, 101, -66},
    {BITMAP_PLEDIT, 200, 111, 3, 54, 242, 98, -66},
    {BITMAP_PLEDIT, 204, 111, 22, 18, 243, -44, -66},
    {BITMAP_PLEDIT, 227, 111, 22, 18, 244, -44, -66},
    {BITMAP_PLEDIT, 250, 111, 3, 54, 245, -47, -66},
    {BITMAP_PLEDIT, 0, 130, 22, 18, 246, 14, -48},
    {BITMAP_PLEDIT, 23, 130, 22, 18, 247, 14, -48},
    {BITMAP_PLEDIT, 54, 130, 22, 18, 248, 43, -48},
    {BITMAP_PLEDIT, 77, 130, 22, 18, 249, 43, -48},
    {BITMAP_PLEDIT, 104, 130, 22, 18, 250, 72, -48},
    {BITMAP_PLEDIT, 127, 130, 22, 18, 251, 72, -48},
    {BITMAP_PLEDIT, 154, 130, 22, 18, 252, 101, -48},
    {BITMAP_PLEDIT, 177, 130, 22, 18, 253, 101, -48},
    {BITMAP_PLEDIT, 204, 130, 22, 18, 254, -44, -48},
    {BITMAP_PLEDIT, 227, 130, 22, 18, 255, -44, -48},
    {BITMAP_PLEDIT, 0, 149, 22, 18, 256, 14, -30},
    {BITMAP_PLEDIT, 23, 149, 22, 18, 257, 14, -30},
    {BITMAP_PLEDIT, 54, 149, 22, 18, 258, 43, -30},
    {BITMAP_PLEDIT, 77, 149, 22, 18, 259, 43, -30},
    {BITMAP_PLEDIT, 104, 149, 22, 18, 260, 72, -30},
    {BITMAP_PLEDIT, 127, 149, 22, 18, 261, 72, -30},
    {BITMAP_PLEDIT, 154, 149, 22, 18, 262, 101, -30},
    {BITMAP_PLEDIT, 177, 149, 22, 18, 263, 101, -30},
    {BITMAP_PLEDIT, 204, 149, 22, 18, 264, -44, -30},
    {BITMAP_PLEDIT, 227, 149, 22, 18, 265, -44, -30},
    {BITMAP_PLEDIT, 54, 168, 22, 18, 266, 43, -84},
    {BITMAP_PLEDIT, 77, 168, 22, 18, 267, 43, -84},
    // ELEM_POSBAR
    {BITMAP_POSBAR, 0, 0, 248, 10, 268, 16, 72},
    // ELEM_POSBAR_THUMB
    {BITMAP_POSBAR, 248, 0, 29, 10, 269, -1, 72},
    // ELEM_POSBAR_THUMB_PRESSED
    {BITMAP_POSBAR, 278, 0, 29, 10, 270, -1, 72},
    // ELEM_SHUFREP
    {BITMAP_SHUFREP, 0, 0, 28, 15, 271, 210, 89},
    {BITMAP_SHUFREP, 28, 0, 46, 15, 272, 164, 89},
    {BITMAP_SHUFREP, 0, 15, 28, 15, 273, 210, 89},
    {BITMAP_SHUFREP, 28, 15, 46, 15, 274, 164, 89},
    {BITMAP_SHUFREP, 0, 30, 28, 15, 275, 210, 89},
    {BITMAP_SHUFREP, 28, 30, 46, 15, 276, 164, 89},
    {BITMAP_SHUFREP, 0, 45, 28, 15, 277, 210, 89},
    {BITMAP_SHUFREP, 28, 45, 46, 15, 278, 164, 89},
    // ELEM_EQPL_TOGGLE
    {BITMAP_SHUFREP, 0, 61, 23, 12, 279, 219, 58},
    {BITMAP_SHUFREP, 23, 61, 23, 12, 280, 242, 58},
    {BITMAP_SHUFREP, 46, 61, 23, 12, 281, 219, 58},
    {BITMAP_SHUFREP, 69, 61, 23, 12, 282, 242, 58},
    {BITMAP_SHUFREP, 0, 73, 23, 12, 283, 219, 58},
    {BITMAP_SHUFREP, 23, 73, 23, 12, 284, 242, 58},
    {BITMAP_SHUFREP, 46, 73, 23, 12, 285, 219, 58},
    {BITMAP_SHUFREP, 69, 73, 23, 12, 286, 242, 58},
    // ELEM_GLYPH
    {BITMAP_TEXT, 0, 0, 5, 6, 287, -1, -1},
    {BITMAP_TEXT, 5, 0, 5, 6, 288, -1, -1},
    {BITMAP_TEXT, 10, 0, 5, 6, 289, -1, -1},
    {BITMAP_TEXT, 15, 0, 5, 6, 290, -1, -1},
    {BITMAP_TEXT, 20, 0, 5, 6, 291, -1, -1},
    {BITMAP_TEXT, 25, 0, 5, 6, 292, -1, -1},
    {BITMAP_TEXT, 30, 0, 5, 6, 293, -1, -1},
    {BITMAP_TEXT, 35, 0, 5, 6, 294, -1, -1},
    {BITMAP_TEXT, 40, 0, 5, 6, 295, -1, -1},
    {BITMAP_TEXT, 45, 0, 5, 6, 296, -1, -1},
    {BITMAP_TEXT, 50, 0, 5, 6, 297, -1, -1},
    {BITMAP_TEXT, 55, 0, 5, 6, 298, -1, -1},
    {BITMAP_TEXT, 60, 0, 5, 6, 299, -1, -1},
    {BITMAP_TEXT, 65, 0, 5, 6, 300, -1, -1},
    {BITMAP_TEXT, 70, 0, 5, 6, 301, -1, -1},
    {BITMAP_TEXT, 75, 0, 5, 6, 302, -1, -1},
    {BITMAP_TEXT, 80, 0, 5, 6, 303, -1, -1},
    {BITMAP_TEXT, 85, 0, 5, 6, 304, -1, -1},
    {BITMAP_TEXT, 90, 0, 5, 6, 305, -1, -1},
    {BITMAP_TEXT, 95, 0, 5, 6, 306, -1, -1},
    {BITMAP_TEXT, 100, 0, 5, 6, 307, -1, -1},
    {BITMAP_TEXT, 105, 0, 5, 6, 308, -1, -1},
    {BITMAP_TEXT, 110, 0, 5, 6, 309, -1, -1},
    {BITMAP_TEXT, 115, 0, 5, 6, 310, -1, -1},
    {BITMAP_TEXT, 120, 0, 5, 6, 311, -1, -1},
    {BITMAP_TEXT, 125, 0, 5, 6, 312, -1, -1},
    {BITMAP_TEXT, 130, 0, 5, 6, 313, -1, -1},
    {BITMAP_TEXT, 135, 0, 5, 6, 314, -1, -1},
    {BITMAP_TEXT, 142, 0, 5, 6, 315, -1, -1},
    {BITMAP_TEXT, 150, 0, 5, 6, 316, -1, -1},
    {BITMAP_TEXT, 0, 6, 5, 6, 317, -1, -1},
    {BITMAP_TEXT, 5, 6, 5, 6, 318, -1, -1},
    {BITMAP_TEXT, 10, 6, 5, 6, 319, -1, -1},
    {BITMAP_TEXT, 15, 6, 5, 6, 320, -1, -1},
    {BITMAP_TEXT, 20, 6, 5, 6, 321, -1, -1},
    {BITMAP_TEXT, 25, 6, 5, 6, 322, -1, -1},
    {BITMAP_TEXT, 30, 6, 5, 6, 323, -1, -1},
    {BITMAP_TEXT, 35, 6, 5, 6, 324, -1, -1},
    {BITMAP_TEXT, 40, 6, 5, 6, 325, -1, -1},
    {BITMAP_TEXT, 45, 6, 5, 6, 326, -1, -1},
    {BITMAP_TEXT, 50, 6, 5, 6, 327, -1, -1},
    {BITMAP_TEXT, 55, 6, 5, 6, 328, -1, -1},
    {BITMAP_TEXT, 60, 6, 5, 6, 329, -1, -1},
    {BITMAP_TEXT, 65, 6, 5, 6, 330, -1, -1},
    {BITMAP_TEXT, 70, 6, 5, 6, 331, -1, -1},
    {BITMAP_TEXT, 75, 6, 5, 6, 332, -1, -1},
    {BITMAP_TEXT, 80, 6, 5, 6, 333, -1, -1},
    {BITMAP_TEXT, 85, 6, 5, 6, 334, -1, -1},
    {BITMAP_TEXT, 90, 6, 5, 6, 335, -1, -1},
    {BITMAP_TEXT, 95, 6, 5, 6, 336, -1, -1},
    {BITMAP_TEXT, 100, 6, 5, 6, 337, -1, -1},
    {BITMAP_TEXT, 105, 6, 5, 6, 338, -1, -1},
    {BITMAP_TEXT, 110, 6, 5, 6, 339, -1, -1},
    {BITMAP_TEXT, 115, 6, 5, 6, 340, -1, -1},
    {BITMAP_TEXT, 120, 6, 5, 6, 341, -1, -1},
    {BITMAP_TEXT, 125, 6, 5, 6, 342, -1, -1},
    {BITMAP_TEXT, 130, 6, 5, 6, 343, -1, -1},
    {BITMAP_TEXT, 135, 6, 5, 6, 344, -1, -1},
    {BITMAP_TEXT, 140, 6, 5, 6, 345, -1, -1},
    {BITMAP_TEXT, 145, 6, 5, 6, 346, -1, -1},
    {BITMAP_TEXT, 150, 6, 5, 6, 347, -1, -1},
    {BITMAP_TEXT, 0, 12, 5, 6, 348, -1, -1},
    {BITMAP_TEXT, 5, 12, 5, 6, 349, -1, -1},
    {BITMAP_TEXT, 10, 12, 5, 6, 350, -1, -1},
    {BITMAP_TEXT, 15, 12, 5, 6, 351, -1, -1},
    {BITMAP_TEXT, 20, 12, 5, 6, 352, -1, -1},
    {BITMAP_TEXT, 100, 12, 5, 6, 353, -1, -1},
    // ELEM_TB_MENU
    {BITMAP_TITLEBAR, 0, 0, 9, 9, 354, 6, 3},
    // ELEM_TB_MINIMIZE
    {BITMAP_TITLEBAR, 9, 0, 9, 9, 355, 244, 3},
    // ELEM_TB_CLOSE
    {BITMAP_TITLEBAR, 18, 0, 9, 9, 356, 264, 3},
    // ELEM_TB_TITLE_ALT
    {BITMAP_TITLEBAR, 27, 0, 275, 14, 357, 0, 0},
    // ELEM_CLUTTERBAR_ON
    {BITMAP_TITLEBAR, 304, 0, 8, 43, 358, 10, 22},
    // ELEM_CLUTTERBAR_OFF
    {BITMAP_TITLEBAR, 312, 0, 8, 43, 359, 10, 22},
    // ELEM_TB_PRESSED
    {BITMAP_TITLEBAR, 0, 9, 9, 9, 360, 6, 3},
    {BITMAP_TITLEBAR, 9, 9, 9, 9, 361, 244, 3},
    {BITMAP_TITLEBAR, 18, 9, 9, 9, 362, 264, 3},
    // ELEM_TB_TITLE
    {BITMAP_TITLEBAR, 27, 15, 275, 14, 363, 0, 0},
    // ELEM_TB_BUTTON4
    {BITMAP_TITLEBAR, 0, 18, 9, 9, 364, 254, 3},
    // ELEM_TB_BUTTON4_PRESSED
    {BITMAP_TITLEBAR, 9, 18, 9, 9, 365, 254, 3},
    // ELEM_TB_BUTTON4_ALT
    {BITMAP_TITLEBAR, 0, 27, 9, 9, 366, 254, 3},
    {BITMAP_TITLEBAR, 9, 27, 9, 9, 367, 254, 3},
    // ELEM_TB_COMPACT_A
    {BITMAP_TITLEBAR, 27, 29, 275, 14, 368, -1, -1},
    // ELEM_TB_COMPACT_PARTS
    {BITMAP_TITLEBAR, 0, 36, 17, 7, 369, -1, -1},
    {BITMAP_TITLEBAR, 17, 36, 9, 7, 370, -1, -1},
    // ELEM_TB_COMPACT_B
    {BITMAP_TITLEBAR, 27, 42, 275, 14, 371, -1, -1},
    // ELEM_CLUTTERBAR_PRESSED
    {BITMAP_TITLEBAR, 304, 44, 8, 43, 372, 10, 22},
    {BITMAP_TITLEBAR, 312, 44, 8, 43, 373, 10, 22},
    {BITMAP_TITLEBAR, 320, 44, 8, 43, 374, 10, 22},
    {BITMAP_TITLEBAR, 328, 44, 8, 43, 375, 10, 22},
    {BITMAP_TITLEBAR, 336, 44, 8, 43, 376, 10, 22},
    // ELEM_TB_TITLE_EXTRA
    {BITMAP_TITLEBAR, 27, 57, 275, 14, 377, 0, 0},
    {BITMAP_TITLEBAR, 27, 72, 275, 14, 378, 0, 0},
    // ELEM_VOLUME_FRAME
    {BITMAP_VOLUME, 0, 0, 68, 13, 379, 107, 57},
    {BITMAP_VOLUME, 0, 15, 68, 13, 380, 107, 57},
    {BITMAP_VOLUME, 0, 30, 68, 13, 381, 107, 57},
    {BITMAP_VOLUME, 0, 45, 68, 13, 382, 107, 57},
    {BITMAP_VOLUME, 0, 60, 68, 13, 383, 107, 57},
    {BITMAP_VOLUME, 0, 75, 68, 13, 384, 107, 57},
    {BITMAP_VOLUME, 0, 90, 68, 13, 385, 107, 57},
    {BITMAP_VOLUME, 0, 105, 68, 13, 386, 107, 57},
    {BITMAP_VOLUME, 0, 120, 68, 13, 387, 107, 57},
    {BITMAP_VOLUME, 0, 135, 68, 13, 388, 107, 57},
    {BITMAP_VOLUME, 0, 150, 68, 13, 389, 107, 57},
    {BITMAP_VOLUME, 0, 165, 68, 13, 390, 107, 57},
    {BITMAP_VOLUME, 0, 180, 68, 13, 391, 107, 57},
    {BITMAP_VOLUME, 0, 195, 68, 13, 392, 107, 57},
    {BITMAP_VOLUME, 0, 210, 68, 13, 393, 107, 57},
    {BITMAP_VOLUME, 0, 225, 68, 13, 394, 107, 57},
    {BITMAP_VOLUME, 0, 240, 68, 13, 395, 107, 57},
    {BITMAP_VOLUME, 0, 255, 68, 13, 396, 107, 57},
    {BITMAP_VOLUME, 0, 270, 68, 13, 397, 107, 57},
    {BITMAP_VOLUME, 0, 285, 68, 13, 398, 107, 57},
    {BITMAP_VOLUME, 0, 300, 68, 13, 399, 107, 57},
    {BITMAP_VOLUME, 0, 315, 68, 13, 400, 107, 57},
    {BITMAP_VOLUME, 0, 330, 68, 13, 401, 107, 57},
    {BITMAP_VOLUME, 0, 345, 68, 13, 402, 107, 57},
    {BITMAP_VOLUME, 0, 360, 68, 13, 403, 107, 57},
    {BITMAP_VOLUME, 0, 375, 68, 13, 404, 107, 57},
    {BITMAP_VOLUME, 0, 390, 68, 13, 405, 107, 57},
    {BITMAP_VOLUME, 0, 405, 68, 13, 406, 107, 57},
    // ELEM_VOLUME_THUMB_PRESSED
    {BITMAP_VOLUME, 0, 422, 14, 11, 407, -1, 58},
    // ELEM_VOLUME_THUMB
    {BITMAP_VOLUME, 15, 422, 14, 11, 408, -1, 58},
}};

// Byte -> glyph element id; -1 where the caller's fallback id is used.
constexpr std::array<int16_t, 256> THEME_GLYPH_MAP = {{
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    -1, 334, 313, 347, 346, 343, 342, 333, 330, 331, 352, 336, 344, 332, 328, 338,
    317, 318, 319, 320, 321, 322, 323, 324, 325, 326, 329, -1, -1, 345, -1, 351,
    314, 287, 288, 289, 290, 291, 292, 293, 294, 295, 296, 297, 298, 299, 300, 301,
    302, 303, 304, 305, 306, 307, 308, 309, 310, 311, 312, 339, 337, 340, 341, 335,
    -1, 287, 288, 289, 290, 291, 292, 293, 294, 295, 296, 297, 298, 299, 300, 301,
    302, 303, 304, 305, 306, 307, 308, 309, 310, 311, 312, -1, -1, -1, -1, -1,
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    -1, -1, 348, -1, 350, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    -1, -1, -1, -1, -1, -1, 349, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    -1, -1, 348, -1, 350, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    -1, -1, -1, -1, -1, -1, 349, -1, -1, -1, -1, -1, -1, -1, -1, -1,
}};

// ---- lookups

// The row of an element id, or nullptr for an id outside 0 to 408.
constexpr const tThemeElement *theme_element(int32_t id) {
    return (id >= 0 && id < THEME_ELEMENT_COUNT) ? &THEME_ELEMENTS[id] : nullptr;
}

// The row of a bitmap index, or nullptr for an index outside 0 to 15.
constexpr const tThemeBitmap *theme_bitmap(int32_t index) {
    return (index >= 0 && index < THEME_BITMAP_COUNT) ? &THEME_BITMAPS[index] : nullptr;
}

// The glyph element for one byte of text; bytes outside the font give fallback_id.
// The three-byte ellipsis is recognised by the text renderer before this lookup.
constexpr int32_t theme_glyph_id(uint8_t byte, int32_t fallback_id) {
    const int32_t id = THEME_GLYPH_MAP[byte];
    return id < 0 ? fallback_id : id;
}

// A destination coordinate in an image of the given extent: negative values count from the far
// edge.
constexpr int32_t theme_destination(int32_t coordinate, int32_t extent) {
    return coordinate < 0 ? extent + coordinate : coordinate;
}

// Present-flag rule: the element's source rectangle lies inside the image loaded for its bitmap
// (0 x 0 when no file was loaded).
constexpr bool theme_element_fits(const tThemeElement &e, int32_t loaded_width,
                                  int32_t loaded_height) {
    return e.source_x >= 0 && e.source_y >= 0 && e.source_x + e.width <= loaded_width &&
           e.source_y + e.height <= loaded_height;
}

// Fills one present flag (0 or 1) per element from the loaded size of every bitmap.
constexpr void theme_compute_present(uint8_t present[THEME_ELEMENT_COUNT],
                                     const int32_t loaded_width[THEME_BITMAP_COUNT],
                                     const int32_t loaded_height[THEME_BITMAP_COUNT]) {
    for (const tThemeElement &e : THEME_ELEMENTS) {
        const bool fits = theme_element_fits(e, loaded_width[e.bitmap], loaded_height[e.bitmap]);
        present[e.id] = fits ? 1 : 0;
    }
}

// First element id of a bitmap's run, and the number of elements cut from it.
constexpr int32_t theme_bitmap_first_element(int32_t index) {
    for (const tThemeElement &e : THEME_ELEMENTS)
        if (e.bitmap == index) return e.id;
    return -1;
}

constexpr int32_t theme_bitmap_element_count(int32_t index) {
    int32_t n = 0;
    for (const tThemeElement &e : THEME_ELEMENTS)
        if (e.bitmap == index) ++n;
    return n;
}

// ---- what the tables guarantee

constexpr bool theme_check_ids_are_rows() {
    for (int32_t i = 0; i < THEME_ELEMENT_COUNT; ++i)
        if (THEME_ELEMENTS[i].id != i) return false;
    return true;
}

constexpr bool theme_check_bitmap_indexes_are_rows() {
    for (int32_t i = 0; i < THEME_BITMAP_COUNT; ++i)
        if (THEME_BITMAPS[i].index != i) return false;
    return true;
}

constexpr bool theme_check_sources_inside_bitmaps() {
    for (const tThemeElement &e : THEME_ELEMENTS) {
        if (e.bitmap < 0 || e.bitmap >= THEME_BITMAP_COUNT) return false;
        const tThemeBitmap &b = THEME_BITMAPS[e.bitmap];
        if (!theme_element_fits(e, b.width, b.height)) return false;
    }
    return true;
}

// Each bitmap's rows form one run, and the runs follow the bitmap order.
constexpr bool theme_check_runs_in_bitmap_order() {
    for (int32_t i = 1; i < THEME_ELEMENT_COUNT; ++i) {
        const int32_t step = THEME_ELEMENTS[i].bitmap - THEME_ELEMENTS[i - 1].bitmap;
        if (step != 0 && step != 1) return false;
    }
    return THEME_ELEMENTS[0].bitmap == 0 &&
           THEME_ELEMENTS[THEME_ELEMENT_COUNT - 1].bitmap == THEME_BITMAP_COUNT - 1;
}

constexpr std::array<int32_t, THEME_BITMAP_COUNT> THEME_BITMAP_ELEMENT_COUNTS = {9,  30, 12, 16, 67, 6,  28, 4,
                                                            11, 6,  79, 3,  16, 67, 25, 30};

constexpr bool theme_check_counts_match() {
    for (int32_t i = 0; i < THEME_BITMAP_COUNT; ++i)
        if (theme_bitmap_element_count(i) != THEME_BITMAP_ELEMENT_COUNTS[i]) return false;
    return true;
}

// The map produces only glyph cells of TEXT.BMP, never the blank cells or the ellipsis.
constexpr bool theme_check_glyph_map_valid() {
    for (int16_t id : THEME_GLYPH_MAP) {
        if (id == -1) continue;
        if (id < ELEM_GLYPH || id >= ELEM_GLYPH + ELEM_GLYPH_COUNT) return false;
        if (id == ELEM_GLYPH_BLANK_315 || id == ELEM_GLYPH_BLANK_316 ||
            id == ELEM_GLYPH_BLANK_353 || id == ELEM_GLYPH_ELLIPSIS)
            return false;
    }
    return THEME_GLYPH_MAP[' '] == -1 && THEME_GLYPH_MAP[0xC5] == -1;
}

constexpr bool theme_check_glyph_cells_are_5x6() {
    for (int32_t i = ELEM_GLYPH; i < ELEM_GLYPH + ELEM_GLYPH_COUNT; ++i)
        if (THEME_ELEMENTS[i].bitmap != BITMAP_TEXT || THEME_ELEMENTS[i].width != 5 ||
            THEME_ELEMENTS[i].height != 6)
            return false;
    return true;
}

static_assert(theme_check_ids_are_rows(), "element ids must equal their row");
static_assert(theme_check_bitmap_indexes_are_rows(), "bitmap indexes must equal their row");
static_assert(theme_check_sources_inside_bitmaps(), "every source rectangle lies inside its bitmap");
static_assert(theme_check_runs_in_bitmap_order(), "each bitmap's elements form one run, in bitmap order");
static_assert(theme_check_counts_match(), "elements per bitmap");
static_assert(theme_check_glyph_map_valid(), "glyph map");
static_assert(theme_check_glyph_cells_are_5x6(), "glyph cells");
static_assert(theme_glyph_id('A', 0) == 287 && theme_glyph_id('z', 0) == 312 &&
              theme_glyph_id('9', 0) == 326 && theme_glyph_id('#', 0) == 347 &&
              theme_glyph_id(0xE4, 0) == 350 && theme_glyph_id('\t', 353) == 353);
static_assert(theme_destination(THEME_ELEMENTS[ELEM_EQ_CLOSE].destination_x, 275) == 264);
static_assert(theme_destination(THEME_ELEMENTS[ELEM_PL_BOTTOM_RIGHT].destination_x, 300) == 150 &&
              theme_destination(THEME_ELEMENTS[ELEM_PL_BOTTOM_RIGHT].destination_y, 145) == 107);
