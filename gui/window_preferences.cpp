// The preferences dialog: a notebook of module pages with "Okay", "Apply" and "Cancel".
#include "gui/window_preferences.h"

#include <gtk/gtk.h>

#include "core/handle.h"

namespace {

// Stores the selected page; before the first showing there is no file to store it in.
void remember_page(tHandleWindowPreferences *w) {
    if (w->config_opened == 0 || w->notebook == nullptr) return;
    config_set_int(&w->config, "page", gtk_notebook_get_current_page(GTK_NOTEBOOK(w->notebook)));
}

void hide_window(tHandleWindowPreferences *w) {
    remember_page(w);
    if (w->window != nullptr) gtk_widget_set_visible(w->window, FALSE);
}

GtkWidget *add_button(tHandleWindowPreferences *w, GtkWidget *row, const char *label,
                      GCallback clicked) {
    GtkWidget *button = gtk_button_new_with_label(label);
    g_object_set_data(G_OBJECT(button), "pThis", w);
    g_signal_connect(button, "clicked", clicked, w);
    gtk_box_append(GTK_BOX(row), button);
    return button;
}

} // namespace

int32_t window_preferences_init(tHandleWindowPreferences *w, tHandle *h,
                                GtkApplication *application) {
    *w = tHandleWindowPreferences{};
    w->handle = h;
    w->application = application;

    w->window = gtk_application_window_new(application);
    g_object_set_data(G_OBJECT(w->window), "pThis", w);
    GtkWidget *column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 3);
    gtk_box_set_homogeneous(GTK_BOX(column), TRUE);
    gtk_window_set_child(GTK_WINDOW(w->window), column);

    w->notebook = gtk_notebook_new();
    gtk_widget_set_valign(w->notebook, GTK_ALIGN_FILL);
    gtk_widget_set_halign(w->notebook, GTK_ALIGN_FILL);
    gtk_box_append(GTK_BOX(column), w->notebook);

    g_signal_connect(w->window, "destroy", G_CALLBACK(window_preferences_on_close), w);
    g_signal_connect(w->window, "close-request", G_CALLBACK(window_preferences_on_close), w);

    GtkWidget *row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 3);
    gtk_widget_set_valign(row, GTK_ALIGN_END);
    gtk_widget_set_halign(row, GTK_ALIGN_FILL);
    gtk_box_set_homogeneous(GTK_BOX(row), TRUE);
    w->okay = add_button(w, row, "Okay", G_CALLBACK(window_preferences_on_okay));
    gtk_box_append(GTK_BOX(row), gtk_label_new(""));
    w->apply = add_button(w, row, "Apply", G_CALLBACK(window_preferences_on_apply));
    gtk_box_append(GTK_BOX(row), gtk_label_new(""));
    w->cancel = add_button(w, row, "Cancel", G_CALLBACK(window_preferences_on_close));
    gtk_box_append(GTK_BOX(column), row);
    return 0;
}

int32_t window_preferences_add_page(tHandleWindowPreferences *w, GtkWidget *page, const char *tab) {
    if (w->notebook == nullptr || page == nullptr) return -1;
    const int index =
        gtk_notebook_append_page(GTK_NOTEBOOK(w->notebook), page, gtk_label_new(tab ? tab : ""));
    return index < 0 ? -1 : 0;
}

int32_t window_preferences_show(tHandleWindowPreferences *w) {
    if (w->window == nullptr) return -1;
    if (w->config_opened == 0) {
        config_open(&w->config, w->handle->data_dir, "preferences.config");
        w->config_opened = 1;
    }
    int32_t page = 0;
    config_get_int(&w->config, "page", &page, 0);
    gtk_notebook_set_current_page(GTK_NOTEBOOK(w->notebook), page);
    // Presenting also raises a dialog that is already shown behind other windows.
    gtk_window_present(GTK_WINDOW(w->window));
    return 0;
}

int32_t window_preferences_hide(tHandleWindowPreferences *w) {
    hide_window(w);
    return 0;
}

int32_t window_preferences_on_close(void *, tHandleWindowPreferences *w) {
    if (w != nullptr) hide_window(w);
    return TRUE;
}

int32_t window_preferences_on_okay(void *, tHandleWindowPreferences *w) {
    if (w == nullptr) return TRUE;
    handle_dispatch(w->handle, EVENT_PREFERENCES_APPLY, nullptr);
    hide_window(w);
    return TRUE;
}

int32_t window_preferences_on_apply(void *, tHandleWindowPreferences *w) {
    if (w != nullptr) handle_dispatch(w->handle, EVENT_PREFERENCES_APPLY, nullptr);
    return TRUE;
}
