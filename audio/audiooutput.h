// PortAudio output with a ring of four buffers, volume and balance.
#pragma once

#include <cstdint>
#include <pthread.h>

#include "audio/audiooutput_page.h"
#include "audio/resampler.h"
#include "config/config.h"
#include "core/types.h"

struct tHandle;
struct PaStreamParameters;
struct PaStreamCallbackTimeInfo;

constexpr int32_t AUDIO_BACKEND_PORTAUDIO = 1;
constexpr int AUDIO_BUFFER_COUNT = 4;
constexpr int AUDIO_BUFFER_BYTES = 8192;
constexpr int AUDIO_BUFFER_FRAMES = AUDIO_BUFFER_BYTES / 4;
constexpr int AUDIO_STAGE_FRAMES = 8192;
// Silence played this long (in output frames) stops an idle stream.
constexpr int32_t AUDIO_IDLE_FRAMES = 8 * AUDIO_BUFFER_FRAMES;
constexpr int64_t AUDIO_IDLE_MS = 250;
// With nothing to play this long, PortAudio is let go (a sound server's client of ours
// otherwise runs on every period); the next frame brings it back.
constexpr int64_t AUDIO_RELEASE_MS = 3000;
// A running stream whose callback has not been called this long is dead (a device that
// stopped taking sound); the helper looks this often.
constexpr int32_t AUDIO_STALL_MS = 2000;
constexpr int64_t AUDIO_WATCH_MS = 250;

// A per-buffer reader/writer lock that may be released by a thread other than the one that
// took it (the playing side hands its read lock from thread to thread).
struct tBufferLock {
    pthread_mutex_t mutex;
    pthread_cond_t cond;
    int32_t readers;
    int32_t writer;
};

// Three threads share this record.
// - The main thread (the decoder's tick, the dispatcher) writes frames: `write_index`, the
//   stage, the current format, `volume`, `balance`, `tail_frames` and the switch fields are
//   its own. It takes a buffer's write lock only while it converts into that buffer, and
//   never waits for the device: opening and closing streams is the helper's work.
// - PortAudio's callback thread plays: `read_index`, `read_pos` and its counts are its own.
//   It always holds the read lock of `read_index` (taken at start on the main thread and
//   handed from one callback thread to the next), releasing it before taking the next one.
// - The stream helper thread opens, restarts and closes streams and re-initialises
//   PortAudio, holding `control`; its job fields are guarded by `request`.
// `fill` changes only under its buffer's write lock. Fields marked atomic are read across
// threads with atomic operations only. None of these threads touches the handle's mutex.
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
    // Frames converted but not yet placed in the ring (the buffer they need was being
    // played); placed first on the next write, so nothing is lost and the order is kept.
    int16_t stage[AUDIO_STAGE_FRAMES * 2];
    int32_t stage_frames;
    int32_t stage_pos;
    // A device that refuses the sound's rate plays it at another one (`play_rate`, set by
    // the helper when the stream opens, atomic): the converted frames are resampled on the
    // way into the stage, through `scratch`. Frames staged while a stream is being opened
    // are resampled once its rate is known.
    tResampler resampler;
    int16_t scratch[AUDIO_STAGE_FRAMES * 2];
    int32_t play_rate;
    // Set by a flush for the buffer the playing side holds: it plays silence for the rest
    // of that buffer and empties it when it moves on (touched with atomic operations).
    int32_t drop[AUDIO_BUFFER_COUNT];
    // Consecutive output frames of silence the callback played (atomic).
    int32_t silent_frames;
    int64_t silent_since_ms; // when the current silence began (callback thread only)
    // Set by the callback when it stopped the stream for being idle (atomic); the next
    // frame starts it again.
    int32_t idle_stopped;
    // 1 once the playing side holds the read lock of read_index.
    int32_t reader_started;
    // Frames dropped because no stream runs or the stage overflowed (for diagnostics).
    int64_t dropped_frames;
    // While no stream runs, frames are dropped no faster than they would have played: the
    // frames dropped since `clock_start_ms` at `clock_rate` (main thread only; 0: no clock).
    int64_t clock_start_ms;
    int64_t clock_frames;
    int32_t clock_rate;
    // Callback-side counts: frames played from full buffers, silence since the last
    // played frame, and silence that fell between played frames (an underrun).
    int64_t played_frames;
    int64_t silent_run;
    int64_t gap_frames;
    // Silence (output frames) after which the callback stops an idle stream.
    int32_t idle_frames;
    // Opening, closing and restarting the stream can wait for the device, so a helper
    // thread does them: `control` is held around every such call, `request` guards the
    // helper's jobs below.
    pthread_t helper;
    int32_t helper_started;
    pthread_mutex_t control;
    pthread_mutex_t request;
    pthread_cond_t request_cond;
    int32_t restart_wanted;
    int32_t open_rate;        // a stream to open at this rate, 0 for none
    int32_t open_generation;  // counts open requests
    // Atomic: 1 while frames go into the ring for a stream that runs or is being opened;
    // 0 while none can play them (they are dropped then, and nothing waits).
    int32_t stream_live;
    // Frames at the front of the stage that must be heard before the padding that makes
    // their last buffer full; -1 when no tail is to be played out.
    int32_t tail_frames;
    // A new format waits for the old stream to play out what is queued (1), then for the
    // helper to open a stream at `switch_rate` (2); frames behind the tail wait meanwhile.
    int32_t switch_state;
    int32_t switch_rate;
    int32_t switch_generation;
    int32_t play_out_wanted;  // the end of the list came during a change of format
    int32_t opened_generation;  // the newest open the helper finished (atomic)
    // Set by the helper when the stream was lost (atomic): the next frame opens a new one.
    int32_t format_lost;
    // Jobs the main thread waits for, with a bound: re-initialising PortAudio for a device
    // (`job_device`) or closing the stream. Guarded by `request`.
    int32_t job_kind;
    int32_t job_device;
    int32_t job_generation;
    int32_t job_done;
    int32_t job_result;
    pthread_cond_t job_cond;
    // The devices PortAudio named at its last initialisation, for the preferences page
    // (guarded by `request`: the helper may be re-initialising meanwhile).
    tPortaudioDeviceList devices;
    // The device asked for (-1: the default one), kept to bring PortAudio back after it
    // was let go; the rate of the last stream opened; 1 while PortAudio is let go for
    // idleness (all three under `control`).
    int32_t wanted_device;
    int32_t stream_rate;
    int32_t released;
    // The device the running stream plays on (it may be the default one in place of the
    // device asked for), and 1 once PortAudio must stay up for the rest of the run: its
    // JACK backend cannot stop, close or terminate a client whose server went away (it
    // waits for minutes, or ends the process). Both under `control`.
    int32_t stream_device;
    int32_t kept_up;
    // The device asked for by name and host API, so that PortAudio coming back with other
    // devices (or other numbers for them) finds it again; empty for the default device or
    // until a device asked for by number is found. Guarded by `request`.
    char wanted_name[PORTAUDIO_NAME_SIZE];
    char wanted_api[PORTAUDIO_API_SIZE];
    // 1 when the command line chose the device: the stored choice is not used then.
    int32_t device_option;
    // Times PortAudio was let go (atomic), and after how long with nothing to play.
    int32_t released_count;
    int32_t release_ms;
    // Set by the main thread when its tick sleeps until the ring has room (atomic); the
    // playing side and the helper clear it and write a byte into `wake_fd[1]`.
    int32_t room_wanted;
    int32_t wake_fd[2];
    // 1 while a main-thread tick looks for room itself (atomic): a played buffer then
    // wakes nobody through the pipe, and the tick's own round finds the room.
    int32_t room_polled;
    // The PortAudio error last reported for a failed opening, 0 after a success (atomic).
    int32_t reported_error;
    // A running stream is watched by the helper: the callback counts its calls (atomic);
    // the helper keeps the count it last saw and since when it has not moved.
    int64_t callback_calls;
    int64_t watch_calls;
    int64_t watch_since_ms;
    int32_t stall_ms;
    // Set by the helper when a stream died with sound queued for it (atomic); the decoder
    // pauses on it.
    int32_t stream_lost;
};

typedef void (*tRoomCallback)(void *data);

struct tHandleAudioOutput {
    tHandleConfig config;
    tPortaudioOutput portaudio;
    tHandleAudioOutputPage page;
    int32_t backend;
    tHandle *handle;
    // The main loop's watch on the wake-up pipe, and whom it tells (main thread only).
    uint32_t room_source;
    tRoomCallback room_callback;
    void *room_data;
    int32_t room_frames;
};

int32_t audiooutput_init(tHandleAudioOutput *a, tHandle *h);
int32_t audiooutput_parse_option(tHandleAudioOutput *a, const char *arg);
// The same option for the running output: the device is switched to as the preferences page
// switches it. The device list ("?") is not asked for here.
int32_t audiooutput_apply_option(tHandleAudioOutput *a, const char *arg);
int32_t audiooutput_start(tHandleAudioOutput *a);
int32_t audiooutput_write(tHandleAudioOutput *a, const tPcmChunk *chunk);
int32_t audiooutput_flush(tHandleAudioOutput *a);
int32_t audiooutput_set_volume(tHandleAudioOutput *a, int32_t volume);
int32_t audiooutput_set_balance(tHandleAudioOutput *a, int32_t balance);
// Closes the stream and lets PortAudio go before the program ends, waiting a bounded time
// for a device that holds the helper.
int32_t audiooutput_quit(tHandleAudioOutput *a);
// 1 when `frames` more input frames can go into the ring without waiting for the playing
// side; while no stream runs, when dropping them keeps to real time. Places staged frames first.
int32_t audiooutput_can_write(tHandleAudioOutput *a, int32_t frames);
// How many input frames can go in now without waiting (as audiooutput_can_write counts them;
// INT32_MAX while no stream runs).
int32_t audiooutput_room(tHandleAudioOutput *a);
// 1 when the caller may stop ticking: the ring has no room for `frames` more input frames
// and `callback` will run on the main loop once it may have (a buffer played, the stream
// lost, a flush); 0 when the caller must go on ticking.
int32_t audiooutput_wait_room(tHandleAudioOutput *a, int32_t frames, tRoomCallback callback, void *data);
// For a tick that runs anyway (the main window's redraw): `polling` 1 says that it will
// call again within its period, so the waiting tick is woken from here instead of through
// a wake-up of its own; 0 hands the waking back to the playing side. Either call wakes
// the waiting tick when there is room now.
void audiooutput_poll_room(tHandleAudioOutput *a, int32_t polling);
// Frames waiting to be played: those in full buffers, in a tail to be played out and
// those not yet placed.
int32_t audiooutput_queued(tHandleAudioOutput *a);
// Called on every decoder tick: stops a stream that only plays silence, starts a stopped
// one again when a full buffer waits. Never waits for the device.
int32_t audiooutput_poll(tHandleAudioOutput *a);
// Pads the last partial buffer with silence once everything written is placed, so that
// the end of the last track is heard (the end of the list: nothing follows it).
int32_t audiooutput_play_out(tHandleAudioOutput *a);
// 1 once after a stream died while sound was queued for it (the device went away, its
// server stopped, or it stopped taking sound); said on standard output by then. The next
// frame opens a stream afresh.
int32_t audiooutput_take_lost(tHandleAudioOutput *a);
// PortAudio's callback, 64 frames per call; user data is the tPortaudioOutput.
int portaudio_callback(const void *input, void *output, unsigned long frames,
                       const PaStreamCallbackTimeInfo *time_info, unsigned long status_flags, void *user_data);
// Steps of audiooutput_start that touch only PortAudio and the ring.
int32_t portaudio_start(tPortaudioOutput *p);
// Closes the stream (if any) and waits for a restart in progress; for orderly teardown.
int32_t portaudio_stop(tPortaudioOutput *p);
// The running stream and its sample rate (none and 0 while no stream runs), read under the
// helper's lock so that another thread may ask.
void *portaudio_current_stream(tPortaudioOutput *p, double *rate);
int32_t portaudio_get_device(tPortaudioOutput *p, int32_t *destination);
// Copies the devices found at the last initialisation of PortAudio.
int32_t portaudio_list_devices(tPortaudioOutput *p, tPortaudioDeviceList *list);
int32_t portaudio_select_device(tPortaudioOutput *p, int32_t device);
// Chooses the device of that name and host API, found again by name whenever PortAudio
// comes back; `device` is its index now, or -1 with an empty name for the default device.
int32_t portaudio_select_named(tPortaudioOutput *p, int32_t device, const char *name, const char *api);
