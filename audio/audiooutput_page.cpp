// Placeholder: not built yet; every operation reports failure.
#include "audio/audiooutput_page.h"

int32_t audiooutput_page_build(tHandleAudioOutputPage *page, GtkWidget **out_widget) { return -1; }

int32_t audiooutput_page_open(void *audiooutput) { return -1; }

int32_t audiooutput_page_apply(void *audiooutput) { return -1; }

int32_t portaudio_list_devices(tPortaudioDeviceList *list) { return -1; }
