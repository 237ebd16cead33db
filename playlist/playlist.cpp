// The playlist store: a fixed block of entries with selection marks, and M3U files.
#include "playlist/playlist.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <strings.h>

#include "config/savefile.h"
#include "playlist/listfile.h"

namespace {

constexpr int32_t PATH_SIZE = 1024;
static_assert(sizeof(tSongInfo::path) == PATH_SIZE, "paths are 1024-byte buffers");

// Position permutations live on the stack: no allocation, 64 KB each.
using tPositions = std::array<int32_t, PLAYLIST_CAPACITY>;

bool any_selected(const tHandlePlaylist *p) {
    for (int32_t i = 0; i < p->count; i++) {
        if (p->selected[i] != 0) return true;
    }
    return false;
}

// Text fields of an entry are kept zero after their terminator (every way in makes
// them so), so an entry moves with the bytes its texts use rather than all 1.3 KB,
// and the result is byte for byte that of copying the whole record.
constexpr size_t TEXT_END = offsetof(tSongInfo, title) + sizeof(tSongInfo::title);
static_assert(offsetof(tSongInfo, path) == 0 && offsetof(tSongInfo, title) == sizeof(tSongInfo::path));

void move_text(char *dst, const char *src, size_t size) {
    size_t n = strnlen(src, size - 1);
    size_t old = strnlen(dst, size - 1);
    memcpy(dst, src, n);
    if (old > n) memset(dst + n, 0, old - n);
    dst[n] = '\0';
}

void move_entry(tSongInfo *dst, const tSongInfo *src) {
    move_text(dst->path, src->path, sizeof dst->path);
    move_text(dst->title, src->title, sizeof dst->title);
    memcpy(reinterpret_cast<char *>(dst) + TEXT_END, reinterpret_cast<const char *>(src) + TEXT_END,
           sizeof(tSongInfo) - TEXT_END);
}

void clear_after_terminator(char *text, size_t size) {
    size_t n = strnlen(text, size - 1);
    memset(text + n, 0, size - n);
}

// Rearranges the entries so that position i receives the entry that was at source[i].
// Each entry moves once (plus one per cycle), instead of once per exchange.
// Marks stay with their positions. source is consumed.
void apply_permutation(tHandlePlaylist *p, int32_t *source) {
    static tSongInfo hold;  // main thread only; keeps 1.3 KB off the stack
    for (int32_t start = 0; start < p->count; start++) {
        if (source[start] == start) continue;
        move_entry(&hold, &p->entries[start]);
        int32_t j = start;
        for (;;) {
            int32_t k = source[j];
            source[j] = j;
            if (k == start) {
                move_entry(&p->entries[j], &hold);
                break;
            }
            move_entry(&p->entries[j], &p->entries[k]);
            j = k;
        }
    }
}

bool ends_in_mp3(const char *name, size_t len) {
    if (len < 4) return false;
    const char *e = name + len - 4;
    return e[0] == '.' && (e[1] == 'm' || e[1] == 'M') && (e[2] == 'p' || e[2] == 'P') && e[3] == '3';
}

void append_path(tHandlePlaylist *p, const char *path) {
    tSongInfo *e = &p->entries[p->count];
    memset(e, 0, sizeof *e);
    size_t n = strnlen(path, sizeof e->path - 1);
    memcpy(e->path, path, n);  // the rest of the record is already zero
    p->selected[p->count] = 0;
    p->count++;
}

struct tM3uWrite {
    const tHandlePlaylist *p;
    int32_t mode;
    char dir[PATH_SIZE];
    bool has_dir;
};

bool write_lines(FILE *f, const void *context) {
    const tM3uWrite *w = static_cast<const tM3uWrite *>(context);
    const size_t dir_len = strlen(w->dir);
    for (int32_t i = 0; i < w->p->count; i++) {
        const char *e = w->p->entries[i].path;
        // A newline in a name would be written as two entries.
        if (list_has_control(e)) {
            list_refuse_entry(i, e);
            continue;
        }
        if (w->mode == 0 && e[0] != '/' && w->has_dir) {
            fputs(w->dir, f);
            fputc('/', f);
            fputs(e, f);
        } else if (w->mode == 1 && w->has_dir && e[0] == '/' && strncmp(e, w->dir, dir_len) == 0 &&
                   e[dir_len] == '/' && e[dir_len + 1] != '\0' && e[dir_len + 1] != '/') {
            // A rest that began with a slash would read back as a different, absolute path.
            fputs(e + dir_len + 1, f);
        } else {
            fputs(e, f);
        }
        if (fputc('\n', f) == EOF) return false;
    }
    return true;
}

}  // namespace

int32_t playlist_init(tHandlePlaylist *p) {
    memset(p, 0, sizeof *p);
    return RESULT_OK;
}

int32_t playlist_clear(tHandlePlaylist *p) {
    const int32_t options = p->options;
    memset(p, 0, sizeof *p);
    p->options = options;
    return RESULT_OK;
}

int32_t playlist_add(tHandlePlaylist *p, const tSongInfo *entry) {
    if (entry == nullptr) return RESULT_FAILED;
    if (p->count < PLAYLIST_CAPACITY) {
        tSongInfo *e = &p->entries[p->count];
        memcpy(e, entry, sizeof *entry);
        // Terminates a caller's unterminated texts and clears what follows them.
        clear_after_terminator(e->path, sizeof e->path);
        clear_after_terminator(e->title, sizeof e->title);
        p->selected[p->count] = 0;
        p->count++;
    }
    return RESULT_OK;
}

int32_t playlist_add_directory(tHandlePlaylist *p, const char *directory) {
    if (directory == nullptr) return RESULT_OK;
    DIR *dir = opendir(directory);
    if (dir == nullptr) return RESULT_OK;
    char path[PATH_SIZE];
    while (const struct dirent *de = readdir(dir)) {
#ifdef DT_REG
        if (de->d_type != DT_REG) continue;
#else
        continue;  // without entry types nothing can be told to be a regular file
#endif
        size_t len = strlen(de->d_name);
        if (len < 4 || len > 1022 || !ends_in_mp3(de->d_name, len)) continue;
        if (p->count >= PLAYLIST_CAPACITY) continue;
        snprintf(path, sizeof path, "%s/%s", directory, de->d_name);
        append_path(p, path);
    }
    closedir(dir);
    return RESULT_OK;
}

namespace {

// Every line a path, as the first versions read M3U files; with `replace` the old entries go
// first, once the file has opened.
int32_t read_plain_m3u(tHandlePlaylist *p, const char *path, bool replace) {
    if (path == nullptr) return RESULT_FAILED;
    char dir[PATH_SIZE];
    bool has_dir = list_directory(path, dir);
    FILE *f = list_open_file(path);
    if (f == nullptr) return RESULT_FAILED;
    if (replace) {
        p->count = 0;
        p->current = 0;
    }
    char piece[PATH_SIZE];
    char joined[2 * PATH_SIZE];
    while (fgets(piece, sizeof piece, f) != nullptr) {
        // Bytes of 0x80 and above are part of the path; only control bytes end it.
        size_t n = 0;
        while (static_cast<unsigned char>(piece[n]) >= 0x20) n++;
        piece[n] = '\0';
        if (n == 0) continue;
        if (p->count >= PLAYLIST_CAPACITY) continue;
        const char *entry = piece;
        if (piece[0] != '/' && has_dir) {
            snprintf(joined, sizeof joined, "%s/%s", dir, piece);
            entry = joined;
        }
        append_path(p, entry);
    }
    fclose(f);
    return RESULT_OK;
}

int32_t read_m3u(tHandlePlaylist *p, const char *path, bool replace) {
    if (p->options & PLAYLIST_READ_PLAIN) return read_plain_m3u(p, path, replace);
    return m3u_read(p, path, replace);
}

bool has_extension(const char *path, const char *extension) {
    const size_t n = strlen(path);
    const size_t e = strlen(extension);
    return n > e && strcasecmp(path + n - e, extension) == 0;
}

int32_t read_file(tHandlePlaylist *p, const char *path, bool replace) {
    if (path == nullptr) return RESULT_FAILED;
    if (has_extension(path, ".pls")) return pls_read(p, path, replace);
    if (has_extension(path, ".xspf")) return xspf_read(p, path, replace);
    return read_m3u(p, path, replace);
}

}  // namespace

void list_replace(tHandlePlaylist *p) {
    p->count = 0;
    p->current = 0;
}

int32_t playlist_read_m3u(tHandlePlaylist *p, const char *path) { return read_m3u(p, path, true); }

int32_t playlist_add_m3u(tHandlePlaylist *p, const char *path) { return read_m3u(p, path, false); }

int32_t playlist_read_file(tHandlePlaylist *p, const char *path) { return read_file(p, path, true); }

int32_t playlist_add_file(tHandlePlaylist *p, const char *path) { return read_file(p, path, false); }

int32_t playlist_write_file(tHandlePlaylist *p, const char *path) {
    if (path == nullptr) return RESULT_FAILED;
    if (has_extension(path, ".pls")) return pls_write(p, path);
    if (has_extension(path, ".xspf")) return xspf_write(p, path);
    return playlist_write_m3u(p, path, 1);
}

bool playlist_is_list_file(const char *path) {
    return has_extension(path, ".m3u") || has_extension(path, ".m3u8") || has_extension(path, ".pls") ||
           has_extension(path, ".xspf");
}

bool playlist_is_stream(const char *path) { return list_is_stream(path); }

const char *playlist_file_name(const char *path) {
    const size_t n = strlen(path);
    if (n < 2) return path;
    for (size_t i = n - 1; i-- > 0;)
        if (path[i] == '/') return path + i + 1;
    return path;
}

int32_t playlist_write_m3u(tHandlePlaylist *p, const char *path, int32_t mode) {
    if (path == nullptr) return RESULT_FAILED;
    if ((p->options & PLAYLIST_SAVE_PLAIN) == 0) return m3u_write(p, path, mode);
    tM3uWrite w{p, mode, {}, false};
    w.has_dir = list_directory(path, w.dir);
    // The old playlist stays until the new one is complete.
    if (save_file_replace(path, 0666, write_lines, &w) != 0) {
        fprintf(stderr, "unable to write [%s]\n", path);
        return RESULT_FAILED;
    }
    return RESULT_OK;
}

int32_t playlist_parse_option(tHandlePlaylist *p, const char *arg) {
    static constexpr char PREFIX[] = "--playlist.m3u=";
    constexpr size_t PREFIX_LEN = sizeof PREFIX - 1;
    static_assert(PREFIX_LEN == 15);
    if (arg == nullptr || strlen(arg) < 16 || strncmp(arg, PREFIX, PREFIX_LEN) != 0) return RESULT_UNKNOWN_OPTION;
    return playlist_read_file(p, arg + PREFIX_LEN);
}

int32_t playlist_get_position(tHandlePlaylist *p, int32_t *count, int32_t *current) {
    if (count != nullptr) *count = p->count;
    if (current != nullptr) *current = p->current;
    return RESULT_OK;
}

int32_t playlist_set_current(tHandlePlaylist *p, int32_t index) {
    p->current = index;
    return RESULT_OK;
}

int32_t playlist_set_title(tHandlePlaylist *p, int32_t index, const char *title) {
    if (index < 0 || index >= p->count || title == nullptr)
        return RESULT_FAILED;
    tSongInfo &e = p->entries[index];
    e.tags_read = 1;
    if (title[0] == '\0') return RESULT_OK;
    // Zero after the terminator, as every text of an entry is kept.
    memset(e.title, 0, sizeof e.title);
    memcpy(e.title, title, strnlen(title, sizeof e.title - 1));
    return RESULT_OK;
}

int32_t playlist_get_entry(tHandlePlaylist *p, int32_t index, tSongInfo *entry, uint8_t *mark) {
    if (index < 0 || index >= p->count) {
        if (entry != nullptr) memset(entry, 0, sizeof *entry);
        return RESULT_FAILED;
    }
    if (entry != nullptr) memcpy(entry, &p->entries[index], sizeof *entry);
    if (mark != nullptr) *mark = p->selected[index];
    return RESULT_OK;
}

int32_t playlist_sort_by_filename(tHandlePlaylist *p) {
    if (p->count <= 1) return RESULT_OK;
    // Entries whose paths compare equal are indistinguishable, so any ascending order
    // of the working set by strcmp is the exchange sort's result.
    bool all = !any_selected(p);
    tPositions work;
    int32_t n = 0;
    for (int32_t i = 0; i < p->count; i++) {
        if (all || p->selected[i] != 0) work[n++] = i;
    }
    tPositions order;
    std::copy(work.begin(), work.begin() + n, order.begin());
    const tSongInfo *e = p->entries;
    std::sort(order.begin(), order.begin() + n,
              [e](int32_t a, int32_t b) { return strcmp(e[a].path, e[b].path) < 0; });
    tPositions source;
    for (int32_t i = 0; i < p->count; i++) source[i] = i;
    for (int32_t k = 0; k < n; k++) source[work[k]] = order[k];
    apply_permutation(p, source.data());
    return RESULT_OK;
}

int32_t playlist_sort_randomize(tHandlePlaylist *p) {
    if (p->count == 0) return RESULT_OK;
    // The exchanges are played out on positions first, drawing exactly as the
    // record-by-record shuffle would; the records then move once.
    bool all = !any_selected(p);
    tPositions source;
    for (int32_t i = 0; i < p->count; i++) source[i] = i;
    for (int32_t a = 0; a < p->count; a++) {
        if (!all && p->selected[a] == 0) continue;
        int32_t b;
        do {
            b = rand() % p->count;
        } while (!all && p->selected[b] == 0);
        std::swap(source[a], source[b]);
    }
    apply_permutation(p, source.data());
    return RESULT_OK;
}

int32_t playlist_sort_reverse(tHandlePlaylist *p) {
    if (p->count <= 1) return RESULT_OK;
    bool all = !any_selected(p);
    tPositions source;
    for (int32_t i = 0; i < p->count; i++) source[i] = i;
    int32_t lo = 0;
    int32_t hi = p->count - 1;
    while (lo < hi) {
        bool in_lo = all || p->selected[lo] != 0;
        bool in_hi = all || p->selected[hi] != 0;
        if (in_lo && in_hi) {
            std::swap(source[lo], source[hi]);
            lo++;
            hi--;
        } else if (in_lo) {
            hi--;
        } else if (in_hi) {
            lo++;
        } else {
            lo++;
            hi--;
        }
    }
    apply_permutation(p, source.data());
    return RESULT_OK;
}

int32_t playlist_remove(tHandlePlaylist *p, int32_t index) {
    if (index < 0 || index >= p->count) return RESULT_FAILED;
    p->count--;
    int32_t tail = p->count - index;
    if (tail > 0) {
        memmove(&p->entries[index], &p->entries[index + 1], sizeof(tSongInfo) * tail);
        memmove(&p->selected[index], &p->selected[index + 1], tail);
    }
    p->selected[p->count] = 0;
    if (p->current > index) p->current--;
    return RESULT_OK;
}

int32_t playlist_remove_selected(tHandlePlaylist *p) {
    // One pass: the kept entries close up, and `current` follows the same rule as when
    // the selected entries are removed one at a time from the front.
    int32_t kept = 0;
    int32_t removed = 0;
    int32_t current = p->current;
    for (int32_t r = 0; r < p->count; r++) {
        if (p->selected[r] != 0) {
            if (current > r - removed) current--;
            removed++;
            continue;
        }
        if (kept != r) {
            move_entry(&p->entries[kept], &p->entries[r]);
            p->selected[kept] = p->selected[r];
        }
        kept++;
    }
    for (int32_t i = kept; i < p->count; i++) p->selected[i] = 0;
    p->count = kept;
    p->current = current;
    return RESULT_OK;
}

int32_t playlist_toggle_selected(tHandlePlaylist *p, int32_t index) {
    if (index >= 0 && index < p->count) p->selected[index] = static_cast<uint8_t>(1 - p->selected[index]);
    return RESULT_OK;
}

int32_t playlist_select(tHandlePlaylist *p, int32_t mode) {
    switch (mode) {
    case PLAYLIST_SELECT_ALL:
        memset(p->selected, 1, p->count);
        return RESULT_OK;
    case PLAYLIST_SELECT_NONE:
        memset(p->selected, 0, p->count);
        return RESULT_OK;
    case PLAYLIST_SELECT_INVERT:
        for (int32_t i = 0; i < p->count; i++) p->selected[i] = static_cast<uint8_t>(1 - p->selected[i]);
        return RESULT_OK;
    default:
        return RESULT_FAILED;
    }
}
