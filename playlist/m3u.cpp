// Extended M3U as other players write it: "#" lines are directives or comments, and "#EXTINF"
// gives the next entry its length and title; written in the same form.
#include <glib.h>
#include <strings.h>

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "config/savefile.h"
#include "playlist/listfile.h"

namespace {

int32_t whole_seconds(double seconds) {
    if (!(seconds > 0))
        return 0;
    return static_cast<int32_t>(std::fmin(seconds, 1e9));
}

// "#EXTINF:<seconds>[ attributes],<title>": the title follows the first comma outside quotes.
void parse_extinf(char *text, int32_t *length, char *title, size_t size) {
    char *end = nullptr;
    const double seconds = g_ascii_strtod(text, &end);
    *length = end != text && std::isfinite(seconds) ? whole_seconds(seconds) : 0;
    title[0] = '\0';
    bool quoted = false;
    for (char *c = end ? end : text; *c; ++c) {
        if (*c == '"') {
            quoted = !quoted;
        } else if (*c == ',' && !quoted) {
            snprintf(title, size, "%s", c + 1);
            return;
        }
    }
}

// The kept list's directives: a mark for the next entry, and the last three lines.
constexpr char KEPT_SELECTED[] = "#RAVLOX-SELECTED";
constexpr char KEPT_CURRENT[] = "#RAVLOX-CURRENT:";
constexpr char KEPT_POSITION[] = "#RAVLOX-POSITION:";
constexpr char KEPT_ENTRIES[] = "#RAVLOX-ENTRIES:";

bool starts_with(const char *text, const char *prefix) { return strncmp(text, prefix, strlen(prefix)) == 0; }

// A whole non-negative number and nothing else, or -1.
int32_t count_value(const char *text) {
    errno = 0;
    char *end = nullptr;
    const long value = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < 0 || value > INT32_MAX)
        return -1;
    return static_cast<int32_t>(value);
}

// One directive of a kept list; false for one that is not well formed.
bool read_kept_directive(const char *text, tListKept *kept, bool *mark_next) {
    if (strcmp(text, KEPT_SELECTED) == 0) {
        *mark_next = true;
        return true;
    }
    int32_t *field = starts_with(text, KEPT_CURRENT)    ? &kept->current
                     : starts_with(text, KEPT_POSITION) ? &kept->position
                     : starts_with(text, KEPT_ENTRIES)  ? &kept->entries
                                                        : nullptr;
    if (field == nullptr)
        return true; // a comment, or another player's directive
    *field = count_value(strchr(text, ':') + 1);
    return *field >= 0;
}

bool ends_with_m3u8(const char *path) {
    const size_t n = strlen(path);
    return n >= 5 && strcasecmp(path + n - 5, ".m3u8") == 0;
}

struct tM3uWrite {
    const tHandlePlaylist *p;
    int32_t mode;
    char dir[LIST_PATH_SIZE];
    bool has_dir;
    bool mark;
    const tListKept *kept;
    // The working directory, for the kept list: a relative entry means a file under it, and
    // the list is read back from the data directory.
    char cwd[LIST_PATH_SIZE];
};

// The path a kept entry is written with: relative ones made absolute where that fits.
const char *kept_path(const tM3uWrite *w, const char *path) {
    static char joined[LIST_PATH_SIZE];
    if (path[0] == '/' || list_is_stream(path) || w->cwd[0] == '\0')
        return path;
    const int n = snprintf(joined, sizeof joined, "%s/%s", w->cwd, path);
    return n > 0 && static_cast<size_t>(n) < sizeof joined ? joined : path;
}

bool write_entries(FILE *f, const void *context) {
    const tM3uWrite *w = static_cast<const tM3uWrite *>(context);
    if (w->mark)
        fputs("\xEF\xBB\xBF", f);
    fputs("#EXTM3U\n", f);
    static char title[sizeof(tSongInfo::title)];
    const tListKept *kept = w->kept;
    // The current entry among those written: an entry left out moves the later ones up.
    int32_t written = 0;
    int32_t current = -1;
    bool current_written = false;
    for (int32_t i = 0; i < w->p->count; i++) {
        const tSongInfo &e = w->p->entries[i];
        if (list_has_control(e.path)) {
            list_refuse_entry(i, e.path);
            continue;
        }
        if (kept && current < 0 && i >= kept->current) {
            current = written;
            current_written = i == kept->current;
        }
        // The title the list shows: the one it was given, or the file's name. The kept list
        // keeps an entry without one so, and it shows its path again.
        const char *shown = e.title[0] != '\0' || kept ? e.title : playlist_file_name(e.path);
        list_clean_title(shown, title, sizeof title);
        fprintf(f, "#EXTINF:%d,%s\n", e.length > 0 ? e.length : -1, title);
        if (kept && w->p->selected[i] != 0)
            fprintf(f, "%s\n", KEPT_SELECTED);
        const char *path = kept ? kept_path(w, e.path) : e.path;
        const tListPath saved = list_saved_path(path, w->dir, w->mode == 1 && w->has_dir, true);
        if (saved.as_url) {
            fputs("file://", f);
            list_percent_encode(f, saved.text, false);
        } else {
            fputs(saved.text, f);
        }
        if (fputc('\n', f) == EOF)
            return false;
        written++;
    }
    if (kept) {
        fprintf(f, "%s%d\n%s%d\n", KEPT_CURRENT, current >= 0 ? current : 0, KEPT_POSITION,
                current_written && kept->position > 0 ? kept->position : 0);
        fprintf(f, "%s%d\n", KEPT_ENTRIES, written);
    }
    return true;
}

} // namespace

int32_t m3u_read(tHandlePlaylist *p, const char *path, bool replace, tListKept *kept) {
    tListReader r;
    if (!list_open(&r, path, path != nullptr && ends_with_m3u8(path)))
        return RESULT_FAILED;
    if (replace)
        list_replace(p);
    static char raw[LIST_LINE_SIZE];
    static char line[2 * LIST_LINE_SIZE];
    static char title[sizeof(tSongInfo::title)];
    static char entry[LIST_PATH_SIZE];
    int32_t length = 0;
    bool titled = false;
    bool mark_next = false;
    bool header = false;
    int32_t state;
    // A kept list is damaged by anything this reader would leave out or guess at.
    auto damage = [kept] {
        if (kept)
            kept->damaged = true;
    };
    while ((state = list_read_line(&r, raw)) != 0) {
        const char *first = raw + strspn(raw, " \t");
        if (state < 0) {
            damage();
            // A long comment is no loss; a long entry is one refused entry, and its
            // "#EXTINF" goes with it.
            if (first[0] != '#') {
                list_refuse_long(&r);
                titled = false;
            }
            continue;
        }
        list_to_utf8(&r, raw, line, sizeof line);
        char *text = list_trim(line);
        if (text[0] == '\0')
            continue;
        if (!header && strcmp(text, "#EXTM3U") != 0)
            damage();
        header = true;
        if (text[0] == '#') {
            if (strncasecmp(text, "#EXTINF:", 8) == 0) {
                parse_extinf(text + 8, &length, title, sizeof title);
                titled = true;
            } else if (kept && !read_kept_directive(text, kept, &mark_next)) {
                damage();
            }
            continue;
        }
        // Entries after the count of entries: not the list that was written.
        if (kept && kept->entries >= 0)
            damage();
        if (list_resolve(&r, text, r.encoding == LIST_LATIN1 ? list_trim(raw) : nullptr, entry) == 0) {
            const int32_t before = p->count;
            list_append(p, &r, entry, titled ? title : nullptr, titled ? length : 0);
            if (mark_next && p->count > before)
                playlist_toggle_selected(p, before);
        } else {
            damage();
        }
        titled = false;
        mark_next = false;
    }
    if (r.left_out > 0)
        damage();
    list_report(&r);
    list_close(&r);
    return RESULT_OK;
}

int32_t m3u_write(const tHandlePlaylist *p, const char *path, int32_t mode, const tListKept *kept) {
    if (path == nullptr)
        return RESULT_FAILED;
    static tM3uWrite w; // holds a path buffer: off the stack
    w = tM3uWrite{p, mode, {}, false, false, kept, {}};
    if (kept && getcwd(w.cwd, sizeof w.cwd) == nullptr)
        w.cwd[0] = '\0';
    w.has_dir = list_directory(path, w.dir);
    // ".m3u8" is read as UTF-8 in any case; a ".m3u" without a mark would be read as Latin-1.
    w.mark = !ends_with_m3u8(path) && list_needs_mark(p);
    if (save_file_replace(path, 0666, write_entries, &w) != 0) {
        fprintf(stderr, "unable to write [%s]\n", path);
        return RESULT_FAILED;
    }
    return RESULT_OK;
}
