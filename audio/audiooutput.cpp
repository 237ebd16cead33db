// Placeholder: not built yet; every operation reports failure.
#include "audio/audiooutput.h"

int32_t audiooutput_init(tHandleAudioOutput *a, tHandle *h) { return -1; }

int32_t audiooutput_parse_option(tHandleAudioOutput *a, const char *arg) { return -1; }

int32_t audiooutput_start(tHandleAudioOutput *a) { return -1; }

int32_t audiooutput_write(tHandleAudioOutput *a, const tPcmChunk *chunk) { return -1; }

int32_t audiooutput_flush(tHandleAudioOutput *a) { return -1; }

int32_t audiooutput_set_volume(tHandleAudioOutput *a, int32_t volume) { return -1; }

int32_t audiooutput_set_balance(tHandleAudioOutput *a, int32_t balance) { return -1; }

int32_t portaudio_get_device(tPortaudioOutput *p, int32_t *destination) { return -1; }

int32_t portaudio_select_device(tPortaudioOutput *p, int32_t device) { return -1; }
