// Stepping through the playlist with the dispatcher: real decoder, real MP3 files
// (decodable fixtures and paths that do not exist), the store and the history ring.
#include <glib.h>
#include <mpg123.h>
#include <pthread.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/handle.h"
#include "playlist_test_util.h"

namespace {

class Stepping : public testing::Test {
protected:
    void SetUp() override {
        h = static_cast<tHandle *>(calloc(1, sizeof(tHandle)));
        ASSERT_NE(h, nullptr);
        // Only what stepping touches: the store, the decoder and the handle's own fields.
        // The audio output stays zeroed (no stream: decoded frames are dropped), the
        // windows have no widgets (their redraws do nothing).
        h->magic = HANDLE_MAGIC;
        h->scale_factor = 1;
        pthread_mutex_init(&h->mutex, nullptr);
        ASSERT_EQ(playlist_init(&h->playlist), 0);
        ASSERT_EQ(decoder_init(&h->decoder, h), 0);
        good = fixture_path("stereo44.mp3");
        short_track = fixture_path("short.mp3");
        ASSERT_TRUE(path_exists(good)) << good;
    }
    void TearDown() override {
        if (h == nullptr) return;
        // The decoder's timer must not outlive the handle.
        while (GSource *s = g_main_context_find_source_by_user_data(nullptr, &h->decoder)) g_source_destroy(s);
        if (h->decoder.stream.mh != nullptr) mpg123_delete(h->decoder.stream.mh);
        pthread_mutex_destroy(&h->mutex);
        free(h);
    }

    void add(const std::string &path) { add_path(&h->playlist, path); }
    void add_good(int n) {
        for (int k = 0; k < n; k++) add(good);
    }
    void add_missing(int n) {
        for (int k = 0; k < n; k++) add(tmp / ("missing-" + std::to_string(k) + ".mp3"));
    }
    void send(uint32_t type, void *arg = nullptr) { handle_dispatch(h, type, arg); }
    void open_directly(const std::string &path) {
        const char *p = path.c_str();
        send(EVENT_OPEN_FILE, &p);
    }
    void seek(int32_t second) { send(EVENT_SEEK, &second); }
    void set_switches(int shuffle, int repeat) {
        h->gui.window_main.shuffle = shuffle;
        h->gui.window_main.repeat = repeat;
    }
    int32_t status() const { return h->gui.window_main.status; }
    int32_t state() const { return h->decoder.state; }
    int32_t current() const { return h->playlist.current; }
    int32_t position() const { return h->decoder.song.position; }
    const char *open_path() const { return h->decoder.song.path; }
    // Decodes until the decoder's tick has reported the end of the track.
    bool play_to_end() {
        for (int t = 0; t < 5000; t++) {
            decoder_tick(&h->decoder);
            if (status() == STATUS_TRACK_ENDED) return true;
        }
        return false;
    }

    tHandle *h = nullptr;
    TempDir tmp;
    std::string good, short_track;
};

}  // namespace

TEST_F(Stepping, NextAtTheEndReopensOrWraps) {
    add_good(3);
    set_switches(0, 0);
    playlist_set_current(&h->playlist, 2);
    send(EVENT_NEXT);
    EXPECT_EQ(current(), 2);
    EXPECT_EQ(status(), STATUS_READY);
    EXPECT_EQ(state(), DECODER_READY);
    // Reopened and rewound; a playing decoder plays on.
    send(EVENT_PLAY);
    seek(2);
    ASSERT_EQ(position(), 2);
    send(EVENT_NEXT);
    EXPECT_EQ(current(), 2);
    EXPECT_EQ(position(), 0);
    EXPECT_EQ(status(), STATUS_PLAYING);
    EXPECT_EQ(state(), DECODER_PLAYING);

    set_switches(0, 1);
    send(EVENT_NEXT);
    EXPECT_EQ(current(), 0);
    EXPECT_EQ(status(), STATUS_PLAYING);
}

TEST_F(Stepping, PreviousFromTheFirstEntryGoesToTheLast) {
    add_good(3);
    for (int repeat : {0, 1}) {
        set_switches(0, repeat);
        playlist_set_current(&h->playlist, 0);
        send(EVENT_PREV);
        EXPECT_EQ(current(), 2) << "repeat " << repeat;
        EXPECT_EQ(status(), STATUS_READY);
    }
    playlist_clear(&h->playlist);
    add_good(1);
    send(EVENT_PREV);
    EXPECT_EQ(current(), 0);
    EXPECT_STREQ(open_path(), good.c_str());
}

TEST_F(Stepping, EndOfTrackWhilePausedStartsTheNextEntryPlaying) {
    add(short_track);
    add(good);
    add(good);
    set_switches(0, 0);
    send(EVENT_NEXT);  // opens a file to pause
    playlist_set_current(&h->playlist, 0);
    send(EVENT_PAUSE);
    ASSERT_EQ(state(), DECODER_READY);
    send(EVENT_END_OF_TRACK);
    EXPECT_EQ(current(), 1);
    EXPECT_EQ(status(), STATUS_PLAYING);
    EXPECT_EQ(state(), DECODER_PLAYING);
}

TEST_F(Stepping, ShuffledNextDrawsFromRand) {
    add_good(7);
    set_switches(1, 1);
    srand(123);
    int32_t first = rand() % 7;
    int32_t second = rand() % 7;
    srand(123);
    send(EVENT_NEXT);
    EXPECT_EQ(current(), first);
    send(EVENT_NEXT);
    EXPECT_EQ(current(), second);
    EXPECT_EQ(h->history[0], 0);
    EXPECT_EQ(h->history[1], first);
}

// Mend: a track that ends with no next entry (repeat off) stops on the last entry,
// rewound, instead of playing it again for ever.
TEST_F(Stepping, EndOfTheListStopsPlayback) {
    for (int shuffle : {0, 1}) {
        SCOPED_TRACE(shuffle);
        playlist_clear(&h->playlist);
        add_good(2);
        add(short_track);
        set_switches(shuffle, 0);
        playlist_set_current(&h->playlist, 2);
        open_directly(short_track);
        send(EVENT_PLAY);
        ASSERT_TRUE(play_to_end());
        EXPECT_EQ(current(), 2);
        EXPECT_EQ(status(), STATUS_TRACK_ENDED);
        EXPECT_NE(state(), DECODER_PLAYING);
        EXPECT_EQ(position(), 0);
        EXPECT_STREQ(open_path(), short_track.c_str());
        // Nothing plays on: further ticks decode nothing and report nothing.
        h->gui.window_main.status = STATUS_NONE;
        for (int t = 0; t < 50; t++) decoder_tick(&h->decoder);
        EXPECT_EQ(status(), STATUS_NONE);
        EXPECT_NE(state(), DECODER_PLAYING);
    }
    // The next button on the last entry still reopens it and plays on when playing.
    send(EVENT_PLAY);
    send(EVENT_NEXT);
    EXPECT_EQ(current(), 2);
    EXPECT_EQ(status(), STATUS_PLAYING);
}

TEST_F(Stepping, MissingFilesUseUpTheAttempts) {
    add_missing(5);
    set_switches(0, 1);
    playlist_set_current(&h->playlist, 1);
    h->gui.window_main.status = STATUS_PAUSED;
    send(EVENT_NEXT);
    // n attempts, each from the entry just tried, every start recorded.
    EXPECT_EQ(h->history_pos, 5);
    EXPECT_EQ(std::vector<int32_t>(h->history, h->history + 5), (std::vector<int32_t>{1, 2, 3, 4, 0}));
    EXPECT_EQ(current(), 1);
    EXPECT_EQ(status(), STATUS_NONE) << "nothing is open any more";
    // 128 attempts backwards, wrapping from 0 to the last; the ring is left alone.
    send(EVENT_PREV);
    EXPECT_EQ(current(), ((1 - 128) % 5 + 5) % 5);
    EXPECT_EQ(h->history_pos, 5);
    EXPECT_EQ(status(), STATUS_NONE);
    // A good entry among missing ones is found.
    playlist_clear(&h->playlist);
    add_missing(3);
    add(good);
    add_missing(2);
    playlist_set_current(&h->playlist, 5);
    send(EVENT_PREV);
    EXPECT_EQ(current(), 3);
    EXPECT_EQ(status(), STATUS_READY);
}

// Mend: an end of track from which nothing opens leaves the player stopped, and the
// decoder's tick stops reporting it, instead of searching again every tick.
TEST_F(Stepping, EndOfTrackWithNothingToOpenSearchesOnce) {
    add_missing(4);
    set_switches(0, 1);
    open_directly(short_track);
    send(EVENT_PLAY);
    ASSERT_TRUE(play_to_end());
    EXPECT_EQ(h->history_pos, 4);  // one search of four attempts
    for (int t = 0; t < 100; t++) decoder_tick(&h->decoder);
    EXPECT_EQ(h->history_pos, 4);
    EXPECT_EQ(status(), STATUS_TRACK_ENDED);
    EXPECT_NE(state(), DECODER_PLAYING);
    // Opening and playing a file again re-arms the end-of-track report.
    open_directly(short_track);
    send(EVENT_PLAY);
    ASSERT_TRUE(play_to_end());
    EXPECT_EQ(h->history_pos, 8);

    // The same with an empty playlist and repeat off.
    playlist_clear(&h->playlist);
    set_switches(0, 0);
    open_directly(short_track);
    send(EVENT_PLAY);
    ASSERT_TRUE(play_to_end());
    h->gui.window_main.status = STATUS_NONE;
    for (int t = 0; t < 100; t++) decoder_tick(&h->decoder);
    EXPECT_EQ(status(), STATUS_NONE);
}

TEST_F(Stepping, HistoryRingAfterTwoHundredSteps) {
    add_good(10);
    set_switches(0, 1);
    for (int k = 0; k < 200; k++) send(EVENT_NEXT);
    EXPECT_EQ(current(), 0);
    EXPECT_EQ(h->history_pos, 200 % 128);
    set_switches(1, 1);
    // Back through the starts of the last 128 attempts, newest first.
    for (int k = 1; k <= 128; k++) {
        send(EVENT_PREV);
        ASSERT_EQ(current(), (200 - k) % 10) << "step back " << k;
    }
    send(EVENT_PREV);
    EXPECT_EQ(current(), 199 % 10);  // the 129th starts over with the newest
}

TEST_F(Stepping, ShuffledPreviousBeforeAnyNextGoesToEntryZero) {
    add_good(4);
    set_switches(1, 0);
    playlist_set_current(&h->playlist, 3);
    send(EVENT_PREV);
    EXPECT_EQ(current(), 0);
    EXPECT_EQ(h->history_pos, 127);
}

TEST_F(Stepping, EmptyPlaylistRewindsADirectlyOpenedFileOnlyWithRepeat) {
    set_switches(0, 1);
    send(EVENT_NEXT);  // nothing open: nothing happens
    EXPECT_EQ(status(), STATUS_NONE);
    EXPECT_EQ(state(), DECODER_IDLE);
    open_directly(good);
    ASSERT_EQ(status(), STATUS_READY);
    seek(2);
    send(EVENT_NEXT);
    EXPECT_EQ(position(), 0);
    EXPECT_EQ(state(), DECODER_PLAYING);
    EXPECT_EQ(status(), STATUS_PLAYING);
    EXPECT_EQ(h->history_pos, 0);

    send(EVENT_PAUSE);
    seek(2);
    set_switches(0, 0);
    send(EVENT_NEXT);
    EXPECT_EQ(position(), 2);
    EXPECT_EQ(state(), DECODER_READY);
    EXPECT_EQ(status(), STATUS_PAUSED);
    // Previous ignores repeat.
    send(EVENT_PREV);
    EXPECT_EQ(position(), 0);
    EXPECT_EQ(status(), STATUS_PLAYING);
}
