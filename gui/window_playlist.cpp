// Placeholder: not built yet; every operation reports failure.
#include "gui/window_playlist.h"

int32_t window_playlist_init(tHandleWindowPlaylist *w, tHandle *h, tHandleTheme *theme, GtkApplication *application, tHandlePlaylist *playlist) { return -1; }

int32_t window_playlist_read_config(tHandleWindowPlaylist *w) { return -1; }

int32_t window_playlist_resize(tHandleWindowPlaylist *w, int32_t rows, int32_t columns) { return -1; }

int32_t window_playlist_redraw(tHandleWindowPlaylist *w) { return -1; }

int32_t window_playlist_refresh(tHandleWindowPlaylist *w) { return -1; }

int32_t window_playlist_set_scale(tHandleWindowPlaylist *w, uint32_t scale) { return -1; }

int32_t window_playlist_show(tHandleWindowPlaylist *w) { return -1; }

int32_t window_playlist_hide(tHandleWindowPlaylist *w) { return -1; }
