// The decoder on its own (no handle): real libmpg123 on the generated fixtures.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <mpg123.h>

#include "audio/decoder.h"
#include "support/harness.h"

namespace {

// The decoder's timer is registered in the default main context, which these tests never
// run, and the record is never freed (as in the program).
tHandleDecoder *new_decoder() {
    tHandleDecoder *d = static_cast<tHandleDecoder *>(calloc(1, sizeof(tHandleDecoder)));
    EXPECT_EQ(decoder_init(d, nullptr), 0);
    return d;
}

int32_t state_of(tHandleDecoder *d) {
    int32_t s = -1;
    decoder_get_state(d, &s);
    return s;
}

tSongInfo song_of(tHandleDecoder *d) {
    tSongInfo s{};
    decoder_get_song_info(d, &s);
    return s;
}

// Ticks until the decoder leaves DECODER_PLAYING, collecting every decoded sample.
std::vector<int16_t> play_out(tHandleDecoder *d, int max_ticks = 20000) {
    std::vector<int16_t> pcm;
    for (int i = 0; i < max_ticks && state_of(d) == DECODER_PLAYING; i++) {
        decoder_tick(d);
        const int16_t *s = reinterpret_cast<const int16_t *>(d->chunk.samples);
        if (s && d->chunk.bytes > 0)
            pcm.insert(pcm.end(), s, s + d->chunk.bytes / 2);
    }
    return pcm;
}

double band_gain(tHandleDecoder *d, int band) { return mpg123_geteq2(d->stream.mh, MPG123_LEFT, band); }

}  // namespace

TEST(Decoder, StateTable) {
    tHandleDecoder *d = new_decoder();
    EXPECT_EQ(state_of(d), DECODER_IDLE);
    EXPECT_EQ(decoder_play(d), -1);
    EXPECT_EQ(decoder_pause(d), -1);
    EXPECT_EQ(state_of(d), DECODER_IDLE);
    // A seek before any open keeps (sets) IDLE and succeeds.
    EXPECT_EQ(decoder_seek(d, 5), 0);
    EXPECT_EQ(state_of(d), DECODER_IDLE);

    // A failed open leaves nothing to play, and from now on an open was attempted.
    EXPECT_EQ(decoder_open(d, fixture_path("empty.mp3").c_str()), -1);
    EXPECT_EQ(state_of(d), DECODER_IDLE);
    EXPECT_EQ(d->open_attempted, 1);

    ASSERT_EQ(decoder_open(d, fixture_path("stereo44.mp3").c_str()), 0);
    EXPECT_EQ(state_of(d), DECODER_READY);
    EXPECT_EQ(decoder_pause(d), 0);  // not a toggle
    EXPECT_EQ(state_of(d), DECODER_READY);
    EXPECT_EQ(decoder_play(d), 0);
    EXPECT_EQ(state_of(d), DECODER_PLAYING);
    // Opening while playing keeps playing the new file.
    ASSERT_EQ(decoder_open(d, fixture_path("mono22.mp3").c_str()), 0);
    EXPECT_EQ(state_of(d), DECODER_PLAYING);
    EXPECT_EQ(song_of(d).rate, 22050);
    EXPECT_EQ(decoder_pause(d), 0);
    EXPECT_EQ(state_of(d), DECODER_READY);

    // To the end: ENDED; pause there changes nothing; play from ENDED plays again.
    EXPECT_EQ(decoder_play(d), 0);
    play_out(d);
    EXPECT_EQ(state_of(d), DECODER_ENDED);
    EXPECT_EQ(decoder_pause(d), 0);
    EXPECT_EQ(state_of(d), DECODER_ENDED);
    EXPECT_EQ(decoder_play(d), 0);
    EXPECT_EQ(state_of(d), DECODER_PLAYING);

    // A failed open while playing closed the old file: nothing can play until another opens.
    EXPECT_EQ(decoder_open(d, "/nonexistent/file.mp3"), -1);
    EXPECT_EQ(state_of(d), DECODER_IDLE);
    EXPECT_EQ(d->stream.is_open, 0);
    EXPECT_EQ(decoder_play(d), -1);
    d->chunk.bytes = 0;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 10; i++)
        decoder_tick(d);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(d->chunk.bytes, 0);
    EXPECT_EQ(state_of(d), DECODER_IDLE);
    // A seek with no file open lands nowhere and fails nothing.
    EXPECT_EQ(decoder_seek(d, 1), 0);
    decoder_pause(d);
}

TEST(Decoder, SongInfoAndLengths) {
    struct Case {
        const char *name;
        int channels, rate, length, bitrate;
    };
    const Case cases[] = {
        {"stereo44.mp3", 2, 44100, 3, 128},
        {"mono22.mp3", 1, 22050, 2, 64},
        {"stereo48.mp3", 2, 48000, 2, 160},
        {"mono8.mp3", 1, 8000, 2, 32},
        {"len10_9.mp3", 2, 44100, 10, 128},  // 10.9 s is truncated
    };
    tHandleDecoder *d = new_decoder();
    for (const Case &c : cases) {
        ASSERT_EQ(decoder_open(d, fixture_path(c.name).c_str()), 0) << c.name;
        const tSongInfo s = song_of(d);
        EXPECT_STREQ(s.path, fixture_path(c.name).c_str());
        EXPECT_EQ(s.channels, c.channels) << c.name;
        EXPECT_EQ(s.rate, c.rate) << c.name;
        EXPECT_EQ(s.length, c.length) << c.name;
        EXPECT_EQ(s.bitrate, c.bitrate) << c.name;
        EXPECT_EQ(s.position, 0) << c.name;
        const std::string title(s.title, sizeof(s.title));
        EXPECT_EQ(title, std::string(sizeof(s.title), '\0')) << "the decoder never writes the title";
    }
    // The position follows the decoded frames, in whole seconds.
    ASSERT_EQ(decoder_open(d, fixture_path("stereo44.mp3").c_str()), 0);
    decoder_play(d);
    size_t frames = 0;
    while (frames < 44100 + 1152) {
        decoder_tick(d);
        frames += static_cast<size_t>(d->chunk.bytes / 4);
    }
    EXPECT_EQ(song_of(d).position, 1);
    EXPECT_EQ(d->chunk.rate, 44100);
    EXPECT_EQ(d->chunk.channels, 2);
    EXPECT_EQ(d->chunk.format, SAMPLE_FORMAT_S16);
    decoder_pause(d);
}

TEST(Decoder, DecodesExactlyTheLibrarysSamplesOneFramePerTick) {
    for (const char *name : {"stereo44.mp3", "mono22.mp3", "stereo48.mp3", "mono8.mp3"}) {
        for (int eq_calls = 0; eq_calls < 2; eq_calls++) {
            const ReferencePcm ref = decode_reference(fixture_path(name));
            ASSERT_TRUE(ref.ok);
            tHandleDecoder *d = new_decoder();
            if (eq_calls)
                decoder_enable_eq(d, 0);  // as at start-up: every band exactly 1.0
            ASSERT_EQ(decoder_open(d, fixture_path(name).c_str()), 0);
            decoder_play(d);
            std::vector<int16_t> pcm;
            int ticks = 0;
            while (state_of(d) == DECODER_PLAYING && ticks < 5000) {
                decoder_tick(d);
                ticks++;
                EXPECT_LE(d->chunk.bytes, 1152 * 4) << "more than one frame in a tick";
                const int16_t *s = reinterpret_cast<const int16_t *>(d->chunk.samples);
                if (s && d->chunk.bytes > 0)
                    pcm.insert(pcm.end(), s, s + d->chunk.bytes / 2);
            }
            EXPECT_EQ(state_of(d), DECODER_ENDED);
            EXPECT_TRUE(pcm == ref.samples) << name << " eq " << eq_calls << ": decoded " << pcm.size()
                                            << " values, reference " << ref.samples.size();
        }
    }
}

TEST(Decoder, SeekClampsAndLandsOnTheSample) {
    const ReferencePcm ref = decode_reference(fixture_path("stereo44.mp3"));
    ASSERT_TRUE(ref.ok);
    tHandleDecoder *d = new_decoder();
    ASSERT_EQ(decoder_open(d, fixture_path("stereo44.mp3").c_str()), 0);
    EXPECT_EQ(decoder_seek(d, 1000), 0);
    EXPECT_EQ(song_of(d).position, 3);  // the length
    EXPECT_EQ(decoder_seek(d, -5), 0);
    EXPECT_EQ(song_of(d).position, 0);
    EXPECT_EQ(state_of(d), DECODER_READY) << "seeking changes no state";

    EXPECT_EQ(decoder_seek(d, 2), 0);
    EXPECT_EQ(song_of(d).position, 2);
    decoder_play(d);
    std::vector<int16_t> pcm = play_out(d);
    const std::vector<int16_t> tail(ref.samples.begin() + 2 * 44100 * 2, ref.samples.end());
    EXPECT_EQ(pcm, tail) << "seek to second 2 does not start at sample 88200";
}

TEST(Decoder, PathsAreCopiedWithABound) {
    TempDir dir("ravlox-paths");
    // Untagged, so that the title field after the path stays zero unless the copy overruns.
    const std::string mp3 = read_file(fixture_path("stereo48.mp3"));
    ASSERT_FALSE(mp3.empty());
    // Builds a file whose full path has exactly `length` characters.
    auto make_path = [&](size_t length) {
        std::string p = dir.path();
        while (p.size() + 1 + 200 + 1 + 10 < length) {
            p += "/" + std::string(200, 'd');
            mkdir(p.c_str(), 0700);
        }
        const size_t name = length - p.size() - 1;
        p += "/" + std::string(name - 4, 'f') + ".mp3";
        EXPECT_EQ(p.size(), length);
        EXPECT_TRUE(write_file(p, mp3));
        return p;
    };
    tHandleDecoder *d = new_decoder();
    const std::string p1023 = make_path(1023);
    ASSERT_EQ(decoder_open(d, p1023.c_str()), 0);
    EXPECT_EQ(std::string(d->song.path), p1023);

    for (size_t length : {1024u, 1500u}) {
        const std::string p = make_path(length);
        ASSERT_EQ(decoder_open(d, p.c_str()), 0) << length;
        EXPECT_EQ(std::string(d->song.path, sizeof(d->song.path)), p.substr(0, 1024)) << length;
        EXPECT_EQ(d->song.title[0], 0) << "the copy ran past the path field";
    }
}

TEST(Decoder, BadFilesFailOrPlayWhatDecodes) {
    TempDir dir("ravlox-bad");
    tHandleDecoder *d = new_decoder();
    // Never opened as playable.
    for (const std::string &p : {fixture_path("empty.mp3"), dir.path(), dir / "missing.mp3"}) {
        EXPECT_EQ(decoder_open(d, p.c_str()), -1) << p;
        EXPECT_EQ(d->stream.is_open, 0) << p;
    }
    // Either refused or played to an end in bounded time; nothing else.
    for (const char *name : {"truncated.mp3", "short.mp3", "random.mp3"}) {
        testing::internal::CaptureStdout();
        const int32_t r = decoder_open(d, fixture_path(name).c_str());
        if (r == 0) {
            decoder_play(d);
            play_out(d, 5000);
            EXPECT_EQ(state_of(d), DECODER_ENDED) << name << " never ended";
            decoder_pause(d);
        }
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(printed.find("UNKNOWN"), std::string::npos) << name << ": " << printed;
    }
    // The truncated file plays what it holds: its first frames match the whole file's.
    const ReferencePcm ref = decode_reference(fixture_path("stereo44.mp3"));
    ASSERT_EQ(decoder_open(d, fixture_path("truncated.mp3").c_str()), 0);
    decoder_play(d);
    const std::vector<int16_t> pcm = play_out(d);
    ASSERT_GT(pcm.size(), 44100u);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.begin() + 44100, ref.samples.begin()));

    // A file that disappears after it was opened still plays from the open descriptor.
    const std::string gone = dir / "gone.mp3";
    ASSERT_TRUE(write_file(gone, read_file(fixture_path("mono22.mp3"))));
    ASSERT_EQ(decoder_open(d, gone.c_str()), 0);
    unlink(gone.c_str());
    decoder_play(d);
    EXPECT_EQ(play_out(d).size(), decode_reference(fixture_path("mono22.mp3")).samples.size());
    EXPECT_EQ(state_of(d), DECODER_ENDED);
}

TEST(Decoder, EqualizerGains) {
    tHandleDecoder *d = new_decoder();
    ASSERT_EQ(decoder_enable_eq(d, 1), 0);
    ASSERT_EQ(decoder_set_eq(d, 6, 50), 0);
    const double g = pow(10.0, 0.3);
    for (int b = 0; b < 32; b++) {
        const double want = b >= 5 && b <= 8 ? g : 1.0;
        EXPECT_NEAR(band_gain(d, b), want, 1e-6 * want) << "band " << b;
    }
    EXPECT_EQ(d->eq_band[5], 50);
    EXPECT_EQ(d->eq_band[8], 50);
    EXPECT_EQ(d->eq_band[9], 0);

    // Every window index reaches its fixed library bands; bands 21..31 only see the preamp.
    const int first[11] = {-1, 0, 1, 2, 3, 4, 5, 9, 12, 15, 18};
    const int last[11] = {-1, 0, 1, 2, 3, 4, 8, 11, 14, 17, 20};
    for (int i = 1; i <= 10; i++)
        decoder_set_eq(d, i, -10 * i);
    for (int b = 0; b < 32; b++) {
        int want = 0;
        for (int i = 1; i <= 10; i++)
            if (b >= first[i] && b <= last[i])
                want = -10 * i;
        EXPECT_EQ(d->eq_band[b], want) << "band " << b;
        EXPECT_NEAR(band_gain(d, b), pow(10.0, want * 0.06 / 10.0), 1e-6) << "band " << b;
    }
    decoder_set_eq(d, 1, -100);
    decoder_set_eq(d, 0, 100);  // preamp
    decoder_set_eq(d, 10, 100);
    EXPECT_NEAR(band_gain(d, 20), pow(10.0, 1.2), 1e-5);
    EXPECT_NEAR(band_gain(d, 25), pow(10.0, 0.6), 1e-6);
    EXPECT_NEAR(band_gain(d, 0), 1.0, 1e-6);  // -100 + 100
    decoder_set_eq(d, 11, 77);                 // stores nothing
    decoder_set_eq(d, -1, 77);
    for (int b = 0; b < 32; b++)
        EXPECT_NE(d->eq_band[b], 77);

    // Off: exactly 1.0 everywhere; on again restores what was stored.
    decoder_enable_eq(d, 0);
    for (int b = 0; b < 32; b++)
        EXPECT_EQ(band_gain(d, b), 1.0) << "band " << b;
    decoder_enable_eq(d, 1);
    EXPECT_NEAR(band_gain(d, 20), pow(10.0, 1.2), 1e-5);
    EXPECT_NEAR(band_gain(d, 10), pow(10.0, (-70 * 0.06 + 6.0) / 10.0), 1e-6);
}

TEST(Decoder, EqualizerChangesTheDecodedSound) {
    auto energy = [](const char *name, bool cut) {
        tHandleDecoder *d = new_decoder();
        EXPECT_EQ(decoder_open(d, fixture_path(name).c_str()), 0);
        decoder_enable_eq(d, cut ? 1 : 0);
        for (int i = 1; i <= 10; i++)
            decoder_set_eq(d, i, -100);
        decoder_set_eq(d, 0, -100);
        decoder_play(d);
        double e = 0;
        for (int16_t v : play_out(d))
            e += static_cast<double>(v) * v;
        return e;
    };
    const double plain = energy("stereo44.mp3", false);
    const double cut = energy("stereo44.mp3", true);
    ASSERT_GT(plain, 0);
    // Every band at 10^-1.2 of its amplitude: the energy falls to about 10^-2.4.
    EXPECT_LT(cut, plain * 0.01);
    EXPECT_GT(cut, plain * 0.0001);
}

// One decoder for a sequence of files of different formats, as the playlist plays them:
// each file decodes exactly as it does alone.
TEST(Decoder, OneDecoderForFilesOfDifferentFormats) {
    tHandleDecoder *d = new_decoder();
    decoder_enable_eq(d, 0);  // as at start-up
    for (const char *name : {"stereo44.mp3", "mono8.mp3", "stereo48.mp3", "mono22.mp3", "stereo44.mp3"}) {
        ASSERT_EQ(decoder_open(d, fixture_path(name).c_str()), 0) << name;
        EXPECT_EQ(decoder_seek(d, 0), 0);  // as the dispatcher does after every open
        decoder_play(d);
        EXPECT_TRUE(play_out(d) == decode_reference(fixture_path(name)).samples) << name;
    }
}

// A FIFO with no writer or a device named in a playlist: refused at once, never waited on.
TEST(Decoder, SpecialFilesAreRefusedWithoutWaiting) {
    TempDir dir("ravlox-special");
    const std::string fifo = dir / "pipe.mp3";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    tHandleDecoder *d = new_decoder();
    ASSERT_EQ(decoder_open(d, fixture_path("stereo44.mp3").c_str()), 0);
    for (const std::string &p : {fifo, std::string("/dev/null"), std::string("/dev/zero")}) {
        EXPECT_EQ(decoder_open(d, p.c_str()), -1) << p;
        EXPECT_EQ(d->stream.is_open, 0) << p;
        EXPECT_EQ(d->stream.fd, -1) << p;
    }
    // The refusals left the decoder as usable as before.
    ASSERT_EQ(decoder_open(d, fixture_path("mono8.mp3").c_str()), 0);
    decoder_play(d);
    EXPECT_TRUE(play_out(d) == decode_reference(fixture_path("mono8.mp3")).samples);
}

// Ticks until the decoder leaves DECODER_PLAYING (at most 5000); the count and the bytes.
std::pair<int, size_t> ticks_to_end(tHandleDecoder *d) {
    int ticks = 0;
    size_t bytes = 0;
    while (state_of(d) == DECODER_PLAYING && ticks < 5000) {
        decoder_tick(d);
        bytes += static_cast<size_t>(d->chunk.bytes > 0 ? d->chunk.bytes : 0);
        ticks++;
    }
    return {ticks, bytes};
}

// Errors from the first frame on that never clear: the track ends after a bounded number
// of ticks instead of playing nothing for ever.
TEST(Decoder, ErrorsThatNeverClearEndTheTrack) {
    tHandleDecoder *d = new_decoder();
    // The library can set up no output format: every decode fails the same way.
    ASSERT_EQ(decoder_open(d, fixture_path("stereo44.mp3").c_str()), 0);
    mpg123_format_none(d->stream.mh);
    decoder_play(d);
    auto [ticks, bytes] = ticks_to_end(d);
    EXPECT_EQ(state_of(d), DECODER_ENDED);
    EXPECT_EQ(bytes, 0u);
    EXPECT_LE(ticks, 100);
    mpg123_format_all(d->stream.mh);

    // The open file turns into one whose every read fails.
    const int unreadable = open("/proc/self/mem", O_RDONLY);  // reading at offset 0 fails
    if (unreadable < 0)
        GTEST_SKIP() << "no /proc/self/mem";
    ASSERT_EQ(decoder_open(d, fixture_path("stereo44.mp3").c_str()), 0);
    ASSERT_GE(dup2(unreadable, d->stream.fd), 0);
    close(unreadable);
    decoder_play(d);
    std::tie(ticks, bytes) = ticks_to_end(d);
    EXPECT_EQ(state_of(d), DECODER_ENDED);
    EXPECT_EQ(bytes, 0u);
    EXPECT_LE(ticks, 100);
}
