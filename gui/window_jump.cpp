// The "Jump to file" window.
#include "gui/window_jump.h"

#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>

#include "audio/tags.h"
#include "core/handle.h"
#include "playlist/filter.h"

// ---- the matches as a list model whose rows are made only as the list view asks for them

struct _RavloxJumpMatches {
    GObject parent_instance;
    tHandleWindowJump *owner;
};

G_DECLARE_FINAL_TYPE(RavloxJumpMatches, ravlox_jump_matches, RAVLOX, JUMP_MATCHES, GObject)

namespace {

GType matches_item_type(GListModel *) { return GTK_TYPE_STRING_OBJECT; }

guint matches_count(GListModel *model) {
    const tHandleWindowJump *w = RAVLOX_JUMP_MATCHES(model)->owner;
    return w != nullptr ? static_cast<guint>(w->count) : 0;
}

gpointer matches_item(GListModel *model, guint position) {
    tHandleWindowJump *w = RAVLOX_JUMP_MATCHES(model)->owner;
    if (w == nullptr || position >= static_cast<guint>(w->count))
        return nullptr;
    static tSongInfo entry; // main thread only, too large for the stack
    const int32_t index = w->matches[position];
    if (playlist_get_entry(&w->handle->playlist, index, &entry, nullptr) != 0)
        return gtk_string_object_new("");
    entry.path[sizeof entry.path - 1] = '\0';
    entry.title[sizeof entry.title - 1] = '\0';
    const char *text = playlist_shown_text(&entry, window_playlist_shown(&w->handle->gui.window_playlist));
    // Paths that are not UTF-8 show as Latin-1, as the filter reads them.
    char shown[2 * sizeof entry.path];
    tags_to_utf8(text, strlen(text), shown, sizeof shown);
    char row[sizeof shown + 16];
    snprintf(row, sizeof row, "%d. %s", index + 1, shown);
    return gtk_string_object_new(row);
}

void matches_list_model_init(GListModelInterface *iface) {
    iface->get_item_type = matches_item_type;
    iface->get_n_items = matches_count;
    iface->get_item = matches_item;
}

} // namespace

G_DEFINE_TYPE_WITH_CODE(RavloxJumpMatches, ravlox_jump_matches, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(G_TYPE_LIST_MODEL, matches_list_model_init))

static void ravlox_jump_matches_class_init(RavloxJumpMatchesClass *) {}
static void ravlox_jump_matches_init(RavloxJumpMatches *) {}

namespace {

// Rows per Page Up or Page Down.
constexpr int32_t PAGE = 10;

int32_t chosen(const tHandleWindowJump *w) {
    const guint p = gtk_single_selection_get_selected(w->selection);
    return p == GTK_INVALID_LIST_POSITION || p >= static_cast<guint>(w->count) ? -1 : static_cast<int32_t>(p);
}

void choose(tHandleWindowJump *w, int32_t position) {
    gtk_single_selection_set_selected(w->selection, static_cast<guint>(position));
    gtk_widget_activate_action(w->list, "list.scroll-to-item", "u", static_cast<guint>(position));
}

// Every keystroke filters the whole list again; the rows the view shows are made afresh.
void refilter(tHandleWindowJump *w) {
    const guint before = static_cast<guint>(w->count);
    const char *query = gtk_editable_get_text(GTK_EDITABLE(w->entry));
    w->count = playlist_filter(&w->handle->playlist, query, window_playlist_shown(&w->handle->gui.window_playlist),
                               w->matches, PLAYLIST_CAPACITY);
    g_list_model_items_changed(w->matches_model, 0, before, static_cast<guint>(w->count));
    if (w->count > 0)
        choose(w, 0);
    else
        gtk_single_selection_set_selected(w->selection, GTK_INVALID_LIST_POSITION);
}

void on_changed(GtkEditable *, gpointer data) { refilter(static_cast<tHandleWindowJump *>(data)); }

gboolean on_key(GtkEventControllerKey *, guint keyval, guint, GdkModifierType, gpointer data) {
    auto *w = static_cast<tHandleWindowJump *>(data);
    switch (keyval) {
    case GDK_KEY_Up: case GDK_KEY_KP_Up: window_jump_move(w, -1); return TRUE;
    case GDK_KEY_Down: case GDK_KEY_KP_Down: window_jump_move(w, 1); return TRUE;
    case GDK_KEY_Page_Up: case GDK_KEY_KP_Page_Up: window_jump_move(w, -PAGE); return TRUE;
    case GDK_KEY_Page_Down: case GDK_KEY_KP_Page_Down: window_jump_move(w, PAGE); return TRUE;
    case GDK_KEY_Return: case GDK_KEY_KP_Enter: case GDK_KEY_ISO_Enter: window_jump_play_chosen(w); return TRUE;
    case GDK_KEY_Escape: window_jump_hide(w); return TRUE;
    default: return FALSE;
    }
}

// A double click on a row.
void on_activate(GtkListView *, guint position, gpointer data) {
    auto *w = static_cast<tHandleWindowJump *>(data);
    if (position < static_cast<guint>(w->count)) {
        gtk_single_selection_set_selected(w->selection, position);
        window_jump_play_chosen(w);
    }
}

gboolean on_close_request(GtkWindow *, gpointer data) {
    window_jump_hide(static_cast<tHandleWindowJump *>(data));
    return TRUE;
}

void setup_row(GtkSignalListItemFactory *, GtkListItem *item, gpointer) {
    GtkWidget *label = gtk_label_new(nullptr);
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
    gtk_list_item_set_child(item, label);
}

void bind_row(GtkSignalListItemFactory *, GtkListItem *item, gpointer) {
    GtkStringObject *text = GTK_STRING_OBJECT(gtk_list_item_get_item(item));
    gtk_label_set_text(GTK_LABEL(gtk_list_item_get_child(item)), text ? gtk_string_object_get_string(text) : "");
}

void create(tHandleWindowJump *w) {
    w->window = gtk_application_window_new(w->application);
    gtk_window_set_title(GTK_WINDOW(w->window), "Jump to file");
    gtk_window_set_default_size(GTK_WINDOW(w->window), 420, 360);
    gtk_window_set_transient_for(GTK_WINDOW(w->window), GTK_WINDOW(w->handle->gui.window_main.window));

    GtkWidget *box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    gtk_window_set_child(GTK_WINDOW(w->window), box);
    w->entry = gtk_search_entry_new();
    gtk_box_append(GTK_BOX(box), w->entry);
    // Typing goes on in the search wherever the focus is, after a click on a row too.
    gtk_search_entry_set_key_capture_widget(GTK_SEARCH_ENTRY(w->entry), w->window);

    auto *matches = RAVLOX_JUMP_MATCHES(g_object_new(ravlox_jump_matches_get_type(), nullptr));
    matches->owner = w;
    w->matches_model = G_LIST_MODEL(matches);
    w->selection = gtk_single_selection_new(w->matches_model);
    gtk_single_selection_set_autoselect(w->selection, FALSE);
    GtkListItemFactory *factory = gtk_signal_list_item_factory_new();
    g_signal_connect(factory, "setup", G_CALLBACK(setup_row), nullptr);
    g_signal_connect(factory, "bind", G_CALLBACK(bind_row), nullptr);
    w->list = gtk_list_view_new(GTK_SELECTION_MODEL(w->selection), factory);
    GtkWidget *scrolled = gtk_scrolled_window_new();
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(scrolled), w->list);
    gtk_widget_set_vexpand(scrolled, TRUE);
    gtk_box_append(GTK_BOX(box), scrolled);

    // Before the entry and the list see them, so that the arrows choose while typing.
    GtkEventController *keys = gtk_event_controller_key_new();
    gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_CAPTURE);
    g_signal_connect(keys, "key-pressed", G_CALLBACK(on_key), w);
    gtk_widget_add_controller(w->window, keys);
    g_signal_connect(w->entry, "changed", G_CALLBACK(on_changed), w);
    g_signal_connect(w->list, "activate", G_CALLBACK(on_activate), w);
    g_signal_connect(w->window, "close-request", G_CALLBACK(on_close_request), w);
}

} // namespace

int32_t window_jump_init(tHandleWindowJump *w, tHandle *h, GtkApplication *application) {
    memset(static_cast<void *>(w), 0, sizeof *w);
    w->handle = h;
    w->application = application;
    return 0;
}

int32_t window_jump_show(tHandleWindowJump *w) {
    if (w->handle == nullptr || w->application == nullptr)
        return -1;
    if (w->window == nullptr)
        create(w);
    if (!gtk_widget_get_visible(w->window)) {
        // Each opening starts a new search over the list as it is now.
        if (gtk_editable_get_text(GTK_EDITABLE(w->entry))[0] != '\0')
            gtk_editable_set_text(GTK_EDITABLE(w->entry), "");
        else
            refilter(w);
    }
    gtk_window_present(GTK_WINDOW(w->window));
    gtk_widget_grab_focus(w->entry);
    return 0;
}

int32_t window_jump_hide(tHandleWindowJump *w) {
    if (w->window != nullptr)
        gtk_widget_set_visible(w->window, FALSE);
    return 0;
}

int32_t window_jump_move(tHandleWindowJump *w, int32_t step) {
    if (w->window == nullptr || w->count == 0)
        return -1;
    const int32_t from = chosen(w);
    int32_t to = from < 0 ? 0 : from + step;
    to = to < 0 ? 0 : to >= w->count ? w->count - 1 : to;
    choose(w, to);
    return 0;
}

int32_t window_jump_play_chosen(tHandleWindowJump *w) {
    const int32_t position = w->window != nullptr ? chosen(w) : -1;
    if (position < 0)
        return -1;
    const int32_t index = w->matches[position];
    window_jump_hide(w);
    return handle_send_int(w->handle, EVENT_PLAY, index);
}
