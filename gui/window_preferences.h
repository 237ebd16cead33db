// The preferences dialog: one notebook page per module.
#pragma once

#include <cstdint>

struct tHandle;
typedef struct _GtkApplication GtkApplication;
typedef struct _GtkWidget GtkWidget;

struct tHandleWindowPreferences {
    tHandle *handle;
    GtkApplication *application;
};

int32_t window_preferences_init(tHandleWindowPreferences *w, tHandle *h,
                                GtkApplication *application);
int32_t window_preferences_add_page(tHandleWindowPreferences *w, GtkWidget *page, const char *tab);
int32_t window_preferences_show(tHandleWindowPreferences *w);
int32_t window_preferences_hide(tHandleWindowPreferences *w);
