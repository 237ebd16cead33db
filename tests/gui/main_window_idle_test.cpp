// The player at rest costs nothing: in a fully started handle, the decoder's tick runs only
// while a file plays, the main window's only while something on it moves or it settles,
// neither for a window that cannot be seen, and a frame equal to the shown one never
// reaches GTK.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <gtk/gtk.h>
#include <string>
#include <vector>

#include "core/handle.h"
#include "support/live_handle.h"

namespace {

bool pump_until(LiveHandle &live, const std::function<bool()> &done, int timeout_ms = 5000) {
    for (int t = 0; t < timeout_ms && !done(); t += 20)
        live.pump(20);
    return done();
}

// Long enough for the main window's tick to see that nothing moves any more.
constexpr int SETTLE_MS = 1500;

TEST(MainWindowIdle, TicksRunOnlyWhileSomethingMovesAndUnchangedFramesStayAway) {
    // A short path, so that its title fits the ticker and stands still.
    TempDir short_dir{"ri"};
    const std::string song = short_dir / "a.mp3";
    ASSERT_TRUE(write_file(song, read_file(fixture_path("len10_9.mp3"))));
    LiveHandle live;
    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    tHandleWindowMain *w = &h->gui.window_main;

    // Nothing open: once the first frames are shown, no tick runs at all.
    live.pump(SETTLE_MS);
    EXPECT_GT(w->snapshots, 0u) << "the window was never drawn";
    EXPECT_EQ(h->decoder.timer, 0u);
    EXPECT_EQ(w->tick_source, 0u);

    // Redrawing what is shown tells GTK nothing and GTK draws nothing.
    const uint32_t invalidations = w->invalidations, snapshots = w->snapshots;
    window_main_redraw(w);
    live.pump(SETTLE_MS);
    EXPECT_EQ(w->invalidations, invalidations);
    EXPECT_EQ(w->snapshots, snapshots);
    EXPECT_EQ(w->tick_source, 0u);
    // A change does reach it.
    live.dispatch_int(EVENT_VOLUME, 30);
    EXPECT_TRUE(pump_until(live, [&] { return w->snapshots > snapshots; }));
    EXPECT_GT(w->invalidations, invalidations);

    // Opened, not played: the decoder's tick stays off.
    const char *path = song.c_str();
    live.dispatch(EVENT_OPEN_FILE, &path);
    live.pump(SETTLE_MS);
    EXPECT_EQ(live.status(), STATUS_READY);
    EXPECT_EQ(h->decoder.timer, 0u);
    EXPECT_EQ(w->tick_source, 0u);

    // Playing runs both; stopping and pausing end both.
    live.dispatch(EVENT_PLAY);
    EXPECT_NE(h->decoder.timer, 0u);
    EXPECT_NE(w->tick_source, 0u);
    ASSERT_TRUE(pump_until(live, [&] { return w->song.position >= 1; }));
    live.dispatch(EVENT_STOP);
    live.pump(50); // the tick's next run sees that it has nothing to do
    EXPECT_EQ(h->decoder.timer, 0u);
    live.pump(SETTLE_MS);
    EXPECT_EQ(w->tick_source, 0u);
    EXPECT_EQ(w->song.position, 0) << "the stopped time was shown before the tick ended";
    live.dispatch(EVENT_PLAY);
    live.pump(100);
    live.dispatch(EVENT_PAUSE);
    live.pump(SETTLE_MS);
    EXPECT_EQ(h->decoder.timer, 0u);
    EXPECT_EQ(w->tick_source, 0u);

    // A hidden window is not drawn while the sound plays on; shown again, it follows at once.
    live.dispatch(EVENT_PLAY);
    live.pump(100);
    gtk_widget_set_visible(w->window, FALSE);
    live.pump(100);
    EXPECT_EQ(w->tick_source, 0u);
    const uint32_t hidden_snapshots = w->snapshots;
    const int32_t shown_position = w->song.position;
    ASSERT_TRUE(pump_until(live, [&] { return h->decoder.song.position >= shown_position + 1; }));
    EXPECT_NE(h->decoder.timer, 0u);
    EXPECT_EQ(w->snapshots, hidden_snapshots);
    EXPECT_EQ(w->song.position, shown_position);
    gtk_window_present(GTK_WINDOW(w->window));
    EXPECT_TRUE(pump_until(live, [&] { return w->song.position > shown_position && w->snapshots > hidden_snapshots; }));
    EXPECT_NE(w->tick_source, 0u);
}

// While a title scrolls, the spectrum moves and the time runs, each tick composes only the
// parts that changed on the frame shown before: the frame it keeps is, at every moment,
// the one a whole composition gives.
TEST(MainWindowIdle, FramesComposedByPartsEqualWholeFrames) {
    LiveHandle live;
    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    tHandleWindowMain *w = &h->gui.window_main;
    w->visualizer.mode = VISUALIZER_SPECTRUM;
    const std::string song = fixture_path("len10_9.mp3");
    const char *path = song.c_str();
    live.dispatch(EVENT_OPEN_FILE, &path);
    live.dispatch(EVENT_PLAY);
    live.pump(300);
    ASSERT_GE(gdk_pixbuf_get_width(w->text_title), 155) << "the title must scroll";
    const int stride = gdk_pixbuf_get_rowstride(w->frame);
    const size_t bytes = static_cast<size_t>(stride) * WINDOW_MAIN_HEIGHT;
    std::vector<guchar> kept(bytes);
    int compared = 0, differing = 0;
    for (int i = 0; i < 40; i++) {
        live.pump(57); // three ticks between looks, composed by parts
        // Just after the title wrapped round, the frame kept still shows its end, drawn before
        // the wrap, where a whole composition would now show its start.
        if (w->composed != 1 || w->ticker_offset < 0)
            continue;
        memcpy(kept.data(), gdk_pixbuf_read_pixels(w->frame), bytes);
        const int32_t offset = w->ticker_offset;
        window_main_compose(w);
        w->ticker_offset = offset;
        compared++;
        differing += memcmp(kept.data(), gdk_pixbuf_read_pixels(w->frame), bytes) != 0;
    }
    EXPECT_GT(compared, 10);
    EXPECT_EQ(differing, 0);
    EXPECT_GE(h->decoder.song.position, 1) << "the time did not run";
}

} // namespace
