// The decode-and-output path for the formats FFmpeg decodes (FLAC, Opus, AAC in M4A) against
// the ffmpeg command decoding the same file to its null output, in CPU time. The files, five
// minutes of stereo each, are made by the encoders at the start.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench.h"
#include "bench_path.h"

namespace {

struct Format {
    const char *name;
    const char *file;
    std::vector<std::string> encode;  // from "tone.wav" to the file, run in the directory
};

void run_in(const std::string &dir, std::vector<std::string> args) {
    const std::string command = "cd '" + dir + "' && " + [&] {
        std::string c;
        for (const std::string &a : args)
            c += "'" + a + "' ";
        return c;
    }() + ">/dev/null 2>&1";
    if (system(command.c_str()) != 0) {
        fprintf(stderr, "failed: %s\n", command.c_str());
        exit(2);
    }
}

}  // namespace

int main() {
    char dir_template[] = "/tmp/ravlox-bench-formats.XXXXXX";
    const char *made = mkdtemp(dir_template);
    if (made == nullptr)
        return 2;
    const std::string dir = made;
    run_in(dir, {"sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "16", "tone.wav", "synth", "300", "sine", "200-3000",
                 "sine", "440", "gain", "-6"});
    const std::vector<Format> formats = {
        {"FLAC", "tone.flac", {"flac", "--silent", "-o", "tone.flac", "tone.wav"}},
        {"Opus", "tone.opus", {"opusenc", "--quiet", "--bitrate", "128", "tone.wav", "tone.opus"}},
        {"AAC", "tone.m4a", {"ffmpeg", "-nostdin", "-y", "-i", "tone.wav", "-c:a", "aac", "-b:a", "160k", "tone.m4a"}},
    };
    printf("%-44s %12s\n", "figure (5 minutes of stereo, best of three)", "value");
    for (const Format &f : formats) {
        run_in(dir, f.encode);
        const std::string path = dir + "/" + f.file;
        double ours = 1e30, theirs = 1e30, audio = 0;
        for (int i = 0; i < 3; i++) {
            const PathResult r = run_path({path});
            ours = std::min(ours, r.cpu);
            audio = r.audio;
            theirs = std::min(theirs, child_cpu_seconds({"ffmpeg", "-nostdin", "-v", "quiet", "-i", path, "-f", "null", "-"}));
        }
        const double ratio = ours / theirs;
        printf("%-44s %9.1f s\n", (std::string(f.name) + ": audio decoded").c_str(), audio);
        printf("%-44s %9.1f ms\n", (std::string(f.name) + ": decode-and-output path, CPU").c_str(), ours * 1000);
        printf("%-44s %9.1f ms\n", (std::string(f.name) + ": ffmpeg -f null, CPU").c_str(), theirs * 1000);
        bench_report((std::string(f.name) + " path / ffmpeg CPU").c_str(), ratio, "x", "<= 1.2", ratio <= 1.2);
    }
    run_in("/", {"rm", "-rf", dir});
    return bench_exit_status();
}
