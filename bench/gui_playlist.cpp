// Playlist window drawing with a full store (16384 entries) and the default theme: one redraw
// (entry lines, menus, thumb, strips), one refresh (frame pieces too) and one wheel step, at
// scale 1 and 2, for the smallest window and a large one.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench.h"
#include "bench_theme.h"
#include "core/handle.h"
#include "gui/window_playlist.h"
#include "theme/default_theme.h"
#include "theme/theme.h"

namespace {

constexpr double TARGET_MS = 2.0;

void report(const char *what, int rows, int columns, int scale, double seconds, bool has_target) {
    char figure[128];
    snprintf(figure, sizeof figure, "playlist %s %dx%d scale %d", what, columns, rows, scale);
    const double ms = seconds * 1000.0;
    bench_report(figure, ms, "ms", has_target ? "<= 2" : "-", !has_target || ms <= TARGET_MS);
}

} // namespace

int main() {
    std::string dir;
    tHandle *h = bench_handle_with_default_theme("plwin", dir);
    if (h == nullptr)
        return 1;
    tHandleTheme *theme = &h->gui.theme;

    tHandlePlaylist *p = &h->playlist;
    playlist_init(p);
    static tSongInfo entry;
    for (int i = 0; i < PLAYLIST_CAPACITY; i++) {
        memset(&entry, 0, sizeof entry);
        snprintf(entry.path, sizeof entry.path, "/home/listener/music/artist %03d/album %02d/%05d - a track title.mp3",
                 i % 500, i % 17, i);
        playlist_add(p, &entry);
    }
    for (int i = 0; i < PLAYLIST_CAPACITY; i += 3)
        playlist_toggle_selected(p, i);
    playlist_set_current(p, 8000);

    // The drawing record without its widgets: the images and the geometry are all it uses.
    tHandleWindowPlaylist *w = &h->gui.window_playlist;
    memset(static_cast<void *>(w), 0, sizeof *w);
    w->handle = h;
    w->theme = theme;
    w->playlist = p;
    w->scale = 1;
    w->showfull = 1;

    struct Size {
        int rows, columns;
        bool target;
    };
    for (const Size size : {Size{2, 11, true}, Size{12, 24, false}}) {
        for (int scale : {1, 2}) {
            w->scale = 1;
            if (window_playlist_resize(w, size.rows, size.columns) != 0 ||
                window_playlist_set_scale(w, static_cast<uint32_t>(scale)) != 0) {
                fprintf(stderr, "playlist window images not made\n");
                return 1;
            }
            w->scroll_offset = 7990;
            for (int i = 0; i < 20; i++) // warm up: fonts found and cached
                window_playlist_redraw(w);
            report("redraw", size.rows, size.columns, scale,
                   bench_best_seconds(200, [&] { window_playlist_redraw(w); }), size.target);
            report("refresh", size.rows, size.columns, scale,
                   bench_best_seconds(200, [&] { window_playlist_refresh(w); }), size.target);
            int direction = 1;
            report("wheel step", size.rows, size.columns, scale, bench_best_seconds(200, [&] {
                       // what the scroll handler does for one step
                       int32_t t = w->scroll_offset + direction;
                       if (t >= w->entry_count)
                           t = w->entry_count - 1;
                       w->scroll_offset = t > 0 ? t : 0;
                       window_playlist_redraw(w);
                       direction = -direction;
                   }),
                   size.target);
        }
    }
    if (w->entry_count != PLAYLIST_CAPACITY || w->visible_lines < 1) {
        fprintf(stderr, "the redraw did not see the store\n");
        return 1;
    }
    return bench_exit_status();
}
