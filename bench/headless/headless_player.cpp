// The player's sound path alone, for bench_gui_cpu's device-bound baseline: the real
// decoder on its own timer and the real PortAudio output, on a plain GLib main loop with
// no windows and no dispatcher. Plays FILE over and over until killed.
//   headless_player FILE.mp3
#include <glib.h>

#include <cstdio>
#include <cstdlib>

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

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s FILE.mp3\n", argv[0]);
        return 2;
    }
    path = argv[1];
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
    g_timeout_add_seconds(static_cast<guint>(h->decoder.song.length) + 1, again, h);
    g_main_loop_run(g_main_loop_new(nullptr, FALSE));
    return 0;
}
