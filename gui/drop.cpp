#include "gui/drop.h"

#include <gtk/gtk.h>

#include "core/instance.h"

namespace {

gboolean on_drop(GtkDropTarget *target, const GValue *value, double, double, gpointer data) {
    auto *h = static_cast<tHandle *>(data);
    if (!G_VALUE_HOLDS(value, GDK_TYPE_FILE_LIST))
        return FALSE;
    GSList *list = gdk_file_list_get_files(static_cast<GdkFileList *>(g_value_get_boxed(value)));
    // GLib's allocator, so that nothing can throw out of the signal handler.
    const guint count = g_slist_length(list);
    GFile **files = g_new(GFile *, count + 1);
    guint n = 0;
    for (GSList *l = list; l; l = l->next)
        files[n++] = G_FILE(l->data);
    g_slist_free(list);
    const int32_t mode = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(target), "mode"));
    const int32_t added = instance_open_files(h, files, static_cast<int32_t>(n), mode);
    g_free(files);
    return added > 0;
}

} // namespace

void drop_attach(GtkWidget *window, tHandle *h, int32_t mode) {
    GtkDropTarget *target = gtk_drop_target_new(GDK_TYPE_FILE_LIST, GDK_ACTION_COPY);
    g_object_set_data(G_OBJECT(target), "mode", GINT_TO_POINTER(mode));
    g_signal_connect(target, "drop", G_CALLBACK(on_drop), h);
    gtk_widget_add_controller(window, GTK_EVENT_CONTROLLER(target));
}
