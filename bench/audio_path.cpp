// The decode-and-output path (decoder tick, conversion into the ring, the playing side's
// callback) against the mpg123 command decoding the same files to a null output, and the
// longest time one decoder tick holds the main thread.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "audio/audiooutput.h"
#include "audio/decoder.h"
#include "bench.h"
#include "core/handle.h"

namespace {

double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct PathResult {
    double cpu = 0;          // seconds
    double audio = 0;        // seconds of sound decoded
    double longest_tick = 0; // seconds of wall time
    double longest_tick_cpu = 0; // seconds of this thread's CPU time
};

double thread_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Plays `files` through the real tick, sample path and ring; the callback is called on
// this thread whenever the ring has no room (as the device would drain it).
PathResult run_path(const std::vector<std::string> &files) {
    int32_t size = 0;
    handle_get_size(&size);
    tHandle *h = static_cast<tHandle *>(calloc(1, static_cast<size_t>(size)));
    pthread_mutex_init(&h->mutex, nullptr);
    audiooutput_init(&h->audiooutput, h);
    decoder_init(&h->decoder, h);
    tPortaudioOutput *p = &h->audiooutput.portaudio;
    p->lock[0].readers = 1;  // the playing side holds buffer 0
    p->reader_started = 1;
    p->idle_frames = INT32_MAX;
    std::vector<int16_t> out(64 * 2);
    PathResult r;
    for (const std::string &f : files) {
        if (decoder_open(&h->decoder, f.c_str()) != 0) {
            fprintf(stderr, "cannot open %s\n", f.c_str());
            exit(2);
        }
        decoder_play(&h->decoder);
        decoder_quiet_end(&h->decoder);  // no dispatcher here to take the end of track
        // The stream counts as running at the file's format: no device is involved.
        p->cur_channels = h->decoder.stream.channels;
        p->cur_rate = h->decoder.stream.rate;
        p->cur_format = SAMPLE_FORMAT_S16;
        __atomic_store_n(&p->stream_live, 1, __ATOMIC_RELEASE);
        const double c0 = cpu_seconds();
        int32_t state = DECODER_PLAYING;
        while (state == DECODER_PLAYING) {
            if (audiooutput_can_write(&h->audiooutput, 1152)) {
                const double u0 = thread_cpu_seconds();
                const auto t0 = std::chrono::steady_clock::now();
                decoder_tick(&h->decoder);
                const std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
                r.longest_tick = std::max(r.longest_tick, d.count());
                r.longest_tick_cpu = std::max(r.longest_tick_cpu, thread_cpu_seconds() - u0);
                r.audio += static_cast<double>(h->decoder.chunk.bytes) /
                           (2.0 * h->decoder.stream.channels * h->decoder.stream.rate);
            } else {
                for (int i = 0; i < AUDIO_BUFFER_BYTES / 256; i++)
                    portaudio_callback(nullptr, out.data(), 64, nullptr, 0, p);
            }
            decoder_get_state(&h->decoder, &state);
        }
        r.cpu += cpu_seconds() - c0;
        audiooutput_flush(&h->audiooutput);
    }
    return r;
}

// CPU seconds the mpg123 command spends decoding the files to a null output.
double run_reference(const std::vector<std::string> &files) {
    std::vector<char *> argv;
    std::string prog = "mpg123", q = "-q", s = "-s";
    argv.push_back(prog.data());
    argv.push_back(q.data());
    argv.push_back(s.data());
    std::vector<std::string> copies = files;
    for (std::string &f : copies)
        argv.push_back(f.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout))
            _exit(127);
        execvp("mpg123", argv.data());
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "mpg123 failed\n");
        exit(2);
    }
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
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
