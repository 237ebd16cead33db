// Placeholder: not built yet; every operation reports failure.
#include "audio/decoder.h"

int32_t decoder_init(tHandleDecoder *d, tHandle *h) { return -1; }

int decoder_tick(void *user_data) { return -1; }

int32_t decoder_open(tHandleDecoder *d, const char *path) { return -1; }

int32_t decoder_play(tHandleDecoder *d) { return -1; }

int32_t decoder_pause(tHandleDecoder *d) { return -1; }

int32_t decoder_seek(tHandleDecoder *d, int32_t second) { return -1; }

int32_t decoder_get_song_info(tHandleDecoder *d, tSongInfo *destination) { return -1; }

int32_t decoder_get_state(tHandleDecoder *d, int32_t *destination) { return -1; }

int32_t decoder_set_eq(tHandleDecoder *d, int32_t index, int32_t value) { return -1; }

int32_t decoder_enable_eq(tHandleDecoder *d, int32_t flag) { return -1; }

int32_t decoder_quiet_end(tHandleDecoder *d) { return -1; }
