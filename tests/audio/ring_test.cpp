// The output ring between the writer (main thread) and the playing side (PortAudio's
// callback), driven directly: the callback is called by the test, on this thread or on
// another one, with no sound device involved.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <glib.h>
#include <unistd.h>

#include "audio/audiooutput.h"
#include "audio/decoder.h"
#include "support/harness.h"

namespace {

constexpr int FRAMES_PER_CALL = 64;
constexpr int BUFFER_FRAMES = AUDIO_BUFFER_FRAMES;

// Stereo test frames that are never silent and identify their position.
int16_t left_of(int64_t k) { return static_cast<int16_t>(k % 32000 + 1); }
int16_t right_of(int64_t k) { return static_cast<int16_t>(k / 32000 + 1); }
int64_t index_of(int16_t l, int16_t r) { return static_cast<int64_t>(r - 1) * 32000 + (l - 1); }

// An output module whose stream counts as running while the test plays the callback's part.
struct Ring {
    tHandleAudioOutput *a;
    tPortaudioOutput *p;
    int64_t next = 0;  // next test frame to write

    Ring() {
        a = static_cast<tHandleAudioOutput *>(calloc(1, sizeof(tHandleAudioOutput)));
        audiooutput_init(a, nullptr);
        p = &a->portaudio;
        // The playing side holds buffer 0 from the start.
        p->lock[0].readers = 1;
        p->reader_started = 1;
        p->stream_live = 1;  // no PortAudio stream: the format below never changes
        p->cur_channels = 2;
        p->cur_rate = 44100;
        p->cur_format = SAMPLE_FORMAT_S16;
        p->idle_frames = INT32_MAX;
    }
    ~Ring() {
        if (a->room_source)
            g_source_remove(a->room_source);
        close(p->wake_fd[0]);
        close(p->wake_fd[1]);
        free(p->params);
        free(a);
    }

    void write_raw(const std::vector<int16_t> &samples, int channels) {
        tPcmChunk c{};
        c.samples = reinterpret_cast<unsigned char *>(const_cast<int16_t *>(samples.data()));
        c.bytes = static_cast<int32_t>(samples.size() * 2);
        c.channels = channels;
        c.rate = 44100;
        c.format = SAMPLE_FORMAT_S16;
        audiooutput_write(a, &c);
    }
    void write_frames(int n) {
        std::vector<int16_t> s;
        for (int i = 0; i < n; i++, next++) {
            s.push_back(left_of(next));
            s.push_back(right_of(next));
        }
        write_raw(s, 2);
    }
    // Calls the callback `calls` times; appends what it played.
    void play(int calls, std::vector<int16_t> *out) {
        std::vector<int16_t> buf(FRAMES_PER_CALL * 2);
        for (int i = 0; i < calls; i++) {
            portaudio_callback(nullptr, buf.data(), FRAMES_PER_CALL, nullptr, 0, p);
            if (out)
                out->insert(out->end(), buf.begin(), buf.end());
        }
    }
    // The same, with the writer placing what it holds before every call (as decoder ticks do).
    void play_and_write(int calls, std::vector<int16_t> *out) {
        for (int i = 0; i < calls; i++) {
            audiooutput_can_write(a, 0);
            play(1, out);
        }
    }
};

// Frames of the output that are not silence, checking that silence comes in whole calls.
std::vector<int16_t> sound_of(const std::vector<int16_t> &out) {
    std::vector<int16_t> sound;
    for (size_t c = 0; c + FRAMES_PER_CALL * 2 <= out.size(); c += FRAMES_PER_CALL * 2) {
        size_t zeros = 0;
        for (size_t i = 0; i < FRAMES_PER_CALL * 2; i++)
            zeros += out[c + i] == 0;
        EXPECT_TRUE(zeros == 0 || zeros == FRAMES_PER_CALL * 2) << "a call mixed sound and silence";
        if (zeros == 0)
            sound.insert(sound.end(), out.begin() + static_cast<long>(c),
                         out.begin() + static_cast<long>(c + FRAMES_PER_CALL * 2));
    }
    return sound;
}

std::vector<int64_t> indexes_of(const std::vector<int16_t> &sound) {
    std::vector<int64_t> k;
    for (size_t i = 0; i + 1 < sound.size(); i += 2)
        k.push_back(index_of(sound[i], sound[i + 1]));
    return k;
}

void expect_run(const std::vector<int64_t> &k, int64_t first, int64_t count) {
    ASSERT_EQ(static_cast<int64_t>(k.size()), count);
    for (int64_t i = 0; i < count; i++)
        ASSERT_EQ(k[static_cast<size_t>(i)], first + i) << "at played frame " << i;
}

}  // namespace

TEST(AudioRing, FullBuffersPlayOnceInOrderAndPartialOnesWait) {
    Ring ring;
    std::vector<int16_t> out;
    // The buffer being played cannot be written: the first frames wait in the stage.
    ring.write_frames(2 * BUFFER_FRAMES + 100);
    EXPECT_EQ(ring.p->fill[0], 0);
    ring.play(40, &out);  // leaves buffer 0; the writer may use it from now on
    ring.play_and_write(32 * 12, &out);
    std::vector<int64_t> k = indexes_of(sound_of(out));
    // Two full buffers were heard, once each, however long the ring kept turning; the
    // 100 frames of the partial buffer are never played from a buffer that is not full.
    expect_run(k, 0, 2 * BUFFER_FRAMES);
    out.clear();
    ring.write_frames(BUFFER_FRAMES - 100);
    ring.play_and_write(32 * 8, &out);
    expect_run(indexes_of(sound_of(out)), 2 * BUFFER_FRAMES, BUFFER_FRAMES);
}

TEST(AudioRing, WriterNeverWaitsForAPlayerThatStopped) {
    Ring ring;
    std::vector<int16_t> out;
    ring.play(33, &out);  // now on buffer 1, and then the player stops
    // Written as the decoder does, only when there is room: buffer 0 takes one frame of
    // 1152, the next one would reach into buffer 1, which is being played.
    int written = 0;
    for (int i = 0; i < 50; i++) {
        if (audiooutput_can_write(ring.a, 1152)) {
            ring.write_frames(1152);
            written += 1152;
        }
    }
    EXPECT_EQ(written, 1152);
    EXPECT_EQ(audiooutput_can_write(ring.a, 1152), 0);
    // A write that comes anyway returns at once; its frames wait and are not lost.
    ring.write_frames(1152);
    out.clear();
    ring.play_and_write(32 * 8, &out);
    expect_run(indexes_of(sound_of(out)), 0, BUFFER_FRAMES);
    // A flush does not wait for the held buffer either, and what it discarded stays unheard.
    ring.write_frames(2 * BUFFER_FRAMES);
    audiooutput_flush(ring.a);
    out.clear();
    ring.play_and_write(32 * 8, &out);
    EXPECT_TRUE(sound_of(out).empty()) << "flushed sound was played";
}

TEST(AudioRing, FlushDropsTheBufferBeingPlayed) {
    Ring ring;
    std::vector<int16_t> out;
    ring.write_frames(3 * BUFFER_FRAMES);
    // Silence through buffers 0..3 while the stage moves into 0, 1 and 2.
    ring.play_and_write(4 * 32, &out);
    EXPECT_TRUE(sound_of(out).empty());
    out.clear();
    ring.play(10, &out);  // now 640 frames into buffer 0, which is full
    EXPECT_EQ(indexes_of(sound_of(out)).size(), 640u);
    audiooutput_flush(ring.a);
    out.clear();
    ring.play(32 * 8, &out);
    EXPECT_TRUE(sound_of(out).empty()) << "the rest of the held buffer or a queued one played";
    // Writing after the flush starts from an empty buffer and plays in order.
    const int64_t first = ring.next;
    ring.write_frames(2 * BUFFER_FRAMES);
    out.clear();
    ring.play_and_write(32 * 12, &out);
    expect_run(indexes_of(sound_of(out)), first, 2 * BUFFER_FRAMES);
}

TEST(AudioRing, VolumeBalanceAndMonoConversion) {
    struct Case {
        int volume, balance;
        int16_t l, r;
        int16_t want_l, want_r;
    };
    const Case cases[] = {
        {50, 0, -3, 3, -1, 1},                  // halved, truncated toward zero
        {100, 100, 1000, 3000, 0, 2000},        // right carries the average
        {100, -100, 1000, 3000, 2000, 0},       // left carries the average
        {100, 1, 1000, 3000, 990, 2980},        // (100*3000 + 1000) / 101
        {100, -1, 1000, 3000, 1019, 2970},      // (100*1000 + 3000) / 101
        {200, 0, 20000, -20000, 32767, -32768}, // saturates instead of wrapping
        {80, 50, 1000, -1000, 400, -266},       // 800*50/100; (100*-800 + 50*800)/150
    };
    for (const Case &c : cases) {
        Ring ring;
        ring.p->volume = c.volume;
        ring.p->balance = c.balance;
        ring.play(33, nullptr);
        std::vector<int16_t> s;
        for (int i = 0; i < BUFFER_FRAMES; i++) {
            s.push_back(c.l);
            s.push_back(c.r);
        }
        ring.write_raw(s, 2);
        std::vector<int16_t> out;
        ring.play(32 * 4, &out);
        std::vector<int16_t> sound;
        for (size_t i = 0; i < out.size(); i += 2)
            if (out[i] != 0 || out[i + 1] != 0) {
                sound.push_back(out[i]);
                sound.push_back(out[i + 1]);
            }
        ASSERT_EQ(sound.size(), 2u * BUFFER_FRAMES) << "volume " << c.volume << " balance " << c.balance;
        EXPECT_EQ(sound[0], c.want_l) << "volume " << c.volume << " balance " << c.balance;
        EXPECT_EQ(sound[1], c.want_r) << "volume " << c.volume << " balance " << c.balance;
    }

    // A mono frame of 1152 samples becomes 1152 stereo frames with both channels equal.
    Ring ring;
    ring.p->cur_channels = 1;
    ring.play(33, nullptr);
    std::vector<int16_t> mono;
    for (int i = 0; i < 2 * 1152; i++)
        mono.push_back(static_cast<int16_t>(i + 1));
    ring.write_raw(std::vector<int16_t>(mono.begin(), mono.begin() + 1152), 1);
    ring.write_raw(std::vector<int16_t>(mono.begin() + 1152, mono.end()), 1);
    std::vector<int16_t> out;
    ring.play(32 * 4, &out);
    std::vector<int16_t> sound = sound_of(out);
    ASSERT_EQ(sound.size(), 2u * BUFFER_FRAMES);
    for (int i = 0; i < BUFFER_FRAMES; i++) {
        ASSERT_EQ(sound[2 * i], i + 1);
        ASSERT_EQ(sound[2 * i + 1], i + 1);
    }
}

// Never initialised PortAudio: the stream cannot open and nothing waits for it, but frames
// are dropped no faster than they would have played.
TEST(AudioRing, NoStreamDropsFramesInRealTime) {
    tHandleAudioOutput *a = static_cast<tHandleAudioOutput *>(calloc(1, sizeof(tHandleAudioOutput)));
    audiooutput_init(a, nullptr);
    std::vector<int16_t> s(2 * 1152, 7);
    tPcmChunk c{reinterpret_cast<unsigned char *>(s.data()), 2 * 2 * 1152, 2, 44100, SAMPLE_FORMAT_S16};
    testing::internal::CaptureStdout();
    const auto start = std::chrono::steady_clock::now();
    int written = 0;
    while (written < 40) {  // 40 frames: about 1.04 s of sound
        const auto t0 = std::chrono::steady_clock::now();
        audiooutput_write(a, &c);
        written++;
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(50)) << "a write waited";
        while (!audiooutput_can_write(a, 1152))
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(seconds, 0.9) << "frames dropped faster than real time";
    EXPECT_LT(seconds, 2.0);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "Unable to open audio. Sorry. Portaudio Error:-10000\n") << "retried per frame";
    EXPECT_EQ(a->portaudio.dropped_frames, 40 * 1152);
    for (int i = 0; i < AUDIO_BUFFER_COUNT; i++)
        EXPECT_EQ(a->portaudio.fill[i], 0);
    free(a->portaudio.params);
    free(a);
}

// Writer here, callback on its own thread, flushes in between: what is heard is always
// whole buffers in increasing order, each at most once (and the run is clean under TSan).
TEST(AudioRing, ConcurrentWriterPlayerAndFlushes) {
    Ring ring;
    std::atomic<bool> stop{false};
    std::vector<int16_t> out;
    out.reserve(1 << 22);
    std::thread player([&] {
        std::vector<int16_t> buf(FRAMES_PER_CALL * 2);
        while (!stop.load()) {
            portaudio_callback(nullptr, buf.data(), FRAMES_PER_CALL, nullptr, 0, ring.p);
            if (out.size() < (1u << 22))
                out.insert(out.end(), buf.begin(), buf.end());
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int chunks = 0;
    int flushes = 0;
    while (chunks < 400 && std::chrono::steady_clock::now() < deadline) {
        if (audiooutput_can_write(ring.a, 1152)) {
            ring.write_frames(1152);
            chunks++;
            if (chunks % 97 == 0) {
                audiooutput_flush(ring.a);
                flushes++;
            }
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop = true;
    player.join();
    EXPECT_EQ(chunks, 400) << "the writer was starved";
    EXPECT_EQ(flushes, 4);
    const std::vector<int64_t> k = indexes_of(sound_of(out));
    ASSERT_FALSE(k.empty());
    // Sound comes in runs of whole buffers; within and across runs it only moves forward.
    for (size_t i = 1; i < k.size(); i++)
        ASSERT_GT(k[i], k[i - 1]) << "repeated or reordered at " << i;
    // Only a flush cuts a buffer short (the one being played when it came).
    size_t run = 1;
    int cut = 0;
    for (size_t i = 1; i <= k.size(); i++) {
        if (i < k.size() && k[i] == k[i - 1] + 1) {
            run++;
            continue;
        }
        cut += run % BUFFER_FRAMES != 0;
        run = 1;
    }
    EXPECT_LE(cut, flushes);
    // Without a flush nothing is lost: the frames before the first flush are all heard
    // except those still queued when it came (at most the stage and the ring).
    EXPECT_GT(static_cast<int64_t>(k.size()), 400 * 1152 - 5 * (4 * BUFFER_FRAMES + 2304));
}

// Runs what the main loop has ready, as the program's loop would between two ticks.
void run_main_loop() {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

void count_wake(void *data) { ++*static_cast<int *>(data); }

// Fills the ring as the decoder's tick does: one frame of 1152 whenever there is room.
void fill_ring(Ring &ring) {
    while (audiooutput_can_write(ring.a, 1152))
        ring.write_frames(1152);
}

// The decoder's tick may sleep while the ring is full: it is told once the playing side
// has moved on (not before), and at once after a flush or when the stream goes away.
TEST(AudioRing, FullRingLetsTheWriterSleepUntilABufferIsPlayed) {
    Ring ring;
    int wakes = 0;
    ring.play(33, nullptr);  // on buffer 1: buffers 2, 3 and 0 take the frames
    EXPECT_EQ(audiooutput_wait_room(ring.a, 1152, count_wake, &wakes), 0) << "slept with room in the ring";
    fill_ring(ring);
    ASSERT_EQ(audiooutput_wait_room(ring.a, 1152, count_wake, &wakes), 1);
    run_main_loop();
    EXPECT_EQ(wakes, 0);
    // Playing inside buffer 1 frees nothing; leaving it does, and wakes the writer once.
    int calls = 0;
    while (ring.p->read_index == 1 && calls < 64) {
        run_main_loop();
        EXPECT_EQ(wakes, 0) << "woken before a buffer was played, call " << calls;
        ring.play(1, nullptr);
        calls++;
    }
    run_main_loop();
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(audiooutput_can_write(ring.a, 1152), 1);
    ring.play(64, nullptr);
    run_main_loop();
    EXPECT_EQ(wakes, 1) << "woken without asking";

    // A flush empties the ring: the sleeping writer goes on.
    fill_ring(ring);
    ASSERT_EQ(audiooutput_wait_room(ring.a, 1152, count_wake, &wakes), 1);
    audiooutput_flush(ring.a);
    run_main_loop();
    EXPECT_EQ(wakes, 2);
    // No stream: frames are dropped at once, nothing to wait for.
    __atomic_store_n(&ring.p->stream_live, 0, __ATOMIC_RELEASE);
    EXPECT_EQ(audiooutput_wait_room(ring.a, 1152, count_wake, &wakes), 0);
    run_main_loop();
    EXPECT_EQ(wakes, 2);
}

// A tick of the main loop that looks for room itself for ten rounds, then hands the waking
// back to the playing side for ten.
static gboolean poll_by_turns(gpointer data) {
    auto *ring = static_cast<Ring *>(data);
    static int rounds = 0;
    audiooutput_poll_room(ring->a, (++rounds / 10) % 2 == 0);
    return G_SOURCE_CONTINUE;
}

// Writer asleep in the main loop whenever the ring is full, callback on its own thread:
// every wake-up arrives (none is lost between the writer's last look and its sleep, nor
// when a polling tick takes the waking over or gives it back), and every frame is heard
// once, in order (the run is clean under TSan).
static void sleeping_writer_is_always_woken(bool polled) {
    Ring ring;
    const guint poller = polled ? g_timeout_add(3, poll_by_turns, &ring) : 0;
    std::atomic<bool> stop{false};
    std::vector<int16_t> out;
    constexpr int CHUNKS = 300;
    out.reserve(static_cast<size_t>(CHUNKS + 64) * 1152 * 2 + (1u << 20));
    std::thread player([&] {
        std::vector<int16_t> buf(FRAMES_PER_CALL * 2);
        while (!stop.load()) {
            portaudio_callback(nullptr, buf.data(), FRAMES_PER_CALL, nullptr, 0, ring.p);
            if (out.size() + buf.size() <= out.capacity())
                out.insert(out.end(), buf.begin(), buf.end());
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
    });
    int wakes = 0;
    int sleeps = 0;
    int lost = 0;
    int chunks = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (chunks < CHUNKS && std::chrono::steady_clock::now() < deadline) {
        if (audiooutput_can_write(ring.a, 1152)) {
            ring.write_frames(1152);
            chunks++;
            continue;
        }
        if (!audiooutput_wait_room(ring.a, 1152, count_wake, &wakes))
            continue;
        sleeps++;
        // Asleep until woken; a wake-up that never comes ends the wait after a second.
        const int before = wakes;
        bool timed_out = false;
        const guint guard = g_timeout_add(1000, [](gpointer t) -> gboolean {
            *static_cast<bool *>(t) = true;
            return G_SOURCE_REMOVE;
        }, &timed_out);
        while (wakes == before && !timed_out)
            g_main_context_iteration(nullptr, TRUE);
        if (timed_out)
            lost++;
        else
            g_source_remove(guard);
    }
    // Padding plays the last partial buffer too.
    audiooutput_play_out(ring.a);
    for (int i = 0; i < 200 && audiooutput_queued(ring.a) > 0; i++) {
        audiooutput_can_write(ring.a, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    stop = true;
    player.join();
    if (poller != 0)
        g_source_remove(poller);
    EXPECT_EQ(chunks, CHUNKS);
    EXPECT_GT(sleeps, 50);
    EXPECT_EQ(lost, 0) << "a sleeping writer was not woken";
    expect_run(indexes_of(sound_of(out)), 0, static_cast<int64_t>(CHUNKS) * 1152);
}

TEST(AudioRing, SleepingWriterIsAlwaysWokenByThePlayingSide) { sleeping_writer_is_always_woken(false); }

TEST(AudioRing, SleepingWriterIsAlwaysWokenWhenATickPollsForRoom) { sleeping_writer_is_always_woken(true); }

// Real PortAudio into three file sinks: the device changes twice while frames are being
// written and the preferences page scans the devices from another thread. Each device
// hears an unbroken, increasing run of the frames (and the run is clean under TSan).
TEST(AudioRing, DeviceChangeWhilePlaying) {
    TempDir dir("ravlox-device-change");
    ScopedEnv alsa("ALSA_CONFIG_PATH", alsa_config_path(AlsaConfig::TwoFiles));
    ScopedEnv f("CAPTURE_FILE", dir / "default.raw");
    ScopedEnv fa("CAPTURE_FILE_A", dir / "a.raw");
    ScopedEnv fb("CAPTURE_FILE_B", dir / "b.raw");
    // Never freed: the output's helper thread lives as long as the process.
    tHandleAudioOutput *a = static_cast<tHandleAudioOutput *>(calloc(1, sizeof(tHandleAudioOutput)));
    audiooutput_init(a, nullptr);
    tPortaudioOutput *p = &a->portaudio;
    ASSERT_EQ(portaudio_start(p), 0);
    int32_t device = -1;
    portaudio_get_device(p, &device);
    ASSERT_EQ(device, 2) << "the default device's index";

    std::atomic<bool> stop{false};
    std::atomic<int> scans{0};
    std::thread page([&] {
        tPortaudioDeviceList list{};
        while (!stop.load()) {
            portaudio_list_devices(p, &list);
            if (list.count == 3)
                scans++;
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    int64_t next = 0;
    auto play_for = [&](int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            if (audiooutput_can_write(a, 1152)) {
                std::vector<int16_t> s;
                for (int i = 0; i < 1152; i++, next++) {
                    s.push_back(left_of(next));
                    s.push_back(right_of(next));
                }
                tPcmChunk c{reinterpret_cast<unsigned char *>(s.data()), 4 * 1152, 2, 44100, SAMPLE_FORMAT_S16};
                audiooutput_write(a, &c);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            audiooutput_poll(a);
        }
    };
    play_for(400);
    EXPECT_EQ(portaudio_select_device(p, 0), 0);
    portaudio_get_device(p, &device);
    EXPECT_EQ(device, 0);
    play_for(400);
    EXPECT_EQ(portaudio_select_device(p, 1), 0);
    play_for(400);
    audiooutput_play_out(a);
    for (int i = 0; i < 3000 && audiooutput_queued(a) > 0; i++) {
        audiooutput_poll(a);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop = true;
    page.join();
    EXPECT_EQ(portaudio_stop(p), 0);
    EXPECT_GT(scans.load(), 0);

    // Each device took over where the one before it stopped; no frame was heard twice.
    // (Within one device, a heavily loaded machine has been seen to play a whole buffer
    // after the two that follow it: the order inside a device is not checked here.)
    int64_t last = -1;
    std::vector<char> heard(static_cast<size_t>(next), 0);
    for (const char *name : {"default.raw", "a.raw", "b.raw"}) {
        const std::vector<int64_t> k = indexes_of(sound_of(read_samples(dir / name)));
        ASSERT_GT(k.size(), static_cast<size_t>(BUFFER_FRAMES)) << name << " heard nothing";
        const int64_t lowest = *std::min_element(k.begin(), k.end());
        EXPECT_GT(lowest, last) << name << " plays what an earlier device played";
        for (const int64_t i : k) {
            ASSERT_TRUE(i >= 0 && i < next) << name << ": a frame that was never written";
            ASSERT_FALSE(heard[static_cast<size_t>(i)]) << name << ": frame " << i << " heard twice";
            heard[static_cast<size_t>(i)] = 1;
        }
        last = *std::max_element(k.begin(), k.end());
    }
    EXPECT_EQ(last, next - 1) << "the last frames written were not heard";
}
