// The whole player under Xvfb with a window manager (openbox, as users have one: without
// it GTK asks the X server about the root window on every frame), and a real-time paced
// JACK server (dummy backend) with periods of 1024 frames, as desktop sound servers run
// (a 64-frame studio period would wake the player's sound thread 690 times a second).
// Its CPU use and wake-ups while idle (empty playlist, stopped, paused), while playing at
// scale 1 without the visualizer and at scale 2 with the spectrum and a scrolling title
// (the X server's CPU beside it), and while playing with its window minimised against two
// baselines: the same sound path playing on the same server without any window
// (headless_player), and the decode-and-output path with no device at all (run_path); what
// GTK alone costs to repaint one small picture every 19 ms in a window of the same size
// (gtk_floor), beside the scale-2 figure; and the time from a key press (Up) to the
// rewritten volume setting.
// CPU time is the scheduler's exact run time of every thread (/proc/.../schedstat), not
// clock ticks, summed over the threads alive at the end of a measurement: a thread that
// ended meanwhile takes its time and its wake-ups with it.
// RAVLOX_BENCH_PLAYER names another player binary to measure (an older build, say).
#include <dirent.h>
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
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench.h"
#include "bench_path.h"

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

long status_field(const std::string &path, const char *key) {
    std::ifstream in(path);
    std::string line;
    const size_t n = strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0)
            return std::stol(line.substr(n));
    return 0;
}

// Run time in seconds and context switches (voluntary and not) of a thread, or of several.
struct tCounts {
    double cpu = 0;
    long switches = 0;
};

// The counts of every thread of a process, by thread id.
using tSample = std::map<std::string, tCounts>;

tSample sample(pid_t pid) {
    tSample threads;
    const std::string task = "/proc/" + std::to_string(pid) + "/task/";
    DIR *d = opendir(task.c_str());
    if (d == nullptr)
        return threads;
    while (dirent *e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        const std::string dir = task + e->d_name;
        tCounts &c = threads[e->d_name];
        long long ns = 0;
        std::ifstream(dir + "/schedstat") >> ns;
        c.cpu = static_cast<double>(ns) / 1e9;
        c.switches = status_field(dir + "/status", "voluntary_ctxt_switches:") +
                     status_field(dir + "/status", "nonvoluntary_ctxt_switches:");
    }
    closedir(d);
    return threads;
}

// What the threads alive at `b` did since `a` (one thread only, given its id); a thread
// started in between counts from zero.
tCounts between(const tSample &a, const tSample &b, const std::string &only = "") {
    tCounts n;
    for (const auto &[tid, count] : b) {
        if (!only.empty() && tid != only)
            continue;
        const auto before = a.find(tid);
        const tCounts zero;
        const tCounts &from = before == a.end() ? zero : before->second;
        n.cpu += count.cpu - from.cpu;
        n.switches += count.switches - from.switches;
    }
    return n;
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
    std::string jack;
    pid_t xvfb = -1, wm = -1, jackd = -1, player = -1;
    std::vector<std::string> env;

    bool start_servers() {
        // A display number of our own, well away from those the test servers take one after
        // another from 0: on a shared machine those come and go under a low number.
        static int next = 100 + static_cast<int>(getpid() % 400);
        bool answered = false;
        for (int tries = 0; tries < 20 && !answered; tries++) {
            const int number = next++;
            struct stat st {};
            if (stat(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), &st) == 0 ||
                stat(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), &st) == 0)
                continue;
            display = ":" + std::to_string(number);
            xvfb = spawn({"Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"}, {});
            // Wait until the display takes connections.
            for (int i = 0; i < 100 && !answered; i++) {
                answered = !xdotool("getdisplaygeometry").empty();
                if (!answered)
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            if (answered && !start_wm()) {
                stop(wm);
                wm = -1;
                answered = false;
            }
            if (!answered) {
                stop(xvfb);
                xvfb = -1;
            }
        }
        if (!answered)
            return false;
        jack = "ravlox-bench-cpu" + std::to_string(getpid());
        jackd = spawn({"jackd", "-n", jack, "-r", "-d", "dummy", "-r", "44100", "-p", "1024"},
                      {"JACK_NO_ALLOCA=1"});
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        env = {"DISPLAY=" + display, "HOME=" + dir, "GDK_BACKEND=x11", "GSK_RENDERER=cairo",
               "GTK_A11Y=none", "NO_AT_BRIDGE=1", "GSETTINGS_BACKEND=memory",
               "JACK_DEFAULT_SERVER=" + jack, "JACK_NO_START_SERVER=1",
               "ALSA_CONFIG_PATH=" RAVLOX_SOURCE_DIR "/tests/support/alsa/nodevice.conf"};
        return true;
    }

    // Ready once it has set the root window's _NET_SUPPORTING_WM_CHECK.
    bool start_wm() {
        wm = spawn({"openbox", "--sm-disable"},
                   {"DISPLAY=" + display, "HOME=" + dir, "XDG_CONFIG_HOME=" + dir + "/.config"}, -1,
                   dir + "/openbox.log");
        for (int i = 0; i < 50; i++) {
            if (run("DISPLAY=" + display + " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find("window id #") !=
                std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    std::string xdotool(const std::string &args) {
        return run("DISPLAY=" + display + " xdotool " + args + " 2>/dev/null");
    }

    bool start_player(const std::string &name, int scale, int visualizer, const std::string &m3u) {
        const std::string data = dir + "/data-" + name;
        mkdir(data.c_str(), 0700);
        std::ofstream(data + "/gui.config") << "scalefactor=" << scale << "\n";
        std::ofstream(data + "/visualizer.config") << "visualizer=" << visualizer << "\n";
        std::ofstream(data + "/windowmain.config") << "repeat=ON\n";
        const char *binary = getenv("RAVLOX_BENCH_PLAYER") ? getenv("RAVLOX_BENCH_PLAYER") : RAVLOX_BINARY;
        player = spawn({binary, "--dir=" + data, "--playlist.m3u=" + m3u}, env, -1,
                       dir + "/player.log");
        return shows("ravlox main");
    }

    // A window of that title appears within 10 s.
    bool shows(const std::string &title) {
        for (int i = 0; i < 100; i++) {
            if (!xdotool("search --name '^" + title + "$'").empty())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    std::string window() {
        std::string id = xdotool("search --name '^ravlox main$'");
        return id.substr(0, id.find('\n'));
    }

    // A transport button, by its place in the row (0 previous, 1 play, 2 pause, 3 stop).
    void press(int button, int scale) {
        xdotool("mousemove --window " + window() + " " + std::to_string((27 + 23 * button) * scale) + " " +
                std::to_string(96 * scale) + " click 1");
    }

    void stop_player() {
        stop(player);
        player = -1;
    }
    // The player still runs and its display still answers. A player that ended says why:
    // the next attempt writes over its log.
    bool alive() {
        int status = 0;
        if (player <= 0)
            return false;
        if (waitpid(player, &status, WNOHANG) != 0) {
            fprintf(stderr, "the measured program ended (%s %d):\n%s\n", WIFSIGNALED(status) ? "signal" : "status",
                    WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status),
                    read_file(dir + "/player.log").c_str());
            return false;
        }
        return !xdotool("getdisplaygeometry").empty();
    }

    // The sound path alone on the same sound server, no window: the device-bound baseline.
    void start_headless(const std::string &mp3) {
        player = spawn({RAVLOX_HEADLESS_PLAYER, mp3}, env, -1, dir + "/player.log");
    }
    // The toolkit baseline: a bare GTK window repainting one area on the redraw tick's period.
    bool start_floor() {
        player = spawn({RAVLOX_GTK_FLOOR}, env, -1, dir + "/player.log");
        return shows("gtk floor");
    }
    // Its resume figures: "resume KEPT_MS RELEASED_MS".
    std::string run_headless_resume(const std::string &mp3) {
        std::string command;
        for (const std::string &e : env)
            command += "'" + e + "' ";
        return run("env " + command + RAVLOX_HEADLESS_PLAYER " --resume '" + mp3 + "' 2>/dev/null");
    }

    void stop_servers() {
        stop(wm);
        stop(jackd);
        stop(xvfb);
        wm = jackd = xvfb = -1;
    }
    ~Session() {
        stop(player);
        stop_servers();
    }
};


struct tFigure {
    double cpu = 0;       // % of a core
    double main_cpu = 0;  // the main thread's, % of a core
    double x_cpu = 0;     // the X server's, % of a core
    double wakeups = 0;   // per second, main thread
    double wakeups_all = 0; // per second, all threads
};

tFigure measure(Session &s, int seconds) {
    const tSample p0 = sample(s.player), x0 = sample(s.xvfb);
    const auto t0 = clock_type::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double wall = std::chrono::duration<double>(clock_type::now() - t0).count();
    const tSample p1 = sample(s.player), x1 = sample(s.xvfb);
    const tCounts all = between(p0, p1), main = between(p0, p1, std::to_string(s.player));
    tFigure f;
    f.cpu = 100 * all.cpu / wall;
    f.x_cpu = 100 * between(x0, x1).cpu / wall;
    f.main_cpu = 100 * main.cpu / wall;
    f.wakeups = static_cast<double>(main.switches) / wall;
    f.wakeups_all = static_cast<double>(all.switches) / wall;
    return f;
}

void report_idle(const char *what, const tFigure &f) {
    char name[96];
    snprintf(name, sizeof name, "idle, %s: player CPU", what);
    bench_report(name, f.cpu, "% of a core", "<= 0.1", f.cpu <= 0.1);
    snprintf(name, sizeof name, "idle, %s: main thread CPU", what);
    bench_report(name, f.main_cpu, "% of a core", "-", true);
    snprintf(name, sizeof name, "idle, %s: wake-ups, main thread", what);
    bench_report(name, f.wakeups, "per s", "<= 2", f.wakeups <= 2);
    snprintf(name, sizeof name, "idle, %s: wake-ups, all threads", what);
    bench_report(name, f.wakeups_all, "per s", "<= 2", f.wakeups_all <= 2);
}

} // namespace

int main() {
    for (const char *tool : {"openbox", "xprop"})
        if (run(std::string("command -v ") + tool).empty()) {
            fprintf(stderr, "%s not found: the player is measured under a window manager, as users run it "
                            "(install the packages openbox and x11-utils)\n", tool);
            return 1;
        }
    char tmpl[] = "/tmp/ravlox-bench-cpu-XXXXXX";
    if (mkdtemp(tmpl) == nullptr)
        return 1;
    // A second, short folder: a path that fits the ticker, so that the title stands still.
    char short_tmpl[] = "/tmp/rbXXXXXX";
    if (mkdtemp(short_tmpl) == nullptr)
        return 1;
    Session s;
    s.dir = tmpl;
    if (!s.start_servers()) {
        fprintf(stderr, "no Xvfb with a window manager:\n%s\n", read_file(s.dir + "/openbox.log").c_str());
        return 1;
    }
    // A 40 s tone of our own, repeated; the same file under a long and a short name.
    const std::string wav = s.dir + "/tone.wav", mp3 = s.dir + "/tone.mp3", m3u = s.dir + "/list.m3u";
    const std::string short_mp3 = std::string(short_tmpl) + "/t.mp3", short_m3u = s.dir + "/short.m3u";
    const std::string empty_m3u = s.dir + "/empty.m3u";
    run("sox -n -r 44100 -c 2 '" + wav + "' synth 40 sine 440 sine 1250 2>/dev/null");
    run("lame --quiet -b 128 '" + wav + "' '" + mp3 + "'");
    run("cp '" + mp3 + "' '" + short_mp3 + "'");
    std::ofstream(m3u) << mp3 << "\n";
    std::ofstream(short_m3u) << short_mp3 << "\n";
    std::ofstream(empty_m3u) << "";
    const int seconds = getenv("RAVLOX_BENCH_SECONDS") ? atoi(getenv("RAVLOX_BENCH_SECONDS")) : 30;
    auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1500)); };
    auto start = [&](const char *name, int scale, int visualizer, const std::string &list) {
        if (!s.start_player(name, scale, visualizer, list)) {
            fprintf(stderr, "player did not start on %s:\n%s\n", s.display.c_str(),
                    read_file(s.dir + "/player.log").c_str());
            return false;
        }
        settle(); // shown at its size and taking clicks
        return true;
    };
    // Other programs start and end X servers on this machine too. A phase whose player did
    // not start, or did not outlive its measurements, runs once more on fresh servers.
    auto phase = [&](const std::function<bool()> &body) {
        for (int attempt = 0; attempt < 2; attempt++) {
            const bool ok = body() && s.alive();
            s.stop_player();
            if (ok)
                return true;
            fprintf(stderr, "phase lost its player or display, again on fresh servers\n");
            s.stop_servers();
            if (!s.start_servers())
                return false;
        }
        return false;
    };

    // Idle: nothing to play; then a title that fits, stopped and paused after playing.
    tFigure empty, stopped, paused, plain, full, hidden, headless, floor;
    double key_mean = 0, key_worst = 0;
    bool ok = phase([&] {
        if (!start("empty", 1, 1, empty_m3u))
            return false;
        empty = measure(s, seconds);
        return true;
    });
    ok = ok && phase([&] {
        if (!start("short", 1, 1, short_m3u))
            return false;
        s.press(1, 1);
        settle();
        s.press(3, 1);
        settle();
        stopped = measure(s, seconds);
        s.press(1, 1);
        settle();
        s.press(2, 1);
        settle();
        paused = measure(s, seconds);
        return true;
    });
    // Playing at scale 1 without the visualizer (the title scrolls), and the key latency.
    ok = ok && phase([&] {
        if (!start("plain", 1, 3, m3u))
            return false;
        const std::string win = s.window();
        s.press(1, 1);
        settle();
        plain = measure(s, seconds);
        // Key to settings file: Up raises the volume by ten each time.
        const std::string config = s.dir + "/data-plain/audiooutout.config";
        double total = 0;
        key_worst = 0;
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
            key_worst = std::max(key_worst, ms);
            total += ms;
        }
        key_mean = total / presses;
        return true;
    });
    // Playing at scale 2 with the spectrum and the scrolling title; then the window minimised, as
    // users hide it (a window unmapped behind the window manager's back is never told so).
    ok = ok && phase([&] {
        if (!start("full", 2, 1, m3u))
            return false;
        s.press(1, 2);
        settle();
        full = measure(s, seconds);
        s.xdotool("windowminimize " + s.window());
        settle();
        hidden = measure(s, seconds);
        return true;
    });
    ok = ok && phase([&] {
        s.start_headless(mp3);
        settle();
        headless = measure(s, seconds);
        return true;
    });
    ok = ok && phase([&] {
        if (!s.start_floor())
            return false;
        settle();
        floor = measure(s, seconds);
        return true;
    });
    if (!ok) {
        fprintf(stderr, "no stable display for the measurements\n");
        return 1;
    }
    // Play after a short pause, and after one long enough for the output to be let go.
    double resume_kept = 0, resume_released = 0;
    const bool resumed = sscanf(s.run_headless_resume(mp3).c_str(), "resume %lf %lf", &resume_kept,
                                &resume_released) == 2;

    report_idle("empty playlist", empty);
    report_idle("stopped", stopped);
    report_idle("paused", paused);
    bench_report("playing, scale 1, visualizer off: player CPU", plain.cpu, "% of a core", "-", true);
    bench_report("playing, scale 1, visualizer off: main thread CPU", plain.main_cpu, "% of a core", "-", true);
    // A main thread that does not wake about every 7 ms is not playing: the figures would lie.
    bench_report("playing, scale 1, visualizer off: wake-ups, main thread", plain.wakeups, "per s", ">= 20",
                 plain.wakeups >= 20);
    bench_report("key Up to volume file, mean (incl. xdotool start)", key_mean, "ms", "<= 30", key_mean <= 30);
    bench_report("key Up to volume file, worst", key_worst, "ms", "-", true);
    bench_report("playing, scale 2, spectrum, ticker: player CPU", full.cpu, "% of a core", "<= 2",
                 full.cpu <= 2);
    bench_report("playing, scale 2, spectrum, ticker: main thread CPU", full.main_cpu, "% of a core", "-", true);
    bench_report("playing, scale 2, spectrum, ticker: wake-ups, main thread", full.wakeups, "per s", ">= 20",
                 full.wakeups >= 20);
    bench_report("playing, scale 2, spectrum, ticker: X server CPU", full.x_cpu, "% of a core", "-", true);
    bench_report("bare GTK window, one area repainted every 19 ms: CPU", floor.cpu, "% of a core", "-", true);
    bench_report("bare GTK window, one area repainted every 19 ms: wake-ups, main thread", floor.wakeups, "per s",
                 "-", true);
    const double floor_ratio = floor.cpu > 0 ? full.cpu / floor.cpu : 0;
    bench_report("playing, scale 2 spectrum / bare GTK window", floor_ratio, "x", "-", true);
    // The two parts the player cannot do without, each measured on its own.
    const double parts = floor.cpu + headless.cpu;
    const double parts_ratio = parts > 0 ? full.cpu / parts : 0;
    bench_report("playing, scale 2 spectrum / (bare GTK window + bare path on the device)", parts_ratio, "x", "-",
                 true);
    const double ratio = plain.cpu > 0 ? full.cpu / plain.cpu : 0;
    bench_report("playing, scale 2 spectrum / scale 1 visualizer off", ratio, "x", "<= 3", ratio <= 3);
    bench_report("playing, window minimised: player CPU", hidden.cpu, "% of a core", "-", true);
    bench_report("playing, window minimised: main thread CPU", hidden.main_cpu, "% of a core", "-", true);
    bench_report("playing, window minimised: wake-ups, main thread", hidden.wakeups, "per s", ">= 20",
                 hidden.wakeups >= 20);
    // The rest is mostly the sound server's client thread, woken on every period of the server.
    bench_report("playing, window minimised: other threads CPU", hidden.cpu - hidden.main_cpu, "% of a core", "-",
                 true);
    bench_report("playing, window minimised: wake-ups, all threads", hidden.wakeups_all, "per s", "-", true);

    bench_report("bare path on the device (no windows): CPU", headless.cpu, "% of a core", "-", true);
    bench_report("bare path on the device (no windows): main thread CPU", headless.main_cpu, "% of a core", "-",
                 true);
    bench_report("bare path on the device (no windows): wake-ups, main thread", headless.wakeups, "per s", "-",
                 true);
    bench_report("bare path on the device (no windows): wake-ups, all threads", headless.wakeups_all, "per s", "-",
                 true);
    const double device_ratio = headless.cpu > 0 ? hidden.cpu / headless.cpu : 0;
    bench_report("playing, window minimised / bare path on the device", device_ratio, "x", "<= 2",
                 device_ratio <= 2);

    // The bare decode-and-output path on the same file, best of three.
    double bare = 1e30;
    for (int i = 0; i < 3; i++) {
        const PathResult r = run_path({mp3});
        if (r.audio > 0)
            bare = std::min(bare, 100 * r.cpu / r.audio);
    }
    bench_report("bare decode-and-output path CPU", bare, "% of a core", "-", true);
    const double hidden_ratio = bare > 0 ? hidden.cpu / bare : 0;
    bench_report("playing, window minimised / bare path", hidden_ratio, "x", "<= 2", hidden_ratio <= 2);
    const double main_ratio = bare > 0 ? hidden.main_cpu / bare : 0;
    bench_report("playing, window minimised, main thread / bare path", main_ratio, "x", "-", true);

    bench_report("Play after a 1 s pause (output kept): delay to first sound", resume_kept, "ms", "-", resumed);
    bench_report("Play after the output was let go: delay to first sound", resume_released, "ms", "-", resumed);
    const double resume_ratio = resume_kept > 0 ? resume_released / resume_kept : 0;
    bench_report("Play after let go / after output kept", resume_ratio, "x", "-", resumed);

    if (getenv("RAVLOX_BENCH_KEEP") == nullptr)
        run("rm -rf '" + s.dir + "' '" + short_tmpl + "'");
    return bench_exit_status();
}
