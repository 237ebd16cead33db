// Writes a template theme: every element's rectangle in a flat colour of its own on black, and
// sample text files.
#include "theme/template.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "theme/catalogue.h"

namespace {

constexpr int PATH_SIZE = 4096;

// 0xAARRGGBB; element e is painted with entry e mod 80.
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

constexpr std::array<const char *, 24> VISCOLOR_NAMES = {
    "black", "grey", "top of spec", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    "bottom of spec", "osc 1", "osc 2 (slightly dimmer)", "osc 3", "osc 4", "osc 5", "peak dots",
};

constexpr size_t largest_bitmap_pixels() {
    size_t n = 0;
    for (const tThemeBitmap &b : THEME_BITMAPS)
        n = std::max(n, static_cast<size_t>(b.width) * static_cast<size_t>(b.height));
    return n;
}
static_assert(largest_bitmap_pixels() * 4 == 346500);

FILE *create_text_file(const char *directory, const char *name) {
    char path[PATH_SIZE];
    const int n = snprintf(path, sizeof path, "%s/%s", directory, name);
    FILE *f = (n < 0 || n >= PATH_SIZE) ? nullptr : fopen(path, "wb");
    if (f == nullptr) printf("unable to open [%s] for writing.\n", path);
    return f;
}

// Writes an RGBA buffer as an uncompressed 24-bit bottom-up BMP. Written here rather than with the
// image library's saver, which leaves row padding uninitialised, so that two writes give
// identical files.
void save_bmp24(const char *path, const uint8_t *rgba, int w, int h) {
    const size_t row = (static_cast<size_t>(w) * 3 + 3) / 4 * 4;
    const size_t image_size = row * static_cast<size_t>(h);
    std::vector<uint8_t> out(54 + image_size, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>((v >> (8 * i)) & 255);
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    out[26] = 1;
    out[28] = 24;
    put32(34, static_cast<uint32_t>(image_size));
    for (int y = 0; y < h; ++y) {
        const uint8_t *s = rgba + static_cast<size_t>(y) * w * 4;
        uint8_t *d = out.data() + 54 + static_cast<size_t>(h - 1 - y) * row;
        for (int x = 0; x < w; ++x, s += 4, d += 3) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    }
    FILE *f = fopen(path, "wb");
    if (f == nullptr) return;
    fwrite(out.data(), 1, out.size(), f);
    fclose(f);
}

}  // namespace

int32_t theme_write_template(const char *directory) {
    struct stat st;
    if (stat(directory, &st) != 0) mkdir(directory, 0755);

    FILE *f = create_text_file(directory, "PLEDIT.TXT");
    if (f == nullptr) return -1;
    fputs("[Text]\r\n", f);
    fprintf(f, "%s=#%06X\r\n", "Normal", PALETTE[0] & 0xFFFFFFu);
    fprintf(f, "%s=#%06X\r\n", "Current", PALETTE[1] & 0xFFFFFFu);
    fprintf(f, "%s=#%06X\r\n", "NormalBG", PALETTE[2] & 0xFFFFFFu);
    fprintf(f, "%s=#%06X\r\n", "SelectedBG", PALETTE[3] & 0xFFFFFFu);
    fputs("Font=Arial\r\n", f);
    fclose(f);

    f = create_text_file(directory, "VISCOLOR.TXT");
    if (f == nullptr) return -1;
    for (int i = 0; i < 24; ++i) {
        const uint32_t p = PALETTE[i];
        fprintf(f, "%d,%d,%d, // color %d = %s\r\n", static_cast<int>((p >> 16) & 255),
                static_cast<int>((p >> 8) & 255), static_cast<int>(p & 255), i, VISCOLOR_NAMES[i]);
    }
    fclose(f);

    std::vector<uint8_t> pixels(largest_bitmap_pixels() * 4);
    for (const tThemeBitmap &b : THEME_BITMAPS) {
        const int w = b.width, h = b.height;
        const size_t stride = static_cast<size_t>(w) * 4;
        for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
            pixels[i * 4 + 0] = 0;
            pixels[i * 4 + 1] = 0;
            pixels[i * 4 + 2] = 0;
            pixels[i * 4 + 3] = 255;
        }
        int count = 0;
        for (const tThemeElement &e : THEME_ELEMENTS) {
            if (e.bitmap != b.index) continue;
            ++count;
            // Bits 0-7 are red, 8-15 green, 16-23 blue, 24-31 alpha.
            const uint32_t p = PALETTE[static_cast<size_t>(e.id) % PALETTE.size()];
            const uint8_t px[4] = {static_cast<uint8_t>(p & 255), static_cast<uint8_t>((p >> 8) & 255),
                                  static_cast<uint8_t>((p >> 16) & 255),
                                  static_cast<uint8_t>((p >> 24) & 255)};
            for (int y = std::max(e.source_y, 0); y < std::min(e.source_y + e.height, h); ++y)
                for (int x = std::max(e.source_x, 0); x < std::min(e.source_x + e.width, w); ++x)
                    memcpy(&pixels[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 4], px,
                           4);
        }
        char path[PATH_SIZE];
        const int n = snprintf(path, sizeof path, "%s/%s", directory, b.name);
        if (n > 0 && n < PATH_SIZE) save_bmp24(path, pixels.data(), w, h);
        printf("%12s> %3d elements\n", b.name, count);
    }
    return 0;
}
