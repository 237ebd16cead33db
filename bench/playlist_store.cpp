// The playlist store at full capacity: reordering, removal, M3U files, directories,
// and the fast sort and removal against one-step versions at 2,000 entries.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "../tests/playlist/playlist_reference.h"
#include "bench.h"
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
