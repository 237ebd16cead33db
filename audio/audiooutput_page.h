// The "Audio" preferences page: choosing the output device.
#pragma once

#include <cstdint>

#include "audio/replaygain.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkDropDown GtkDropDown;
typedef struct _GtkStringList GtkStringList;
struct tHandleAudioOutput;

constexpr int PORTAUDIO_LIST_MAX = 128;
constexpr int PORTAUDIO_NAME_SIZE = 128;
constexpr int PORTAUDIO_API_SIZE = 64;

struct tPortaudioDeviceList {
    int32_t count;
    int32_t default_device;
    int32_t device[PORTAUDIO_LIST_MAX];
    char name[PORTAUDIO_LIST_MAX][PORTAUDIO_NAME_SIZE];
    // Each entry's host API (devices of two APIs may share a name).
    char api[PORTAUDIO_LIST_MAX][PORTAUDIO_API_SIZE];
};

struct tHandleAudioOutputPage {
    GtkDropDown *dropdown;
    GtkStringList *model;
    int32_t device;
    // The entries the drop-down shows: PortAudio may come back with other devices before
    // the choice is applied, so it is applied by name. `selected` is the entry selected
    // when they were shown.
    tPortaudioDeviceList shown;
    uint32_t selected;
    tReplayGainPage replaygain;
};

int32_t audiooutput_page_build(tHandleAudioOutputPage *page, GtkWidget **out_widget);
int32_t audiooutput_page_open(void *audiooutput);
int32_t audiooutput_page_apply(void *audiooutput);
// Asks PortAudio for its output devices, the default one first; only where PortAudio
// cannot be re-initialised meanwhile (the output's helper thread).
int32_t portaudio_scan_devices(tPortaudioDeviceList *list);
