// Finding entries by what the list shows of them: the text of each entry, and the entries
// whose text holds every word of a query.
#pragma once

#include <cstdint>

#include "core/types.h"

struct tHandlePlaylist;

// What the list shows of an entry.
enum : uint32_t {
    // The title a playlist file or the tags gave, where the entry has one.
    PLAYLIST_SHOW_TITLES = 1,
    // The whole path rather than the file name.
    PLAYLIST_SHOW_FULL_PATH = 2,
};

// The entry's shown text: its title, its path or its file name, as `shown` says.
const char *playlist_shown_text(const tSongInfo *entry, uint32_t shown);

// The indexes of the entries whose shown text holds every word of the query (words are
// separated by blanks; any order, upper and lower case alike), in list order; at most
// `capacity` are stored. A query without words matches every entry. The number stored.
int32_t playlist_filter(const tHandlePlaylist *p, const char *query, uint32_t shown, int32_t *matches,
                        int32_t capacity);
