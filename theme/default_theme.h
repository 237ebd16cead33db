// The default theme stored compressed inside the program.
#pragma once

#include <cstdint>

int32_t theme_lz_decompress(unsigned char *out, const unsigned char *in, int32_t size);
int32_t theme_default_write_file(const char *directory, const char *name);
int32_t theme_default_write_all(const char *directory);
