// Decoding and output end to end: a fully started handle in this process, real PortAudio
// playing into the file-backed ALSA device, compared with the reference decoding.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <glib.h>
#include <gtk/gtk.h>
#include <portaudio.h>

#include "audio/audiooutput.h"
#include "audio/decoder.h"
#include "audio/equalizer.h"
#include "core/handle.h"
#include "playlist/playlist.h"
#include "support/harness.h"
#include "support/live_handle.h"

// Starting a stream fails as often as a test asks; PortAudio's own call otherwise. Defined
// in this executable, it stands in for the library's function for the code under test.
std::atomic<int> start_failures{0};
extern "C" PaError Pa_StartStream(PaStream *stream) {
    using Start = PaError (*)(PaStream *);
    static const Start real = reinterpret_cast<Start>(dlsym(RTLD_NEXT, "Pa_StartStream"));
    if (start_failures.load() > 0) {
        start_failures--;
        return paUnanticipatedHostError;
    }
    return real ? real(stream) : paInternalError;
}

// Set by a test that wants to see PortAudio let go: each Pa_Terminate is said on stderr.
std::atomic<int> report_terminate{0};
extern "C" PaError Pa_Terminate(void) {
    using Terminate = PaError (*)();
    static const Terminate real = reinterpret_cast<Terminate>(dlsym(RTLD_NEXT, "Pa_Terminate"));
    if (report_terminate.load()) {
        const char line[] = "PortAudio terminated\n";
        if (write(2, line, sizeof line - 1) < 0) {
        }
    }
    return real ? real() : paInternalError;
}

// The wall clock as the code under test reads it, moved by as many seconds as a test asks (as
// when someone sets the clock); the kernel's own clocks go on unchanged.
std::atomic<long> wall_clock_shift{0};
extern "C" int clock_gettime(clockid_t clock, struct timespec *t) {
    using Get = int (*)(clockid_t, struct timespec *);
    static const Get real = reinterpret_cast<Get>(dlsym(RTLD_NEXT, "clock_gettime"));
    const int r = real ? real(clock, t) : -1;
    if (r == 0 && clock == CLOCK_REALTIME)
        t->tv_sec += wall_clock_shift.load();
    return r;
}

namespace {

constexpr size_t CHUNK = 64;  // frames per callback
constexpr size_t BUFFER_FRAMES = AUDIO_BUFFER_FRAMES;

// The callback plays silence wherever the ring runs dry (before the first frames, between
// tracks, after the last): drop every run of at least one callback of all-zero frames.
std::vector<int16_t> strip_silence(const std::vector<int16_t> &s) {
    std::vector<int16_t> out;
    size_t i = 0;
    const size_t frames = s.size() / 2;
    while (i < frames) {
        size_t j = i;
        while (j < frames && s[2 * j] == 0 && s[2 * j + 1] == 0)
            j++;
        if (j - i >= CHUNK) {
            i = j;
            continue;
        }
        if (j == i)
            j = i + 1;
        out.insert(out.end(), s.begin() + static_cast<long>(2 * i), s.begin() + static_cast<long>(2 * j));
        i = j;
    }
    return out;
}

// The sound of a capture or of a reference: silence around it and inside it dropped alike.
std::vector<int16_t> sound_only(const std::vector<int16_t> &s) {
    size_t first = 0;
    size_t last = s.size() / 2;
    while (first < last && s[2 * first] == 0 && s[2 * first + 1] == 0)
        first++;
    while (last > first && s[2 * last - 2] == 0 && s[2 * last - 1] == 0)
        last--;
    return strip_silence(std::vector<int16_t>(s.begin() + static_cast<long>(2 * first),
                                              s.begin() + static_cast<long>(2 * last)));
}


int16_t clamp16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767)); }

std::vector<int16_t> convert(const std::vector<int16_t> &s, int vol, int bal) {
    std::vector<int16_t> out(s.size());
    for (size_t i = 0; i + 1 < s.size(); i += 2) {
        const int64_t lv = s[i] * int64_t{vol} / 100, rv = s[i + 1] * int64_t{vol} / 100;
        int64_t l = lv, r = rv;
        if (bal > 0) {
            l = lv * (100 - bal) / 100;
            r = (100 * rv + bal * lv) / (100 + bal);
        } else if (bal < 0) {
            r = rv * (100 + bal) / 100;
            l = (100 * lv - bal * rv) / (100 - bal);
        }
        out[i] = clamp16(l);
        out[i + 1] = clamp16(r);
    }
    return out;
}

bool pump_until(LiveHandle &live, const std::function<bool()> &done, int timeout_ms) {
    for (int t = 0; t < timeout_ms; t += 10) {
        if (done())
            return true;
        live.pump(10);
    }
    return done();
}

void open_file(LiveHandle &live, const std::string &path) {
    const char *p = path.c_str();
    live.dispatch(EVENT_OPEN_FILE, &p);
}

// Plays a file from the start to its end (the decoder stays ENDED: empty playlist).
void play_to_end(LiveHandle &live, const std::string &path) {
    open_file(live, path);
    live.dispatch(EVENT_PLAY);
    ASSERT_TRUE(pump_until(live, [&] { return live.decoder_state() == DECODER_ENDED; }, 20000))
        << path << " did not end";
    // The callback plays out what is queued: every full buffer, the stage placed.
    tHandleAudioOutput *a = &live.get()->audiooutput;
    auto drained = [a] { return audiooutput_queued(a) == 0; };
    EXPECT_TRUE(pump_until(live, drained, 10000)) << "queued sound was never played";
    live.pump(20);
}

// A started program in this process whose default device writes into a capture file.
struct FileOutput {
    TempDir dir{"ravlox-capture"};
    std::string capture = dir / "capture.raw";
    ScopedEnv alsa;
    ScopedEnv file;
    explicit FileOutput(AlsaConfig config = AlsaConfig::File)
        : alsa("ALSA_CONFIG_PATH", alsa_config_path(config)), file("CAPTURE_FILE", capture) {}
    std::vector<int16_t> samples() const { return read_samples(capture); }
};

// The default device appends what each stream plays to a file named after its rate.
struct RateFiles {
    TempDir dir{"ravlox-rates"};
    ScopedEnv alsa{"ALSA_CONFIG_PATH", alsa_config_path(AlsaConfig::FileAppend)};
    ScopedEnv file{"CAPTURE_FILE", dir / "capture-%r.raw"};
    // Each new stream at a rate already heard goes to a file with a number appended.
    std::vector<int16_t> sound(int rate) const {
        const std::string name = "capture-" + std::to_string(rate) + ".raw";
        std::vector<int16_t> all;
        for (const std::string &f : files()) {
            if (f.rfind(name, 0) == 0) {
                const std::vector<int16_t> s = sound_only(read_samples(dir / f));
                all.insert(all.end(), s.begin(), s.end());
            }
        }
        return all;
    }
    std::vector<std::string> files() const { return list_dir(dir.path()); }
};

// Leaves no stream and no playing decoder behind, and PortAudio fully terminated, so the
// next test in this process starts PortAudio afresh with its own configuration.
struct Quiet {
    LiveHandle &live;
    explicit Quiet(LiveHandle &l) : live(l) {}
    ~Quiet() {
        if (!live.ok())
            return;
        live.dispatch(EVENT_STOP);
        portaudio_stop(&live.get()->audiooutput.portaudio);
        while (Pa_Terminate() == paNoError) {
        }
    }
};

// Tests that count streams or compare what one stream wrote into its capture file: PortAudio
// is not let go while they look at the files (a stream that comes back starts a new one).
void keep_output(LiveHandle &live) {
    __atomic_store_n(&live.get()->audiooutput.portaudio.release_ms, INT32_MAX, __ATOMIC_RELEASE);
}

void add_entry(tHandle *h, const std::string &path) {
    tSongInfo s{};
    snprintf(s.path, sizeof(s.path), "%s", path.c_str());
    playlist_add(&h->playlist, &s);
}

}  // namespace

TEST(AudioOutput, PlaysTheLibrarysSamplesBitExact) {
    FileOutput out;
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    keep_output(live);
    for (const char *name : {"stereo44.mp3", "mono22.mp3", "stereo48.mp3"}) {
        const ReferencePcm ref = decode_reference(fixture_path(name));
        ASSERT_TRUE(ref.ok) << name;
        play_to_end(live, fixture_path(name));
        live.dispatch(EVENT_STOP);
        // Each file changes the format: a new stream, which starts a new capture file.
        const std::vector<int16_t> heard = strip_silence(out.samples());
        const std::vector<int16_t> want = as_stereo(ref);
        ASSERT_EQ(heard.size(), want.size()) << name;
        size_t diff = 0;
        while (diff < want.size() && heard[diff] == want[diff])
            diff++;
        EXPECT_EQ(diff, want.size()) << name << ": samples differ from value " << diff;
        double rate = 0;
        ASSERT_NE(portaudio_current_stream(&live.get()->audiooutput.portaudio, &rate), nullptr);
        EXPECT_EQ(rate, ref.rate) << name;
    }
}

// Packets bigger than the ring's free room (FLAC's 4096 frames, 192 kHz) are held and handed
// on over the following ticks: nothing is lost, repeated or reordered on the way.
TEST(AudioOutput, OtherFormatsPlayBitExactThroughTheRing) {
    if (!missing_program({"ffmpeg", "ffprobe"}).empty())
        GTEST_SKIP() << "ffmpeg missing";
    FileOutput out;
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    keep_output(live);
    tHandleDecoder *d = &live.get()->decoder;
    for (const char *name : {"flac16.flac", "wav51.wav", "flacmono.flac", "wav192.wav"}) {
        const bool mono = strcmp(name, "flacmono.flac") == 0;
        ReferencePcm ref = decode_ffmpeg_reference(fixture_path(name), mono ? 1 : 2);
        ASSERT_TRUE(ref.ok) << name;
        open_file(live, fixture_path(name));
        live.dispatch(EVENT_PLAY);
        bool held = false;
        ASSERT_TRUE(pump_until(live, [&] {
            held = held || d->piece_held;
            return live.decoder_state() == DECODER_ENDED;
        }, 20000)) << name;
        tHandleAudioOutput *a = &live.get()->audiooutput;
        EXPECT_TRUE(pump_until(live, [a] { return audiooutput_queued(a) == 0; }, 10000)) << name;
        live.pump(20);
        live.dispatch(EVENT_STOP);
        EXPECT_TRUE(held || strcmp(name, "flacmono.flac") == 0) << name << ": no piece ever waited for room";
        // Each file changes the format: a new stream, which starts a new capture file. Where
        // both tones cross zero together the silent frame may join a gap in the capture, so
        // silent frames are left out on both sides.
        const std::vector<int16_t> heard = audible_frames(out.samples());
        const std::vector<int16_t> want = audible_frames(as_stereo(ref));
        size_t same = 0;
        while (same < heard.size() && same < want.size() && heard[same] == want[same])
            same++;
        EXPECT_EQ(same, want.size()) << name << ": the first " << same << " values agree, of " << heard.size();
        EXPECT_EQ(heard.size(), want.size()) << name;
    }
}

TEST(AudioOutput, VolumeAndBalanceOnRealOutput) {
    FileOutput out;
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    keep_output(live);
    const ReferencePcm ref = decode_reference(fixture_path("stereo44.mp3"));
    ASSERT_TRUE(ref.ok);
    struct Case {
        int volume, balance;
    };
    for (const Case c : {Case{50, 0}, Case{100, 100}, Case{100, -100}, Case{200, 0}}) {
        live.dispatch_int(EVENT_VOLUME, c.volume);
        live.dispatch_int(EVENT_BALANCE, c.balance);
        const size_t before = out.samples().size();
        play_to_end(live, fixture_path("stereo44.mp3"));
        live.dispatch(EVENT_STOP);
        const std::vector<int16_t> all = out.samples();
        const std::vector<int16_t> heard =
            strip_silence(std::vector<int16_t>(all.begin() + static_cast<long>(before), all.end()));
        const std::vector<int16_t> want = convert(ref.samples, c.volume, c.balance);
        ASSERT_EQ(heard.size(), want.size()) << "volume " << c.volume << " balance " << c.balance;
        EXPECT_TRUE(heard == want) << "volume " << c.volume << " balance " << c.balance;
    }
    // Both settings went to the module's file.
    const std::string config = read_file(live.data_dir() + "audiooutout.config");
    EXPECT_NE(config.find("volume=200"), std::string::npos) << config;
    EXPECT_NE(config.find("balance=0"), std::string::npos) << config;
}

// Values from a hand-edited file are brought into range before they reach the sound.
TEST(AudioOutput, HandEditedVolumeAndBalanceAreClamped) {
    Xvfb x;
    ASSERT_TRUE(x.ok());
    TempDir dir("ravlox-clamp");
    struct Case {
        const char *file, *volume, *balance;
    };
    for (const Case c : {Case{"volume=-100\nbalance=400\n", "0", "100"},
                         Case{"volume=400\nbalance=-250\n", "100", "-100"}}) {
        const std::string data = dir / ("data" + std::string(c.volume));
        ASSERT_EQ(mkdir(data.c_str(), 0700), 0);
        ASSERT_TRUE(write_file(data + "/audiooutout.config", c.file));
        ProgramOptions o;
        o.data_dir = data;
        o.display = x.display();
        ProgramProcess p(o);
        EXPECT_TRUE(wait_until([&] {
            auto s = read_settings(data + "/audiooutout.config");
            return s["volume"] == c.volume && s["balance"] == c.balance;
        })) << c.file << read_file(data + "/audiooutout.config");
        p.stop();
    }
}

TEST(AudioOutput, SameFormatKeepsTheStreamAndANewRateReopensIt) {
    FileOutput out;
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    keep_output(live);
    tHandle *h = live.get();
    tPortaudioOutput *p = &h->audiooutput.portaudio;
    const std::vector<int16_t> a = as_stereo(decode_reference(fixture_path("stereo44.mp3")));
    const std::vector<int16_t> b = as_stereo(decode_reference(fixture_path("len10_9.mp3")));
    // Two 44.1 kHz entries: the end of the first opens the second, into the same stream.
    add_entry(h, fixture_path("stereo44.mp3"));
    add_entry(h, fixture_path("len10_9.mp3"));
    playlist_set_current(&h->playlist, 0);
    open_file(live, fixture_path("stereo44.mp3"));
    live.dispatch(EVENT_PLAY);
    double rate = 0;
    pump_until(live, [&] { return portaudio_current_stream(p, &rate) != nullptr; }, 2000);
    void *first_stream = portaudio_current_stream(p, &rate);
    ASSERT_TRUE(pump_until(live, [&] { return h->decoder.song.rate == 44100 && std::string(h->decoder.song.path).find("len10_9") != std::string::npos && h->decoder.song.position >= 2; }, 20000));
    live.dispatch(EVENT_PAUSE);
    EXPECT_EQ(portaudio_current_stream(p, &rate), first_stream) << "the stream was reopened between tracks of one format";
    std::vector<int16_t> ab = a;
    ab.insert(ab.end(), b.begin(), b.end());
    const std::vector<int16_t> heard = strip_silence(out.samples());
    ASSERT_GT(heard.size(), a.size() + 2 * 44100);
    EXPECT_TRUE(std::equal(heard.begin(), heard.end(), ab.begin()))
        << "the second track does not follow the first without a gap";

    // Then a 48 kHz file: a new stream at the new rate (the capture file starts over).
    playlist_clear(&h->playlist);
    live.dispatch(EVENT_STOP);
    const std::vector<int16_t> c = as_stereo(decode_reference(fixture_path("stereo48.mp3")));
    play_to_end(live, fixture_path("stereo48.mp3"));
    ASSERT_NE(portaudio_current_stream(p, &rate), nullptr);
    EXPECT_EQ(rate, 48000.0);
    const std::vector<int16_t> heard48 = strip_silence(out.samples());
    const std::vector<int16_t> want48 = c;
    ASSERT_EQ(heard48.size(), want48.size());
    EXPECT_TRUE(heard48 == want48);
}

TEST(AudioOutput, PauseAndStopDiscardWhatIsQueued) {
    FileOutput out;
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    keep_output(live);
    tHandle *h = live.get();
    // The chirp never repeats, so every stretch of it is found in one place only.
    const std::vector<int16_t> ref = decode_reference(fixture_path("stereo44.mp3")).samples;
    open_file(live, fixture_path("stereo44.mp3"));
    live.dispatch(EVENT_PLAY);
    ASSERT_TRUE(pump_until(live, [&] { return h->decoder.song.position >= 1; }, 20000));
    live.dispatch(EVENT_PAUSE);
    EXPECT_EQ(live.status(), STATUS_PAUSED);
    live.pump(100);
    const size_t at_pause = strip_silence(out.samples()).size();
    live.pump(300);
    EXPECT_EQ(strip_silence(out.samples()).size(), at_pause) << "queued sound played after the pause";
    // The stream goes idle: it stops, the capture stops growing.
    EXPECT_TRUE(pump_until(live, [&] { return h->audiooutput.portaudio.idle_stopped != 0; }, 2000));
    const long long idle_size = file_size(out.capture);
    live.pump(200);
    EXPECT_EQ(file_size(out.capture), idle_size) << "an idle stream keeps playing silence";

    // Play resumes where decoding stood, in order, in whole buffers.
    const int32_t resumed_at = h->decoder.song.position;
    live.dispatch(EVENT_PLAY);
    ASSERT_TRUE(pump_until(live, [&] { return h->decoder.song.position >= resumed_at + 1; }, 20000));
    live.dispatch(EVENT_STOP);
    EXPECT_EQ(live.status(), STATUS_STOPPED);
    EXPECT_EQ(h->decoder.song.position, 0);
    live.pump(300);
    const std::vector<int16_t> heard = strip_silence(out.samples());
    ASSERT_GT(heard.size(), at_pause + 2 * BUFFER_FRAMES * 2);
    // Before the pause: the start of the track. After it: a later stretch, contiguous.
    EXPECT_TRUE(std::equal(heard.begin(), heard.begin() + static_cast<long>(at_pause), ref.begin()));
    const std::vector<int16_t> after(heard.begin() + static_cast<long>(at_pause), heard.end());
    const std::optional<size_t> where = find_samples(ref, std::vector<int16_t>(after.begin(), after.begin() + 2 * 256));
    ASSERT_TRUE(where.has_value()) << "what played after the pause is not from the track";
    EXPECT_GT(*where, at_pause) << "sound repeated after resuming";
    EXPECT_TRUE(std::equal(after.begin(), after.end(), ref.begin() + static_cast<long>(*where)));

    // Stop rewound the track: playing again starts at its first sample.
    const size_t at_stop = heard.size();
    live.dispatch(EVENT_PLAY);
    ASSERT_TRUE(pump_until(live, [&] { return h->decoder.song.position >= 1; }, 20000));
    live.dispatch(EVENT_PAUSE);
    live.pump(100);
    const std::vector<int16_t> again = strip_silence(out.samples());
    ASSERT_GT(again.size(), at_stop + 2 * BUFFER_FRAMES * 2);
    EXPECT_TRUE(std::equal(again.begin() + static_cast<long>(at_stop), again.end(), ref.begin()));
}

// With no usable device (the default here) a track plays through in real time, its frames
// dropped; the end of the track is handled once.
TEST(AudioOutput, NoDeviceEndOfTrackHandsOnTheLastFrameThenGoesQuiet) {
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    const ReferencePcm ref = decode_reference(fixture_path("stereo44.mp3"));
    const gint64 t0 = g_get_monotonic_time();
    testing::internal::CaptureStdout();
    play_to_end(live, fixture_path("stereo44.mp3"));
    const std::string printed = testing::internal::GetCapturedStdout();
    // The 3 s track takes its time although nothing plays it, and one failed opening is
    // said, not one per frame.
    const gint64 took = g_get_monotonic_time() - t0;
    EXPECT_GT(took, 2800 * 1000) << "without a stream the track raced through";
    EXPECT_LT(took, 10 * 1000000);
    double rate = 0;
    EXPECT_EQ(portaudio_current_stream(&h->audiooutput.portaudio, &rate), nullptr);
    EXPECT_GT(h->audiooutput.portaudio.dropped_frames, 100000);
    EXPECT_LE(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
    EXPECT_EQ(live.status(), STATUS_TRACK_ENDED);
    EXPECT_EQ(live.decoder_state(), DECODER_ENDED);
    // The tap's newest values are the track's last samples: the final frame was handed on.
    std::vector<int16_t> tap(512);
    handle_read_tap(h, tap.data(), 512);
    EXPECT_TRUE(std::equal(tap.begin(), tap.end(), ref.samples.end() - 512));
    // Nothing could follow: no event per tick any more.
    const int32_t tap_pos = h->tap_pos;
    live.pump(200);
    EXPECT_EQ(h->tap_pos, tap_pos);
    EXPECT_EQ(live.status(), STATUS_TRACK_ENDED);

    // A failed open while playing hands on nothing and prints no format.
    open_file(live, fixture_path("stereo44.mp3"));
    live.dispatch(EVENT_PLAY);
    live.pump(100);
    testing::internal::CaptureStdout();
    open_file(live, "/nonexistent/track.mp3");
    const int32_t tap_at_fail = h->tap_pos;
    live.pump(200);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(live.decoder_state(), DECODER_IDLE);
    EXPECT_EQ(h->tap_pos, tap_at_fail);
    EXPECT_EQ(live.status(), STATUS_NONE);
}

// Quit while playing: the stream is closed and PortAudio let go before the process ends;
// with a device that holds the helper, the program still ends within a bound.
TEST(AudioOutputDeathTest, QuitClosesTheOutputFirst) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            FileOutput out;
            LiveHandle live;
            if (!live.ok())
                exit(3);
            open_file(live, fixture_path("stereo44.mp3"));
            live.dispatch(EVENT_PLAY);
            pump_until(live, [&] { return live.get()->decoder.song.position >= 1; }, 20000);
            report_terminate = 1;
            live.dispatch(EVENT_QUIT);
        },
        testing::ExitedWithCode(0), "PortAudio terminated");
}

// A sink that stops taking sound: the file plugin writes into a pipe nobody reads.
TEST(AudioOutput, StalledDeviceDoesNotFreezeTheMainLoop) {
    TempDir dir("ravlox-stall");
    const std::string fifo = dir / "sink.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    signal(SIGPIPE, SIG_IGN);  // the pipe's reader goes before the program's writer
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // held open, never read
    ASSERT_GE(reader, 0);
    const std::string conf = dir / "stall.conf";
    ASSERT_TRUE(write_file(conf, "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" + fifo +
                                     "\"\n  format \"raw\"\n}\npcm.null { type null }\n"));
    ScopedEnv alsa("ALSA_CONFIG_PATH", conf);
    LiveHandle live;
    // No teardown: the helper stays stuck on the device until the process ends.

    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    open_file(live, fixture_path("len10_9.mp3"));
    live.dispatch(EVENT_PLAY);
    // Count how often a 10 ms timer gets to run while the device hangs.
    int beats = 0;
    const guint timer = g_timeout_add(10, [](gpointer n) -> gboolean { ++*static_cast<int *>(n); return TRUE; }, &beats);
    const gint64 start = g_get_monotonic_time();
    live.pump(1500);
    const double seconds = static_cast<double>(g_get_monotonic_time() - start) / 1e6;
    EXPECT_GT(beats, 60) << "the main loop stalled (" << seconds << " s)";
    // The device stopped taking sound long before the track's end (a pipe holds 64 kB).
    EXPECT_LT(h->decoder.song.position, 8);
    // The device that takes no more sound is given up within a bound, said once, and the
    // window shows that playing paused.
    testing::internal::CaptureStdout();
    EXPECT_TRUE(pump_until(live, [&] { return live.decoder_state() != DECODER_PLAYING; }, 5000))
        << "waited for the stalled device for ever";
    live.pump(300);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "Audio output lost: the device stopped playing.\n");
    EXPECT_EQ(live.status(), STATUS_PAUSED);
    // Pause, stop and another format answer at once.
    gint64 t0 = g_get_monotonic_time();
    live.dispatch(EVENT_PAUSE);
    live.dispatch(EVENT_STOP);
    EXPECT_LT(g_get_monotonic_time() - t0, 100000);
    t0 = g_get_monotonic_time();
    open_file(live, fixture_path("stereo48.mp3"));
    live.dispatch(EVENT_PLAY);
    live.pump(300);
    EXPECT_LT(g_get_monotonic_time() - t0, 1500000);
    beats = 0;
    live.pump(500);
    EXPECT_GT(beats, 20);
    g_source_remove(timer);
    live.dispatch(EVENT_PAUSE);
    (void)reader;  // kept open: the stalled writer must not see the pipe close
}

TEST(AudioOutput, DeviceOption) {
    tHandleAudioOutput *a = static_cast<tHandleAudioOutput *>(calloc(1, sizeof(tHandleAudioOutput)));
    audiooutput_init(a, nullptr);
    testing::internal::CaptureStdout();
    EXPECT_EQ(audiooutput_parse_option(a, "--audiooutput.portaudio.device=3"), 0);
    EXPECT_EQ(a->portaudio.device, 3);
    EXPECT_EQ(audiooutput_parse_option(a, "--audiooutput.portaudio.device=abc"), 0);
    EXPECT_EQ(a->portaudio.device, 0);
    EXPECT_EQ(audiooutput_parse_option(a, "--audiooutput.portaudio.device="), -2);
    EXPECT_EQ(audiooutput_parse_option(a, "--audiooutput.portaudio.devices=1"), -2);
    EXPECT_EQ(audiooutput_parse_option(a, "--audiooutput.portaudio.x"), -2);
    EXPECT_EQ(audiooutput_parse_option(a, "--audiooutput.other=1"), -2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    free(a->portaudio.params);
    free(a);
}

// The real program lists the devices of the file-backed configuration and ends.
TEST(AudioOutput, DeviceListingFromTheProgram) {
    Xvfb x;
    ASSERT_TRUE(x.ok());
    ProgramOptions o;
    o.args = {"--audiooutput.portaudio.device=?"};
    o.alsa = AlsaConfig::TwoFiles;
    o.display = x.display();
    TempDir data("ravlox-list");
    o.data_dir = fresh_data_dir(data);
    const ProgramResult r = run_program(o);
    EXPECT_TRUE(r.exited_with(0)) << r;
    EXPECT_NE(r.out.find("Available portaudio devices:\n"
                         "    -1> DEFAULT DEVICE\n"
                         "     0> ravlox_a\n"
                         "     1> ravlox_b\n"
                         "     2> default (default device)\n"),
              std::string::npos)
        << r.out;

    o.alsa = AlsaConfig::NoDevice;
    const ProgramResult none = run_program(o);
    EXPECT_TRUE(none.exited_with(0)) << none;
    EXPECT_NE(none.out.find("Available portaudio devices:\n    -1> DEFAULT DEVICE\n"), std::string::npos) << none.out;
    EXPECT_EQ(none.out.find("     0> "), std::string::npos) << none.out;
}

// A device paced in real time: once the track's first frame was heard, no buffer is
// played as silence until its last one. The ring stays full, so the decoder's tick is off
// while there is no room for a frame, and the playing side turns it on again in time.
TEST(AudioOutput, PacedDeviceHearsNoSilenceInsideATrack) {
    JackServer jack(44100, 64);
    if (!jack.ok())
        GTEST_SKIP() << "no JACK server: " << jack.log();
    ScopedEnv server("JACK_DEFAULT_SERVER", jack.name());
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    tPortaudioOutput *p = &h->audiooutput.portaudio;
    const ReferencePcm ref = decode_reference(fixture_path("stereo44.mp3"));
    open_file(live, fixture_path("stereo44.mp3"));
    live.dispatch(EVENT_PLAY);
    int asleep = 0;
    int woken = 0;
    bool was_asleep = false;
    ASSERT_TRUE(pump_until(live, [&] {
        const bool playing = live.decoder_state() == DECODER_PLAYING;
        const bool sleeping = playing && h->decoder.timer == 0;
        asleep += sleeping;
        woken += was_asleep && h->decoder.timer != 0;
        was_asleep = sleeping;
        return !playing;
    }, 20000));
    EXPECT_GT(asleep, 10) << "the tick ran on while the ring was full";
    EXPECT_GT(woken, 10) << "the tick was not woken";
    ASSERT_TRUE(pump_until(live, [&] { return audiooutput_queued(&h->audiooutput) == 0; }, 10000));
    live.pump(20);
    double rate = 0;
    ASSERT_NE(portaudio_current_stream(p, &rate), nullptr) << "PortAudio did not open the JACK device";
    EXPECT_EQ(rate, 44100.0);
    EXPECT_EQ(__atomic_load_n(&p->played_frames, __ATOMIC_ACQUIRE),
              static_cast<int64_t>((ref.frames() + BUFFER_FRAMES - 1) / BUFFER_FRAMES * BUFFER_FRAMES))
        << "the track's last buffer, padded with silence, is played too";
    EXPECT_EQ(__atomic_load_n(&p->gap_frames, __ATOMIC_ACQUIRE), 0) << "silence between the track's frames";
}

size_t count_of(const std::string &text, const std::string &line) {
    size_t n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
        n++;
    return n;
}

// The sound server of the chosen device stops while a track plays: the player notices,
// says so once and pauses where it was; the next Play goes on from there on the default
// device. PortAudio cannot let go of the dead server's client, so nothing tears it down.
TEST(AudioOutput, StoppedSoundServerIsNoticedAndPlayGoesOnOnTheDefaultDevice) {
    std::optional<JackServer> jack(std::in_place, 44100, 64);
    if (!jack->ok())
        GTEST_SKIP() << "no JACK server: " << jack->log();
    ScopedEnv server("JACK_DEFAULT_SERVER", jack->name());
    FileOutput out;
    LiveHandle live;
    ASSERT_TRUE(live.ok());
    keep_output(live);
    tHandle *h = live.get();
    tPortaudioOutput *p = &h->audiooutput.portaudio;
    tPortaudioDeviceList list{};
    portaudio_list_devices(p, &list);
    int32_t on_server = -1;
    for (int k = 1; k < list.count; k++)
        if (strcmp(list.name[k], "system") == 0)
            on_server = list.device[k];
    ASSERT_GE(on_server, 0) << "the server's device is not listed";
    ASSERT_EQ(portaudio_select_device(p, on_server), 0);
    auto played = [p] { return __atomic_load_n(&p->played_frames, __ATOMIC_ACQUIRE); };
    open_file(live, fixture_path("len10_9.mp3"));
    live.dispatch(EVENT_PLAY);
    ASSERT_TRUE(pump_until(live, [&] { return h->decoder.song.position >= 1; }, 20000));
    EXPECT_TRUE(strip_silence(out.samples()).empty()) << "played on the default device, not the server";

    testing::internal::CaptureStdout();
    jack.reset();
    EXPECT_TRUE(pump_until(live, [&] { return live.decoder_state() != DECODER_PLAYING; }, 6000))
        << "the stopped server was never noticed";
    EXPECT_EQ(live.decoder_state(), DECODER_READY);
    EXPECT_EQ(live.status(), STATUS_PAUSED);
    const int32_t paused_at = h->decoder.song.position;
    EXPECT_LT(paused_at, 5);
    live.pump(500);
    EXPECT_EQ(h->decoder.song.position, paused_at) << "played on into nothing";

    const int64_t before = played();
    live.dispatch(EVENT_PLAY);
    EXPECT_TRUE(pump_until(live, [&] { return h->decoder.song.position >= paused_at + 1; }, 10000));
    EXPECT_TRUE(pump_until(live, [&] { return played() > before + 44100; }, 5000)) << "Play did not reopen the output";
    live.dispatch(EVENT_PAUSE);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(count_of(printed, "Audio output lost"), 1u) << printed;
    EXPECT_EQ(count_of(printed, "Unable to open audio"), 0u) << printed;
    // What played after the loss is the track from about where it paused.
    const std::vector<int16_t> ref = decode_reference(fixture_path("len10_9.mp3")).samples;
    const std::vector<int16_t> heard = strip_silence(out.samples());
    ASSERT_GT(heard.size(), 2 * 44100u);
    const std::optional<size_t> where = find_samples(ref, std::vector<int16_t>(heard.begin(), heard.begin() + 512));
    ASSERT_TRUE(where.has_value()) << "the default device did not play the track";
    EXPECT_NEAR(static_cast<double>(*where) / 2 / 44100, paused_at, 1.5);
    live.dispatch(EVENT_STOP);
}

// Standard error into a file while it lives (the sound libraries write there from any
// thread); handed on to the real one at the end, so that nothing is lost.
struct StderrFile {
    TempDir dir{"ravlox-stderr"};
    int saved = dup(2);
    StderrFile() {
        fflush(stderr);
        const int fd = open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        close(fd);
    }
    ~StderrFile() {
        fflush(stderr);
        dup2(saved, 2);
        close(saved);
        fputs(text().c_str(), stderr);
    }
    std::string text() const { return read_file(dir / "err"); }
    size_t count(const std::string &line) const {
        size_t n = 0;
        const std::string t = text();
        for (size_t at = t.find(line); at != std::string::npos; at = t.find(line, at + 1))
            n++;
        return n;
    }
};

// Nothing to play for a while: PortAudio is let go (the output holds no device and no
// sound server client), and the next Play brings it back and goes on where it paused,
// without repeating on standard error what start-up said about a missing sound server.
TEST(AudioOutput, IdleOutputIsLetGoAndPlayBringsItBack) {
    FileOutput out(AlsaConfig::FileAppend);
    StderrFile err;
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    tPortaudioOutput *p = &h->audiooutput.portaudio;
    __atomic_store_n(&p->release_ms, 300, __ATOMIC_RELEASE);
    auto released = [p] { return __atomic_load_n(&p->released_count, __ATOMIC_ACQUIRE); };
    double rate = 0;
    // Started with nothing to play.
    ASSERT_TRUE(pump_until(live, [&] { return released() == 1; }, 3000));
    const std::string no_server = "server is not running";
    const size_t said_at_start = err.count(no_server);
    EXPECT_EQ(portaudio_current_stream(p, &rate), nullptr);

    const std::vector<int16_t> ref = decode_reference(fixture_path("stereo44.mp3")).samples;
    open_file(live, fixture_path("stereo44.mp3"));
    live.dispatch(EVENT_PLAY);
    ASSERT_TRUE(pump_until(live, [&] { return h->decoder.song.position >= 1; }, 20000));
    EXPECT_NE(portaudio_current_stream(p, &rate), nullptr);
    EXPECT_EQ(rate, 44100.0);
    EXPECT_EQ(released(), 1) << "let go while playing";
    live.dispatch(EVENT_PAUSE);
    ASSERT_TRUE(pump_until(live, [&] { return released() == 2; }, 5000));
    EXPECT_EQ(portaudio_current_stream(p, &rate), nullptr);
    const size_t before = strip_silence(out.samples()).size();
    ASSERT_GT(before, 0u);

    const int32_t resumed_at = h->decoder.song.position;
    live.dispatch(EVENT_PLAY);
    ASSERT_TRUE(pump_until(live, [&] { return h->decoder.song.position >= resumed_at + 1; }, 20000));
    EXPECT_NE(portaudio_current_stream(p, &rate), nullptr);
    live.dispatch(EVENT_STOP);
    live.pump(300);
    EXPECT_EQ(err.count(no_server), said_at_start) << "said again each time PortAudio came back";
    // The stream that came back writes a file of its own: a later stretch of the track, whole.
    const std::vector<std::string> files = list_dir(out.dir.path());
    ASSERT_EQ(files, (std::vector<std::string>{"capture.raw", "capture.raw.0001"}));
    const std::vector<int16_t> after = strip_silence(read_samples(out.dir / files[1]));
    ASSERT_GT(after.size(), 2 * BUFFER_FRAMES * 2);
    const std::optional<size_t> where = find_samples(ref, std::vector<int16_t>(after.begin(), after.begin() + 2 * 256));
    ASSERT_TRUE(where.has_value()) << "what played after coming back is not from the track";
    EXPECT_GE(*where, before) << "sound repeated after coming back";
    EXPECT_TRUE(std::equal(after.begin(), after.end(), ref.begin() + static_cast<long>(*where)));
}

// A machine without a sound card, as the system's sound configuration describes it: what
// the sound library says about the missing card is said at the first start only, and the
// failure to open a stream once, however often Play tries again after an idle release.
TEST(AudioOutput, NoSoundCardIsSaidOncePerRun) {
    if (!path_exists("/usr/share/alsa/alsa.conf"))
        GTEST_SKIP() << "no system sound configuration";
    ScopedEnv alsa("ALSA_CONFIG_PATH", "/usr/share/alsa/alsa.conf");
    StderrFile err;
    testing::internal::CaptureStdout();
    LiveHandle live;
    Quiet quiet(live);
    tPortaudioOutput *p = &live.get()->audiooutput.portaudio;
    __atomic_store_n(&p->release_ms, 200, __ATOMIC_RELEASE);
    auto released = [p] { return __atomic_load_n(&p->released_count, __ATOMIC_ACQUIRE); };
    const bool started = live.ok() && pump_until(live, [&] { return released() == 1; }, 3000);
    const size_t said_at_start = err.count("ALSA lib ");
    int rounds = 0;
    for (int round = 2; started && round <= 4; round++) {
        // Another format each round: each tries to open a stream afresh.
        open_file(live, fixture_path(round % 2 ? "stereo44.mp3" : "mono22.mp3"));
        live.dispatch(EVENT_PLAY);
        live.pump(300);
        live.dispatch(EVENT_STOP);
        if (!pump_until(live, [&] { return released() == round; }, 3000))
            break;
        rounds++;
    }
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(started) << printed;
    EXPECT_EQ(rounds, 3) << "PortAudio was not let go after each round";
    EXPECT_EQ(err.count("ALSA lib "), said_at_start) << "said again each time PortAudio started";
    size_t failures = 0;
    for (size_t at = printed.find("Unable to open audio"); at != std::string::npos;
         at = printed.find("Unable to open audio", at + 1))
        failures++;
    EXPECT_EQ(failures, 1u) << printed;
}

// The "Audio" page with two file sinks besides the default one: the default device comes
// first, and applying another entry sends the following sound into that device.
TEST(AudioOutput, PageListsDevicesAndAppliesTheChoice) {
    TempDir dir("ravlox-page");
    ScopedEnv alsa("ALSA_CONFIG_PATH", alsa_config_path(AlsaConfig::TwoFiles));
    ScopedEnv f("CAPTURE_FILE", dir / "default.raw");
    ScopedEnv fa("CAPTURE_FILE_A", dir / "a.raw");
    ScopedEnv fb("CAPTURE_FILE_B", dir / "b.raw");
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    tHandleAudioOutput *a = &live.get()->audiooutput;
    ASSERT_NE(a->page.dropdown, nullptr);
    EXPECT_EQ(a->portaudio.device, 2) << "the default device's real index";
    audiooutput_page_open(a);
    GListModel *model = G_LIST_MODEL(a->page.model);
    ASSERT_EQ(g_list_model_get_n_items(model), 3u);
    EXPECT_STREQ(gtk_string_list_get_string(a->page.model, 0), "default");
    EXPECT_STREQ(gtk_string_list_get_string(a->page.model, 1), "ravlox_a");
    EXPECT_STREQ(gtk_string_list_get_string(a->page.model, 2), "ravlox_b");
    EXPECT_EQ(gtk_drop_down_get_selected(a->page.dropdown), 0u);

    // Applying the current entry re-initialises nothing.
    testing::internal::CaptureStdout();
    audiooutput_page_apply(a);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "entry  0 ->   2 [default]\n");

    gtk_drop_down_set_selected(a->page.dropdown, 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(audiooutput_page_apply(a), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "entry  1 ->   0 [ravlox_a]\n");
    EXPECT_EQ(a->portaudio.device, 0);
    play_to_end(live, fixture_path("stereo44.mp3"));
    const std::vector<int16_t> want = decode_reference(fixture_path("stereo44.mp3")).samples;
    EXPECT_TRUE(strip_silence(read_samples(dir / "a.raw")) == want) << "the sound did not go to ravlox_a";
    EXPECT_TRUE(strip_silence(read_samples(dir / "default.raw")).empty());
    // Reopening the page selects the device now in use.
    audiooutput_page_open(a);
    EXPECT_EQ(gtk_drop_down_get_selected(a->page.dropdown), 1u);
}

// File sinks named in `names`, in that order, then the default one: each writes into the
// file its variable names (CAPTURE_FILE_<name>, CAPTURE_FILE for the default).
std::string sinks_config(const std::vector<std::string> &names) {
    std::string text;
    for (const std::string &n : names)
        text += "pcm." + n + " {\n  type file\n  slave.pcm \"null\"\n  file { @func getenv vars [ CAPTURE_FILE_" + n +
                " ] default \"/dev/null\" }\n  format \"raw\"\n}\n";
    return text + "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file { @func getenv vars [ CAPTURE_FILE ] "
                  "default \"/dev/null\" }\n  format \"raw\"\n}\npcm.null { type null }\n";
}

// Devices named ravlox_a and ravlox_b (and ravlox_0 when it is plugged in) and the default
// one, each writing into a file of its own.
struct NamedSinks {
    TempDir dir{"ravlox-sinks"};
    std::string conf = dir / "sinks.conf";
    ScopedEnv alsa{"ALSA_CONFIG_PATH", conf};
    ScopedEnv d{"CAPTURE_FILE", dir / "default.raw"};
    ScopedEnv s0{"CAPTURE_FILE_ravlox_0", dir / "0.raw"};
    ScopedEnv sa{"CAPTURE_FILE_ravlox_a", dir / "a.raw"};
    ScopedEnv sb{"CAPTURE_FILE_ravlox_b", dir / "b.raw"};
    explicit NamedSinks(const std::vector<std::string> &names) { plug(names); }
    // Devices come and go: the next start of PortAudio finds these.
    void plug(const std::vector<std::string> &names) const { EXPECT_TRUE(write_file(conf, sinks_config(names))); }
    // Any sound at all: read in blocks, since a device that is not paced writes a lot of
    // silence.
    bool heard(const std::string &sink) const {
        FILE *f = fopen((dir / (sink + ".raw")).c_str(), "rb");
        if (!f)
            return false;
        std::vector<unsigned char> block(1 << 16);
        bool sound = false;
        for (size_t n; !sound && (n = fread(block.data(), 1, block.size(), f)) > 0;)
            sound = std::any_of(block.begin(), block.begin() + static_cast<long>(n), [](unsigned char c) { return c != 0; });
        fclose(f);
        return sound;
    }
    void clear() const {
        for (const char *f : {"default.raw", "0.raw", "a.raw", "b.raw"})
            unlink((dir / f).c_str());
    }
};

// The device chosen on the page is found again by name when PortAudio comes back after
// letting go and another device now holds its number; the choice is kept in the file.
TEST(AudioOutput, ChosenDeviceIsFoundByNameWhenDevicesChange) {
    NamedSinks sinks({"ravlox_a", "ravlox_b"});
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    tHandleAudioOutput *a = &live.get()->audiooutput;
    tPortaudioOutput *p = &a->portaudio;
    __atomic_store_n(&p->release_ms, 200, __ATOMIC_RELEASE);
    auto let_go = [p] { return __atomic_load_n(&p->released, __ATOMIC_ACQUIRE) == 1; };
    audiooutput_page_open(a);
    ASSERT_EQ(g_list_model_get_n_items(G_LIST_MODEL(a->page.model)), 3u);
    ASSERT_STREQ(gtk_string_list_get_string(a->page.model, 2), "ravlox_b");
    gtk_drop_down_set_selected(a->page.dropdown, 2);
    testing::internal::CaptureStdout();
    EXPECT_EQ(audiooutput_page_apply(a), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "entry  2 ->   1 [ravlox_b]\n");
    std::map<std::string, std::string> stored = read_settings(live.data_dir() + "audiooutout.config");
    EXPECT_EQ(stored["device_name"], "ravlox_b");
    EXPECT_EQ(stored["device_api"], "ALSA");
    EXPECT_EQ(stored["device"], "1");

    // Another device turns up first while PortAudio is let go: ravlox_a now holds number 1.
    ASSERT_TRUE(pump_until(live, let_go, 3000));
    sinks.plug({"ravlox_0", "ravlox_a", "ravlox_b"});
    play_to_end(live, fixture_path("stereo44.mp3"));
    EXPECT_TRUE(sinks.heard("b")) << "the sound did not go to ravlox_b";
    EXPECT_FALSE(sinks.heard("a"));
    EXPECT_EQ(p->device, 2);

    // The page opened now shows ravlox_b; PortAudio comes back with ravlox_0 gone before the
    // choice of ravlox_a is applied, and ravlox_a is what plays.
    audiooutput_page_open(a);
    EXPECT_EQ(gtk_drop_down_get_selected(a->page.dropdown), 3u);
    ASSERT_STREQ(gtk_string_list_get_string(a->page.model, 2), "ravlox_a");
    gtk_drop_down_set_selected(a->page.dropdown, 2);
    ASSERT_TRUE(pump_until(live, let_go, 5000));
    sinks.plug({"ravlox_a", "ravlox_b"});
    sinks.clear();
    open_file(live, fixture_path("stereo44.mp3"));
    live.dispatch(EVENT_PLAY);
    live.pump(300);
    live.dispatch(EVENT_STOP);
    testing::internal::CaptureStdout();
    EXPECT_EQ(audiooutput_page_apply(a), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "entry  2 ->   0 [ravlox_a]\n");
    sinks.clear();
    play_to_end(live, fixture_path("stereo44.mp3"));
    EXPECT_TRUE(sinks.heard("a")) << "the sound did not go to ravlox_a";
    EXPECT_FALSE(sinks.heard("b"));

    // Unplugged, ravlox_a leaves the default device playing until it is back.
    ASSERT_TRUE(pump_until(live, let_go, 5000));
    sinks.plug({"ravlox_b"});
    sinks.clear();
    play_to_end(live, fixture_path("stereo44.mp3"));
    EXPECT_TRUE(sinks.heard("default")) << "nothing played on the default device";
    EXPECT_FALSE(sinks.heard("b"));
    // Other preferences applied meanwhile leave the choice as it was.
    audiooutput_page_open(a);
    EXPECT_EQ(gtk_drop_down_get_selected(a->page.dropdown), 0u);
    testing::internal::CaptureStdout();
    audiooutput_page_apply(a);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(read_settings(live.data_dir() + "audiooutout.config")["device_name"], "ravlox_a");
}

// A choice stored by an earlier run is what the program plays on from its start, found by
// name whatever number the device has now; an older file's number still counts.
TEST(AudioOutput, StoredDeviceChoiceIsUsedAtStart) {
    Xvfb x;
    ASSERT_TRUE(x.ok());
    NamedSinks sinks({"ravlox_0", "ravlox_a", "ravlox_b"});
    TempDir parent("ravlox-stored");
    ProgramOptions o;
    o.data_dir = fresh_data_dir(parent);
    o.display = x.display();
    o.env = {{"ALSA_CONFIG_PATH", sinks.conf}, {"CAPTURE_FILE", sinks.dir / "default.raw"}};
    {
        ProgramProcess first(o);
        ASSERT_TRUE(x.wait_window("ravlox main").has_value()) << first.out() << first.err();
    }
    o.args = {fixture_path("stereo44.mp3")};
    const std::string config = o.data_dir + "/audiooutout.config";
    for (const char *stored : {"volume=100\nbalance=0\ndevice=1\ndevice_name=ravlox_b\ndevice_api=ALSA\n",
                               "volume=100\nbalance=0\ndevice=2\n"}) {
        ASSERT_TRUE(write_file(config, stored));
        sinks.clear();
        ProgramProcess player(o);
        EXPECT_TRUE(wait_until([&] { return sinks.heard("b"); }, milliseconds(10000)))
            << stored << player.out() << player.err();
        EXPECT_FALSE(sinks.heard("a")) << stored;
        EXPECT_FALSE(sinks.heard("default")) << stored;
    }
}

// A 44.1 kHz stereo track, then an 8 kHz mono one: each stream plays all of its own track,
// its last partial buffer included, and nothing of the other; the end of the list leaves
// nothing queued for the next Play.
TEST(AudioOutput, EachTrackPlaysOutOnItsOwnStream) {
    RateFiles out;
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    keep_output(live);
    tHandle *h = live.get();
    const std::vector<int16_t> a = sound_only(as_stereo(decode_reference(fixture_path("stereo44.mp3"))));
    const std::vector<int16_t> b = sound_only(as_stereo(decode_reference(fixture_path("mono8.mp3"))));
    add_entry(h, fixture_path("stereo44.mp3"));
    add_entry(h, fixture_path("mono8.mp3"));
    playlist_set_current(&h->playlist, 0);
    open_file(live, fixture_path("stereo44.mp3"));
    live.dispatch(EVENT_PLAY);
    ASSERT_TRUE(pump_until(live, [&] { return live.status() == STATUS_TRACK_ENDED && audiooutput_queued(&h->audiooutput) == 0; }, 30000));
    live.pump(300);
    EXPECT_EQ(out.files(), (std::vector<std::string>{"capture-44100.raw", "capture-8000.raw"}));
    EXPECT_TRUE(out.sound(44100) == a) << "44.1 kHz stream: " << out.sound(44100).size() << " values, track " << a.size();
    EXPECT_TRUE(out.sound(8000) == b) << "8 kHz stream: " << out.sound(8000).size() << " values, track " << b.size();

    // Play again (the list stopped on its last entry): the track from its start, nothing before.
    live.dispatch(EVENT_PLAY);
    ASSERT_TRUE(pump_until(live, [&] { return live.decoder_state() != DECODER_PLAYING && audiooutput_queued(&h->audiooutput) == 0; }, 30000));
    live.pump(300);
    std::vector<int16_t> bb = b;
    bb.insert(bb.end(), b.begin(), b.end());
    EXPECT_TRUE(out.sound(8000) == bb) << out.sound(8000).size() << " values, want " << bb.size();
    EXPECT_TRUE(out.sound(44100) == a);
}

// Tracks that begin with sound at once: mono after stereo at the same rate plays on in the
// same stream, and a new rate's first frames go to the new stream, not to the end of the old.
TEST(AudioOutput, ChangesOfFormatBetweenTracksMoveNoFrame) {
    if (!missing_program({"ffmpeg", "ffprobe"}).empty())
        GTEST_SKIP() << "ffmpeg missing";
    RateFiles out;
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    keep_output(live);
    tHandle *h = live.get();
    std::vector<int16_t> at44 = as_stereo(decode_ffmpeg_reference(fixture_path("flac16.flac"), 2));
    const std::vector<int16_t> mono = as_stereo(decode_ffmpeg_reference(fixture_path("tagged.flac"), 1));
    at44.insert(at44.end(), mono.begin(), mono.end());
    const std::vector<int16_t> at48 = sound_only(decode_ffmpeg_reference(fixture_path("gapless_a.flac"), 2).samples);
    for (const char *name : {"flac16.flac", "tagged.flac", "gapless_a.flac"})
        add_entry(h, fixture_path(name));
    playlist_set_current(&h->playlist, 0);
    open_file(live, fixture_path("flac16.flac"));
    live.dispatch(EVENT_PLAY);
    ASSERT_TRUE(pump_until(live, [&] { return live.status() == STATUS_TRACK_ENDED && audiooutput_queued(&h->audiooutput) == 0; }, 30000));
    live.pump(300);
    EXPECT_EQ(out.files(), (std::vector<std::string>{"capture-44100.raw", "capture-48000.raw"}));
    EXPECT_TRUE(out.sound(44100) == sound_only(at44)) << out.sound(44100).size() << " values at 44.1 kHz, want " << sound_only(at44).size();
    EXPECT_TRUE(out.sound(48000) == at48) << out.sound(48000).size() << " values at 48 kHz, want " << at48.size();
}

// One file whose frames change format (44.1 kHz stereo, 8 kHz mono, 44.1 kHz stereo):
// every part plays at its own rate and channel count, whole.
TEST(AudioOutput, FormatChangeInsideOneFile) {
    RateFiles out;
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    keep_output(live);
    const std::vector<int16_t> a = sound_only(as_stereo(decode_reference(fixture_path("switch_a.mp3"))));
    const std::vector<int16_t> b = sound_only(as_stereo(decode_reference(fixture_path("switch_b.mp3"))));
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    play_to_end(live, fixture_path("switch.mp3"));
    live.pump(300);
    std::vector<int16_t> aa = a;
    aa.insert(aa.end(), a.begin(), a.end());
    EXPECT_EQ(out.files(), (std::vector<std::string>{"capture-44100.raw", "capture-44100.raw.0001", "capture-8000.raw"}));
    EXPECT_TRUE(out.sound(44100) == aa) << out.sound(44100).size() << " values, want " << aa.size();
    EXPECT_TRUE(out.sound(8000) == b) << out.sound(8000).size() << " values, want " << b.size();
}

// The idle stream fails to start again once: the error is said once, and the next frames
// open a new stream instead of going nowhere for ever.
TEST(AudioOutput, FailedRestartOfTheIdleStreamReopensIt) {
    FileOutput out(AlsaConfig::FileAppend);
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    keep_output(live);
    tPortaudioOutput *p = &live.get()->audiooutput.portaudio;
    const std::vector<int16_t> ref = as_stereo(decode_reference(fixture_path("stereo44.mp3")));
    play_to_end(live, fixture_path("stereo44.mp3"));
    ASSERT_TRUE(pump_until(live, [&] { return __atomic_load_n(&p->idle_stopped, __ATOMIC_ACQUIRE) != 0; }, 5000));
    EXPECT_TRUE(strip_silence(out.samples()) == ref);

    start_failures = 1;
    testing::internal::CaptureStdout();
    play_to_end(live, fixture_path("stereo44.mp3"));
    live.pump(200);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(start_failures.load(), 0) << "the idle stream was not started again";
    EXPECT_EQ(printed, "Unable to open audio. Sorry. Portaudio Error:" + std::to_string(paUnanticipatedHostError) + "\n");
    double rate = 0;
    EXPECT_NE(portaudio_current_stream(p, &rate), nullptr) << "no stream after the failed restart";
    // The second play was heard after the failure: most of the track, and its end.
    // The new stream writes a file of its own beside the first.
    const std::vector<std::string> files = list_dir(out.dir.path());
    ASSERT_EQ(files, (std::vector<std::string>{"capture.raw", "capture.raw.0001"}));
    std::vector<int16_t> heard = strip_silence(out.samples());
    const std::vector<int16_t> second = strip_silence(read_samples(out.dir / files[1]));
    heard.insert(heard.end(), second.begin(), second.end());
    ASSERT_GT(heard.size(), ref.size() + ref.size() / 2);
    EXPECT_TRUE(std::equal(ref.end() - 44100, ref.end(), heard.end() - 44100));
}

// The helper's bounded waits and the idle release count real time, whatever the wall clock says.
TEST(AudioOutput, BoundedWaitsIgnoreAWallClockThatIsSet) {
    struct Reset {
        ~Reset() { wall_clock_shift = 0; }
    } reset;
    // An hour ahead from the start: each of the helper's one-second waits would last an hour,
    // and the idle release would never come.
    wall_clock_shift = 3600;
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    tPortaudioOutput *p = &live.get()->audiooutput.portaudio;
    EXPECT_TRUE(pump_until(live, [&] { return __atomic_load_n(&p->released_count, __ATOMIC_ACQUIRE) >= 1; },
                           AUDIO_RELEASE_MS + 3000))
        << "not let go while idle";
    // An hour behind: the wait for another device would be over before it began.
    wall_clock_shift = -3600;
    int32_t device = -1;
    portaudio_get_device(p, &device);
    EXPECT_EQ(portaudio_select_device(p, device == 0 ? 1 : 0), 0) << "gave up on the helper at once";
}

namespace {

// Every band and the preamp at 0 but slider `index` at `value`, and the switch on.
void set_one_band(tHandle *h, int32_t index, int32_t value) {
    for (int32_t i = 0; i <= 10; i++)
        handle_send_band(h, i, i == index ? value : 0);
    handle_send_int(h, EVENT_EQ_ENABLE, 1);
}

// The strongest frequency of one channel of interleaved stereo, from its zero crossings.
double frequency_of(const std::vector<int16_t> &s, int channel, int rate) {
    size_t crossings = 0;
    size_t first = 0;
    size_t last = 0;
    for (size_t k = 2 + static_cast<size_t>(channel); k < s.size(); k += 2) {
        if ((s[k - 2] < 0) != (s[k] < 0)) {
            if (crossings == 0)
                first = k / 2;
            last = k / 2;
            crossings++;
        }
    }
    return crossings < 3 ? 0.0 : (static_cast<double>(crossings - 1) / 2.0) * rate / static_cast<double>(last - first);
}

}  // namespace

// The FFmpeg back end's equalizer, heard on the device: a tone at each band's centre with that
// band alone at +100 and at -100 is raised or cut as the MPEG path's own equalizer raises or
// cuts what the same slider moves (its measured table, which FfmpegEqualizer checks against
// libmpg123).
TEST(AudioOutput, EqualizerOnOtherFormatsMatchesTheMpegPath) {
    FileOutput out;
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    keep_output(live);
    for (int32_t band = 1; band <= 10; band++) {
        const std::string tone = fixture_path("eqtone" + std::to_string(band - 1) + ".flac");
        const double plain = rms_of_middle_half(decode_ffmpeg_reference(tone, 2).samples);
        ASSERT_GT(plain, 3000.0) << tone;
        for (int32_t value : {100, -100}) {
            set_one_band(live.get(), band, value);
            const size_t before = out.samples().size();
            play_to_end(live, tone);
            live.dispatch(EVENT_STOP);
            const std::vector<int16_t> all = out.samples();
            ASSERT_GT(all.size(), before);
            const std::vector<int16_t> heard = sound_only(std::vector<int16_t>(all.begin() + static_cast<long>(before), all.end()));
            ASSERT_GT(heard.size(), 44100u / 4 * 2) << tone;
            const double gain = 20.0 * std::log10(rms_of_middle_half(heard) / plain);
            EXPECT_NEAR(gain, equalizer_gain_db(value), 0.5) << "band " << band << " at " << value;
        }
    }
}

// A device that refuses 192 kHz: the stream opens at a rate it takes, and the sound is
// resampled to it, of the same length and pitch.
TEST(AudioOutput, RateTheDeviceRefusesIsResampled) {
    FileOutput out(AlsaConfig::RateLimited);
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    keep_output(live);
    play_to_end(live, fixture_path("wav192.wav"));
    double rate = 0;
    ASSERT_NE(portaudio_current_stream(&live.get()->audiooutput.portaudio, &rate), nullptr)
        << "no stream: the device's refusal was not answered";
    EXPECT_EQ(rate, 48000.0);
    const std::vector<int16_t> heard = sound_only(out.samples());
    // One second of sound (the filter's edges aside).
    EXPECT_NEAR(static_cast<double>(heard.size() / 2), 48000.0, 100.0);
    EXPECT_NEAR(frequency_of(heard, 0, 48000), 440.0, 2.0);
    EXPECT_NEAR(frequency_of(heard, 1, 48000), 880.0, 2.0);
    // A rate the device takes plays unconverted, on a stream of its own.
    live.dispatch(EVENT_STOP);
    const ReferencePcm ref = decode_ffmpeg_reference(fixture_path("wav96.wav"), 2);
    play_to_end(live, fixture_path("wav96.wav"));
    ASSERT_NE(portaudio_current_stream(&live.get()->audiooutput.portaudio, &rate), nullptr);
    EXPECT_EQ(rate, 96000.0);
    // (Dithered from 24 bits: a frame at either end may round to silence or not.)
    EXPECT_NEAR(static_cast<double>(sound_only(out.samples()).size()), static_cast<double>(sound_only(ref.samples).size()), 4.0);
}

// The same for MPEG audio: a card that takes nothing above 32 kHz plays a 44.1 kHz MP3 at its
// own rate, three seconds long, its steady tone at its pitch.
TEST(AudioOutput, RateTheDeviceRefusesIsResampledForMpegToo) {
    ScopedEnv limit("CAPTURE_RATE_MAX", "32000");
    FileOutput out(AlsaConfig::RateLimited);
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    keep_output(live);
    play_to_end(live, fixture_path("stereo44.mp3"));
    double rate = 0;
    ASSERT_NE(portaudio_current_stream(&live.get()->audiooutput.portaudio, &rate), nullptr);
    EXPECT_GT(rate, 0.0);
    EXPECT_LE(rate, 32000.0);
    const std::vector<int16_t> heard = sound_only(out.samples());
    const size_t frames = decode_reference(fixture_path("stereo44.mp3")).frames();
    EXPECT_NEAR(static_cast<double>(heard.size() / 2), static_cast<double>(frames) * rate / 44100.0, 100.0);
    EXPECT_NEAR(frequency_of(heard, 1, static_cast<int>(rate)), 440.0, 2.0);
}

namespace {

// A WAV file of 32-bit samples as jack_rec writes it, back in 16 bits (the float samples
// the device got are the 16-bit ones over 32768, so each comes back exactly).
std::vector<int16_t> read_wav32(const std::string &path) {
    const std::string bytes = read_file(path);
    std::vector<int16_t> out;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        uint32_t size = 0;
        memcpy(&size, bytes.data() + at + 4, 4);
        if (bytes.compare(at, 4, "data") == 0) {
            const size_t n = std::min<size_t>(size, bytes.size() - at - 8) / 4;
            for (size_t k = 0; k < n; k++) {
                int32_t v = 0;
                memcpy(&v, bytes.data() + at + 8 + 4 * k, 4);
                out.push_back(clamp16(std::lround(v / 65536.0)));
            }
            break;
        }
        at += 8 + size + (size & 1);
    }
    return out;
}

// The first frame of a sound louder than the faintest sample a codec leaves at its start.
size_t first_loud_frame(const std::vector<int16_t> &s) {
    size_t k = 0;
    while (k < s.size() && std::abs(s[k]) < 300)
        k++;
    return k / 2;
}

}  // namespace

// Parts of one tone played in a row on a device paced in real time (JACK's dummy driver,
// recorded by jack_rec): the second part's first sample follows the first part's last one,
// none dropped or repeated and no sound put between them, nothing after the last one, and the
// stream is not opened again for it. A silent lead-in of the same format opens the stream, so that the
// recorder is connected to it before the tone begins.
TEST(AudioOutput, PartsOfOneToneJoinWithoutASeamOnAPacedDevice) {
    const std::string missing = missing_program({"jack_rec", "jack_lsp", "jack_connect", "ffmpeg"});
    if (!missing.empty())
        GTEST_SKIP() << missing << " missing";
    JackServer jack(48000, 1024);
    if (!jack.ok())
        GTEST_SKIP() << "no JACK server: " << jack.log();
    ScopedEnv server("JACK_DEFAULT_SERVER", jack.name());
    LiveHandle live;
    Quiet quiet(live);
    ASSERT_TRUE(live.ok());
    keep_output(live);
    tHandle *h = live.get();
    tPortaudioOutput *p = &h->audiooutput.portaudio;
    // The dummy driver says "XRun" whenever its timer woke late, even by a microsecond; it then
    // goes on with the next period, and no client misses one. Only a client late for its
    // period leaves a hole in the recording.
    auto xruns = [&] {
        const std::string log = jack.log();
        return count_of(log, "XRun") - count_of(log, "JackTimedDriver::Process XRun");
    };
    const std::vector<int16_t> tone = decode_ffmpeg_reference(fixture_path("gapless.wav"), 2).samples;
    ASSERT_EQ(tone.size(), 2u * 144000);
    constexpr size_t CUT = 67891;
    const Env on_server = {{"JACK_DEFAULT_SERVER", jack.name()}, {"JACK_NO_START_SERVER", "1"}};
    auto ports = [&] { return run_command({"jack_lsp"}, on_server).out; };
    TempDir dir("ravlox-seam");
    // One run of the lead-in and the two parts; the recording, or nothing when the server
    // missed a period (so did the recorder, and the recording has a hole).
    auto record = [&](const std::string &type) -> std::optional<std::vector<int16_t>> {
        // A recorder still going away keeps the name, and the next one would be "jackrec-01".
        EXPECT_TRUE(wait_until([&] { return ports().find("jackrec") == std::string::npos; })) << ports();
        const size_t missed = xruns();
        const std::string wav = dir / (type + ".wav");
        ProgramOptions o;
        o.program = program_path("jack_rec");
        o.args = {"-f", wav, "-d", "6", "-b", "32", "system:capture_1", "system:capture_2"};
        o.jack_server = jack.name();
        ProgramProcess recorder(o);
        EXPECT_TRUE(wait_until([&] { return ports().find("jackrec:input2") != std::string::npos; }))
            << recorder.err();
        playlist_clear(&h->playlist);
        for (const std::string &name : {std::string("gapless_lead.flac"), "gapless_a." + type, "gapless_b." + type})
            add_entry(h, fixture_path(name));
        // Connected once the stream plays: a stream that stopped for idleness drops its
        // connections when it starts again.
        const int64_t played = __atomic_load_n(&p->played_frames, __ATOMIC_ACQUIRE);
        live.dispatch_int(EVENT_PLAY, 0);
        EXPECT_TRUE(pump_until(live, [&] { return __atomic_load_n(&p->played_frames, __ATOMIC_ACQUIRE) > played; }, 5000));
        double rate = 0;
        EXPECT_NE(portaudio_current_stream(p, &rate), nullptr);
        EXPECT_EQ(rate, 48000.0);
        const int32_t opened = p->open_generation;
        // The player's own ports: those of the one client that is neither the server nor the recorder.
        std::vector<std::string> outs;
        std::istringstream lines(ports());
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("system:", 0) != 0 && line.rfind("jackrec:", 0) != 0)
                outs.push_back(line);
        EXPECT_EQ(outs.size(), 2u) << ports();
        for (size_t c = 0; c < 2 && c < outs.size(); c++)
            EXPECT_TRUE(run_command({"jack_connect", outs[c], "jackrec:input" + std::to_string(c + 1)}, on_server)
                            .exited_with(0));
        int32_t count = 0, current = -1;
        playlist_get_position(&h->playlist, &count, &current);
        EXPECT_EQ(current, 0) << "the lead-in was over before the recorder listened";
        EXPECT_TRUE(pump_until(live, [&] { return live.decoder_state() != DECODER_PLAYING; }, 15000));
        EXPECT_TRUE(pump_until(live, [&] { return audiooutput_queued(&h->audiooutput) == 0; }, 5000));
        EXPECT_EQ(p->open_generation, opened) << "the stream was opened again";
        EXPECT_TRUE(recorder.wait(milliseconds(10000)).has_value());
        if (xruns() != missed)
            return std::nullopt;
        // Now and then (under the sanitizers) the recorder hears nothing of a stream it was
        // connected to: that run says nothing about the join either.
        std::vector<int16_t> heard = read_wav32(wav);
        if (std::all_of(heard.begin(), heard.end(), [](int16_t v) { return v == 0; }))
            return std::nullopt;
        return heard;
    };
    std::string unrecorded;
    for (const std::string type : {"flac", "opus", "mp3", "ogg", "m4a"}) {
        SCOPED_TRACE(type);
        std::optional<std::vector<int16_t>> recording = record(type);
        if (!recording)
            recording = record(type);
        if (!recording) {
            unrecorded += " " + type;
            continue;
        }
        // Where the busy machine let the ring run dry, the device played silence and then went
        // on: those runs are dropped, and what is left must be the tone, sample for sample.
        std::vector<int16_t> heard = strip_silence(*recording);
        // The tone's own silent first frames went with the lead-in's silence: put back.
        size_t lead = 0;
        while (2 * lead + 1 < tone.size() && tone[2 * lead] == 0 && tone[2 * lead + 1] == 0)
            lead++;
        heard.insert(heard.begin(), 2 * lead, int16_t{0});
        const long guess = std::max(0L, static_cast<long>(first_loud_frame(heard)) - static_cast<long>(first_loud_frame(tone)));
        const long at = guess + align_samples(tone, 256, heard, static_cast<size_t>(guess) + 256, 1024, 2, 32).shift;
        if (at < 0) {
            ADD_FAILURE() << "the recording begins inside the tone";
            continue;
        }
        EXPECT_EQ(seam_fault(heard, at, tone, CUT, type == "flac"), "");
        EXPECT_EQ(heard.size() / 2, at + 144000) << "sound after the tone's end";
    }
    if (!unrecorded.empty())
        GTEST_SKIP() << "the JACK server missed periods, or the recorder heard nothing, in both runs of"
                     << unrecorded << ": the machine is too busy to record them sample for sample";
}
