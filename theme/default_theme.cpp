// The embedded default theme: the stream decoder and the writers.
#include "theme/default_theme.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/savefile.h"

namespace {

int32_t read_le32(const unsigned char *p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) |
                                (static_cast<uint32_t>(p[3]) << 24));
}

struct tBuffer {
    unsigned char *data = nullptr;
    explicit tBuffer(size_t bytes) : data(static_cast<unsigned char *>(malloc(bytes ? bytes : 1))) {}
    ~tBuffer() { free(data); }
    tBuffer(const tBuffer &) = delete;
    tBuffer &operator=(const tBuffer &) = delete;
};

struct tBytes {
    const unsigned char *data;
    size_t size;
};

bool write_bytes(FILE *f, const void *context)
{
    const tBytes *b = static_cast<const tBytes *>(context);
    return fwrite(b->data, 1, b->size, f) == b->size;
}

// Decompress entry e into out (at least e.size bytes) and write it to path. A symlink planted
// there is replaced, not written through, and a full disk leaves the old file. Returns -1 when
// the file cannot be written.
int32_t write_entry(const tThemeDefaultEntry &e, unsigned char *out, const char *path, FILE *messages)
{
    const int32_t produced = theme_lz_decompress_bounded(out, theme_default_streams + e.offset, e.packed, e.size);
    const tBytes bytes{out, produced > 0 ? static_cast<size_t>(produced) : 0};
    if (save_file_put(path, 0666, write_bytes, &bytes) != 0) {
        fprintf(messages, "unable to open file [%s] for writing\n", path);
        return -1;
    }
    return 0;
}

}  // namespace

int32_t theme_default_entry(int32_t index, tThemeDefaultEntry *entry)
{
    if (index < 0 || index >= THEME_DEFAULT_ENTRY_COUNT || !entry) return -1;
    const unsigned char *d = theme_default_directory + index * THEME_DEFAULT_ENTRY_BYTES;
    memcpy(entry->name, d, THEME_DEFAULT_NAME_BYTES);
    entry->name[THEME_DEFAULT_NAME_BYTES] = '\0';
    entry->size = read_le32(d + 16);
    entry->offset = read_le32(d + 20);
    int32_t end = theme_default_streams_size;
    if (index + 1 < THEME_DEFAULT_ENTRY_COUNT) end = read_le32(d + THEME_DEFAULT_ENTRY_BYTES + 20);
    if (entry->size < 0 || entry->offset < 0 || end < entry->offset || end > theme_default_streams_size)
        return -1;
    entry->packed = end - entry->offset;
    return 0;
}

int32_t theme_lz_decompress(unsigned char *out, const unsigned char *in, int32_t size)
{
    // A stream inside the embedded block may be read to the block's end and no further.
    int32_t in_size = INT32_MAX;
    const uintptr_t at = reinterpret_cast<uintptr_t>(in);
    const uintptr_t begin = reinterpret_cast<uintptr_t>(theme_default_streams);
    const uintptr_t end = begin + static_cast<uintptr_t>(theme_default_streams_size);
    if (at >= begin && at <= end) in_size = static_cast<int32_t>(end - at);
    return theme_lz_decompress_bounded(out, in, in_size, size);
}

int32_t theme_lz_decompress_bounded(unsigned char *out, const unsigned char *in, int32_t in_size,
                                    int32_t size)
{
    if (!out || !in || size <= 0 || in_size < 0) return 0;
    int32_t o = 0;
    int32_t i = 0;
    // The stream opens with eight literals and no control byte.
    int32_t literals = 8;
    while (o < size) {
        while (literals > 0 && o < size) {
            if (i >= in_size) return o;
            out[o++] = in[i++];
            --literals;
        }
        if (o >= size) break;
        if (i >= in_size) return o;
        const unsigned char c = in[i++];
        if (c < 0x80) {
            literals = c;
            continue;
        }
        const int32_t width = o < 256 ? 1 : (o < 65536 ? 2 : 3);
        if (in_size - i < 1 + width) return o;
        int32_t n = ((c & 0x7f) << 8) | in[i++];
        int32_t p = 0;
        for (int32_t k = 0; k < width; ++k) p = (p << 8) | in[i++];
        // A source at or past the output position would read unwritten bytes.
        if (p >= o) return o;
        while (n > 0 && o < size) {
            out[o++] = out[p++];
            --n;
        }
    }
    return o;
}

int32_t theme_default_write_file(const char *directory, const char *name)
{
    if (!directory || !name) return -1;
    mkdir(directory, 0700);
    for (int32_t k = 0; k < THEME_DEFAULT_ENTRY_COUNT; ++k) {
        tThemeDefaultEntry e;
        if (theme_default_entry(k, &e) != 0) continue;
        if (strlen(name) > THEME_DEFAULT_NAME_BYTES || strncmp(e.name, name, THEME_DEFAULT_NAME_BYTES) != 0)
            continue;
        char path[2048];
        int n = snprintf(path, sizeof path, "%s/%s", directory, e.name);
        if (n < 0 || static_cast<size_t>(n) >= sizeof path) {
            // A cut path would name some other file.
            fprintf(stderr, "unable to open file [%s] for writing\n", path);
            return -1;
        }
        tBuffer buffer(static_cast<size_t>(e.size));
        if (!buffer.data) return -1;
        return write_entry(e, buffer.data, path, stderr);
    }
    return 0;
}

int32_t theme_default_write_all(const char *directory)
{
    if (!directory) return -1;
    int32_t largest = 0;
    for (int32_t k = 0; k < THEME_DEFAULT_ENTRY_COUNT; ++k) {
        tThemeDefaultEntry e;
        if (theme_default_entry(k, &e) == 0 && e.size > largest) largest = e.size;
    }
    tBuffer buffer(static_cast<size_t>(largest) + 64);
    if (!buffer.data) return -1;
    for (int32_t k = 0; k < THEME_DEFAULT_ENTRY_COUNT; ++k) {
        tThemeDefaultEntry e;
        if (theme_default_entry(k, &e) != 0) continue;
        char path[1024];
        int n = snprintf(path, sizeof path, "%s/%s", directory, e.name);
        if (n < 0 || static_cast<size_t>(n) >= sizeof path) {
            fprintf(stdout, "unable to open file [%s] for writing\n", path);
            return -1;
        }
        if (write_entry(e, buffer.data, path, stdout) != 0) return -1;
    }
    return 0;
}
