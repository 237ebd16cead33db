// PLS playlists: "[playlist]", then FileN, TitleN and LengthN for each entry N, and
// NumberOfEntries.
#include <glib.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "config/savefile.h"
#include "playlist/listfile.h"

namespace {

// The entry number of a key such as "File12" (0 when the key is not `name` and a number).
int32_t entry_number(const char *key, size_t key_len, const char *name) {
    const size_t n = strlen(name);
    if (key_len <= n || strncasecmp(key, name, n) != 0)
        return 0;
    int32_t number = 0;
    for (size_t k = n; k < key_len; ++k) {
        if (key[k] < '0' || key[k] > '9' || number > 100000000)
            return 0;
        number = number * 10 + (key[k] - '0');
    }
    return number;
}

struct tPlsWrite {
    const tHandlePlaylist *p;
    char dir[LIST_PATH_SIZE];
    bool has_dir;
    bool mark;
};

bool write_entries(FILE *f, const void *context) {
    const tPlsWrite *w = static_cast<const tPlsWrite *>(context);
    if (w->mark)
        fputs("\xEF\xBB\xBF", f);
    fputs("[playlist]\n", f);
    static char title[sizeof(tSongInfo::title)];
    int32_t n = 0;
    for (int32_t i = 0; i < w->p->count; i++) {
        const tSongInfo &e = w->p->entries[i];
        if (list_has_control(e.path)) {
            list_refuse_entry(i, e.path);
            continue;
        }
        ++n;
        const tListPath saved = list_saved_path(e.path, w->dir, w->has_dir, false);
        fprintf(f, "File%d=%s", n, saved.as_url ? "file://" : "");
        if (saved.as_url)
            list_percent_encode(f, saved.text, false);
        else
            fputs(saved.text, f);
        fputc('\n', f);
        if (e.title[0] != '\0') {
            list_clean_title(e.title, title, sizeof title);
            fprintf(f, "Title%d=%s\n", n, title);
        }
        fprintf(f, "Length%d=%d\n", n, e.length > 0 ? e.length : -1);
    }
    fprintf(f, "NumberOfEntries=%d\nVersion=2\n", n);
    return !ferror(f);
}

// The line in UTF-8, split at its first "=": the key's length, or -1 for a line without one.
long split_line(const tListReader *r, const char *raw, char (&line)[2 * LIST_LINE_SIZE], char **key, char **equals) {
    list_to_utf8(r, raw, line, sizeof line);
    *key = list_trim(line);
    *equals = strchr(*key, '=');
    return *equals == nullptr ? -1 : static_cast<long>(list_trim_end(*key, *equals));
}

} // namespace

int32_t pls_read(tHandlePlaylist *p, const char *path, bool replace) {
    tListReader r;
    if (!list_open(&r, path, false))
        return RESULT_FAILED;
    if (replace)
        list_replace(p);
    // The number of each entry added, by position from the first one added.
    static int32_t numbers[PLAYLIST_CAPACITY];
    static char raw[LIST_LINE_SIZE];
    static char line[2 * LIST_LINE_SIZE];
    static char entry[LIST_PATH_SIZE];
    const int32_t first = p->count;
    int32_t state;
    // Files first, in the order the file lists them; then their titles and lengths.
    while ((state = list_read_line(&r, raw)) != 0) {
        if (state < 0) {
            list_refuse_long(&r);
            continue;
        }
        char *text, *equals;
        const long key_len = split_line(&r, raw, line, &text, &equals);
        if (key_len < 0)
            continue;
        const int32_t number = entry_number(text, static_cast<size_t>(key_len), "File");
        if (number == 0)
            continue;
        char *raw_value = strchr(raw, '=');
        const bool latin1 = r.encoding == LIST_LATIN1 && raw_value != nullptr;
        const int32_t before = p->count;
        if (list_resolve(&r, list_trim(equals + 1), latin1 ? list_trim(raw_value + 1) : nullptr, entry) == 0) {
            list_append(p, &r, entry, nullptr, 0);
            if (p->count > before)
                numbers[before - first] = number;
        }
    }
    const int32_t added = p->count - first;
    list_rewind(&r);
    int32_t hint = 0;
    while ((state = list_read_line(&r, raw)) != 0) {
        if (state < 0)
            continue;
        char *text, *equals;
        const long key_len = split_line(&r, raw, line, &text, &equals);
        if (key_len < 0)
            continue;
        const int32_t title = entry_number(text, static_cast<size_t>(key_len), "Title");
        const int32_t length = entry_number(text, static_cast<size_t>(key_len), "Length");
        const int32_t number = title ? title : length;
        if (number == 0 || added == 0)
            continue;
        // Entries are nearly always numbered in order: look next to the last one found first.
        int32_t k = 0;
        for (; k < added; ++k) {
            const int32_t at = (hint + k) % added;
            if (numbers[at] == number) {
                hint = at;
                break;
            }
        }
        if (k == added)
            continue;
        tSongInfo &e = p->entries[first + hint];
        const char *value = list_trim(equals + 1);
        if (title) {
            list_copy_title(e.title, value);
        } else {
            const long seconds = strtol(value, nullptr, 10);
            e.length = seconds > 0 && seconds < 1000000000L ? static_cast<int32_t>(seconds) : 0;
        }
    }
    list_report(&r);
    list_close(&r);
    return RESULT_OK;
}

int32_t pls_write(const tHandlePlaylist *p, const char *path) {
    if (path == nullptr)
        return RESULT_FAILED;
    static tPlsWrite w;
    w = tPlsWrite{p, {}, false, false};
    w.has_dir = list_directory(path, w.dir);
    w.mark = list_needs_mark(p);
    if (save_file_replace(path, 0666, write_entries, &w) != 0) {
        fprintf(stderr, "unable to write [%s]\n", path);
        return RESULT_FAILED;
    }
    return RESULT_OK;
}
