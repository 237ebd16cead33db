// The whole player under Xvfb, playing through a real-time paced JACK server (dummy backend)
// with the spectrum visualizer: CPU use of the process over 30 s at scale 1 and at scale 2,
// and the time from a key press (Up) to the rewritten volume setting.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench.h"

namespace {

using clock_type = std::chrono::steady_clock;

pid_t spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env, int out_fd = -1,
            const std::string &log = "/dev/null") {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    setpgid(0, 0);
    for (const std::string &e : env)
        putenv(strdup(e.c_str()));
    const int null = open("/dev/null", O_RDWR);
    const int log_fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(null, 0);
    dup2(log_fd, 1);
    dup2(log_fd, 2);
    if (out_fd >= 0)
        dup2(out_fd, 3);
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

void stop(pid_t pid) {
    if (pid <= 0)
        return;
    kill(-pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// utime + stime of a process, in seconds.
double cpu_seconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string f;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; i++) {
        if (i == 14)
            utime = std::stol(f);
        if (i == 15)
            stime = std::stol(f);
    }
    return static_cast<double>(utime + stime) / sysconf(_SC_CLK_TCK);
}

std::string run(const std::string &command) {
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (p == nullptr)
        return out;
    char buf[512];
    while (fgets(buf, sizeof buf, p) != nullptr)
        out += buf;
    pclose(p);
    return out;
}

std::string read_file(const std::string &path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Session {
    std::string dir;
    std::string display;
    std::string jack = "ravlox-bench-cpu";
    pid_t xvfb = -1, jackd = -1, player = -1;
    std::vector<std::string> env;

    bool start_servers() {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        xvfb = spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"}, {},
                     fds[1]);
        close(fds[1]);
        char buf[32] = {};
        const ssize_t n = read(fds[0], buf, sizeof buf - 1);
        close(fds[0]);
        if (n <= 0)
            return false;
        display = ":" + std::string(buf, strcspn(buf, "\n"));
        // Wait until the display takes connections.
        for (int i = 0; i < 100 && xdotool("getdisplaygeometry").empty(); i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        jack += std::to_string(getpid());
        jackd = spawn({"jackd", "-n", jack, "-r", "-d", "dummy", "-r", "44100", "-p", "64"},
                      {"JACK_NO_ALLOCA=1"});
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        env = {"DISPLAY=" + display, "HOME=" + dir, "GDK_BACKEND=x11", "GSK_RENDERER=cairo",
               "GTK_A11Y=none", "NO_AT_BRIDGE=1", "GSETTINGS_BACKEND=memory",
               "JACK_DEFAULT_SERVER=" + jack, "JACK_NO_START_SERVER=1",
               "ALSA_CONFIG_PATH=" RAVLOX_SOURCE_DIR "/tests/support/alsa/nodevice.conf"};
        return true;
    }

    std::string xdotool(const std::string &args) {
        return run("DISPLAY=" + display + " xdotool " + args + " 2>/dev/null");
    }

    bool start_player(int scale, const std::string &m3u) {
        const std::string data = dir + "/data" + std::to_string(scale);
        mkdir(data.c_str(), 0700);
        std::ofstream(data + "/gui.config") << "scalefactor=" << scale << "\n";
        std::ofstream(data + "/visualizer.config") << "visualizer=1\n";
        std::ofstream(data + "/windowmain.config") << "repeat=ON\n";
        player = spawn({RAVLOX_BINARY, "--dir=" + data, "--playlist.m3u=" + m3u}, env, -1,
                       dir + "/player.log");
        for (int i = 0; i < 100; i++) {
            if (!xdotool("search --name '^ravlox main$'").empty())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    std::string window() {
        std::string id = xdotool("search --name '^ravlox main$'");
        return id.substr(0, id.find('\n'));
    }

    void stop_player() {
        stop(player);
        player = -1;
    }
    ~Session() {
        stop(player);
        stop(jackd);
        stop(xvfb);
    }
};

} // namespace

int main() {
    char tmpl[] = "/tmp/ravlox-bench-cpu-XXXXXX";
    if (mkdtemp(tmpl) == nullptr)
        return 1;
    Session s;
    s.dir = tmpl;
    if (!s.start_servers()) {
        fprintf(stderr, "no Xvfb\n");
        return 1;
    }
    // A 40 s tone of our own, repeated.
    const std::string wav = s.dir + "/tone.wav", mp3 = s.dir + "/tone.mp3", m3u = s.dir + "/list.m3u";
    run("sox -n -r 44100 -c 2 '" + wav + "' synth 40 sine 440 sine 1250 2>/dev/null");
    run("lame --quiet -b 128 '" + wav + "' '" + mp3 + "'");
    std::ofstream(m3u) << mp3 << "\n";
    const int seconds = getenv("RAVLOX_BENCH_SECONDS") ? atoi(getenv("RAVLOX_BENCH_SECONDS")) : 30;

    for (int scale : {1, 2}) {
        if (!s.start_player(scale, m3u)) {
            fprintf(stderr, "player did not start on %s:\n%s\n", s.display.c_str(),
                    read_file(s.dir + "/player.log").c_str());
            return 1;
        }
        const std::string win = s.window();
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        // Before play: the same ticks, but the picture seldom changes.
        const double i0 = cpu_seconds(s.player);
        std::this_thread::sleep_for(std::chrono::seconds(5));
        char idle[64];
        snprintf(idle, sizeof idle, "player CPU before play, scale %d", scale);
        bench_report(idle, 100 * (cpu_seconds(s.player) - i0) / 5, "% of a core", "-", true);
        s.xdotool("mousemove --window " + win + " " + std::to_string(50 * scale) + " " +
                  std::to_string(96 * scale) + " click 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const double c0 = cpu_seconds(s.player);
        const auto t0 = clock_type::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double used = cpu_seconds(s.player) - c0;
        const double wall = std::chrono::duration<double>(clock_type::now() - t0).count();
        const double percent = 100 * used / wall;
        char figure[64];
        snprintf(figure, sizeof figure, "player CPU while playing, scale %d", scale);
        bench_report(figure, percent, "% of a core", "<= 5 (scale 2)", scale != 2 || percent <= 5);

        if (scale == 1) {
            // Key to settings file: Up raises the volume by ten each time.
            const std::string config = s.dir + "/data1/audiooutout.config";
            double worst = 0, total = 0;
            const int presses = 8;
            s.xdotool("windowfocus " + win + " key Down Down Down Down Down Down Down Down Down Down");
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            for (int i = 1; i <= presses; i++) {
                const std::string want = "volume=" + std::to_string(10 * i) + "\n";
                const auto k0 = clock_type::now();
                s.xdotool("windowfocus " + win + " key Up");
                while (read_file(config).find(want) == std::string::npos &&
                       clock_type::now() - k0 < std::chrono::seconds(2))
                    std::this_thread::sleep_for(std::chrono::microseconds(500));
                const double ms = std::chrono::duration<double, std::milli>(clock_type::now() - k0).count();
                worst = std::max(worst, ms);
                total += ms;
            }
            bench_report("key Up to volume file, mean (incl. xdotool start)", total / presses, "ms",
                         "<= 30", total / presses <= 30);
            bench_report("key Up to volume file, worst", worst, "ms", "-", true);
        }
        s.stop_player();
    }
    if (getenv("RAVLOX_BENCH_KEEP") == nullptr)
        run("rm -rf '" + s.dir + "'");
    return bench_exit_status();
}
