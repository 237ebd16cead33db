// Placeholder: not built yet; every operation reports failure.
#include "gui/window_preferences.h"

int32_t window_preferences_init(tHandleWindowPreferences *w, tHandle *h, GtkApplication *application) { return -1; }

int32_t window_preferences_add_page(tHandleWindowPreferences *w, GtkWidget *page, const char *tab) { return -1; }

int32_t window_preferences_show(tHandleWindowPreferences *w) { return -1; }

int32_t window_preferences_hide(tHandleWindowPreferences *w) { return -1; }
