// Decoding, one frame or packet per timer tick, and the playback state machine.
#include "audio/decoder.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>
#include <mpg123.h>

#include "audio/audiooutput.h"
#include "audio/tags.h"
#include "core/handle.h"
#include "core/startup.h"

namespace {

constexpr int DECODER_TICK_MS = 7;
// After playing stops, ticks go on (waking a stream that stopped for idleness) at most this
// long while the output still holds frames.
constexpr int32_t DECODER_DRAIN_TICKS = 1000 / DECODER_TICK_MS;
constexpr int ENCODING_S16 = 208;
static_assert(ENCODING_S16 == MPG123_ENC_SIGNED_16);
// The most samples per channel one MPEG frame can carry (layer II/III, MPEG-1).
constexpr int32_t DECODER_MAX_FRAME_SAMPLES = 1152;
// Ticks in a row that decode nothing (an error that never clears) before the track ends.
constexpr int32_t DECODER_MAX_FAILED_TICKS = 64;

// Library bands that each equalizer window index sets: first and last, -1 for none.
struct tEqRange {
    int first;
    int last;
};
constexpr tEqRange EQ_RANGES[11] = {
    {-1, -1}, {0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 8}, {9, 11}, {12, 14}, {15, 17}, {18, 20},
};
static_assert(EQ_RANGES[10].last == 20 && EQ_RANGES[6].first == 5);

// Whole seconds of a sample count. Counted in 64 bits: past 2^31 samples (13.5 hours at
// 44.1 kHz, or a header that claims it) a 32-bit count turns negative.
int32_t whole_seconds(off_t samples, int32_t rate) {
    if (samples <= 0 || rate <= 0) return 0;
    const int64_t s = static_cast<int64_t>(samples) / rate;
    return s > INT32_MAX ? INT32_MAX : static_cast<int32_t>(s);
}

void print_unknown_encoding(int encoding) {
    printf("UNKNOWN ENCODING %d. Please contact %s\n", encoding, RAVLOX_CONTACT);
    fflush(stdout);
}

// One frame into the piece and song; 1 at the end of the stream, -1 on an encoding we cannot
// hand on, -2 when the library delivered no format (nothing may be handed on then).
int32_t mpg_decode(tHandleDecoder *d) {
    tMpgStream *s = &d->stream;
    off_t frame_number = 0;
    size_t bytes = 0;
    unsigned char *audio = nullptr;
    const int rc = mpg123_decode_frame(s->mh, &frame_number, &audio, &bytes);
    d->piece.samples = audio;
    d->piece.bytes = static_cast<int32_t>(bytes);
    const bool done = rc == MPG123_DONE;

    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(s->mh, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
        channels <= 0) {
        return done ? 1 : -2;
    }
    s->channels = channels;
    s->rate = static_cast<int32_t>(rate);
    if (encoding != ENCODING_S16) {
        print_unknown_encoding(encoding);
        return -1;
    }
    s->format = SAMPLE_FORMAT_S16;
    d->piece.rate = s->rate;
    d->piece.channels = s->channels;
    d->piece.format = s->format;

    const off_t tell = mpg123_tell(s->mh);
    if (tell >= 0)
        d->song.position = whole_seconds(tell, s->rate);
    d->song.length = s->length;

    mpg123_frameinfo2 info{};
    if (mpg123_info2(s->mh, &info) == MPG123_OK)
        d->song.bitrate = info.bitrate;
    return done ? 1 : 0;
}

// Copies the path with a bound; a path of 1024 or more characters fills the field without
// terminator. The title is cleared: the new file's tags set it.
void take_path(tHandleDecoder *d, const char *path) {
    const size_t len = strnlen(path, sizeof(d->song.path));
    memcpy(d->song.path, path, len);
    if (len < sizeof(d->song.path))
        d->song.path[len] = '\0';
    memset(d->song.title, 0, sizeof d->song.title);
}

int32_t mpg_open(tHandleDecoder *d, const char *path) {
    tMpgStream *s = &d->stream;
    if (mpg123_open_fd(s->mh, s->fd) != MPG123_OK)
        return -1;
    take_path(d, path);
    off_t frame_number = 0;
    size_t bytes = 0;
    unsigned char *audio = nullptr;
    if (mpg123_decode_frame(s->mh, &frame_number, &audio, &bytes) == MPG123_DONE)
        return -1;
    tags_read_title(s->mh, d->song.title, sizeof d->song.title);
    replaygain_mpg_open(&d->replaygain, s->mh);
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(s->mh, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 || channels <= 0)
        return -1;  // no format delivered: nothing that could be played
    s->channels = channels;
    s->rate = static_cast<int32_t>(rate);
    d->song.channels = s->channels;
    d->song.rate = s->rate;
    if (encoding != ENCODING_S16) {
        print_unknown_encoding(encoding);
        return -1;
    }
    s->format = SAMPLE_FORMAT_S16;
    mpg123_frameinfo2 info{};
    if (mpg123_info2(s->mh, &info) == MPG123_OK)
        d->song.bitrate = info.bitrate;
    mpg123_seek(s->mh, 0, SEEK_END);
    const off_t end = mpg123_tell(s->mh);
    s->length = whole_seconds(end, s->rate);
    d->song.length = s->length;
    // Back to the start on a fresh decoder: a seek to 0 leaves state behind that makes
    // some streams decode differently from a plain pass through the file.
    mpg123_close(s->mh);
    if (lseek(s->fd, 0, SEEK_SET) != 0 || mpg123_open_fd(s->mh, s->fd) != MPG123_OK)
        return -1;
    const off_t start = mpg123_tell(s->mh);
    d->song.position = whole_seconds(start, s->rate);
    return 0;
}

int32_t mpg_seek(tHandleDecoder *d, int64_t sample) {
    const off_t offset = static_cast<off_t>(sample);
    // Already there (the rewind after every open): the library's seek would leave
    // state behind that changes how some streams decode.
    if (mpg123_tell(d->stream.mh) != offset && mpg123_seek(d->stream.mh, offset, SEEK_SET) < 0)
        return -1;
    return 0;
}

void mpg_close(tHandleDecoder *d) { mpg123_close(d->stream.mh); }

int32_t ffmpeg_backend_open(tHandleDecoder *d, const char *path) {
    tMpgStream *s = &d->stream;
    tFfmpegStream *f = &d->ffmpeg;
    take_path(d, path);
    if (ffmpeg_open(f, s->fd) != 0)
        return -1;
    f->eq = &d->equalizer;
    equalizer_start(&d->equalizer, f->rate);
    replaygain_ffmpeg_open(&d->replaygain, f);
    tSongTags tags;
    ffmpeg_tags(f, &tags);
    tags_display_title(&tags, d->song.title, sizeof d->song.title);
    s->channels = f->channels;
    s->rate = f->rate;
    s->format = SAMPLE_FORMAT_S16;
    s->length = whole_seconds(static_cast<off_t>(f->length), s->rate);
    d->song.channels = s->channels;
    d->song.rate = s->rate;
    d->song.bitrate = f->bitrate;
    d->song.length = s->length;
    d->song.position = 0;
    return 0;
}

int32_t ffmpeg_backend_decode(tHandleDecoder *d) {
    tFfmpegStream *f = &d->ffmpeg;
    const int32_t r = ffmpeg_decode(f);
    d->piece.samples = reinterpret_cast<unsigned char *>(f->pcm);
    d->piece.bytes = f->pcm_frames * f->channels * 2;
    d->piece.channels = f->channels;
    d->piece.rate = f->rate;
    d->piece.format = SAMPLE_FORMAT_S16;
    d->song.position = whole_seconds(static_cast<off_t>(f->position), f->rate);
    return r;
}

int32_t ffmpeg_backend_seek(tHandleDecoder *d, int64_t sample) {
    // Nothing decoded yet and asked for the start (the rewind after every open): stay.
    if (sample == 0 && d->ffmpeg.position == 0 && !d->ffmpeg.ended)
        return 0;
    equalizer_reset(&d->equalizer);
    return ffmpeg_seek(&d->ffmpeg, sample);
}

void ffmpeg_backend_close(tHandleDecoder *d) { ffmpeg_close(&d->ffmpeg); }

constexpr tDecoderBackend MPG_BACKEND = {mpg_open, mpg_decode, mpg_seek, mpg_close};
constexpr tDecoderBackend FFMPEG_BACKEND = {ffmpeg_backend_open, ffmpeg_backend_decode, ffmpeg_backend_seek,
                                            ffmpeg_backend_close};

// Hands on as much of the held piece as the output has room for (all of it with no output).
// A piece without samples is handed on too: it still carries its format.
void hand_on(tHandleDecoder *d, tHandleAudioOutput *a) {
    const int32_t bpf = d->piece.channels == 1 ? 2 : 4;
    const int32_t remaining = d->piece.bytes - d->piece_sent;
    int32_t n = remaining;
    if (a != nullptr) {
        const int32_t room = audiooutput_room(a);
        if (room < remaining / bpf)
            n = room * bpf;
    }
    d->chunk = d->piece;
    d->chunk.samples = d->piece.samples ? d->piece.samples + d->piece_sent : nullptr;
    d->chunk.bytes = n;
    if (d->handle && (n > 0 || d->piece.bytes == 0))
        handle_push_pcm(d->handle, &d->chunk);
    d->piece_sent += n;
    if (d->piece_sent >= d->piece.bytes)
        d->piece_held = 0;
}

int32_t apply_eq(tHandleDecoder *d) {
    int32_t values[1 + EQUALIZER_BANDS] = {d->eq_preamp};
    for (int k = 1; k <= EQUALIZER_BANDS; k++)
        values[k] = d->eq_band[EQ_RANGES[k].first];
    equalizer_set(&d->equalizer, d->eq_enabled, values);
    int32_t result = 0;
    for (int i = 0; i < 32; i++) {
        int32_t b = 0;
        int32_t p = 0;
        if (d->eq_enabled) {
            b = d->eq_band[i];
            p = d->eq_preamp;
        }
        const float bf = static_cast<float>(b) * 6.0f / 100.0f;
        const float pf = static_cast<float>(p) * 6.0f / 100.0f;
        const double g = pow(10.0, (static_cast<double>(bf) + static_cast<double>(pf)) / 10.0);
#if MPG123_API_VERSION >= 46
        result |= mpg123_eq2(d->stream.mh, MPG123_LR, i, g);
#else
        result |= mpg123_eq(d->stream.mh, MPG123_LR, i, g);
#endif
    }
    return result;
}

void arm_timer(tHandleDecoder *d);

gboolean decoder_timer_tick(gpointer user_data);

// The output has room again (or no longer plays): a playing decoder ticks on. The tick that
// the full ring held back runs at once; waking again 7 ms later for it would cost the main
// loop more than decoding the frame.
void decoder_room(void *data) {
    tHandleDecoder *d = static_cast<tHandleDecoder *>(data);
    if (d->state == DECODER_PLAYING && d->timer == 0 && decoder_timer_tick(d) == G_SOURCE_CONTINUE)
        arm_timer(d);
}

// The timer's own callback: a tick, then the tick goes on only while it has work. While
// the ring is full it sleeps, and the playing side wakes it once a buffer has been played.
gboolean decoder_timer_tick(gpointer user_data) {
    tHandleDecoder *d = static_cast<tHandleDecoder *>(user_data);
    decoder_tick(d);
    // A held piece waits for room for the next buffer's worth of it, a new frame for one frame.
    int32_t wanted = DECODER_MAX_FRAME_SAMPLES;
    if (d->piece_held) {
        const int32_t held = (d->piece.bytes - d->piece_sent) / (d->piece.channels == 1 ? 2 : 4);
        wanted = held < AUDIO_BUFFER_FRAMES ? (held > 0 ? held : 1) : AUDIO_BUFFER_FRAMES;
    }
    if (d->state == DECODER_PLAYING && d->handle &&
        audiooutput_wait_room(&d->handle->audiooutput, wanted, decoder_room, d)) {
        d->timer = 0;
        return G_SOURCE_REMOVE;
    }
    bool more = d->state == DECODER_PLAYING || (d->state == DECODER_ENDED && !d->end_quiet);
    if (!more && d->handle && audiooutput_queued(&d->handle->audiooutput) > 0)
        more = ++d->drain_ticks <= DECODER_DRAIN_TICKS;
    if (more)
        return G_SOURCE_CONTINUE;
    d->timer = 0;
    return G_SOURCE_REMOVE;
}

void arm_timer(tHandleDecoder *d) {
    d->drain_ticks = 0;
    if (d->timer == 0)
        d->timer = g_timeout_add(DECODER_TICK_MS, decoder_timer_tick, d);
}

}  // namespace

int32_t decoder_init(tHandleDecoder *d, tHandle *h) {
    memset(d, 0, sizeof(*d));
    d->handle = h;
    memset(&d->stream, 0, sizeof(d->stream));
    int err = MPG123_OK;
#if MPG123_API_VERSION < 46
    mpg123_init();
#endif
    d->stream.mh = mpg123_new(nullptr, &err);
    d->stream.is_open = 0;
    d->stream.fd = -1;
    d->backend = &MPG_BACKEND;
    d->ffmpeg.fd = -1;
    // A file that does not open fails without a message of the library's own.
    if (d->stream.mh)
        mpg123_param(d->stream.mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    const int32_t result = (err != MPG123_OK || d->stream.mh == nullptr) ? -1 : 0;
    pthread_mutex_init(&d->mutex, nullptr);
    return result;
}

int decoder_tick(void *user_data) {
    tHandleDecoder *d = static_cast<tHandleDecoder *>(user_data);
    pthread_mutex_lock(&d->mutex);
    bool lost = false;
    if (d->state == DECODER_PLAYING && d->open_attempted == 1) {
        // Nothing is decoded while no file is open (a failed open while playing), nor while
        // some of the last piece waits for room. An MPEG frame waits for a later tick until
        // the ring has room for all of it; a bigger piece is handed on in parts.
        // The output died under the sound: playing pauses where it was, and Play reopens.
        tHandleAudioOutput *a = d->handle ? &d->handle->audiooutput : nullptr;
        lost = a != nullptr && audiooutput_take_lost(a);
        if (!lost && d->stream.is_open && !d->piece_held &&
            (a == nullptr || d->backend != &MPG_BACKEND || audiooutput_can_write(a, DECODER_MAX_FRAME_SAMPLES))) {
            const int64_t before = d->ffmpeg.position;
            const int32_t r = d->backend->decode(d);
            d->piece_held = r != -2;
            d->piece_sent = 0;
            d->piece_last = r == 1;
            // Samples passed over after a seek are progress too.
            const bool progress = d->piece.bytes > 0 || r == 1 || d->ffmpeg.position != before;
            d->failed_ticks = progress ? 0 : d->failed_ticks + 1;
        }
        if (!lost && d->piece_held)
            hand_on(d, a);
        if ((d->piece_last && !d->piece_held) || d->failed_ticks >= DECODER_MAX_FAILED_TICKS)
            d->state = DECODER_ENDED;
    }
    if (d->handle)
        audiooutput_poll(&d->handle->audiooutput);
    const bool ended = d->state == DECODER_ENDED && !d->end_quiet;
    pthread_mutex_unlock(&d->mutex);
    if (lost)
        handle_dispatch(d->handle, EVENT_PAUSE, nullptr);
    else if (ended && d->handle)
        handle_dispatch(d->handle, EVENT_END_OF_TRACK, nullptr);
    return 1;
}

int32_t decoder_open(tHandleDecoder *d, const char *path) {
    pthread_mutex_lock(&d->mutex);
    d->open_attempted = 1;
    d->end_quiet = 0;
    d->failed_ticks = 0;
    tMpgStream *s = &d->stream;
    int32_t result = -1;
    do {
        if (s->is_open || s->fd >= 0)
            d->backend->close(d);
        s->is_open = 0;
        d->piece_held = 0;
        d->piece_last = 0;
        if (s->fd >= 0) {
            close(s->fd);
            s->fd = -1;
        }
        d->backend = &MPG_BACKEND;
        if (path == nullptr || s->mh == nullptr)
            break;
        // The file is opened here so that it can be handed to the library a second time
        // after its length is known, even if its name is gone by then.
        // Not blocking: a FIFO or a device named in a playlist must not hold the main
        // thread in open(); only regular files are played.
        const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            break;
        struct stat st {};
        const int flags = fcntl(fd, F_GETFL);
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
            fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            close(fd);
            break;
        }
        s->fd = fd;
        // The content decides, not the name: what FFmpeg's probe names as one of its formats
        // goes there, everything else to libmpg123 as before.
        if (ffmpeg_claims(fd))
            d->backend = &FFMPEG_BACKEND;
        if (d->backend->open(d, path) != 0)
            break;
        s->is_open = 1;
        result = 0;
    } while (false);
    if (result == 0 && d->state != DECODER_PLAYING)
        d->state = DECODER_READY;
    else if (result != 0)
        d->state = DECODER_IDLE;  // the old file is closed: nothing is left that could play
    pthread_mutex_unlock(&d->mutex);
    return result;
}

int32_t decoder_play(tHandleDecoder *d) {
    pthread_mutex_lock(&d->mutex);
    int32_t result = -1;
    if (d->state != DECODER_IDLE) {
        d->state = DECODER_PLAYING;
        d->end_quiet = 0;
        result = 0;
        arm_timer(d);
    }
    pthread_mutex_unlock(&d->mutex);
    return result;
}

int32_t decoder_pause(tHandleDecoder *d) {
    pthread_mutex_lock(&d->mutex);
    int32_t result = 0;
    if (d->state == DECODER_IDLE)
        result = -1;
    else if (d->state == DECODER_PLAYING)
        d->state = DECODER_READY;
    pthread_mutex_unlock(&d->mutex);
    return result;
}

int32_t decoder_seek(tHandleDecoder *d, int32_t second) {
    pthread_mutex_lock(&d->mutex);
    int32_t result = 0;
    if (d->open_attempted != 1) {
        d->state = DECODER_IDLE;
    } else {
        int32_t s = second < d->song.length ? second : d->song.length;
        if (s < 1)
            s = 0;
        if (d->stream.is_open) {
            if (d->backend->seek(d, static_cast<int64_t>(d->stream.rate) * s) < 0) {
                result = -1;
            } else {
                d->song.position = s;
                d->piece_held = 0;
                d->piece_last = 0;
            }
        }
    }
    pthread_mutex_unlock(&d->mutex);
    return result;
}

int32_t decoder_get_song_info(tHandleDecoder *d, tSongInfo *destination) {
    memcpy(destination, &d->song, sizeof(*destination));
    return 0;
}

int32_t decoder_get_state(tHandleDecoder *d, int32_t *destination) {
    *destination = d->state;
    return 0;
}

int32_t decoder_set_eq(tHandleDecoder *d, int32_t index, int32_t value) {
    if (index == 0) {
        d->eq_preamp = value;
    } else if (index >= 1 && index <= 10) {
        for (int i = EQ_RANGES[index].first; i <= EQ_RANGES[index].last; i++)
            d->eq_band[i] = value;
    }
    return apply_eq(d);
}

int32_t decoder_enable_eq(tHandleDecoder *d, int32_t flag) {
    d->eq_enabled = flag;
    return apply_eq(d);
}

int32_t decoder_set_replaygain(tHandleDecoder *d, const tReplayGainSettings *settings) {
    pthread_mutex_lock(&d->mutex);
    d->replaygain.settings = *settings;
    if (d->stream.is_open && d->backend == &MPG_BACKEND)
        replaygain_mpg_apply(&d->replaygain, d->stream.mh);
    else if (d->stream.is_open)
        replaygain_ffmpeg_apply(&d->replaygain, &d->ffmpeg);
    pthread_mutex_unlock(&d->mutex);
    return 0;
}

int32_t decoder_quiet_end(tHandleDecoder *d) {
    pthread_mutex_lock(&d->mutex);
    d->end_quiet = 1;
    pthread_mutex_unlock(&d->mutex);
    return 0;
}
