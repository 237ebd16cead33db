// Writes a colour-coded template theme for theme designers.
#pragma once

#include <cstdint>

int32_t theme_write_template(const char *directory);
