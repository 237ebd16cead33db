// The decode-and-output path (decoder tick, conversion into the ring, the playing side's
// callback) against the mpg123 command decoding the same files to a null output, and the
// longest time one decoder tick holds the main thread.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "bench.h"
#include "bench_path.h"

namespace {

// CPU seconds the mpg123 command spends decoding the files to a null output.
double run_reference(const std::vector<std::string> &files) {
    std::vector<std::string> args = {"mpg123", "-q", "-s"};
    args.insert(args.end(), files.begin(), files.end());
    return child_cpu_seconds(args);
}

std::vector<std::string> repeated(const char *name, int times) {
    return std::vector<std::string>(static_cast<size_t>(times), std::string(RAVLOX_FIXTURE_DIR "/") + name);
}

}  // namespace

int main() {
    // About three minutes of 44.1 kHz stereo, and a minute of 8 kHz mono.
    const std::vector<std::string> cd = repeated("len10_9.mp3", 17);
    const std::vector<std::string> low = repeated("mono8.mp3", 30);

    // Best of three for both sides, so that a busy machine disturbs the ratio less.
    // The longest tick is the smallest of the runs' longest, as another process taking the
    // processor in the middle of a tick is no cost of the tick.
    PathResult path{1e30, 0, 1e30, 1e30};
    double ref = 1e30;
    for (int i = 0; i < 3; i++) {
        PathResult r = run_path(cd);
        if (r.cpu < path.cpu) {
            path.cpu = r.cpu;
            path.audio = r.audio;
        }
        path.longest_tick = std::min(path.longest_tick, r.longest_tick);
        path.longest_tick_cpu = std::min(path.longest_tick_cpu, r.longest_tick_cpu);
        ref = std::min(ref, run_reference(cd));
    }
    const double minutes = path.audio / 60.0;
    const double path_per_min = path.cpu / minutes;
    const double ref_per_min = ref / minutes;
    const double ratio = path.cpu / ref;

    PathResult low_path = run_path(low);
    for (int i = 0; i < 2; i++) {
        PathResult r = run_path(low);
        low_path.longest_tick = std::min(low_path.longest_tick, r.longest_tick);
        low_path.longest_tick_cpu = std::min(low_path.longest_tick_cpu, r.longest_tick_cpu);
    }

    printf("%-44s %12s\n", "figure (44.1 kHz stereo unless named)", "value");
    printf("%-44s %9.1f s\n", "audio decoded per run", path.audio);
    printf("%-44s %9.1f ms\n", "decode-and-output path, CPU per minute", path_per_min * 1000);
    printf("%-44s %9.1f ms\n", "mpg123 -q -s to /dev/null, CPU per minute", ref_per_min * 1000);
    printf("%-44s %9.2f\n", "ratio path / mpg123", ratio);
    printf("%-44s %9.3f ms\n", "longest decoder tick, 44.1 kHz", path.longest_tick * 1000);
    printf("%-44s %9.3f ms\n", "longest decoder tick, 8 kHz", low_path.longest_tick * 1000);
    printf("%-44s %9.3f ms\n", "longest tick in CPU time, 44.1 kHz", path.longest_tick_cpu * 1000);
    printf("%-44s %9.3f ms\n", "longest tick in CPU time, 8 kHz", low_path.longest_tick_cpu * 1000);

    bench_report("audio path CPU per minute (44.1 kHz)", path_per_min * 1000, "ms", "-", true);
    bench_report("mpg123 CPU per minute (44.1 kHz)", ref_per_min * 1000, "ms", "-", true);
    bench_report("audio path / mpg123 CPU", ratio, "x", "<= 1.5", ratio <= 1.5);
    bench_report("longest decoder tick (44.1 kHz)", path.longest_tick * 1000, "ms", "<= 5", path.longest_tick <= 0.005);
    bench_report("longest decoder tick (8 kHz)", low_path.longest_tick * 1000, "ms", "<= 5", low_path.longest_tick <= 0.005);
    return bench_exit_status();
}
