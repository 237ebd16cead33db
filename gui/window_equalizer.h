// The equalizer window.
#pragma once

#include <cstdint>

struct tHandle;
struct tHandleTheme;
typedef struct _GtkApplication GtkApplication;

struct tHandleWindowEqualizer {
    tHandle *handle;
    tHandleTheme *theme;
    int32_t value[11];
    int32_t on;
};

int32_t window_equalizer_init(tHandleWindowEqualizer *w, tHandle *h, tHandleTheme *theme,
                              GtkApplication *application);
int32_t window_equalizer_read_config(tHandleWindowEqualizer *w);
int32_t window_equalizer_set_value(tHandleWindowEqualizer *w, int32_t index, int32_t value);
int32_t window_equalizer_set_enabled(tHandleWindowEqualizer *w, int32_t flag);
int32_t window_equalizer_show(tHandleWindowEqualizer *w);
int32_t window_equalizer_hide(tHandleWindowEqualizer *w);
int32_t window_equalizer_set_scale(tHandleWindowEqualizer *w, uint32_t scale);
int32_t window_equalizer_refresh(tHandleWindowEqualizer *w);
int32_t window_equalizer_redraw(tHandleWindowEqualizer *w);
