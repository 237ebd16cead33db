// The FFmpeg back end through the decoder (no handle), on fixtures made by flac, oggenc,
// opusenc, wavpack, sox and ffmpeg, against `ffmpeg -i FILE -f s16le` of the same libraries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio/decoder.h"
#include "audio/equalizer.h"
#include "audio/tags.h"
#include "support/harness.h"

namespace {

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

// Ticks until the decoder leaves DECODER_PLAYING, collecting every sample handed on.
std::vector<int16_t> play_out(tHandleDecoder *d, size_t *largest = nullptr, int max_ticks = 40000) {
    std::vector<int16_t> pcm;
    for (int i = 0; i < max_ticks && state_of(d) == DECODER_PLAYING; i++) {
        decoder_tick(d);
        const int16_t *s = reinterpret_cast<const int16_t *>(d->chunk.samples);
        if (s && d->chunk.bytes > 0)
            pcm.insert(pcm.end(), s, s + d->chunk.bytes / 2);
        if (largest && static_cast<size_t>(d->chunk.bytes) > *largest)
            *largest = static_cast<size_t>(d->chunk.bytes);
    }
    return pcm;
}

// The exact value rounded to 16 bits, from a float decode: the s16 reference truncates
// 24- and 32-bit samples, so a rounded and dithered output may lie 2 below or above it.
std::vector<int16_t> rounded_reference(const std::string &path, int channels) {
    const ProgramResult r = run_command({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-f", "f32le",
                                         "-ac", std::to_string(channels), "-"},
                                        {}, std::chrono::milliseconds(60000));
    std::vector<int16_t> out(r.out.size() / 4);
    for (size_t k = 0; k < out.size(); k++) {
        float f = 0;
        memcpy(&f, r.out.data() + 4 * k, 4);
        out[k] = static_cast<int16_t>(std::clamp(std::lrint(f * 32768.0), -32768L, 32767L));
    }
    return out;
}

bool tools_missing() { return !missing_program({"ffmpeg", "ffprobe"}).empty(); }

struct Type {
    const char *name;
    int channels;   // of the output (and of the reference decode)
    bool dithered;  // more than 16 bits in: within 1 LSB of the undithered reference
    bool lossless;  // a seek lands on the very samples
    size_t frames;  // the exact length where the reference decode goes on into padding, else 0
};
constexpr Type TYPES[] = {
    {"flac16.flac", 2, false, true, 0},   {"flac24.flac", 2, true, true, 0},  {"flacmono.flac", 1, false, true, 0},
    {"vorbis.ogg", 2, true, false, 0},    {"opus.opus", 2, true, false, 0},   {"aac.m4a", 2, true, false, 132300},
    {"alac.m4a", 2, false, true, 0},      {"wav16.wav", 2, false, true, 0},   {"wav24.wav", 2, true, true, 0},
    {"wav96.wav", 2, true, true, 0},      {"wav192.wav", 2, false, true, 0},  {"wav51.wav", 2, false, true, 0},
    {"aiff16.aiff", 2, false, true, 0},   {"wavpack.wv", 2, false, true, 0},  {"wavpack24.wv", 2, true, true, 0},
    {"flac_named.mp3", 2, false, true, 0}, {"video.mp4", 2, false, true, 0},
};

// The reference decode of a type, cut to the sound's exact length.
ReferencePcm reference_of(const Type &t) {
    ReferencePcm ref = decode_ffmpeg_reference(fixture_path(t.name), t.channels);
    if (t.frames > 0 && ref.frames() > t.frames)
        ref.samples.resize(t.frames * static_cast<size_t>(t.channels));
    return ref;
}

// The largest difference between two decodes of equal length, -1 when the lengths differ.
int max_difference(const std::vector<int16_t> &a, const std::vector<int16_t> &b) {
    if (a.size() != b.size())
        return -1;
    int most = 0;
    for (size_t k = 0; k < a.size(); k++)
        most = std::max(most, std::abs(a[k] - b[k]));
    return most;
}

}  // namespace

TEST(FfmpegDecoder, EachTypeDecodesAsTheReferenceDoes) {
    if (tools_missing())
        GTEST_SKIP() << "ffmpeg missing";
    tHandleDecoder *d = new_decoder();
    for (const Type &t : TYPES) {
        const ReferencePcm ref = reference_of(t);
        ASSERT_TRUE(ref.ok) << t.name;
        ASSERT_EQ(decoder_open(d, fixture_path(t.name).c_str()), 0) << t.name;
        EXPECT_EQ(decoder_seek(d, 0), 0);  // as the dispatcher does after every open
        tSongInfo song{};
        decoder_get_song_info(d, &song);
        EXPECT_EQ(song.rate, ref.rate) << t.name;
        EXPECT_EQ(song.channels, t.channels) << t.name;
        EXPECT_EQ(song.length, static_cast<int32_t>(ref.frames() / static_cast<size_t>(ref.rate))) << t.name;
        EXPECT_GT(song.bitrate, 0) << t.name;
        decoder_play(d);
        const std::vector<int16_t> pcm = play_out(d);
        EXPECT_EQ(state_of(d), DECODER_ENDED) << t.name;
        EXPECT_EQ(d->chunk.format, SAMPLE_FORMAT_S16);
        // Dithered: within 1 of the exact value rounded, and not always equal to it.
        std::vector<int16_t> rounded;
        if (t.dithered)
            rounded = rounded_reference(fixture_path(t.name), t.channels);
        rounded.resize(std::min(rounded.size(), ref.samples.size()));
        const int diff = max_difference(pcm, t.dithered ? rounded : ref.samples);
        EXPECT_EQ(diff, t.dithered ? 1 : 0) << t.name << ": " << pcm.size() << " values, reference "
                                            << ref.samples.size();
    }
}

// Lossless files land on the very sample; the others on the right count of samples.
TEST(FfmpegDecoder, SeekLandsOnTheSecond) {
    if (tools_missing())
        GTEST_SKIP() << "ffmpeg missing";
    tHandleDecoder *d = new_decoder();
    for (const Type &t : TYPES) {
        const ReferencePcm ref = reference_of(t);
        ASSERT_TRUE(ref.ok) << t.name;
        ASSERT_EQ(decoder_open(d, fixture_path(t.name).c_str()), 0) << t.name;
        tSongInfo song{};
        decoder_get_song_info(d, &song);
        EXPECT_EQ(decoder_seek(d, 1000), 0);
        decoder_get_song_info(d, &song);
        EXPECT_EQ(song.position, song.length) << t.name;
        ASSERT_EQ(decoder_seek(d, 1), 0) << t.name;
        decoder_play(d);
        const std::vector<int16_t> pcm = play_out(d);
        const size_t skipped = static_cast<size_t>(ref.rate) * static_cast<size_t>(t.channels);
        const std::vector<int16_t> tail(ref.samples.begin() + static_cast<long>(skipped), ref.samples.end());
        if (t.lossless) {
            EXPECT_LE(max_difference(pcm, tail), t.dithered ? 2 : 0) << t.name << ": " << pcm.size()
                                                                   << " values, want " << tail.size();
            EXPECT_GE(max_difference(pcm, tail), 0) << t.name;
        } else {
            EXPECT_EQ(pcm.size(), tail.size()) << t.name;
        }
        // Seeking again after the end plays from there again.
        ASSERT_EQ(decoder_seek(d, 0), 0);
        decoder_play(d);
        EXPECT_EQ(play_out(d).size(), ref.samples.size()) << t.name;
    }
}

// Every tick decodes one packet at most: a WAV packet holds at most 4096 bytes of input.
TEST(FfmpegDecoder, OnePacketPerTick) {
    tHandleDecoder *d = new_decoder();
    ASSERT_EQ(decoder_open(d, fixture_path("wav16.wav").c_str()), 0);
    decoder_play(d);
    size_t largest = 0;
    const std::vector<int16_t> pcm = play_out(d, &largest);
    EXPECT_GT(pcm.size(), 0u);
    EXPECT_LE(largest, 4096u);
}

// The content decides: a FLAC named .mp3 goes to FFmpeg, an MP3 named .flac to libmpg123.
TEST(FfmpegDecoder, TypeComesFromTheContent) {
    TempDir dir("ravlox-types");
    const std::string mp3_as_flac = dir / "song.flac";
    ASSERT_TRUE(write_file(mp3_as_flac, read_file(fixture_path("stereo44.mp3"))));
    tHandleDecoder *d = new_decoder();
    ASSERT_EQ(decoder_open(d, mp3_as_flac.c_str()), 0);
    decoder_play(d);
    EXPECT_TRUE(play_out(d) == decode_reference(fixture_path("stereo44.mp3")).samples);

    ASSERT_EQ(decoder_open(d, fixture_path("flac_named.mp3").c_str()), 0);
    decoder_play(d);
    const std::vector<int16_t> named = play_out(d);
    ASSERT_EQ(decoder_open(d, fixture_path("flac16.flac").c_str()), 0);
    decoder_play(d);
    EXPECT_TRUE(play_out(d) == named);
    EXPECT_GT(named.size(), 44100u * 2);
}

// No sound: refused as an MP3 that does not play is. Damage: what can be played is, then
// the track ends.
TEST(FfmpegDecoder, BadFilesAreRefusedOrPlayWhatDecodes) {
    tHandleDecoder *d = new_decoder();
    EXPECT_EQ(decoder_open(d, fixture_path("cover_only.m4a").c_str()), -1);
    EXPECT_EQ(d->stream.is_open, 0);
    EXPECT_EQ(state_of(d), DECODER_IDLE);

    const std::vector<int16_t> whole = decode_ffmpeg_reference(fixture_path("flac16.flac"), 2).samples;
    ASSERT_EQ(decoder_open(d, fixture_path("truncated.flac").c_str()), 0);
    decoder_play(d);
    const std::vector<int16_t> cut = play_out(d);
    EXPECT_EQ(state_of(d), DECODER_ENDED);
    ASSERT_GT(cut.size(), whole.size() / 3);
    ASSERT_LT(cut.size(), whole.size());
    EXPECT_TRUE(std::equal(cut.begin(), cut.begin() + static_cast<long>(whole.size() / 3), whole.begin()));

    ASSERT_EQ(decoder_open(d, fixture_path("damaged.ogg").c_str()), 0);
    decoder_play(d);
    const std::vector<int16_t> damaged = play_out(d);
    EXPECT_EQ(state_of(d), DECODER_ENDED);
    EXPECT_GT(damaged.size(), 44100u);

    // Sixteen channels without names (more than the decoder's table of pointers once held):
    // mixed down to two, all of it.
    ASSERT_EQ(decoder_open(d, fixture_path("opus16ch.opus").c_str()), 0);
    decoder_play(d);
    const std::vector<int16_t> many = play_out(d);
    EXPECT_EQ(state_of(d), DECODER_ENDED);
    EXPECT_EQ(many.size(), decode_ffmpeg_reference(fixture_path("opus16ch.opus"), 2).samples.size());
    EXPECT_GT(*std::max_element(many.begin(), many.end()), 1000);

    // Bytes that merely start like a format's header are not played either.
    TempDir dir("ravlox-bad-ff");
    for (const std::string &head : {std::string("fLaC"), std::string("OggS\0\2", 6), std::string("RIFF\x10\0\0\0WAVE", 12)}) {
        const std::string path = dir / "bad.flac";
        ASSERT_TRUE(write_file(path, head + std::string(300, '\x55')));
        if (decoder_open(d, path.c_str()) == 0) {
            decoder_play(d);
            play_out(d, nullptr, 5000);
            EXPECT_EQ(state_of(d), DECODER_ENDED);
        }
    }
}

TEST(FfmpegDecoder, TagsGiveTheTitles) {
    struct Case {
        const char *name, *title, *artist, *album, *track, *year;
    };
    const Case cases[] = {
        {"tagged.flac", "Flac Title", "Flac Artist", "Flac Album", "7", "2019"},
        {"tagged.ogg", "Ogg Title", "Ogg Artist", "Ogg Album", "4", "2021"},
        {"tagged.m4a", "Mp4 Title", "Mp4 Artist", "Mp4 Album", "2", "2020"},
        {"tagged.wav", "Id3 Wav Title", "Id3 Artist", "Id3 Album", "3", "2018"},
        {"tagged.aiff", "Id3 Aiff Title", "Id3 Artist", "Id3 Album", "3", "2018"},
        {"tagged.wv", "Ape Title", "Ape Artist", "Ape Album", "6", "2016"},
    };
    tHandleDecoder *d = new_decoder();
    for (const Case &c : cases) {
        tSongTags tags;
        EXPECT_EQ(tags_read_file(fixture_path(c.name).c_str(), &tags), 0) << c.name;
        EXPECT_STREQ(tags.title, c.title);
        EXPECT_STREQ(tags.artist, c.artist);
        EXPECT_STREQ(tags.album, c.album);
        EXPECT_EQ(std::string(tags.track).substr(0, strlen(c.track)), c.track) << c.name;
        EXPECT_STREQ(tags.year, c.year);
        ASSERT_EQ(decoder_open(d, fixture_path(c.name).c_str()), 0);
        EXPECT_EQ(std::string(d->song.title), std::string(c.artist) + " - " + c.title);
    }
    // Untagged: no title, as for an MP3 without tags.
    tSongTags tags;
    EXPECT_EQ(tags_read_file(fixture_path("flac16.flac").c_str(), &tags), -1);
    EXPECT_STREQ(tags.title, "");
    ASSERT_EQ(decoder_open(d, fixture_path("flac16.flac").c_str()), 0);
    EXPECT_STREQ(d->song.title, "");
    // ID3 gives the track and year too.
    EXPECT_EQ(tags_read_file(fixture_path("tagged.mp3").c_str(), &tags), 0);
    EXPECT_STREQ(tags.title, "Fixture Title");
}

namespace {

constexpr int EQ_CENTRES[10] = {60, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, 16000};

// The equalizer's switch and values as the dispatcher sets them; index 0 is the preamp.
void set_eq(tHandleDecoder *d, int32_t enabled, int32_t index = -1, int32_t value = 0) {
    for (int32_t i = 0; i <= 10; i++)
        decoder_set_eq(d, i, i == index ? value : 0);
    decoder_enable_eq(d, enabled);
}

std::vector<int16_t> decode_all(tHandleDecoder *d, const std::string &path) {
    EXPECT_EQ(decoder_open(d, path.c_str()), 0) << path;
    decoder_seek(d, 0);
    decoder_play(d);
    return play_out(d);
}

double db(double ratio) { return 20.0 * std::log10(ratio); }

}  // namespace

// How the table of gains was measured, and that it still holds: a tone in the middle of what
// one slider moves in libmpg123, with that slider (or the preamp) alone set.
TEST(FfmpegEqualizer, TableIsTheMpegPathsMeasuredResponse) {
    tHandleDecoder *d = new_decoder();
    for (int k = 0; k <= 10; k++) {
        const std::string mp3 = fixture_path("eqmpeg" + std::to_string(k == 0 ? 4 : k - 1) + ".mp3");
        set_eq(d, 0);
        const double off = rms_of_middle_half(decode_all(d, mp3));
        ASSERT_GT(off, 3000.0) << mp3;
        for (int32_t v : {-100, -70, -50, -20, 10, 50, 100}) {
            set_eq(d, 1, k, v);
            const double on = rms_of_middle_half(decode_all(d, mp3));
            EXPECT_NEAR(db(on / off), equalizer_gain_db(v), 0.05) << "slider " << k << " at " << v;
        }
    }
    EXPECT_DOUBLE_EQ(equalizer_gain_db(-100), -equalizer_gain_db(100));
    EXPECT_DOUBLE_EQ(equalizer_gain_db(0), 0.0);
}

// Switched off with values stored, or on with every value at 0: the samples are those of the
// plain decode, for every type (the plain decode is checked against the reference above).
TEST(FfmpegEqualizer, OffOrFlatLeavesTheSamplesAlone) {
    tHandleDecoder *d = new_decoder();
    for (const Type &t : TYPES) {
        const std::string path = fixture_path(t.name);
        set_eq(d, 0);
        const std::vector<int16_t> plain = decode_all(d, path);
        ASSERT_FALSE(plain.empty()) << t.name;
        set_eq(d, 0, 3, 100);
        decoder_set_eq(d, 0, -60);
        EXPECT_TRUE(decode_all(d, path) == plain) << t.name << ": switched off";
        set_eq(d, 1);
        EXPECT_TRUE(decode_all(d, path) == plain) << t.name << ": every value at 0";
        // A band moved and put back while playing: from then on the plain samples again.
        ASSERT_EQ(decoder_open(d, path.c_str()), 0);
        decoder_play(d);
        set_eq(d, 1, 1, 80);
        for (int i = 0; i < 5; i++)
            decoder_tick(d);
        set_eq(d, 1);
        const std::vector<int16_t> rest = play_out(d);
        ASSERT_GT(rest.size(), 1000u) << t.name;
        // (A converter made afresh starts its dither's noise afresh.)
        const std::vector<int16_t> tail(rest.end() - 1000, rest.end());
        EXPECT_LE(max_difference(tail, std::vector<int16_t>(plain.end() - 1000, plain.end())), t.dithered ? 2 : 0)
            << t.name;
    }
}

// Nothing of the sound before a seek or before another file rings on in the filters: the
// sound after either is what a fresh start there gives (the dither's noise aside).
TEST(FfmpegEqualizer, SeekAndOpenStartTheFiltersAfresh) {
    tHandleDecoder *d = new_decoder();
    const std::string song = fixture_path("flac16.flac");
    set_eq(d, 1, 1, 100);
    decoder_set_eq(d, 7, -100);
    ASSERT_EQ(decoder_open(d, song.c_str()), 0);
    ASSERT_EQ(decoder_seek(d, 2), 0);
    decoder_play(d);
    const std::vector<int16_t> fresh = play_out(d);
    ASSERT_GT(fresh.size(), 44100u);

    ASSERT_EQ(decoder_open(d, song.c_str()), 0);
    decoder_play(d);
    for (int i = 0; i < 20; i++)
        decoder_tick(d);
    ASSERT_EQ(decoder_seek(d, 2), 0);
    decoder_play(d);
    EXPECT_LE(max_difference(play_out(d), fresh), 2) << "after a seek";

    ASSERT_EQ(decoder_open(d, fixture_path("eqtone0.flac").c_str()), 0);
    decoder_play(d);
    for (int i = 0; i < 5; i++)
        decoder_tick(d);
    ASSERT_EQ(decoder_open(d, song.c_str()), 0);
    ASSERT_EQ(decoder_seek(d, 2), 0);
    decoder_play(d);
    EXPECT_LE(max_difference(play_out(d), fresh), 2) << "after another file";
}

// After the sound stops the filters' state decays to exactly zero, never through the range
// of denormal numbers (where every operation is many times slower).
TEST(FfmpegEqualizer, SilenceLeavesNoDenormalState) {
    tHandleDecoder *d = new_decoder();
    set_eq(d, 1);
    for (int32_t i = 1; i <= 10; i++)
        decoder_set_eq(d, i, i % 2 ? 100 : -100);
    TempDir dir("ravlox-eq-silence");
    const std::string path = dir / "click.wav";
    ASSERT_TRUE(run_command({"sox", "-D", "-n", "-r", "48000", "-c", "2", "-b", "16", path.c_str(), "synth", "0.02",
                             "sine", "60", "pad", "0", "3"}).exited_with(0));
    const std::vector<int16_t> pcm = decode_all(d, path);
    ASSERT_GT(pcm.size(), 48000u * 2 * 3);
    EXPECT_TRUE(std::all_of(pcm.end() - 48000, pcm.end(), [](int16_t v) { return std::abs(v) <= 1; }));
    for (const auto &channel : d->equalizer.state)
        for (const auto &band : channel)
            for (double s : band)
                EXPECT_EQ(s, 0.0);
}

// Parts of one tone, cut at a frame that ends no codec's frame: each decodes to exactly its
// own length, lined up with the tone, so played in a row they join without a seam. FFmpeg's
// MP4 reader leaves the encoder's padding at the end; the edit list, or else the iTunSMPB tag,
// says where the sound ends.
TEST(FfmpegDecoder, PartsOfOneToneKeepTheirExactLengths) {
    if (tools_missing())
        GTEST_SKIP() << "ffmpeg missing";
    const std::vector<int16_t> tone = decode_ffmpeg_reference(fixture_path("gapless.wav"), 2).samples;
    ASSERT_EQ(tone.size(), 2u * 144000);
    constexpr size_t CUT = 67891;
    tHandleDecoder *d = new_decoder();
    for (const char *type : {"flac", "opus", "ogg", "m4a", "smpb.m4a", "mp3"}) {
        std::vector<int16_t> joined;
        for (const char *part : {"a", "b"}) {
            const std::string path = fixture_path(std::string("gapless_") + part + "." + type);
            ASSERT_EQ(decoder_open(d, path.c_str()), 0) << path;
            EXPECT_EQ(decoder_seek(d, 0), 0);
            decoder_play(d);
            const std::vector<int16_t> pcm = play_out(d);
            EXPECT_EQ(pcm.size() / 2, part[0] == 'a' ? CUT : 144000 - CUT) << path;
            joined.insert(joined.end(), pcm.begin(), pcm.end());
        }
        const bool exact = strcmp(type, "flac") == 0;
        EXPECT_EQ(seam_fault(joined, 0, tone, CUT, exact), "") << type;
    }
    // The same frames of sound in both M4As: a seek lands on the same sample of either.
    std::vector<int16_t> after_seek[2];
    for (int k = 0; k < 2; k++) {
        ASSERT_EQ(decoder_open(d, fixture_path(k ? "gapless_b.smpb.m4a" : "gapless_b.m4a").c_str()), 0);
        ASSERT_EQ(decoder_seek(d, 1), 0);
        decoder_play(d);
        after_seek[k] = play_out(d);
    }
    EXPECT_EQ(after_seek[1].size() / 2, 144000 - CUT - 48000);
    EXPECT_EQ(after_seek[1], after_seek[0]);
}
