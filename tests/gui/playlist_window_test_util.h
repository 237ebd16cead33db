// Running the real program with the playlist window shown, a chosen theme and playlist, and
// reading its window back from the virtual display.
#pragma once

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/harness.h"
#include "theme/catalogue.h"

namespace plwin {

constexpr const char *TITLE = "ravlox playlist";
// Where the playlist window is moved, clear of the main window at (0, 0).
constexpr int WINDOW_X = 0;
constexpr int WINDOW_Y = 240;

inline void pause_ms(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }

struct PlaylistSetup {
    int rows = 2;
    int columns = 11;
    int scale = 1;
    int showfull = 1;
    std::vector<std::string> entries; // written to an M3U file, one line each
    std::string pledit;               // replaces the template's PLEDIT.TXT when not empty
    AlsaConfig alsa = AlsaConfig::NoDevice;
};

// One program run: a data directory whose theme folder holds the template theme, the given
// playlist window configuration, and the playlist window shown and moved to WINDOW_X/Y.
class PlaylistRun {
public:
    explicit PlaylistRun(WindowManager wm = WindowManager::none) : x(wm) {}

    TempDir dir{"ravlox-plwin"};
    std::string data;
    std::string capture;
    Xvfb x;
    std::unique_ptr<ProgramProcess> process;
    std::string window;
    std::string main_window;
    Image sheet; // the template's PLEDIT.BMP

    bool start(const PlaylistSetup &s) {
        data = dir / "data";
        capture = dir / "capture.raw";
        const std::string theme = data + "/theme";
        std::error_code ec;
        std::filesystem::create_directories(theme, ec);
        if (!x.ok() || ec)
            return fail("no display or data directory");
        ProgramResult dump = run_program({"--gui.theme.dumptemplate=" + theme + "/"});
        if (!dump.exited_with(0))
            return fail("template not written");
        sheet = Image::load(theme + "/PLEDIT.BMP");
        if (sheet.empty())
            return fail("template PLEDIT.BMP unreadable");
        if (!s.pledit.empty() && !write_file(theme + "/PLEDIT.TXT", s.pledit))
            return fail("PLEDIT.TXT");
        write_file(data + "/gui.config",
                   "scalefactor=" + std::to_string(s.scale) + "\nshowplaylist=TRUE\n");
        write_file(data + "/playlist.config", "rows=" + std::to_string(s.rows) +
                                                  "\ncolumns=" + std::to_string(s.columns) +
                                                  "\nshowfull=" + std::to_string(s.showfull) +
                                                  "\n");
        ProgramOptions o;
        o.data_dir = data;
        o.display = x.display();
        o.alsa = s.alsa;
        o.capture_file = capture;
        if (!s.entries.empty()) {
            std::string m3u;
            for (const std::string &e : s.entries)
                m3u += e + "\n";
            write_file(dir / "list.m3u", m3u);
            o.args.push_back("--playlist.m3u=" + (dir / "list.m3u"));
        }
        process = std::make_unique<ProgramProcess>(o);
        auto w = x.wait_window(TITLE);
        if (!w)
            return fail("no playlist window");
        window = *w;
        auto m = x.wait_window("ravlox main");
        if (m)
            main_window = *m;
        x.xdotool({"windowmove", window, std::to_string(WINDOW_X), std::to_string(WINDOW_Y)});
        return settle();
    }

    // Waits until the window stands where it was put and two screenshots agree.
    bool settle() {
        Image last;
        for (int i = 0; i < 60; i++) {
            pause_ms(60);
            auto g = x.window_geometry(window);
            if (!g || g->x != WINDOW_X || g->y != WINDOW_Y)
                continue;
            Image now = x.screenshot(window);
            if (!now.empty() && now.width == last.width && now.height == last.height &&
                now.rgb == last.rgb)
                return true;
            last = std::move(now);
        }
        return fail("window did not settle");
    }

    Image shot() {
        settle();
        return x.screenshot(window);
    }

    Geometry geometry() {
        auto g = x.window_geometry(window);
        return g ? *g : Geometry{};
    }

    // Pixel of the template sheet inside element `id`'s source rectangle.
    Rgb sheet_pixel(int id, int dx, int dy) const {
        const tThemeElement &e = THEME_ELEMENTS[id];
        return sheet.pixel(e.source_x + dx, e.source_y + dy);
    }

    // Number of pixels of element `id` (or its sub-rectangle) that differ between the window
    // image at (x, y) and the sheet.
    int element_mismatches(const Image &img, int id, int x, int y, int dx0 = 0, int dy0 = 0,
                           int w = -1, int h = -1) const {
        const tThemeElement &e = THEME_ELEMENTS[id];
        if (w < 0)
            w = e.width - dx0;
        if (h < 0)
            h = e.height - dy0;
        int bad = 0;
        for (int dy = dy0; dy < dy0 + h; dy++)
            for (int dx = dx0; dx < dx0 + w; dx++)
                if (!(img.pixel(x + dx, y + dy) == sheet_pixel(id, dx, dy)))
                    bad++;
        return bad;
    }

    std::string log() const {
        return process ? "stdout:\n" + process->out() + "\nstderr:\n" + process->err() : "";
    }

    std::string why;

private:
    bool fail(const std::string &reason) {
        why = reason + "\n" + log();
        return false;
    }
};

// ---------------------------------------------------------------------------
// Entry lines with a generated PLEDIT.TXT

inline const char *const PLEDIT = "[Text]\r\nNormal=#FF0000\r\nCurrent=#00FF00\r\nNormalBG=#0000FF\r\n"
                           "SelectedBG=#FFFF00\r\nFont=DejaVu Sans\r\n";
inline const Rgb BLUE{0, 0, 255};
inline const Rgb YELLOW{255, 255, 0};

inline cairo_font_extents_t font_extents(int scale) {
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 4);
    cairo_t *cr = cairo_create(surface);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 8.0 * scale);
    cairo_font_extents_t e;
    cairo_font_extents(cr, &e);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return e;
}

// The line height that the font gives at this scale: cairo's extent height, truncated.
inline int line_height(int scale) { return std::max(1, static_cast<int>(font_extents(scale).height)); }

// Rows at the top of a line that the descenders of the line above may reach.
inline int descender_rows(int scale) { return static_cast<int>(std::ceil(font_extents(scale).descent)); }

struct Band {
    int max_r = 0, max_g = 0, max_b = 0;
    int min_r = 255, min_g = 255, min_b = 255;
    int yellow = 0, blue = 0, pixels = 0;
};

// Colour statistics of one entry line (its text part, left of the scroll bar).
// Skips the top rows, where the line above may reach with its descenders.
inline Band band(const Image &img, int scale, int width, int line, int h) {
    Band b;
    for (int y = scale * 20 + line * h + descender_rows(scale); y < scale * 20 + (line + 1) * h;
         y++)
        for (int x = scale * 12; x < scale * (width - 20); x++) {
            const Rgb p = img.pixel(x, y);
            b.max_r = std::max<int>(b.max_r, p.r);
            b.max_g = std::max<int>(b.max_g, p.g);
            b.max_b = std::max<int>(b.max_b, p.b);
            b.min_r = std::min<int>(b.min_r, p.r);
            b.min_g = std::min<int>(b.min_g, p.g);
            b.min_b = std::min<int>(b.min_b, p.b);
            b.yellow += p == YELLOW;
            b.blue += p == BLUE;
            b.pixels++;
        }
    return b;
}

// Pixels of a line that are not the plain background: the shape of its text.
inline std::vector<bool> text_mask(const Image &img, int width, int line, int h) {
    std::vector<bool> mask;
    for (int y = 20 + line * h + descender_rows(1); y < 20 + (line + 1) * h; y++)
        for (int x = 12; x < width - 20; x++)
            mask.push_back(!(img.pixel(x, y) == BLUE));
    return mask;
}

inline bool blank(const std::vector<bool> &mask) {
    return std::none_of(mask.begin(), mask.end(), [](bool b) { return b; });
}

// Window y of the middle of line `line`, for clicking it.
inline int line_middle(int scale, int line, int h) { return scale * 20 + line * h + h / 2; }

// mono22.mp3 then stereo44.mp3, the generated PLEDIT.TXT and the file-backed sound device.
inline PlaylistSetup two_files() {
    PlaylistSetup s;
    s.pledit = PLEDIT;
    s.alsa = AlsaConfig::File;
    s.entries = {fixture_path("mono22.mp3"), fixture_path("stereo44.mp3")};
    return s;
}

// Waits until a stretch from the first second of stereo44.mp3 reaches the capture file.
inline bool heard_stereo44(const std::string &capture, int tries = 100) {
    static const ReferencePcm ref = decode_reference(fixture_path("stereo44.mp3"));
    if (!ref.ok)
        return false;
    const std::vector<int16_t> probe(ref.samples.begin() + 2 * 11025,
                                     ref.samples.begin() + 2 * 11025 + 1024);
    for (int i = 0; i < tries; i++) {
        if (find_samples(read_samples(capture), probe).has_value())
            return true;
        pause_ms(100);
    }
    return false;
}

// Saves the image beside the test binary's working directory for looking at failures.
inline void keep(const Image &img, const std::string &name) {
    img.save_png("/tmp/" + name + ".png");
}

} // namespace plwin
