// Decoding, one frame or packet per timer tick, and the playback state machine. MPEG audio
// goes through libmpg123, every other format through FFmpeg; the content decides.
#pragma once

#include <cstdint>
#include <pthread.h>

#include "audio/equalizer.h"
#include "audio/ffmpeg_stream.h"
#include "audio/replaygain.h"
#include "core/types.h"

struct tHandle;
typedef struct mpg123_handle_struct mpg123_handle;

enum : int32_t {
    DECODER_IDLE = 0,
    DECODER_READY = 1,
    DECODER_PLAYING = 2,
    DECODER_ENDED = 3,
};

struct tHandleDecoder;

// One back end: it opens the decoder's file (`stream.fd`, named `path`), filling `stream`
// and `song` with the path, format, length and title;
// decodes the next piece into `piece` (0, 1 at the end of the stream, -1 when the piece has
// an encoding that cannot be handed on, -2 when nothing can be handed on); seeks to a
// sample per channel (0 or -1); and closes.
struct tDecoderBackend {
    int32_t (*open)(tHandleDecoder *d, const char *path);
    int32_t (*decode)(tHandleDecoder *d);
    int32_t (*seek)(tHandleDecoder *d, int64_t sample);
    void (*close)(tHandleDecoder *d);
};

// The open file, whichever back end plays it.
struct tMpgStream {
    mpg123_handle *mh;
    int32_t is_open;
    int32_t length;
    int32_t channels;
    int32_t rate;
    int32_t format;
    // The open file's descriptor (the library reads it; we close it), -1 when none.
    int32_t fd;
};

// Main thread only. `mutex` is held by the tick's decode-and-hand-on step and by open,
// play, pause and seek; core/handle.h explains its order against the handle's mutex.
struct tHandleDecoder {
    tHandle *handle;
    tMpgStream stream;
    tPcmChunk chunk;
    tSongInfo song;
    int32_t state;
    int32_t open_attempted;
    pthread_mutex_t mutex;
    int32_t eq_enabled;
    int32_t eq_band[32];
    int32_t eq_preamp;
    // The same settings for the FFmpeg back end, whose samples it filters itself.
    tEqualizer equalizer;
    // Set by decoder_quiet_end when an end of track led nowhere: the tick then stops
    // sending EVENT_END_OF_TRACK until the next open or play.
    int32_t end_quiet;
    // Ticks in a row whose decode gave no samples.
    int32_t failed_ticks;
    // The GLib source of the running tick, 0 while none runs: it runs only while there is
    // something to decode or to hand to the output, and not while the output's ring is full.
    uint32_t timer;
    int32_t drain_ticks;
    // The back end of the open file (the MPEG one while none is open) and its FFmpeg state.
    const tDecoderBackend *backend;
    tFfmpegStream ffmpeg;
    tReplayGain replaygain;
    // The latest decoded piece; what the output had no room for is held here and handed on
    // over the following ticks, before anything new is decoded.
    tPcmChunk piece;
    int32_t piece_sent;  // bytes of it handed on
    int32_t piece_held;  // 1 while some of it is still to be handed on
    int32_t piece_last;  // it ends the stream
};

int32_t decoder_init(tHandleDecoder *d, tHandle *h);
int decoder_tick(void *user_data);
int32_t decoder_open(tHandleDecoder *d, const char *path);
int32_t decoder_play(tHandleDecoder *d);
int32_t decoder_pause(tHandleDecoder *d);
int32_t decoder_seek(tHandleDecoder *d, int32_t second);
int32_t decoder_get_song_info(tHandleDecoder *d, tSongInfo *destination);
int32_t decoder_get_state(tHandleDecoder *d, int32_t *destination);
int32_t decoder_set_eq(tHandleDecoder *d, int32_t index, int32_t value);
int32_t decoder_enable_eq(tHandleDecoder *d, int32_t flag);
int32_t decoder_quiet_end(tHandleDecoder *d);
// The ReplayGain setting; it applies at once, to the open file too.
int32_t decoder_set_replaygain(tHandleDecoder *d, const tReplayGainSettings *settings);
