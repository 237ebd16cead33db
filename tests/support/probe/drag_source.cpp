// A small window that a pointer drag carries files out of, as from a file manager: the files
// named on the command line, as one file list. It prints "ready" once shown and ends after
// the drag, or after 20 s whatever happens.
#include <gtk/gtk.h>

#include <cstdio>

namespace {

GSList *g_files = nullptr;

GdkContentProvider *on_prepare(GtkDragSource *, double, double, gpointer) {
    GdkFileList *list = gdk_file_list_new_from_list(g_files);
    GValue value = G_VALUE_INIT;
    g_value_init(&value, GDK_TYPE_FILE_LIST);
    g_value_take_boxed(&value, list);
    GdkContentProvider *provider = gdk_content_provider_new_for_value(&value);
    g_value_unset(&value);
    return provider;
}

void on_end(GtkDragSource *, GdkDrag *, gboolean deleted, gpointer app) {
    printf("drag ended%s\n", deleted ? " (moved)" : "");
    fflush(stdout);
    g_application_quit(G_APPLICATION(app));
}

void on_map(GtkWidget *, gpointer) {
    printf("ready\n");
    fflush(stdout);
}

void activate(GtkApplication *app, gpointer) {
    GtkWidget *win = gtk_application_window_new(app);
    gtk_window_set_title(GTK_WINDOW(win), "ravlox drag source");
    gtk_window_set_default_size(GTK_WINDOW(win), 120, 80);
    GtkWidget *label = gtk_label_new("files");
    gtk_widget_set_size_request(label, 120, 80);
    gtk_window_set_child(GTK_WINDOW(win), label);
    GtkDragSource *source = gtk_drag_source_new();
    gtk_drag_source_set_actions(source, GDK_ACTION_COPY);
    g_signal_connect(source, "prepare", G_CALLBACK(on_prepare), nullptr);
    g_signal_connect(source, "drag-end", G_CALLBACK(on_end), app);
    gtk_widget_add_controller(label, GTK_EVENT_CONTROLLER(source));
    g_signal_connect(win, "map", G_CALLBACK(on_map), nullptr);
    gtk_window_present(GTK_WINDOW(win));
    g_timeout_add_seconds(20, [](gpointer a) -> gboolean {
        g_application_quit(G_APPLICATION(a));
        return G_SOURCE_REMOVE;
    }, app);
}

} // namespace

int main(int argc, char **argv) {
    for (int k = 1; k < argc; ++k)
        g_files = g_slist_append(g_files, g_file_new_for_path(argv[k]));
    GtkApplication *app = gtk_application_new(nullptr, G_APPLICATION_NON_UNIQUE);
    g_signal_connect(app, "activate", G_CALLBACK(activate), nullptr);
    char *gtk_argv[] = {argv[0], nullptr};
    const int status = g_application_run(G_APPLICATION(app), 1, gtk_argv);
    g_object_unref(app);
    g_slist_free_full(g_files, g_object_unref);
    return status;
}
