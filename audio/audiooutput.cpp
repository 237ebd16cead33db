// PortAudio output with a ring of four buffers, volume and balance.
#include "audio/audiooutput.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <portaudio.h>

#include "audio/audiooutput_page.h"
#include "core/handle.h"
#include "core/startup.h"

namespace {

int64_t monotonic_ms() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Bounded waits run on the monotonic clock: setting the wall clock must neither end them at
// once nor stretch them for hours. The conditions waited on are made for that clock.
timespec monotonic_deadline(int64_t ms) {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    t.tv_sec += static_cast<time_t>(ms / 1000);
    t.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    t.tv_sec += t.tv_nsec / 1000000000L;
    t.tv_nsec %= 1000000000L;
    return t;
}

void init_monotonic_cond(pthread_cond_t *cond) {
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(cond, &attr);
    pthread_condattr_destroy(&attr);
}


constexpr int AUDIO_FRAMES_PER_CALLBACK = 64;
constexpr int OUT_BYTES_PER_FRAME = 4;
static_assert(AUDIO_BUFFER_BYTES % (AUDIO_FRAMES_PER_CALLBACK * OUT_BYTES_PER_FRAME) == 0);
static_assert(AUDIO_STAGE_FRAMES >= 2 * 1152);

constexpr char OPTION_PREFIX[] = "--audiooutput.portaudio.";
constexpr char OPTION_DEVICE[] = "--audiooutput.portaudio.device=";
static_assert(sizeof(OPTION_PREFIX) - 1 == 24 && sizeof(OPTION_DEVICE) - 1 == 31);

int32_t load_atomic(const int32_t *v) { return __atomic_load_n(v, __ATOMIC_ACQUIRE); }
void store_atomic(int32_t *v, int32_t x) { __atomic_store_n(v, x, __ATOMIC_RELEASE); }

// Wakes a main-thread tick that sleeps until the ring has room. Safe in the playing side's
// callback: no lock, no allocation, and the pipe never blocks (a full one already wakes).
void notify_room(tPortaudioOutput *p) {
    if (__atomic_exchange_n(&p->room_wanted, 0, __ATOMIC_SEQ_CST) && p->wake_fd[1] >= 0) {
        const char byte = 1;
        if (write(p->wake_fd[1], &byte, 1) < 0) {
            // EAGAIN: bytes are waiting already.
        }
    }
}

// The per-buffer locks are plain counters under a mutex, so the playing side may release
// a read lock on another thread than the one that took it.
void lock_init(tBufferLock *l) {
    pthread_mutex_init(&l->mutex, nullptr);
    pthread_cond_init(&l->cond, nullptr);
    l->readers = 0;
    l->writer = 0;
}

void read_acquire(tBufferLock *l) {
    pthread_mutex_lock(&l->mutex);
    while (l->writer)
        pthread_cond_wait(&l->cond, &l->mutex);
    l->readers++;
    pthread_mutex_unlock(&l->mutex);
}

// Releases the read lock; a buffer played through, or dropped by a flush, is empty now.
void read_release(tPortaudioOutput *p, int i, bool played) {
    tBufferLock *l = &p->lock[i];
    pthread_mutex_lock(&l->mutex);
    if (l->readers > 0)
        l->readers--;
    if (played || load_atomic(&p->drop[i])) {
        p->fill[i] = 0;
        store_atomic(&p->drop[i], 0);
    }
    pthread_mutex_unlock(&l->mutex);
}

// Takes the write lock without waiting; returns the offset to write at, or -1 when the
// buffer is being played or (advanced past a full one) still holds unplayed sound.
int32_t write_try(tPortaudioOutput *p, int i, bool advanced) {
    tBufferLock *l = &p->lock[i];
    pthread_mutex_lock(&l->mutex);
    int32_t offset = -1;
    if (l->readers == 0 && !l->writer) {
        const int32_t f = p->fill[i];
        if (advanced ? f == 0 : f < AUDIO_BUFFER_BYTES) {
            offset = f;
            l->writer = 1;
        }
    }
    pthread_mutex_unlock(&l->mutex);
    return offset;
}

void write_release(tPortaudioOutput *p, int i, int32_t fill) {
    tBufferLock *l = &p->lock[i];
    pthread_mutex_lock(&l->mutex);
    p->fill[i] = fill;
    l->writer = 0;
    pthread_cond_broadcast(&l->cond);
    pthread_mutex_unlock(&l->mutex);
}

int32_t fill_of(tPortaudioOutput *p, int i, bool *held) {
    tBufferLock *l = &p->lock[i];
    pthread_mutex_lock(&l->mutex);
    const int32_t f = p->fill[i];
    *held = l->readers > 0;
    pthread_mutex_unlock(&l->mutex);
    return f;
}

bool ring_has_full(tPortaudioOutput *p) {
    for (int i = 0; i < AUDIO_BUFFER_COUNT; i++) {
        bool held = false;
        if (fill_of(p, i, &held) == AUDIO_BUFFER_BYTES && !load_atomic(&p->drop[i]))
            return true;
    }
    return false;
}

// Sound was written since the last flush (playing was going on).
bool ring_holds_sound(tPortaudioOutput *p) {
    for (int i = 0; i < AUDIO_BUFFER_COUNT; i++) {
        bool held = false;
        if (fill_of(p, i, &held) > 0 && !load_atomic(&p->drop[i]))
            return true;
    }
    return false;
}

// Frames that fit into the ring now, without passing the buffer being played or one that
// holds unplayed sound.
int32_t ring_room(tPortaudioOutput *p) {
    int32_t room = 0;
    int i = p->write_index;
    for (int k = 0; k < AUDIO_BUFFER_COUNT; k++) {
        bool held = false;
        const int32_t f = fill_of(p, i, &held);
        if (held)
            break;
        if (k == 0) {
            room += (AUDIO_BUFFER_BYTES - f) / OUT_BYTES_PER_FRAME;
        } else {
            if (f != 0)
                break;
            room += AUDIO_BUFFER_FRAMES;
        }
        i = (i + 1) % AUDIO_BUFFER_COUNT;
    }
    return room;
}

// Moves staged frames into the ring for as long as buffers are free; never waits. Frames
// behind a tail wait until it is padded, frames of a new format until its stream is open.
void place_stage(tPortaudioOutput *p) {
    // While the format changes only the old one's tail goes in: the old stream would play
    // whatever follows it.
    if (p->switch_state == 2 || (p->switch_state == 1 && p->tail_frames < 0))
        return;
    while (p->stage_pos < p->stage_frames && p->tail_frames != 0) {
        int i = p->write_index;
        bool advanced = false;
        bool held = false;
        if (fill_of(p, i, &held) == AUDIO_BUFFER_BYTES) {
            i = (i + 1) % AUDIO_BUFFER_COUNT;
            advanced = true;
        }
        const int32_t offset = write_try(p, i, advanced);
        if (offset < 0)
            break;
        int32_t n = (AUDIO_BUFFER_BYTES - offset) / OUT_BYTES_PER_FRAME;
        int32_t left = p->stage_frames - p->stage_pos;
        if (p->tail_frames > 0 && left > p->tail_frames)
            left = p->tail_frames;
        if (n > left)
            n = left;
        if (p->tail_frames > 0)
            p->tail_frames -= n;
        memcpy(&p->buffer[i][offset], &p->stage[2 * p->stage_pos],
               static_cast<size_t>(n) * OUT_BYTES_PER_FRAME);
        write_release(p, i, offset + n * OUT_BYTES_PER_FRAME);
        __atomic_store_n(&p->write_index, i, __ATOMIC_RELEASE);
        p->stage_pos += n;
    }
    if (p->stage_pos >= p->stage_frames)
        p->stage_pos = p->stage_frames = 0;
}

int16_t saturate(int64_t v) {
    if (v > INT16_MAX)
        return INT16_MAX;
    if (v < INT16_MIN)
        return INT16_MIN;
    return static_cast<int16_t>(v);
}

int16_t read_s16(const unsigned char *b) {
    int16_t v;
    memcpy(&v, b, sizeof(v));
    return v;
}

// Moves the frames not yet placed to the front of the stage.
void compact_stage(tPortaudioOutput *p) {
    if (p->stage_pos > 0) {
        const int32_t left = p->stage_frames - p->stage_pos;
        memmove(p->stage, &p->stage[2 * p->stage_pos], static_cast<size_t>(left) * OUT_BYTES_PER_FRAME);
        p->stage_frames = left;
        p->stage_pos = 0;
    }
}

// Converts `frames` input frames into stereo `out` (volume, balance, saturation).
void convert_frames(const tPortaudioOutput *p, const unsigned char *in, int32_t frames, bool mono, int16_t *out) {
    const int64_t vol = p->volume;
    const int64_t bal = p->balance;
    const int in_bpf = mono ? 2 : 4;
    if (!mono && vol == 100 && bal == 0) {
        memcpy(out, in, static_cast<size_t>(frames) * OUT_BYTES_PER_FRAME);
    } else {
        for (int32_t k = 0; k < frames; k++) {
            const unsigned char *f = in + static_cast<size_t>(k) * in_bpf;
            const int64_t l = read_s16(f);
            const int64_t r = mono ? l : read_s16(f + 2);
            const int64_t lv = l * vol / 100;
            const int64_t rv = r * vol / 100;
            int64_t lo = lv;
            int64_t ro = rv;
            if (bal > 0) {
                lo = lv * (100 - bal) / 100;
                ro = (100 * rv + bal * lv) / (100 + bal);
            } else if (bal < 0) {
                ro = rv * (100 + bal) / 100;
                lo = (100 * lv - bal * rv) / (100 - bal);
            }
            out[2 * k] = saturate(lo);
            out[2 * k + 1] = saturate(ro);
        }
    }
}

// Resamples `frames` converted frames from `in` into the stage; what does not fit is dropped.
void stage_resampled(tPortaudioOutput *p, const int16_t *in, int32_t frames) {
    const int32_t space = AUDIO_STAGE_FRAMES - p->stage_frames;
    const int32_t n = std::min(frames, resampler_input_for(&p->resampler, space));
    p->dropped_frames += frames - n;
    p->stage_frames += resampler_run(&p->resampler, in, n, &p->stage[2 * p->stage_frames], space);
}

// Converts `frames` input frames into the stage, at the stream's rate once it is known.
void stage_frames(tPortaudioOutput *p, const unsigned char *in, int32_t frames, bool mono) {
    compact_stage(p);
    if (p->resampler.swr != nullptr && p->switch_state == 0) {
        const int32_t in_bpf = mono ? 2 : 4;
        for (int32_t done = 0; done < frames;) {
            const int32_t n = std::min(frames - done, AUDIO_STAGE_FRAMES);
            convert_frames(p, in + static_cast<size_t>(done) * in_bpf, n, mono, p->scratch);
            stage_resampled(p, p->scratch, n);
            done += n;
        }
        return;
    }
    const int32_t space = AUDIO_STAGE_FRAMES - p->stage_frames;
    if (frames > space) {
        p->dropped_frames += frames - space;
        frames = space;
    }
    convert_frames(p, in, frames, mono, &p->stage[2 * p->stage_frames]);
    p->stage_frames += frames;
}

// The sound held back in the converter goes into the stage (its sound ends or changes).
void drain_resampler(tPortaudioOutput *p) {
    if (p->resampler.swr == nullptr)
        return;
    compact_stage(p);
    p->stage_frames += resampler_run(&p->resampler, nullptr, 0, &p->stage[2 * p->stage_frames],
                                     AUDIO_STAGE_FRAMES - p->stage_frames);
}

// A stream has opened for the current format: at the sound's rate, or at another one that
// the device takes, and then the frames waiting for it are resampled.
void start_resampling(tPortaudioOutput *p) {
    const int32_t rate = load_atomic(&p->play_rate);
    resampler_setup(&p->resampler, p->cur_rate, load_atomic(&p->stream_live) && rate > 0 ? rate : p->cur_rate);
    if (p->resampler.swr == nullptr)
        return;
    compact_stage(p);
    const int32_t waiting = p->stage_frames;
    memcpy(p->scratch, p->stage, static_cast<size_t>(waiting) * OUT_BYTES_PER_FRAME);
    p->stage_frames = 0;
    stage_resampled(p, p->scratch, waiting);
}

void fill_params(tPortaudioOutput *p) {
    PaStreamParameters *sp = p->params;
    sp->device = p->device;
    sp->channelCount = 0;
    sp->sampleFormat = 0;
    // No device: some latency of ours; opening the stream then reports PortAudio's error.
    const PaDeviceInfo *info = p->device >= 0 ? Pa_GetDeviceInfo(p->device) : nullptr;
    sp->suggestedLatency = info ? info->defaultLowOutputLatency : 0.05;
    sp->hostApiSpecificStreamInfo = nullptr;
}

// While no callback runs, the playing side moves off a buffer that the writer still has to
// fill, so the writer can go on at once instead of waiting a whole buffer of silence.
void reader_step_off_writer(tPortaudioOutput *p) {
    const int r = p->read_index;
    bool held = false;
    if (r != __atomic_load_n(&p->write_index, __ATOMIC_ACQUIRE) || fill_of(p, r, &held) == AUDIO_BUFFER_BYTES)
        return;
    read_release(p, r, false);
    const int next = (r + 1) % AUDIO_BUFFER_COUNT;
    read_acquire(&p->lock[next]);
    p->read_pos[next] = 0;
    p->read_index = next;
}

// The same failure again and again (every Play on a machine without sound) is said once,
// until a stream opens or another device is chosen.
void report_open_error(tPortaudioOutput *p, PaError err) {
    if (__atomic_exchange_n(&p->reported_error, err, __ATOMIC_ACQ_REL) == err)
        return;
    printf("Unable to open audio. Sorry. Portaudio Error:%d\n", err);
    fflush(stdout);
}

void quiet_sound_server(bool quiet);
void release_locked(tPortaudioOutput *p);

// The output device of that name and host API (any API when none is given), or -1.
PaDeviceIndex find_output(const char *name, const char *api) {
    const PaDeviceIndex n = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < n; i++) {
        const PaDeviceInfo *info = Pa_GetDeviceInfo(i);
        if (!info || info->maxOutputChannels <= 0 || !info->name || strcmp(info->name, name) != 0)
            continue;
        const PaHostApiInfo *host = Pa_GetHostApiInfo(info->hostApi);
        if (api[0] == '\0' || (host && host->name && strcmp(host->name, api) == 0))
            return i;
    }
    return -1;
}

// Settles which device PortAudio's list now holds for the one asked for: by name when one is
// known (the default device while it is not there), else by number, whose name is then
// kept. Under `control`.
void resolve_device_locked(tPortaudioOutput *p, int32_t device) {
    char name[PORTAUDIO_NAME_SIZE];
    char api[PORTAUDIO_API_SIZE];
    pthread_mutex_lock(&p->request);
    snprintf(name, sizeof name, "%s", p->wanted_name);
    snprintf(api, sizeof api, "%s", p->wanted_api);
    pthread_mutex_unlock(&p->request);
    p->wanted_device = device;
    if (name[0] != '\0') {
        device = find_output(name, api);
    } else if (const PaDeviceInfo *info = device >= 0 ? Pa_GetDeviceInfo(device) : nullptr) {
        const PaHostApiInfo *host = Pa_GetHostApiInfo(info->hostApi);
        pthread_mutex_lock(&p->request);
        snprintf(p->wanted_name, sizeof p->wanted_name, "%s", info->name ? info->name : "");
        snprintf(p->wanted_api, sizeof p->wanted_api, "%s", host && host->name ? host->name : "");
        pthread_mutex_unlock(&p->request);
    }
    if (device == -1)
        device = Pa_GetDefaultOutputDevice();
    store_atomic(&p->device, device);
    fill_params(p);
}

// Initialises PortAudio for `device` (-1: the default one); under `control`.
int32_t init_locked(tPortaudioOutput *p, int32_t device) {
    static bool started_once = false;  // under `control`
    quiet_sound_server(started_once);
    started_once = true;
    const PaError err = Pa_Initialize();
    quiet_sound_server(false);
    if (err != paNoError)
        return -1;
    store_atomic(&p->initialised, 1);
    resolve_device_locked(p, device);
    tPortaudioDeviceList *list = static_cast<tPortaudioDeviceList *>(malloc(sizeof(*list)));
    if (list) {
        portaudio_scan_devices(list);
        pthread_mutex_lock(&p->request);
        p->devices = *list;
        pthread_mutex_unlock(&p->request);
        free(list);
    }
    return 0;
}

// Re-initialises PortAudio for `device`; under `control`.
int32_t reinit_locked(tPortaudioOutput *p, int32_t device) {
    store_atomic(&p->reported_error, 0);  // another device: its failure is news
    if (p->kept_up) {
        // Only the devices PortAudio found at its start can be chosen now.
        release_locked(p);
        resolve_device_locked(p, device);
        return 0;
    }
    if (load_atomic(&p->initialised) && !p->released) {
        // Stopped and closed first, so that no callback of the old stream can still be
        // running when the new one starts.
        if (p->stream) {
            Pa_AbortStream(p->stream);
            Pa_CloseStream(p->stream);
        }
        const PaError err = Pa_Terminate();
        // Terminating closed any stream, whatever it reported.
        p->stream = nullptr;
        store_atomic(&p->idle_stopped, 0);
        store_atomic(&p->initialised, 0);
        if (err != paNoError)
            return -1;
    }
    p->released = 0;
    store_atomic(&p->initialised, 0);
    return init_locked(p, device);
}

bool on_jack(PaDeviceIndex device) {
    const PaDeviceInfo *info = device >= 0 ? Pa_GetDeviceInfo(device) : nullptr;
    const PaHostApiInfo *api = info ? Pa_GetHostApiInfo(info->hostApi) : nullptr;
    return api && api->type == paJACK;
}

// Lets PortAudio go while nothing plays; the main thread's view (the format, frames kept
// for a stream that stopped itself) stays as it was. Under `control`.
void release_locked(tPortaudioOutput *p) {
    if (p->stream) {
        Pa_AbortStream(p->stream);
        Pa_CloseStream(p->stream);
        p->stream = nullptr;
    }
    if (p->kept_up)
        return;
    Pa_Terminate();
    p->released = 1;
    __atomic_add_fetch(&p->released_count, 1, __ATOMIC_ACQ_REL);
}

// The sound libraries loaded with PortAudio report on every start what they do not find (no
// sound server, no sound card: a dozen lines). Said at the first start that is news; each
// time PortAudio starts again (after a pause, for another device) it is noise. Their
// messages go through these, silent while PortAudio starts again.
int32_t sound_server_quiet = 0;

void sound_server_message(const char *text) {
    if (!__atomic_load_n(&sound_server_quiet, __ATOMIC_ACQUIRE))
        fprintf(stderr, "%s\n", text);
}

void sound_card_message(const char *file, int line, const char *function, int err, const char *format, ...) {
    if (__atomic_load_n(&sound_server_quiet, __ATOMIC_ACQUIRE))
        return;
    va_list args;
    va_start(args, format);
    fprintf(stderr, "ALSA lib %s:%i:(%s) ", file, line, function);
    vfprintf(stderr, format, args);
    va_end(args);
    if (err != 0)
        fprintf(stderr, ": %s", strerror(err < 0 ? -err : err));
    fputc('\n', stderr);
}

// Looked up rather than linked: the libraries are PortAudio's, and may be missing.
void quiet_sound_server(bool quiet) {
    static bool routed = false; // under `control`
    if (!routed) {
        using tSetter = void (*)(void (*)(const char *));
        for (const char *name : {"jack_set_error_function", "jack_set_info_function"})
            if (void *symbol = dlsym(RTLD_DEFAULT, name))
                reinterpret_cast<tSetter>(symbol)(sound_server_message);
        using tCardSetter = int (*)(void (*)(const char *, int, const char *, int, const char *, ...));
        if (void *symbol = dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler"))
            reinterpret_cast<tCardSetter>(symbol)(sound_card_message);
        routed = true;
    }
    __atomic_store_n(&sound_server_quiet, quiet ? 1 : 0, __ATOMIC_RELEASE);
}

// Brings PortAudio back for the device that was in use; false when it is not there.
bool bring_back_locked(tPortaudioOutput *p) {
    if (!p->released)
        return load_atomic(&p->initialised) != 0;
    p->released = 0;
    if (init_locked(p, p->wanted_device) == 0)
        return true;
    store_atomic(&p->initialised, 0);
    return false;
}

// Opens a stream at `rate`, or where the device refuses that rate, at the first it takes of
// 48000 Hz, 44100 Hz and its own default rate (the output resamples to it). Under `control`.
PaError open_at_a_rate(tPortaudioOutput *p, const PaStreamParameters *params, int32_t rate, PaStream **stream,
                       int32_t *opened_rate) {
    const PaDeviceInfo *info = Pa_GetDeviceInfo(params->device);
    const int32_t rates[] = {rate, 48000, 44100, info ? static_cast<int32_t>(info->defaultSampleRate) : 0};
    PaError first = paNoError;
    for (size_t i = 0; i < sizeof rates / sizeof rates[0]; i++) {
        if (rates[i] <= 0 || std::find(rates, rates + i, rates[i]) != rates + i)
            continue;  // tried already
        const PaError err = Pa_OpenStream(stream, nullptr, params, static_cast<double>(rates[i]),
                                          AUDIO_FRAMES_PER_CALLBACK, paClipOff, portaudio_callback, p);
        if (err == paNoError) {
            *opened_rate = rates[i];
            return err;
        }
        if (i == 0)
            first = err;
        // Any other failure is not about the rate: another rate would fail the same way.
        if (err != paInvalidSampleRate)
            break;
    }
    return first;
}

// Opens and starts a stream for the current rate, closing the old one once the device has
// played what it was given; under `control`.
PaError open_stream_locked(tPortaudioOutput *p, int32_t rate) {
    if (p->stream) {
        Pa_StopStream(p->stream);
        Pa_CloseStream(p->stream);
        p->stream = nullptr;
    }
    store_atomic(&p->idle_stopped, 0);
    store_atomic(&p->silent_frames, 0);
    p->watch_since_ms = 0;
    PaError err = paNotInitialized;
    if (bring_back_locked(p)) {
        p->params->channelCount = 2;
        p->params->sampleFormat = paInt16;
        PaStream *stream = nullptr;
        PaStreamParameters params = *p->params;
        int32_t opened_rate = rate;
        err = open_at_a_rate(p, &params, rate, &stream, &opened_rate);
        // The device asked for is gone (or refuses): the sound goes to the default one.
        const PaDeviceIndex fallback = Pa_GetDefaultOutputDevice();
        if (err != paNoError && fallback >= 0 && fallback != params.device) {
            const PaDeviceInfo *info = Pa_GetDeviceInfo(fallback);
            params.device = fallback;
            params.suggestedLatency = info ? info->defaultLowOutputLatency : params.suggestedLatency;
            if (open_at_a_rate(p, &params, rate, &stream, &opened_rate) == paNoError)
                err = paNoError;
        }
        if (err == paNoError) {
            reader_step_off_writer(p);
            err = Pa_StartStream(stream);
            if (err != paNoError) {
                Pa_CloseStream(stream);
            } else {
                p->stream = stream;
                p->stream_rate = opened_rate;
                store_atomic(&p->play_rate, opened_rate);
                p->stream_device = params.device;
                if (opened_rate != rate) {
                    printf("The sound device refuses %d Hz: playing at %d Hz.\n", rate, opened_rate);
                    fflush(stdout);
                }
            }
        }
    }
    if (err != paNoError)
        report_open_error(p, err);
    else
        store_atomic(&p->reported_error, 0);
    return err;
}

enum : int32_t { JOB_NONE = 0, JOB_REINIT = 1, JOB_CLOSE = 2, JOB_QUIT = 3 };

// A running stream is dead when PortAudio says it stopped without our callback asking it to
// (a device unplugged, a sound server that went away) or when its callback has not been
// called for a while (a device that stopped taking sound). Helper only.
bool stream_dead(tPortaudioOutput *p, int64_t now) {
    const int64_t calls = __atomic_load_n(&p->callback_calls, __ATOMIC_RELAXED);
    if (p->watch_since_ms == 0 || calls != p->watch_calls) {
        p->watch_calls = calls;
        p->watch_since_ms = now;
    }
    // Read before `idle_stopped`: the callback raises that before it ends the stream.
    if (Pa_IsStreamActive(p->stream) != 1 && !load_atomic(&p->idle_stopped))
        return true;
    return now - p->watch_since_ms >= load_atomic(&p->stall_ms);
}

// Said once; a decoder that was playing into it pauses, and the next frame opens a stream
// on PortAudio brought back afresh, with the devices there are now. Under `control`.
void lose_stream_locked(tPortaudioOutput *p) {
    const bool stopped_by_itself = Pa_IsStreamActive(p->stream) != 1;
    printf("Audio output lost: the device stopped playing.\n");
    fflush(stdout);
    pthread_mutex_lock(&p->request);
    if (p->open_rate == 0)  // else a newer stream is on its way
        store_atomic(&p->stream_live, 0);
    pthread_mutex_unlock(&p->request);
    store_atomic(&p->format_lost, 1);
    if (ring_holds_sound(p))
        store_atomic(&p->stream_lost, 1);
    notify_room(p);
    if (stopped_by_itself && on_jack(p->stream_device)) {
        // The dead client's stream is left as it is: PortAudio stays up, and the next
        // frame opens a stream on another device.
        p->stream = nullptr;
        p->kept_up = 1;
    }
    // Told first: a device that stopped taking sound may hold this thread here for ever.
    release_locked(p);
    p->watch_since_ms = 0;
}

bool helper_has_work(const tPortaudioOutput *p) {
    return p->restart_wanted || p->open_rate || p->job_kind != JOB_NONE;
}

// Every call that may wait for the device runs here, never on the main thread: a device
// that stops taking sound can hold PortAudio's stop, close and drain calls for ever.
void *stream_helper(void *arg) {
    tPortaudioOutput *p = static_cast<tPortaudioOutput *>(arg);
    int64_t unused_since = -1;  // since when PortAudio has had nothing to play
    for (;;) {
        pthread_mutex_lock(&p->request);
        bool release = false;
        bool lost = false;
        while (!helper_has_work(p) && !release && !lost) {
            // Only this thread changes `stream` and `released`: read without `control`.
            const bool up = load_atomic(&p->initialised) && !p->released;
            if (!up) {
                unused_since = -1;
                pthread_cond_wait(&p->request_cond, &p->request);
                continue;
            }
            const int64_t now = monotonic_ms();
            int64_t wait_ms = 1000;  // a stream that stops itself does not say so: look again
            if (p->stream == nullptr || load_atomic(&p->idle_stopped)) {
                if (unused_since < 0)
                    unused_since = now;
                const int64_t left = unused_since + load_atomic(&p->release_ms) - now;
                release = left <= 0;
                wait_ms = left < wait_ms ? left : wait_ms;
            } else {
                unused_since = -1;
                lost = stream_dead(p, now);
                wait_ms = AUDIO_WATCH_MS;
            }
            if (!release && !lost) {
                const timespec t = monotonic_deadline(wait_ms);
                pthread_cond_timedwait(&p->request_cond, &p->request, &t);
            }
        }
        const int32_t job = p->job_kind;
        const int32_t job_device = p->job_device;
        const int32_t job_generation = p->job_generation;
        const int32_t rate = p->open_rate;
        const int32_t generation = p->open_generation;
        const bool restart = p->restart_wanted;
        p->job_kind = JOB_NONE;
        p->open_rate = 0;
        p->restart_wanted = 0;
        pthread_mutex_unlock(&p->request);

        pthread_mutex_lock(&p->control);
        if (lost)
            lose_stream_locked(p);
        if (release) {
            release_locked(p);
            unused_since = -1;
        }
        if (job != JOB_NONE) {
            int32_t result = 0;
            if (job == JOB_REINIT) {
                result = reinit_locked(p, job_device);
            } else if (job == JOB_QUIT) {
                if (load_atomic(&p->initialised) && !p->released)
                    release_locked(p);
            } else if (p->stream) {
                Pa_CloseStream(p->stream);
                p->stream = nullptr;
            }
            pthread_mutex_lock(&p->request);
            p->job_result = result;
            p->job_done = job_generation;
            pthread_cond_broadcast(&p->job_cond);
            pthread_mutex_unlock(&p->request);
        }
        if (rate > 0) {
            open_stream_locked(p, rate);
            if (p->stream == nullptr) {
                // Frames of this format go nowhere, unless a newer format is on its way.
                pthread_mutex_lock(&p->request);
                if (p->open_generation == generation)
                    store_atomic(&p->stream_live, 0);
                pthread_mutex_unlock(&p->request);
            }
            store_atomic(&p->opened_generation, generation);
        } else if (load_atomic(&p->idle_stopped) && (p->stream || (restart && p->released))) {
            PaError err = paNoError;
            if (p->stream) {
                // Only silence can be pending in the host's buffers, so nothing audible is cut.
                Pa_AbortStream(p->stream);
                reader_step_off_writer(p);
                store_atomic(&p->silent_frames, 0);
                store_atomic(&p->idle_stopped, 0);
                p->watch_since_ms = 0;
                err = Pa_StartStream(p->stream);
                if (err != paNoError) {
                    report_open_error(p, err);
                    Pa_CloseStream(p->stream);
                    p->stream = nullptr;
                }
            } else {
                // Let go while idle: PortAudio and the stream come back for the frames.
                err = open_stream_locked(p, p->stream_rate);
            }
            if (err != paNoError) {
                // Said once; the next frame opens a stream afresh instead of finding none.
                store_atomic(&p->stream_live, 0);
                store_atomic(&p->format_lost, 1);
            }
        }
        pthread_mutex_unlock(&p->control);
        // Whatever changed here may let a sleeping decoder tick go on.
        notify_room(p);
    }
    return nullptr;
}

bool start_helper(tPortaudioOutput *p) {
    if (!p->helper_started) {
        if (pthread_create(&p->helper, nullptr, stream_helper, p) != 0)
            return false;
        p->helper_started = 1;
    }
    return true;
}

// Asks the helper to start a stream that stopped itself while idle; never waits for it.
void wake_stream(tPortaudioOutput *p) {
    if (!load_atomic(&p->stream_live) || !load_atomic(&p->idle_stopped) || !start_helper(p))
        return;
    pthread_mutex_lock(&p->request);
    p->restart_wanted = 1;
    pthread_cond_signal(&p->request_cond);
    pthread_mutex_unlock(&p->request);
}

// Has the helper (re)open the stream at `rate`; frames are kept in the ring meanwhile.
// Returns the request's generation (0 when no helper runs).
int32_t open_stream(tPortaudioOutput *p, int32_t rate) {
    if (!p->reader_started) {
        read_acquire(&p->lock[p->read_index]);
        p->reader_started = 1;
    }
    if (!start_helper(p))
        return 0;
    store_atomic(&p->stream_lost, 0);
    pthread_mutex_lock(&p->request);
    p->open_rate = rate;
    const int32_t generation = ++p->open_generation;
    store_atomic(&p->stream_live, 1);
    pthread_cond_signal(&p->request_cond);
    pthread_mutex_unlock(&p->request);
    return generation;
}

// Runs a job on the helper and waits at most `ms` for it; -1 when it failed or the device
// holds the helper that long (the job still runs when the helper gets to it).
int32_t run_job(tPortaudioOutput *p, int32_t kind, int32_t device, int ms) {
    if (!start_helper(p))
        return -1;
    const timespec t = monotonic_deadline(ms);
    pthread_mutex_lock(&p->request);
    p->job_kind = kind;
    p->job_device = device;
    const int32_t generation = ++p->job_generation;
    pthread_cond_signal(&p->request_cond);
    int rc = 0;
    while (p->job_done != generation && rc == 0)
        rc = pthread_cond_timedwait(&p->job_cond, &p->request, &t);
    const int32_t result = p->job_done == generation ? p->job_result : -1;
    pthread_mutex_unlock(&p->request);
    return result;
}

// The stream that plays the queued frames is going away: frames written from now on wait
// for the next one, and the next frame opens it.
void forget_stream(tPortaudioOutput *p) {
    store_atomic(&p->stream_live, 0);
    p->cur_channels = p->cur_rate = p->cur_format = 0;
    p->switch_state = 0;
    p->play_out_wanted = 0;
    p->tail_frames = -1;
    notify_room(p);  // the frames are dropped now: a sleeping tick goes on
}

// Pads the buffer the tail ends in once the tail is placed; true when that is done.
bool pad_tail(tPortaudioOutput *p) {
    place_stage(p);
    if (p->tail_frames > 0)
        return false;
    const int i = p->write_index;
    bool held = false;
    const int32_t f = fill_of(p, i, &held);
    if (f > 0 && f < AUDIO_BUFFER_BYTES) {
        const int32_t offset = write_try(p, i, false);
        if (offset < 0)
            return false;
        memset(&p->buffer[i][offset], 0, static_cast<size_t>(AUDIO_BUFFER_BYTES - offset));
        write_release(p, i, AUDIO_BUFFER_BYTES);
    }
    p->tail_frames = -1;
    return true;
}

// Moves a tail and a change of format on as far as they can go without waiting.
void advance(tPortaudioOutput *p) {
    if (p->switch_state == 1 && !load_atomic(&p->stream_live)) {
        // The old stream is lost: what it held will not play; the next frame reopens.
        forget_stream(p);
        p->stage_pos = p->stage_frames = 0;
        return;
    }
    if (p->tail_frames >= 0 && !pad_tail(p))
        return;
    if (p->switch_state == 1 && !ring_has_full(p)) {
        p->switch_generation = open_stream(p, p->switch_rate);
        p->switch_state = 2;
    }
    // Opened or not: a failed opening keeps the format, so its frames do not retry it.
    if (p->switch_state == 2 && load_atomic(&p->opened_generation) == p->switch_generation) {
        p->switch_state = 0;
        start_resampling(p);
        if (p->play_out_wanted) {
            p->play_out_wanted = 0;
            p->tail_frames = p->stage_frames - p->stage_pos;
            pad_tail(p);
        }
        place_stage(p);
    }
}

// Without a stream nothing paces the decoder: frames are let through no faster than they
// would have played, so positions and track ends keep to real time.
constexpr int64_t CLOCK_LEAD_MS = 60;  // frames let through ahead of the clock
constexpr int64_t CLOCK_SLACK_MS = 200;  // a longer pause starts the clock afresh

bool clock_allows(tPortaudioOutput *p) {
    const int32_t rate = p->cur_rate;
    if (rate <= 0)
        return true;
    const int64_t now = monotonic_ms();
    const int64_t played_ms = p->clock_frames * 1000 / rate;
    if (p->clock_start_ms == 0 || p->clock_rate != rate || now - p->clock_start_ms - played_ms > CLOCK_SLACK_MS) {
        p->clock_start_ms = now;
        p->clock_frames = 0;
        p->clock_rate = rate;
        return true;
    }
    return played_ms <= now - p->clock_start_ms + CLOCK_LEAD_MS;
}

// Waits at most `ms` for the helper to be between jobs; false if the device holds it.
// A timed lock would count on the wall clock, so it is tried again every millisecond instead.
bool lock_control(tPortaudioOutput *p, int ms) {
    const int64_t until = monotonic_ms() + ms;
    while (pthread_mutex_trylock(&p->control) != 0) {
        if (monotonic_ms() >= until)
            return false;
        const timespec pause{0, 1000000L};
        nanosleep(&pause, nullptr);
    }
    return true;
}

// The main loop's side of the wake-up pipe.
gboolean room_ready(gint fd, GIOCondition, gpointer data) {
    tHandleAudioOutput *a = static_cast<tHandleAudioOutput *>(data);
    char bytes[64];
    while (read(fd, bytes, sizeof bytes) > 0) {
    }
    if (a->room_callback)
        a->room_callback(a->room_data);
    return G_SOURCE_CONTINUE;
}

}  // namespace

int portaudio_callback(const void *input, void *output, unsigned long frames,
                       const PaStreamCallbackTimeInfo *time_info, unsigned long status_flags,
                       void *user_data) {
    (void)input;
    (void)time_info;
    (void)status_flags;
    tPortaudioOutput *p = static_cast<tPortaudioOutput *>(user_data);
    __atomic_add_fetch(&p->callback_calls, 1, __ATOMIC_RELAXED);
    unsigned char *out = static_cast<unsigned char *>(output);
    int64_t len = static_cast<int64_t>(frames) * p->bytes_per_frame;
    int r = p->read_index;
    int32_t pos = p->read_pos[r];
    bool played = false;
    bool moved_on = false;
    while (len > 0) {
        if (pos >= AUDIO_BUFFER_BYTES) {
            read_release(p, r, p->fill[r] == AUDIO_BUFFER_BYTES);
            moved_on = true;
            r = (r + 1) % AUDIO_BUFFER_COUNT;
            read_acquire(&p->lock[r]);
            pos = 0;
        }
        int32_t n = AUDIO_BUFFER_BYTES - pos;
        if (n > len)
            n = static_cast<int32_t>(len);
        if (p->fill[r] == AUDIO_BUFFER_BYTES && !load_atomic(&p->drop[r])) {
            memcpy(out, &p->buffer[r][pos], static_cast<size_t>(n));
            played = true;
        } else {
            memset(out, 0, static_cast<size_t>(n));
        }
        out += n;
        pos += n;
        len -= n;
    }
    p->read_pos[r] = pos;
    p->read_index = r;
    if (moved_on && !__atomic_load_n(&p->room_polled, __ATOMIC_SEQ_CST))
        notify_room(p);
    if (played) {
        // Counts that the main thread may read: stored atomically.
        if (p->silent_run > 0 && p->played_frames > 0)
            __atomic_store_n(&p->gap_frames, p->gap_frames + p->silent_run, __ATOMIC_RELAXED);
        p->silent_run = 0;
        __atomic_store_n(&p->played_frames, p->played_frames + static_cast<int64_t>(frames), __ATOMIC_RELAXED);
        store_atomic(&p->silent_frames, 0);
        return paContinue;
    }
    p->silent_run += static_cast<int64_t>(frames);
    const int32_t s = load_atomic(&p->silent_frames);
    const int32_t silent = s < INT32_MAX - static_cast<int32_t>(frames) ? s + static_cast<int32_t>(frames) : s;
    store_atomic(&p->silent_frames, silent);
    // A device that does not pace plays thousands of silent frames between two decoder
    // ticks, so the silence must also have lasted a while in real time.
    const int64_t now = monotonic_ms();
    if (s == 0)
        p->silent_since_ms = now;
    // Long silence with nothing queued: stop calling back until the next frame arrives.
    if (silent >= p->idle_frames && now - p->silent_since_ms >= AUDIO_IDLE_MS &&
        !ring_has_full(p)) {
        // Seen by a writer that is about to sleep, or that writer is woken here.
        __atomic_store_n(&p->idle_stopped, 1, __ATOMIC_SEQ_CST);
        notify_room(p);
        return paComplete;
    }
    return paContinue;
}

int32_t audiooutput_init(tHandleAudioOutput *a, tHandle *h) {
    memset(a, 0, sizeof(*a));
    a->handle = h;
    a->backend = AUDIO_BACKEND_PORTAUDIO;
    tPortaudioOutput *p = &a->portaudio;
    p->device = -1;
    p->bytes_per_frame = OUT_BYTES_PER_FRAME;
    p->volume = 100;
    p->idle_frames = AUDIO_IDLE_FRAMES;
    p->release_ms = AUDIO_RELEASE_MS;
    p->stall_ms = AUDIO_STALL_MS;
    p->wanted_device = -1;
    p->wake_fd[0] = p->wake_fd[1] = -1;
    int fds[2];
    if (pipe(fds) == 0) {
        for (int fd : fds) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        p->wake_fd[0] = fds[0];
        p->wake_fd[1] = fds[1];
    }
    p->params = static_cast<PaStreamParameters *>(calloc(1, sizeof(PaStreamParameters)));
    for (auto &l : p->lock)
        lock_init(&l);
    pthread_mutex_init(&p->control, nullptr);
    pthread_mutex_init(&p->request, nullptr);
    init_monotonic_cond(&p->request_cond);
    init_monotonic_cond(&p->job_cond);
    p->tail_frames = -1;
    memset(&a->page, 0, sizeof(a->page));
    return p->params ? 0 : -1;
}

namespace {

// The device a device option names: RESULT_OK with its number, RESULT_DONE for the list ("?").
int32_t option_device(const char *arg, int32_t *device) {
    const size_t len = strlen(arg);
    if (strncmp(arg, OPTION_PREFIX, sizeof(OPTION_PREFIX) - 1) != 0 || len < 25)
        return RESULT_UNKNOWN_OPTION;
    if (len < 32 || strncmp(arg, OPTION_DEVICE, sizeof(OPTION_DEVICE) - 1) != 0)
        return RESULT_UNKNOWN_OPTION;
    const char *value = arg + sizeof(OPTION_DEVICE) - 1;
    if (*value == '?')
        return RESULT_DONE;
    long v = strtol(value, nullptr, 10);
    if (v > INT32_MAX)
        v = INT32_MAX;
    if (v < INT32_MIN)
        v = INT32_MIN;
    *device = static_cast<int32_t>(v);
    return RESULT_OK;
}

} // namespace

int32_t audiooutput_parse_option(tHandleAudioOutput *a, const char *arg) {
    const int32_t named = option_device(arg, &a->portaudio.device);
    if (named == RESULT_OK)
        a->portaudio.device_option = 1;
    if (named != RESULT_DONE)
        return named;
    if (Pa_Initialize() != paNoError) {
        // Misspelt, kept: scripts that list the devices look for this very line.
        printf("Portaudio cannot be inialized.\n");
        fflush(stdout);
        return RESULT_UNKNOWN_OPTION;
    }
    printf("Available portaudio devices:\n");
    printf("   %3d> DEFAULT DEVICE\n", -1);
    const PaDeviceIndex def = Pa_GetDefaultOutputDevice();
    const PaDeviceIndex n = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < n; i++) {
        const PaDeviceInfo *info = Pa_GetDeviceInfo(i);
        printf("   %3d> %s%s\n", i, info && info->name ? info->name : "",
               i == def ? " (default device)" : "");
    }
    fflush(stdout);
    Pa_Terminate();
    return RESULT_DONE;
}

int32_t audiooutput_apply_option(tHandleAudioOutput *a, const char *arg) {
    int32_t device = 0;
    const int32_t named = option_device(arg, &device);
    if (named != RESULT_OK)
        return RESULT_UNKNOWN_OPTION; // the list is the caller's to print
    return portaudio_select_device(&a->portaudio, device);
}

int32_t portaudio_start(tPortaudioOutput *p) {
    // Unlike a device change, nothing plays yet: waiting for PortAudio to come up is fine.
    if (run_job(p, JOB_REINIT, load_atomic(&p->device), 30000) == 0)
        forget_stream(p);
    p->volume = 100;
    p->balance = 0;
    if (!p->reader_started) {
        read_acquire(&p->lock[p->read_index]);
        p->reader_started = 1;
    }
    return 0;
}

// The device chosen on the preferences page in an earlier run: by name and host API, or by
// number in files written before names were kept.
void read_device_choice(tHandleAudioOutput *a) {
    tPortaudioOutput *p = &a->portaudio;
    if (p->device_option)
        return;
    char name[CONFIG_VALUE_SIZE] = "";
    char api[CONFIG_VALUE_SIZE] = "";
    if (config_has(&a->config, "device_name"))
        config_get_string(&a->config, "device_name", name, "");
    if (config_has(&a->config, "device_api"))
        config_get_string(&a->config, "device_api", api, "");
    int32_t device = -1;
    if (name[0] == '\0' && config_has(&a->config, "device"))
        config_get_int(&a->config, "device", &device, -1);
    pthread_mutex_lock(&p->request);
    snprintf(p->wanted_name, sizeof p->wanted_name, "%s", name);
    snprintf(p->wanted_api, sizeof p->wanted_api, "%s", api);
    pthread_mutex_unlock(&p->request);
    store_atomic(&p->device, device < -1 ? -1 : device);
}

int32_t audiooutput_start(tHandleAudioOutput *a) {
    tHandle *h = a->handle;
    // Misspelt, kept: every user's stored volume and balance live in a file of this name.
    config_open(&a->config, h->data_dir, "audiooutout.config");
    read_device_choice(a);
    const int32_t result = portaudio_start(&a->portaudio);
    int32_t volume = 100;
    int32_t balance = 0;
    // A hand-edited file may hold anything: out of range, the sound would be inverted or
    // clipped while the sliders show their ends.
    config_get_int(&a->config, "volume", &volume, 100);
    handle_send_int(h, EVENT_VOLUME, std::clamp(volume, 0, 100));
    config_get_int(&a->config, "balance", &balance, 0);
    handle_send_int(h, EVENT_BALANCE, std::clamp(balance, -100, 100));
    replaygain_start(&a->config, &h->decoder);
    // Without a display there is no preferences dialog to hold the page.
    if (gtk_is_initialized()) {
        GtkWidget *widget = nullptr;
        if (audiooutput_page_build(&a->page, &widget) == 0 && widget)
            handle_register_page(h, widget, "Audio", audiooutput_page_open, audiooutput_page_apply, a);
    }
    return result;
}

int32_t audiooutput_write(tHandleAudioOutput *a, const tPcmChunk *chunk) {
    tPortaudioOutput *p = &a->portaudio;
    if (__atomic_exchange_n(&p->format_lost, 0, __ATOMIC_ACQ_REL))
        forget_stream(p);
    // The stream is stereo whatever the sound: at the same rate, mono and stereo play on in it.
    if (chunk->channels != p->cur_channels && chunk->rate == p->cur_rate && chunk->format == p->cur_format &&
        p->switch_state == 0 && load_atomic(&p->stream_live))
        p->cur_channels = chunk->channels;
    if (chunk->channels != p->cur_channels || chunk->rate != p->cur_rate ||
        chunk->format != p->cur_format) {
        // The last of the old sound plays before the change; the new one's rate is not known
        // until its stream is open, and its frames wait unconverted till then.
        if (p->switch_state == 0 && load_atomic(&p->stream_live))
            drain_resampler(p);
        resampler_setup(&p->resampler, 0, 0);
        p->cur_channels = chunk->channels;
        p->cur_rate = chunk->rate;
        p->cur_format = chunk->format;
        if (p->params && load_atomic(&p->initialised) && chunk->rate > 0) {
            if (p->switch_state == 0 && load_atomic(&p->stream_live)) {
                // What is queued belongs to the old stream: it plays out there first.
                p->tail_frames = p->stage_frames - p->stage_pos;
                p->switch_state = 1;
                p->switch_rate = chunk->rate;
            } else if (p->switch_state != 0) {
                // Another change before the last one took effect: the frames of the
                // format in between never play.
                p->dropped_frames += p->stage_frames - p->stage_pos - (p->tail_frames > 0 ? p->tail_frames : 0);
                p->stage_frames = p->stage_pos + (p->tail_frames > 0 ? p->tail_frames : 0);
                p->switch_rate = chunk->rate;
                if (p->switch_state == 2)
                    p->switch_generation = open_stream(p, chunk->rate);
            } else {
                // Frames wait in the stage until the device has said at which rate it plays.
                p->switch_generation = open_stream(p, chunk->rate);
                p->switch_rate = chunk->rate;
                p->switch_state = 2;
            }
        } else {
            store_atomic(&p->stream_live, 0);
            if (chunk->rate > 0) {
                report_open_error(p, paNotInitialized);
            }
        }
    }
    if (chunk->format != SAMPLE_FORMAT_S16) {
        printf("UNKNOWN SAMPLE FORMAT. PLEASE CONTACT %s\n", RAVLOX_CONTACT);
        fflush(stdout);
    }
    const bool mono = chunk->channels == 1;
    const int32_t in_bpf = mono ? 2 : 4;
    const int32_t frames = chunk->samples && chunk->bytes > 0 ? chunk->bytes / in_bpf : 0;
    if (frames == 0)
        return 0;
    if (!load_atomic(&p->stream_live)) {
        // Nothing plays these frames, and nothing may wait for a stream that is not there.
        p->dropped_frames += frames;
        p->clock_frames += frames;
        return 0;
    }
    p->clock_start_ms = 0;
    wake_stream(p);
    advance(p);
    place_stage(p);
    stage_frames(p, chunk->samples, frames, mono);
    place_stage(p);
    return 0;
}

int32_t audiooutput_room(tHandleAudioOutput *a) {
    tPortaudioOutput *p = &a->portaudio;
    if (!load_atomic(&p->stream_live)) {
        p->stage_pos = p->stage_frames = 0;
        // Any piece may go while the clock allows: it is dropped at the pace of real time.
        return clock_allows(p) ? INT32_MAX : 0;
    }
    wake_stream(p);
    advance(p);
    if (p->switch_state != 0 || p->tail_frames >= 0)
        return 0;
    place_stage(p);
    const int32_t room = ring_room(p) - (p->stage_frames - p->stage_pos);
    return room > 0 ? resampler_input_for(&p->resampler, room) : 0;
}

int32_t audiooutput_can_write(tHandleAudioOutput *a, int32_t frames) {
    // Resampled to a higher rate, a frame's worth may never fit the ring's room at once:
    // half the ring's worth at a time is asked for at most (the stage takes the rest).
    const tResampler *r = &a->portaudio.resampler;
    if (r->swr != nullptr)
        frames = std::min(frames, std::max(resampler_input_for(r, 2 * AUDIO_BUFFER_FRAMES), 1));
    return audiooutput_room(a) >= frames ? 1 : 0;
}

int32_t audiooutput_wait_room(tHandleAudioOutput *a, int32_t frames, tRoomCallback callback, void *data) {
    tPortaudioOutput *p = &a->portaudio;
    // Without a stream nothing would wake the tick: it goes on, held back by the clock.
    if (p->wake_fd[0] < 0 || audiooutput_can_write(a, frames) || !load_atomic(&p->stream_live))
        return 0;
    // A tail or a change of format moves on with the ticks, not with the playing side.
    if (p->switch_state != 0 || p->tail_frames >= 0)
        return 0;
    if (a->room_source == 0) {
        a->room_source = g_unix_fd_add(p->wake_fd[0], G_IO_IN, room_ready, a);
        // A source that may not recurse has its descriptor taken out of the poll and put back
        // around every dispatch, and each change wakes the loop for one more empty round.
        GSource *source = g_main_context_find_source_by_id(nullptr, a->room_source);
        if (source != nullptr)
            g_source_set_can_recurse(source, TRUE);
    }
    a->room_callback = callback;
    a->room_data = data;
    a->room_frames = frames;
    __atomic_store_n(&p->room_wanted, 1, __ATOMIC_SEQ_CST);
    // What happened before the flag was up woke nobody: look again. A stream that stopped
    // itself is started again by the ticks.
    if (__atomic_load_n(&p->idle_stopped, __ATOMIC_SEQ_CST) || audiooutput_can_write(a, frames)) {
        __atomic_store_n(&p->room_wanted, 0, __ATOMIC_SEQ_CST);
        return 0;
    }
    return 1;
}

void audiooutput_poll_room(tHandleAudioOutput *a, int32_t polling) {
    tPortaudioOutput *p = &a->portaudio;
    // Stored before the ring is looked at: a buffer played after this look sees the flag
    // down and writes the pipe, one played before it is seen here.
    __atomic_store_n(&p->room_polled, polling != 0 ? 1 : 0, __ATOMIC_SEQ_CST);
    if (!__atomic_load_n(&p->room_wanted, __ATOMIC_SEQ_CST) || !audiooutput_can_write(a, a->room_frames))
        return;
    if (__atomic_exchange_n(&p->room_wanted, 0, __ATOMIC_SEQ_CST) && a->room_callback)
        a->room_callback(a->room_data);
}

int32_t audiooutput_queued(tHandleAudioOutput *a) {
    tPortaudioOutput *p = &a->portaudio;
    int32_t n = p->stage_frames - p->stage_pos;
    for (int i = 0; i < AUDIO_BUFFER_COUNT; i++) {
        bool held = false;
        const int32_t f = fill_of(p, i, &held);
        if (f == AUDIO_BUFFER_BYTES && !load_atomic(&p->drop[i]))
            n += AUDIO_BUFFER_FRAMES;
        else if (p->tail_frames >= 0 && i == p->write_index)
            n += f / OUT_BYTES_PER_FRAME;  // a tail not yet padded out
    }
    return n;
}

int32_t audiooutput_poll(tHandleAudioOutput *a) {
    tPortaudioOutput *p = &a->portaudio;
    advance(p);
    // A buffer filled just as the stream stopped itself must still be heard.
    if (load_atomic(&p->idle_stopped) &&
        ((p->stage_frames > p->stage_pos && p->switch_state == 0) || ring_has_full(p)))
        wake_stream(p);
    return 0;
}

int32_t audiooutput_play_out(tHandleAudioOutput *a) {
    tPortaudioOutput *p = &a->portaudio;
    if (!load_atomic(&p->stream_live))
        return 0;
    if (p->switch_state != 0) {
        p->play_out_wanted = 1;
    } else {
        drain_resampler(p);
        p->tail_frames = p->stage_frames - p->stage_pos;
        advance(p);
    }
    return 0;
}

int32_t audiooutput_flush(tHandleAudioOutput *a) {
    tPortaudioOutput *p = &a->portaudio;
    p->stage_pos = p->stage_frames = 0;
    resampler_reset(&p->resampler);
    p->clock_start_ms = 0;
    p->tail_frames = -1;
    p->play_out_wanted = 0;
    store_atomic(&p->stream_lost, 0);  // what it held is dropped anyway
    for (int i = 0; i < AUDIO_BUFFER_COUNT; i++) {
        tBufferLock *l = &p->lock[i];
        pthread_mutex_lock(&l->mutex);
        if (l->readers > 0)
            store_atomic(&p->drop[i], 1);
        else
            p->fill[i] = 0;
        pthread_mutex_unlock(&l->mutex);
    }
    notify_room(p);
    return 0;
}

int32_t audiooutput_set_volume(tHandleAudioOutput *a, int32_t volume) {
    config_set_int(&a->config, "volume", volume);
    a->portaudio.volume = volume;
    return 0;
}

int32_t audiooutput_set_balance(tHandleAudioOutput *a, int32_t balance) {
    config_set_int(&a->config, "balance", balance);
    a->portaudio.balance = balance;
    return 0;
}

int32_t audiooutput_quit(tHandleAudioOutput *a) {
    tPortaudioOutput *p = &a->portaudio;
    if (!p->helper_started)
        return 0;
    forget_stream(p);
    return run_job(p, JOB_QUIT, 0, 2000);
}

int32_t audiooutput_take_lost(tHandleAudioOutput *a) {
    return __atomic_exchange_n(&a->portaudio.stream_lost, 0, __ATOMIC_ACQ_REL);
}

int32_t portaudio_stop(tPortaudioOutput *p) {
    forget_stream(p);
    return run_job(p, JOB_CLOSE, 0, 2000);
}

void *portaudio_current_stream(tPortaudioOutput *p, double *rate) {
    *rate = 0;
    if (!lock_control(p, 2000))
        return nullptr;
    void *stream = p->stream;
    if (stream) {
        const PaStreamInfo *info = Pa_GetStreamInfo(stream);
        *rate = info ? info->sampleRate : 0;
    }
    pthread_mutex_unlock(&p->control);
    return stream;
}

int32_t portaudio_get_device(tPortaudioOutput *p, int32_t *destination) {
    *destination = load_atomic(&p->device);
    return 0;
}

int32_t portaudio_list_devices(tPortaudioOutput *p, tPortaudioDeviceList *list) {
    pthread_mutex_lock(&p->request);
    *list = p->devices;
    pthread_mutex_unlock(&p->request);
    return 0;
}

int32_t portaudio_select_device(tPortaudioOutput *p, int32_t device) {
    return portaudio_select_named(p, device, "", "");
}

int32_t portaudio_select_named(tPortaudioOutput *p, int32_t device, const char *name, const char *api) {
    const bool same = device == load_atomic(&p->device);
    // By number, the device in use keeps the name it was found by.
    if (!same || name[0] != '\0') {
        pthread_mutex_lock(&p->request);
        snprintf(p->wanted_name, sizeof p->wanted_name, "%s", name);
        snprintf(p->wanted_api, sizeof p->wanted_api, "%s", api);
        pthread_mutex_unlock(&p->request);
    }
    if (same)
        return 0;
    // Terminating PortAudio can wait for the device: the helper does it, and the page
    // waits a bounded time for the answer.
    forget_stream(p);
    return run_job(p, JOB_REINIT, device, 5000);
}
