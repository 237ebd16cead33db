// The playlist window.
#pragma once

#include <cstdint>

struct tHandle;
struct tHandleTheme;
struct tHandlePlaylist;
typedef struct _GtkApplication GtkApplication;

struct tHandleWindowPlaylist {
    tHandle *handle;
    tHandleTheme *theme;
    tHandlePlaylist *playlist;
};

int32_t window_playlist_init(tHandleWindowPlaylist *w, tHandle *h, tHandleTheme *theme,
                             GtkApplication *application, tHandlePlaylist *playlist);
int32_t window_playlist_read_config(tHandleWindowPlaylist *w);
int32_t window_playlist_resize(tHandleWindowPlaylist *w, int32_t rows, int32_t columns);
int32_t window_playlist_redraw(tHandleWindowPlaylist *w);
int32_t window_playlist_refresh(tHandleWindowPlaylist *w);
int32_t window_playlist_set_scale(tHandleWindowPlaylist *w, uint32_t scale);
int32_t window_playlist_show(tHandleWindowPlaylist *w);
int32_t window_playlist_hide(tHandleWindowPlaylist *w);
