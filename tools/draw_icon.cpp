// Draws the program's icon: the scalable SVG and PNGs for the hicolor theme, from one set
// of shapes, so every size shows the same picture.
// Run by the build: draw_icon OUTPUT_DIRECTORY (receives hicolor/SIZExSIZE/apps/... and
// hicolor/scalable/apps/...).
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib/gstdio.h>

namespace {

constexpr const char *NAME = "org.ravlox.Ravlox";
constexpr int SIZES[] = {16, 22, 24, 32, 48, 64, 128, 256};
constexpr int SAMPLES = 8; // per pixel and axis

struct Rgba {
    double r, g, b, a;
};

// The default theme's colours: its face, frame and ember orange, its light ink.
constexpr Rgba FACE{58 / 255.0, 65 / 255.0, 68 / 255.0, 1};
constexpr Rgba FRAME{112 / 255.0, 119 / 255.0, 122 / 255.0, 1};
constexpr Rgba ORANGE{224 / 255.0, 80 / 255.0, 16 / 255.0, 1};
constexpr Rgba INK{236 / 255.0, 240 / 255.0, 242 / 255.0, 1};
constexpr Rgba BAR{164 / 255.0, 56 / 255.0, 9 / 255.0, 1};

// Everything in units of the icon's side, 0 to 1.
constexpr double MARGIN = 1.0 / 32;
constexpr double RADIUS = 6.0 / 32;
constexpr double BORDER = 1.0 / 32;
constexpr double DISC_X = 0.5, DISC_Y = 0.44, DISC_R = 0.27;
constexpr double TRIANGLE[3][2] = {{0.42, 0.31}, {0.42, 0.57}, {0.64, 0.44}};
// Five level bars along the bottom, as a visualizer shows them.
constexpr double BARS_Y = 0.86;
constexpr double BAR_W = 0.09;
constexpr double BAR_HEIGHTS[5] = {0.08, 0.14, 0.11, 0.16, 0.07};
constexpr double BARS_X0 = 0.5 - 2.5 * BAR_W - 2 * 0.035;
constexpr double BAR_GAP = 0.035;

bool in_rounded(double x, double y, double inset) {
    const double lo = MARGIN + inset, hi = 1 - MARGIN - inset, r = RADIUS - inset;
    if (x < lo || x > hi || y < lo || y > hi)
        return false;
    const double cx = std::fmax(lo + r, std::fmin(hi - r, x));
    const double cy = std::fmax(lo + r, std::fmin(hi - r, y));
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

bool in_triangle(double x, double y) {
    auto side = [&](int a, int b) {
        return (TRIANGLE[b][0] - TRIANGLE[a][0]) * (y - TRIANGLE[a][1]) -
               (TRIANGLE[b][1] - TRIANGLE[a][1]) * (x - TRIANGLE[a][0]);
    };
    const double d0 = side(0, 1), d1 = side(1, 2), d2 = side(2, 0);
    return (d0 >= 0 && d1 >= 0 && d2 >= 0) || (d0 <= 0 && d1 <= 0 && d2 <= 0);
}

bool in_bar(double x, double y) {
    for (int k = 0; k < 5; ++k) {
        const double left = BARS_X0 + k * (BAR_W + BAR_GAP);
        if (x >= left && x <= left + BAR_W && y <= BARS_Y && y >= BARS_Y - BAR_HEIGHTS[k])
            return true;
    }
    return false;
}

// The colour of the topmost shape at (x, y), or a clear one outside the icon.
Rgba colour_at(double x, double y) {
    if (!in_rounded(x, y, 0))
        return {0, 0, 0, 0};
    if (!in_rounded(x, y, BORDER))
        return FRAME;
    if (in_triangle(x, y))
        return INK;
    const double dx = x - DISC_X, dy = y - DISC_Y;
    if (dx * dx + dy * dy <= DISC_R * DISC_R)
        return ORANGE;
    if (in_bar(x, y))
        return BAR;
    return FACE;
}

bool write_png(const std::string &path, int size) {
    std::vector<guint8> pixels(static_cast<size_t>(size) * size * 4);
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < SAMPLES; ++sy)
                for (int sx = 0; sx < SAMPLES; ++sx) {
                    const Rgba c = colour_at((px + (sx + 0.5) / SAMPLES) / size,
                                             (py + (sy + 0.5) / SAMPLES) / size);
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                    a += c.a;
                }
            guint8 *p = &pixels[(static_cast<size_t>(py) * size + px) * 4];
            // Straight alpha, as PNG keeps it.
            p[0] = a > 0 ? static_cast<guint8>(std::lround(255 * r / a)) : 0;
            p[1] = a > 0 ? static_cast<guint8>(std::lround(255 * g / a)) : 0;
            p[2] = a > 0 ? static_cast<guint8>(std::lround(255 * b / a)) : 0;
            p[3] = static_cast<guint8>(std::lround(255 * a / (SAMPLES * SAMPLES)));
        }
    GdkPixbuf *image = gdk_pixbuf_new_from_data(pixels.data(), GDK_COLORSPACE_RGB, TRUE, 8, size, size,
                                                size * 4, nullptr, nullptr);
    GError *error = nullptr;
    const bool ok = gdk_pixbuf_save(image, path.c_str(), "png", &error, nullptr);
    if (!ok)
        fprintf(stderr, "unable to write [%s]: %s\n", path.c_str(), error ? error->message : "");
    g_clear_error(&error);
    g_object_unref(image);
    return ok;
}

std::string hex(const Rgba &c) {
    char text[8];
    snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<int>(std::lround(c.r * 255)),
             static_cast<int>(std::lround(c.g * 255)), static_cast<int>(std::lround(c.b * 255)));
    return text;
}

bool write_svg(const std::string &path) {
    FILE *f = fopen(path.c_str(), "w");
    if (!f) {
        fprintf(stderr, "unable to write [%s]\n", path.c_str());
        return false;
    }
    constexpr double S = 256; // the drawing's own units
    fprintf(f, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n");
    fprintf(f, "  <rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" rx=\"%g\" fill=\"%s\"/>\n", MARGIN * S,
            MARGIN * S, (1 - 2 * MARGIN) * S, (1 - 2 * MARGIN) * S, RADIUS * S, hex(FRAME).c_str());
    const double in = MARGIN + BORDER;
    fprintf(f, "  <rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" rx=\"%g\" fill=\"%s\"/>\n", in * S, in * S,
            (1 - 2 * in) * S, (1 - 2 * in) * S, (RADIUS - BORDER) * S, hex(FACE).c_str());
    for (int k = 0; k < 5; ++k)
        fprintf(f, "  <rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"%s\"/>\n",
                (BARS_X0 + k * (BAR_W + BAR_GAP)) * S, (BARS_Y - BAR_HEIGHTS[k]) * S, BAR_W * S,
                BAR_HEIGHTS[k] * S, hex(BAR).c_str());
    fprintf(f, "  <circle cx=\"%g\" cy=\"%g\" r=\"%g\" fill=\"%s\"/>\n", DISC_X * S, DISC_Y * S, DISC_R * S,
            hex(ORANGE).c_str());
    fprintf(f, "  <polygon points=\"%g,%g %g,%g %g,%g\" fill=\"%s\"/>\n", TRIANGLE[0][0] * S,
            TRIANGLE[0][1] * S, TRIANGLE[1][0] * S, TRIANGLE[1][1] * S, TRIANGLE[2][0] * S,
            TRIANGLE[2][1] * S, hex(INK).c_str());
    fprintf(f, "</svg>\n");
    return fclose(f) == 0;
}

bool make_dir(const std::string &path) {
    if (g_mkdir_with_parents(path.c_str(), 0755) != 0) {
        fprintf(stderr, "unable to create [%s]\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string root = std::string(argv[1]) + "/hicolor/";
    bool ok = make_dir(root + "scalable/apps") && write_svg(root + "scalable/apps/" + NAME + ".svg");
    for (int size : SIZES) {
        const std::string dir = root + std::to_string(size) + "x" + std::to_string(size) + "/apps";
        ok = ok && make_dir(dir) && write_png(dir + "/" + NAME + ".png", size);
    }
    return ok ? 0 : 1;
}
