// Build tool: packs the default theme's 17 files into the embedded archive
// (a 24-byte directory entry per file, then the LZ streams) as a C++ source.
// Usage: pack_theme THEME_DIRECTORY OUTPUT.cpp
#include "theme/catalogue.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Byte-wise ascending by name, the order the archive keeps.
constexpr const char *FILES[] = {
    "BALANCE.BMP", "CBUTTONS.BMP", "EQMAIN.BMP", "EQ_EX.BMP",  "MAIN.BMP",    "MONOSTER.BMP",
    "NUMBERS.BMP", "PLAYPAUS.BMP", "PLEDIT.BMP", "PLEDIT.TXT", "POSBAR.BMP",  "SHUFREP.BMP",
    "TEXT.BMP",    "TITLEBAR.BMP", "VISCOLOR.TXT", "VOLUME.BMP", "cc-0-10.txt",
};
constexpr int FILE_COUNT = sizeof FILES / sizeof FILES[0];
static_assert(FILE_COUNT == 17);

constexpr bool names_ascend()
{
    for (int k = 1; k < FILE_COUNT; ++k)
        if (std::string_view(FILES[k - 1]) >= std::string_view(FILES[k])) return false;
    return true;
}
static_assert(names_ascend());

// The catalogue's row for a bitmap file name, or nullptr for the text files.
const tThemeBitmap *bitmap_named(const char *name)
{
    for (const tThemeBitmap &b : THEME_BITMAPS)
        if (strcmp(b.name, name) == 0) return &b;
    return nullptr;
}

constexpr int MAX_RUN = 127;
constexpr int MAX_COPY = 32767;
constexpr int HASH_BITS = 16;
constexpr int CHAIN_DEPTH = 256;

int position_width(size_t o) { return o < 256 ? 1 : (o < 65536 ? 2 : 3); }

struct tEncoder {
    const std::vector<unsigned char> &in;
    std::vector<unsigned char> &out;
    std::vector<int32_t> head;
    std::vector<int32_t> prev;
    size_t inserted = 0;
    size_t run_start = 0;  // first byte of the pending literal run
    size_t matches = 0;

    tEncoder(const std::vector<unsigned char> &i, std::vector<unsigned char> &o)
        : in(i), out(o), head(size_t(1) << HASH_BITS, -1), prev(i.size(), -1) {}

    uint32_t hash(size_t p) const
    {
        uint32_t v = in[p] | (uint32_t(in[p + 1]) << 8) | (uint32_t(in[p + 2]) << 16);
        return (v * 2654435761u) >> (32 - HASH_BITS);
    }

    void insert_until(size_t p)
    {
        for (; inserted < p && inserted + 3 <= in.size(); ++inserted) {
            uint32_t h = hash(inserted);
            prev[inserted] = head[h];
            head[h] = int32_t(inserted);
        }
    }

    // Longest earlier match for position p: length and source.
    size_t find(size_t p, size_t *source)
    {
        insert_until(p);
        if (p + 3 > in.size()) return 0;
        size_t best = 0;
        size_t limit = in.size() - p;
        if (limit > MAX_COPY) limit = MAX_COPY;
        int32_t cand = head[hash(p)];
        for (int depth = 0; cand >= 0 && depth < CHAIN_DEPTH; ++depth, cand = prev[size_t(cand)]) {
            size_t c = size_t(cand);
            if (in[c + best] != in[p + best] && best < limit) continue;
            size_t len = 0;
            while (len < limit && in[c + len] == in[p + len]) ++len;
            if (len > best) {
                best = len;
                *source = c;
                if (len == limit) break;
            }
        }
        return best;
    }

    // Emit the literals from run_start up to p (control bytes of at most 127).
    void flush_literals(size_t p)
    {
        while (run_start < p) {
            size_t n = p - run_start;
            if (n > MAX_RUN) n = MAX_RUN;
            out.push_back(static_cast<unsigned char>(n));
            out.insert(out.end(), in.begin() + long(run_start), in.begin() + long(run_start + n));
            run_start += n;
        }
    }

    // A copy pays when it is longer than its own control bytes.
    static bool worth(size_t len, size_t p) { return len >= size_t(3 + position_width(p)); }

    void encode()
    {
        // The first eight bytes are literals without a control byte.
        size_t first = in.size() < 8 ? in.size() : 8;
        out.insert(out.end(), in.begin(), in.begin() + long(first));
        size_t p = first;
        run_start = p;
        while (p < in.size()) {
            size_t src = 0;
            size_t len = find(p, &src);
            if (!worth(len, p)) {
                ++p;
                continue;
            }
            // One step of lazy matching: a longer copy one byte later wins.
            size_t src2 = 0;
            size_t len2 = (p + 1 < in.size()) ? find(p + 1, &src2) : 0;
            if (len2 > len + 1 && worth(len2, p + 1)) {
                ++p;
                continue;
            }
            flush_literals(p);
            int w = position_width(p);
            out.push_back(static_cast<unsigned char>(0x80 | (len >> 8)));
            out.push_back(static_cast<unsigned char>(len & 0xff));
            for (int k = w - 1; k >= 0; --k) out.push_back(static_cast<unsigned char>(src >> (8 * k)));
            ++matches;
            p += len;
            run_start = p;
        }
        flush_literals(p);
    }
};

// Independent decoder, to prove every stream before it is embedded.
std::vector<unsigned char> decode(const unsigned char *in, size_t in_size, size_t size)
{
    std::vector<unsigned char> out;
    size_t i = 0;
    size_t literals = 8;
    while (out.size() < size) {
        while (literals > 0 && out.size() < size && i < in_size) {
            out.push_back(in[i++]);
            --literals;
        }
        if (out.size() >= size || i >= in_size) break;
        unsigned char c = in[i++];
        if (c < 0x80) {
            literals = c;
            continue;
        }
        int w = position_width(out.size());
        if (i + 1 + size_t(w) > in_size) break;
        size_t n = (size_t(c & 0x7f) << 8) | in[i++];
        size_t p = 0;
        for (int k = 0; k < w; ++k) p = (p << 8) | in[i++];
        if (p >= out.size()) break;
        for (; n > 0 && out.size() < size; --n) out.push_back(out[p++]);
    }
    return out;
}

bool read_file(const std::string &path, std::vector<unsigned char> *data)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) data->insert(data->end(), chunk, chunk + n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

void put_le32(std::vector<unsigned char> *v, uint32_t x)
{
    for (int k = 0; k < 4; ++k) v->push_back(static_cast<unsigned char>(x >> (8 * k)));
}

void write_array(FILE *f, const char *name, const std::vector<unsigned char> &v)
{
    fprintf(f, "extern const unsigned char %s[%zu] = {", name, v.size());
    for (size_t k = 0; k < v.size(); ++k) fprintf(f, "%s%u,", k % 24 ? "" : "\n", v[k]);
    fprintf(f, "\n};\n");
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s THEME_DIRECTORY OUTPUT.cpp\n", argv[0]);
        return 2;
    }
    std::vector<unsigned char> directory;
    std::vector<unsigned char> streams;
    size_t total = 0;
    size_t matches = 0;
    for (const char *name : FILES) {
        std::vector<unsigned char> data;
        std::string path = std::string(argv[1]) + "/" + name;
        if (!read_file(path, &data)) {
            fprintf(stderr, "pack_theme: cannot read %s\n", path.c_str());
            return 1;
        }
        if (const tThemeBitmap *b = bitmap_named(name)) {
            size_t expect = 54 + size_t(b->height) * ((size_t(b->width) * 3 + 3) / 4 * 4);
            if (data.size() != expect || data[0] != 'B' || data[1] != 'M') {
                fprintf(stderr, "pack_theme: %s has %zu bytes, not a %dx%d 24-bit bitmap of %zu\n", name,
                        data.size(), b->width, b->height, expect);
                return 1;
            }
        }
        size_t offset = streams.size();
        std::vector<unsigned char> packed;
        tEncoder encoder(data, packed);
        encoder.encode();
        if (decode(packed.data(), packed.size(), data.size()) != data) {
            fprintf(stderr, "pack_theme: %s does not decode back to itself\n", name);
            return 1;
        }
        streams.insert(streams.end(), packed.begin(), packed.end());
        unsigned char entry_name[16] = {};
        memcpy(entry_name, name, strlen(name));
        directory.insert(directory.end(), entry_name, entry_name + 16);
        put_le32(&directory, uint32_t(data.size()));
        put_le32(&directory, uint32_t(offset));
        total += data.size();
        matches += encoder.matches;
    }
    double ratio = streams.empty() ? 0.0 : double(total) / double(streams.size());
    printf("default theme: %zu bytes packed into %zu (%.1f:1, %zu copies)\n", total, streams.size(), ratio,
           matches);
    if (ratio < 10.0) {
        fprintf(stderr, "pack_theme: compression ratio %.1f:1 is below 10:1\n", ratio);
        return 1;
    }
    std::string tmp = std::string(argv[2]) + ".tmp";
    FILE *f = fopen(tmp.c_str(), "w");
    if (!f) {
        fprintf(stderr, "pack_theme: cannot write %s\n", tmp.c_str());
        return 1;
    }
    fprintf(f, "// Generated by tools/pack_theme from theme/default; do not edit.\n");
    fprintf(f, "#include \"theme/default_theme.h\"\n\n");
    write_array(f, "theme_default_directory", directory);
    write_array(f, "theme_default_streams", streams);
    fprintf(f, "extern const int32_t theme_default_streams_size = %zu;\n", streams.size());
    bool ok = fclose(f) == 0;
    if (!ok || rename(tmp.c_str(), argv[2]) != 0) {
        fprintf(stderr, "pack_theme: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
