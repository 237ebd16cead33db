// Main window frame composition: one 19 ms tick's work (visualizer frame, song update,
// background, layers, visualizer copy) with the default theme, a scrolling title and the
// spectrum visualizer fed with a moving signal. Also counts heap allocations per frame.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/stat.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench.h"
#include "bench_theme.h"
#include "core/handle.h"
#include "gui/window_main.h"
#include "theme/default_theme.h"
#include "theme/theme.h"

// Every malloc of this process goes through here, so allocations can be counted.
extern "C" void *__libc_malloc(size_t);
static std::atomic<long> g_mallocs{0};
extern "C" void *malloc(size_t n) {
    g_mallocs.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}

int main() {
    std::string dir;
    tHandle *h = bench_handle_with_default_theme("gui", dir);
    if (h == nullptr)
        return 1;
    tHandleTheme *theme = &h->gui.theme;
    tHandleWindowMain *w = &h->gui.window_main;
    w->handle = h;
    w->theme = theme;
    w->clutterbar = 1;
    w->volume = 70;
    w->balance = -20;
    w->status = STATUS_PLAYING;
    window_main_create_images(w);
    visualizer_init(&w->visualizer, h, theme);
    w->visualizer.mode = VISUALIZER_SPECTRUM;
    window_main_compose_background(w);

    tSongInfo song{};
    snprintf(song.title, sizeof song.title, "%s",
             "A rather long song title that has to scroll through the ticker field");
    song.length = 245;
    song.channels = 2;
    song.rate = 44100;
    song.bitrate = 128;
    int16_t samples[512];
    int frame = 0;
    auto tick = [&] {
        for (int i = 0; i < 256; i++) {
            const double t = (frame * 256 + i) / 44100.0;
            samples[2 * i] = static_cast<int16_t>(12000 * sin(2 * M_PI * 440 * t));
            samples[2 * i + 1] = static_cast<int16_t>(9000 * sin(2 * M_PI * 1250 * t));
        }
        song.position = frame / 52;
        visualizer_update(&w->visualizer, samples, 512);
        window_main_update_song(w, &song);
        w->ticker_offset++;
        window_main_compose(w);
        frame++;
    };
    for (int i = 0; i < 200; i++) // warm up, strips rendered
        tick();

    constexpr int FRAMES = 2000;
    const double best = bench_best_seconds(5, [&] {
        for (int i = 0; i < FRAMES; i++)
            tick();
    });
    const double per_frame_ms = best / FRAMES * 1000;
    bench_report("main window frame (spectrum, ticker)", per_frame_ms, "ms", "<= 0.3", per_frame_ms <= 0.3);

    w->visualizer.mode = VISUALIZER_OSCILLOSCOPE;
    const double osc = bench_best_seconds(5, [&] {
        for (int i = 0; i < FRAMES; i++)
            tick();
    }) / FRAMES * 1000;
    bench_report("main window frame (oscilloscope)", osc, "ms", "<= 0.3", osc <= 0.3);

    const long before = g_mallocs.load();
    for (int i = 0; i < FRAMES; i++)
        tick();
    const double allocations = static_cast<double>(g_mallocs.load() - before) / FRAMES;
    bench_report("heap allocations per frame", allocations, "calls", "0", allocations == 0);

    char cmd[1100];
    snprintf(cmd, sizeof cmd, "rm -rf '%s'", dir.c_str());
    if (system(cmd) != 0)
        fprintf(stderr, "could not remove %s\n", dir.c_str());
    return bench_exit_status();
}
