// Helpers for the theme tests: a temporary data directory, a theme record, and
// sheets drawn by the tests themselves.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/handle.h"
#include "support/harness.h"
#include "theme/catalogue.h"
#include "theme/theme.h"

using Rgba = std::array<uint8_t, 4>;
using PixelFn = std::function<Rgb(int x, int y)>;

// Pixel (x, y) of sheet `index` in the test themes; `variant` tells two themes apart.
inline Rgb sheet_colour(int index, int x, int y, int variant = 0) {
    return Rgb{static_cast<uint8_t>(index * 16 + variant), static_cast<uint8_t>(x & 255),
               static_cast<uint8_t>(y & 255)};
}

// An uncompressed 24-bit bottom-up BMP with a 54-byte header.
inline std::string bmp24(int w, int h, const PixelFn &pixel) {
    const int row = (w * 3 + 3) / 4 * 4;
    std::string out(54 + static_cast<size_t>(row) * h, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 255);
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
    put32(34, static_cast<uint32_t>(row) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb c = pixel(x, y);
            const size_t at = 54 + static_cast<size_t>(h - 1 - y) * row + static_cast<size_t>(x) * 3;
            out[at] = static_cast<char>(c.b);
            out[at + 1] = static_cast<char>(c.g);
            out[at + 2] = static_cast<char>(c.r);
        }
    return out;
}

inline bool write_sheet(const std::string &path, int index, int variant = 0, int w = -1,
                        int h = -1) {
    if (w < 0) w = THEME_BITMAPS[index].width;
    if (h < 0) h = THEME_BITMAPS[index].height;
    return write_file(path, bmp24(w, h, [&](int x, int y) {
                          return sheet_colour(index, x, y, variant);
                      }));
}

// All 16 sheets (AVS.BMP and MB.BMP included) and both text files, so that loading it needs
// nothing from the default theme.
inline void write_full_theme(const std::string &dir, int variant = 0) {
    mkdir(dir.c_str(), 0755);
    for (int i = 0; i < THEME_BITMAP_COUNT; ++i)
        ASSERT_TRUE(write_sheet(dir + "/" + THEME_BITMAPS[i].name, i, variant));
    std::string vis;
    for (int i = 0; i < 24; ++i)
        vis += std::to_string(i + variant) + "," + std::to_string(2 * i) + "," +
               std::to_string(3 * i) + ",\t// colour\r\n";
    ASSERT_TRUE(write_file(dir + "/VISCOLOR.TXT", vis));
    ASSERT_TRUE(write_file(dir + "/PLEDIT.TXT", "[Text]\r\nNormal=#0102" + std::to_string(10 + variant) +
                                                   "\r\nFont=Test Sans " +
                                                   std::to_string(variant) + "\r\n"));
}

inline Rgba pixel_at(const GdkPixbuf *p, int x, int y) {
    const int n = gdk_pixbuf_get_n_channels(p);
    const guint8 *d = gdk_pixbuf_read_pixels(p) + static_cast<size_t>(y) * gdk_pixbuf_get_rowstride(p) +
                      static_cast<size_t>(x) * n;
    return Rgba{d[0], d[1], d[2], n == 4 ? d[3] : static_cast<uint8_t>(255)};
}

inline void set_pixel(GdkPixbuf *p, int x, int y, Rgba c) {
    const int n = gdk_pixbuf_get_n_channels(p);
    guint8 *d = gdk_pixbuf_get_pixels(p) + static_cast<size_t>(y) * gdk_pixbuf_get_rowstride(p) +
                static_cast<size_t>(x) * n;
    for (int i = 0; i < n; ++i) d[i] = c[i];
}

inline Rgba opaque(Rgb c) { return Rgba{c.r, c.g, c.b, 255}; }

inline GdkPixbuf *new_image(int w, int h, Rgba fill = {9, 8, 7, 255}) {
    GdkPixbuf *p = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, w, h);
    gdk_pixbuf_fill(p, (static_cast<guint32>(fill[0]) << 24) | (static_cast<guint32>(fill[1]) << 16) |
                           (static_cast<guint32>(fill[2]) << 8) | fill[3]);
    return p;
}

// True when the two images hold the same pixels.
inline bool same_pixels(const GdkPixbuf *a, const GdkPixbuf *b) {
    if (gdk_pixbuf_get_width(a) != gdk_pixbuf_get_width(b) ||
        gdk_pixbuf_get_height(a) != gdk_pixbuf_get_height(b))
        return false;
    for (int y = 0; y < gdk_pixbuf_get_height(a); ++y)
        for (int x = 0; x < gdk_pixbuf_get_width(a); ++x)
            if (pixel_at(a, x, y) != pixel_at(b, x, y)) return false;
    return true;
}

// A fresh temporary data directory holding an empty theme folder, and an initialised theme
// record.
struct ThemeEnv {
    TempDir tmp{"ravlox-theme"};
    tHandleTheme *theme = nullptr;
    std::string data;
    std::string folder;

    ThemeEnv() {
        theme = static_cast<tHandleTheme *>(calloc(1, sizeof(tHandleTheme)));
        data = tmp / "data";
        folder = data + "/theme";
        mkdir(data.c_str(), 0700);
        mkdir(folder.c_str(), 0700);
        EXPECT_EQ(theme_init(theme), 0);
    }
    ~ThemeEnv() {
        for (GdkPixbuf *b : theme->bitmaps)
            if (b != nullptr) g_object_unref(b);
        free(theme);
    }
    ThemeEnv(const ThemeEnv &) = delete;
    ThemeEnv &operator=(const ThemeEnv &) = delete;

    std::string in_folder(const std::string &name) const { return folder + "/" + name; }
    GdkPixbuf *bitmap(int index) const { return theme->bitmaps[index]; }
    int present_count() const {
        int n = 0;
        for (uint8_t p : theme->present) n += p;
        return n;
    }
};

inline int run_tool(const std::vector<std::string> &argv) {
    const ProgramResult r = run_command(argv);
    if (!r.exited_with(0)) ADD_FAILURE() << argv[0] << " failed: " << r;
    return r.exit_code;
}

// Little-endian fields of a BMP information header.
inline uint32_t bmp_field(const std::string &bytes, size_t at, int size) {
    uint32_t v = 0;
    for (int i = 0; i < size && at + i < bytes.size(); ++i)
        v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return v;
}

using Entries = std::vector<std::pair<std::string, std::string>>;

// An archive written with libzip, names exactly as given; entries deflated, or stored so that a
// test can rewrite their headers.
inline bool make_zip(const std::string &path, const Entries &entries, bool stored = false) {
    int error = 0;
    zip_t *za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (za == nullptr) return false;
    for (const auto &[name, data] : entries) {
        zip_source_t *src = zip_source_buffer(za, data.data(), data.size(), 0);
        const zip_int64_t i = src == nullptr ? -1 : zip_file_add(za, name.c_str(), src, ZIP_FL_ENC_RAW);
        if (i < 0) zip_source_free(src);
        if (i < 0 ||
            (stored && zip_set_file_compression(za, static_cast<zip_uint64_t>(i), ZIP_CM_STORE, 0) != 0)) {
            zip_discard(za);
            return false;
        }
    }
    return zip_close(za) == 0;
}

// Every file of a directory by name, with its contents.
inline std::map<std::string, std::string> snapshot(const std::string &dir) {
    std::map<std::string, std::string> files;
    for (const std::string &name : list_dir(dir)) files[name] = read_file(dir + "/" + name);
    return files;
}
