// The default theme stored compressed inside the program.
#pragma once

#include <cstdint>

constexpr int32_t THEME_DEFAULT_ENTRY_COUNT = 17;
constexpr int32_t THEME_DEFAULT_ENTRY_BYTES = 24;
constexpr int32_t THEME_DEFAULT_NAME_BYTES = 16;

// The embedded archive (generated at build time): 17 directory entries of
// 24 bytes (name, size, offset), then the compressed streams back to back.
extern const unsigned char theme_default_directory[];
extern const unsigned char theme_default_streams[];
extern const int32_t theme_default_streams_size;

struct tThemeDefaultEntry {
    char name[THEME_DEFAULT_NAME_BYTES + 1];
    int32_t size;
    int32_t offset;
    int32_t packed;  // compressed length, from the next offset
};

// Entry i of the directory (0 to 16); -1 for a bad index or a directory
// whose sizes or offsets do not fit the stream block.
int32_t theme_default_entry(int32_t index, tThemeDefaultEntry *entry);

// Never writes more than size bytes; a stream inside the embedded block is
// never read past the block's end.
int32_t theme_lz_decompress(unsigned char *out, const unsigned char *in, int32_t size);
// As theme_lz_decompress, but never reads more than in_size bytes of input;
// a copy from at or past the current output position ends decoding.
int32_t theme_lz_decompress_bounded(unsigned char *out, const unsigned char *in, int32_t in_size,
                                    int32_t size);
int32_t theme_default_write_file(const char *directory, const char *name);
int32_t theme_default_write_all(const char *directory);
