// A tiny undecorated GTK window that proves the harness's display helpers:
// left half red, right half blue (green after the first click), and every
// press, release, drag motion and key is printed to standard output.
#include <gtk/gtk.h>

#include <cstdio>

namespace {

bool g_clicked = false;
bool g_pressed = false;

void draw(GtkDrawingArea *, cairo_t *cr, int width, int height, gpointer) {
  cairo_set_source_rgb(cr, 1, 0, 0);
  cairo_rectangle(cr, 0, 0, width / 2, height);
  cairo_fill(cr);
  if (g_clicked)
    cairo_set_source_rgb(cr, 0, 1, 0);
  else
    cairo_set_source_rgb(cr, 0, 0, 1);
  cairo_rectangle(cr, width / 2, 0, width - width / 2, height);
  cairo_fill(cr);
}

void pressed(GtkGestureClick *g, int n, double x, double y, gpointer area) {
  g_pressed = true;
  printf("press %u %d %d %d\n", gtk_gesture_single_get_current_button(GTK_GESTURE_SINGLE(g)), n,
         static_cast<int>(x), static_cast<int>(y));
  fflush(stdout);
  g_clicked = true;
  gtk_widget_queue_draw(GTK_WIDGET(area));
}

void released(GtkGestureClick *g, int, double x, double y, gpointer) {
  g_pressed = false;
  printf("release %u %d %d\n", gtk_gesture_single_get_current_button(GTK_GESTURE_SINGLE(g)),
         static_cast<int>(x), static_cast<int>(y));
  fflush(stdout);
}

void motion(GtkEventControllerMotion *, double x, double y, gpointer) {
  if (!g_pressed) return;
  printf("drag %d %d\n", static_cast<int>(x), static_cast<int>(y));
  fflush(stdout);
}

gboolean scrolled(GtkEventControllerScroll *, double, double dy, gpointer) {
  printf("scroll %s\n", dy < 0 ? "up" : "down");
  fflush(stdout);
  return TRUE;
}

gboolean key_pressed(GtkEventControllerKey *, guint keyval, guint, GdkModifierType state, gpointer) {
  printf("key %s%s%s\n", (state & GDK_CONTROL_MASK) ? "ctrl+" : "", (state & GDK_SHIFT_MASK) ? "shift+" : "",
         gdk_keyval_name(keyval));
  fflush(stdout);
  return TRUE;
}

void activate(GtkApplication *app, gpointer) {
  GtkWidget *win = gtk_application_window_new(app);
  gtk_window_set_title(GTK_WINDOW(win), "ravlox probe");
  gtk_window_set_decorated(GTK_WINDOW(win), FALSE);
  gtk_window_set_default_size(GTK_WINDOW(win), 200, 100);
  gtk_window_set_resizable(GTK_WINDOW(win), FALSE);
  GtkWidget *area = gtk_drawing_area_new();
  gtk_widget_set_size_request(area, 200, 100);
  gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(area), draw, nullptr, nullptr);
  GtkGesture *click = gtk_gesture_click_new();
  gtk_gesture_single_set_button(GTK_GESTURE_SINGLE(click), 0);
  g_signal_connect(click, "pressed", G_CALLBACK(pressed), area);
  g_signal_connect(click, "released", G_CALLBACK(released), area);
  gtk_widget_add_controller(area, GTK_EVENT_CONTROLLER(click));
  GtkEventController *mot = gtk_event_controller_motion_new();
  g_signal_connect(mot, "motion", G_CALLBACK(motion), nullptr);
  gtk_widget_add_controller(area, mot);
  GtkEventController *scroll = gtk_event_controller_scroll_new(GTK_EVENT_CONTROLLER_SCROLL_VERTICAL);
  g_signal_connect(scroll, "scroll", G_CALLBACK(scrolled), nullptr);
  gtk_widget_add_controller(area, scroll);
  GtkEventController *keys = gtk_event_controller_key_new();
  g_signal_connect(keys, "key-pressed", G_CALLBACK(key_pressed), nullptr);
  gtk_widget_add_controller(win, keys);
  gtk_window_set_child(GTK_WINDOW(win), area);
  gtk_window_present(GTK_WINDOW(win));
  printf("ready\n");
  fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
  GtkApplication *app = gtk_application_new(nullptr, G_APPLICATION_DEFAULT_FLAGS);
  g_signal_connect(app, "activate", G_CALLBACK(activate), nullptr);
  int status = g_application_run(G_APPLICATION(app), argc, argv);
  g_object_unref(app);
  return status;
}
