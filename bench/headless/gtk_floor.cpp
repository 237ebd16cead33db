// What GTK itself costs to show a picture that changes on every redraw tick, for
// bench_gui_cpu's toolkit baseline: an undecorated window of the main window's size at
// scale 2 and, over a still background, one area of the visualizer's size that a GLib timer
// of the tick's period repaints with a moving bar (as cheap a drawing as cairo has).
//   gtk_floor
#include <gtk/gtk.h>

#include "gui/window_main.h"

namespace {

constexpr int SCALE = 2;
constexpr tMainPart PART = WINDOW_MAIN_PARTS[MAIN_PART_VISUALIZER];
GtkWidget *area;
int frame;

void draw(GtkDrawingArea *, cairo_t *cr, int, int height, gpointer) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.2, 0.8, 0.3);
    cairo_rectangle(cr, frame % PART.width * SCALE, 0, 3 * SCALE, height);
    cairo_fill(cr);
}

gboolean tick(gpointer) {
    frame++;
    gtk_widget_queue_draw(area);
    return G_SOURCE_CONTINUE;
}

void activate(GtkApplication *application, gpointer) {
    GtkWidget *window = gtk_application_window_new(application);
    gtk_window_set_title(GTK_WINDOW(window), "gtk floor");
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    GtkWidget *overlay = gtk_overlay_new();
    GtkWidget *background = gtk_drawing_area_new();
    gtk_widget_set_size_request(background, WINDOW_MAIN_WIDTH * SCALE, WINDOW_MAIN_HEIGHT * SCALE);
    gtk_overlay_set_child(GTK_OVERLAY(overlay), background);
    area = gtk_drawing_area_new();
    gtk_widget_set_size_request(area, PART.width * SCALE, PART.height * SCALE);
    gtk_widget_set_halign(area, GTK_ALIGN_START);
    gtk_widget_set_valign(area, GTK_ALIGN_START);
    gtk_widget_set_margin_start(area, PART.x * SCALE);
    gtk_widget_set_margin_top(area, PART.y * SCALE);
    gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(area), draw, nullptr, nullptr);
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay), area);
    gtk_window_set_child(GTK_WINDOW(window), overlay);
    gtk_window_present(GTK_WINDOW(window));
    g_timeout_add(WINDOW_MAIN_TICK_MS, tick, nullptr);
}

} // namespace

int main(int argc, char **argv) {
    GtkApplication *application = gtk_application_new(nullptr, G_APPLICATION_NON_UNIQUE);
    g_signal_connect(application, "activate", G_CALLBACK(activate), nullptr);
    const int status = g_application_run(G_APPLICATION(application), argc, argv);
    g_object_unref(application);
    return status;
}
