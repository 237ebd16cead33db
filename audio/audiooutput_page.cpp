// The "Audio" preferences page: choosing the output device.
#include "audio/audiooutput_page.h"

#include <cstdio>
#include <cstring>

#include <gtk/gtk.h>
#include <portaudio.h>

#include "audio/audiooutput.h"

namespace {

// Shown for the default entry when PortAudio names no default output device.
constexpr char NO_DEFAULT_DEVICE_NAME[] = "(no output device)";

void set_name(tPortaudioDeviceList *list, int k, PaDeviceIndex index) {
    const PaDeviceInfo *info = index >= 0 ? Pa_GetDeviceInfo(index) : nullptr;
    snprintf(list->name[k], sizeof(list->name[k]), "%s",
             info && info->name ? info->name : NO_DEFAULT_DEVICE_NAME);
}

}  // namespace

int32_t portaudio_scan_devices(tPortaudioDeviceList *list) {
    const PaDeviceIndex n = Pa_GetDeviceCount();
    list->default_device = Pa_GetDefaultOutputDevice();
    list->count = 1;
    list->device[0] = list->default_device;
    const int limit = n < PORTAUDIO_LIST_MAX ? n : PORTAUDIO_LIST_MAX;
    for (int i = 0; i < limit; i++) {
        if (i == list->default_device)
            continue;
        const PaDeviceInfo *info = Pa_GetDeviceInfo(i);
        if (info && info->maxOutputChannels > 0 && list->count < PORTAUDIO_LIST_MAX)
            list->device[list->count++] = i;
    }
    for (int k = 0; k < list->count; k++)
        set_name(list, k, list->device[k]);
    return 0;
}

int32_t audiooutput_page_build(tHandleAudioOutputPage *page, GtkWidget **out_widget) {
    GtkWidget *box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 3);
    page->model = gtk_string_list_new(nullptr);
    // The drop-down takes a reference of its own; ours keeps the model for later refreshes.
    g_object_ref(page->model);
    page->dropdown = GTK_DROP_DOWN(gtk_drop_down_new(G_LIST_MODEL(page->model), nullptr));
    gtk_box_append(GTK_BOX(box), GTK_WIDGET(page->dropdown));
    *out_widget = box;
    return 0;
}

int32_t audiooutput_page_open(void *audiooutput) {
    tHandleAudioOutput *a = static_cast<tHandleAudioOutput *>(audiooutput);
    tHandleAudioOutputPage *page = &a->page;
    int32_t current = 0;
    portaudio_get_device(&a->portaudio, &current);
    tPortaudioDeviceList list;
    portaudio_list_devices(&a->portaudio, &list);
    if (page->model == nullptr || page->dropdown == nullptr) {
        page->device = current;
        return 0;
    }
    const guint items = g_list_model_get_n_items(G_LIST_MODEL(page->model));
    for (guint k = 0; k < items; k++)
        gtk_string_list_remove(page->model, 0);
    for (int k = 0; k < list.count; k++)
        gtk_string_list_append(page->model, list.name[k]);
    guint selected = 0;
    for (int k = 0; k < list.count; k++) {
        if (list.device[k] == current || (current == -1 && list.device[k] == list.default_device))
            selected = static_cast<guint>(k);
    }
    gtk_drop_down_set_model(page->dropdown, G_LIST_MODEL(page->model));
    gtk_drop_down_set_selected(page->dropdown, selected);
    page->device = current;
    return 0;
}

int32_t audiooutput_page_apply(void *audiooutput) {
    tHandleAudioOutput *a = static_cast<tHandleAudioOutput *>(audiooutput);
    tHandleAudioOutputPage *page = &a->page;
    guint s = page->dropdown ? gtk_drop_down_get_selected(page->dropdown) : 0;
    tPortaudioDeviceList list;
    const int32_t listed = portaudio_list_devices(&a->portaudio, &list);
    // The list may have shrunk since the page was opened.
    if (s == GTK_INVALID_LIST_POSITION || s >= static_cast<guint>(list.count))
        s = 0;
    const int32_t d = list.device[s];
    printf("entry %2d -> %3d [%s]\n", static_cast<int>(s), d, list.name[s]);
    fflush(stdout);
    return listed | portaudio_select_device(&a->portaudio, d);
}
