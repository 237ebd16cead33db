// Reading and writing the pieces the playlist formats share.
#include "playlist/listfile.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include <glib.h>

namespace {

// Structurally valid UTF-8, fed in pieces: the continuation bytes still owed.
struct tUtf8Check {
    int32_t owed = 0;
    bool valid = true;
    void feed(const unsigned char *b, size_t n) {
        for (size_t k = 0; k < n && valid; ++k) {
            const unsigned char c = b[k];
            if (owed > 0) {
                if ((c & 0xC0) != 0x80)
                    valid = false;
                --owed;
            } else if (c >= 0xC2 && c <= 0xDF) {
                owed = 1;
            } else if (c >= 0xE0 && c <= 0xEF) {
                owed = 2;
            } else if (c >= 0xF0 && c <= 0xF4) {
                owed = 3;
            } else if (c >= 0x80) {
                valid = false;
            }
        }
    }
};

bool file_is_utf8(FILE *f) {
    static unsigned char buffer[65536]; // main thread only
    tUtf8Check check;
    size_t n;
    while (check.valid && (n = fread(buffer, 1, sizeof buffer, f)) > 0)
        check.feed(buffer, n);
    return check.valid && check.owed == 0;
}

int32_t put_utf8(unsigned char (&out)[4], uint32_t cp) {
    if (cp < 0x80) {
        out[0] = static_cast<unsigned char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
    out[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    return 4;
}

int32_t read_unit(tListReader *r) {
    const int a = getc(r->f);
    if (a == EOF)
        return -1;
    const int b = getc(r->f);
    if (b == EOF)
        return -1;
    return r->encoding == LIST_UTF16LE ? (a | (b << 8)) : ((a << 8) | b);
}

// The next byte of the text, UTF-16 decoded into UTF-8.
int next_byte(tListReader *r) {
    if (r->pending >= 0) {
        const int c = r->pending;
        r->pending = -1;
        return c;
    }
    if (r->encoding != LIST_UTF16LE && r->encoding != LIST_UTF16BE)
        return getc(r->f);
    if (r->utf8_pos < r->utf8_len)
        return r->utf8[r->utf8_pos++];
    int32_t unit = read_unit(r);
    if (unit < 0)
        return EOF;
    uint32_t cp = static_cast<uint32_t>(unit);
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        const int32_t low = read_unit(r);
        cp = low >= 0xDC00 && low <= 0xDFFF ? 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00) : 0xFFFD;
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
        cp = 0xFFFD;
    }
    r->utf8_len = put_utf8(r->utf8, cp);
    r->utf8_pos = 1;
    return r->utf8[0];
}

bool exists(const char *path) {
    struct stat info;
    return stat(path, &info) == 0;
}

bool copy_path(const char *text, char (&out)[LIST_PATH_SIZE]) {
    const size_t n = strlen(text);
    if (n >= LIST_PATH_SIZE)
        return false;
    memcpy(out, text, n + 1);
    return true;
}

void refuse(const tListReader *r, const char *why, const char *text) {
    fprintf(stderr, "playlist [%s], line %d: %s, left out [%.200s]\n", r->path, r->line, why, text);
}

int32_t resolve_one(tListReader *r, const char *text, char (&out)[LIST_PATH_SIZE]) {
    if (list_has_control(text)) {
        refuse(r, "a control byte in the path", text);
        return -1;
    }
    if (strncasecmp(text, "file://", 7) == 0) {
        const char *host = text + 7;
        const char *slash = strchr(host, '/');
        const size_t host_len = slash ? static_cast<size_t>(slash - host) : strlen(host);
        if (!slash || (host_len != 0 && !(host_len == 9 && strncasecmp(host, "localhost", 9) == 0))) {
            refuse(r, "not a local file", text);
            return -1;
        }
        if (!list_percent_decode(slash, out, sizeof out)) {
            refuse(r, "not a usable file URL", text);
            return -1;
        }
        return 0;
    }
    bool fits = true;
    if (list_is_stream(text) || text[0] == '/' || !r->has_dir) {
        fits = copy_path(text, out);
    } else {
        if (strchr(text, '\\')) {
            char slashed[LIST_LINE_SIZE * 2];
            snprintf(slashed, sizeof slashed, "%s", text);
            for (char *c = slashed; *c; ++c)
                if (*c == '\\')
                    *c = '/';
            const int n = snprintf(out, sizeof out, "%s/%s", r->dir, slashed);
            if (n > 0 && static_cast<size_t>(n) < sizeof out && exists(out))
                return 0;
        }
        const int n = snprintf(out, sizeof out, "%s/%s", r->dir, text);
        fits = n > 0 && static_cast<size_t>(n) < sizeof out;
    }
    if (!fits) {
        refuse(r, "the path is longer than 1023 bytes", text);
        return -1;
    }
    return 0;
}

bool blank(char c) { return c == ' ' || c == '\t'; }

bool safe_relative(const char *rest, bool hash_special) {
    const size_t n = strlen(rest);
    return n > 0 && rest[0] != '/' && !blank(rest[0]) && !blank(rest[n - 1]) &&
           !(hash_special && rest[0] == '#') && !strchr(rest, '\\') && !list_is_stream(rest) &&
           strncasecmp(rest, "file://", 7) != 0;
}

} // namespace

FILE *list_open_file(const char *path) {
    // Without waiting: a FIFO with no writer, or a device, must not hold the player up.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode))
            fprintf(stderr, "not a playlist file [%s]\n", path);
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE *f = fdopen(fd, "rb");
    if (f == nullptr)
        close(fd);
    return f;
}

bool list_open(tListReader *r, const char *path, bool utf8) {
    memset(r, 0, sizeof *r);
    r->pending = -1;
    r->path = path;
    if (path == nullptr)
        return false;
    r->has_dir = list_directory(path, r->dir);
    r->f = list_open_file(path);
    if (r->f == nullptr)
        return false;
    unsigned char mark[3] = {0, 0, 0};
    const size_t got = fread(mark, 1, sizeof mark, r->f);
    if (got >= 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) {
        r->encoding = LIST_UTF8;
        r->start = 3;
    } else if (got >= 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
        r->encoding = LIST_UTF16LE;
        r->start = 2;
    } else if (got >= 2 && mark[0] == 0xFE && mark[1] == 0xFF) {
        r->encoding = LIST_UTF16BE;
        r->start = 2;
    } else {
        rewind(r->f);
        r->encoding = utf8 || file_is_utf8(r->f) ? LIST_UTF8 : LIST_LATIN1;
    }
    list_rewind(r);
    return true;
}

void list_rewind(tListReader *r) {
    fseek(r->f, r->start, SEEK_SET);
    r->line = 0;
    r->pending = -1;
    r->utf8_len = r->utf8_pos = 0;
}

void list_close(tListReader *r) {
    if (r->f)
        fclose(r->f);
    r->f = nullptr;
}

int32_t list_read_line(tListReader *r, char (&line)[LIST_LINE_SIZE]) {
    size_t n = 0;
    bool any = false;
    bool too_long = false;
    int c;
    while ((c = next_byte(r)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        if (c == '\r') {
            const int d = next_byte(r);
            if (d != '\n' && d != EOF)
                r->pending = d;
            break;
        }
        if (n < sizeof line - 1)
            line[n++] = static_cast<char>(c);
        else
            too_long = true;
    }
    line[n] = '\0';
    if (!any)
        return 0;
    r->line++;
    return too_long ? -1 : 1;
}

void list_refuse_long(const tListReader *r) {
    fprintf(stderr, "playlist [%s], line %d: longer than %zu bytes, left out\n", r->path, r->line, LIST_LINE_SIZE - 1);
}

void list_to_utf8(const tListReader *r, const char *line, char *out, size_t size) {
    if (size == 0)
        return;
    size_t n = 0;
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(line); *c; ++c) {
        const bool wide = r->encoding == LIST_LATIN1 && *c >= 0x80;
        if (n + (wide ? 2 : 1) >= size)
            break;
        if (wide) {
            out[n++] = static_cast<char>(0xC0 | (*c >> 6));
            out[n++] = static_cast<char>(0x80 | (*c & 0x3F));
        } else {
            out[n++] = static_cast<char>(*c);
        }
    }
    out[n] = '\0';
}

char *list_trim(char *text) {
    while (blank(*text))
        ++text;
    size_t n = strlen(text);
    while (n > 0 && blank(text[n - 1]))
        text[--n] = '\0';
    return text;
}

size_t list_trim_end(const char *text, const char *end) {
    while (end > text && blank(end[-1]))
        --end;
    return static_cast<size_t>(end - text);
}

void list_copy_title(char (&field)[sizeof(tSongInfo::title)], const char *title) {
    auto gap = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    memset(field, 0, sizeof field);
    while (*title != '\0' && gap(*title))
        ++title;
    size_t n = strnlen(title, sizeof field - 1);
    if (title[n] != '\0')
        while (n > 0 && (static_cast<unsigned char>(title[n]) & 0xC0) == 0x80)
            --n;
    while (n > 0 && gap(title[n - 1]))
        --n;
    memcpy(field, title, n);
    for (size_t k = 0; k < n; ++k)
        if (gap(field[k]))
            field[k] = ' ';
}

int32_t list_resolve(tListReader *r, const char *text, const char *raw, char (&out)[LIST_PATH_SIZE]) {
    if (resolve_one(r, text, out) != 0)
        return -1;
    if (raw == nullptr || strcmp(raw, text) == 0 || list_is_stream(out) || exists(out))
        return 0;
    // A Latin-1 playlist naming files whose names are in the same bytes.
    static char own[LIST_PATH_SIZE];
    if (resolve_one(r, raw, own) == 0 && exists(own))
        memcpy(out, own, sizeof own);
    return 0;
}

void list_append(tHandlePlaylist *p, tListReader *r, const char *path, const char *title, int32_t length) {
    if (p->count >= PLAYLIST_CAPACITY) {
        r->left_out++;
        return;
    }
    static tSongInfo entry; // main thread only; too large for the stack
    memset(&entry, 0, sizeof entry);
    snprintf(entry.path, sizeof entry.path, "%s", path);
    if (title != nullptr)
        list_copy_title(entry.title, title);
    entry.length = length > 0 ? length : 0;
    playlist_add(p, &entry);
}

void list_report(const tListReader *r) {
    if (r->left_out > 0)
        fprintf(stderr, "playlist [%s]: the list is full, %d entries left out\n", r->path, r->left_out);
}

bool list_is_stream(const char *path) {
    const char *c = path;
    if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z')))
        return false;
    while ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '+' ||
           *c == '-' || *c == '.')
        ++c;
    return strncmp(c, "://", 3) == 0 && strncasecmp(path, "file://", 7) != 0;
}

bool list_percent_decode(const char *text, char *out, size_t size) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    size_t n = 0;
    for (const char *c = text; *c; ++c) {
        char b = *c;
        if (b == '%' && hex(c[1]) >= 0 && hex(c[2]) >= 0) {
            b = static_cast<char>(hex(c[1]) * 16 + hex(c[2]));
            c += 2;
        }
        if (static_cast<unsigned char>(b) < 0x20 || n + 1 >= size)
            return false;
        out[n++] = b;
    }
    out[n] = '\0';
    return n > 0;
}

bool list_directory(const char *path, char (&dir)[LIST_PATH_SIZE]) {
    snprintf(dir, sizeof dir, "%s", path);
    char *slash = strrchr(dir, '/');
    if (slash == nullptr) {
        dir[0] = '\0';
        return false;
    }
    *slash = '\0';
    return true;
}

bool list_has_control(const char *text) {
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(text); *c; ++c)
        if (*c < 0x20)
            return true;
    return false;
}

void list_percent_encode(FILE *f, const char *text, bool ascii_only) {
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(text); *c; ++c) {
        if ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '-' ||
            *c == '.' || *c == '_' || *c == '~' || *c == '/' || (!ascii_only && *c >= 0x80))
            fputc(*c, f);
        else
            fprintf(f, "%%%02X", *c);
    }
}

tListPath list_saved_path(const char *path, const char *dir, bool has_dir, bool hash_special) {
    if (path[0] != '/')
        return {path, false};
    const size_t dir_len = strlen(dir);
    if (has_dir && strncmp(path, dir, dir_len) == 0 && path[dir_len] == '/' &&
        safe_relative(path + dir_len + 1, hash_special))
        return {path + dir_len + 1, false};
    const size_t n = strlen(path);
    return {path, blank(path[n - 1])};
}

bool list_needs_mark(const tHandlePlaylist *p) {
    for (int32_t i = 0; i < p->count; i++)
        if (!g_utf8_validate(p->entries[i].path, -1, nullptr) || !g_utf8_validate(p->entries[i].title, -1, nullptr))
            return true;
    return false;
}

void list_clean_title(const char *title, char *out, size_t size) {
    // Cut at a character: half of one would make the whole file read as Latin-1.
    size_t n = strnlen(title, size - 1);
    if (title[n] != '\0')
        while (n > 0 && (static_cast<unsigned char>(title[n]) & 0xC0) == 0x80)
            --n;
    memcpy(out, title, n);
    out[n] = '\0';
    for (char *c = out; *c; ++c)
        if (static_cast<unsigned char>(*c) < 0x20)
            *c = ' ';
}

void list_refuse_entry(int32_t index, const char *path) {
    fprintf(stderr, "unable to save entry %d [%.200s]: it holds a control byte\n", index + 1, path);
}
