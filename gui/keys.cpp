#include "gui/keys.h"

#include <gtk/gtk.h>

int32_t keys_lookup(const tKeyRow *rows, int32_t count, uint32_t keyval, uint32_t state) {
    if (state & GDK_LOCK_MASK) {
        const uint32_t lower = gdk_keyval_to_lower(keyval);
        const uint32_t upper = gdk_keyval_to_upper(keyval);
        // With Caps Lock, Shift gives a lower-case letter; it is still a shifted key.
        if (lower != upper)
            keyval = (state & GDK_SHIFT_MASK) ? upper : lower;
    }
    for (int32_t i = 0; i < count; i++)
        if (rows[i].keyval == keyval && (state & rows[i].mask) == rows[i].mask)
            return rows[i].id;
    return 0;
}

int32_t keys_init(tKeyMachine *m, const tKeyTarget &own) {
    *m = tKeyMachine{};
    m->targets[0] = own;
    m->target_count = 1;
    return 0;
}

int32_t keys_add_target(tKeyMachine *m, const tKeyTarget &target) {
    if (m->target_count >= KEYS_TARGETS)
        return -1;
    m->targets[m->target_count++] = target;
    return 0;
}

int32_t keys_press(tKeyMachine *m, uint32_t keyval, uint32_t keycode, uint32_t state) {
    if (m->target_count < 1)
        return 0;
    if (m->keycode != 0) {
        // One key at a time; the held key's own repeats only bring its look back if a
        // pointer press has cleared it meanwhile.
        if (keycode != m->keycode)
            return 1;
        tKeyTarget &t = m->targets[m->target];
        if (*t.pressed == 0) {
            *t.pressed = m->id;
            t.redraw(t.record);
        }
        return 1;
    }
    for (int32_t i = 0; i < m->target_count; i++) {
        tKeyTarget &t = m->targets[i];
        const int32_t id = keys_lookup(t.rows, t.count, keyval, state);
        if (id == 0)
            continue;
        if (*t.pressed == 0 && keycode != 0) {
            *t.pressed = id;
            m->keycode = keycode;
            m->target = i;
            m->id = id;
            t.redraw(t.record);
        }
        return 1;
    }
    // A key of no row taken while the pointer holds a press, whose release will end it.
    return *m->targets[0].pressed != 0;
}

int32_t keys_release(tKeyMachine *m, uint32_t keycode) {
    if (m->target_count < 1)
        return 0;
    if (m->keycode != 0) {
        // Modifiers and other keys let go of meanwhile change nothing.
        if (keycode != m->keycode)
            return 0;
        tKeyTarget &t = m->targets[m->target];
        const int32_t id = m->id;
        m->keycode = 0;
        m->id = 0;
        t.release(t.record, id);
        return 1;
    }
    // Any key let go of ends a press that the pointer holds, without its action.
    tKeyTarget &own = m->targets[0];
    if (*own.pressed == 0)
        return 0;
    own.release(own.record, 0);
    return 1;
}

namespace {

tKeyMachine *machine_of(gpointer controller) {
    return static_cast<tKeyMachine *>(g_object_get_data(G_OBJECT(controller), "pThis"));
}

gboolean on_key_pressed(GtkEventControllerKey *controller, guint keyval, guint keycode,
                        GdkModifierType state, gpointer) {
    tKeyMachine *m = machine_of(controller);
    return m != nullptr && keys_press(m, keyval, keycode, state) != 0;
}

void on_key_released(GtkEventControllerKey *controller, guint, guint keycode, GdkModifierType,
                     gpointer) {
    tKeyMachine *m = machine_of(controller);
    if (m != nullptr)
        keys_release(m, keycode);
}

// The release of a key held while the window loses the focus goes elsewhere: forget the
// key, so that the next one is not refused, and let its look go.
void on_focus_leave(GtkEventControllerFocus *controller, gpointer) {
    tKeyMachine *m = machine_of(controller);
    if (m == nullptr || m->keycode == 0)
        return;
    tKeyTarget &t = m->targets[m->target];
    const bool held = *t.pressed == m->id;
    m->keycode = 0;
    m->id = 0;
    if (held)
        t.release(t.record, 0);
}

} // namespace

GtkEventController *keys_attach(tKeyMachine *m, GtkWidget *widget) {
    GtkEventController *keys = gtk_event_controller_key_new();
    g_object_set_data(G_OBJECT(keys), "pThis", m);
    g_signal_connect(keys, "key-pressed", G_CALLBACK(on_key_pressed), nullptr);
    g_signal_connect(keys, "key-released", G_CALLBACK(on_key_released), nullptr);
    gtk_widget_add_controller(widget, keys);

    GtkEventController *focus = gtk_event_controller_focus_new();
    g_object_set_data(G_OBJECT(focus), "pThis", m);
    g_signal_connect(focus, "leave", G_CALLBACK(on_focus_leave), nullptr);
    gtk_widget_add_controller(widget, focus);
    return keys;
}
