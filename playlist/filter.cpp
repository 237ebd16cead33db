// Finding entries by what the list shows of them.
#include "playlist/filter.h"

#include <cstring>

#include <glib.h>

#include "playlist/playlist.h"

namespace {

// A shown text has at most as many characters as a path has bytes.
constexpr size_t MAX_CHARACTERS = sizeof(tSongInfo::path);

// The character at text[*i], lower-cased, and *i moved past it. Bytes that are not UTF-8
// count as Latin-1 characters, as they do in tags.
gunichar next_lower(const char *text, size_t length, size_t *i) {
    const unsigned char c = static_cast<unsigned char>(text[*i]);
    if (c < 0x80) {
        ++*i;
        return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
    }
    const gunichar u = g_utf8_get_char_validated(text + *i, static_cast<gssize>(length - *i));
    if (u == static_cast<gunichar>(-1) || u == static_cast<gunichar>(-2)) {
        ++*i;
        return g_unichar_tolower(c);
    }
    *i = static_cast<size_t>(g_utf8_next_char(text + *i) - text);
    return g_unichar_tolower(u);
}

size_t lower_text(const char *text, size_t length, gunichar *out, size_t capacity) {
    size_t n = 0;
    for (size_t i = 0; i < length && n < capacity;)
        out[n++] = next_lower(text, length, &i);
    return n;
}

bool contains(const gunichar *text, size_t n, const gunichar *word, size_t m) {
    for (size_t i = 0; i + m <= n; i++) {
        if (text[i] != word[0])
            continue;
        size_t k = 1;
        while (k < m && text[i + k] == word[k])
            k++;
        if (k == m)
            return true;
    }
    return false;
}

// The length of a shown text, bounded by the field it lies in.
size_t shown_length(const tSongInfo *entry, const char *text) {
    if (text >= entry->title && text < entry->title + sizeof entry->title)
        return strnlen(text, static_cast<size_t>(entry->title + sizeof entry->title - text));
    if (text >= entry->path && text < entry->path + sizeof entry->path)
        return strnlen(text, static_cast<size_t>(entry->path + sizeof entry->path - text));
    return 0;
}

// The query's words, lower-cased, end to end in `chars`.
struct tQuery {
    gunichar *chars;
    size_t *start;
    size_t *length;
    size_t words;
};

tQuery parse(const char *query) {
    const size_t n = strlen(query);
    tQuery q{g_new(gunichar, n + 1), g_new(size_t, n / 2 + 1), g_new(size_t, n / 2 + 1), 0};
    const size_t count = lower_text(query, n, q.chars, n + 1);
    for (size_t i = 0; i < count;) {
        while (i < count && g_unichar_isspace(q.chars[i]))
            i++;
        const size_t from = i;
        while (i < count && !g_unichar_isspace(q.chars[i]))
            i++;
        if (i > from) {
            q.start[q.words] = from;
            q.length[q.words] = i - from;
            q.words++;
        }
    }
    return q;
}

} // namespace

const char *playlist_shown_text(const tSongInfo *entry, uint32_t shown) {
    if ((shown & PLAYLIST_SHOW_TITLES) && entry->title[0] != '\0')
        return entry->title;
    return (shown & PLAYLIST_SHOW_FULL_PATH) ? entry->path : playlist_file_name(entry->path);
}

int32_t playlist_filter(const tHandlePlaylist *p, const char *query, uint32_t shown, int32_t *matches,
                        int32_t capacity) {
    const int32_t count = p->count < capacity ? p->count : capacity;
    const tQuery q = parse(query != nullptr ? query : "");
    int32_t found = 0;
    if (q.words == 0) {
        for (int32_t i = 0; i < count; i++)
            matches[found++] = i;
    } else {
        gunichar text[MAX_CHARACTERS];
        for (int32_t i = 0; i < p->count && found < capacity; i++) {
            const tSongInfo *entry = &p->entries[i];
            const char *shown_text = playlist_shown_text(entry, shown);
            const size_t n = lower_text(shown_text, shown_length(entry, shown_text), text, MAX_CHARACTERS);
            size_t w = 0;
            while (w < q.words && contains(text, n, q.chars + q.start[w], q.length[w]))
                w++;
            if (w == q.words)
                matches[found++] = i;
        }
    }
    g_free(q.chars);
    g_free(q.start);
    g_free(q.length);
    return found;
}
