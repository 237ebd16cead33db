// The player's sound path alone, for bench_gui_cpu's device-bound baseline: the real
// decoder on its own timer and the real PortAudio output, on a plain GLib main loop with
// no windows and no dispatcher. Plays FILE over and over until killed; with --resume it
// measures instead how long Play takes to be heard after a pause, with the output kept
// (a short pause) and after it was let go (a long one), and prints the two means.
//   headless_player [--resume] FILE.mp3
#include <glib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/audiooutput.h"
#include "audio/decoder.h"
#include "core/handle.h"

namespace {

const char *path;

void play(tHandle *h) {
    if (decoder_open(&h->decoder, path) != 0 || decoder_play(&h->decoder) != 0) {
        fprintf(stderr, "cannot play %s\n", path);
        exit(2);
    }
    // The end of the file goes to no dispatcher: the check below starts it again.
    decoder_quiet_end(&h->decoder);
}

// Once a second would add a wake-up a second to the figures; once per length of the file
// (plus a second, so that it has surely ended) adds next to nothing.
gboolean again(gpointer data) {
    tHandle *h = static_cast<tHandle *>(data);
    int32_t state = 0;
    decoder_get_state(&h->decoder, &state);
    if (state != DECODER_PLAYING)
        play(h);
    return G_SOURCE_CONTINUE;
}

// Runs the main loop for `ms`, or until `done` says so; the milliseconds it ran.
template <typename Done> double run_loop(double ms, Done done) {
    const gint64 t0 = g_get_monotonic_time();
    double ran = 0;
    while (ran < ms && !done()) {
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(200);
        ran = static_cast<double>(g_get_monotonic_time() - t0) / 1000.0;
    }
    return ran;
}

// Mean milliseconds from Play to the first frame the device takes, over `rounds` pauses of
// `pause_ms` each.
double resume_delay(tHandle *h, int rounds, double pause_ms) {
    const int64_t *played = &h->audiooutput.portaudio.played_frames;
    double total = 0;
    for (int i = 0; i < rounds; i++) {
        decoder_pause(&h->decoder);
        run_loop(pause_ms, [] { return false; });
        const int64_t before = __atomic_load_n(played, __ATOMIC_ACQUIRE);
        decoder_play(&h->decoder);
        total += run_loop(5000, [&] { return __atomic_load_n(played, __ATOMIC_ACQUIRE) > before; });
        run_loop(500, [] { return false; });
    }
    return total / rounds;
}

} // namespace

int main(int argc, char **argv) {
    const bool resume = argc == 3 && strcmp(argv[1], "--resume") == 0;
    if (argc != 2 && !resume) {
        fprintf(stderr, "usage: %s [--resume] FILE.mp3\n", argv[0]);
        return 2;
    }
    path = argv[argc - 1];
    int32_t size = 0;
    handle_get_size(&size);
    tHandle *h = static_cast<tHandle *>(calloc(1, static_cast<size_t>(size)));
    if (h == nullptr)
        return 1;
    pthread_mutex_init(&h->mutex, nullptr);
    // Not audiooutput_start: it hands the stored volume to the dispatcher, which needs the
    // windows. The ring and the device are all this path uses.
    if (audiooutput_init(&h->audiooutput, h) != 0 || decoder_init(&h->decoder, h) != 0 ||
        portaudio_start(&h->audiooutput.portaudio) != 0) {
        fprintf(stderr, "cannot start the output\n");
        return 1;
    }
    play(h);
    if (resume) {
        run_loop(1000, [] { return false; });
        const double kept = resume_delay(h, 5, 1000);
        const double released = resume_delay(h, 5, AUDIO_RELEASE_MS + 1500.0);
        printf("resume %.3f %.3f\n", kept, released);
        return 0;
    }
    g_timeout_add_seconds(static_cast<guint>(h->decoder.song.length) + 1, again, h);
    g_main_loop_run(g_main_loop_new(nullptr, FALSE));
    return 0;
}
