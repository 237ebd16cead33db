// Titles for the playlist from the entries' tags, read while the main loop is idle.
#include <glib.h>

#include "audio/tags.h"
#include "gui/window_playlist.h"
#include "playlist/playlist.h"

namespace {

// Reads one unread visible entry; when none is left, shows what was read and stops.
int read_one(void *record) {
    auto *w = static_cast<tHandleWindowPlaylist *>(record);
    static tSongInfo entry; // main thread only
    int32_t count = 0;
    int32_t current = 0;
    playlist_get_position(w->playlist, &count, &current);
    if (w->showtitles) {
        for (int32_t u = 0; u < w->visible_lines; u++) {
            const int32_t e = w->scroll_offset + u;
            if (e >= count)
                break;
            if (playlist_get_entry(w->playlist, e, &entry, nullptr) != 0 || entry.tags_read)
                continue;
            entry.path[sizeof entry.path - 1] = '\0';
            tSongTags tags;
            tags_read_file(entry.path, &tags);
            char title[sizeof entry.title];
            tags_display_title(&tags, title, sizeof title);
            playlist_set_title(w->playlist, e, title);
            return G_SOURCE_CONTINUE;
        }
    }
    w->tags_source = 0;
    window_playlist_redraw(w);
    return G_SOURCE_REMOVE;
}

} // namespace

void window_playlist_read_tags_later(tHandleWindowPlaylist *w) {
    if (w->tags_source == 0)
        w->tags_source = g_idle_add_full(G_PRIORITY_LOW, read_one, w, nullptr);
}
