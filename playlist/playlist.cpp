// Placeholder: not built yet; every operation reports failure.
#include "playlist/playlist.h"

int32_t playlist_init(tHandlePlaylist *p) { return -1; }

int32_t playlist_clear(tHandlePlaylist *p) { return -1; }

int32_t playlist_add(tHandlePlaylist *p, const tSongInfo *entry) { return -1; }

int32_t playlist_add_directory(tHandlePlaylist *p, const char *directory) { return -1; }

int32_t playlist_read_m3u(tHandlePlaylist *p, const char *path) { return -1; }

int32_t playlist_write_m3u(tHandlePlaylist *p, const char *path, int32_t mode) { return -1; }

int32_t playlist_parse_option(tHandlePlaylist *p, const char *arg) { return -1; }

int32_t playlist_get_position(tHandlePlaylist *p, int32_t *count, int32_t *current) { return -1; }

int32_t playlist_set_current(tHandlePlaylist *p, int32_t index) { return -1; }

int32_t playlist_get_entry(tHandlePlaylist *p, int32_t index, tSongInfo *entry, uint8_t *mark) { return -1; }

int32_t playlist_sort_by_filename(tHandlePlaylist *p) { return -1; }

int32_t playlist_sort_randomize(tHandlePlaylist *p) { return -1; }

int32_t playlist_sort_reverse(tHandlePlaylist *p) { return -1; }

int32_t playlist_remove(tHandlePlaylist *p, int32_t index) { return -1; }

int32_t playlist_remove_selected(tHandlePlaylist *p) { return -1; }

int32_t playlist_toggle_selected(tHandlePlaylist *p, int32_t index) { return -1; }

int32_t playlist_select(tHandlePlaylist *p, int32_t mode) { return -1; }
