// Placeholder: not built yet; every operation reports failure.
#include "theme/default_theme.h"

int32_t theme_lz_decompress(unsigned char *out, const unsigned char *in, int32_t size) { return -1; }

int32_t theme_default_write_file(const char *directory, const char *name) { return -1; }

int32_t theme_default_write_all(const char *directory) { return -1; }
