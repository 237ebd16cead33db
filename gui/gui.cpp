// Placeholder: not built yet; every operation reports failure.
#include "gui/gui.h"

int32_t gui_hitbox_set(tHitBox *box, int32_t id, int32_t x, int32_t y, int32_t width, int32_t height) { return -1; }

int32_t gui_hitbox_from_element(int32_t base_width, int32_t base_height, tHitBox *box, int32_t id, int32_t element) { return -1; }

int32_t gui_hitbox_disable(tHitBox *box, int32_t id) { return -1; }

int32_t gui_hitbox_test(const tHitBox *boxes, int32_t count, GtkWidget *widget, int32_t base_width, int32_t base_height, double x, double y) { return -1; }

int32_t gui_slider_value(int32_t minimum, int32_t maximum, int32_t vertical, GtkWidget *widget, int32_t base_width, int32_t base_height, int32_t start, int32_t end, double x, double y) { return -1; }

int32_t gui_init(tHandleGui *g, tHandle *h, GtkApplication *application, tHandlePlaylist *playlist) { return -1; }

int32_t gui_read_config(tHandleGui *g) { return -1; }

int32_t gui_parse_option(tHandleGui *g, const char *arg) { return -1; }

int32_t gui_set_scale(tHandleGui *g, int32_t factor) { return -1; }

int32_t gui_show_playlist(tHandleGui *g, int32_t flag) { return -1; }

int32_t gui_show_equalizer(tHandleGui *g, int32_t flag) { return -1; }

int32_t gui_show_preferences(tHandleGui *g, int32_t flag) { return -1; }

int32_t gui_refresh(tHandleGui *g) { return -1; }

int32_t gui_add_preferences_page(tHandleGui *g, GtkWidget *page, const char *tab) { return -1; }
