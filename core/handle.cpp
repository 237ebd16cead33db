#include "core/handle.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <glib.h>

static_assert(HANDLE_TAP_SIZE == 8192 && HANDLE_HISTORY_SIZE == 128 && HANDLE_MAX_PAGES == 16);

int32_t handle_get_size(int32_t *size) {
    *size = static_cast<int32_t>(sizeof(tHandle));
    return RESULT_OK;
}

int32_t handle_init(tHandle *h, GtkApplication *application) {
    h->magic = HANDLE_MAGIC;
    h->application = application;
    h->scale_factor = 1;
    int32_t result = playlist_init(&h->playlist);
    result |= gui_init(&h->gui, h, application, &h->playlist);
    result |= audiooutput_init(&h->audiooutput, h);
    result |= decoder_init(&h->decoder, h);
    kept_init(&h->kept, h);

    // Without HOME, fall back to the password database; no home at all is a failed start.
    const char *home = getenv("HOME");
    if (!home || !*home)
        home = g_get_home_dir();
    if (home && *home)
        snprintf(h->data_dir, sizeof h->data_dir, "%s/%s", home, ".ravlox/");
    else
        result |= RESULT_FAILED;

    srand(static_cast<unsigned>(time(nullptr)));
    // Error-checking, so that a re-entered dispatch is reported instead of hanging.
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ERRORCHECK);
    pthread_mutex_init(&h->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    return result;
}

namespace {

struct tSnapshot {
    int32_t state;
    int32_t count;
    int32_t current;
    int32_t shuffle;
    int32_t repeat;
};

void set_status(tHandle *h, int32_t status) { window_main_set_status(&h->gui.window_main, status); }

int32_t read_int(const void *arg) {
    int32_t value = 0;
    if (arg)
        memcpy(&value, arg, sizeof value);
    return value;
}

// Streams stay in the list but cannot be played yet: said, and opened as nothing.
int32_t open_path(tHandle *h, const char *path) {
    if (path != nullptr && playlist_is_stream(path)) {
        fprintf(stderr, "streams are not played yet [%s]\n", path);
        path = nullptr;
    }
    return decoder_open(&h->decoder, path);
}

// Makes entry i current and opens it. The playlist window is redrawn once the step is done,
// not for every entry tried: a list of missing files would cost a full render each.
bool open_entry(tHandle *h, int32_t i) {
    static tSongInfo entry; // one song record is too large to put on the stack of every step
    playlist_set_current(&h->playlist, i);
    playlist_get_entry(&h->playlist, i, &entry, nullptr);
    entry.path[sizeof entry.path - 1] = '\0';
    if (open_path(h, entry.path) != RESULT_OK)
        return false;
    playlist_set_title(&h->playlist, i, h->decoder.song.title);
    return true;
}

void finish_step(tHandle *h, const tSnapshot &s) {
    decoder_seek(&h->decoder, 0);
    if (s.state == DECODER_PLAYING) {
        decoder_play(&h->decoder);
        set_status(h, STATUS_PLAYING);
    } else {
        set_status(h, STATUS_READY);
    }
}

// Every entry tried failed to open: nothing is left that could play.
void nothing_opened(tHandle *h) { set_status(h, STATUS_NONE); }

// Returns false when every attempt failed.
bool step_next(tHandle *h, const tSnapshot &s, bool end_of_track) {
    if (s.count == 0) {
        if (s.repeat && s.state != DECODER_IDLE) {
            decoder_seek(&h->decoder, 0);
            decoder_play(&h->decoder);
            set_status(h, STATUS_PLAYING);
            return true;
        }
        return false;
    }
    int32_t i = s.current;
    // At the end of the list a finished track stops there instead of playing the last
    // entry again for ever.
    const bool at_end = !s.repeat && !(i + 1 < s.count);
    for (int32_t attempt = 0; attempt < s.count; ++attempt) {
        h->history[h->history_pos] = i;
        h->history_pos = (h->history_pos + 1) % HANDLE_HISTORY_SIZE;
        if (s.repeat || i + 1 < s.count) {
            const int32_t r = s.shuffle ? rand() : i + 1;
            i = r % s.count;
        }
        if (open_entry(h, i)) {
            if (end_of_track && at_end) {
                decoder_seek(&h->decoder, 0);
                set_status(h, STATUS_TRACK_ENDED);
            } else {
                finish_step(h, s);
            }
            return true;
        }
    }
    if (!end_of_track)
        nothing_opened(h);
    return false;
}

bool step_prev(tHandle *h, const tSnapshot &s) {
    if (s.count == 0) {
        if (s.state != DECODER_IDLE) {
            decoder_seek(&h->decoder, 0);
            decoder_play(&h->decoder);
            set_status(h, STATUS_PLAYING);
            return true;
        }
        return false;
    }
    int32_t i = s.current;
    for (int32_t attempt = 0; attempt < HANDLE_HISTORY_SIZE; ++attempt) {
        if (s.shuffle) {
            h->history_pos = (h->history_pos + HANDLE_HISTORY_SIZE - 1) % HANDLE_HISTORY_SIZE;
            const int32_t value = h->history[h->history_pos] % s.count;
            i = value < 0 ? value + s.count : value;
        } else {
            i = i > 0 ? i - 1 : s.count - 1;
        }
        if (open_entry(h, i)) {
            finish_step(h, s);
            return true;
        }
    }
    nothing_opened(h);
    return false;
}

// A step over a non-empty list has made some entry current.
void redraw_after_step(tHandle *h, const tSnapshot &s) {
    if (s.count > 0)
        window_playlist_redraw(&h->gui.window_playlist);
}

void run_pages(tHandle *h, const tPageCallback *callbacks) {
    for (int32_t k = 0; k < h->page_count && k < HANDLE_MAX_PAGES; ++k)
        if (callbacks[k])
            callbacks[k](h->page_context[k]);
}

// Plays entry i, or the next entry after it that opens, as the end of a track steps on.
bool play_entry(tHandle *h, tSnapshot s, int32_t i) {
    if (i < 0 || i >= s.count)
        return false;
    s.state = DECODER_PLAYING;
    audiooutput_flush(&h->audiooutput);
    bool opened = open_entry(h, i);
    if (opened) {
        finish_step(h, s);
    } else {
        s.current = i;
        opened = step_next(h, s, false);
    }
    window_playlist_redraw(&h->gui.window_playlist);
    return opened;
}

// False when the event could not do what it was asked (nothing opened, nothing to play).
bool act(tHandle *h, uint32_t type, void *arg, tSnapshot s) {
    bool done = true;
    switch (type) {
    case EVENT_REFRESH:
        gui_refresh(&h->gui);
        break;
    case EVENT_VOLUME: {
        const int32_t v = read_int(arg);
        window_main_set_volume(&h->gui.window_main, v);
        audiooutput_set_volume(&h->audiooutput, v);
        break;
    }
    case EVENT_BALANCE: {
        const int32_t b = read_int(arg);
        window_main_set_balance(&h->gui.window_main, b);
        audiooutput_set_balance(&h->audiooutput, b);
        break;
    }
    case EVENT_EQ_BAND: {
        tEqBandArg band{};
        if (arg)
            memcpy(&band, arg, sizeof band);
        window_equalizer_set_value(&h->gui.window_equalizer, band.index, band.value);
        decoder_set_eq(&h->decoder, band.index, band.value);
        break;
    }
    case EVENT_EQ_ENABLE: {
        const int32_t f = read_int(arg);
        window_equalizer_set_enabled(&h->gui.window_equalizer, f);
        decoder_enable_eq(&h->decoder, f);
        break;
    }
    case EVENT_OPEN_FILE: {
        const char *path = arg ? *static_cast<const char *const *>(arg) : nullptr;
        // What was queued of the old file is not heard after another was asked for.
        audiooutput_flush(&h->audiooutput);
        if (!path || open_path(h, path) != RESULT_OK) {
            set_status(h, STATUS_NONE);
            done = false;
            break;
        }
        set_status(h, s.state == DECODER_PLAYING ? STATUS_PLAYING : STATUS_READY);
        // The playlist window opens its current entry this way: that entry's tags are read.
        static tSongInfo entry;
        if (playlist_get_entry(&h->playlist, s.current, &entry, nullptr) == RESULT_OK &&
            strncmp(entry.path, path, sizeof entry.path) == 0)
            playlist_set_title(&h->playlist, s.current, h->decoder.song.title);
        break;
    }
    case EVENT_PLAY:
        if (arg)
            done = play_entry(h, s, read_int(arg));
        else if ((done = decoder_play(&h->decoder) == RESULT_OK))
            set_status(h, STATUS_PLAYING);
        break;
    case EVENT_PAUSE:
        decoder_pause(&h->decoder);
        audiooutput_flush(&h->audiooutput);
        set_status(h, STATUS_PAUSED);
        break;
    case EVENT_STOP:
        decoder_pause(&h->decoder);
        decoder_seek(&h->decoder, 0);
        audiooutput_flush(&h->audiooutput);
        set_status(h, STATUS_STOPPED);
        break;
    case EVENT_SEEK: {
        const int32_t x = read_int(arg);
        decoder_seek(&h->decoder, x);
        audiooutput_flush(&h->audiooutput);
        if (x == 0)
            set_status(h, s.state == DECODER_PLAYING ? STATUS_PLAYING : STATUS_READY);
        break;
    }
    case EVENT_END_OF_TRACK:
        set_status(h, STATUS_TRACK_ENDED);
        s.state = DECODER_PLAYING;
        // Nothing could be opened: stay stopped rather than searching again every tick.
        if (!step_next(h, s, true))
            decoder_quiet_end(&h->decoder);
        redraw_after_step(h, s);
        // The list has ended: what is queued is played out rather than kept for the next Play.
        decoder_get_state(&h->decoder, &s.state);
        if (s.state != DECODER_PLAYING)
            audiooutput_play_out(&h->audiooutput);
        break;
    case EVENT_NEXT:
        audiooutput_flush(&h->audiooutput);
        done = step_next(h, s, false);
        redraw_after_step(h, s);
        break;
    case EVENT_PREV:
        audiooutput_flush(&h->audiooutput);
        done = step_prev(h, s);
        redraw_after_step(h, s);
        break;
    case EVENT_SCALE: {
        int32_t k = h->scale_factor;
        if (arg)
            k = read_int(arg);
        else if (k <= 0)
            k = 2;
        else if (k <= 3)
            k = 2 * k;
        else
            k = 1;
        h->scale_factor = k;
        gui_set_scale(&h->gui, k);
        break;
    }
    case EVENT_SHOW_PLAYLIST:
        gui_show_playlist(&h->gui, read_int(arg));
        break;
    case EVENT_SHOW_EQUALIZER:
        gui_show_equalizer(&h->gui, read_int(arg));
        break;
    case EVENT_PREFERENCES: {
        const int32_t f = read_int(arg);
        if (f)
            run_pages(h, h->page_open);
        gui_show_preferences(&h->gui, f);
        break;
    }
    case EVENT_PREFERENCES_APPLY:
        run_pages(h, h->page_apply);
        break;
    case EVENT_QUIT:
        kept_save(&h->kept);
        // A sound server's client is closed in order, not dropped with the process.
        audiooutput_quit(&h->audiooutput);
        exit(0);
    default:
        // Odd wording, kept: scripts that watch the output for unknown events match this line.
        printf("TODO: handle event %d\n", static_cast<int>(type));
        fflush(stdout);
        break;
    }
    return done;
}

} // namespace

int32_t handle_dispatch(tHandle *h, uint32_t type, void *arg) {
    if (h->magic != HANDLE_MAGIC) {
        fprintf(stderr, "Memory corruption detected\n");
        exit(1);
    }
    const int lock = pthread_mutex_lock(&h->mutex);
    if (lock == EDEADLK)
        fprintf(stderr, "event %u sent while another event was handled\n", type);
    tSnapshot s{};
    decoder_get_state(&h->decoder, &s.state);
    playlist_get_position(&h->playlist, &s.count, &s.current);
    window_main_get_shuffle_repeat(&h->gui.window_main, &s.shuffle, &s.repeat);
    s.shuffle = s.shuffle == 1;
    s.repeat = s.repeat == 1;
    const bool done = act(h, type, arg, s);
    // Whatever the event changed may have set something on screen moving.
    window_main_wake(&h->gui.window_main);
    if (lock == 0)
        pthread_mutex_unlock(&h->mutex);
    mpris_announce(&h->mpris, type);
    kept_note_event(&h->kept, type);
    return done ? RESULT_OK : RESULT_FAILED;
}

int32_t handle_send_int(tHandle *h, uint32_t type, int32_t value) { return handle_dispatch(h, type, &value); }

int32_t handle_send_path(tHandle *h, const char *path) { return handle_dispatch(h, EVENT_OPEN_FILE, &path); }

int32_t handle_send_band(tHandle *h, int32_t index, int32_t value) {
    tEqBandArg band{index, value};
    return handle_dispatch(h, EVENT_EQ_BAND, &band);
}

void handle_push_pcm(tHandle *h, const tPcmChunk *chunk) {
    pthread_mutex_lock(&h->mutex);
    audiooutput_write(&h->audiooutput, chunk);
    if (chunk->samples && chunk->bytes >= 2) {
        const unsigned char *bytes = chunk->samples;
        int32_t remaining = chunk->bytes / 2;
        // Only the newest 8192 values can survive in the ring.
        if (remaining > HANDLE_TAP_SIZE) {
            const int32_t skipped = remaining - HANDLE_TAP_SIZE;
            bytes += 2 * static_cast<size_t>(skipped);
            h->tap_pos = (h->tap_pos + skipped) % HANDLE_TAP_SIZE;
            remaining = HANDLE_TAP_SIZE;
        }
        while (remaining > 0) {
            const int32_t n = std::min(remaining, HANDLE_TAP_SIZE - h->tap_pos);
            memcpy(&h->tap[h->tap_pos], bytes, 2 * static_cast<size_t>(n));
            bytes += 2 * static_cast<size_t>(n);
            h->tap_pos = (h->tap_pos + n) % HANDLE_TAP_SIZE;
            remaining -= n;
        }
    }
    pthread_mutex_unlock(&h->mutex);
}

void handle_read_tap(tHandle *h, int16_t *destination, int32_t n) {
    if (n <= 0)
        return;
    if (n > HANDLE_TAP_SIZE)
        n = HANDLE_TAP_SIZE;
    pthread_mutex_lock(&h->mutex);
    int32_t p = h->tap_pos - n;
    if (p < 0)
        p += HANDLE_TAP_SIZE;
    for (int32_t k = 0; k < n; ++k) {
        destination[k] = h->tap[p];
        p = (p + 1) % HANDLE_TAP_SIZE;
    }
    pthread_mutex_unlock(&h->mutex);
}

void handle_get_song_info(tHandle *h, tSongInfo *destination) {
    pthread_mutex_lock(&h->mutex);
    decoder_get_song_info(&h->decoder, destination);
    pthread_mutex_unlock(&h->mutex);
}

int32_t handle_get_data_dir(tHandle *h, char destination[HANDLE_PATH_SIZE]) {
    memcpy(destination, h->data_dir, HANDLE_PATH_SIZE);
    destination[HANDLE_PATH_SIZE - 1] = '\0';
    return RESULT_OK;
}

int32_t handle_get_theme_dir(tHandle *h, char destination[HANDLE_PATH_SIZE]) {
    const int n = snprintf(destination, HANDLE_PATH_SIZE, "%.*s/theme/", HANDLE_PATH_SIZE - 1, h->data_dir);
    if (n >= 0 && n < HANDLE_PATH_SIZE)
        return RESULT_OK;
    destination[0] = '\0';
    fprintf(stderr, "data directory too long for its theme folder [%.*s]\n", HANDLE_PATH_SIZE - 1, h->data_dir);
    return RESULT_FAILED;
}

int32_t handle_register_page(tHandle *h, GtkWidget *page, const char *name, tPageCallback open,
                             tPageCallback apply, void *context) {
    if (h->page_count >= HANDLE_MAX_PAGES) {
        fprintf(stderr, "too many preferences pages, [%s] left out\n", name);
        return RESULT_FAILED;
    }
    h->page_open[h->page_count] = open;
    h->page_apply[h->page_count] = apply;
    h->page_context[h->page_count] = context;
    ++h->page_count;
    if (page)
        gui_add_preferences_page(&h->gui, page, name);
    return RESULT_OK;
}
