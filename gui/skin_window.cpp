#include "gui/skin_window.h"

#include <gtk/gtk.h>

#include <initializer_list>

// ---- the pictures' content: a pixbuf scaled by whole pixels
//
// GTK's own texture scaling filters, which would blur a pixel-exact theme at scale 2; this
// paintable hands GTK the pixels through cairo with nearest-neighbour sampling, and keeps one
// cairo surface that is updated in place.

struct tSkinPaintable {
    GObject parent;
    cairo_surface_t *surface;
    int32_t width; // base size
    int32_t height;
    uint32_t scale;
    uint32_t *invalidations;
    uint32_t *snapshots;
};

struct tSkinPaintableClass {
    GObjectClass parent_class;
};

static void skin_paintable_iface_init(GdkPaintableInterface *iface);

G_DEFINE_TYPE_WITH_CODE(tSkinPaintable, skin_paintable, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(GDK_TYPE_PAINTABLE, skin_paintable_iface_init))

static void skin_paintable_snapshot(GdkPaintable *paintable, GdkSnapshot *snapshot, double width,
                                    double height) {
    tSkinPaintable *self = reinterpret_cast<tSkinPaintable *>(paintable);
    if (self->surface == nullptr || width <= 0 || height <= 0)
        return;
    if (self->snapshots != nullptr)
        (*self->snapshots)++;
    graphene_rect_t bounds;
    graphene_rect_init(&bounds, 0, 0, static_cast<float>(width), static_cast<float>(height));
    cairo_t *cr = gtk_snapshot_append_cairo(GTK_SNAPSHOT(snapshot), &bounds);
    cairo_scale(cr, width / self->width, height / self->height);
    cairo_set_source_surface(cr, self->surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_destroy(cr);
}

static int skin_paintable_get_intrinsic_width(GdkPaintable *paintable) {
    tSkinPaintable *self = reinterpret_cast<tSkinPaintable *>(paintable);
    return self->width * static_cast<int>(self->scale);
}

static int skin_paintable_get_intrinsic_height(GdkPaintable *paintable) {
    tSkinPaintable *self = reinterpret_cast<tSkinPaintable *>(paintable);
    return self->height * static_cast<int>(self->scale);
}

static void skin_paintable_iface_init(GdkPaintableInterface *iface) {
    iface->snapshot = skin_paintable_snapshot;
    iface->get_intrinsic_width = skin_paintable_get_intrinsic_width;
    iface->get_intrinsic_height = skin_paintable_get_intrinsic_height;
}

static void skin_paintable_finalize(GObject *object) {
    tSkinPaintable *self = reinterpret_cast<tSkinPaintable *>(object);
    if (self->surface != nullptr)
        cairo_surface_destroy(self->surface);
    G_OBJECT_CLASS(skin_paintable_parent_class)->finalize(object);
}

static void skin_paintable_class_init(tSkinPaintableClass *klass) {
    G_OBJECT_CLASS(klass)->finalize = skin_paintable_finalize;
}

static void skin_paintable_init(tSkinPaintable *self) {
    self->surface = nullptr;
    self->scale = 1;
    self->invalidations = nullptr;
    self->snapshots = nullptr;
}

namespace {

bool under(const tSkinRect *hidden, int32_t count, int32_t top, int x, int y) {
    for (int32_t i = 0; i < count; i++) {
        const tSkinRect &r = hidden[i];
        if (x >= r.x && x < r.x + r.width && y + top >= r.y && y + top < r.y + r.height)
            return true;
    }
    return false;
}

tSkinInput *input_of(gpointer object) {
    return static_cast<tSkinInput *>(g_object_get_data(G_OBJECT(object), "skin-input"));
}

void on_pressed(GtkGestureClick *gesture, int, double x, double y, gpointer) {
    tSkinInput *in = input_of(gesture);
    *in->pressed = in->hit(in->record, x, y);
    *in->press_x = static_cast<int32_t>(x);
    *in->press_y = static_cast<int32_t>(y);
    if (in->press != nullptr)
        in->press(in->record);
    in->redraw(in->record);
}

void on_released(GtkGestureClick *gesture, int presses, double x, double y, gpointer) {
    tSkinInput *in = input_of(gesture);
    skin_input_release(in, in->hit(in->record, x, y), presses, x, y);
}

void on_cancel(GtkGesture *gesture, GdkEventSequence *, gpointer) {
    skin_input_cancel(input_of(gesture));
}

// The window handle's own drag gesture is reset, and so cancelled, once it starts the move.
void on_title_bar_cancel(GtkGesture *, GdkEventSequence *, gpointer data) {
    skin_input_take_over(static_cast<tSkinInput *>(data));
}

void on_drag_update(GtkGestureDrag *gesture, double dx, double dy, gpointer) {
    tSkinInput *in = input_of(gesture);
    if (in->drag_update != nullptr && *in->pressed != 0)
        in->drag_update(in->record, dx, dy);
}

void on_drag_end(GtkGestureDrag *gesture, double dx, double dy, gpointer) {
    tSkinInput *in = input_of(gesture);
    if (*in->pressed == 0)
        return; // released already, or taken over by the window move
    if (in->drag_end != nullptr)
        in->drag_end(in->record, dx, dy);
    if ((in->flags & SKIN_RELEASE_AT_DRAG_END) != 0 && *in->pressed != 0) {
        const double x = *in->press_x + dx, y = *in->press_y + dy;
        skin_input_release(in, in->hit(in->record, x, y), 1, x, y);
    }
}

void on_activate(GSimpleAction *action, GVariant *parameter, gpointer data) {
    auto *item = static_cast<const tSkinMenuItem *>(g_object_get_data(G_OBJECT(action), "skin-item"));
    if (item != nullptr)
        item->activate(action, parameter, data);
}

struct tChoice {
    void (*chosen)(void *record, int32_t kind, const char *path);
    void *record;
    int32_t kind;
};

void on_chooser_response(GtkNativeDialog *dialog, int response, gpointer data) {
    tChoice *choice = static_cast<tChoice *>(data);
    if (response == GTK_RESPONSE_ACCEPT) {
        GFile *file = gtk_file_chooser_get_file(GTK_FILE_CHOOSER(dialog));
        if (file != nullptr) {
            // The local path keeps names that are not valid UTF-8 intact.
            char *path = g_file_get_path(file);
            if (path == nullptr)
                path = g_file_get_parse_name(file);
            if (path != nullptr)
                choice->chosen(choice->record, choice->kind, path);
            g_free(path);
            g_object_unref(file);
        }
    }
    gtk_native_dialog_destroy(dialog);
    g_object_unref(dialog);
    g_free(choice);
}

} // namespace

GdkPaintable *skin_paintable_new(int32_t width, int32_t height, uint32_t *invalidations,
                                 uint32_t *snapshots) {
    tSkinPaintable *self =
        static_cast<tSkinPaintable *>(g_object_new(skin_paintable_get_type(), nullptr));
    self->invalidations = invalidations;
    self->snapshots = snapshots;
    self->width = width;
    self->height = height;
    self->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    return GDK_PAINTABLE(self);
}

void skin_paintable_update(GdkPaintable *paintable, GdkPixbuf *source, const tSkinRect *hidden,
                           int32_t hidden_count, int32_t top) {
    if (paintable == nullptr || source == nullptr || gdk_pixbuf_get_n_channels(source) != 4 ||
        gdk_pixbuf_get_bits_per_sample(source) != 8)
        return;
    tSkinPaintable *self = reinterpret_cast<tSkinPaintable *>(paintable);
    const int32_t width = gdk_pixbuf_get_width(source), height = gdk_pixbuf_get_height(source);
    bool changed = false;
    if (width != self->width || height != self->height) {
        cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(surface);
            return;
        }
        cairo_surface_destroy(self->surface);
        self->surface = surface;
        self->width = width;
        self->height = height;
        gdk_paintable_invalidate_size(paintable);
        changed = true;
        hidden_count = 0;
    }
    cairo_surface_flush(self->surface);
    unsigned char *out = cairo_image_surface_get_data(self->surface);
    const int out_stride = cairo_image_surface_get_stride(self->surface);
    const guchar *in = gdk_pixbuf_read_pixels(source);
    const int in_stride = gdk_pixbuf_get_rowstride(source);
    for (int y = 0; y < height; y++) {
        const guchar *p = in + y * in_stride;
        uint32_t *q = reinterpret_cast<uint32_t *>(out + y * out_stride);
        for (int x = 0; x < width; x++, p += 4) {
            const uint32_t a = p[3];
            uint32_t v;
            if (a == 255)
                v = 0xff000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
            else
                v = (a << 24) | ((p[0] * a + 127) / 255 << 16) | ((p[1] * a + 127) / 255 << 8) |
                    ((p[2] * a + 127) / 255);
            if (q[x] != v) {
                q[x] = v;
                changed = changed || a != 255 || !under(hidden, hidden_count, top, x, y);
            }
        }
    }
    cairo_surface_mark_dirty(self->surface);
    if (changed) {
        if (self->invalidations != nullptr)
            (*self->invalidations)++;
        gdk_paintable_invalidate_contents(paintable);
    }
}

void skin_paintable_set_scale(GdkPaintable *paintable, uint32_t scale) {
    if (paintable == nullptr)
        return;
    tSkinPaintable *self = reinterpret_cast<tSkinPaintable *>(paintable);
    if (self->scale == scale)
        return;
    self->scale = scale;
    gdk_paintable_invalidate_size(paintable);
}

GtkWidget *skin_picture_new(GdkPaintable *paintable) {
    GtkWidget *picture = gtk_picture_new_for_paintable(paintable);
    gtk_picture_set_content_fit(GTK_PICTURE(picture), GTK_CONTENT_FIT_FILL);
    gtk_picture_set_can_shrink(GTK_PICTURE(picture), FALSE);
    return picture;
}

tSkinChrome skin_window_new(GtkApplication *application, const char *title, int32_t width,
                            int32_t height, GtkWidget *title_picture, GtkWidget *body) {
    tSkinChrome c;
    c.window = gtk_application_window_new(application);
    gtk_window_set_default_size(GTK_WINDOW(c.window), width, height);
    gtk_window_set_title(GTK_WINDOW(c.window), title);
    gtk_window_set_resizable(GTK_WINDOW(c.window), FALSE);
    gtk_window_set_decorated(GTK_WINDOW(c.window), FALSE);
    c.box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_set_homogeneous(GTK_BOX(c.box), FALSE);
    c.window_handle = gtk_window_handle_new();
    gtk_window_handle_set_child(GTK_WINDOW_HANDLE(c.window_handle), title_picture);
    gtk_box_append(GTK_BOX(c.box), c.window_handle);
    gtk_box_append(GTK_BOX(c.box), body);
    gtk_window_set_child(GTK_WINDOW(c.window), c.box);
    return c;
}

void skin_window_show(GtkWidget *window, int32_t (*compose)(void *record), void *record) {
    if (window == nullptr)
        return;
    if (gtk_widget_get_visible(window))
        return;
    if (compose != nullptr)
        compose(record);
    gtk_widget_set_visible(window, TRUE);
}

int32_t skin_input_attach(tSkinInput *in) {
    if (in->window == nullptr)
        return -1;
    in->click = gtk_gesture_click_new();
    in->drag = gtk_gesture_drag_new();
    for (GtkGesture *g : {in->click, in->drag}) {
        g_object_set_data(G_OBJECT(g), "pThis", in->record);
        g_object_set_data(G_OBJECT(g), "skin-input", in);
        // Both gestures: whichever GTK cancels first, the press is cleared before a drag end.
        g_signal_connect(g, "cancel", G_CALLBACK(on_cancel), nullptr);
    }
    g_signal_connect(in->click, "pressed", G_CALLBACK(on_pressed), nullptr);
    g_signal_connect(in->click, "released", G_CALLBACK(on_released), nullptr);
    g_signal_connect(in->drag, "drag-update", G_CALLBACK(on_drag_update), nullptr);
    g_signal_connect(in->drag, "drag-end", G_CALLBACK(on_drag_end), nullptr);
    gtk_widget_add_controller(in->window, GTK_EVENT_CONTROLLER(in->click));
    gtk_widget_add_controller(in->window, GTK_EVENT_CONTROLLER(in->drag));
    if (in->title_bar != nullptr) {
        GListModel *controllers = gtk_widget_observe_controllers(in->title_bar);
        const guint n = g_list_model_get_n_items(controllers);
        for (guint i = 0; i < n; i++) {
            GObject *c = G_OBJECT(g_list_model_get_item(controllers, i));
            if (GTK_IS_GESTURE_DRAG(c))
                g_signal_connect(c, "cancel", G_CALLBACK(on_title_bar_cancel), in);
            g_object_unref(c);
        }
        g_object_unref(controllers);
    }
    return 0;
}

void skin_input_take_over(tSkinInput *in) {
    if (in == nullptr)
        return;
    if (in->click != nullptr)
        gtk_event_controller_reset(GTK_EVENT_CONTROLLER(in->click));
    if (in->drag != nullptr)
        gtk_event_controller_reset(GTK_EVENT_CONTROLLER(in->drag));
    // Whether or not the gestures still held the sequence, the press is over.
    skin_input_cancel(in);
}

int32_t skin_input_release(tSkinInput *in, int32_t id, int32_t presses, double x, double y) {
    const int32_t pressed = *in->pressed;
    // Cleared first: the actions redraw, and must show the box up.
    *in->pressed = 0;
    const bool acts = id != 0 && (id == pressed || (in->flags & SKIN_ACT_ON_RELEASE_BOX) != 0);
    if (in->release_begin != nullptr)
        in->release_begin(in->record, pressed, acts);
    if (acts)
        in->act(in->record, id, presses, x, y);
    *in->pressed = 0;
    in->redraw(in->record);
    return 0;
}

void skin_input_cancel(tSkinInput *in) {
    if (in == nullptr || *in->pressed == 0)
        return;
    *in->pressed = 0;
    in->redraw(in->record);
}

int32_t skin_menu_build(tSkinMenu *menu, GtkApplication *application, GtkWidget *parent,
                        const tSkinMenuItem *items, int32_t count, void *record) {
    menu->model = g_menu_new();
    *menu->count = 0;
    for (int32_t i = 0; i < count && i < menu->slots; i++) {
        const tSkinMenuItem &item = items[i];
        GSimpleAction *action = g_simple_action_new(item.action, nullptr);
        g_object_set_data(G_OBJECT(action), "pThis", record);
        g_object_set_data(G_OBJECT(action), "skin-item", const_cast<tSkinMenuItem *>(&item));
        g_signal_connect(action, "activate", G_CALLBACK(on_activate), record);
        if (application != nullptr)
            g_action_map_add_action(G_ACTION_MAP(application), G_ACTION(action));
        menu->actions[i] = action;
        menu->items[i] = g_menu_item_new(item.label, item.detailed);
        g_menu_append_item(menu->model, menu->items[i]);
        (*menu->count)++;
    }
    menu->popover =
        gtk_popover_menu_new_from_model_full(G_MENU_MODEL(menu->model), GTK_POPOVER_MENU_NESTED);
    gtk_widget_set_parent(menu->popover, parent);
    return 0;
}

void skin_menu_popup(GtkWidget *popover, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (popover == nullptr)
        return;
    const GdkRectangle at = {x, y, width, height};
    gtk_popover_set_pointing_to(GTK_POPOVER(popover), &at);
    gtk_popover_popup(GTK_POPOVER(popover));
}

static_assert(SKIN_CHOOSER_OPEN_FILE.action == GTK_FILE_CHOOSER_ACTION_OPEN);

GtkFileChooserNative *skin_chooser_new(GtkWidget *parent, const tSkinChooser &kind) {
    GtkFileChooserNative *dialog = gtk_file_chooser_native_new(
        kind.title, parent != nullptr ? GTK_WINDOW(parent) : nullptr,
        static_cast<GtkFileChooserAction>(kind.action), kind.accept, "_Cancel");
    if (kind.suffixes != nullptr) {
        GtkFileFilter *named = gtk_file_filter_new();
        gtk_file_filter_set_name(named, kind.filter_name);
        // Suffixes match whatever the case: "SONG.FLAC" is shown as "song.flac" is.
        for (int32_t i = 0; i < kind.suffix_count; i++)
            gtk_file_filter_add_suffix(named, kind.suffixes[i]);
        GtkFileFilter *all = gtk_file_filter_new();
        gtk_file_filter_set_name(all, "All files");
        gtk_file_filter_add_pattern(all, "*");
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), named);
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), all);
        gtk_file_chooser_set_filter(GTK_FILE_CHOOSER(dialog), named);
        g_object_unref(named);
        g_object_unref(all);
    }
    return dialog;
}

void skin_choose_file(GtkWidget *parent, const tSkinChooser &kind,
                      void (*chosen)(void *record, int32_t kind, const char *path), void *record,
                      int32_t kind_id) {
    GtkFileChooserNative *dialog = skin_chooser_new(parent, kind);
    g_object_set_data(G_OBJECT(dialog), "pThis", record);
    if (kind.proposed_name != nullptr)
        gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), kind.proposed_name);
    tChoice *choice = g_new(tChoice, 1);
    *choice = tChoice{chosen, record, kind_id};
    g_signal_connect(dialog, "response", G_CALLBACK(on_chooser_response), choice);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(dialog));
}
