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
    if (mode == INSTANCE_REPLACE)
        playlist_clear(p);
    int32_t first = 0;
    int32_t current = 0;
    playlist_get_position(p, &first, &current);
    for (int32_t k = 0; k < count; ++k)
        if (list.paths[k])
            add_path(p, list.paths[k]);
    int32_t now = 0;
    playlist_get_position(p, &now, &current);
    window_playlist_redraw(&h->gui.window_playlist);
    if (now <= first)
        return 0;
    static tSongInfo entry; // main thread only
    playlist_set_current(p, first);
    playlist_get_entry(p, first, &entry, nullptr);
    entry.path[sizeof entry.path - 1] = '\0';
    handle_send_path(h, entry.path);
    handle_dispatch(h, EVENT_PLAY, nullptr);
    return now - first;
}

void instance_present(tHandle *h) {
    tHandleGui *g = &h->gui;
    // The main window last, so it ends on top.
    for (GtkWidget *w : {g->window_equalizer.window, g->window_playlist.window, g->window_main.window})
        if (w && gtk_widget_get_visible(w))
            gtk_window_present(GTK_WINDOW(w));
}
