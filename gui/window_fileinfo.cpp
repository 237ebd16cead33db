// The "File info" dialog.
#include "gui/window_fileinfo.h"

#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>

#include "playlist/playlist.h"

namespace {

constexpr const char *ROW_NAMES[FILEINFO_ROWS] = {
    "Path", "Format", "Length", "Sample rate", "Channels", "Bit rate", "Title",
    "Artist", "Album", "Year", "Track", "Genre", "Comment",
};

void set_value(tHandleWindowFileInfo *w, int32_t row, const char *text) {
    gtk_label_set_text(GTK_LABEL(w->values[row]), text);
}

gboolean on_close_request(GtkWindow *, gpointer data) {
    window_fileinfo_hide(static_cast<tHandleWindowFileInfo *>(data));
    return TRUE;
}

void on_close_clicked(GtkButton *, gpointer data) { window_fileinfo_hide(static_cast<tHandleWindowFileInfo *>(data)); }

gboolean on_key(GtkEventControllerKey *, guint keyval, guint, GdkModifierType, gpointer data) {
    if (keyval != GDK_KEY_Escape)
        return FALSE;
    window_fileinfo_hide(static_cast<tHandleWindowFileInfo *>(data));
    return TRUE;
}

void create(tHandleWindowFileInfo *w) {
    w->window = gtk_application_window_new(w->application);
    gtk_window_set_title(GTK_WINDOW(w->window), "File info");
    gtk_window_set_default_size(GTK_WINDOW(w->window), 440, -1);
    GtkWidget *box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_widget_set_margin_start(box, 12);
    gtk_widget_set_margin_end(box, 12);
    gtk_widget_set_margin_top(box, 12);
    gtk_widget_set_margin_bottom(box, 12);
    gtk_window_set_child(GTK_WINDOW(w->window), box);

    w->message = gtk_label_new(nullptr);
    gtk_label_set_wrap(GTK_LABEL(w->message), TRUE);
    gtk_label_set_xalign(GTK_LABEL(w->message), 0);
    gtk_box_append(GTK_BOX(box), w->message);

    GtkWidget *grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 4);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 12);
    for (int32_t row = 0; row < FILEINFO_ROWS; row++) {
        GtkWidget *name = gtk_label_new(ROW_NAMES[row]);
        gtk_label_set_xalign(GTK_LABEL(name), 1);
        gtk_widget_set_valign(name, GTK_ALIGN_START);
        GtkWidget *value = gtk_label_new(nullptr);
        gtk_label_set_xalign(GTK_LABEL(value), 0);
        gtk_label_set_selectable(GTK_LABEL(value), TRUE);
        gtk_label_set_wrap(GTK_LABEL(value), TRUE);
        gtk_label_set_wrap_mode(GTK_LABEL(value), PANGO_WRAP_WORD_CHAR);
        gtk_label_set_max_width_chars(GTK_LABEL(value), 60);
        gtk_widget_set_hexpand(value, TRUE);
        gtk_grid_attach(GTK_GRID(grid), name, 0, row, 1, 1);
        gtk_grid_attach(GTK_GRID(grid), value, 1, row, 1, 1);
        w->values[row] = value;
    }
    gtk_box_append(GTK_BOX(box), grid);

    GtkWidget *close = gtk_button_new_with_label("Close");
    gtk_widget_set_halign(close, GTK_ALIGN_END);
    gtk_box_append(GTK_BOX(box), close);
    g_signal_connect(close, "clicked", G_CALLBACK(on_close_clicked), w);

    GtkEventController *keys = gtk_event_controller_key_new();
    g_signal_connect(keys, "key-pressed", G_CALLBACK(on_key), w);
    gtk_widget_add_controller(w->window, keys);
    g_signal_connect(w->window, "close-request", G_CALLBACK(on_close_request), w);
}

} // namespace

int32_t window_fileinfo_init(tHandleWindowFileInfo *w, GtkApplication *application) {
    memset(static_cast<void *>(w), 0, sizeof *w);
    w->application = application;
    return 0;
}

int32_t window_fileinfo_show(tHandleWindowFileInfo *w, const char *path, GtkWidget *parent) {
    if (w->application == nullptr || path == nullptr)
        return -1;
    if (w->window == nullptr)
        create(w);
    tFileInfo *info = &w->info;
    int32_t result = -1;
    if (playlist_is_stream(path)) {
        memset(info, 0, sizeof *info);
        info->length = -1;
        snprintf(info->error, sizeof info->error, "This entry is a stream, which cannot be read yet.");
    } else {
        result = fileinfo_read(path, info);
    }

    // Names that are not UTF-8 show as Latin-1, as the lists show them.
    char text[2 * 1024];
    tags_to_utf8(path, strlen(path), text, sizeof text);
    set_value(w, FILEINFO_PATH, text);
    set_value(w, FILEINFO_FORMAT, info->format[0] ? info->format : "-");
    fileinfo_length_text(info, text, sizeof text);
    set_value(w, FILEINFO_LENGTH, text);
    fileinfo_rate_text(info, text, sizeof text);
    set_value(w, FILEINFO_RATE, text);
    fileinfo_channels_text(info, text, sizeof text);
    set_value(w, FILEINFO_CHANNELS, text);
    fileinfo_bitrate_text(info, text, sizeof text);
    set_value(w, FILEINFO_BITRATE, text);
    const tSongTags &t = info->tags;
    const char *tags[] = {t.title, t.artist, t.album, t.year, t.track, t.genre, t.comment};
    static_assert(sizeof tags / sizeof tags[0] == FILEINFO_ROWS - FILEINFO_TITLE);
    for (int32_t k = 0; k < FILEINFO_ROWS - FILEINFO_TITLE; k++)
        set_value(w, FILEINFO_TITLE + k, tags[k]);

    if (result != 0) {
        snprintf(text, sizeof text, "This file cannot be read. %s", info->error);
        gtk_label_set_text(GTK_LABEL(w->message), text);
    }
    gtk_widget_set_visible(w->message, result != 0);
    if (parent != nullptr)
        gtk_window_set_transient_for(GTK_WINDOW(w->window), GTK_WINDOW(parent));
    gtk_window_present(GTK_WINDOW(w->window));
    return result;
}

int32_t window_fileinfo_hide(tHandleWindowFileInfo *w) {
    if (w->window != nullptr)
        gtk_widget_set_visible(w->window, FALSE);
    return 0;
}
