// The playlist store at full capacity: reordering, removal, M3U files, directories, the
// jump window's filter on every keystroke, and the fast sort, removal and filter against
// plain versions.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "../tests/playlist/playlist_reference.h"
#include <glib.h>

#include "bench.h"
#include "playlist/filter.h"
#include "playlist/playlist.h"

namespace {

using Clock = std::chrono::steady_clock;

tHandlePlaylist *new_store() { return static_cast<tHandlePlaylist *>(calloc(1, sizeof(tHandlePlaylist))); }

// Paths of 60 to 120 bytes shaped like a music collection, in random order.
void fill(tHandlePlaylist *p, int32_t n, unsigned seed) {
    std::mt19937 gen(seed);
    static const char *words[] = {"Blue", "Night", "River", "Song", "of", "the", "Morning", "Light", "Echo",
                                  "Paper", "Stone", "Wind", "Glass", "Heart", "Road", "Summer"};
    playlist_init(p);
    for (int32_t i = 0; i < n; i++) {
        std::string s = "/home/listener/Music/Artist " + std::to_string(gen() % 400) + "/Album " +
                        std::to_string(gen() % 30) + "/" + std::to_string(1 + gen() % 20) + " -";
        size_t want = 60 + gen() % 61;
        while (s.size() + 4 < want) s += std::string(" ") + words[gen() % 16];
        s.resize(want - 4);
        s += ".mp3";
        tSongInfo e{};
        snprintf(e.path, sizeof e.path, "%s", s.c_str());
        playlist_add(p, &e);
    }
}

// Best of `repeat` runs of op on a fresh copy of `master` each time (the copy is not timed).
template <typename Op>
double best_ms(int repeat, const tHandlePlaylist *master, tHandlePlaylist *work, Op op) {
    double best = 1e30;
    for (int r = 0; r < repeat; r++) {
        memcpy(work, master, sizeof *work);
        auto t0 = Clock::now();
        op(work);
        std::chrono::duration<double, std::milli> d = Clock::now() - t0;
        best = std::min(best, d.count());
    }
    return best;
}

void select_half(tHandlePlaylist *p, unsigned seed) {
    std::mt19937 gen(seed);
    for (int32_t i = 0; i < p->count; i++) p->selected[i] = gen() % 2;
}

std::string scratch_dir() {
    // Creating 16384 files is dominated by the disk; a memory file system measures the store.
    const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string t = std::string(base) + "/ravlox-bench-XXXXXX";
    if (mkdtemp(t.data()) == nullptr) return "";
    return t;
}

void report_ms(const char *figure, double ms, double target) {
    char t[32];
    snprintf(t, sizeof t, "<= %g ms", target);
    bench_report(figure, ms, "ms", t, ms <= target);
}

// The plain way: each shown text case-folded by GLib (allocating), then searched per word.
int32_t plain_filter(const tHandlePlaylist *p, const char *query, int32_t *matches) {
    gchar **words = g_strsplit_set(query, " ", -1);
    for (gchar **w = words; *w != nullptr; w++) {
        gchar *folded = g_utf8_casefold(*w, -1);
        g_free(*w);
        *w = folded;
    }
    int32_t found = 0;
    for (int32_t i = 0; i < p->count; i++) {
        gchar *text = g_utf8_casefold(playlist_shown_text(&p->entries[i], PLAYLIST_SHOW_TITLES | PLAYLIST_SHOW_FULL_PATH), -1);
        bool all = true;
        for (gchar **w = words; all && *w != nullptr; w++)
            all = **w == '\0' || strstr(text, *w) != nullptr;
        g_free(text);
        if (all)
            matches[found++] = i;
    }
    g_strfreev(words);
    return found;
}

// Every keystroke of typing `query` into the jump window: the slowest one's best time.
template <typename Filter> double slowest_keystroke_ms(const tHandlePlaylist *p, const char *query, Filter filter) {
    static int32_t matches[PLAYLIST_CAPACITY];
    double slowest = 0;
    const std::string typed = query;
    for (size_t n = 1; n <= typed.size(); n++) {
        const std::string prefix = typed.substr(0, n);
        const double s = bench_best_seconds(5, [&] { filter(p, prefix.c_str(), matches); });
        slowest = std::max(slowest, s * 1000);
    }
    return slowest;
}

}  // namespace

int main() {
    tHandlePlaylist *master = new_store();
    tHandlePlaylist *work = new_store();
    if (master == nullptr || work == nullptr) return 1;
    const int32_t N = PLAYLIST_CAPACITY;

    fill(master, N, 1);
    report_ms("playlist sort by file name, 16384 entries", best_ms(5, master, work, playlist_sort_by_filename), 50);
    select_half(master, 2);
    report_ms("playlist remove selected, 16384 entries, half selected",
              best_ms(5, master, work, playlist_remove_selected), 10);
    playlist_select(master, PLAYLIST_SELECT_NONE);
    report_ms("playlist reverse, 16384 entries", best_ms(5, master, work, playlist_sort_reverse), 10);
    srand(3);
    report_ms("playlist shuffle, 16384 entries", best_ms(5, master, work, playlist_sort_randomize), 10);

    // Titles from the tags for every other entry, some beyond ASCII.
    for (int32_t i = 0; i < N; i += 2)
        snprintf(master->entries[i].title, sizeof master->entries[i].title, "Artist %d - %s Night Song of the River",
                 i % 400, i % 6 == 0 ? "Été" : "Summer");
    auto ours_filter = [](const tHandlePlaylist *p, const char *q, int32_t *m) {
        return playlist_filter(p, q, PLAYLIST_SHOW_TITLES | PLAYLIST_SHOW_FULL_PATH, m, PLAYLIST_CAPACITY);
    };
    const char *typed = "night RIVER été";
    const double keystroke = slowest_keystroke_ms(master, typed, ours_filter);
    report_ms("jump filter, 16384 entries, slowest keystroke of a query", keystroke, 16);
    const double plain = slowest_keystroke_ms(master, typed, plain_filter);
    printf("jump filter at 16384 entries: ours %.3f ms, case-folded copies %.3f ms\n", keystroke, plain);
    bench_report("jump filter, case-folded copies / ours", plain / keystroke, "x", "> 1", plain > keystroke);
    for (int32_t i = 0; i < N; i++)
        master->entries[i].title[0] = '\0';

    std::string dir = scratch_dir();
    if (dir.empty()) return 1;
    std::string m3u = dir + "/list.m3u";
    double write_ms = best_ms(5, master, work, [&](tHandlePlaylist *p) { playlist_write_m3u(p, m3u.c_str(), 1); });
    report_ms("playlist write M3U, 16384 lines", write_ms, 30);
    double read_ms = best_ms(5, master, work, [&](tHandlePlaylist *p) { playlist_read_m3u(p, m3u.c_str()); });
    report_ms("playlist read M3U, 16384 lines", read_ms, 30);

    std::string songs = dir + "/songs";
    mkdir(songs.c_str(), 0700);
    for (int32_t i = 0; i < N; i++) {
        char name[64];
        snprintf(name, sizeof name, "/%05d - Some Song Title.mp3", i);
        FILE *f = fopen((songs + name).c_str(), "w");
        if (f != nullptr) fclose(f);
    }
    tHandlePlaylist *empty = new_store();
    double dir_ms = best_ms(5, empty, work, [&](tHandlePlaylist *p) { playlist_add_directory(p, songs.c_str()); });
    report_ms("playlist add directory, 16384 files", dir_ms, 100);
    if (work->count != N) fprintf(stderr, "directory gave %d entries\n", work->count);

    // One-step versions against ours at 2,000 entries.
    fill(master, 2000, 4);
    double ours = best_ms(5, master, work, playlist_sort_by_filename);
    double ref = best_ms(2, master, work, reference_sort_by_filename);
    printf("sort at 2000 entries: ours %.3f ms, exchange sort %.3f ms\n", ours, ref);
    bench_report("playlist sort at 2000 entries, exchange sort / ours", ref / ours, "x", "> 1", ref > ours);
    select_half(master, 5);
    ours = best_ms(5, master, work, playlist_remove_selected);
    ref = best_ms(2, master, work, reference_remove_selected);
    printf("remove selected at 2000 entries: ours %.3f ms, one by one %.3f ms\n", ours, ref);
    bench_report("playlist remove selected at 2000 entries, one by one / ours", ref / ours, "x", "> 1", ref > ours);

    for (int32_t i = 0; i < N; i++) {
        char name[64];
        snprintf(name, sizeof name, "/%05d - Some Song Title.mp3", i);
        remove((songs + name).c_str());
    }
    rmdir(songs.c_str());
    remove(m3u.c_str());
    rmdir(dir.c_str());
    free(master);
    free(work);
    free(empty);
    return bench_exit_status();
}
