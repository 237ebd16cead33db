// Loading themes: directories and .wsz archives pass through the data directory's theme folder,
// missing files come from the default theme, then the folder is read into the theme record.
#include "theme/theme.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <climits>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "theme/default_theme.h"

namespace {

constexpr int PATH_SIZE = 1024;
constexpr int IMAGE_PATH_SIZE = 3096;
constexpr int LINE_SIZE = 1024;
constexpr int MIN_LOADED_BITMAPS = 8;

constexpr std::array<const char *, THEME_FILE_COUNT> theme_file_names() {
    std::array<const char *, THEME_FILE_COUNT> names{};
    for (int i = 0; i < THEME_BITMAP_COUNT; ++i) names[i] = THEME_BITMAPS[i].name;
    names[THEME_BITMAP_COUNT] = THEME_PLEDIT_NAME;
    names[THEME_BITMAP_COUNT + 1] = THEME_VISCOLOR_NAME;
    return names;
}
constexpr std::array<const char *, THEME_FILE_COUNT> THEME_FILE_NAMES = theme_file_names();

// Upper case in the C locale only; bytes 0x80 and above stay as they are.
constexpr unsigned char ascii_upper(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

bool prepare_folder(const char *folder) {
    if (folder == nullptr || folder[0] == '\0' || strnlen(folder, PATH_SIZE) >= PATH_SIZE) return false;
    // The folder normally exists already; make it so a deleted one does not lose the new theme.
    mkdir(folder, 0700);
    return true;
}

void set_defaults(tHandleTheme *t) {
    for (int i = 0; i < 24; ++i) {
        const int v = 255 * i / 24;
        t->viscolors[i][0] = static_cast<uint8_t>(255 - v);
        t->viscolors[i][1] = static_cast<uint8_t>(v);
        t->viscolors[i][2] = 0;
    }
    static constexpr uint8_t PLCOLORS[4][3] = {{255, 64, 0}, {255, 255, 255}, {0, 0, 0}, {0, 64, 255}};
    memcpy(t->plcolors, PLCOLORS, sizeof PLCOLORS);
    snprintf(t->font, sizeof t->font, "%s", "Arial");
}

struct FileCloser {
    FILE *f;
    int close() {
        const int r = f != nullptr ? fclose(f) : 0;
        f = nullptr;
        return r;
    }
    ~FileCloser() { close(); }
};

// Opens only regular files of a sane size: a FIFO would block, a device could be endless.
FILE *open_regular(const char *path, const char *mode, long long max_size) {
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > max_size) return nullptr;
    return fopen(path, mode);
}

struct PixbufRef {
    GdkPixbuf *p;
    ~PixbufRef() {
        if (p != nullptr) g_object_unref(p);
    }
};

bool size_acceptable(long long w, long long h) {
    return w > 0 && h > 0 && w <= THEME_MAX_IMAGE_SIZE && h <= THEME_MAX_IMAGE_SIZE;
}

uint32_t le(const std::vector<guint8> &b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
    return v;
}

// Decodes a BMP held in memory, its declared size checked first; no format sniffing needed.
GdkPixbuf *decode_bmp(const std::vector<guint8> &bytes) {
    if (bytes.size() < 26) return nullptr;
    // The image library sizes its header buffer from these two fields: a few stray bytes there
    // would cost gigabytes.
    if (le(bytes, 10, 4) > bytes.size() || le(bytes, 14, 4) > bytes.size()) return nullptr;
    // So does it its palette from the colour count (4 bytes a colour), which must fit too.
    if (le(bytes, 14, 4) >= 40 && bytes.size() >= 50 && 4ULL * le(bytes, 46, 4) > bytes.size()) return nullptr;
    long long w, h;
    if (le(bytes, 14, 4) == 12) {
        w = le(bytes, 18, 2);
        h = le(bytes, 20, 2);
    } else {
        w = static_cast<int32_t>(le(bytes, 18, 4));
        h = static_cast<int32_t>(le(bytes, 22, 4));
        if (h < 0) h = -h;  // top-down rows
    }
    if (!size_acceptable(w, h)) return nullptr;
    GdkPixbufLoader *loader = gdk_pixbuf_loader_new_with_type("bmp", nullptr);
    if (loader == nullptr) return nullptr;
    GdkPixbuf *image = nullptr;
    const bool written = gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), nullptr);
    if (gdk_pixbuf_loader_close(loader, nullptr) && written) {
        image = gdk_pixbuf_loader_get_pixbuf(loader);
        if (image != nullptr) g_object_ref(image);
    }
    g_object_unref(loader);
    return image;
}

// Any other format the image library reads, its declared size checked before decoding.
GdkPixbuf *decode_other(const char *path) {
    int w = 0, h = 0;
    if (gdk_pixbuf_get_file_info(path, &w, &h) == nullptr || !size_acceptable(w, h)) return nullptr;
    return gdk_pixbuf_new_from_file(path, nullptr);
}

// Loads one sheet into its bitmap image; returns false when the file is not loaded. A crafted
// header must not make the decoder allocate gigabytes, so absurd sizes are refused unread.
bool load_bitmap(GdkPixbuf *target, const char *path, int32_t *loaded_w, int32_t *loaded_h) {
    *loaded_w = 0;
    *loaded_h = 0;
    PixbufRef image{nullptr};
    {
        FileCloser f{open_regular(path, "rb", THEME_MAX_IMAGE_FILE_SIZE)};
        if (f.f == nullptr) return false;
        struct stat st;
        if (fstat(fileno(f.f), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 2 ||
            st.st_size > THEME_MAX_IMAGE_FILE_SIZE)
            return false;
        std::vector<guint8> bytes(static_cast<size_t>(st.st_size));
        if (fread(bytes.data(), 1, bytes.size(), f.f) != bytes.size()) return false;
        image.p = (bytes[0] == 'B' && bytes[1] == 'M') ? decode_bmp(bytes) : decode_other(path);
    }
    if (image.p == nullptr) return false;
    const int w = gdk_pixbuf_get_width(image.p), h = gdk_pixbuf_get_height(image.p);
    if (w <= 0 || h <= 0 || w > THEME_MAX_IMAGE_SIZE || h > THEME_MAX_IMAGE_SIZE ||
        gdk_pixbuf_get_bits_per_sample(image.p) != 8 ||
        gdk_pixbuf_get_colorspace(image.p) != GDK_COLORSPACE_RGB)
        return false;
    const int cw = std::min(w, gdk_pixbuf_get_width(target));
    const int ch = std::min(h, gdk_pixbuf_get_height(target));
    const int src_channels = gdk_pixbuf_get_n_channels(image.p);
    const bool src_alpha = gdk_pixbuf_get_has_alpha(image.p);
    const int src_stride = gdk_pixbuf_get_rowstride(image.p);
    const int dst_stride = gdk_pixbuf_get_rowstride(target);
    const guint8 *src = gdk_pixbuf_read_pixels(image.p);
    guint8 *dst = gdk_pixbuf_get_pixels(target);
    for (int y = 0; y < ch; ++y) {
        const guint8 *s = src + static_cast<size_t>(y) * src_stride;
        guint8 *d = dst + static_cast<size_t>(y) * dst_stride;
        for (int x = 0; x < cw; ++x, s += src_channels, d += 4) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            d[3] = src_alpha ? s[3] : 255;
        }
    }
    *loaded_w = w;
    *loaded_h = h;
    return true;
}

bool same_file(const char *a, const char *b) {
    struct stat sa, sb;
    if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Upper-cased base name of an archive entry, at most 31 bytes.
void entry_base_name(const char *entry, char base[32]) {
    size_t n = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(entry); *p != 0; ++p) {
        if (*p == '/' || *p == '\\') {
            n = 0;
            continue;
        }
        if (n < 31) base[n++] = static_cast<char>(ascii_upper(*p));
    }
    base[n] = '\0';
}

bool is_theme_file_name(const char *name) {
    for (const char *f : THEME_FILE_NAMES)
        if (strcmp(f, name) == 0) return true;
    return false;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

const char *skip_blanks(const char *p) {
    while (is_blank(*p)) ++p;
    return p;
}

bool same_key(const char *key, const char *key_end, const char *wanted) {
    const size_t n = strlen(wanted);
    if (static_cast<size_t>(key_end - key) != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (ascii_upper(static_cast<unsigned char>(key[i])) != static_cast<unsigned char>(wanted[i]))
            return false;
    return true;
}

int pledit_colour_index(const char *key, const char *key_end) {
    static constexpr std::array<const char *, THEME_PLCOLOR_COUNT> KEYS = {"NORMAL", "CURRENT", "NORMALBG",
                                                                          "SELECTEDBG"};
    for (int i = 0; i < THEME_PLCOLOR_COUNT; ++i)
        if (same_key(key, key_end, KEYS[i])) return i;
    return -1;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    const unsigned char u = ascii_upper(static_cast<unsigned char>(c));
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

// "#RRGGBB", "RRGGBB" or "0xRRGGBB"; whatever follows the digits (a comment) is ignored. Of a
// longer run of digits the last six count. False when there are no digits at all.
bool parse_hex_colour(const char *value, uint32_t *rgb) {
    const char *p = value;
    if (*p == '#')
        ++p;
    else if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hex_digit(p[2]) >= 0)
        p += 2;
    uint32_t v = 0;
    int digits = 0;
    for (int d; (d = hex_digit(*p)) >= 0; ++p, ++digits) v = v * 16 + static_cast<uint32_t>(d);
    if (digits == 0) return false;
    *rgb = v & 0xFFFFFFu;
    return true;
}

// Font names in themes written in other code pages are not UTF-8, which the text renderer
// refuses: such a name is taken as Latin-1.
void font_name_to_utf8(const char *begin, const char *end, char font[1024]) {
    const size_t n = static_cast<size_t>(end - begin);
    if (g_utf8_validate(begin, static_cast<gssize>(n), nullptr)) {
        snprintf(font, 1024, "%.*s", static_cast<int>(n), begin);
        return;
    }
    size_t o = 0;
    for (const char *p = begin; p < end; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        const size_t need = c < 0x80 ? 1 : 2;
        if (o + need > 1023) break;
        if (c < 0x80) {
            font[o++] = static_cast<char>(c);
        } else {
            font[o++] = static_cast<char>(0xC0 | (c >> 6));
            font[o++] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    font[o] = '\0';
}

constexpr const char *NUMBERS_NAME = "NUMBERS.BMP";
constexpr const char *NUMS_EX_NAME = "NUMS_EX.BMP";

bool has_default_file(const char *name) {
    tThemeDefaultEntry e;
    for (int32_t k = 0; k < THEME_DEFAULT_ENTRY_COUNT; ++k)
        if (theme_default_entry(k, &e) == 0 && strcmp(e.name, name) == 0) return true;
    return false;
}

// Copies one theme file into a directory under the given name. 0 when copied or when the
// source cannot be read (it is skipped), -1 with a message when the destination fails.
int32_t copy_theme_file(const char *from, const char *destination, const char *name) {
    char to[PATH_SIZE];
    snprintf(to, sizeof to, "%s/%s", destination, name);
    if (same_file(from, to)) return 0;

    // A source that cannot be read is skipped before the destination is touched.
    FileCloser in{open_regular(from, "rb", THEME_MAX_IMAGE_FILE_SIZE)};
    if (in.f == nullptr) return 0;
    struct stat st;
    if (fstat(fileno(in.f), &st) != 0 || !S_ISREG(st.st_mode)) return 0;

    FileCloser out{fopen(to, "wb")};
    if (out.f == nullptr) {
        fprintf(stderr, "unable to open file [%s]\n", to);
        return -1;
    }
    char block[1024];
    long long bytes_in = 0, bytes_out = 0;
    size_t n;
    while ((n = fread(block, 1, sizeof block, in.f)) > 0) {
        bytes_in += static_cast<long long>(n);
        bytes_out += static_cast<long long>(fwrite(block, 1, n, out.f));
    }
    const bool read_failed = ferror(in.f) != 0;
    in.close();
    if (out.close() != 0) bytes_out = -1;
    if (read_failed) {
        // A half-copied sheet is worse than none: the default one takes its place.
        remove(to);
        return 0;
    }
    if (bytes_in != bytes_out) {
        fprintf(stderr, "%s -> %s failed. %d bytes in, %d bytes out\n", from, to,
                static_cast<int>(bytes_in), static_cast<int>(bytes_out));
        return -1;
    }
    return 0;
}

// Writes archive entry i into directory/name; -1 with a message on any failure. `total`
// counts the bytes of all entries taken so far.
int32_t extract_entry(zip_t *za, zip_int64_t i, const zip_stat_t &st, const char *directory,
                      const char *name, long long *total) {
    // An archive is a stranger's file: never let one entry, or the whole archive, fill the disk.
    *total += static_cast<long long>(st.size);
    if (st.size > THEME_MAX_ENTRY_SIZE || *total > THEME_MAX_ARCHIVE_SIZE) {
        fprintf(stderr, "error reading WSZ file\n");
        return -1;
    }
    zip_file_t *zf = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0);
    if (zf == nullptr) {
        fprintf(stderr, "error reading WSZ file\n");
        return -1;
    }
    char path[IMAGE_PATH_SIZE];
    snprintf(path, sizeof path, "%s/%s", directory, name);
    FILE *out = fopen(path, "wb");
    if (out == nullptr) {
        fprintf(stderr, "error opening file [%s]\n", path);
        zip_fclose(zf);
        return -1;
    }
    char buffer[4096];
    zip_uint64_t written = 0;
    bool ok = true;
    while (written < st.size) {
        const zip_uint64_t want = std::min<zip_uint64_t>(sizeof buffer, st.size - written);
        const zip_int64_t got = zip_fread(zf, buffer, want);
        if (got < 0) {
            fprintf(stderr, "error reading WSZ file\n");
            ok = false;
            break;
        }
        if (got == 0) break;
        const size_t put = fwrite(buffer, 1, static_cast<size_t>(got), out);
        written += put;
        if (put != static_cast<size_t>(got)) {
            fprintf(stderr, "error opening file [%s]\n", path);
            ok = false;
            break;
        }
    }
    if (fclose(out) != 0 && ok) {
        fprintf(stderr, "error opening file [%s]\n", path);
        ok = false;
    }
    zip_fclose(zf);
    return ok ? 0 : -1;
}

int remove_entry(const char *path, const struct stat *, int, struct FTW *) { return remove(path); }

void remove_folder(const char *path) { nftw(path, remove_entry, 16, FTW_DEPTH | FTW_PHYS); }

// The theme folder's path without its trailing slashes. A link there is the user's own (the
// data directory is theirs alone), so a new theme replaces the folder it points to.
void folder_base(const char *folder, char base[PATH_SIZE]) {
    snprintf(base, PATH_SIZE, "%s", folder);
    for (size_t n = strlen(base); n > 1 && base[n - 1] == '/'; --n) base[n - 1] = '\0';
    struct stat st;
    char target[PATH_MAX];
    if (lstat(base, &st) == 0 && S_ISLNK(st.st_mode) && realpath(base, target) != nullptr &&
        strlen(target) < PATH_SIZE)
        snprintf(base, PATH_SIZE, "%s", target);
}

// A new theme is put together beside the theme folder: the default theme first, then the new
// theme's files over it. Removed unless it was swapped in.
struct tStaging {
    char path[PATH_SIZE] = {};
    bool made = false;
    ~tStaging() {
        if (made) remove_folder(path);
    }
};

// Names of the folders beside the theme folder: the new theme being put together, the old one
// on its way out. Each takes six more characters from mkdtemp.
constexpr const char *STAGING_NEW = ".new-";
constexpr const char *STAGING_OLD = ".old-";

bool is_staging_name(const char *entry, const char *name, size_t n) {
    if (strlen(entry) != n + 5 + 6 || strncmp(entry, name, n) != 0) return false;
    if (strncmp(entry + n, STAGING_NEW, 5) != 0 && strncmp(entry + n, STAGING_OLD, 5) != 0) return false;
    for (size_t k = n + 5; k < n + 11; ++k)
        if (!isalnum(static_cast<unsigned char>(entry[k]))) return false;
    return true;
}

// Folders that a load killed half way left beside the theme folder.
void remove_stale_staging(const char *base) {
    const char *slash = strrchr(base, '/');
    if (slash == nullptr) return;
    char parent[PATH_SIZE];
    snprintf(parent, sizeof parent, "%.*s", static_cast<int>(slash - base), base);
    const char *name = slash + 1;
    const size_t n = strlen(name);
    DIR *dir = opendir(parent[0] != '\0' ? parent : "/");
    if (dir == nullptr) return;
    while (const dirent *e = readdir(dir)) {
        char path[PATH_SIZE];
        struct stat st;
        if (is_staging_name(e->d_name, name, n) &&
            snprintf(path, sizeof path, "%s/%s", parent, e->d_name) < PATH_SIZE && lstat(path, &st) == 0 &&
            S_ISDIR(st.st_mode))
            remove_folder(path);
    }
    closedir(dir);
}

bool staging_begin(const char *folder, tStaging *s) {
    char base[PATH_SIZE];
    folder_base(folder, base);
    remove_stale_staging(base);
    const int n = snprintf(s->path, sizeof s->path, "%s%sXXXXXX", base, STAGING_NEW);
    s->made = n > 0 && n < PATH_SIZE && mkdtemp(s->path) != nullptr;
    if (!s->made) {
        fprintf(stderr, "unable to create a folder beside [%s]\n", base);
        return false;
    }
    for (const char *name : THEME_FILE_NAMES)
        if (theme_default_write_file(s->path, name) != 0) return false;
    return true;
}

// Puts the staged folder in the theme folder's place; the old one is removed.
bool staging_swap(tStaging *s, const char *folder) {
    char base[PATH_SIZE];
    folder_base(folder, base);
    struct stat st;
    const bool exists = lstat(base, &st) == 0;
    if (exists && !S_ISDIR(st.st_mode)) {
        fprintf(stderr, "unable to replace [%s]: not a folder\n", base);
        return false;
    }
    if (!exists) {
        if (rename(s->path, base) != 0) {
            fprintf(stderr, "unable to replace [%s]\n", base);
            return false;
        }
        s->made = false;
        return true;
    }
#ifdef RENAME_EXCHANGE
    // One step where the system offers it: the folder is never missing, even for a moment.
    if (renameat2(AT_FDCWD, s->path, AT_FDCWD, base, RENAME_EXCHANGE) == 0) return true;
#endif
    char old[PATH_SIZE];
    const int n = snprintf(old, sizeof old, "%s%sXXXXXX", base, STAGING_OLD);
    if (n <= 0 || n >= PATH_SIZE || mkdtemp(old) == nullptr || rename(base, old) != 0) {
        fprintf(stderr, "unable to replace [%s]\n", base);
        return false;
    }
    if (rename(s->path, base) != 0) {
        rename(old, base);
        fprintf(stderr, "unable to replace [%s]\n", base);
        return false;
    }
    snprintf(s->path, sizeof s->path, "%s", old);  // removed with the staging record
    return true;
}

}  // namespace

int32_t theme_init(tHandleTheme *t) {
    memset(t, 0, sizeof *t);
    int32_t result = 0;
    for (int i = 0; i < THEME_BITMAP_COUNT; ++i) {
        t->bitmaps[i] = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, THEME_BITMAPS[i].width,
                                       THEME_BITMAPS[i].height);
        if (t->bitmaps[i] == nullptr) {
            result = -1;
            continue;
        }
        gdk_pixbuf_fill(t->bitmaps[i], 0);
    }
    set_defaults(t);
    return result;
}

int32_t theme_find_file(const char *directory, char name[1024]) {
    DIR *dir = opendir(directory);
    if (dir == nullptr) return 0;
    char wanted[PATH_SIZE];
    snprintf(wanted, sizeof wanted, "%s", name);
    const size_t wanted_len = strlen(wanted);
    int32_t found = 0;
    while (const dirent *entry = readdir(dir)) {
        if (strlen(entry->d_name) != wanted_len) continue;
        size_t i = 0;
        while (i < wanted_len && ascii_upper(static_cast<unsigned char>(entry->d_name[i])) ==
                                     ascii_upper(static_cast<unsigned char>(wanted[i])))
            ++i;
        if (i != wanted_len) continue;
        snprintf(name, PATH_SIZE, "%s/%s", directory, entry->d_name);
        found = 1;
        break;
    }
    closedir(dir);
    return found;
}

int32_t theme_copy_files(const char *source, const char *destination) {
    bool have_numbers = false;
    for (const char *file : THEME_FILE_NAMES) {
        char from[PATH_SIZE];
        snprintf(from, sizeof from, "%s", file);
        if (theme_find_file(source, from) != 1) continue;
        if (strcmp(file, NUMBERS_NAME) == 0) have_numbers = true;
        if (copy_theme_file(from, destination, file) != 0) return -1;
    }
    // Many themes ship only the extended digits sheet; its first row is laid out as NUMBERS.BMP.
    char from[PATH_SIZE];
    snprintf(from, sizeof from, "%s", NUMS_EX_NAME);
    if (!have_numbers && theme_find_file(source, from) == 1)
        return copy_theme_file(from, destination, NUMBERS_NAME);
    return 0;
}

int32_t theme_read_viscolor(uint8_t colours[24][3], const char *path) {
    FileCloser f{open_regular(path, "r", THEME_MAX_IMAGE_FILE_SIZE)};
    if (f.f == nullptr) return -1;
    int n = 0;
    char line[LINE_SIZE];
    while (fgets(line, sizeof line, f.f) != nullptr) {
        if (line[0] == '\0') continue;
        char digits[16];
        int ndigits = 0;
        int m = 0;
        long long rgb[3] = {0, 0, 0};
        // The terminating NUL ends a pending number too: a last line without a line end counts.
        for (const char *p = line;; ++p) {
            if (*p >= '0' && *p <= '9') {
                if (ndigits < 15) digits[ndigits++] = *p;
                continue;
            }
            if (ndigits > 0) {
                digits[ndigits] = '\0';
                if (m < 3) rgb[m] = strtoll(digits, nullptr, 10);
                if (m < 3) ++m;
                ndigits = 0;
            }
            if (*p == '/' || *p == '\0') break;
        }
        if (m == 3) {
            if (n < 24) {
                colours[n][0] = static_cast<uint8_t>(rgb[0] & 255);
                colours[n][1] = static_cast<uint8_t>(rgb[1] & 255);
                colours[n][2] = static_cast<uint8_t>(rgb[2] & 255);
            }
            ++n;
        }
    }
    return n == 24 ? 0 : -1;
}

int32_t theme_read_pledit(tHandleTheme *t, const char *path) {
    FileCloser f{open_regular(path, "r", THEME_MAX_IMAGE_FILE_SIZE)};
    if (f.f == nullptr) return -1;
    char line[LINE_SIZE];
    bool first = true;
    while (fgets(line, sizeof line, f.f) != nullptr) {
        const char *p = line;
        // Editors on other systems start the file with a byte-order mark.
        if (first && strncmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
        first = false;
        const char *key = skip_blanks(p);
        const char *equals = strchr(key, '=');
        if (equals == nullptr) continue;
        const char *key_end = equals;
        while (key_end > key && is_blank(key_end[-1])) --key_end;
        const int colour = pledit_colour_index(key, key_end);
        const char *value = skip_blanks(equals + 1);
        if (colour >= 0) {
            uint32_t rgb = 0;
            if (parse_hex_colour(value, &rgb)) {
                t->plcolors[colour][0] = static_cast<uint8_t>((rgb >> 16) & 255);
                t->plcolors[colour][1] = static_cast<uint8_t>((rgb >> 8) & 255);
                t->plcolors[colour][2] = static_cast<uint8_t>(rgb & 255);
            }
        } else if (same_key(key, key_end, "FONT")) {
            const char *end = value + strlen(value);
            while (end > value && (static_cast<unsigned char>(end[-1]) < 0x20 || is_blank(end[-1]))) --end;
            font_name_to_utf8(value, end, t->font);
        }
    }
    return 0;
}

int32_t theme_load_directory(tHandleTheme *t, const char *directory, const char *folder) {
    if (!prepare_folder(folder)) return -1;

    // Another theme replaces the folder whole, so nothing of the previous one stays behind. When
    // that fails, the folder and the record keep the old theme.
    if (!same_file(directory, folder)) {
        DIR *source = opendir(directory);
        if (source == nullptr) {
            fprintf(stderr, "unable to open directory [%s]\n", directory);
            return -1;
        }
        closedir(source);
        tStaging staging;
        if (!staging_begin(folder, &staging) || theme_copy_files(directory, staging.path) != 0 ||
            !staging_swap(&staging, folder))
            return -1;
    }

    // Anything the folder lacks comes from the default theme (which has no AVS.BMP or MB.BMP).
    auto ensure = [&](const char *file) {
        char name[PATH_SIZE];
        snprintf(name, sizeof name, "%s", file);
        if (theme_find_file(folder, name) != 1) theme_default_write_file(folder, file);
    };
    for (const tThemeBitmap &b : THEME_BITMAPS) ensure(b.name);
    ensure(THEME_VISCOLOR_NAME);
    ensure(THEME_PLEDIT_NAME);

    for (GdkPixbuf *b : t->bitmaps)
        if (b != nullptr) gdk_pixbuf_fill(b, 0);
    set_defaults(t);

    int32_t loaded_w[THEME_BITMAP_COUNT] = {};
    int32_t loaded_h[THEME_BITMAP_COUNT] = {};
    int loaded = 0;
    for (int i = 0; i < THEME_BITMAP_COUNT; ++i) {
        if (t->bitmaps[i] == nullptr) continue;
        char path[IMAGE_PATH_SIZE];
        snprintf(path, sizeof path, "%s/%s", folder, THEME_BITMAPS[i].name);
        bool ok = load_bitmap(t->bitmaps[i], path, &loaded_w[i], &loaded_h[i]);
        // A sheet that is there but cannot be decoded gives way to the default one.
        if (!ok && has_default_file(THEME_BITMAPS[i].name) &&
            theme_default_write_file(folder, THEME_BITMAPS[i].name) == 0)
            ok = load_bitmap(t->bitmaps[i], path, &loaded_w[i], &loaded_h[i]);
        if (ok) ++loaded;
    }
    theme_compute_present(t->present, loaded_w, loaded_h);

    char path[IMAGE_PATH_SIZE];
    snprintf(path, sizeof path, "%s/%s", folder, THEME_VISCOLOR_NAME);
    theme_read_viscolor(t->viscolors, path);
    snprintf(path, sizeof path, "%s/%s", folder, THEME_PLEDIT_NAME);
    theme_read_pledit(t, path);

    return loaded < MIN_LOADED_BITMAPS ? -1 : 0;
}

int32_t theme_load_default(tHandleTheme *t, const char *folder) {
    if (!prepare_folder(folder)) return -1;
    tStaging staging;
    if (!staging_begin(folder, &staging) || !staging_swap(&staging, folder)) return -1;
    return theme_load_directory(t, folder, folder);
}

// Extracting touches no bitmap: the theme record is loaded from the folder afterwards.
int32_t theme_load_wsz(tHandleTheme *, const char *archive, const char *folder) {
    if (!prepare_folder(folder)) return -1;

    int error = 0;
    zip_t *za = zip_open(archive, 0, &error);
    if (za == nullptr) {
        fprintf(stderr, "illegal skin file [%s]\n", archive);
        return -1;
    }
    // Entries go into a folder of their own; the theme folder is replaced only once every one
    // of them came out, so a failure leaves the old theme whole.
    tStaging staging;
    if (!staging_begin(folder, &staging)) {
        zip_close(za);
        return -1;
    }
    const zip_int64_t entries = zip_get_num_entries(za, 0);
    long long total = 0;
    bool have_numbers = false;
    zip_int64_t nums_ex = -1;
    for (zip_int64_t i = 0; i < entries; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
            (st.valid & ZIP_STAT_NAME) == 0 || (st.valid & ZIP_STAT_SIZE) == 0)
            continue;
        char base[32];
        entry_base_name(st.name, base);
        if (strcmp(base, NUMS_EX_NAME) == 0) nums_ex = i;
        if (!is_theme_file_name(base)) continue;
        if (strcmp(base, NUMBERS_NAME) == 0) have_numbers = true;
        if (extract_entry(za, i, st, staging.path, base, &total) != 0) {
            zip_close(za);
            return -1;
        }
    }
    if (!have_numbers && nums_ex >= 0) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za, static_cast<zip_uint64_t>(nums_ex), 0, &st) != 0 ||
            extract_entry(za, nums_ex, st, staging.path, NUMBERS_NAME, &total) != 0) {
            zip_close(za);
            return -1;
        }
    }
    zip_close(za);
    return staging_swap(&staging, folder) ? 0 : -1;
}

uint8_t (*theme_get_viscolors(tHandleTheme *t))[3] { return t->viscolors; }

uint8_t (*theme_get_plcolors(tHandleTheme *t))[3] { return t->plcolors; }
