// Hit boxes and slider mapping shared by every skinned window. Window headers include this
// one (not gui/gui.h, which includes them) to embed tHitBox arrays in their records.
#pragma once

#include <cstdint>

typedef struct _GtkWidget GtkWidget;

// A rectangle in a window's base (unscaled) pixels; a disabled box has -1 in all four
// geometry fields and contains no point.
struct tHitBox {
    int32_t id;
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

int32_t gui_hitbox_set(tHitBox *box, int32_t id, int32_t x, int32_t y, int32_t width,
                       int32_t height);
int32_t gui_hitbox_from_element(int32_t base_width, int32_t base_height, tHitBox *box, int32_t id,
                                int32_t element);
int32_t gui_hitbox_disable(tHitBox *box, int32_t id);
int32_t gui_hitbox_test(const tHitBox *boxes, int32_t count, GtkWidget *widget, int32_t base_width,
                        int32_t base_height, double x, double y);
int32_t gui_slider_value(int32_t minimum, int32_t maximum, int32_t vertical, GtkWidget *widget,
                         int32_t base_width, int32_t base_height, int32_t start, int32_t end,
                         double x, double y);

// The same two computations for a widget of a known size, so that they can be used and
// tested without a realised widget.
int32_t gui_hitbox_test_size(const tHitBox *boxes, int32_t count, int32_t widget_width,
                             int32_t widget_height, int32_t base_width, int32_t base_height,
                             double x, double y);
int32_t gui_slider_value_size(int32_t minimum, int32_t maximum, int32_t vertical,
                              int32_t widget_width, int32_t widget_height, int32_t base_width,
                              int32_t base_height, int32_t start, int32_t end, double x, double y);
