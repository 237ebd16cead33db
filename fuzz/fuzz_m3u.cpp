// The M3U readers: a file's bytes become a playlist of at most 16384 entries, which is written
// back in both modes and read again: the same entries, in the same order. Read as other
// players write M3U, every entry is a path without control bytes, and titles and lengths come
// back too; read every line a path, written as bare paths.
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "playlist/playlist.h"

namespace {

void check_same(const tHandlePlaylist &a, const tHandlePlaylist &b, int mode) {
    FUZZ_CHECK(a.count == b.count, "mode %d: %d entries written, %d read back", mode, a.count, b.count);
    for (int i = 0; i < a.count; ++i)
        FUZZ_CHECK(strncmp(a.entries[i].path, b.entries[i].path, sizeof a.entries[i].path) == 0,
                   "mode %d: entry %d [%.1024s] read back as [%.1024s]", mode, i, a.entries[i].path,
                   b.entries[i].path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Two stores of 21 MB each: made once.
    static std::unique_ptr<tHandlePlaylist> list(new tHandlePlaylist{});
    static std::unique_ptr<tHandlePlaylist> again(new tHandlePlaylist{});
    const std::string dir = fuzz::data_dir();
    const std::string path = dir + "/list.m3u";
    const std::string saved = dir + "/saved.m3u";
    fuzz::FdGuard fds;
    if (!fuzz::write_file(path, data, size)) return 0;

    list->options = 0;
    FUZZ_CHECK(playlist_read_m3u(list.get(), path.c_str()) == 0, "cannot read");
    for (int i = 0; i < list->count; ++i) {
        const tSongInfo &e = list->entries[i];
        FUZZ_CHECK(memchr(e.path, '\0', sizeof e.path) != nullptr, "entry %d unterminated", i);
        FUZZ_CHECK(memchr(e.title, '\0', sizeof e.title) != nullptr, "title %d unterminated", i);
        FUZZ_CHECK(e.path[0] != '\0' && e.length >= 0, "entry %d empty or negative", i);
        for (const char *c = e.path; *c; ++c)
            FUZZ_CHECK(static_cast<unsigned char>(*c) >= 0x20, "entry %d holds a control byte", i);
    }
    again->options = 0;
    for (int mode = 0; mode <= 1; ++mode) {
        FUZZ_CHECK(playlist_write_m3u(list.get(), saved.c_str(), mode) == 0, "cannot write");
        FUZZ_CHECK(playlist_read_m3u(again.get(), saved.c_str()) == 0, "cannot read back");
        check_same(*list, *again, mode);
        for (int i = 0; i < list->count; ++i) {
            const tSongInfo &a = list->entries[i], &b = again->entries[i];
            FUZZ_CHECK(a.length == b.length, "mode %d: entry %d length %d read back as %d", mode, i, a.length,
                       b.length);
            FUZZ_CHECK(a.title[0] == '\0' || strcmp(a.title, b.title) == 0,
                       "mode %d: entry %d title [%s] read back as [%s]", mode, i, a.title, b.title);
        }
    }

    list->options = again->options = PLAYLIST_READ_PLAIN | PLAYLIST_SAVE_PLAIN;
    FUZZ_CHECK(playlist_read_m3u(list.get(), path.c_str()) == 0, "cannot read");
    FUZZ_CHECK(list->count >= 0 && list->count <= PLAYLIST_CAPACITY, "count %d", list->count);
    FUZZ_CHECK(list->current == 0, "current %d", list->current);
    for (int i = 0; i < list->count; ++i) {
        const tSongInfo &e = list->entries[i];
        FUZZ_CHECK(memchr(e.path, '\0', sizeof e.path) != nullptr, "entry %d unterminated", i);
        FUZZ_CHECK(e.path[0] != '\0', "entry %d empty", i);
        FUZZ_CHECK(list->selected[i] == 0, "entry %d marked", i);
    }
    for (int mode = 0; mode <= 1; ++mode) {
        FUZZ_CHECK(playlist_write_m3u(list.get(), saved.c_str(), mode) == 0, "cannot write");
        FUZZ_CHECK(playlist_read_m3u(again.get(), saved.c_str()) == 0, "cannot read back");
        check_same(*list, *again, mode);
    }
    fuzz::check_only(dir, {"list.m3u", "saved.m3u"});
    return 0;
}
