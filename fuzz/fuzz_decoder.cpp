// The decoder: the bytes are written as a file, opened (length scan and reopen included) and
// decoded to the end with the equalizer on and seeks to positions chosen from the input.
#include <cstring>

#include "audio/decoder.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // No handle: the decoded frames go nowhere, which is all a decoder on its own can do.
    static tHandleDecoder decoder;
    static bool ready = false;
    if (!ready) {
        FUZZ_CHECK(decoder_init(&decoder, nullptr) == 0, "no decoder");
        ready = true;
    }
    const std::string path = fuzz::data_dir() + "/track.mp3";
    fuzz::Rng rng(data, size);
    {
        fuzz::FdGuard fds;
        if (!fuzz::write_file(path, data, size)) return 0;
        if (decoder_open(&decoder, path.c_str()) == 0) {
            tSongInfo song;
            decoder_get_song_info(&decoder, &song);
            FUZZ_CHECK(song.length >= 0 && song.rate > 0 && song.channels > 0, "length %d rate %d channels %d",
                       song.length, song.rate, song.channels);
            decoder_enable_eq(&decoder, 1);
            for (int32_t i = 0; i <= 10; ++i)
                decoder_set_eq(&decoder, i, static_cast<int32_t>(rng.next() % 201) - 100);
            FUZZ_CHECK(decoder_play(&decoder) == 0, "cannot play");

            // Every tick decodes one frame of at least one byte, so a pass over the file takes at
            // most about as many ticks as it has bytes; more means it never ends.
            const int seeks = static_cast<int>(rng.next() % 4);
            const size_t pass = size + 1000;
            size_t ticks = 0, budget = pass;
            int state = DECODER_PLAYING;
            for (int done_seeks = 0; state == DECODER_PLAYING; ++ticks) {
                FUZZ_CHECK(ticks < budget, "still playing after %zu ticks", ticks);
                if (done_seeks < seeks && rng.next() % 64 == 0) {
                    const int32_t second = static_cast<int32_t>(rng.next() % (static_cast<uint32_t>(song.length) + 4u)) - 2;
                    decoder_seek(&decoder, second);
                    ++done_seeks;
                    budget = ticks + pass;
                }
                decoder_tick(&decoder);
                decoder_get_state(&decoder, &state);
            }
            FUZZ_CHECK(state == DECODER_ENDED, "state %d", state);
            decoder_enable_eq(&decoder, 0);
        }
        decoder_open(&decoder, nullptr);  // closes the file
    }
    return 0;
}
