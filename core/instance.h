// One player per data directory on the session bus, and the files it is handed: from the
// command line, from a second start, from a drop.
#pragma once

#include <cstddef>
#include <cstdint>

struct tHandle;
typedef struct _GFile GFile;

// The application id of the default data directory; the icon and the desktop entry share it.
constexpr const char *INSTANCE_APP_ID = "org.ravlox.Ravlox";

enum : int32_t {
    INSTANCE_APPEND = 0,  // added at the end of the list
    INSTANCE_REPLACE = 1, // the list is replaced, once something is added
};

// The application id for `data_dir`: the plain id when it names the same directory as
// `default_dir`, otherwise the plain id and an element derived from the path, so every data
// directory has a player of its own.
void instance_app_id(const char *data_dir, const char *default_dir, char *out, size_t size);
// Adds what `files` name to the playlist: folders as the directory chooser adds them, playlists
// entry by entry, other files as they are. Then the first added entry is opened and
// played. Returns the number of entries added; when nothing is added the list stays as it
// was, also with INSTANCE_REPLACE.
int32_t instance_open_files(tHandle *h, GFile *const *files, int32_t count, int32_t mode);
// Replaces the list with the playlist file's entries, as the command line's playlist does, and
// opens the first of them; a file that cannot be read or holds no entries leaves the list as
// it was. Returns the number of entries.
int32_t instance_load_playlist(tHandle *h, const char *path);
// True for the name of a playlist the store reads (".m3u", ".m3u8", ".pls", ".xspf").
bool instance_is_m3u(const char *path);
// Brings the player's shown windows to the front.
void instance_present(tHandle *h);
