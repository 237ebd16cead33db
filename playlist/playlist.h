// The playlist store: up to 16384 paths with selection marks and a current index.
#pragma once

#include <cstdint>

#include "core/types.h"

constexpr int PLAYLIST_CAPACITY = 16384;

// The name suffixes of the formats the decoder plays, matched without regard to case: what
// a folder adds and what the file choosers show.
inline constexpr const char *PLAYLIST_AUDIO_SUFFIXES[] = {"mp3", "flac", "ogg",  "oga",  "opus", "m4a",
                                                          "m4b", "wav",  "aif",  "aiff", "aifc", "wv"};
constexpr int32_t PLAYLIST_AUDIO_SUFFIX_COUNT = sizeof PLAYLIST_AUDIO_SUFFIXES / sizeof PLAYLIST_AUDIO_SUFFIXES[0];

enum : int32_t {
    PLAYLIST_SELECT_ALL = 0,
    PLAYLIST_SELECT_NONE = 1,
    PLAYLIST_SELECT_INVERT = 2,
};

// How the store reads and writes files; kept when the list is cleared.
enum : int32_t {
    // Every line of an M3U file is a path, as the first versions read them.
    PLAYLIST_READ_PLAIN = 1,
    // M3U files are saved as bare paths, one a line, without titles.
    PLAYLIST_SAVE_PLAIN = 2,
    // A folder adds its own files in the order the system lists them, without sub-folders.
    PLAYLIST_FOLDERS_FLAT = 4,
    // The list is kept between runs in the data directory (read and written by the player).
    PLAYLIST_KEEP = 8,
};

// Called after every change of the entries, their titles or marks, or the current index.
using tPlaylistChanged = void (*)(void *context);

// Main thread only (the dispatcher, the playlist window, start-up); no lock of its own.
struct tHandlePlaylist {
    tSongInfo entries[PLAYLIST_CAPACITY];
    uint8_t selected[PLAYLIST_CAPACITY];
    int32_t count;
    int32_t current;
    int32_t options;
    // Kept when the list is cleared, like `options`.
    tPlaylistChanged changed;
    void *changed_context;
};

int32_t playlist_init(tHandlePlaylist *p);
int32_t playlist_clear(tHandlePlaylist *p);
int32_t playlist_add(tHandlePlaylist *p, const tSongInfo *entry);
// A folder's MP3 files by name in natural order ("2" before "10"), each sub-folder's where its
// name falls, at most 16 levels deep and every folder once (links back are not followed again);
// with PLAYLIST_FOLDERS_FLAT only the folder's own files, in the order the system lists them.
int32_t playlist_add_directory(tHandlePlaylist *p, const char *directory);
int32_t playlist_read_m3u(tHandlePlaylist *p, const char *path);
// Appends the entries of an M3U file, keeping the list and its current index.
int32_t playlist_add_m3u(tHandlePlaylist *p, const char *path);
int32_t playlist_write_m3u(tHandlePlaylist *p, const char *path, int32_t mode);
// M3U (".m3u", ".m3u8"), PLS (".pls") or XSPF (".xspf"), chosen by the name's extension; any
// other name is read as M3U. Reading replaces the list, adding appends to it.
int32_t playlist_read_file(tHandlePlaylist *p, const char *path);
int32_t playlist_add_file(tHandlePlaylist *p, const char *path);
// Writes the list in the format the name's extension asks for (M3U for any other name).
int32_t playlist_write_file(tHandlePlaylist *p, const char *path);
// True for the names of playlists: ".m3u", ".m3u8", ".pls", ".xspf", in any case.
bool playlist_is_list_file(const char *path);
// The part of a path after its last "/", where a "/" in the last place does not count.
const char *playlist_file_name(const char *path);
// True for a URL entry ("http://..."): kept in the list, but not a file that can be opened.
bool playlist_is_stream(const char *path);
// The list kept between runs: entries with their titles, lengths and marks, the current entry
// and the position in it (seconds), in an extended M3U file that other readers take as a plain
// playlist. Written through the atomic save. Reading replaces the list: 0, -1 when there is no
// such file, PLAYLIST_DAMAGED when it is there but damaged or unreadable (the list is then empty).
constexpr int32_t PLAYLIST_DAMAGED = -2;
int32_t playlist_write_kept(const tHandlePlaylist *p, const char *path, int32_t position);
int32_t playlist_read_kept(tHandlePlaylist *p, const char *path, int32_t *position);
int32_t playlist_parse_option(tHandlePlaylist *p, const char *arg);
int32_t playlist_get_position(tHandlePlaylist *p, int32_t *count, int32_t *current);
int32_t playlist_set_current(tHandlePlaylist *p, int32_t index);
// Stores what the tags of entry `index` give as its title and marks its tags as read; an
// empty title keeps the one the playlist file gave.
int32_t playlist_set_title(tHandlePlaylist *p, int32_t index, const char *title);
int32_t playlist_get_entry(tHandlePlaylist *p, int32_t index, tSongInfo *entry, uint8_t *mark);
int32_t playlist_sort_by_filename(tHandlePlaylist *p);
int32_t playlist_sort_randomize(tHandlePlaylist *p);
int32_t playlist_sort_reverse(tHandlePlaylist *p);
int32_t playlist_remove(tHandlePlaylist *p, int32_t index);
int32_t playlist_remove_selected(tHandlePlaylist *p);
// Removes entries 0 to n - 1 at once, as n removals of entry 0 would.
int32_t playlist_remove_first(tHandlePlaylist *p, int32_t n);
int32_t playlist_toggle_selected(tHandlePlaylist *p, int32_t index);
int32_t playlist_select(tHandlePlaylist *p, int32_t mode);
