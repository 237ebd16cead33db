// Extended M3U as other players write it: "#" lines are directives or comments, and "#EXTINF"
// gives the next entry its length and title.
#include <glib.h>
#include <strings.h>

#include <cmath>
#include <cstring>

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
            snprintf(title, size, "%s", list_trim(c + 1));
            return;
        }
    }
}

bool ends_with_m3u8(const char *path) {
    const size_t n = strlen(path);
    return n >= 5 && strcasecmp(path + n - 5, ".m3u8") == 0;
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
