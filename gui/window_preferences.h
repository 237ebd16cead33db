// The preferences dialog: one notebook page per module.
#pragma once

#include <cstdint>

#include "config/config.h"

struct tHandle;
typedef struct _GtkApplication GtkApplication;
typedef struct _GtkWidget GtkWidget;

struct tHandleWindowPreferences {
    tHandle *handle;
    int32_t config_opened;
    tHandleConfig config;
    GtkApplication *application;
    GtkWidget *window;
    GtkWidget *notebook;
    GtkWidget *okay;
    GtkWidget *apply;
    GtkWidget *cancel;
};

int32_t window_preferences_init(tHandleWindowPreferences *w, tHandle *h,
                                GtkApplication *application);
int32_t window_preferences_add_page(tHandleWindowPreferences *w, GtkWidget *page, const char *tab);
int32_t window_preferences_show(tHandleWindowPreferences *w);
int32_t window_preferences_hide(tHandleWindowPreferences *w);

// Signal handlers: the window's "close-request" and "destroy" and "Cancel", "Okay", "Apply".
int32_t window_preferences_on_close(void *source, tHandleWindowPreferences *w);
int32_t window_preferences_on_okay(void *button, tHandleWindowPreferences *w);
int32_t window_preferences_on_apply(void *button, tHandleWindowPreferences *w);
