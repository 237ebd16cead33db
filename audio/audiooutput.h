// PortAudio output with a ring of four buffers, volume and balance.
#pragma once

#include <cstdint>
#include <pthread.h>

#include "audio/audiooutput_page.h"
#include "audio/decoder.h"
#include "config/config.h"

struct tHandle;
struct PaStreamParameters;

constexpr int32_t AUDIO_BACKEND_PORTAUDIO = 1;
constexpr int AUDIO_BUFFER_COUNT = 4;
constexpr int AUDIO_BUFFER_BYTES = 8192;

// A per-buffer reader/writer lock that may be released by a thread other than the one that
// took it (the playing side hands its read lock from thread to thread).
struct tBufferLock {
    pthread_mutex_t mutex;
    pthread_cond_t cond;
    int32_t readers;
    int32_t writer;
};

struct tPortaudioOutput {
    void *stream;
    PaStreamParameters *params;
    int32_t device;
    unsigned char buffer[AUDIO_BUFFER_COUNT][AUDIO_BUFFER_BYTES];
    int32_t fill[AUDIO_BUFFER_COUNT];
    int32_t read_pos[AUDIO_BUFFER_COUNT];
    int32_t write_index;
    int32_t read_index;
    int32_t bytes_per_frame;
    tBufferLock lock[AUDIO_BUFFER_COUNT];
    int32_t cur_channels;
    int32_t cur_rate;
    int32_t cur_format;
    int32_t volume;
    int32_t balance;
    int32_t initialised;
};

struct tHandleAudioOutput {
    tHandleConfig config;
    tPortaudioOutput portaudio;
    tHandleAudioOutputPage page;
    int32_t backend;
    tHandle *handle;
};

int32_t audiooutput_init(tHandleAudioOutput *a, tHandle *h);
int32_t audiooutput_parse_option(tHandleAudioOutput *a, const char *arg);
int32_t audiooutput_start(tHandleAudioOutput *a);
int32_t audiooutput_write(tHandleAudioOutput *a, const tPcmChunk *chunk);
int32_t audiooutput_flush(tHandleAudioOutput *a);
int32_t audiooutput_set_volume(tHandleAudioOutput *a, int32_t volume);
int32_t audiooutput_set_balance(tHandleAudioOutput *a, int32_t balance);
int32_t portaudio_get_device(tPortaudioOutput *p, int32_t *destination);
int32_t portaudio_select_device(tPortaudioOutput *p, int32_t device);
