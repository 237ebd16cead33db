// Extended M3U as other players write it: "#" lines are directives or comments, and "#EXTINF"
// gives the next entry its length and title; written in the same form.
#include <glib.h>
#include <strings.h>

#include <cmath>
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
};

bool write_entries(FILE *f, const void *context) {
    const tM3uWrite *w = static_cast<const tM3uWrite *>(context);
    if (w->mark)
        fputs("\xEF\xBB\xBF", f);
    fputs("#EXTM3U\n", f);
    static char title[sizeof(tSongInfo::title)];
    for (int32_t i = 0; i < w->p->count; i++) {
        const tSongInfo &e = w->p->entries[i];
        if (list_has_control(e.path)) {
            list_refuse_entry(i, e.path);
            continue;
        }
        // The title the list shows: the one it was given, or the file's name.
        list_clean_title(e.title[0] != '\0' ? e.title : playlist_file_name(e.path), title, sizeof title);
        fprintf(f, "#EXTINF:%d,%s\n", e.length > 0 ? e.length : -1, title);
        const tListPath saved = list_saved_path(e.path, w->dir, w->mode == 1 && w->has_dir, true);
        if (saved.as_url) {
            fputs("file://", f);
            list_percent_encode(f, saved.text);
        } else {
            fputs(saved.text, f);
        }
        if (fputc('\n', f) == EOF)
            return false;
    }
    return true;
}

} // namespace

int32_t m3u_read(tHandlePlaylist *p, const char *path, bool replace) {
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
    int32_t state;
    while ((state = list_read_line(&r, raw)) != 0) {
        const char *first = raw + strspn(raw, " \t");
        if (state < 0) {
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
        if (text[0] == '#') {
            if (strncasecmp(text, "#EXTINF:", 8) == 0) {
                parse_extinf(text + 8, &length, title, sizeof title);
                titled = true;
            }
            continue;
        }
        if (list_resolve(&r, text, r.encoding == LIST_LATIN1 ? list_trim(raw) : nullptr, entry) == 0)
            list_append(p, &r, entry, titled ? title : nullptr, titled ? length : 0);
        titled = false;
    }
    list_report(&r);
    list_close(&r);
    return RESULT_OK;
}

int32_t m3u_write(const tHandlePlaylist *p, const char *path, int32_t mode) {
    if (path == nullptr)
        return RESULT_FAILED;
    static tM3uWrite w; // holds a path buffer: off the stack
    w = tM3uWrite{p, mode, {}, false, false};
    w.has_dir = list_directory(path, w.dir);
    // ".m3u8" is read as UTF-8 in any case; a ".m3u" without a mark would be read as Latin-1.
    w.mark = !ends_with_m3u8(path) && list_needs_mark(p);
    if (save_file_replace(path, 0666, write_entries, &w) != 0) {
        fprintf(stderr, "unable to write [%s]\n", path);
        return RESULT_FAILED;
    }
    return RESULT_OK;
}
