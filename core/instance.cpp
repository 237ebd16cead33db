// One player per data directory, and the files handed to it.
#include "core/instance.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include <gio/gio.h>
#include <gtk/gtk.h>

#include "core/handle.h"

namespace {

enum tKind { KIND_NONE, KIND_SONG, KIND_FOLDER, KIND_LIST };

tKind kind_of(const char *path) {
    struct stat info;
    if (stat(path, &info) != 0)
        return KIND_NONE;
    if (S_ISDIR(info.st_mode))
        return KIND_FOLDER;
    if (!S_ISREG(info.st_mode))
        return KIND_NONE;
    return instance_is_m3u(path) ? KIND_LIST : KIND_SONG;
}

// A local path for every file, or nothing where a file has none (a remote location).
struct tPaths {
    explicit tPaths(GFile *const *files, int32_t count) : count(count) {
        paths = g_new0(char *, count + 1);
        for (int32_t k = 0; k < count; ++k)
            paths[k] = files[k] ? g_file_get_path(files[k]) : nullptr;
    }
    ~tPaths() { g_strfreev(paths); }
    tPaths(const tPaths &) = delete;
    tPaths &operator=(const tPaths &) = delete;
    char **paths;
    int32_t count;
};

void add_path(tHandlePlaylist *p, const char *path) {
    static tSongInfo entry; // main thread only; too large for the stack
    switch (kind_of(path)) {
    case KIND_FOLDER:
        playlist_add_directory(p, path);
        break;
    case KIND_LIST:
        if (playlist_add_file(p, path) != 0)
            fprintf(stderr, "unable to read the playlist [%s]\n", path);
        break;
    case KIND_SONG:
        memset(&entry, 0, sizeof entry);
        snprintf(entry.path, sizeof entry.path, "%s", path);
        playlist_add(p, &entry);
        break;
    case KIND_NONE: // said before
        break;
    }
}

// The number of entries that `add` appends to the list.
template <typename Add> int32_t count_added(tHandlePlaylist *p, Add add) {
    int32_t before = 0;
    int32_t after = 0;
    int32_t current = 0;
    playlist_get_position(p, &before, &current);
    add();
    playlist_get_position(p, &after, &current);
    return after - before;
}

int32_t add_paths(tHandlePlaylist *p, const tPaths &list) {
    return count_added(p, [&] {
        for (int32_t k = 0; k < list.count; ++k)
            if (list.paths[k])
                add_path(p, list.paths[k]);
    });
}

// Replaces the list with what `add` appends, only once something is known to be added: the
// new entries go after the old ones first, and the old ones are removed only then. A folder
// of folders, an empty folder or an empty playlist leave the list as it was.
template <typename Add> int32_t replace_with(tHandlePlaylist *p, Add add) {
    static tSongInfo spare; // main thread only; too large for the stack
    uint8_t spare_mark = 0;
    int32_t count = 0;
    int32_t current = 0;
    playlist_get_position(p, &count, &current);
    // A full list makes room for one entry, which is all it takes to know.
    const bool full = count == PLAYLIST_CAPACITY;
    if (full) {
        playlist_get_entry(p, count - 1, &spare, &spare_mark);
        playlist_remove(p, count - 1);
    }
    const int32_t added = add();
    if (added == 0) {
        if (full) {
            playlist_add(p, &spare);
            if (spare_mark)
                playlist_toggle_selected(p, count - 1);
            playlist_set_current(p, current);
        }
        return 0;
    }
    int32_t now = 0;
    playlist_get_position(p, &now, &current);
    if (now < PLAYLIST_CAPACITY) {
        playlist_remove_first(p, now - added);
        return added;
    }
    // The old entries left no room for all of the new ones.
    playlist_clear(p);
    return add();
}

// Makes the first of the `added` last entries the current one and opens it.
void open_first_added(tHandle *h, int32_t added) {
    static tSongInfo entry; // main thread only
    int32_t now = 0;
    int32_t current = 0;
    playlist_get_position(&h->playlist, &now, &current);
    playlist_set_current(&h->playlist, now - added);
    playlist_get_entry(&h->playlist, now - added, &entry, nullptr);
    entry.path[sizeof entry.path - 1] = '\0';
    handle_send_path(h, entry.path);
}

} // namespace

bool instance_is_m3u(const char *path) { return playlist_is_list_file(path); }

void instance_app_id(const char *data_dir, const char *default_dir, char *out, size_t size) {
    // Lexically, without following links, so a directory that is not made yet has the
    // same id as after its first start.
    gchar *mine = g_canonicalize_filename(data_dir, nullptr);
    gchar *plain = g_canonicalize_filename(default_dir, nullptr);
    if (strcmp(mine, plain) == 0) {
        snprintf(out, size, "%s", INSTANCE_APP_ID);
    } else {
        uint64_t hash = 14695981039346656037ull; // FNV-1a
        for (const unsigned char *c = reinterpret_cast<const unsigned char *>(mine); *c; ++c)
            hash = (hash ^ *c) * 1099511628211ull;
        snprintf(out, size, "%s.Dir%016llx", INSTANCE_APP_ID, static_cast<unsigned long long>(hash));
    }
    g_free(mine);
    g_free(plain);
}

int32_t instance_open_files(tHandle *h, GFile *const *files, int32_t count, int32_t mode) {
    const tPaths list(files, count);
    bool usable = false;
    for (int32_t k = 0; k < count; ++k) {
        if (list.paths[k] && kind_of(list.paths[k]) != KIND_NONE) {
            usable = true;
        } else if (list.paths[k]) {
            fprintf(stderr, "cannot open [%s]\n", list.paths[k]);
        } else if (files[k]) {
            gchar *uri = g_file_get_uri(files[k]);
            fprintf(stderr, "not a local file [%s]\n", uri);
            g_free(uri);
        }
    }
    if (!usable)
        return 0;
    tHandlePlaylist *p = &h->playlist;
    const int32_t added =
        mode == INSTANCE_REPLACE ? replace_with(p, [&] { return add_paths(p, list); }) : add_paths(p, list);
    window_playlist_redraw(&h->gui.window_playlist);
    if (added == 0)
        return 0;
    // Playing an entry steps on past those that fail to open.
    int32_t now = 0;
    int32_t current = 0;
    playlist_get_position(p, &now, &current);
    handle_send_int(h, EVENT_PLAY, now - added);
    return added;
}

int32_t instance_load_playlist(tHandle *h, const char *path) {
    tHandlePlaylist *p = &h->playlist;
    const int32_t added = replace_with(p, [&] {
        return count_added(p, [&] {
            if (playlist_add_file(p, path) != 0)
                fprintf(stderr, "unable to read the playlist [%s]\n", path);
        });
    });
    window_playlist_redraw(&h->gui.window_playlist);
    if (added > 0)
        open_first_added(h, added);
    return added;
}

void instance_present(tHandle *h) {
    tHandleGui *g = &h->gui;
    // The main window last, so it ends on top.
    for (GtkWidget *w : {g->window_equalizer.window, g->window_playlist.window, g->window_main.window})
        if (w && gtk_widget_get_visible(w))
            gtk_window_present(GTK_WINDOW(w));
}
