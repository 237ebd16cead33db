// Placeholder: not built yet; every operation reports failure.
#include "gui/window_equalizer.h"

int32_t window_equalizer_init(tHandleWindowEqualizer *w, tHandle *h, tHandleTheme *theme, GtkApplication *application) { return -1; }

int32_t window_equalizer_read_config(tHandleWindowEqualizer *w) { return -1; }

int32_t window_equalizer_set_value(tHandleWindowEqualizer *w, int32_t index, int32_t value) { return -1; }

int32_t window_equalizer_set_enabled(tHandleWindowEqualizer *w, int32_t flag) { return -1; }

int32_t window_equalizer_show(tHandleWindowEqualizer *w) { return -1; }

int32_t window_equalizer_hide(tHandleWindowEqualizer *w) { return -1; }

int32_t window_equalizer_set_scale(tHandleWindowEqualizer *w, uint32_t scale) { return -1; }

int32_t window_equalizer_refresh(tHandleWindowEqualizer *w) { return -1; }

int32_t window_equalizer_redraw(tHandleWindowEqualizer *w) { return -1; }
