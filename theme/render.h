// Drawing theme elements and bitmap-font text into images.
#pragma once

#include <cstdint>

#include "theme/theme.h"

int32_t theme_draw_element(tHandleTheme *t, GdkPixbuf *destination, int32_t id);
int32_t theme_draw_element_at(tHandleTheme *t, GdkPixbuf *destination, int32_t id, int32_t x,
                              int32_t y);
int32_t theme_render_text(tHandleTheme *t, GdkPixbuf **slot, int32_t fallback_id, const char *text,
                          int32_t min_width);
