// The "Audio" preferences page: choosing the output device.
#pragma once

#include <cstdint>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkDropDown GtkDropDown;
typedef struct _GtkStringList GtkStringList;
struct tHandleAudioOutput;

constexpr int PORTAUDIO_LIST_MAX = 128;

struct tHandleAudioOutputPage {
    GtkDropDown *dropdown;
    GtkStringList *model;
    int32_t device;
};

struct tPortaudioDeviceList {
    int32_t count;
    int32_t default_device;
    int32_t device[PORTAUDIO_LIST_MAX];
    char name[PORTAUDIO_LIST_MAX][128];
};

int32_t audiooutput_page_build(tHandleAudioOutputPage *page, GtkWidget **out_widget);
int32_t audiooutput_page_open(void *audiooutput);
int32_t audiooutput_page_apply(void *audiooutput);
// Asks PortAudio for its output devices, the default one first; only where PortAudio
// cannot be re-initialised meanwhile (the output's helper thread).
int32_t portaudio_scan_devices(tPortaudioDeviceList *list);
