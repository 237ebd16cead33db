// The "Audio" preferences page: choosing the output device.
#include "audio/audiooutput_page.h"

#include <cstdio>
#include <cstring>

#include <gtk/gtk.h>
#include <portaudio.h>

#include "audio/audiooutput.h"
#include "core/handle.h"

namespace {

// Shown for the default entry when PortAudio names no default output device.
constexpr char NO_DEFAULT_DEVICE_NAME[] = "(no output device)";

void set_name(tPortaudioDeviceList *list, int k, PaDeviceIndex index) {
    const PaDeviceInfo *info = index >= 0 ? Pa_GetDeviceInfo(index) : nullptr;
    snprintf(list->name[k], sizeof(list->name[k]), "%s",
             info && info->name ? info->name : NO_DEFAULT_DEVICE_NAME);
    const PaHostApiInfo *api = info ? Pa_GetHostApiInfo(info->hostApi) : nullptr;
    snprintf(list->api[k], sizeof(list->api[k]), "%s", api && api->name ? api->name : "");
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
    replaygain_page_build(&page->replaygain, box);
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
    replaygain_page_open(&page->replaygain, a->handle ? &a->handle->decoder : nullptr);
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
    page->shown = list;
    page->selected = selected;
    return 0;
}

namespace {

// Where the entry shown at position s stands in PortAudio's list now (the default entry
// stays the default one); -1 when its device has gone.
int32_t entry_now(const tHandleAudioOutputPage *page, const tPortaudioDeviceList &list, guint s) {
    if (s == 0 || page->shown.count == 0)
        return static_cast<int32_t>(s);
    for (int k = 1; k < list.count; k++)
        if (strcmp(list.name[k], page->shown.name[s]) == 0 && strcmp(list.api[k], page->shown.api[s]) == 0)
            return k;
    return -1;
}

}  // namespace

int32_t audiooutput_page_apply(void *audiooutput) {
    tHandleAudioOutput *a = static_cast<tHandleAudioOutput *>(audiooutput);
    tHandleAudioOutputPage *page = &a->page;
    guint s = page->dropdown ? gtk_drop_down_get_selected(page->dropdown) : 0;
    tPortaudioDeviceList list;
    const int32_t listed = portaudio_list_devices(&a->portaudio, &list);
    const guint shown = page->shown.count > 0 ? static_cast<guint>(page->shown.count) : static_cast<guint>(list.count);
    if (s == GTK_INVALID_LIST_POSITION || s >= shown)
        s = 0;
    // PortAudio may have come back with other devices since the page was opened: the entry
    // is found again by name; a device that has gone leaves the default one.
    int32_t k = entry_now(page, list, s);
    if (k < 0 || k >= list.count)
        k = 0;
    const int32_t d = list.device[k];
    printf("entry %2d -> %3d [%s]\n", static_cast<int>(s), d, list.name[k]);
    fflush(stdout);
    // A choice is kept for the next start by name and host API, and by number beside them.
    // Left as it was shown, the entry chooses nothing: a stored device that is unplugged
    // now (the default one is shown) stays chosen.
    const bool chosen = k > 0;
    if (page->shown.count > 0 && s != page->selected) {
        config_set_int(&a->config, "device", chosen ? d : -1);
        config_set_string(&a->config, "device_name", chosen ? list.name[k] : "");
        config_set_string(&a->config, "device_api", chosen ? list.api[k] : "");
    }
    const int32_t replaygain = replaygain_page_apply(&page->replaygain, &a->config, a->handle ? &a->handle->decoder : nullptr);
    return listed | replaygain | portaudio_select_named(&a->portaudio, d, chosen ? list.name[k] : "", chosen ? list.api[k] : "");
}
