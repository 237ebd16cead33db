// Inputs that fuzzing found to break the decoder, kept as they were found.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "audio/decoder.h"
#include "support/harness.h"

// An 8513-byte stream whose Xing header claims more than 2^31 samples at 11025 Hz: the length
// in seconds came out negative, so seeks clamped to a negative end.
TEST(DecoderFuzzFound, ClaimedLengthPast32BitSamplesStaysPositive) {
    tHandleDecoder *d = static_cast<tHandleDecoder *>(calloc(1, sizeof(tHandleDecoder)));
    ASSERT_EQ(decoder_init(d, nullptr), 0);
    const std::string path = std::string(RAVLOX_SOURCE_DIR) + "/tests/audio/data/fuzz/xing-huge-frame-count.mp3";
    ASSERT_EQ(decoder_open(d, path.c_str()), 0);
    tSongInfo song{};
    decoder_get_song_info(d, &song);
    EXPECT_EQ(song.rate, 11025);
    EXPECT_GT(song.length, (1LL << 31) / 11025) << "length " << song.length;

    decoder_seek(d, 60);
    decoder_get_song_info(d, &song);
    EXPECT_GE(song.position, 0);
    EXPECT_LE(song.position, song.length);
    ASSERT_EQ(decoder_play(d), 0);
    int32_t state = DECODER_PLAYING;
    for (int i = 0; i < 100000 && state == DECODER_PLAYING; ++i) {
        decoder_tick(d);
        decoder_get_state(d, &state);
    }
    EXPECT_EQ(state, DECODER_ENDED);
    decoder_open(d, nullptr);
}
