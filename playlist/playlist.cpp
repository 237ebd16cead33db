// The playlist store: a fixed block of entries with selection marks, and M3U files.
#include "playlist/playlist.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cstring>

#include <strings.h>

#include "config/savefile.h"
#include "playlist/listfile.h"

namespace {

constexpr int32_t PATH_SIZE = 1024;
static_assert(sizeof(tSongInfo::path) == PATH_SIZE, "paths are 1024-byte buffers");

// Position permutations live on the stack: no allocation, 64 KB each.
using tPositions = std::array<int32_t, PLAYLIST_CAPACITY>;

void touch(tHandlePlaylist *p) {
    if (p->changed) p->changed(p->changed_context);
}

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

bool ends_in_audio(const char *name, size_t len) {
    size_t dot = len;
    while (dot > 0 && name[dot - 1] != '.') --dot;
    if (dot == 0) return false;
    const size_t n = len - dot;
    for (const char *e : PLAYLIST_AUDIO_SUFFIXES)
        if (strlen(e) == n && strncasecmp(name + dot, e, n) == 0) return true;
    return false;
}

void append_path(tHandlePlaylist *p, const char *path) {
    tSongInfo *e = &p->entries[p->count];
    memset(e, 0, sizeof *e);
    size_t n = strnlen(path, sizeof e->path - 1);
    memcpy(e->path, path, n);  // the rest of the record is already zero
    p->selected[p->count] = 0;
    p->count++;
    touch(p);
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
    const tPlaylistChanged changed = p->changed;
    void *changed_context = p->changed_context;
    memset(p, 0, sizeof *p);
    p->options = options;
    p->changed = changed;
    p->changed_context = changed_context;
    touch(p);
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
        touch(p);
    }
    return RESULT_OK;
}

namespace {

enum tFound { FOUND_OTHER, FOUND_SONG, FOUND_FOLDER };

// What an entry of a folder is. Links and file systems that do not give entry types
// (DT_UNKNOWN) are asked with stat, which follows links.
tFound kind_of(const char *folder, const struct dirent *de, char (&path)[PATH_SIZE], bool *fits) {
    const int n = snprintf(path, sizeof path, "%s/%s", folder, de->d_name);
    *fits = n > 0 && static_cast<size_t>(n) < sizeof path;
    const size_t len = strlen(de->d_name);
    const bool song_name = len >= 4 && len <= 1022 && ends_in_audio(de->d_name, len);
    int type = DT_UNKNOWN;
#ifdef DT_REG
    type = de->d_type;
#endif
    if (type == DT_UNKNOWN || type == DT_LNK) {
        struct stat info;
        if (!*fits || stat(path, &info) != 0) return FOUND_OTHER;
        type = S_ISREG(info.st_mode) ? DT_REG : S_ISDIR(info.st_mode) ? DT_DIR : DT_UNKNOWN;
    }
    if (type == DT_REG) return song_name ? FOUND_SONG : FOUND_OTHER;
    return type == DT_DIR ? FOUND_FOLDER : FOUND_OTHER;
}

// The first versions' way: the folder's own songs in the order the system lists them.
void add_flat(tHandlePlaylist *p, const char *directory) {
    DIR *dir = opendir(directory);
    if (dir == nullptr) return;
    char path[PATH_SIZE];
    bool fits;
    while (const struct dirent *de = readdir(dir)) {
        if (p->count >= PLAYLIST_CAPACITY) continue;
        if (kind_of(directory, de, path, &fits) == FOUND_SONG) append_path(p, path);
    }
    closedir(dir);
}

// "2" before "10": runs of digits compare by their value, the rest without regard to case,
// and names that differ only there by their bytes.
int natural_compare(const char *a, const char *b) {
    const char *x = a, *y = b;
    while (*x && *y) {
        if (isdigit(static_cast<unsigned char>(*x)) && isdigit(static_cast<unsigned char>(*y))) {
            while (*x == '0') x++;
            while (*y == '0') y++;
            size_t nx = 0, ny = 0;
            while (isdigit(static_cast<unsigned char>(x[nx]))) nx++;
            while (isdigit(static_cast<unsigned char>(y[ny]))) ny++;
            if (nx != ny) return nx < ny ? -1 : 1;
            if (int c = strncmp(x, y, nx)) return c;
            x += nx;
            y += ny;
            continue;
        }
        const int cx = tolower(static_cast<unsigned char>(*x)), cy = tolower(static_cast<unsigned char>(*y));
        if (cx != cy) return cx < cy ? -1 : 1;
        x++;
        y++;
    }
    if (*x || *y) return *x ? 1 : -1;
    return strcmp(a, b);
}

// The names of the folders being read, one level above the other, in one fixed pool: adding a
// folder allocates nothing.
constexpr int32_t FOLDER_DEPTH = 16;
constexpr size_t NAME_POOL = 4u << 20;
constexpr int32_t NAME_SLOTS = 65536;
constexpr int32_t FOLDERS_SEEN = 4096;

struct tFolderScan {
    char pool[NAME_POOL];
    size_t pool_used;
    int32_t names[NAME_SLOTS];  // offsets into the pool
    int32_t name_count;
    struct {
        dev_t dev;
        ino_t ino;
    } seen[FOLDERS_SEEN];  // every folder read in this scan, so a link back is not read again
    int32_t seen_count;
    bool said_full;
    char paths[FOLDER_DEPTH][PATH_SIZE];  // the path of an entry, per level
    struct dirent entry;                   // what kind_of needs: the name and the type
};

bool first_visit(tFolderScan *s, const char *path) {
    struct stat info;
    if (stat(path, &info) != 0) return false;
    for (int32_t k = 0; k < s->seen_count; k++)
        if (s->seen[k].dev == info.st_dev && s->seen[k].ino == info.st_ino) return false;
    if (s->seen_count == FOLDERS_SEEN) return false;
    s->seen[s->seen_count].dev = info.st_dev;
    s->seen[s->seen_count].ino = info.st_ino;
    s->seen_count++;
    return true;
}

void add_tree(tHandlePlaylist *p, tFolderScan *s, const char *directory, int32_t depth) {
    if (depth >= FOLDER_DEPTH || p->count >= PLAYLIST_CAPACITY || !first_visit(s, directory)) return;
    DIR *dir = opendir(directory);
    if (dir == nullptr) return;
    // This level's names go above the levels that are still being added.
    const size_t pool_base = s->pool_used;
    const int32_t first = s->name_count;
    bool dropped = false;
    while (const struct dirent *de = readdir(dir)) {
        if (strcmp(de->d_name, ".") == 0 || strcmp(de->d_name, "..") == 0) continue;
        // Each name after a byte that keeps the entry's type.
        const size_t len = strlen(de->d_name) + 1;
        if (s->name_count == NAME_SLOTS || s->pool_used + len + 1 > NAME_POOL) {
            dropped = true;
            continue;
        }
#ifdef DT_REG
        s->pool[s->pool_used] = static_cast<char>(de->d_type);
#else
        s->pool[s->pool_used] = 0;
#endif
        memcpy(s->pool + s->pool_used + 1, de->d_name, len);
        s->names[s->name_count++] = static_cast<int32_t>(s->pool_used);
        s->pool_used += len + 1;
    }
    closedir(dir);
    if (dropped) fprintf(stderr, "too many names in [%s]: some were left out\n", directory);
    const char *pool = s->pool;
    std::sort(s->names + first, s->names + s->name_count,
              [pool](int32_t a, int32_t b) { return natural_compare(pool + a + 1, pool + b + 1) < 0; });
    const int32_t last = s->name_count;
    char(&path)[PATH_SIZE] = s->paths[depth];
    for (int32_t k = first; k < last && p->count < PLAYLIST_CAPACITY; k++) {
        struct dirent &entry = s->entry;
        snprintf(entry.d_name, sizeof entry.d_name, "%s", pool + s->names[k] + 1);
#ifdef DT_REG
        entry.d_type = static_cast<unsigned char>(pool[s->names[k]]);
#endif
        bool fits;
        switch (kind_of(directory, &entry, path, &fits)) {
        case FOUND_SONG:
            append_path(p, path);
            break;
        case FOUND_FOLDER:
            // Hidden folders (a trash, a program's own) are not music.
            if (fits && entry.d_name[0] != '.') add_tree(p, s, path, depth + 1);
            break;
        case FOUND_OTHER:
            break;
        }
    }
    if (p->count >= PLAYLIST_CAPACITY && !s->said_full) {
        s->said_full = true;
        fprintf(stderr, "the list is full: files of [%s] were left out\n", directory);
    }
    s->name_count = first;
    s->pool_used = pool_base;
}

}  // namespace

int32_t playlist_add_directory(tHandlePlaylist *p, const char *directory) {
    if (directory == nullptr) return RESULT_OK;
    if (p->options & PLAYLIST_FOLDERS_FLAT) {
        add_flat(p, directory);
        return RESULT_OK;
    }
    static tFolderScan scan;  // main thread only; 4 MB of names
    scan.pool_used = 0;
    scan.name_count = 0;
    scan.seen_count = 0;
    scan.said_full = false;
    add_tree(p, &scan, directory, 0);
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
    touch(p);
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

int32_t playlist_write_kept(const tHandlePlaylist *p, const char *path, int32_t position) {
    tListKept kept{p->current, position, 0, false};
    return m3u_write(p, path, 0, &kept);
}

int32_t playlist_read_kept(tHandlePlaylist *p, const char *path, int32_t *position) {
    if (path == nullptr) return RESULT_FAILED;
    tListKept kept{0, 0, -1, false};
    if (m3u_read(p, path, true, &kept) != RESULT_OK) {
        struct stat info;
        return lstat(path, &info) == 0 ? PLAYLIST_DAMAGED : RESULT_FAILED;
    }
    if (kept.damaged || kept.entries != p->count) {
        playlist_clear(p);
        return PLAYLIST_DAMAGED;
    }
    p->current = kept.current >= 0 && kept.current < p->count ? kept.current : 0;
    if (position != nullptr) *position = kept.position > 0 ? kept.position : 0;
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
    if (p->current == index) return RESULT_OK;
    p->current = index;
    touch(p);
    return RESULT_OK;
}

int32_t playlist_set_title(tHandlePlaylist *p, int32_t index, const char *title) {
    if (index < 0 || index >= p->count || title == nullptr)
        return RESULT_FAILED;
    tSongInfo &e = p->entries[index];
    e.tags_read = 1;
    const size_t n = strnlen(title, sizeof e.title - 1);
    // The same title again (the usual case once a kept list is back) is no change.
    if (n == 0 || (strncmp(e.title, title, n) == 0 && e.title[n] == '\0')) return RESULT_OK;
    // Zero after the terminator, as every text of an entry is kept.
    memset(e.title, 0, sizeof e.title);
    memcpy(e.title, title, n);
    touch(p);
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
    touch(p);
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
    touch(p);
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
    touch(p);
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
    touch(p);
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
    if (removed > 0) touch(p);
    return RESULT_OK;
}

int32_t playlist_remove_first(tHandlePlaylist *p, int32_t n) {
    if (n < 0 || n > p->count) return RESULT_FAILED;
    const int32_t kept = p->count - n;
    for (int32_t i = 0; i < kept; i++) {
        move_entry(&p->entries[i], &p->entries[n + i]);
        p->selected[i] = p->selected[n + i];
    }
    for (int32_t i = kept; i < p->count; i++) p->selected[i] = 0;
    p->count = kept;
    p->current = p->current > n ? p->current - n : 0;
    touch(p);
    return RESULT_OK;
}

int32_t playlist_toggle_selected(tHandlePlaylist *p, int32_t index) {
    if (index >= 0 && index < p->count) {
        p->selected[index] = static_cast<uint8_t>(1 - p->selected[index]);
        touch(p);
    }
    return RESULT_OK;
}

int32_t playlist_select(tHandlePlaylist *p, int32_t mode) {
    switch (mode) {
    case PLAYLIST_SELECT_ALL:
        memset(p->selected, 1, p->count);
        break;
    case PLAYLIST_SELECT_NONE:
        memset(p->selected, 0, p->count);
        break;
    case PLAYLIST_SELECT_INVERT:
        for (int32_t i = 0; i < p->count; i++) p->selected[i] = static_cast<uint8_t>(1 - p->selected[i]);
        break;
    default:
        return RESULT_FAILED;
    }
    touch(p);
    return RESULT_OK;
}
