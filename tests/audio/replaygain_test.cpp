// ReplayGain on files tagged by metaflac, vorbiscomment, wavpack, lame and ffmpeg: levels
// through the decoder against the same file played with ReplayGain off, the setting's file,
// and the setting from the "Audio" page to the sound card.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtk/gtk.h>
#include <portaudio.h>

#include "audio/audiooutput.h"
#include "audio/decoder.h"
#include "audio/replaygain.h"
#include "config/config.h"
#include "core/handle.h"
#include "support/harness.h"
#include "support/live_handle.h"

namespace {

constexpr double TOLERANCE_DB = 0.1;
constexpr tReplayGainSettings OFF{REPLAYGAIN_OFF, 0};

struct Decoder {
    tHandleDecoder *d = static_cast<tHandleDecoder *>(calloc(1, sizeof(tHandleDecoder)));
    Decoder() { EXPECT_EQ(decoder_init(d, nullptr), 0); }
    ~Decoder() {
        // Playing armed the decoder's timer on the main loop; a handle later in this process
        // runs that loop.
        if (d->timer != 0)
            g_source_remove(d->timer);
        decoder_open(d, nullptr);
        free(d);
    }

    bool playing() {
        int32_t state = 0;
        decoder_get_state(d, &state);
        return state == DECODER_PLAYING;
    }
    // Ticks on while playing, at most `ticks` times, collecting what is handed on.
    void tick(std::vector<int16_t> *pcm, int ticks = 100000) {
        for (int i = 0; i < ticks && playing(); i++) {
            decoder_tick(d);
            const int16_t *s = reinterpret_cast<const int16_t *>(d->chunk.samples);
            if (s != nullptr && d->chunk.bytes > 0)
                pcm->insert(pcm->end(), s, s + d->chunk.bytes / 2);
        }
    }
    std::vector<int16_t> play(const std::string &name, const tReplayGainSettings &settings) {
        decoder_set_replaygain(d, &settings);
        std::vector<int16_t> pcm;
        EXPECT_EQ(decoder_open(d, fixture_path(name).c_str()), 0) << name;
        decoder_seek(d, 0);
        decoder_play(d);
        tick(&pcm);
        return pcm;
    }
};

double rms(const std::vector<int16_t> &s, size_t from = 0, size_t to = SIZE_MAX) {
    double sum = 0;
    to = std::min(to, s.size());
    for (size_t i = from; i < to; i++)
        sum += static_cast<double>(s[i]) * s[i];
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0;
}

double ratio_db(double a, double b) { return 20.0 * std::log10(a / b); }

// The level of a file under a setting, in dB against the same file with ReplayGain off.
double level(Decoder &dec, const std::string &name, const tReplayGainSettings &settings) {
    const double off = rms(dec.play(name, OFF));
    return ratio_db(rms(dec.play(name, settings)), off);
}

struct Case {
    const char *file;
    int32_t mode;
    int32_t preamp;  // tenths of a dB
    double want_db;
};

void expect_levels(const std::vector<Case> &cases) {
    Decoder dec;
    for (const Case &c : cases)
        EXPECT_NEAR(level(dec, c.file, {c.mode, c.preamp}), c.want_db, TOLERANCE_DB)
            << c.file << " mode " << c.mode << " preamp " << c.preamp;
}

}  // namespace

// Every format's tags, by track and by album, where the album gain falls back to the track
// gain, and the preamp on top.
TEST(ReplayGain, TaggedFilesPlayAtTheirGain) {
    const double lame_gain = std::atof(read_file(fixture_path("rg_lame.gain")).c_str());
    ASSERT_NE(lame_gain, 0.0) << "the encoder stored no gain";
    expect_levels({
        {"rg_tags.flac", REPLAYGAIN_TRACK, 0, -6.0},
        {"rg_tags.flac", REPLAYGAIN_ALBUM, 0, -9.5},
        {"rg_tags.flac", REPLAYGAIN_TRACK, 30, -3.0},
        {"rg_tags.flac", REPLAYGAIN_ALBUM, -20, -11.5},
        // Lower-case keys, and no album gain.
        {"rg_trackonly.ogg", REPLAYGAIN_TRACK, 0, 4.5},
        {"rg_trackonly.ogg", REPLAYGAIN_ALBUM, 0, 4.5},
        {"rg_trackonly.ogg", REPLAYGAIN_ALBUM, 55, 10.0},
        {"rg.wv", REPLAYGAIN_ALBUM, 0, -6.0},
        {"rg.m4a", REPLAYGAIN_TRACK, 0, -6.0},
        {"rg.m4a", REPLAYGAIN_ALBUM, 0, -9.5},
        // MP3: ID3v2 TXXX frames in either case, and the encoder's own info tag.
        {"rg.mp3", REPLAYGAIN_TRACK, 0, -6.0},
        {"rg.mp3", REPLAYGAIN_ALBUM, 0, -9.5},
        {"rg.mp3", REPLAYGAIN_TRACK, 30, -3.0},
        {"rg_trackonly.mp3", REPLAYGAIN_ALBUM, 0, 4.5},
        {"rg_trackonly.mp3", REPLAYGAIN_ALBUM, -15, 3.0},
        // A gain of exactly 0 dB is a gain: the preamp applies.
        {"rg_zero.mp3", REPLAYGAIN_TRACK, 30, 3.0},
        {"rg_lame.mp3", REPLAYGAIN_TRACK, 0, lame_gain},
    });
}

// Gain and preamp together stop where the stored peak would reach full scale.
TEST(ReplayGain, StoredPeakPreventsClipping) {
    const double limit = -20.0 * std::log10(0.5);
    for (const char *file : {"rg_peak.flac", "rg_peak.mp3"}) {
        expect_levels({
            {file, REPLAYGAIN_TRACK, 0, limit},
            {file, REPLAYGAIN_ALBUM, 150, limit},
            {file, REPLAYGAIN_TRACK, -90, 3.0},
        });
        // The tone's real peak is half the stored one: nothing reaches full scale.
        Decoder dec;
        const std::vector<int16_t> pcm = dec.play(file, {REPLAYGAIN_TRACK, 150});
        ASSERT_FALSE(pcm.empty());
        int most = 0;
        for (int16_t v : pcm)
            most = std::max(most, std::abs(static_cast<int>(v)));
        EXPECT_LT(most, 32767 * 3 / 4) << file;
    }
}

// The header's output gain is FFmpeg's to apply; the R128 gains (against -23 LUFS) come on
// top with 5 dB to reach ReplayGain's level; a ReplayGain tag in an Opus file is not used.
TEST(ReplayGain, OpusR128GainsOnTopOfTheHeaderGain) {
    Decoder dec;
    EXPECT_NEAR(ratio_db(rms(dec.play("rg.opus", OFF)), rms(dec.play("rg_plain.opus", OFF))), -5.0, TOLERANCE_DB);
    expect_levels({
        {"rg.opus", REPLAYGAIN_TRACK, 0, -5.0},
        {"rg.opus", REPLAYGAIN_ALBUM, 0, -1.0},
        {"rg.opus", REPLAYGAIN_ALBUM, 20, 1.0},
    });
}

// Off, untagged or tagged with nonsense: the very samples of the reference decoders.
TEST(ReplayGain, OffUntaggedAndMalformedPlayUnchanged) {
    Decoder dec;
    auto reference = [](const std::string &name) {
        return name.ends_with(".mp3") ? decode_reference(fixture_path(name)).samples
                                      : decode_ffmpeg_reference(fixture_path(name), 2).samples;
    };
    for (const char *file : {"rg_tags.flac", "rg.mp3"})
        EXPECT_TRUE(dec.play(file, OFF) == reference(file)) << file;
    for (const char *file : {"rg_bad.flac", "rg_bad.mp3", "flac16.flac", "stereo44.mp3"}) {
        const std::vector<int16_t> want = reference(file);
        ASSERT_FALSE(want.empty()) << file;
        // libmpg123 alone would play rg_bad.mp3 in silence (its peak is "inf").
        for (const tReplayGainSettings s : {tReplayGainSettings{REPLAYGAIN_TRACK, 60}, tReplayGainSettings{REPLAYGAIN_ALBUM, -60}})
            EXPECT_TRUE(dec.play(file, s) == want) << file << " mode " << s.mode;
    }
}

// A change of the setting reaches the file that is playing.
TEST(ReplayGain, ChangeAppliesToThePlayingFile) {
    for (const char *file : {"rg_tags.flac", "rg.mp3"}) {
        Decoder dec;
        const std::vector<int16_t> off = dec.play(file, OFF);
        ASSERT_EQ(decoder_open(dec.d, fixture_path(file).c_str()), 0);
        decoder_play(dec.d);
        std::vector<int16_t> pcm;
        while (pcm.size() < off.size() / 2 && dec.playing())
            dec.tick(&pcm, 1);
        const size_t changed = pcm.size();
        const tReplayGainSettings track{REPLAYGAIN_TRACK, 0};
        decoder_set_replaygain(dec.d, &track);
        dec.tick(&pcm);
        ASSERT_EQ(pcm.size(), off.size()) << file;
        EXPECT_TRUE(std::equal(pcm.begin(), pcm.begin() + static_cast<long>(changed), off.begin())) << file;
        // A frame or two after the change may have been decoded already.
        const size_t from = changed + 8192;
        EXPECT_NEAR(ratio_db(rms(pcm, from), rms(off, from)), -6.0, TOLERANCE_DB) << file;
    }
}

TEST(ReplayGain, TagValuesAreReadStrictly) {
    double x = 0;
    for (const auto &[text, want] : std::vector<std::pair<const char *, double>>{
             {"-6.50 dB", -6.5}, {"+2.1", 2.1}, {" -6.5dB ", -6.5}, {"3 DB", 3.0}, {"-60 dB", -60.0}}) {
        EXPECT_TRUE(replaygain_parse_gain(text, &x)) << text;
        EXPECT_DOUBLE_EQ(x, want) << text;
    }
    for (const char *text : {"", "dB", "loud", "-3 dBFS", "-6,5 dB", "nan", "inf dB", "1e400", "+61 dB", "6.5 dB x"})
        EXPECT_FALSE(replaygain_parse_gain(text, &x)) << text;
    for (const char *text : {"0.988922", "1.2", " 0.5 "})
        EXPECT_TRUE(replaygain_parse_peak(text, &x)) << text;
    for (const char *text : {"0", "-0.5", "nan", "inf", "abc", "11", "0.5 dB"})
        EXPECT_FALSE(replaygain_parse_peak(text, &x)) << text;
}

// Hand-edited values are brought into range where they are read; what is stored reads back.
TEST(ReplayGain, SettingsFileRoundTrip) {
    TempDir dir("ravlox-rg-config");
    const std::string file = dir / "audiooutout.config";
    struct Edit {
        const char *text;
        int32_t mode, preamp;
    };
    for (const Edit &e : {Edit{"replaygain=Album\nreplaygain_preamp=-4.5 dB\n", REPLAYGAIN_ALBUM, -45},
                          Edit{"replaygain=loud\nreplaygain_preamp=40\n", REPLAYGAIN_OFF, 150},
                          Edit{"replaygain= track \nreplaygain_preamp=-1e9\n", REPLAYGAIN_TRACK, -150},
                          Edit{"replaygain=2\nreplaygain_preamp=abc\n", REPLAYGAIN_OFF, 0},
                          Edit{"volume=50\n", REPLAYGAIN_OFF, 0}}) {
        ASSERT_TRUE(write_file(file, e.text));
        tHandleConfig c{};
        config_open(&c, dir.path().c_str(), "audiooutout.config");
        tReplayGainSettings s{-1, -1};
        replaygain_load(&c, &s);
        EXPECT_EQ(s.mode, e.mode) << e.text;
        EXPECT_EQ(s.preamp, e.preamp) << e.text;
    }
    // The defaults were added to the file that lacked them.
    EXPECT_EQ(read_file(file), "volume=50\nreplaygain=off\nreplaygain_preamp=0.0\n");

    for (const tReplayGainSettings s : {tReplayGainSettings{REPLAYGAIN_ALBUM, -35}, tReplayGainSettings{REPLAYGAIN_OFF, -5},
                                        tReplayGainSettings{REPLAYGAIN_TRACK, 150}}) {
        tHandleConfig c{};
        config_open(&c, dir.path().c_str(), "audiooutout.config");
        ASSERT_EQ(replaygain_store(&c, &s), 0);
        tHandleConfig again{};
        config_open(&again, dir.path().c_str(), "audiooutout.config");
        tReplayGainSettings read{-1, -1};
        replaygain_load(&again, &read);
        EXPECT_EQ(read.mode, s.mode);
        EXPECT_EQ(read.preamp, s.preamp);
    }
    EXPECT_EQ(read_settings(file)["replaygain"], "track");
    EXPECT_EQ(read_settings(file)["replaygain_preamp"], "15.0");
}

namespace {

// The first and last frame that are not silent: the device plays silence around the sound.
std::vector<int16_t> sound_of(const std::vector<int16_t> &s, size_t from) {
    size_t first = from / 2 * 2;
    size_t last = s.size() / 2 * 2;
    while (first < last && s[first] == 0 && s[first + 1] == 0)
        first += 2;
    while (last > first && s[last - 2] == 0 && s[last - 1] == 0)
        last -= 2;
    return std::vector<int16_t>(s.begin() + static_cast<long>(first), s.begin() + static_cast<long>(last));
}

}  // namespace

// The real player: the page's setting, applied as the dialog applies it, stored in the
// audio output's file and heard from the sound card.
TEST(ReplayGain, PageSettingIsStoredAndHeard) {
    TempDir capture_dir("ravlox-rg-capture");
    const std::string capture = capture_dir / "capture.raw";
    ScopedEnv alsa("ALSA_CONFIG_PATH", alsa_config_path(AlsaConfig::FileAppend));
    ScopedEnv file("CAPTURE_FILE", capture);
    LiveHandle live;
    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    // PortAudio let go while the dialog is open would start a new capture file.
    __atomic_store_n(&h->audiooutput.portaudio.release_ms, INT32_MAX, __ATOMIC_RELEASE);
    const std::string config = live.data_dir() + "audiooutout.config";
    EXPECT_EQ(read_settings(config)["replaygain"], "off");
    EXPECT_EQ(read_settings(config)["replaygain_preamp"], "0.0");
    tReplayGainPage *page = &h->audiooutput.page.replaygain;
    ASSERT_NE(page->mode, nullptr);

    struct Step {
        const char *file;
        guint mode;
        double preamp;
        double want_db;
        const char *stored_mode, *stored_preamp;
    };
    for (const Step &step : {Step{"rg_tags.flac", REPLAYGAIN_TRACK, -3.0, -9.0, "track", "-3.0"},
                             Step{"rg.mp3", REPLAYGAIN_ALBUM, 0.5, -9.0, "album", "0.5"}}) {
        // The page shows the setting in force when the dialog opens.
        live.dispatch_int(EVENT_PREFERENCES, 1);
        live.pump(100);
        const tReplayGainSettings now = h->decoder.replaygain.settings;
        EXPECT_EQ(gtk_drop_down_get_selected(page->mode), static_cast<guint>(now.mode));
        EXPECT_DOUBLE_EQ(gtk_spin_button_get_value(page->preamp), now.preamp / 10.0);
        gtk_drop_down_set_selected(page->mode, step.mode);
        gtk_spin_button_set_value(page->preamp, step.preamp);
        live.dispatch(EVENT_PREFERENCES_APPLY);
        live.dispatch_int(EVENT_PREFERENCES, 0);
        EXPECT_EQ(read_settings(config)["replaygain"], step.stored_mode);
        EXPECT_EQ(read_settings(config)["replaygain_preamp"], step.stored_preamp);

        const size_t before = read_samples(capture).size();
        const std::string path = fixture_path(step.file);
        const char *p = path.c_str();
        live.dispatch(EVENT_OPEN_FILE, &p);
        live.dispatch(EVENT_PLAY);
        for (int t = 0; t < 20000 && live.decoder_state() != DECODER_ENDED; t += 10)
            live.pump(10);
        for (int t = 0; t < 10000 && audiooutput_queued(&h->audiooutput) > 0; t += 10)
            live.pump(10);
        live.pump(300);
        const std::vector<int16_t> heard = sound_of(read_samples(capture), before);
        const ReferencePcm ref = path.ends_with(".mp3") ? decode_reference(path) : decode_ffmpeg_reference(path, 2);
        ASSERT_GT(heard.size(), ref.samples.size() * 9 / 10) << step.file;
        EXPECT_NEAR(ratio_db(rms(heard), rms(ref.samples)), step.want_db, TOLERANCE_DB) << step.file;
    }
    live.dispatch(EVENT_STOP);
    portaudio_stop(&h->audiooutput.portaudio);
    while (Pa_Terminate() == paNoError) {
    }
}
