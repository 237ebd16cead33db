// The decode-and-output path without a device: the real decoder tick, sample path and
// ring, with the playing side's callback called whenever the ring is full.
#pragma once

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "audio/audiooutput.h"
#include "audio/decoder.h"
#include "core/handle.h"

inline double process_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// CPU seconds (user and system) of a command run to its end with standard output thrown
// away; the program ends with status 2 when the command fails.
inline double child_cpu_seconds(const std::vector<std::string> &args) {
    std::vector<std::string> copies = args;
    std::vector<char *> argv;
    for (std::string &a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    fflush(stdout);  // or the child's freopen writes what is buffered a second time
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout))
            _exit(127);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "%s failed\n", argv[0]);
        exit(2);
    }
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct PathResult {
    double cpu = 0;          // seconds
    double audio = 0;        // seconds of sound decoded
    double longest_tick = 0; // seconds of wall time
    double longest_tick_cpu = 0; // seconds of this thread's CPU time
};

inline double thread_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Plays `files` through the real tick, sample path and ring; the callback is called on
// this thread whenever the ring has no room (as the device would drain it).
inline PathResult run_path(const std::vector<std::string> &files) {
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
        const double c0 = process_cpu_seconds();
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
        r.cpu += process_cpu_seconds() - c0;
        audiooutput_flush(&h->audiooutput);
    }
    return r;
}

