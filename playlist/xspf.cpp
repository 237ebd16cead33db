// XSPF playlists: each <track> of the <trackList> with its <location>, <title> and
// <duration> (milliseconds), read with GLib's markup parser.
#include <glib.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "config/savefile.h"
#include "playlist/listfile.h"

namespace {

enum tField { FIELD_NONE, FIELD_LOCATION, FIELD_TITLE, FIELD_DURATION };

struct tXspfRead {
    tHandlePlaylist *p;
    tListReader *r;
    GMarkupParseContext *context;
    bool in_track;
    tField field;
    bool have_location;
    bool location_too_long;
    char location[LIST_LINE_SIZE];
    size_t location_len;
    char title[sizeof(tSongInfo::title) * 2];
    size_t title_len;
    char duration[32];
    size_t duration_len;
};

const char *local_name(const char *name) {
    const char *colon = strrchr(name, ':');
    return colon ? colon + 1 : name;
}

void append(char *buffer, size_t size, size_t *len, const char *text, size_t n, bool *too_long) {
    if (*len + n >= size) {
        if (too_long)
            *too_long = true;
        n = *len + 1 < size ? size - 1 - *len : 0;
    }
    memcpy(buffer + *len, text, n);
    *len += n;
    buffer[*len] = '\0';
}

void on_start(GMarkupParseContext *, const char *element, const char **, const char **, void *data, GError **) {
    auto *x = static_cast<tXspfRead *>(data);
    const char *name = local_name(element);
    if (strcmp(name, "track") == 0) {
        x->in_track = true;
        x->have_location = x->location_too_long = false;
        x->location_len = x->title_len = x->duration_len = 0;
        x->location[0] = x->title[0] = x->duration[0] = '\0';
    } else if (x->in_track && strcmp(name, "location") == 0 && !x->have_location) {
        x->field = FIELD_LOCATION;
    } else if (x->in_track && strcmp(name, "title") == 0) {
        x->field = FIELD_TITLE;
    } else if (x->in_track && strcmp(name, "duration") == 0) {
        x->field = FIELD_DURATION;
    }
}

void on_text(GMarkupParseContext *, const char *text, gsize n, void *data, GError **) {
    auto *x = static_cast<tXspfRead *>(data);
    switch (x->field) {
    case FIELD_LOCATION:
        append(x->location, sizeof x->location, &x->location_len, text, n, &x->location_too_long);
        break;
    case FIELD_TITLE:
        append(x->title, sizeof x->title, &x->title_len, text, n, nullptr);
        break;
    case FIELD_DURATION:
        append(x->duration, sizeof x->duration, &x->duration_len, text, n, nullptr);
        break;
    case FIELD_NONE:
        break;
    }
}

void add_track(tXspfRead *x) {
    static char decoded[LIST_PATH_SIZE];
    static char entry[LIST_PATH_SIZE];
    int line = 0;
    g_markup_parse_context_get_position(x->context, &line, nullptr);
    x->r->line = line;
    char *location = list_trim(x->location);
    if (x->location_too_long) {
        fprintf(stderr, "playlist [%s], line %d: the location is too long, left out\n", x->r->path, line);
        return;
    }
    const char *text = location;
    // A file URL or a stream as it is; anything else is a path relative to the playlist.
    if (strncasecmp(location, "file://", 7) != 0 && !list_is_stream(location)) {
        if (!list_percent_decode(location, decoded, sizeof decoded)) {
            fprintf(stderr, "playlist [%s], line %d: not a usable location, left out\n", x->r->path, line);
            return;
        }
        text = decoded;
    }
    if (list_resolve(x->r, text, nullptr, entry) != 0)
        return;
    const double ms = g_ascii_strtod(list_trim(x->duration), nullptr);
    const int32_t seconds = ms > 0 && ms < 1e12 ? static_cast<int32_t>(ms / 1000.0 + 0.5) : 0;
    list_append(x->p, x->r, entry, list_trim(x->title), seconds);
}

void on_end(GMarkupParseContext *, const char *element, void *data, GError **) {
    auto *x = static_cast<tXspfRead *>(data);
    const char *name = local_name(element);
    if (x->field == FIELD_LOCATION)
        x->have_location = true;
    x->field = FIELD_NONE;
    if (strcmp(name, "track") == 0 && x->in_track) {
        x->in_track = false;
        if (x->have_location)
            add_track(x);
    }
}

constexpr GMarkupParser PARSER = {on_start, on_end, on_text, nullptr, nullptr};

void write_escaped(FILE *f, const char *text) {
    for (const char *c = text; *c; ++c) {
        switch (*c) {
        case '&': fputs("&amp;", f); break;
        case '<': fputs("&lt;", f); break;
        case '>': fputs("&gt;", f); break;
        case '"': fputs("&quot;", f); break;
        default: fputc(*c, f); break;
        }
    }
}

bool write_tracks(FILE *f, const void *context) {
    const tHandlePlaylist *p = static_cast<const tHandlePlaylist *>(context);
    fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">\n  <trackList>\n",
          f);
    static char title[sizeof(tSongInfo::title)];
    for (int32_t i = 0; i < p->count; i++) {
        const tSongInfo &e = p->entries[i];
        if (list_has_control(e.path)) {
            list_refuse_entry(i, e.path);
            continue;
        }
        fputs("    <track>\n      <location>", f);
        if (list_is_stream(e.path)) {
            write_escaped(f, e.path);
        } else {
            if (e.path[0] == '/')
                fputs("file://", f);
            list_percent_encode(f, e.path, true);
        }
        fputs("</location>\n", f);
        if (e.title[0] != '\0') {
            list_clean_title(e.title, title, sizeof title);
            gchar *valid = g_utf8_make_valid(title, -1);
            fputs("      <title>", f);
            write_escaped(f, valid);
            fputs("</title>\n", f);
            g_free(valid);
        }
        if (e.length > 0)
            fprintf(f, "      <duration>%lld</duration>\n", static_cast<long long>(e.length) * 1000);
        fputs("    </track>\n", f);
    }
    fputs("  </trackList>\n</playlist>\n", f);
    return !ferror(f);
}

} // namespace

int32_t xspf_read(tHandlePlaylist *p, const char *path, bool replace) {
    tListReader r;
    if (!list_open(&r, path, true))
        return RESULT_FAILED;
    if (r.encoding == LIST_UTF16LE || r.encoding == LIST_UTF16BE) {
        fprintf(stderr, "playlist [%s]: UTF-16 XSPF is not read\n", path);
        list_close(&r);
        return RESULT_FAILED;
    }
    if (replace)
        list_replace(p);
    static tXspfRead x;
    memset(&x, 0, sizeof x);
    x.p = p;
    x.r = &r;
    x.context = g_markup_parse_context_new(&PARSER, G_MARKUP_DEFAULT_FLAGS, &x, nullptr);
    static char chunk[16384];
    GError *error = nullptr;
    size_t n;
    bool ok = true;
    while (ok && (n = fread(chunk, 1, sizeof chunk, r.f)) > 0)
        ok = g_markup_parse_context_parse(x.context, chunk, static_cast<gssize>(n), &error);
    if (ok)
        ok = g_markup_parse_context_end_parse(x.context, &error);
    if (!ok) {
        fprintf(stderr, "playlist [%s]: not readable as XSPF: %s\n", path, error ? error->message : "");
        g_clear_error(&error);
    }
    g_markup_parse_context_free(x.context);
    list_report(&r);
    list_close(&r);
    return RESULT_OK;
}

int32_t xspf_write(const tHandlePlaylist *p, const char *path) {
    if (path == nullptr)
        return RESULT_FAILED;
    if (save_file_replace(path, 0666, write_tracks, p) != 0) {
        fprintf(stderr, "unable to write [%s]\n", path);
        return RESULT_FAILED;
    }
    return RESULT_OK;
}
