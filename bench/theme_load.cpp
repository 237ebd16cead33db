// Theme loading and drawing: loading a theme directory, extracting and loading a .wsz archive,
// and drawing every main-window element once.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <zip.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench.h"
#include "core/handle.h"
#include "theme/default_theme.h"
#include "theme/render.h"
#include "theme/theme.h"

namespace {

std::string read_all(const std::string &path) {
    std::string data;
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr) return data;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    fclose(f);
    return data;
}

bool make_wsz(const std::string &dir, const std::string &wsz) {
    static const char *const names[] = {
        "BALANCE.BMP", "CBUTTONS.BMP", "EQMAIN.BMP", "EQ_EX.BMP",  "MAIN.BMP",     "MONOSTER.BMP",
        "NUMBERS.BMP", "PLAYPAUS.BMP", "PLEDIT.BMP", "PLEDIT.TXT", "POSBAR.BMP",   "SHUFREP.BMP",
        "TEXT.BMP",    "TITLEBAR.BMP", "VISCOLOR.TXT", "VOLUME.BMP"};
    std::vector<std::string> data;
    data.reserve(16);
    int error = 0;
    zip_t *za = zip_open(wsz.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (za == nullptr) return false;
    for (const char *name : names) {
        data.push_back(read_all(dir + "/" + name));
        zip_source_t *src = zip_source_buffer(za, data.back().data(), data.back().size(), 0);
        if (src == nullptr ||
            zip_file_add(za, (std::string("skin/") + name).c_str(), src, ZIP_FL_ENC_RAW) < 0) {
            zip_discard(za);
            return false;
        }
    }
    return zip_close(za) == 0;
}

bool is_main_window_sheet(int32_t bitmap) {
    switch (bitmap) {
        case BITMAP_BALANCE: case BITMAP_CBUTTONS: case BITMAP_MAIN: case BITMAP_MONOSTER:
        case BITMAP_NUMBERS: case BITMAP_PLAYPAUS: case BITMAP_POSBAR: case BITMAP_SHUFREP:
        case BITMAP_TEXT: case BITMAP_TITLEBAR: case BITMAP_VOLUME:
            return true;
        default:
            return false;
    }
}

}  // namespace

int main() {
    char tmpl[] = "/tmp/ravlox-bench-theme-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return 2;
    const std::string root = tmpl, data = root + "/data", source = root + "/source",
                      wsz = root + "/theme.wsz";
    mkdir(data.c_str(), 0700);
    mkdir((data + "/theme").c_str(), 0700);
    mkdir(source.c_str(), 0755);
    if (theme_default_write_all(source.c_str()) != 0 || !make_wsz(source, wsz)) {
        fprintf(stderr, "cannot prepare the themes in %s\n", root.c_str());
        return 2;
    }

    tHandleTheme *theme = static_cast<tHandleTheme *>(calloc(1, sizeof(tHandleTheme)));
    theme_init(theme);
    const std::string folder = data + "/theme/";

    int32_t status = 0;
    const double dir_s = bench_best_seconds(20, [&] {
        status |= theme_load_directory(theme, source.c_str(), folder.c_str());
    });
    const double wsz_s = bench_best_seconds(20, [&] {
        status |= theme_load_wsz(theme, wsz.c_str(), folder.c_str());
        status |= theme_load_directory(theme, folder.c_str(), folder.c_str());
    });

    GdkPixbuf *image = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 275, 116);
    gdk_pixbuf_fill(image, 0);
    std::vector<int32_t> fixed, positioned;
    for (const tThemeElement &e : THEME_ELEMENTS) {
        if (!is_main_window_sheet(e.bitmap)) continue;
        (e.destination_x == -1 || e.destination_y == -1 ? positioned : fixed).push_back(e.id);
    }
    const double draw_s = bench_best_seconds(2000, [&] {
        for (int32_t id : fixed) status |= theme_draw_element(theme, image, id);
        for (int32_t id : positioned) status |= theme_draw_element_at(theme, image, id, 100, 60);
    });
    if (status != 0) fprintf(stderr, "a theme operation failed\n");

    char figure[96];
    bench_report("theme: load a theme directory", dir_s * 1e3, "ms", "<= 20 ms", dir_s <= 0.020);
    bench_report("theme: extract and load a .wsz", wsz_s * 1e3, "ms", "<= 40 ms", wsz_s <= 0.040);
    snprintf(figure, sizeof figure, "theme: draw all %zu main-window elements",
             fixed.size() + positioned.size());
    bench_report(figure, draw_s * 1e3, "ms", "<= 0.2 ms", draw_s <= 0.0002);

    g_object_unref(image);
    for (GdkPixbuf *b : theme->bitmaps) g_object_unref(b);
    free(theme);
    std::string rm = "rm -rf '" + root + "'";
    if (system(rm.c_str()) != 0) fprintf(stderr, "cannot remove %s\n", root.c_str());
    return status != 0 ? 1 : bench_exit_status();
}
