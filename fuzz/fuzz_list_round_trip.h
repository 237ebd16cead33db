// A playlist file's bytes, read by the reader its name's extension chooses, become at most 16384
// entries without control bytes; written back in the same format and read again they give the
// same entries, titles and lengths, in the same order.
#pragma once

#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "playlist/playlist.h"

namespace fuzz {

inline int list_round_trip(const uint8_t *data, size_t size, const char *extension) {
    // Two stores of 21 MB each: made once.
    static std::unique_ptr<tHandlePlaylist> list(new tHandlePlaylist{});
    static std::unique_ptr<tHandlePlaylist> again(new tHandlePlaylist{});
    const std::string dir = data_dir();
    const std::string in = std::string("list") + extension, out = std::string("saved") + extension;
    FdGuard fds;
    if (!write_file(dir + "/" + in, data, size)) return 0;
    // A file refused whole (UTF-16 XSPF) leaves the list as it was.
    list->count = 1;
    list->entries[0].path[0] = 'x';
    if (playlist_read_file(list.get(), (dir + "/" + in).c_str()) != 0) {
        FUZZ_CHECK(list->count == 1 && list->entries[0].path[0] == 'x', "a refused file changed the list");
        return 0;
    }
    FUZZ_CHECK(list->count >= 0 && list->count <= PLAYLIST_CAPACITY, "count %d", list->count);
    for (int i = 0; i < list->count; ++i) {
        const tSongInfo &e = list->entries[i];
        FUZZ_CHECK(memchr(e.path, '\0', sizeof e.path) != nullptr && memchr(e.title, '\0', sizeof e.title),
                   "entry %d unterminated", i);
        FUZZ_CHECK(e.path[0] != '\0' && e.length >= 0, "entry %d empty or negative", i);
        for (const char *c = e.path; *c; ++c)
            FUZZ_CHECK(static_cast<unsigned char>(*c) >= 0x20, "entry %d holds a control byte", i);
    }
    FUZZ_CHECK(playlist_write_file(list.get(), (dir + "/" + out).c_str()) == 0, "cannot write");
    FUZZ_CHECK(playlist_read_file(again.get(), (dir + "/" + out).c_str()) == 0, "cannot read back");
    FUZZ_CHECK(list->count == again->count, "%d entries written, %d read back", list->count, again->count);
    for (int i = 0; i < list->count; ++i) {
        const tSongInfo &a = list->entries[i], &b = again->entries[i];
        FUZZ_CHECK(strcmp(a.path, b.path) == 0, "entry %d [%s] read back as [%s]", i, a.path, b.path);
        FUZZ_CHECK(a.length == b.length, "entry %d length %d read back as %d", i, a.length, b.length);
        FUZZ_CHECK(strcmp(a.title, b.title) == 0, "entry %d title [%s] read back as [%s]", i, a.title, b.title);
    }
    check_only(dir, {in, out});
    return 0;
}

}  // namespace fuzz
