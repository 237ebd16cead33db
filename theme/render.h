// Drawing theme elements and bitmap-font text into images.
#pragma once

#include <cstdint>

#include "theme/theme.h"

// Draws an element at its fixed place; negative coordinates count from the far edges.
int32_t theme_draw_element(tHandleTheme *t, GdkPixbuf *destination, int32_t id);
// Draws an element with its top-left corner at (x, y).
int32_t theme_draw_element_at(tHandleTheme *t, GdkPixbuf *destination, int32_t id, int32_t x,
                              int32_t y);
// Renders text in the TEXT.BMP font into the 6-pixel-high image in *slot, creating, replacing or
// reusing it; bytes outside the font draw fallback_id. A text of no glyphs leaves the slot empty.
int32_t theme_render_text(tHandleTheme *t, GdkPixbuf **slot, int32_t fallback_id, const char *text,
                          int32_t min_width);
// Glyphs in a text: one per byte, the three-byte ellipsis counting as one.
int32_t theme_text_glyph_count(const char *text);
