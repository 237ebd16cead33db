// The application handle: one block holding every module, and the event dispatcher.
//
// Threads. Everything here runs on the GTK main thread: signal and action handlers, the
// decoder's tick, the main window's tick, start-up and the D-Bus handlers. Only the audio
// output has threads of its own (PortAudio's callback and its stream helper); they never
// touch the handle, its mutex or any other module (see tPortaudioOutput).
//
// Locks. The handle's mutex is held for a whole event and around the sample path, the tap
// reader and the song-info copy. The dispatcher takes it and then the decoder's mutex; the
// decoder's tick holds its own and then takes the handle's (handle_push_pcm); the main
// window's tick holds the window's mutex and then takes the handle's. These opposite orders
// never contend only because all of them run on the one main thread, one path after the
// other: nothing the dispatcher calls sends an event, and the decoder sends
// EVENT_END_OF_TRACK after releasing its mutex. The handle's mutex checks for errors, so an
// event sent from inside another is reported rather than hanging. Anything that would call
// into the handle from another thread must first choose one order for these mutexes.
// The playlist window's and the visualizer's mutexes are likewise taken on the main thread
// only. Configuration stores, the playlist store and the theme take no lock.
#pragma once

#include <cstdint>
#include <pthread.h>

#include "audio/audiooutput.h"
#include "audio/decoder.h"
#include "core/kept.h"
#include "core/mpris.h"
#include "core/types.h"
#include "gui/gui.h"
#include "playlist/playlist.h"

typedef struct _GtkApplication GtkApplication;
typedef struct _GtkWidget GtkWidget;

constexpr uint32_t HANDLE_MAGIC = 0x68654879;
constexpr int HANDLE_TAP_SIZE = 8192;
constexpr int HANDLE_HISTORY_SIZE = 128;
constexpr int HANDLE_MAX_PAGES = 16;
constexpr int HANDLE_PATH_SIZE = 1024;

enum : uint32_t {
    EVENT_NEXT = 1,
    EVENT_PREV = 2,
    EVENT_REFRESH = 3,
    EVENT_VOLUME = 4,
    EVENT_BALANCE = 5,
    EVENT_EQ_BAND = 6,
    EVENT_OPEN_FILE = 7,
    EVENT_PLAY = 8,  // with an int argument: that playlist entry, or the next one that opens
    EVENT_PAUSE = 9,
    EVENT_STOP = 10,
    EVENT_SEEK = 11,
    EVENT_END_OF_TRACK = 12,
    EVENT_SCALE = 13,
    EVENT_SHOW_PLAYLIST = 14,
    EVENT_SHOW_EQUALIZER = 15,
    EVENT_EQ_ENABLE = 16,
    EVENT_PREFERENCES = 17,
    EVENT_PREFERENCES_APPLY = 18,
    EVENT_QUIT = 19,
};

enum : int32_t {
    STATUS_NONE = 0,
    STATUS_PLAYING = 1,
    STATUS_PAUSED = 2,
    STATUS_STOPPED = 3,
    STATUS_READY = 4,
    STATUS_TRACK_ENDED = 5,
};

// Argument of EVENT_EQ_BAND: two adjacent 32-bit values.
struct tEqBandArg {
    int32_t index;
    int32_t value;
};

typedef int32_t (*tPageCallback)(void *context);

struct tHandle {
    uint32_t magic;
    GtkApplication *application;
    tHandleAudioOutput audiooutput;
    tHandleGui gui;
    tHandleDecoder decoder;
    tHandlePlaylist playlist;
    pthread_mutex_t mutex;
    int16_t tap[HANDLE_TAP_SIZE];
    int32_t tap_pos;
    int32_t history[HANDLE_HISTORY_SIZE];
    int32_t history_pos;
    int32_t scale_factor;
    char data_dir[HANDLE_PATH_SIZE];
    int32_t page_count;
    tPageCallback page_open[HANDLE_MAX_PAGES];
    tPageCallback page_apply[HANDLE_MAX_PAGES];
    void *page_context[HANDLE_MAX_PAGES];
    tHandleMpris mpris;
    tHandleKept kept;
};

int32_t handle_get_size(int32_t *size);
int32_t handle_init(tHandle *h, GtkApplication *application);
// RESULT_FAILED when the event could not do its work: a file that did not open, a step on
// which no entry opened, Play with nothing to play.
int32_t handle_dispatch(tHandle *h, uint32_t type, void *arg);
// Typed forms of handle_dispatch for the events that take an argument.
int32_t handle_send_int(tHandle *h, uint32_t type, int32_t value);
int32_t handle_send_path(tHandle *h, const char *path);  // EVENT_OPEN_FILE
int32_t handle_send_band(tHandle *h, int32_t index, int32_t value);  // EVENT_EQ_BAND
void handle_push_pcm(tHandle *h, const tPcmChunk *chunk);
void handle_read_tap(tHandle *h, int16_t *destination, int32_t n);
void handle_get_song_info(tHandle *h, tSongInfo *destination);
int32_t handle_get_data_dir(tHandle *h, char destination[HANDLE_PATH_SIZE]);
// The data directory's theme folder; RESULT_FAILED (and an empty text, and a message) when
// its path does not fit, rather than a cut path that names another folder.
int32_t handle_get_theme_dir(tHandle *h, char destination[HANDLE_PATH_SIZE]);
int32_t handle_register_page(tHandle *h, GtkWidget *page, const char *name, tPageCallback open,
                             tPageCallback apply, void *context);
