// Placeholder: not built yet; every operation reports failure.
#include "gui/window_main.h"

int32_t window_main_init(tHandleWindowMain *w, tHandle *h, tHandleTheme *theme, GtkApplication *application) { return -1; }

int32_t window_main_read_config(tHandleWindowMain *w) { return -1; }

int32_t window_main_show(tHandleWindowMain *w) { return -1; }

int32_t window_main_set_scale(tHandleWindowMain *w, uint32_t scale) { return -1; }

int32_t window_main_refresh(tHandleWindowMain *w) { return -1; }

int32_t window_main_set_status(tHandleWindowMain *w, int32_t status) { return -1; }

int32_t window_main_set_volume(tHandleWindowMain *w, int32_t volume) { return -1; }

int32_t window_main_set_balance(tHandleWindowMain *w, int32_t balance) { return -1; }

int32_t window_main_set_equalizer_button(tHandleWindowMain *w, int32_t flag) { return -1; }

int32_t window_main_set_playlist_button(tHandleWindowMain *w, int32_t flag) { return -1; }

int32_t window_main_get_shuffle_repeat(tHandleWindowMain *w, int32_t *shuffle, int32_t *repeat) { return -1; }

int32_t window_main_redraw(tHandleWindowMain *w) { return -1; }
