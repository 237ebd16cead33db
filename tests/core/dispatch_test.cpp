// The dispatcher and the handle's small services.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/handle.h"
#include "support/harness.h"
#include "support/live_handle.h"

namespace {

struct FreeDeleter {
    void operator()(void *p) const { free(p); }
};
using HandlePtr = std::unique_ptr<tHandle, FreeDeleter>;

// A handle with only what the tests below touch: no module sends events or draws.
HandlePtr bare_handle() {
    HandlePtr h(static_cast<tHandle *>(calloc(1, sizeof(tHandle))));
    h->magic = HANDLE_MAGIC;
    h->scale_factor = 1;
    pthread_mutex_init(&h->mutex, nullptr);
    return h;
}

TEST(Dispatcher, UnknownEventsChangeNothing) {
    HandlePtr h = bare_handle();
    std::vector<unsigned char> before(sizeof(tHandle));
    memcpy(before.data(), h.get(), sizeof(tHandle));
    for (uint32_t type : {0u, 20u, 0xffffffffu}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(handle_dispatch(h.get(), type, nullptr), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "TODO: handle event " + std::to_string(static_cast<int>(type)) + "\n");
    }
    EXPECT_EQ(memcmp(before.data(), h.get(), sizeof(tHandle)), 0);
    // The mutex was released: a second event does not deadlock.
    EXPECT_EQ(pthread_mutex_trylock(&h->mutex), 0);
    pthread_mutex_unlock(&h->mutex);
}

TEST(DispatcherDeathTest, CorruptMagicEndsTheProcess) {
    HandlePtr h = bare_handle();
    h->magic = 0x12345678;
    EXPECT_EXIT(handle_dispatch(h.get(), EVENT_PLAY, nullptr), testing::ExitedWithCode(1),
                "Memory corruption detected\n");
}

TEST(Dispatcher, HandleSizeIsTheRecord) {
    int32_t size = 0;
    EXPECT_EQ(handle_get_size(&size), 0);
    EXPECT_EQ(static_cast<size_t>(size), sizeof(tHandle));
}

TEST(SampleTap, ReadBeforeAnyWriteGivesZeros) {
    HandlePtr h = bare_handle();
    std::vector<int16_t> out(512, 7);
    handle_read_tap(h.get(), out.data(), 512);
    EXPECT_EQ(out, std::vector<int16_t>(512, 0));
}

TEST(SampleTap, WrapsAroundAndReadsNewestOldestFirst) {
    HandlePtr h = bare_handle();
    // No stream is running, so the output drops the frames; only the tap matters here.
    std::vector<int16_t> samples(2 * 1152);
    int16_t next = 1;
    auto push = [&] {
        for (int16_t &s : samples)
            s = next++;
        tPcmChunk chunk{reinterpret_cast<unsigned char *>(samples.data()),
                        static_cast<int32_t>(samples.size() * 2), 2, 44100, SAMPLE_FORMAT_S16};
        handle_push_pcm(h.get(), &chunk);
    };
    for (int k = 0; k < 5; ++k) // 11520 values: past the 8192 ring
        push();
    EXPECT_EQ(h->tap_pos, (5 * 2304) % 8192);
    std::vector<int16_t> out(512);
    handle_read_tap(h.get(), out.data(), 512);
    for (int k = 0; k < 512; ++k)
        ASSERT_EQ(out[k], static_cast<int16_t>(next - 512 + k)) << k;
    // An odd byte count advances by whole values only.
    tPcmChunk odd{reinterpret_cast<unsigned char *>(samples.data()), 7, 2, 44100,
                  SAMPLE_FORMAT_S16};
    const int32_t pos = h->tap_pos;
    handle_push_pcm(h.get(), &odd);
    EXPECT_EQ(h->tap_pos, (pos + 3) % 8192);
    // Counts outside 1..8192 are safe.
    handle_read_tap(h.get(), out.data(), 0);
    std::vector<int16_t> all(8192);
    handle_read_tap(h.get(), all.data(), 9000);
}

std::vector<int> calls;
int32_t page_open(void *context) {
    calls.push_back(static_cast<int>(reinterpret_cast<intptr_t>(context)));
    return 0;
}
int32_t page_apply(void *context) {
    calls.push_back(100 + static_cast<int>(reinterpret_cast<intptr_t>(context)));
    return 0;
}

TEST(Pages, RegisteredInOrderAndAtMostSixteen) {
    HandlePtr h = bare_handle();
    calls.clear();
    for (intptr_t k = 0; k < 16; ++k)
        EXPECT_EQ(handle_register_page(h.get(), nullptr, "page", page_open, page_apply,
                                       reinterpret_cast<void *>(k)),
                  0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(handle_register_page(h.get(), nullptr, "extra", page_open, page_apply, nullptr), -1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(h->page_count, 16);
    handle_dispatch(h.get(), EVENT_PREFERENCES_APPLY, nullptr);
    ASSERT_EQ(calls.size(), 16u);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(calls[k], 100 + k);
}

TEST(DataDir, CopyIsBoundedAndTerminated) {
    HandlePtr h = bare_handle();
    memset(h->data_dir, 'a', sizeof h->data_dir); // no terminator at all
    char out[HANDLE_PATH_SIZE];
    EXPECT_EQ(handle_get_data_dir(h.get(), out), 0);
    EXPECT_EQ(strlen(out), static_cast<size_t>(HANDLE_PATH_SIZE - 1));
}

// One byte more than fits must fail whole: a cut path would name another folder.
TEST(DataDir, ThemeFolderFitsOrIsAnError) {
    HandlePtr h = bare_handle();
    char out[HANDLE_PATH_SIZE];
    const std::string suffix = "/theme/";
    const size_t longest = HANDLE_PATH_SIZE - 1 - suffix.size();
    memset(h->data_dir, 'a', longest);
    EXPECT_EQ(handle_get_theme_dir(h.get(), out), RESULT_OK);
    EXPECT_EQ(std::string(out), std::string(longest, 'a') + suffix);

    h->data_dir[longest] = 'a';
    testing::internal::CaptureStderr();
    EXPECT_EQ(handle_get_theme_dir(h.get(), out), RESULT_FAILED);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("too long"), std::string::npos);
    EXPECT_STREQ(out, "");
}

// With every module started, under a private display.
class Live : public ::testing::Test {
protected:
    void SetUp() override {
        live = std::make_unique<LiveHandle>();
        ASSERT_TRUE(live->ok());
    }
    std::unique_ptr<LiveHandle> live;
};

TEST_F(Live, ScaleCyclesFromOneAndFromThree) {
    tHandle *h = live->get();
    std::vector<int32_t> seen;
    for (int k = 0; k < 4; ++k) {
        live->dispatch(EVENT_SCALE);
        seen.push_back(h->scale_factor);
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{2, 4, 1, 2}));
    live->dispatch_int(EVENT_SCALE, 3);
    EXPECT_EQ(h->scale_factor, 3);
    live->dispatch(EVENT_SCALE);
    EXPECT_EQ(h->scale_factor, 6);
    live->dispatch(EVENT_SCALE);
    EXPECT_EQ(h->scale_factor, 1);
    EXPECT_NE(read_file(live->data_dir() + "gui.config").find("scalefactor=1\n"), std::string::npos);
}

void add_entries(tHandle *h, const std::vector<std::string> &paths) {
    for (const std::string &path : paths) {
        tSongInfo entry{};
        snprintf(entry.path, sizeof entry.path, "%s", path.c_str());
        playlist_add(&h->playlist, &entry);
    }
}

TEST_F(Live, PlayWithNothingOpenDoesNothing) {
    EXPECT_EQ(live->dispatch(EVENT_PLAY), RESULT_FAILED);
    EXPECT_EQ(live->status(), STATUS_NONE);
    EXPECT_EQ(live->decoder_state(), DECODER_IDLE);
    EXPECT_EQ(live->get()->decoder.timer, 0u) << "a tick runs with nothing to decode";
}

// A file that does not open while another plays: nothing is left playing and the status
// says so; Play then does nothing until something opens, and playing an entry that does
// not open goes on to the next one that does.
TEST_F(Live, FailedOpenWhilePlayingLeavesNothingPlaying) {
    tHandle *h = live->get();
    const std::string missing = live->data_dir() + "missing.mp3";
    add_entries(h, {fixture_path("stereo44.mp3"), missing, fixture_path("mono22.mp3"), missing});
    ASSERT_EQ(live->dispatch_int(EVENT_PLAY, 0), RESULT_OK);
    EXPECT_EQ(live->status(), STATUS_PLAYING);
    live->pump(100);
    const char *m = missing.c_str();
    EXPECT_EQ(live->dispatch(EVENT_OPEN_FILE, &m), RESULT_FAILED);
    EXPECT_EQ(live->status(), STATUS_NONE);
    EXPECT_NE(live->decoder_state(), DECODER_PLAYING);
    live->pump(1200);  // past the output's drain: the tick has stopped
    EXPECT_EQ(h->decoder.timer, 0u) << "the tick runs on with no file open";
    EXPECT_EQ(live->dispatch(EVENT_PLAY), RESULT_FAILED);
    EXPECT_EQ(live->status(), STATUS_NONE);
    EXPECT_EQ(h->decoder.timer, 0u);

    // Return on the missing entry 1 plays entry 2.
    EXPECT_EQ(live->dispatch_int(EVENT_PLAY, 1), RESULT_OK);
    EXPECT_EQ(h->playlist.current, 2);
    EXPECT_EQ(live->status(), STATUS_PLAYING);
    EXPECT_EQ(live->decoder_state(), DECODER_PLAYING);
    EXPECT_EQ(std::string(h->decoder.song.path), fixture_path("mono22.mp3"));

    // Next when every later entry fails (repeat off): nothing plays, and the step says so.
    EXPECT_EQ(live->dispatch(EVENT_NEXT), RESULT_FAILED);
    EXPECT_EQ(h->playlist.current, 3);
    EXPECT_EQ(live->status(), STATUS_NONE);
    EXPECT_EQ(live->decoder_state(), DECODER_IDLE);
    live->pump(1200);
    EXPECT_EQ(h->decoder.timer, 0u);
    // With repeat on the same step wraps round to an entry that opens.
    h->gui.window_main.repeat = 1;
    EXPECT_EQ(live->dispatch_int(EVENT_PLAY, 3), RESULT_OK);
    EXPECT_EQ(h->playlist.current, 0);
    EXPECT_EQ(live->status(), STATUS_PLAYING);
    live->dispatch(EVENT_STOP);
}

TEST_F(Live, OpenSeekAndStatus) {
    const std::string path = fixture_path("stereo44.mp3");
    const char *p = path.c_str();
    live->dispatch(EVENT_OPEN_FILE, &p);
    EXPECT_EQ(live->status(), STATUS_READY);
    live->dispatch(EVENT_PAUSE);
    EXPECT_EQ(live->status(), STATUS_PAUSED);
    live->dispatch_int(EVENT_SEEK, 1);
    EXPECT_EQ(live->status(), STATUS_PAUSED);
    live->dispatch_int(EVENT_SEEK, 0);
    EXPECT_EQ(live->status(), STATUS_READY);
    live->dispatch(EVENT_STOP);
    EXPECT_EQ(live->status(), STATUS_STOPPED);
    const std::string missing = live->data_dir() + "missing.mp3";
    const char *m = missing.c_str();
    live->dispatch(EVENT_OPEN_FILE, &m);
    EXPECT_EQ(live->status(), STATUS_NONE);
}

TEST_F(Live, AStreamEntryIsRefusedAndSaysWhy) {
    const std::string path = fixture_path("stereo44.mp3");
    const char *p = path.c_str();
    live->dispatch(EVENT_OPEN_FILE, &p);
    ASSERT_EQ(live->status(), STATUS_READY);
    const char *stream = "http://radio.example/live";
    testing::internal::CaptureStderr();
    live->dispatch(EVENT_OPEN_FILE, &stream);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(live->status(), STATUS_NONE);
    EXPECT_NE(said.find("streams are not played yet [http://radio.example/live]"), std::string::npos) << said;
    EXPECT_EQ(live->get()->decoder.stream.is_open, 0) << "the old file is not left open to be played instead";
}

TEST_F(Live, TypedSendersReachTheirModules) {
    const std::string path = fixture_path("stereo44.mp3");
    EXPECT_EQ(handle_send_path(live->get(), path.c_str()), RESULT_OK);
    EXPECT_EQ(live->status(), STATUS_READY);
    EXPECT_EQ(std::string(live->get()->decoder.song.path), path);

    EXPECT_EQ(handle_send_band(live->get(), 6, 50), RESULT_OK);
    EXPECT_EQ(handle_send_band(live->get(), 0, -20), RESULT_OK);
    const std::string text = read_file(live->data_dir() + "equalizer.config");
    EXPECT_NE(text.find("bar06=50\n"), std::string::npos) << text;
    EXPECT_NE(text.find("bar00=-20\n"), std::string::npos) << text;
    for (int band = 5; band <= 8; ++band)
        EXPECT_EQ(live->get()->decoder.eq_band[band], 50) << band;
    EXPECT_EQ(live->get()->decoder.eq_band[9], 0);
    EXPECT_EQ(live->get()->decoder.eq_preamp, -20);
}

TEST_F(Live, VolumeAndBalanceAreStored) {
    live->dispatch_int(EVENT_VOLUME, 42);
    live->dispatch_int(EVENT_BALANCE, -30);
    const std::string text = read_file(live->data_dir() + "audiooutout.config");
    EXPECT_NE(text.find("volume=42\n"), std::string::npos) << text;
    EXPECT_NE(text.find("balance=-30\n"), std::string::npos) << text;
    EXPECT_EQ(live->get()->audiooutput.portaudio.volume, 42);
}

// Each redraw of the playlist window hands its list picture a new image.
int count_list_redraws(LiveHandle &live, const std::function<void()> &action) {
    GtkWidget *picture = live.get()->gui.window_playlist.list_picture;
    int count = 0;
    const gulong id = g_signal_connect_swapped(picture, "notify::paintable",
                                               G_CALLBACK(+[](int *n) { ++*n; }), &count);
    action();
    g_signal_handler_disconnect(picture, id);
    return count;
}

TEST_F(Live, SteppingPastMissingFilesRedrawsThePlaylistOnce) {
    tHandle *h = live->get();
    for (int k = 0; k < 50; ++k) {
        tSongInfo entry{};
        snprintf(entry.path, sizeof entry.path, "%s/missing-%d.mp3", live->data_dir().c_str(), k);
        playlist_add(&h->playlist, &entry);
    }
    const std::string good = fixture_path("stereo44.mp3");
    tSongInfo entry{};
    snprintf(entry.path, sizeof entry.path, "%s", good.c_str());
    playlist_add(&h->playlist, &entry);
    h->gui.window_main.repeat = 1;

    // Nothing opens but the last entry: fifty failed attempts, one redraw.
    EXPECT_EQ(count_list_redraws(*live, [&] { live->dispatch(EVENT_NEXT); }), 1);
    EXPECT_EQ(h->playlist.current, 50);
    EXPECT_EQ(count_list_redraws(*live, [&] { live->dispatch(EVENT_PREV); }), 1);
    EXPECT_EQ(h->playlist.current, 50);  // back round the list to the one that opens
    EXPECT_EQ(count_list_redraws(*live, [&] { live->dispatch(EVENT_END_OF_TRACK); }), 1);
    EXPECT_EQ(live->status(), STATUS_PLAYING);
    live->dispatch(EVENT_STOP);
}

TEST_F(Live, PagesRegisteredAtStartUpInOrder) {
    tHandle *h = live->get();
    ASSERT_GE(h->page_count, 2);
    EXPECT_EQ(h->page_context[1], &h->audiooutput);
}

} // namespace

namespace {

TEST(LiveStartUp, PlaylistOptionOpensTheFirstEntryWithoutPlaying) {
    TempDir dir{"ravlox-startup"};
    ASSERT_TRUE(write_file(dir / "list.m3u", fixture_path("stereo44.mp3") + "\n" +
                                                 fixture_path("mono22.mp3") + "\n"));
    LiveHandle live({"--playlist.m3u=" + (dir / "list.m3u")});
    ASSERT_TRUE(live.ok());
    EXPECT_EQ(live.get()->playlist.count, 2);
    EXPECT_EQ(live.decoder_state(), DECODER_READY);
    EXPECT_EQ(live.status(), STATUS_NONE);
    tSongInfo info{};
    handle_get_song_info(live.get(), &info);
    EXPECT_EQ(std::string(info.path), fixture_path("stereo44.mp3"));
    live.pump(100);
    EXPECT_EQ(live.decoder_state(), DECODER_READY);
}

} // namespace
