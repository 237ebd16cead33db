// Draws the default theme: the 14 bitmaps (every sprite in the rectangle the
// catalogue gives it), PLEDIT.TXT, VISCOLOR.TXT and the licence text.
// Run by hand: draw_default_theme [OUTPUT_DIRECTORY] (default: the source tree's theme/default).
#include "theme/catalogue.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};

constexpr Rgb FACE{80, 87, 90};
constexpr Rgb DARK{32, 39, 42};
constexpr Rgb LIGHT{112, 119, 122};
constexpr Rgb SHADOW{56, 62, 64};
constexpr Rgb INK{224, 231, 234};
constexpr Rgb BLACK{0, 0, 0};
constexpr Rgb ORANGE{224, 80, 16};
constexpr Rgb EMBER{164, 56, 9};

Rgb mix(Rgb a, Rgb b, double t)
{
    auto m = [t](uint8_t x, uint8_t y) { return static_cast<uint8_t>(std::lround(x + (y - x) * t)); };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

struct Rect {
    int x, y, w, h;
};

Rect rect_of(int id)
{
    const tThemeElement &e = THEME_ELEMENTS[id];
    return {e.source_x, e.source_y, e.width, e.height};
}

// ---- the 5 x 6 font: 4 columns wide (M and W use 5), rows 0-4 (comma 0-5)

struct Glyph {
    int id;
    const char *rows[6];
};

// clang-format off
constexpr Glyph FONT[] = {
    {287, {".##.", "#..#", "####", "#..#", "#..#", ""}},      // A
    {288, {"###.", "#..#", "###.", "#..#", "###.", ""}},      // B
    {289, {".###", "#...", "#...", "#...", ".###", ""}},      // C
    {290, {"###.", "#..#", "#..#", "#..#", "###.", ""}},      // D
    {291, {"####", "#...", "###.", "#...", "####", ""}},      // E
    {292, {"####", "#...", "###.", "#...", "#...", ""}},      // F
    {293, {".###", "#...", "#.##", "#..#", ".###", ""}},      // G
    {294, {"#..#", "#..#", "####", "#..#", "#..#", ""}},      // H
    {295, {"###", ".#.", ".#.", ".#.", "###", ""}},           // I
    {296, {"..##", "...#", "...#", "#..#", ".##.", ""}},      // J
    {297, {"#..#", "#.#.", "##..", "#.#.", "#..#", ""}},      // K
    {298, {"#...", "#...", "#...", "#...", "####", ""}},      // L
    {299, {"#...#", "##.##", "#.#.#", "#...#", "#...#", ""}}, // M
    {300, {"#..#", "##.#", "#.##", "#..#", "#..#", ""}},      // N
    {301, {".##.", "#..#", "#..#", "#..#", ".##.", ""}},      // O
    {302, {"###.", "#..#", "###.", "#...", "#...", ""}},      // P
    {303, {".##.", "#..#", "#..#", "#.#.", ".#.#", ""}},      // Q
    {304, {"###.", "#..#", "###.", "#.#.", "#..#", ""}},      // R
    {305, {".###", "#...", ".##.", "...#", "###.", ""}},      // S
    {306, {"###", ".#.", ".#.", ".#.", ".#.", ""}},           // T
    {307, {"#..#", "#..#", "#..#", "#..#", ".##.", ""}},      // U
    {308, {"#.#", "#.#", "#.#", "#.#", ".#.", ""}},           // V
    {309, {"#...#", "#...#", "#.#.#", "##.##", "#...#", ""}}, // W
    {310, {"#..#", "#..#", ".##.", "#..#", "#..#", ""}},      // X
    {311, {"#.#", "#.#", ".#.", ".#.", ".#.", ""}},           // Y
    {312, {"####", "...#", ".##.", "#...", "####", ""}},      // Z
    {313, {"#.#", "#.#", "", "", "", ""}},                    // "
    {314, {".##.", "#.##", "#.##", "#...", ".###", ""}},      // @
    {317, {".##.", "#..#", "#.##", "##.#", ".##.", ""}},      // 0, slashed apart from O
    {318, {".#.", "##.", ".#.", ".#.", "###", ""}},           // 1
    {319, {"###.", "...#", ".##.", "#...", "####", ""}},      // 2
    {320, {"###.", "...#", ".##.", "...#", "###.", ""}},      // 3
    {321, {"#..#", "#..#", "####", "...#", "...#", ""}},      // 4
    {322, {"####", "#...", "###.", "...#", "###.", ""}},      // 5
    {323, {".##.", "#...", "###.", "#..#", ".##.", ""}},      // 6
    {324, {"####", "...#", "..#.", ".#..", ".#..", ""}},      // 7
    {325, {".##.", "#..#", ".##.", "#..#", ".##.", ""}},      // 8
    {326, {".##.", "#..#", ".###", "...#", ".##.", ""}},      // 9
    {327, {"", "", "", "", "#.#.#", ""}},                     // ...
    {328, {"", "", "", "", "#", ""}},                         // .
    {329, {"", "#", "", "#", "", ""}},                        // :
    {330, {".#", "#.", "#.", "#.", ".#", ""}},                // (
    {331, {"#.", ".#", ".#", ".#", "#.", ""}},                // )
    {332, {"", "", "###", "", "", ""}},                       // -
    {333, {"#", "#", "", "", "", ""}},                        // '
    {334, {"#", "#", "#", "", "#", ""}},                      // !
    {335, {"", "", "", "", "####", ""}},                      // _
    {336, {"", ".#.", "###", ".#.", "", ""}},                 // +
    {337, {"#...", "#...", ".#..", "..#.", "...#", ""}},      // backslash
    {338, {"...#", "..#.", ".#..", "#...", "#...", ""}},      // /
    {339, {"##", "#.", "#.", "#.", "##", ""}},                // [
    {340, {"##", ".#", ".#", ".#", "##", ""}},                // ]
    {341, {".#.", "#.#", "", "", "", ""}},                    // ^
    {342, {".#..", "#.#.", ".#..", "#.#.", ".#.#", ""}},      // &
    {343, {"#..#", "...#", "..#.", ".#..", "#..#", ""}},      // %
    {344, {"", "", "", ".#", ".#", "#."}},                    // ,
    {345, {"", "###", "", "###", "", ""}},                    // =
    {346, {".###", "#.#.", ".##.", "..##", "###.", ""}},      // $
    {347, {"#.#.", "####", "#.#.", "####", "#.#.", ""}},      // #
    {348, {".##.", "", ".##.", "#..#", "####", "#..#"}},      // A circumflex
    {349, {"#..#", "", ".##.", "#..#", "#..#", ".##."}},      // O diaeresis
    {350, {"#..#", "", ".##.", "#..#", "####", "#..#"}},      // A diaeresis
    {351, {"###.", "...#", "..#.", "", "..#.", ""}},          // ?
    {352, {"", "#.#", ".#.", "#.#", "", ""}},                 // *
};
// clang-format on

const Glyph *glyph_by_id(int id)
{
    for (const Glyph &g : FONT)
        if (g.id == id) return &g;
    return nullptr;
}

const Glyph *glyph_for(char ch)
{
    return glyph_by_id(theme_glyph_id(static_cast<uint8_t>(ch), -1));
}

int glyph_width(const Glyph *g)
{
    int w = 0;
    for (int j = 0; j < 6; ++j) w = std::max<int>(w, int(strlen(g->rows[j])));
    return w;
}

struct Canvas {
    int w, h;
    std::vector<Rgb> px;
    Rect clip;

    Canvas(int width, int height, Rgb fill) : w(width), h(height), px(size_t(width) * size_t(height), fill)
    {
        clip = {0, 0, w, h};
    }
    explicit Canvas(int bitmap) : Canvas(THEME_BITMAPS[bitmap].width, THEME_BITMAPS[bitmap].height, FACE) {}

    void set(int x, int y, Rgb c)
    {
        if (x < clip.x || y < clip.y || x >= clip.x + clip.w || y >= clip.y + clip.h) return;
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        px[size_t(y) * size_t(w) + size_t(x)] = c;
    }
    Rgb get(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)]; }
    void fill(int x, int y, int fw, int fh, Rgb c)
    {
        for (int j = 0; j < fh; ++j)
            for (int i = 0; i < fw; ++i) set(x + i, y + j, c);
    }
    void fill(Rect r, Rgb c) { fill(r.x, r.y, r.w, r.h, c); }
    void hline(int x, int y, int len, Rgb c) { fill(x, y, len, 1, c); }
    void vline(int x, int y, int len, Rgb c) { fill(x, y, 1, len, c); }
    // Top and left edges in one colour, bottom and right in another.
    void edges(Rect r, Rgb top_left, Rgb bottom_right)
    {
        hline(r.x, r.y, r.w, top_left);
        vline(r.x, r.y, r.h, top_left);
        hline(r.x, r.y + r.h - 1, r.w, bottom_right);
        vline(r.x + r.w - 1, r.y, r.h, bottom_right);
    }
    void pattern(int x, int y, const char *const *rows, int n, Rgb c)
    {
        for (int j = 0; j < n; ++j)
            for (int i = 0; rows[j][i]; ++i)
                if (rows[j][i] == '#') set(x + i, y + j, c);
    }
    void pattern(int x, int y, std::initializer_list<const char *> rows, Rgb c)
    {
        pattern(x, y, rows.begin(), int(rows.size()), c);
    }
    // Text in the theme font with its fixed advance of 5 pixels.
    void text(int x, int y, const char *s, Rgb c)
    {
        for (; *s; ++s, x += 5) {
            const Glyph *g = glyph_for(*s);
            if (g) pattern(x, y, g->rows, 6, c);
        }
    }
    // Captions of the skin itself: glyph width plus one pixel, so M and W never touch.
    void label(int x, int y, const char *s, Rgb c)
    {
        for (; *s; ++s) {
            const Glyph *g = glyph_for(*s);
            if (!g) {
                x += 3;
                continue;
            }
            pattern(x, y, g->rows, 6, c);
            x += glyph_width(g) + 1;
        }
    }
    void limit(Rect r) { clip = r; }
    void unlimit() { clip = {0, 0, w, h}; }

    bool save(const std::string &path) const
    {
        const int stride = (w * 3 + 3) / 4 * 4;
        const uint32_t image = uint32_t(stride) * uint32_t(h);
        unsigned char header[54] = {'B', 'M'};
        auto le32 = [&header](int at, uint32_t v) {
            for (int k = 0; k < 4; ++k) header[at + k] = static_cast<unsigned char>(v >> (8 * k));
        };
        le32(2, 54 + image);
        le32(10, 54);
        le32(14, 40);
        le32(18, uint32_t(w));
        le32(22, uint32_t(h));
        header[26] = 1;
        header[28] = 24;
        le32(34, image);
        le32(38, 2835);
        le32(42, 2835);
        FILE *f = fopen(path.c_str(), "wb");
        if (!f) return false;
        fwrite(header, 1, sizeof header, f);
        std::vector<unsigned char> row(size_t(stride), 0);
        for (int y = h - 1; y >= 0; --y) {
            for (int x = 0; x < w; ++x) {
                Rgb c = get(x, y);
                row[size_t(x) * 3] = c.b;
                row[size_t(x) * 3 + 1] = c.g;
                row[size_t(x) * 3 + 2] = c.r;
            }
            fwrite(row.data(), 1, row.size(), f);
        }
        return fclose(f) == 0;
    }
};

int text_width(const char *s)
{
    int w = 0;
    for (; *s; ++s) {
        const Glyph *g = glyph_for(*s);
        w += (g ? glyph_width(g) : 2) + 1;
    }
    return w > 0 ? w - 1 : 0;
}

// Text centred in a rectangle (five rows high).
void text_centred(Canvas &c, Rect r, const char *s, Rgb colour, int dx = 0, int dy = 0)
{
    c.label(r.x + (r.w - text_width(s) + 1) / 2 + dx, r.y + (r.h - 5 + 1) / 2 + dy, s, colour);
}

// A raised or pressed button face with its bevel.
void button(Canvas &c, Rect r, bool pressed)
{
    if (!pressed) {
        c.fill(r, FACE);
        c.edges(r, LIGHT, BLACK);
        c.hline(r.x + 1, r.y + r.h - 2, r.w - 2, SHADOW);
        c.vline(r.x + r.w - 2, r.y + 1, r.h - 2, SHADOW);
    } else {
        c.fill(r, SHADOW);
        c.edges(r, BLACK, FACE);
        c.hline(r.x + 1, r.y + 1, r.w - 2, DARK);
        c.vline(r.x + 1, r.y + 1, r.h - 2, DARK);
    }
}

// A recessed display well.
void well(Canvas &c, Rect r)
{
    c.fill(r, DARK);
    c.edges(r, SHADOW, LIGHT);
}

// A small indicator lamp, 3 x 3.
void lamp(Canvas &c, int x, int y, bool on)
{
    c.fill(x, y, 3, 3, on ? ORANGE : DARK);
    if (on) c.set(x, y, mix(ORANGE, INK, 0.5));
}

// ---- transport symbols

void symbol_prev(Canvas &c, int x, int y, Rgb k)
{
    c.pattern(x, y, {"##...#...#", "##..##..##", "##.###.###", "##########", "##.###.###", "##..##..##", "##...#...#"}, k);
}
void symbol_next(Canvas &c, int x, int y, Rgb k)
{
    c.pattern(x, y, {"#...#...##", "##..##..##", "###.###.##", "##########", "###.###.##", "##..##..##", "#...#...##"}, k);
}
void symbol_play(Canvas &c, int x, int y, Rgb k)
{
    c.pattern(x, y, {"#....", "##...", "###..", "####.", "#####", "####.", "###..", "##...", "#...."}, k);
}
void symbol_pause(Canvas &c, int x, int y, Rgb k)
{
    for (int j = 0; j < 8; ++j) c.pattern(x, y + j, {"###..###"}, k);
}
void symbol_stop(Canvas &c, int x, int y, Rgb k) { c.fill(x, y, 8, 8, k); }
void symbol_eject(Canvas &c, int x, int y, Rgb k)
{
    c.pattern(x, y, {"....#....", "...###...", "..#####..", ".#######.", "#########", "", "#########", "#########"}, k);
}

void draw_cbuttons(Canvas &c)
{
    typedef void (*Symbol)(Canvas &, int, int, Rgb);
    const Symbol symbols[6] = {symbol_prev, symbol_play, symbol_pause, symbol_stop, symbol_next, symbol_eject};
    const int sw[6] = {10, 5, 8, 8, 10, 9};
    const int sh[6] = {7, 9, 8, 8, 7, 8};
    for (int k = 0; k < 6; ++k) {
        for (int pressed = 0; pressed < 2; ++pressed) {
            Rect r = rect_of((pressed ? ELEM_CBUTTON_PRESSED : ELEM_CBUTTON) + k);
            c.limit(r);
            button(c, r, pressed);
            int x = r.x + (r.w - sw[k]) / 2 + pressed;
            int y = r.y + (r.h - sh[k]) / 2 + pressed;
            Rgb ink = pressed || k == 1 ? ORANGE : INK;
            symbols[k](c, x, y, ink);
            c.unlimit();
        }
    }
}

// ---- NUMBERS.BMP: 7 x 11 digits

// clang-format off
const char *const DIGITS[10][11] = {
    {".#####.", "#######", "##...##", "##...##", "##...##", "##...##", "##...##", "##...##", "##...##", "#######", ".#####."},
    {"...##..", "..###..", ".####..", "...##..", "...##..", "...##..", "...##..", "...##..", "...##..", ".######", ".######"},
    {".#####.", "#######", "##...##", ".....##", "....###", "..####.", ".###...", "###....", "##.....", "#######", "#######"},
    {".#####.", "#######", "##...##", ".....##", "..####.", "..####.", ".....##", ".....##", "##...##", "#######", ".#####."},
    {"##...##", "##...##", "##...##", "##...##", "##...##", "#######", "#######", ".....##", ".....##", ".....##", ".....##"},
    {"#######", "#######", "##.....", "##.....", "######.", "#######", ".....##", ".....##", "##...##", "#######", ".#####."},
    {".#####.", "#######", "##.....", "##.....", "######.", "#######", "##...##", "##...##", "##...##", "#######", ".#####."},
    {"#######", "#######", ".....##", "....##.", "....##.", "...##..", "...##..", "..##...", "..##...", "..##...", "..##..."},
    {".#####.", "#######", "##...##", "##...##", ".#####.", ".#####.", "##...##", "##...##", "##...##", "#######", ".#####."},
    {".#####.", "#######", "##...##", "##...##", "##...##", "#######", ".######", ".....##", ".....##", "#######", ".#####."},
};
// clang-format on

void draw_numbers(Canvas &c)
{
    c.fill(0, 0, c.w, c.h, DARK);
    for (int d = 0; d < 10; ++d) {
        Rect r = rect_of(ELEM_DIGIT + d);
        c.limit(r);
        c.pattern(r.x + 1, r.y + 1, DIGITS[d], 11, INK);
        c.unlimit();
    }
}

// ---- TEXT.BMP

void draw_text(Canvas &c)
{
    c.fill(0, 0, c.w, c.h, DARK);
    for (const Glyph &g : FONT) {
        Rect r = rect_of(g.id);
        c.limit(r);
        c.pattern(r.x, r.y, g.rows, 6, INK);
        c.unlimit();
    }
}

// ---- title bars

// Grooves left and right of a centred caption.
void title_bar(Canvas &c, Rect r, const char *caption, bool active)
{
    c.limit(r);
    c.fill(r, active ? FACE : mix(FACE, SHADOW, 0.5));
    c.hline(r.x, r.y, r.w, active ? LIGHT : FACE);
    c.hline(r.x, r.y + r.h - 1, r.w, SHADOW);
    int tw = text_width(caption);
    int tx = r.x + (r.w - tw) / 2;
    Rgb hi = active ? LIGHT : FACE;
    Rgb lo = active ? DARK : SHADOW;
    for (int j = 0; j < 3; ++j) {
        int y = r.y + 4 + 2 * j;
        c.hline(r.x + 18, y, tx - 4 - (r.x + 18), lo);
        c.hline(r.x + 18, y + 1, tx - 4 - (r.x + 18), hi);
        c.hline(tx + tw + 4, y, r.x + r.w - 36 - (tx + tw + 4), lo);
        c.hline(tx + tw + 4, y + 1, r.x + r.w - 36 - (tx + tw + 4), hi);
    }
    if (active) c.fill(tx - 2, r.y + 3, tw + 4, 1, ORANGE);
    c.label(tx, r.y + 5, caption, active ? INK : LIGHT);
    c.unlimit();
}

enum TitleButton { TB_MENU, TB_MINIMIZE, TB_CLOSE, TB_SHADE };

void title_button(Canvas &c, Rect r, TitleButton kind, bool pressed)
{
    c.limit(r);
    c.fill(r, pressed ? DARK : SHADOW);
    c.edges(r, pressed ? BLACK : LIGHT, pressed ? FACE : BLACK);
    Rgb k = pressed || kind == TB_CLOSE ? ORANGE : INK;
    int x = r.x + 2 + (pressed ? 1 : 0), y = r.y + 2 + (pressed ? 1 : 0);
    switch (kind) {
    case TB_MENU: c.pattern(x, y, {"#####", "", "#####", "", "#####"}, k); break;
    case TB_MINIMIZE: c.pattern(x, y, {"", "", "", "", "#####"}, k); break;
    case TB_CLOSE: c.pattern(x, y, {"#...#", ".#.#.", "..#..", ".#.#.", "#...#"}, k); break;
    case TB_SHADE: c.pattern(x, y, {"#####", "#...#", "#####", "", ""}, k); break;
    }
    c.unlimit();
}

void draw_main_title(Canvas &c, Rect r, bool active)
{
    title_bar(c, r, "RAVLOX", active);
    // The buttons the window draws on top, so the bar reads whole without them.
    title_button(c, {r.x + 6, r.y + 3, 9, 9}, TB_MENU, false);
    title_button(c, {r.x + 244, r.y + 3, 9, 9}, TB_MINIMIZE, false);
    title_button(c, {r.x + 254, r.y + 3, 9, 9}, TB_SHADE, false);
    title_button(c, {r.x + 264, r.y + 3, 9, 9}, TB_CLOSE, false);
}

// The option strip: five letters, one button each (O A I D V).
void clutterbar(Canvas &c, Rect r, bool shown, int pressed)
{
    c.limit(r);
    c.fill(r, SHADOW);
    c.edges(r, DARK, LIGHT);
    const char *letters = "OAIDV";
    const int top[5] = {3, 11, 19, 27, 34};
    for (int k = 0; k < 5; ++k) {
        Rect b{r.x + 1, r.y + top[k], 6, 7};
        if (k == 4) b.h = 6;
        if (pressed == k) c.fill(b, EMBER);
        char s[2] = {letters[k], 0};
        if (shown || pressed == k) c.label(b.x + 1, b.y + 1, s, INK);
    }
    c.unlimit();
}

void draw_titlebar(Canvas &c)
{
    c.fill(0, 0, c.w, c.h, FACE);
    const TitleButton kinds[3] = {TB_MENU, TB_MINIMIZE, TB_CLOSE};
    for (int k = 0; k < 3; ++k) {
        title_button(c, rect_of(ELEM_TB_MENU + k), kinds[k], false);
        title_button(c, rect_of(ELEM_TB_PRESSED + k), kinds[k], true);
    }
    title_button(c, rect_of(ELEM_TB_BUTTON4), TB_SHADE, false);
    title_button(c, rect_of(ELEM_TB_BUTTON4_PRESSED), TB_SHADE, true);
    title_button(c, rect_of(ELEM_TB_BUTTON4_ALT), TB_SHADE, false);
    title_button(c, rect_of(ELEM_TB_BUTTON4_ALT + 1), TB_SHADE, true);
    draw_main_title(c, rect_of(ELEM_TB_TITLE_ALT), false);
    draw_main_title(c, rect_of(ELEM_TB_TITLE), true);
    draw_main_title(c, rect_of(ELEM_TB_TITLE_EXTRA), true);
    draw_main_title(c, rect_of(ELEM_TB_TITLE_EXTRA + 1), false);
    // Compact bars (never drawn by a window): a plain bar with the name.
    for (int id : {int(ELEM_TB_COMPACT_A), int(ELEM_TB_COMPACT_B)}) {
        Rect r = rect_of(id);
        draw_main_title(c, r, id == ELEM_TB_COMPACT_A);
    }
    for (int k = 0; k < 2; ++k) {
        Rect r = rect_of(ELEM_TB_COMPACT_PARTS + k);
        c.limit(r);
        c.fill(r, DARK);
        c.edges(r, SHADOW, LIGHT);
        c.unlimit();
    }
    clutterbar(c, rect_of(ELEM_CLUTTERBAR_ON), true, -1);
    clutterbar(c, rect_of(ELEM_CLUTTERBAR_OFF), false, -1);
    for (int k = 0; k < 5; ++k) clutterbar(c, rect_of(ELEM_CLUTTERBAR_PRESSED + k), true, k);
}

// ---- MAIN.BMP

void draw_main(Canvas &c)
{
    Rect body = rect_of(ELEM_MAIN_BODY);
    c.fill(0, 0, c.w, c.h, FACE);
    // Window border.
    c.vline(0, body.y, body.h, BLACK);
    c.vline(274, body.y, body.h, BLACK);
    c.hline(0, 115, 275, BLACK);
    c.vline(1, body.y, body.h - 1, LIGHT);
    c.vline(273, body.y, body.h - 1, SHADOW);
    c.hline(1, 114, 273, SHADOW);
    // The display: status, time, visualizer.
    well(c, {8, 16, 97, 47});
    c.pattern(72, 29, {"##", "##", "", "", "", "##", "##"}, INK);
    // Song title, bit rate and sample rate.
    well(c, {108, 25, 160, 10});
    Rect rate = rect_of(ELEM_MAIN_RATE_AREA);
    Rect freq = rect_of(ELEM_MAIN_FREQ_AREA);
    well(c, {rate.x - 2, rate.y - 2, rate.w + 4, rate.h + 3});
    well(c, {freq.x - 2, freq.y - 2, freq.w + 4, freq.h + 3});
    c.label(rate.x + rate.w + 4, rate.y, "KBPS", LIGHT);
    c.label(freq.x + freq.w + 4, freq.y, "KHZ", LIGHT);
    // Mono and stereo sit in one well.
    well(c, {210, 39, 60, 16});
    // Slider grooves under the volume and balance frames.
    c.hline(107, 71, 108, SHADOW);
    // Position bar groove.
    well(c, {15, 71, 250, 12});
    // Transport row: a darker plinth behind the buttons.
    c.fill(14, 86, 146, 22, SHADOW);
    c.edges({14, 86, 146, 22}, SHADOW, LIGHT);
    c.fill(162, 87, 78, 19, SHADOW);
    c.edges({162, 87, 78, 19}, SHADOW, LIGHT);
    // The corner area: a small mark of the player.
    Rect corner = rect_of(ELEM_MAIN_CORNER);
    c.limit(corner);
    c.fill(corner, FACE);
    // A dark disc with the play wedge in it.
    c.pattern(corner.x + 1, corner.y + 2,
              {"...#####...", ".#########.", ".#########.", "###########", "###########", "###########",
               "###########", "###########", ".#########.", ".#########.", "...#####..."},
              DARK);
    symbol_play(c, corner.x + 5, corner.y + 3, ORANGE);
    c.unlimit();
}

// ---- MONOSTER.BMP, PLAYPAUS.BMP

void draw_monoster(Canvas &c)
{
    c.fill(0, 0, c.w, c.h, DARK);
    for (int lit = 0; lit < 2; ++lit) {
        Rect st = rect_of(lit ? ELEM_STEREO_ON : ELEM_STEREO_OFF);
        Rect mo = rect_of(lit ? ELEM_MONO_ON : ELEM_MONO_OFF);
        Rgb k = lit ? ORANGE : SHADOW;
        c.limit(st);
        c.fill(st, DARK);
        text_centred(c, st, "STEREO", k);
        c.limit(mo);
        c.fill(mo, DARK);
        text_centred(c, mo, "MONO", k);
        c.unlimit();
    }
}

void draw_playpaus(Canvas &c)
{
    c.fill(0, 0, c.w, c.h, DARK);
    Rect r = rect_of(ELEM_STATUS + 0);
    c.limit(r);
    symbol_play(c, r.x + 2, r.y + 1, ORANGE);
    r = rect_of(ELEM_STATUS + 1);
    c.limit(r);
    c.pattern(r.x + 2, r.y + 1, {"##.##", "##.##", "##.##", "##.##", "##.##", "##.##", "##.##"}, INK);
    r = rect_of(ELEM_STATUS + 2);
    c.limit(r);
    c.fill(r.x + 2, r.y + 2, 6, 6, INK);
    // 186 (no status) stays dark; 187 ready: a dim lamp; 188 ended: an ember bar.
    r = rect_of(ELEM_STATUS + 4);
    c.limit(r);
    c.fill(r.x + 1, r.y + 3, 1, 3, LIGHT);
    r = rect_of(ELEM_STATUS + 5);
    c.limit(r);
    c.fill(r.x + 1, r.y + 1, 1, 7, EMBER);
    c.unlimit();
}

// ---- sliders

// A thumb: raised, with a grip; pressed it glows.
void thumb(Canvas &c, Rect r, bool pressed)
{
    c.limit(r);
    c.fill(r, pressed ? EMBER : FACE);
    c.edges(r, pressed ? ORANGE : LIGHT, BLACK);
    c.hline(r.x + 1, r.y + r.h - 2, r.w - 2, pressed ? mix(EMBER, BLACK, 0.4) : SHADOW);
    c.vline(r.x + r.w - 2, r.y + 1, r.h - 2, pressed ? mix(EMBER, BLACK, 0.4) : SHADOW);
    int cx = r.x + r.w / 2 - 2;
    for (int k = 0; k < 3; ++k) {
        c.vline(cx + 2 * k, r.y + 3, r.h - 6, pressed ? INK : DARK);
    }
    c.unlimit();
}

void draw_volume(Canvas &c)
{
    for (int k = 0; k < 28; ++k) {
        Rect r = rect_of(ELEM_VOLUME_FRAME + k);
        c.limit(r);
        c.fill(r, FACE);
        // A wedge that grows to the right; the filled part is the level.
        const int x0 = r.x + 2, x1 = r.x + r.w - 3;
        const int level = x0 + (x1 - x0) * k / 27;
        for (int x = x0; x <= x1; ++x) {
            int hgt = 2 + (x - x0) * 7 / (x1 - x0);
            int top = r.y + 10 - hgt;
            Rgb col = x <= level && k > 0 ? mix(EMBER, ORANGE, double(x - x0) / (x1 - x0)) : DARK;
            c.vline(x, top, hgt, col);
        }
        c.hline(x0, r.y + 11, x1 - x0 + 1, LIGHT);
        c.unlimit();
    }
    thumb(c, rect_of(ELEM_VOLUME_THUMB), false);
    thumb(c, rect_of(ELEM_VOLUME_THUMB_PRESSED), true);
}

void draw_balance(Canvas &c)
{
    for (int k = 0; k < 28; ++k) {
        Rect r = rect_of(ELEM_BALANCE_FRAME + k);
        c.limit(r);
        c.fill(r, FACE);
        // A groove that warms from grey to orange as the balance leaves the centre.
        const int x0 = r.x + 2, x1 = r.x + r.w - 3;
        const int half = (x1 - x0) / 2;
        const int mid = x0 + half;
        const int reach = half * k / 27;
        Rgb fill = mix(SHADOW, ORANGE, k / 27.0);
        c.fill(x0, r.y + 4, x1 - x0 + 1, 5, DARK);
        c.fill(mid - reach, r.y + 5, 2 * reach + 1, 3, fill);
        // Centre ticks above and below the groove.
        c.vline(mid, r.y + 1, 3, INK);
        c.vline(mid, r.y + 9, 2, INK);
        c.hline(x0, r.y + 11, x1 - x0 + 1, LIGHT);
        c.unlimit();
    }
    thumb(c, rect_of(ELEM_BALANCE_THUMB), false);
    thumb(c, rect_of(ELEM_BALANCE_THUMB_PRESSED), true);
}

void draw_posbar(Canvas &c)
{
    c.fill(0, 0, c.w, c.h, FACE);
    Rect r = rect_of(ELEM_POSBAR);
    c.limit(r);
    c.fill(r, DARK);
    c.hline(r.x, r.y + 4, r.w, SHADOW);
    c.hline(r.x, r.y + 5, r.w, SHADOW);
    for (int x = r.x + 4; x < r.x + r.w; x += 31) c.vline(x, r.y + 3, 4, SHADOW);
    c.unlimit();
    for (int pressed = 0; pressed < 2; ++pressed) {
        Rect t = rect_of(pressed ? ELEM_POSBAR_THUMB_PRESSED : ELEM_POSBAR_THUMB);
        c.limit(t);
        c.fill(t, pressed ? EMBER : FACE);
        c.edges(t, pressed ? ORANGE : LIGHT, BLACK);
        for (int k = 0; k < 4; ++k) c.vline(t.x + 10 + 3 * k, t.y + 2, 6, pressed ? INK : ORANGE);
        c.unlimit();
    }
}

// ---- SHUFREP.BMP

void toggle(Canvas &c, Rect r, const char *label, bool on, bool pressed)
{
    c.limit(r);
    button(c, r, pressed);
    int p = pressed ? 1 : 0;
    int tw = text_width(label) + 5;
    int x = r.x + (r.w - tw) / 2 + p;
    int y = r.y + (r.h - 5) / 2 + p;
    lamp(c, x, y + 1, on);
    c.label(x + 5, y, label, on ? INK : LIGHT);
    c.unlimit();
}

void draw_shufrep(Canvas &c)
{
    for (int k = 0; k < 8; ++k) {
        const bool on = k >= 4;
        const bool pressed = (k / 2) % 2 == 1;
        toggle(c, rect_of(ELEM_SHUFREP + k), k % 2 ? "SHUFFLE" : "REP", on, pressed);
        toggle(c, rect_of(ELEM_EQPL_TOGGLE + k), k % 2 ? "PL" : "EQ", on, pressed);
    }
}

// ---- EQMAIN.BMP

// One slider image, 14 x 63: a groove filled from the bottom to the level.
void eq_bar(Canvas &c, Rect r, int frame)
{
    c.limit(r);
    c.fill(r, FACE);
    for (int y = 0; y < r.h; y += 2) {
        c.hline(r.x, r.y + y, 3, y == 31 - 1 || y == 30 ? LIGHT : SHADOW);
        c.hline(r.x + r.w - 3, r.y + y, 3, y == 30 ? LIGHT : SHADOW);
    }
    Rect g{r.x + 5, r.y, 4, r.h};
    c.fill(g, DARK);
    c.vline(g.x, g.y, g.h, BLACK);
    if (frame >= 0) {
        int filled = (r.h - 2) * frame / 27 + 1;
        for (int j = 0; j < filled; ++j) {
            int y = r.y + r.h - 1 - j;
            c.hline(g.x + 1, y, 3, mix(EMBER, ORANGE, double(j) / (r.h - 1)));
        }
    }
    c.unlimit();
}

void eq_thumb(Canvas &c, Rect r, bool pressed)
{
    c.limit(r);
    c.fill(r, pressed ? EMBER : FACE);
    c.edges(r, pressed ? ORANGE : LIGHT, BLACK);
    c.hline(r.x + 2, r.y + 5, r.w - 4, pressed ? INK : ORANGE);
    c.hline(r.x + 2, r.y + 3, r.w - 4, pressed ? ORANGE : SHADOW);
    c.hline(r.x + 2, r.y + 7, r.w - 4, pressed ? ORANGE : SHADOW);
    c.unlimit();
}

void eq_title(Canvas &c, Rect r, bool active)
{
    title_bar(c, r, "RAVLOX EQUALIZER", active);
    title_button(c, {r.x + 254, r.y + 3, 9, 9}, TB_SHADE, false);
    title_button(c, {r.x + 264, r.y + 3, 9, 9}, TB_CLOSE, false);
}

void draw_eqmain(Canvas &c)
{
    c.fill(0, 0, c.w, c.h, FACE);
    eq_title(c, rect_of(ELEM_EQ_TOP), true);
    Rect body = rect_of(ELEM_EQ_BODY);
    c.limit(body);
    c.vline(0, body.y, body.h, BLACK);
    c.vline(274, body.y, body.h, BLACK);
    c.hline(0, body.y + body.h - 1, 275, BLACK);
    c.vline(1, body.y, body.h - 1, LIGHT);
    c.vline(273, body.y, body.h - 1, SHADOW);
    c.hline(1, body.y + body.h - 2, 273, SHADOW);
    // Graph well, button places, level labels.
    Rect graph = rect_of(ELEM_EQ_GRAPH_AREA);
    well(c, {graph.x - 1, graph.y - 1, graph.w + 2, graph.h + 2});
    for (int k = 0; k < 3; ++k) {
        Rect b = rect_of(ELEM_EQ_BUTTON_AREA + k);
        button(c, b, false);
    }
    text_centred(c, rect_of(ELEM_EQ_BUTTON_AREA + 2), "PRESETS", INK);
    Rect top = rect_of(ELEM_EQ_LEVEL_TOP), mid = rect_of(ELEM_EQ_LEVEL_MIDDLE), bot = rect_of(ELEM_EQ_LEVEL_BOTTOM);
    c.label(top.x + 1, 41, "+20DB", LIGHT);
    c.label(mid.x + 6, 67, "0DB", LIGHT);
    c.label(bot.x + 1, 93, "-20DB", LIGHT);
    // Tracks and their labels.
    const char *bands[11] = {"PRE", "60", "170", "310", "600", "1K", "3K", "6K", "12K", "14K", "16K"};
    for (int k = 0; k < 11; ++k) {
        Rect t = rect_of(ELEM_EQ_TRACK + k);
        eq_bar(c, t, -1);
        text_centred(c, {t.x - 4, 104, t.w + 8, 5}, bands[k], LIGHT, 0, 0);
    }
    // A rule between the preamp and the bands.
    c.vline(72, 40, 60, SHADOW);
    c.vline(73, 40, 60, LIGHT);
    c.unlimit();

    title_button(c, rect_of(ELEM_EQ_CLOSE), TB_CLOSE, false);
    title_button(c, rect_of(ELEM_EQ_CLOSE_PRESSED), TB_CLOSE, true);
    for (int k = 0; k < 8; ++k) {
        // ON off, AUTO off, ON on, AUTO on, then the same pressed.
        toggle(c, rect_of(ELEM_EQ_ONAUTO + k), k % 2 ? "AUTO" : "ON", (k / 2) % 2 == 1, k >= 4);
    }
    eq_title(c, rect_of(ELEM_EQ_TITLE_ACTIVE), true);
    eq_title(c, rect_of(ELEM_EQ_TITLE_INACTIVE), false);
    eq_thumb(c, rect_of(ELEM_EQ_THUMB), false);
    eq_thumb(c, rect_of(ELEM_EQ_THUMB_PRESSED), true);
    for (int k = 0; k < 14; ++k) {
        eq_bar(c, rect_of(ELEM_EQ_BAR_LOW + k), k);
        eq_bar(c, rect_of(ELEM_EQ_BAR_HIGH + k), 14 + k);
    }
    for (int pressed = 0; pressed < 2; ++pressed) {
        Rect r = rect_of(pressed ? ELEM_EQ_PRESETS_PRESSED : ELEM_EQ_PRESETS);
        c.limit(r);
        button(c, r, pressed);
        text_centred(c, r, "PRESETS", pressed ? ORANGE : INK, pressed, pressed);
        c.unlimit();
    }
    // Graph background: a dark field with a zero line and band ticks.
    Rect g = rect_of(ELEM_EQ_GRAPH);
    c.limit(g);
    c.fill(g, DARK);
    for (int x = g.x; x < g.x + g.w; x += 2) c.set(x, g.y + 9, SHADOW);
    for (int k = 0; k < 10; ++k) c.vline(g.x + 1 + k * 12, g.y + 1, g.h - 2, mix(DARK, SHADOW, 0.6));
    c.unlimit();
    // Curve colours, top (boost) to bottom (cut).
    Rect col = rect_of(ELEM_EQ_GRAPH_COLOURS);
    c.limit(col);
    for (int j = 0; j < col.h; ++j) {
        double t = double(j) / (col.h - 1);
        Rgb v = t < 0.5 ? mix(ORANGE, INK, t * 2) : mix(INK, LIGHT, (t - 0.5) * 2);
        c.set(col.x, col.y + j, v);
    }
    c.unlimit();
    Rect pre = rect_of(ELEM_EQ_PREAMP_LINE);
    c.limit(pre);
    for (int x = 0; x < pre.w; ++x) c.set(pre.x + x, pre.y, x % 3 == 2 ? DARK : EMBER);
    c.unlimit();
}

// ---- EQ_EX.BMP (compact equalizer: never drawn but a button's pressed look)

void draw_eq_ex(Canvas &c)
{
    c.fill(0, 0, c.w, c.h, FACE);
    for (int id : {int(ELEM_EQEX_TITLE_A), int(ELEM_EQEX_TITLE_B)}) {
        Rect r = rect_of(id);
        title_bar(c, r, "EQ", id == ELEM_EQEX_TITLE_A);
    }
    for (int id : {int(ELEM_EQEX_SLIDER_A), int(ELEM_EQEX_SLIDER_A) + 1, int(ELEM_EQEX_SLIDER_B),
                   int(ELEM_EQEX_SLIDER_B) + 1}) {
        Rect r = rect_of(id);
        c.limit(r);
        c.fill(r, DARK);
        c.hline(r.x + 1, r.y + 3, r.w - 2, EMBER);
        c.unlimit();
    }
    for (int k = 0; k < 6; ++k) {
        Rect r = rect_of(ELEM_EQEX_THUMB + k);
        c.limit(r);
        c.fill(r, k < 3 ? LIGHT : ORANGE);
        c.unlimit();
    }
    title_button(c, rect_of(ELEM_EQEX_BUTTON_A), TB_SHADE, false);
    title_button(c, rect_of(ELEM_EQEX_BUTTON_A + 1), TB_CLOSE, false);
    title_button(c, rect_of(ELEM_EQEX_BUTTON_B), TB_SHADE, true);
    title_button(c, rect_of(ELEM_EQEX_BUTTON_C), TB_CLOSE, true);
}

// ---- PLEDIT.BMP

// The frame's horizontal bands, shared by every title piece so they tile.
void pl_title_piece(Canvas &c, Rect r, bool active, int left_edge, int right_edge)
{
    c.limit(r);
    Rgb face = active ? FACE : mix(FACE, SHADOW, 0.5);
    c.fill(r, face);
    c.hline(r.x, r.y, r.w, BLACK);
    c.hline(r.x, r.y + 1, r.w, active ? LIGHT : FACE);
    for (int j = 0; j < 3; ++j) {
        c.hline(r.x, r.y + 6 + 2 * j, r.w, active ? DARK : SHADOW);
        c.hline(r.x, r.y + 7 + 2 * j, r.w, active ? LIGHT : FACE);
    }
    // The bottom rows join the list area's frame.
    c.hline(r.x, r.y + 18, r.w, SHADOW);
    c.hline(r.x, r.y + 19, r.w, BLACK);
    if (left_edge) {
        c.vline(r.x, r.y, r.h, BLACK);
        c.vline(r.x + 1, r.y + 1, r.h - 1, LIGHT);
        c.fill(r.x + 2, r.y + 2, 10, 16, face);
        c.vline(r.x + 10, r.y + 18, 2, SHADOW);
        c.vline(r.x + 11, r.y + 19, 1, BLACK);
        c.fill(r.x + 2, r.y + 18, 8, 1, face);
        c.fill(r.x + 2, r.y + 19, 8, 1, face);
    }
    if (right_edge) {
        int x = r.x + r.w;
        c.vline(x - 1, r.y, r.h, BLACK);
        c.vline(x - 2, r.y + 1, r.h - 1, SHADOW);
        c.fill(x - 20 + 1, r.y + 2, 17, 16, face);
        // Below the bands: the tops of the right-side pieces.
        c.fill(x - 19, r.y + 18, 17, 2, face);
        c.vline(x - 20, r.y + 18, 2, BLACK);
        c.fill(x - 15, r.y + 19, 8, 1, SHADOW);
    }
    c.unlimit();
}

void pl_title(Canvas &c, int y, bool active)
{
    pl_title_piece(c, {0, y, 25, 20}, active, 1, 0);
    pl_title_piece(c, {127, y, 25, 20}, active, 0, 0);
    pl_title_piece(c, {153, y, 25, 20}, active, 0, 1);
    Rect t{26, y, 100, 20};
    pl_title_piece(c, t, active, 0, 0);
    c.limit(t);
    Rgb face = active ? FACE : mix(FACE, SHADOW, 0.5);
    const char *caption = "RAVLOX PLAYLIST";
    int tw = text_width(caption);
    int tx = t.x + (t.w - tw) / 2;
    c.fill(tx - 3, y + 4, tw + 6, 11, face);
    if (active) c.hline(tx - 2, y + 4, tw + 4, ORANGE);
    c.label(tx, y + 7, caption, active ? INK : LIGHT);
    c.unlimit();
    // The close button, as the window shows it.
    title_button(c, {153 + 14, y + 3, 9, 9}, TB_CLOSE, false);
}

void pl_side_left(Canvas &c, Rect r)
{
    c.limit(r);
    c.fill(r, FACE);
    c.vline(r.x, r.y, r.h, BLACK);
    c.vline(r.x + 1, r.y, r.h, LIGHT);
    c.vline(r.x + 10, r.y, r.h, SHADOW);
    c.vline(r.x + 11, r.y, r.h, BLACK);
    c.unlimit();
}

void pl_side_right(Canvas &c, Rect inner, Rect groove, Rect edge)
{
    c.limit(inner);
    c.fill(inner, FACE);
    c.vline(inner.x, inner.y, inner.h, BLACK);
    c.unlimit();
    c.limit(groove);
    c.fill(groove, DARK);
    c.vline(groove.x, groove.y, groove.h, SHADOW);
    c.vline(groove.x + groove.w - 1, groove.y, groove.h, LIGHT);
    c.unlimit();
    c.limit(edge);
    c.fill(edge, FACE);
    c.vline(edge.x + edge.w - 2, edge.y, edge.h, SHADOW);
    c.vline(edge.x + edge.w - 1, edge.y, edge.h, BLACK);
    c.unlimit();
}

// The bottom bar's plain band, which tiles horizontally.
void pl_bottom_band(Canvas &c, Rect r)
{
    c.limit(r);
    c.fill(r, FACE);
    c.hline(r.x, r.y, r.w, BLACK);
    c.hline(r.x, r.y + 1, r.w, LIGHT);
    c.hline(r.x, r.y + r.h - 2, r.w, SHADOW);
    c.hline(r.x, r.y + r.h - 1, r.w, BLACK);
    c.unlimit();
}

void pl_button(Canvas &c, Rect r, const char *label, bool pressed)
{
    c.limit(r);
    button(c, r, pressed);
    text_centred(c, r, label, pressed ? ORANGE : INK, pressed, pressed);
    c.unlimit();
}

void draw_pledit(Canvas &c)
{
    c.fill(0, 0, c.w, c.h, FACE);
    pl_title(c, rect_of(ELEM_PL_TITLE_A).y, false);
    pl_title(c, rect_of(ELEM_PL_TITLE).y, true);

    // Bottom filler tile and extension block.
    pl_bottom_band(c, rect_of(ELEM_PL_BOTTOM_FILL));
    Rect extra = rect_of(ELEM_PL_BOTTOM_EXTRA);
    pl_bottom_band(c, extra);
    c.limit(extra);
    // The name, engraved.
    text_centred(c, {extra.x, extra.y + 12, extra.w, 9}, "RAVLOX", LIGHT, 1, 1);
    text_centred(c, {extra.x, extra.y + 12, extra.w, 9}, "RAVLOX", SHADOW);
    c.unlimit();

    pl_side_left(c, rect_of(ELEM_PL_SIDE_LEFT));
    pl_side_right(c, rect_of(ELEM_PL_SIDE_RIGHT), rect_of(ELEM_PL_SIDE_RIGHT + 1), rect_of(ELEM_PL_SIDE_RIGHT + 2));
    title_button(c, rect_of(ELEM_PL_CLOSE_PRESSED), TB_CLOSE, true);
    title_button(c, rect_of(ELEM_PL_BUTTON_PRESSED), TB_SHADE, true);
    title_button(c, rect_of(ELEM_PL_BUTTON_B), TB_SHADE, false);
    for (int id : {int(ELEM_PL_STRIP_A), int(ELEM_PL_STRIP_A) + 1, int(ELEM_PL_STRIP_B), int(ELEM_PL_STRIP_B) + 1}) {
        Rect r = rect_of(id);
        c.limit(r);
        c.fill(r, id < ELEM_PL_STRIP_B ? FACE : mix(FACE, SHADOW, 0.5));
        c.hline(r.x, r.y, r.w, LIGHT);
        c.hline(r.x, r.y + r.h - 1, r.w, SHADOW);
        c.unlimit();
    }
    for (int pressed = 0; pressed < 2; ++pressed) {
        Rect t = rect_of(pressed ? ELEM_PL_SCROLL_THUMB_PRESSED : ELEM_PL_SCROLL_THUMB);
        c.limit(t);
        c.fill(t, pressed ? EMBER : FACE);
        c.edges(t, pressed ? ORANGE : LIGHT, BLACK);
        for (int k = 0; k < 3; ++k) c.hline(t.x + 2, t.y + 6 + 2 * k, 4, pressed ? INK : ORANGE);
        c.unlimit();
    }

    // Bottom-left block with the four menu buttons.
    Rect bl = rect_of(ELEM_PL_BOTTOM_LEFT);
    pl_bottom_band(c, bl);
    c.limit(bl);
    c.vline(bl.x, bl.y, bl.h, BLACK);
    c.vline(bl.x + 1, bl.y + 1, bl.h - 2, LIGHT);
    c.vline(bl.x + 10, bl.y, 1, SHADOW);
    c.vline(bl.x + 11, bl.y, 1, BLACK);
    c.unlimit();
    const char *menus[5] = {"ADD", "REM", "SEL", "MISC", "LIST"};
    for (int k = 0; k < 5; ++k) {
        if (k == 4) continue;
        pl_button(c, rect_of(ELEM_PL_MENU_BUTTON + k), menus[k], false);
    }

    // Bottom-right block: info wells, the list button, the small transport
    // buttons, the scroll arrows and the resize grip.
    Rect br = rect_of(ELEM_PL_BOTTOM_RIGHT);
    pl_bottom_band(c, br);
    c.limit(br);
    c.vline(br.x + br.w - 1, br.y, br.h, BLACK);
    c.vline(br.x + br.w - 2, br.y + 1, br.h - 2, SHADOW);
    // The right-side pieces end above the band.
    c.vline(br.x + br.w - 20, br.y, 1, BLACK);
    c.fill(br.x + br.w - 15, br.y, 8, 1, SHADOW);
    c.unlimit();
    pl_button(c, rect_of(ELEM_PL_MENU_BUTTON + 4), menus[4], false);
    well(c, rect_of(ELEM_PL_STRIP_C));
    well(c, rect_of(ELEM_PL_STRIP_D));
    well(c, rect_of(ELEM_PL_STRIP_D + 1));
    for (int k = 0; k < 6; ++k) {
        Rect r = rect_of(ELEM_PL_MINI_BUTTON + k);
        c.limit(r);
        c.fill(r, SHADOW);
        int cx = r.x + r.w / 2, cy = r.y + 3;
        switch (k) {
        case 0: c.pattern(cx - 2, cy - 1, {"#...#", "#..##", "#.###", "#..##", "#...#"}, INK); break;
        case 1: c.pattern(cx - 1, cy - 1, {"#..", "##.", "###", "##.", "#.."}, ORANGE); break;
        case 2: c.pattern(cx - 2, cy - 1, {"##.##", "##.##", "##.##", "##.##", "##.##"}, INK); break;
        case 3: c.fill(cx - 2, cy - 1, 5, 5, INK); break;
        case 4: c.pattern(cx - 2, cy - 1, {"#...#", "##..#", "###.#", "##..#", "#...#"}, INK); break;
        case 5: c.pattern(cx - 2, cy - 1, {"..#..", ".###.", "#####", "", "#####"}, INK); break;
        }
        c.unlimit();
    }
    for (int k = 0; k < 2; ++k) {
        Rect r = rect_of(ELEM_PL_SMALL_BUTTON + k);
        c.limit(r);
        c.fill(r, FACE);
        c.pattern(r.x + 2, r.y + 1, k == 0 ? std::initializer_list<const char *>{"..#..", ".###.", "#####"}
                                           : std::initializer_list<const char *>{"#####", ".###.", "..#.."},
                  INK);
        c.unlimit();
    }
    Rect grip = rect_of(ELEM_PL_RESIZE);
    c.limit(grip);
    for (int k = 0; k < 4; ++k) {
        for (int j = 0; j <= 3 * k + 2; ++j) {
            c.set(grip.x + grip.w - 4 - j, grip.y + grip.h - 5 - (3 * k + 2) + j, LIGHT);
            c.set(grip.x + grip.w - 3 - j, grip.y + grip.h - 5 - (3 * k + 2) + j, SHADOW);
        }
    }
    c.unlimit();

    // Pop-up menus: items (normal, pressed) and side bars.
    struct Item {
        int id;
        const char *label;
    };
    const Item items[] = {
        {231, "URL"}, {246, "DIR"}, {256, "FILE"},                // add
        {266, "MISC"}, {234, "ALL"}, {248, "SEL"}, {258, "CROP"}, // remove
        {237, "INV"}, {250, "NONE"}, {260, "ALL"},                // select
        {240, "SORT"}, {252, "INFO"}, {262, "OPTS"},              // misc
        {243, "NEW"}, {254, "SAVE"}, {264, "LOAD"},               // list
    };
    for (const Item &it : items) {
        for (int pressed = 0; pressed < 2; ++pressed) {
            Rect r = rect_of(it.id + pressed);
            c.limit(r);
            c.fill(r, pressed ? EMBER : SHADOW);
            c.edges(r, pressed ? ORANGE : LIGHT, BLACK);
            text_centred(c, r, it.label, INK);
            c.unlimit();
        }
    }
    for (int id : {233, 236, 239, 242, 245}) {
        Rect r = rect_of(id);
        c.limit(r);
        c.fill(r, DARK);
        c.vline(r.x + 1, r.y, r.h, ORANGE);
        c.unlimit();
    }
}

bool write_text(const std::string &path, const std::string &text)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    fwrite(text.data(), 1, text.size(), f);
    return fclose(f) == 0;
}

std::string pledit_txt()
{
    return "[Text]\r\nNormal=#70777a\r\nCurrent=#e0e7ea\r\nNormalBG=#20272a\r\nSelectedBG=#50575a\r\n"
           "Font=Arial\r\n";
}

std::string viscolor_txt()
{
    std::string out;
    for (int i = 0; i < 24; ++i) {
        int r = 224, g = 231, b = 234;
        const char *name = "";
        if (i == 0 || i == 16) r = 32, g = 39, b = 42;
        if (i == 1 || i == 17) r = 80, g = 87, b = 90;
        if (i == 2 || i == 19) r = 112, g = 119, b = 122;
        if (i >= 3 && i <= 15) r = 112 - 2 * (i - 2), g = 119 - 2 * (i - 2), b = 122 - 2 * (i - 2);
        switch (i) {
        case 0: name = "black"; break;
        case 1: name = "grey"; break;
        case 2: name = "top of spec"; break;
        case 17: name = "bottom of spec"; break;
        case 18: name = "osc 1"; break;
        case 19: name = "osc 2 (slightly dimmer)"; break;
        case 20: name = "osc 3"; break;
        case 21: name = "osc 4"; break;
        case 22: name = "osc 5"; break;
        case 23: name = "peak dots"; break;
        }
        char line[128];
        snprintf(line, sizeof line, "%d,%d,%d%s\t// color %d = %s\r\n", r, g, b, i == 18 ? "" : ",", i, name);
        out += line;
    }
    return out;
}

bool licence_txt(std::string *out)
{
    FILE *f = fopen("/usr/share/common-licenses/CC0-1.0", "rb");
    if (!f) return false;
    std::string legal;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) legal.append(chunk, n);
    fclose(f);
    *out = "The ravlox default theme, by the ravlox developers, is dedicated to the public domain.\r\n\r\n--\r\n\r\n\r\n";
    for (char ch : legal) {
        if (ch == '\r') continue;
        if (ch == '\n') *out += '\r';
        *out += ch;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
#ifdef RAVLOX_DEFAULT_THEME_DIR
    std::string dir = argc > 1 ? argv[1] : RAVLOX_DEFAULT_THEME_DIR;
#else
    std::string dir = argc > 1 ? argv[1] : "theme/default";
#endif
    struct Sheet {
        int bitmap;
        void (*draw)(Canvas &);
    };
    const Sheet sheets[] = {
        {BITMAP_BALANCE, draw_balance}, {BITMAP_CBUTTONS, draw_cbuttons}, {BITMAP_EQ_EX, draw_eq_ex},
        {BITMAP_EQMAIN, draw_eqmain},   {BITMAP_MAIN, draw_main},         {BITMAP_MONOSTER, draw_monoster},
        {BITMAP_NUMBERS, draw_numbers}, {BITMAP_PLAYPAUS, draw_playpaus}, {BITMAP_PLEDIT, draw_pledit},
        {BITMAP_POSBAR, draw_posbar},   {BITMAP_SHUFREP, draw_shufrep},   {BITMAP_TEXT, draw_text},
        {BITMAP_TITLEBAR, draw_titlebar}, {BITMAP_VOLUME, draw_volume},
    };
    int failures = 0;
    for (const Sheet &s : sheets) {
        Canvas c(s.bitmap);
        s.draw(c);
        std::string path = dir + "/" + THEME_BITMAPS[s.bitmap].name;
        if (!c.save(path)) {
            fprintf(stderr, "cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    std::string licence;
    if (!licence_txt(&licence)) {
        fprintf(stderr, "cannot read /usr/share/common-licenses/CC0-1.0\n");
        ++failures;
    } else if (!write_text(dir + "/cc-0-10.txt", licence)) {
        ++failures;
    }
    if (!write_text(dir + "/PLEDIT.TXT", pledit_txt())) ++failures;
    if (!write_text(dir + "/VISCOLOR.TXT", viscolor_txt())) ++failures;
    if (failures) return 1;
    printf("default theme written to %s\n", dir.c_str());
    return 0;
}
