// The licence window: the licence text in a text view, hidden rather than destroyed on close.
#pragma once

#include <cstdint>

typedef struct _GtkApplication GtkApplication;
typedef struct _GtkWidget GtkWidget;
typedef struct _GtkTextBuffer GtkTextBuffer;

struct tHandleWindowLicence {
    GtkApplication *application;
    GtkWidget *window;
    GtkWidget *label;
    GtkWidget *textview;
    GtkWidget *button;
    GtkTextBuffer *buffer;
    GtkWidget *box;
};

int32_t window_licence_init(tHandleWindowLicence *w, GtkApplication *application);
int32_t window_licence_show(tHandleWindowLicence *w);
int32_t window_licence_hide(tHandleWindowLicence *w);
// Connected to the button's "clicked" and the window's "destroy" and "close_request".
int window_licence_on_close(GtkWidget *widget, void *user_data);
