// Placeholder: not built yet; every operation reports failure.
#include "theme/template.h"

int32_t theme_write_template(const char *directory) { return -1; }
