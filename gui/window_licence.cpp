#include "gui/window_licence.h"

#include <cstring>
#include <gtk/gtk.h>

#include "core/startup.h"

int window_licence_on_close(GtkWidget *, void *user_data) {
    window_licence_hide(static_cast<tHandleWindowLicence *>(user_data));
    return TRUE;
}

int32_t window_licence_init(tHandleWindowLicence *w, GtkApplication *application) {
    memset(w, 0, sizeof *w);
    w->application = application;
    w->window = gtk_application_window_new(application);
    gtk_window_set_title(GTK_WINDOW(w->window), "ravlox License");
    w->box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 1);
    gtk_window_set_child(GTK_WINDOW(w->window), w->box);
    w->label = gtk_label_new("ravlox is free software, distributed under this licence:");
    w->buffer = gtk_text_buffer_new(nullptr);
    gtk_text_buffer_set_text(w->buffer, RAVLOX_LICENCE_TEXT,
                             static_cast<int>(strlen(RAVLOX_LICENCE_TEXT)));
    w->textview = gtk_text_view_new_with_buffer(w->buffer);
    // The window's default size is the whole space; the view takes what the others leave.
    gtk_widget_set_vexpand(w->textview, TRUE);
    w->button = gtk_button_new_with_label("OK");
    gtk_box_append(GTK_BOX(w->box), w->label);
    gtk_box_append(GTK_BOX(w->box), w->textview);
    gtk_box_append(GTK_BOX(w->box), w->button);
    gtk_window_set_default_size(GTK_WINDOW(w->window), 766, 487);
    g_signal_connect(w->button, "clicked", G_CALLBACK(window_licence_on_close), w);
    g_signal_connect(w->window, "destroy", G_CALLBACK(window_licence_on_close), w);
    g_signal_connect(w->window, "close-request", G_CALLBACK(window_licence_on_close), w);
    return 0;
}

int32_t window_licence_show(tHandleWindowLicence *w) {
    if (w->window != nullptr)
        gtk_window_present(GTK_WINDOW(w->window));
    return 0;
}

int32_t window_licence_hide(tHandleWindowLicence *w) {
    if (w->window != nullptr)
        gtk_widget_set_visible(w->window, FALSE);
    return 0;
}
