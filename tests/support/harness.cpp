#include "support/harness.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/sem.h>
#endif
#include <sys/wait.h>
#include <unistd.h>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

void sleep_ms(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }

// ---------------------------------------------------------------------------
// The test process's own environment, set before main so that nothing in a
// test can reach the user's home, sound card or display.

struct ProcessGuard {
  std::string home;
  pid_t owner = getpid();
  ProcessGuard() {
    char tmpl[] = "/tmp/ravlox-home-XXXXXX";
    if (mkdtemp(tmpl) != nullptr) {
      home = tmpl;
      setenv("HOME", tmpl, 1);
      setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
      setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
      setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    }
    setenv("ALSA_CONFIG_PATH", RAVLOX_SOURCE_DIR "/tests/support/alsa/nodevice.conf", 0);
    setenv("ALSA_PLUGIN_DIR", RAVLOX_ALSA_PLUGIN_DIR, 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    setenv("GDK_BACKEND", "x11", 1);
    setenv("GSK_RENDERER", "cairo", 1);
    setenv("GTK_A11Y", "none", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }
  ~ProcessGuard() {
    // A forked child that exits normally must not remove its parent's HOME.
    if (!home.empty() && getpid() == owner) remove_tree(home);
  }
};
ProcessGuard g_guard;

void close_from(int lowest) {
#if defined(__linux__) || defined(__FreeBSD__)
  if (close_range(static_cast<unsigned>(lowest), ~0U, 0) == 0) return;
#endif
  for (int fd = lowest; fd < 4096; ++fd) close(fd);
}

std::string find_in_path(const std::string &name) {
  if (name.find('/') != std::string::npos) return name;
  const char *path = getenv("PATH");
  std::string p = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = p.find(':', start);
    if (end == std::string::npos) end = p.size();
    std::string candidate = p.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return name;
}

// The environment as a map, with changes applied.
std::map<std::string, std::string> current_env() {
  std::map<std::string, std::string> env;
  for (char **e = environ; e && *e; ++e) {
    const char *eq = strchr(*e, '=');
    if (eq) env[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
  }
  return env;
}

struct SpawnRequest {
  std::vector<std::string> argv; // argv[0] is shown to the program
  std::string path;              // executable
  std::map<std::string, std::string> env;
  std::string cwd;
  std::string out_path, err_path; // empty: /dev/null
  int extra_fd = -1;              // becomes fd 3 in the child
  bool own_group = true;
};

// fork + exec with everything prepared beforehand; the child only makes
// async-signal-safe calls.
pid_t spawn(const SpawnRequest &request) {
  std::vector<std::string> env_strings;
  for (const auto &[k, v] : request.env) env_strings.push_back(k + "=" + v);
  std::vector<char *> argv, envp;
  for (const auto &a : request.argv) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  for (auto &e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);

  int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  int out = request.out_path.empty() ? open("/dev/null", O_WRONLY | O_CLOEXEC)
                                  : open(request.out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  int err = request.err_path.empty() ? open("/dev/null", O_WRONLY | O_CLOEXEC)
                                  : open(request.err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (in < 0 || out < 0 || err < 0) {
    if (in >= 0) close(in);
    if (out >= 0) close(out);
    if (err >= 0) close(err);
    return -1;
  }
  const char *cwd = request.cwd.empty() ? nullptr : request.cwd.c_str();
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) {
#ifdef __linux__
    // A test killed on timeout must not leave its display server, JACK
    // server or a program spinning on the unpaced file device behind.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(125);
#else
    (void)parent;
#endif
    if (request.own_group) setpgid(0, 0);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (request.extra_fd >= 0) {
      dup2(request.extra_fd, 3);
      close_from(4);
    } else {
      close_from(3);
    }
    if (cwd && chdir(cwd) != 0) _exit(126);
    execve(request.path.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  if (pid > 0 && request.own_group) setpgid(pid, pid); // no race with kill(-pid)
  close(in);
  close(out);
  close(err);
  return pid;
}

// Waits for pid up to timeout; returns true with the status if it ended.
bool wait_pid(pid_t pid, milliseconds timeout, int *status) {
  auto deadline = Clock::now() + timeout;
  int delay = 1;
  for (;;) {
    pid_t r = waitpid(pid, status, WNOHANG);
    if (r == pid) return true;
    if (r < 0 && errno != EINTR) {
      *status = 0;
      return true;
    }
    if (Clock::now() >= deadline) return false;
    sleep_ms(delay);
    delay = std::min(delay * 2, 20);
  }
}

void kill_group(pid_t pid, int sig) {
  if (pid <= 0) return;
  if (kill(-pid, sig) != 0) kill(pid, sig);
}

std::string escape_regex(std::string_view s) {
  std::string r;
  for (char c : s) {
    if (strchr("\\^$.|?*+()[]{}", c)) r += '\\';
    r += c;
  }
  return r;
}

std::map<std::string, std::string> program_env(const ProgramOptions &o, const std::string &home) {
  auto env = current_env();
  env.erase("DISPLAY");
  env.erase("WAYLAND_DISPLAY");
  env.erase("DBUS_SESSION_BUS_ADDRESS");
  env.erase("CAPTURE_FILE");
  env.erase("JACK_DEFAULT_SERVER");
  env["HOME"] = home;
  env["XDG_CONFIG_HOME"] = home + "/.config";
  env["XDG_CACHE_HOME"] = home + "/.cache";
  env["XDG_DATA_HOME"] = home + "/.local/share";
  env["ALSA_CONFIG_PATH"] = alsa_config_path(o.alsa);
  env["GDK_BACKEND"] = "x11";
  env["GSK_RENDERER"] = "cairo";
  env["GTK_A11Y"] = "none";
  env["GSETTINGS_BACKEND"] = "memory";
  env["NO_AT_BRIDGE"] = "1";
  env["JACK_NO_START_SERVER"] = "1";
  if (!o.capture_file.empty()) env["CAPTURE_FILE"] = o.capture_file;
  if (!o.display.empty()) env["DISPLAY"] = o.display;
  if (!o.jack_server.empty()) env["JACK_DEFAULT_SERVER"] = o.jack_server;
  for (const auto &[k, v] : o.env) env[k] = v;
  for (const auto &k : o.unset_env) env.erase(k);
  return env;
}

} // namespace

// ---------------------------------------------------------------------------
// Files and directories

TempDir::TempDir(std::string_view prefix) {
  std::string tmpl = "/tmp/" + std::string(prefix) + "-XXXXXX";
  if (mkdtemp(tmpl.data()) != nullptr) path_ = tmpl;
}

TempDir::~TempDir() {
  if (!path_.empty()) remove_tree(path_);
}

TempDir::TempDir(TempDir &&other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }

TempDir &TempDir::operator=(TempDir &&other) noexcept {
  if (this != &other) {
    if (!path_.empty()) remove_tree(path_);
    path_ = std::move(other.path_);
    other.path_.clear();
  }
  return *this;
}

std::string TempDir::operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

std::string fresh_data_dir(const TempDir &parent, std::string_view name) {
  std::string base = parent / name;
  std::string p = base;
  for (int i = 1; path_exists(p); ++i) p = base + std::to_string(i);
  return p;
}

bool path_exists(const std::string &path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool is_directory(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int file_mode(const std::string &path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

long long file_size(const std::string &path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<long long>(st.st_size);
}

std::string read_file(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return {};
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool write_file(const std::string &path, std::string_view contents) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  f.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  return static_cast<bool>(f);
}

std::vector<std::string> list_dir(const std::string &path) {
  std::vector<std::string> names;
  DIR *d = opendir(path.c_str());
  if (!d) return names;
  while (dirent *e = readdir(d)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    names.emplace_back(e->d_name);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

bool remove_tree(const std::string &path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  if (S_ISDIR(st.st_mode)) {
    // Tests make directories unreadable on purpose; give access back first.
    chmod(path.c_str(), 0700);
    bool ok = true;
    for (const auto &name : list_dir(path)) ok = remove_tree(path + "/" + name) && ok;
    return rmdir(path.c_str()) == 0 && ok;
  }
  return unlink(path.c_str()) == 0;
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
  if (const char *old = getenv(name_.c_str())) old_ = old;
  if (value)
    setenv(name_.c_str(), value->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

ScopedEnv::~ScopedEnv() {
  if (old_)
    setenv(name_.c_str(), old_->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

// ---------------------------------------------------------------------------
// Sound

std::string alsa_config_path(AlsaConfig config) {
  const char *name = "nodevice.conf";
  switch (config) {
  case AlsaConfig::NoDevice: name = "nodevice.conf"; break;
  case AlsaConfig::File: name = "file.conf"; break;
  case AlsaConfig::FileAppend: name = "file_append.conf"; break;
  case AlsaConfig::TwoFiles: name = "twofiles.conf"; break;
  case AlsaConfig::RateLimited: name = "ratemax.conf"; break;
  }
  return std::string(RAVLOX_SOURCE_DIR "/tests/support/alsa/") + name;
}

double rms_of_middle_half(const std::vector<int16_t> &samples) {
  const size_t lo = samples.size() / 4, hi = samples.size() * 3 / 4;
  double sum = 0;
  for (size_t k = lo; k < hi; k++) sum += static_cast<double>(samples[k]) * samples[k];
  return hi > lo ? std::sqrt(sum / static_cast<double>(hi - lo)) : 0.0;
}

std::vector<int16_t> read_samples(const std::string &path) {
  std::string bytes = read_file(path);
  std::vector<int16_t> samples(bytes.size() / 2);
  if (!samples.empty()) memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

std::optional<size_t> find_samples(const std::vector<int16_t> &haystack,
                                   const std::vector<int16_t> &needle, size_t from) {
  if (needle.empty()) return from <= haystack.size() ? std::optional<size_t>(from) : std::nullopt;
  if (from >= haystack.size()) return std::nullopt;
  auto it = std::search(haystack.begin() + static_cast<std::ptrdiff_t>(from), haystack.end(),
                        std::boyer_moore_horspool_searcher(needle.begin(), needle.end()));
  if (it == haystack.end()) return std::nullopt;
  return static_cast<size_t>(it - haystack.begin());
}

// Frees the entries of JACK's machine-wide server registry whose server
// process no longer exists (killed without cleaning up), under the
// registry's own lock. Entries of running servers are never touched.
static void jack_reclaim_dead_servers() {
#ifdef __linux__
  constexpr uint32_t kMagic = 0x4a41434b; // "JACK"
  constexpr size_t kHeader = 24, kEntry = 264, kServers = 8;
  int fd = open("/dev/shm/jack-shm-registry", O_RDWR | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  if (fstat(fd, &st) != 0 || static_cast<size_t>(st.st_size) < kHeader + kEntry * kServers) {
    close(fd);
    return;
  }
  void *map = mmap(nullptr, kHeader + kEntry * kServers, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (map == MAP_FAILED) return;
  auto *base = static_cast<unsigned char *>(map);
  uint32_t head[6];
  memcpy(head, base, sizeof head);
  // magic, protocol, type, size, header length, entry length
  if (head[0] == kMagic && head[4] == kHeader + kEntry * kServers) {
    int sem = semget(0x282929, 1, 0);
    sembuf down{0, -1, static_cast<short>(SEM_UNDO | IPC_NOWAIT)}, up{0, 1, SEM_UNDO};
    bool locked = false;
    for (int i = 0; sem >= 0 && i < 200 && !locked; ++i) {
      locked = semop(sem, &down, 1) == 0;
      if (!locked) sleep_ms(10);
    }
    if (locked) {
      for (size_t i = 0; i < kServers; ++i) {
        unsigned char *entry = base + kHeader + i * kEntry;
        int32_t pid;
        memcpy(&pid, entry, sizeof pid);
        if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH) memset(entry, 0, kEntry);
      }
      semop(sem, &up, 1);
    }
  }
  munmap(map, kHeader + kEntry * kServers);
#endif
}

// JACK keeps at most eight servers in a registry shared by the machine, and
// an entry whose server died without cleaning up is only reclaimed by a
// server of the same name: so use a small fixed set of names, never one
// per process.
JackServer::JackServer(int rate, int period) {
  jack_reclaim_dead_servers();
  for (int slot = 0; slot < 8 && pid_ <= 0; ++slot) {
    std::string name = "ravlox-test-" + std::to_string(slot);
    // Skip a name in use by a running server (ours in a parallel test).
    if (run_command({"jack_lsp"}, {{"JACK_DEFAULT_SERVER", name}, {"JACK_NO_START_SERVER", "1"}},
                    milliseconds(5000))
            .exited_with(0))
      continue;
    SpawnRequest request;
    request.path = find_in_path("jackd");
    request.argv = {"jackd", "-n", name, "-r", "-d", "dummy", "-r", std::to_string(rate), "-p",
                 std::to_string(period)};
    request.env = current_env();
    request.out_path = dir_ / "jackd.log";
    request.err_path = dir_ / "jackd.err";
    pid_t pid = spawn(request);
    if (pid <= 0) return;
    auto deadline = Clock::now() + milliseconds(15000);
    bool gave_up = false;
    while (Clock::now() < deadline) {
      int status;
      if (waitpid(pid, &status, WNOHANG) == pid) { // name taken or no room
        gave_up = true;
        break;
      }
      auto r = run_command({"jack_lsp"}, {{"JACK_DEFAULT_SERVER", name}, {"JACK_NO_START_SERVER", "1"}},
                           milliseconds(5000));
      if (r.exited_with(0) && r.out.find("system:playback_1") != std::string::npos) {
        pid_ = pid;
        name_ = name;
        return;
      }
      sleep_ms(50);
    }
    if (!gave_up) {
      kill_group(pid, SIGKILL);
      int status;
      waitpid(pid, &status, 0);
    }
  }
}

// Asks a server started in its own group to stop, killing it if it does not within 5 s.
void end_process_group(pid_t pid) {
  kill_group(pid, SIGTERM);
  int status;
  if (!wait_pid(pid, milliseconds(5000), &status)) {
    kill_group(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
}

JackServer::~JackServer() {
  if (pid_ <= 0) return;
  end_process_group(pid_);
}

std::string JackServer::log() const { return read_file(dir_ / "jackd.log") + read_file(dir_ / "jackd.err"); }

bool wait_until(const std::function<bool()> &done, milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  while (Clock::now() < end) {
    if (done()) return true;
    sleep_ms(50);
  }
  return done();
}

ProgramResult SessionBus::playerctl(const std::vector<std::string> &args) const {
    std::vector<std::string> argv = {"playerctl"};
    if (args.empty() || args[0] != "-l")
        argv.insert(argv.end(), {"-p", "ravlox"});
    argv.insert(argv.end(), args.begin(), args.end());
    return run_command(argv, env(), std::chrono::milliseconds(10000));
}

std::string SessionBus::playerctl_out(const std::vector<std::string> &args) const {
    std::string out = playerctl(args).out;
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

SessionBus::SessionBus() {
  SpawnRequest request;
  request.path = find_in_path("dbus-daemon");
  request.argv = {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"};
  request.env = current_env();
  request.out_path = dir_ / "address";
  request.err_path = dir_ / "dbus.err";
  pid_ = spawn(request);
  if (pid_ <= 0) return;
  const auto deadline = Clock::now() + milliseconds(10000);
  while (Clock::now() < deadline) {
    const std::string text = read_file(dir_ / "address");
    const size_t end = text.find('\n');
    if (end != std::string::npos) {
      address_ = text.substr(0, end);
      return;
    }
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    sleep_ms(20);
  }
}

SessionBus::~SessionBus() {
  if (pid_ > 0) end_process_group(pid_);
}

// ---------------------------------------------------------------------------
// Running programs

std::ostream &operator<<(std::ostream &os, const ProgramResult &r) {
  os << "exit " << r.exit_code;
  if (r.term_signal) os << ", signal " << r.term_signal;
  if (r.timed_out) os << ", timed out";
  os << "\n--- stdout ---\n" << r.out << "\n--- stderr ---\n" << r.err;
  return os;
}

ProgramProcess::ProgramProcess(const ProgramOptions &o) {
  home_ = o.home;
  if (home_.empty()) {
    home_ = dir_ / "home";
    mkdir(home_.c_str(), 0700);
  }
  SpawnRequest request;
  request.path = find_in_path(o.program);
  request.argv.push_back(o.argv0.empty() ? o.program : o.argv0);
  if (!o.data_dir.empty()) request.argv.push_back("--dir=" + o.data_dir);
  for (const auto &a : o.args) request.argv.push_back(a);
  request.env = program_env(o, home_);
  request.cwd = o.cwd;
  request.out_path = dir_ / "stdout";
  request.err_path = dir_ / "stderr";
  pid_ = spawn(request);
}

ProgramProcess::~ProgramProcess() {
  if (pid_ > 0 && !done_) {
    kill_group(pid_, SIGKILL);
    int status;
    waitpid(pid_, &status, 0);
  }
}

void ProgramProcess::reap(int status) {
  done_ = true;
  status_ = status;
}

bool ProgramProcess::running() {
  if (pid_ <= 0 || done_) return false;
  int status;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    reap(status);
    return false;
  }
  return true;
}

std::optional<ProgramResult> ProgramProcess::wait(milliseconds timeout) {
  if (pid_ <= 0) {
    ProgramResult r;
    r.err = "harness: the program could not be started";
    return r;
  }
  if (!done_) {
    int status;
    if (!wait_pid(pid_, timeout, &status)) return std::nullopt;
    reap(status);
  }
  ProgramResult r;
  if (WIFEXITED(status_)) r.exit_code = WEXITSTATUS(status_);
  if (WIFSIGNALED(status_)) r.term_signal = WTERMSIG(status_);
  r.timed_out = killed_;
  r.out = out();
  r.err = err();
  return r;
}

ProgramResult ProgramProcess::stop(int sig, milliseconds timeout) {
  if (running()) {
    kill_group(pid_, sig);
    if (auto r = wait(timeout)) return *r;
    kill_group(pid_, SIGKILL);
  }
  auto r = wait(milliseconds(60000));
  return r ? *r : ProgramResult{};
}

std::string ProgramProcess::out() const { return read_file(dir_ / "stdout"); }
std::string ProgramProcess::err() const { return read_file(dir_ / "stderr"); }

bool ProgramProcess::wait_for_output(std::string_view text, milliseconds timeout, bool on_stderr) {
  auto deadline = Clock::now() + timeout;
  for (;;) {
    std::string s = on_stderr ? err() : out();
    if (s.find(text) != std::string::npos) return true;
    if (!running()) {
      s = on_stderr ? err() : out();
      return s.find(text) != std::string::npos;
    }
    if (Clock::now() >= deadline) return false;
    sleep_ms(10);
  }
}

ProgramResult run_program(const ProgramOptions &options) {
  ProgramProcess p(options);
  if (auto r = p.wait(options.timeout)) return *r;
  ProgramResult r = p.stop(SIGKILL);
  r.timed_out = true;
  return r;
}

ProgramResult run_program(std::vector<std::string> args, Env env, milliseconds timeout) {
  ProgramOptions o;
  o.args = std::move(args);
  o.env = std::move(env);
  o.timeout = timeout;
  return run_program(o);
}

ProgramResult run_command(const std::vector<std::string> &argv, Env env, milliseconds timeout) {
  ProgramResult r;
  if (argv.empty()) return r;
  TempDir dir("ravlox-cmd");
  SpawnRequest request;
  request.path = find_in_path(argv[0]);
  request.argv = argv;
  request.env = current_env();
  for (const auto &[k, v] : env) request.env[k] = v;
  request.out_path = dir / "stdout";
  request.err_path = dir / "stderr";
  pid_t pid = spawn(request);
  if (pid <= 0) {
    r.err = "harness: cannot start " + argv[0];
    return r;
  }
  int status = 0;
  if (!wait_pid(pid, timeout, &status)) {
    kill_group(pid, SIGKILL);
    waitpid(pid, &status, 0);
    r.timed_out = true;
  }
  if (WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.term_signal = WTERMSIG(status);
  r.out = read_file(dir / "stdout");
  r.err = read_file(dir / "stderr");
  return r;
}

// ---------------------------------------------------------------------------
// Images

std::ostream &operator<<(std::ostream &os, const Rgb &c) {
  char buf[16];
  snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
  return os << buf;
}

Rgb Image::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {};
  size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
  return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

Image Image::crop(int x, int y, int w, int h) const {
  Image r;
  if (w <= 0 || h <= 0) return r;
  r.width = w;
  r.height = h;
  r.rgb.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 3, 0);
  for (int yy = 0; yy < h; ++yy)
    for (int xx = 0; xx < w; ++xx) {
      Rgb c = pixel(x + xx, y + yy);
      size_t i = (static_cast<size_t>(yy) * static_cast<size_t>(w) + static_cast<size_t>(xx)) * 3;
      r.rgb[i] = c.r;
      r.rgb[i + 1] = c.g;
      r.rgb[i + 2] = c.b;
    }
  return r;
}

namespace {

Image from_pixbuf(GdkPixbuf *pb) {
  Image img;
  if (!pb) return img;
  int w = gdk_pixbuf_get_width(pb), h = gdk_pixbuf_get_height(pb);
  int n = gdk_pixbuf_get_n_channels(pb), stride = gdk_pixbuf_get_rowstride(pb);
  const guchar *px = gdk_pixbuf_read_pixels(pb);
  if (gdk_pixbuf_get_bits_per_sample(pb) != 8 || n < 3) return img;
  img.width = w;
  img.height = h;
  img.rgb.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const guchar *p = px + static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x * n);
      size_t i = (static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 3;
      img.rgb[i] = p[0];
      img.rgb[i + 1] = p[1];
      img.rgb[i + 2] = p[2];
    }
  return img;
}

} // namespace

Image Image::from_encoded(const std::string &bytes) {
  GdkPixbufLoader *loader = gdk_pixbuf_loader_new();
  GError *error = nullptr;
  Image img;
  if (gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar *>(bytes.data()), bytes.size(), &error) &&
      gdk_pixbuf_loader_close(loader, &error))
    img = from_pixbuf(gdk_pixbuf_loader_get_pixbuf(loader));
  else
    gdk_pixbuf_loader_close(loader, nullptr);
  if (error) g_error_free(error);
  g_object_unref(loader);
  return img;
}

Image Image::load(const std::string &path) { return from_encoded(read_file(path)); }

bool Image::save_png(const std::string &path) const {
  if (empty()) return false;
  GdkPixbuf *pb = gdk_pixbuf_new_from_data(rgb.data(), GDK_COLORSPACE_RGB, FALSE, 8, width, height, width * 3,
                                           nullptr, nullptr);
  if (!pb) return false;
  GError *error = nullptr;
  gboolean ok = gdk_pixbuf_save(pb, path.c_str(), "png", &error, nullptr);
  if (error) g_error_free(error);
  g_object_unref(pb);
  return ok;
}

// ---------------------------------------------------------------------------
// Xvfb

Xvfb::Xvfb(std::string screen, WindowManager wm) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  SpawnRequest request;
  request.path = find_in_path("Xvfb");
  request.argv = {"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"};
  request.env = current_env();
  request.err_path = dir_ / "xvfb.log";
  request.extra_fd = fds[1];
  pid_t pid = spawn(request);
  close(fds[1]);
  if (pid <= 0) {
    close(fds[0]);
    return;
  }
  std::string number;
  auto deadline = Clock::now() + milliseconds(20000);
  while (Clock::now() < deadline && number.find('\n') == std::string::npos) {
    pollfd p{fds[0], POLLIN, 0};
    int left = static_cast<int>(std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count());
    if (poll(&p, 1, std::max(left, 1)) <= 0) break;
    char buf[32];
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    number.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) number.pop_back();
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
    kill_group(pid, SIGKILL);
    int status;
    waitpid(pid, &status, 0);
    fprintf(stderr, "harness: Xvfb did not start:\n%s\n", read_file(dir_ / "xvfb.log").c_str());
    return;
  }
  pid_ = pid;
  display_ = ":" + number;
  if (wm == WindowManager::openbox && !start_openbox()) {
    fprintf(stderr, "harness: openbox did not start:\n%s\n", read_file(dir_ / "openbox.log").c_str());
    display_.clear();
  }
}

// Ready once it has set the root window's _NET_SUPPORTING_WM_CHECK.
bool Xvfb::start_openbox() {
  SpawnRequest request;
  request.path = find_in_path("openbox");
  request.argv = {"openbox", "--sm-disable"};
  request.env = current_env();
  request.env["DISPLAY"] = display_;
  request.env["HOME"] = dir_.path();
  request.env.erase("XDG_CONFIG_HOME");
  request.err_path = dir_ / "openbox.log";
  wm_pid_ = spawn(request);
  if (wm_pid_ <= 0) return false;
  return wait_until([&] {
    auto r = run_command({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, {{"DISPLAY", display_}},
                         milliseconds(5000));
    return r.exited_with(0) && r.out.find("window id #") != std::string::npos;
  }, milliseconds(15000));
}

Xvfb::~Xvfb() {
  if (wm_pid_ > 0) end_process_group(wm_pid_);
  if (pid_ <= 0) return;
  end_process_group(pid_);
}

ProgramResult Xvfb::xdotool(const std::vector<std::string> &args, milliseconds timeout) const {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_command(argv, {{"DISPLAY", display_}}, timeout);
}

std::optional<std::string> Xvfb::wait_window_regex(std::string_view pattern, milliseconds timeout) const {
  auto deadline = Clock::now() + timeout;
  for (;;) {
    auto r = xdotool({"search", "--onlyvisible", "--name", std::string(pattern)}, milliseconds(5000));
    if (r.exited_with(0)) {
      std::istringstream ss(r.out);
      std::string id;
      if (ss >> id) return id;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    sleep_ms(25);
  }
}

std::optional<std::string> Xvfb::wait_window(std::string_view title, milliseconds timeout) const {
  // xdotool matches names case-insensitively: confirm the exact title.
  auto deadline = Clock::now() + timeout;
  for (;;) {
    for (const auto &id : find_windows(title)) return id;
    if (Clock::now() >= deadline) return std::nullopt;
    sleep_ms(25);
  }
}

std::vector<std::string> Xvfb::find_windows(std::string_view title) const {
  std::vector<std::string> ids;
  auto r = xdotool({"search", "--onlyvisible", "--name", "^" + escape_regex(title) + "$"});
  std::istringstream ss(r.out);
  std::string id;
  while (ss >> id)
    if (window_title(id) == title) ids.push_back(id);
  return ids;
}

bool Xvfb::wait_window_gone(std::string_view title, milliseconds timeout) const {
  auto deadline = Clock::now() + timeout;
  for (;;) {
    if (find_windows(title).empty()) return true;
    if (Clock::now() >= deadline) return false;
    sleep_ms(25);
  }
}

std::optional<Geometry> Xvfb::window_geometry(const std::string &window) const {
  auto r = xdotool({"getwindowgeometry", "--shell", window});
  if (!r.exited_with(0)) return std::nullopt;
  Geometry g;
  int found = 0;
  std::istringstream ss(r.out);
  std::string line;
  while (std::getline(ss, line)) {
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string k = line.substr(0, eq);
    int v = atoi(line.c_str() + eq + 1);
    if (k == "X") g.x = v, found++;
    else if (k == "Y") g.y = v, found++;
    else if (k == "WIDTH") g.width = v, found++;
    else if (k == "HEIGHT") g.height = v, found++;
  }
  if (found != 4) return std::nullopt;
  return g;
}

std::string Xvfb::window_title(const std::string &window) const {
  auto r = xdotool({"getwindowname", window});
  std::string s = r.out;
  while (!s.empty() && s.back() == '\n') s.pop_back();
  return s;
}

Image Xvfb::screenshot() const {
  auto r = run_command({"import", "-silent", "-window", "root", "png:-"}, {{"DISPLAY", display_}});
  if (!r.exited_with(0)) return {};
  return Image::from_encoded(r.out);
}

Image Xvfb::screenshot(const std::string &window) const {
  auto g = window_geometry(window);
  if (!g) return {};
  return screenshot().crop(g->x, g->y, g->width, g->height);
}

bool Xvfb::click(const std::string &window, int x, int y, int button) const {
  return xdotool({"mousemove", "--window", window, std::to_string(x), std::to_string(y), "click",
                  std::to_string(button)})
      .exited_with(0);
}

bool Xvfb::double_click(const std::string &window, int x, int y, int button) const {
  return xdotool({"mousemove", "--window", window, std::to_string(x), std::to_string(y), "click", "--repeat",
                  "2", "--delay", "40", std::to_string(button)})
      .exited_with(0);
}

bool Xvfb::mouse_move(const std::string &window, int x, int y) const {
  return xdotool({"mousemove", "--window", window, std::to_string(x), std::to_string(y)}).exited_with(0);
}

bool Xvfb::mouse_down(const std::string &window, int x, int y, int button) const {
  return xdotool({"mousemove", "--window", window, std::to_string(x), std::to_string(y), "mousedown",
                  std::to_string(button)})
      .exited_with(0);
}

bool Xvfb::mouse_up(int button) const { return xdotool({"mouseup", std::to_string(button)}).exited_with(0); }

bool Xvfb::drag(const std::string &window, int x0, int y0, int x1, int y1, int button, int steps) const {
  if (!mouse_down(window, x0, y0, button)) return false;
  steps = std::max(steps, 1);
  for (int i = 1; i <= steps; ++i) {
    sleep_ms(10);
    if (!mouse_move(window, x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps)) return false;
  }
  sleep_ms(10);
  return mouse_up(button);
}

bool Xvfb::scroll(const std::string &window, int x, int y, bool up) const {
  return click(window, x, y, up ? 4 : 5);
}

bool Xvfb::key(const std::string &window, std::string_view keys) const {
  std::vector<std::string> args{"windowfocus", window, "key", "--clearmodifiers"};
  std::istringstream ss{std::string(keys)};
  std::string k;
  while (ss >> k) args.push_back(k);
  return xdotool(args).exited_with(0);
}

bool Xvfb::type(const std::string &window, std::string_view text) const {
  return xdotool({"windowfocus", window, "type", "--delay", "5", std::string(text)}).exited_with(0);
}

// ---------------------------------------------------------------------------
// Fixtures

std::string fixture_path(std::string_view name) { return std::string(RAVLOX_FIXTURE_DIR "/") + std::string(name); }

std::string corpus_dir() {
  const char *env = getenv("RAVLOX_CORPUS_DIR");
  // A worktree stands one level further down beside the repository.
  for (std::string dir : {std::string(env ? env : ""), std::string(RAVLOX_CORPUS_DIR),
                          std::string(RAVLOX_SOURCE_DIR "/../../shared/corpus")})
    if (!dir.empty() && is_directory(dir)) return dir;
  return "";
}

ReferencePcm decode_reference(const std::string &mp3_path) {
  ReferencePcm ref;
  auto r = run_command({"mpg123", "-q", "-s", mp3_path}, {}, milliseconds(60000));
  if (!r.exited_with(0)) return ref;
  ref.samples.resize(r.out.size() / 2);
  if (!ref.samples.empty()) memcpy(ref.samples.data(), r.out.data(), ref.samples.size() * 2);

#if MPG123_API_VERSION < 46
  mpg123_init();
#endif
  mpg123_handle *mh = mpg123_new(nullptr, nullptr);
  if (!mh) return ref;
  long rate = 0;
  int channels = 0, encoding = 0;
  if (mpg123_open(mh, mp3_path.c_str()) == MPG123_OK && mpg123_getformat(mh, &rate, &channels, &encoding) == MPG123_OK) {
    ref.rate = static_cast<int>(rate);
    ref.channels = channels;
    ref.ok = true;
  }
  mpg123_close(mh);
  mpg123_delete(mh);
  return ref;
}

bool has_line(const std::string &text, const std::string &line) {
  return ("\n" + text + "\n").find("\n" + line + "\n") != std::string::npos;
}

std::vector<int16_t> as_stereo(const ReferencePcm &ref) {
  if (ref.channels == 2) return ref.samples;
  std::vector<int16_t> s;
  s.reserve(ref.samples.size() * 2);
  for (int16_t v : ref.samples) s.insert(s.end(), {v, v});
  return s;
}

std::vector<int16_t> audible_frames(const std::vector<int16_t> &stereo) {
  std::vector<int16_t> s;
  for (size_t k = 0; k + 1 < stereo.size(); k += 2)
    if (stereo[k] != 0 || stereo[k + 1] != 0) s.insert(s.end(), {stereo[k], stereo[k + 1]});
  return s;
}

ReferencePcm decode_ffmpeg_reference(const std::string &path, int channels) {
  ReferencePcm ref;
  auto probe = run_command({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                            "stream=sample_rate", "-of", "default=nw=1:nk=1", path});
  auto r = run_command({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-f", "s16le",
                        "-ac", std::to_string(channels), "-"},
                       {}, milliseconds(60000));
  if (!probe.exited_with(0) || !r.exited_with(0)) return ref;
  ref.samples.resize(r.out.size() / 2);
  if (!ref.samples.empty()) memcpy(ref.samples.data(), r.out.data(), ref.samples.size() * 2);
  ref.rate = atoi(probe.out.c_str());
  ref.channels = channels;
  ref.ok = ref.rate > 0;
  return ref;
}

std::string program_path(const std::string &name) {
  const std::string found = find_in_path(name);
  return found.find('/') != std::string::npos && access(found.c_str(), X_OK) == 0 ? found : "";
}

std::string missing_program(std::initializer_list<const char *> names) {
  for (const char *name : names)
    if (program_path(name).empty()) return name;
  return "";
}

std::map<std::string, std::string> read_settings(const std::string &path) {
  std::map<std::string, std::string> out;
  std::istringstream in(read_file(path));
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return out;
}

Alignment align_samples(const std::vector<int16_t> &a, size_t a_at, const std::vector<int16_t> &b,
                        size_t b_at, size_t frames, int channels, int range) {
  Alignment best;
  const size_t ch = static_cast<size_t>(channels);
  if ((a_at + frames) * ch > a.size())
    return best;
  double energy = 0;
  for (size_t k = 0; k < frames * ch; ++k)
    energy += static_cast<double>(a[a_at * ch + k]) * a[a_at * ch + k];
  for (int shift = -range; shift <= range; ++shift) {
    const long from = static_cast<long>(b_at) + shift;
    if (from < 0 || (static_cast<size_t>(from) + frames) * ch > b.size())
      continue;
    double sum = 0;
    for (size_t k = 0; k < frames * ch; ++k) {
      const double d = a[a_at * ch + k] - b[static_cast<size_t>(from) * ch + k];
      sum += d * d;
    }
    const double residual = energy > 0 ? sum / energy : (sum > 0 ? 1 : 0);
    if (best.residual < 0 || residual < best.residual)
      best = Alignment{shift, residual};
  }
  return best;
}

std::string seam_fault(const std::vector<int16_t> &heard, size_t at, const std::vector<int16_t> &tone,
                       size_t cut, bool exact) {
  const size_t frames = tone.size() / 2;
  if (at > heard.size() / 2 || heard.size() / 2 - at < frames)
    return "only " + std::to_string(heard.size() / 2 - std::min(at, heard.size() / 2)) + " of " +
           std::to_string(frames) + " frames were heard";
  if (exact) {
    const auto [t, h] = std::mismatch(tone.begin(), tone.end(), heard.begin() + static_cast<long>(2 * at));
    if (t == tone.end())
      return "";
    const size_t k = static_cast<size_t>(t - tone.begin()) / 2;
    return "frame " + std::to_string(k) + " (cut at " + std::to_string(cut) + ") is " + std::to_string(*h) +
           ", not " + std::to_string(*t);
  }
  constexpr size_t WINDOW = 1024;
  for (size_t w : {size_t{0}, cut - WINDOW, cut, frames - WINDOW}) {
    const Alignment a = align_samples(tone, w, heard, at + w, WINDOW, 2, 16);
    if (a.shift != 0 || a.residual < 0 || a.residual > 0.05)
      return "from frame " + std::to_string(w) + " (cut at " + std::to_string(cut) + ") shifted by " +
             std::to_string(a.shift) + ", residual " + std::to_string(a.residual);
  }
  return "";
}
