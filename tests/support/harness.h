// Shared test harness: temporary directories, running the program, a
// virtual X display with screenshots and input, file-backed sound devices,
// MP3 fixtures and reference decoding.
//
// Every test process that links this library starts with a private HOME
// (a temporary directory removed at exit), the no-device ALSA
// configuration, DISPLAY unset and the quiet GTK settings, so no test can
// reach the user's ~/.ravlox, sound card or desktop by accident.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using Env = std::vector<std::pair<std::string, std::string>>;
using std::chrono::milliseconds;

// Polls `done` every 50 ms until it holds or the timeout has passed; its last answer.
bool wait_until(const std::function<bool()> &done, milliseconds timeout = milliseconds(8000));

// ---------------------------------------------------------------------------
// Files and directories

// A directory made with mkdtemp under /tmp, removed recursively when the
// object goes.
class TempDir {
public:
  explicit TempDir(std::string_view prefix = "ravlox-test");
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  TempDir(TempDir &&other) noexcept;
  TempDir &operator=(TempDir &&other) noexcept;

  const std::string &path() const { return path_; }
  // path() + "/" + name; nothing is created.
  std::string operator/(std::string_view name) const;

private:
  std::string path_;
};

// A data directory path inside `parent` that does not exist yet, so the
// program creates it (no trailing slash).
std::string fresh_data_dir(const TempDir &parent, std::string_view name = "data");

bool path_exists(const std::string &path);
bool is_directory(const std::string &path);
// Permission bits (e.g. 0700), or -1 if the path does not exist.
int file_mode(const std::string &path);
// -1 if the file does not exist.
long long file_size(const std::string &path);
// Whole file, or an empty string if it cannot be read.
std::string read_file(const std::string &path);
// The key=value lines of a settings file ("gui.config" and the like).
std::map<std::string, std::string> read_settings(const std::string &path);
// The program's full path on $PATH, empty when it is not installed.
std::string program_path(const std::string &name);
// The first of `names` that is not installed, empty when all are (for a GTEST_SKIP).
std::string missing_program(std::initializer_list<const char *> names);
bool write_file(const std::string &path, std::string_view contents);
// Names in a directory without "." and "..", sorted; empty if unreadable.
std::vector<std::string> list_dir(const std::string &path);
bool remove_tree(const std::string &path);

// Sets (or, with no value, unsets) an environment variable of the test
// process and restores the old state on destruction.
class ScopedEnv {
public:
  ScopedEnv(std::string name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv &) = delete;
  ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
  std::string name_;
  std::optional<std::string> old_;
};

// ---------------------------------------------------------------------------
// Sound devices (ALSA configurations selected through ALSA_CONFIG_PATH)

enum class AlsaConfig {
  NoDevice,   // PortAudio finds zero devices (the default everywhere)
  File,       // one device "default" writing raw S16 into $CAPTURE_FILE
  FileAppend, // the same, but reopening a stream appends instead of truncating
  TwoFiles,   // "ravlox_a" ($CAPTURE_FILE_A), "ravlox_b" ($CAPTURE_FILE_B)
              // and "default" ($CAPTURE_FILE), in that device order
  RateLimited, // as File, for a card that refuses rates above $CAPTURE_RATE_MAX (96000 Hz)
};
std::string alsa_config_path(AlsaConfig config);

// Raw capture as interleaved int16 samples (native byte order).
std::vector<int16_t> read_samples(const std::string &path);
// Index of the first occurrence of `needle` in `haystack` at or after
// `from`. The device writes leading zero frames, so compare by searching.
std::optional<size_t> find_samples(const std::vector<int16_t> &haystack,
                                   const std::vector<int16_t> &needle, size_t from = 0);

// Root mean square of the middle half of the values (a tone's level without its edges).
double rms_of_middle_half(const std::vector<int16_t> &samples);

// A JACK server with the dummy backend, paced in real time, under a name of
// its own ("ravlox-test-0" to "-7"; parallel tests get different ones).
// PortAudio uses it as its default output device when JACK_DEFAULT_SERVER
// names it (ProgramOptions::jack_server, or ScopedEnv in process) and the
// ALSA configuration has no device. Use PortAudio's callback API with it:
// the blocking API trips an assertion in PortAudio's JACK backend.
// JACK's registry holds eight servers per machine; start servers only
// through this class (it reclaims entries of servers that were killed).
class JackServer {
public:
  explicit JackServer(int rate = 44100, int period = 64);
  ~JackServer();
  JackServer(const JackServer &) = delete;
  JackServer &operator=(const JackServer &) = delete;

  bool ok() const { return pid_ > 0; }
  const std::string &name() const { return name_; }
  std::string log() const;

private:
  std::string name_;
  pid_t pid_ = -1;
  TempDir dir_{"ravlox-jack"};
};

// A private D-Bus session bus (dbus-daemon --session) for the program and
// tools such as playerctl and gdbus. Test processes and the programs they
// start never see the user's bus: DBUS_SESSION_BUS_ADDRESS is unset unless
// a test passes env() on.
class SessionBus {
public:
  SessionBus();
  ~SessionBus();
  SessionBus(const SessionBus &) = delete;
  SessionBus &operator=(const SessionBus &) = delete;

  bool ok() const { return !address_.empty(); }
  const std::string &address() const { return address_; }
  Env env() const { return {{"DBUS_SESSION_BUS_ADDRESS", address_}}; }
  // playerctl on this bus, for the player "ravlox" unless the arguments start with -l; the
  // second gives its output without the line ends at its end.
  struct ProgramResult playerctl(const std::vector<std::string> &args) const;
  std::string playerctl_out(const std::vector<std::string> &args) const;

private:
  pid_t pid_ = -1;
  std::string address_;
  TempDir dir_{"ravlox-dbus"};
};

// ---------------------------------------------------------------------------
// Running programs

struct ProgramResult {
  int exit_code = -1;     // exit status, or -1 if it did not exit normally
  int term_signal = 0;    // the signal that ended it, or 0
  bool timed_out = false; // killed by the harness after the timeout
  std::string out;        // everything written to standard output
  std::string err;        // everything written to standard error
  bool exited_with(int code) const { return !timed_out && term_signal == 0 && exit_code == code; }
};
std::ostream &operator<<(std::ostream &os, const ProgramResult &r);

// How the program under test is started. Always set: HOME (a private
// temporary directory unless `home` is given), ALSA_CONFIG_PATH,
// GDK_BACKEND=x11, GSK_RENDERER=cairo, GTK_A11Y=none,
// GSETTINGS_BACKEND=memory, NO_AT_BRIDGE=1, JACK_NO_START_SERVER=1;
// DISPLAY only when `display` is given. `env` is applied last and wins;
// `unset_env` removes variables (e.g. "HOME"). Standard input is /dev/null.
struct ProgramOptions {
  std::vector<std::string> args;  // arguments after argv[0]
  std::string data_dir;           // non-empty: "--dir=" + data_dir goes before args
  std::string home;               // empty: a private temporary HOME
  AlsaConfig alsa = AlsaConfig::NoDevice;
  std::string capture_file;       // CAPTURE_FILE for the file-backed configs
  std::string display;            // DISPLAY, e.g. Xvfb::display()
  std::string jack_server;        // JACK_DEFAULT_SERVER, e.g. JackServer::name()
  Env env;
  std::vector<std::string> unset_env;
  std::string cwd;                // working directory; empty: unchanged
  std::string program = RAVLOX_BINARY;
  std::string argv0;              // empty: same as program
  milliseconds timeout{30000};    // run_program only
};

// Runs the program to its end (killed with SIGKILL after the timeout).
ProgramResult run_program(const ProgramOptions &options);
// Shorthand: the ravlox binary with these arguments and the defaults above.
ProgramResult run_program(std::vector<std::string> args, Env env = {},
                          milliseconds timeout = milliseconds(30000));
// Any tool, with the test process's environment plus `env` and no other
// changes (for mpg123, sox, xdotool and the like). argv[0] is looked up
// in PATH.
ProgramResult run_command(const std::vector<std::string> &argv, Env env = {},
                          milliseconds timeout = milliseconds(30000));

// The program running in the background; killed (SIGKILL, whole process
// group) and reaped on destruction. Everything the harness starts is also
// killed when the test process dies (Linux), so a test killed on timeout
// leaves nothing running. Output goes to files that can be read
// at any time.
class ProgramProcess {
public:
  explicit ProgramProcess(const ProgramOptions &options);
  ~ProgramProcess();
  ProgramProcess(const ProgramProcess &) = delete;
  ProgramProcess &operator=(const ProgramProcess &) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  const std::string &home() const { return home_; }
  bool running();
  // The result once the program has ended, or nothing if it still runs
  // after `timeout`.
  std::optional<ProgramResult> wait(milliseconds timeout);
  // Sends `sig` and waits for the end.
  ProgramResult stop(int sig = SIGTERM, milliseconds timeout = milliseconds(5000));
  std::string out() const;
  std::string err() const;
  // Waits until the standard output (or error) contains `text`; false on
  // timeout or if the program ended without printing it.
  bool wait_for_output(std::string_view text, milliseconds timeout, bool on_stderr = false);

private:
  void reap(int status);
  pid_t pid_ = -1;
  bool done_ = false;
  int status_ = 0;
  bool killed_ = false;
  TempDir dir_{"ravlox-proc"};
  std::string home_;
};

// ---------------------------------------------------------------------------
// Virtual display

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb &) const = default;
};
std::ostream &operator<<(std::ostream &os, const Rgb &c);

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb; // width * height * 3, rows top to bottom

  bool empty() const { return width == 0 || height == 0; }
  Rgb pixel(int x, int y) const; // black outside the image
  Image crop(int x, int y, int w, int h) const;
  bool save_png(const std::string &path) const; // for looking at failures
  static Image load(const std::string &path);   // any format gdk-pixbuf reads
  static Image from_encoded(const std::string &bytes);
};

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// An Xvfb server on a free display (-displayfd), 1280x1024x24, no TCP. Without
// a window manager an undecorated window appears at (0, 0); with one (openbox,
// started and waited for) windows are placed, focused and stacked as on a
// desktop. Window ids are xdotool's decimal ids.
enum class WindowManager { none, openbox };

class Xvfb {
public:
  explicit Xvfb(std::string screen = "1280x1024x24", WindowManager wm = WindowManager::none);
  explicit Xvfb(WindowManager wm) : Xvfb("1280x1024x24", wm) {}
  ~Xvfb();
  Xvfb(const Xvfb &) = delete;
  Xvfb &operator=(const Xvfb &) = delete;

  // False also when the window manager was asked for and did not come up.
  bool ok() const { return !display_.empty(); }
  const std::string &display() const { return display_; } // e.g. ":12"

  // Waits for a mapped window whose whole title matches `title` exactly
  // (regular expression characters in it are escaped).
  std::optional<std::string> wait_window(std::string_view title,
                                         milliseconds timeout = milliseconds(15000)) const;
  // The same with an xdotool name pattern as given (anchor it yourself).
  std::optional<std::string> wait_window_regex(std::string_view pattern,
                                               milliseconds timeout) const;
  // True once no visible window has exactly this title.
  bool wait_window_gone(std::string_view title, milliseconds timeout) const;
  std::vector<std::string> find_windows(std::string_view title) const; // visible, exact title
  std::optional<Geometry> window_geometry(const std::string &window) const;
  std::string window_title(const std::string &window) const;

  Image screenshot() const;                          // the whole screen
  Image screenshot(const std::string &window) const; // the window's area of the screen

  // Pointer and keyboard, coordinates relative to the window's top left.
  bool click(const std::string &window, int x, int y, int button = 1) const;
  bool double_click(const std::string &window, int x, int y, int button = 1) const;
  bool mouse_move(const std::string &window, int x, int y) const;
  bool mouse_down(const std::string &window, int x, int y, int button = 1) const;
  bool mouse_up(int button = 1) const;
  // Press at (x0, y0), move in `steps` steps to (x1, y1), release.
  bool drag(const std::string &window, int x0, int y0, int x1, int y1, int button = 1,
            int steps = 8) const;
  bool scroll(const std::string &window, int x, int y, bool up) const;
  // Focuses the window and sends keys such as "ctrl+d", "Return" or
  // "shift+Tab" (several separated by spaces).
  bool key(const std::string &window, std::string_view keys) const;
  bool type(const std::string &window, std::string_view text) const;
  // Any xdotool command on this display.
  ProgramResult xdotool(const std::vector<std::string> &args,
                        milliseconds timeout = milliseconds(15000)) const;

private:
  bool start_openbox();

  pid_t pid_ = -1;
  pid_t wm_pid_ = -1;
  std::string display_;
  TempDir dir_{"ravlox-xvfb"};
};

// ---------------------------------------------------------------------------
// MP3 fixtures (generated into the build tree by the ravlox_fixtures target)
//
//   stereo44.mp3   3 s, 44.1 kHz stereo, chirp left and tone right, never silent
//   mono22.mp3     2 s, 22.05 kHz mono
//   stereo48.mp3   2 s, 48 kHz stereo
//   len10_9.mp3    exactly 10.9 s, 44.1 kHz stereo (480690 frames)
//   mono8.mp3      2 s, 8 kHz mono
//   long80.mp3     80 s, 32 kHz mono at 32 kbit/s
//   short.mp3      400 frames of 44.1 kHz stereo, shorter than one MP3 frame
//   tagged.mp3     1 s, 44.1 kHz stereo, ID3v1+v2: "Fixture Title",
//                  "Fixture Artist", "Fixture Album"
//   info.mp3       2 s, 22.05 kHz mono, VBR, ID3v1+v2: "Info Title", "Info Artist",
//                  "Info Album", 2018, track 3/9, Jazz, "Info comment"
//   switch_a.mp3   2.3 s, 44.1 kHz stereo, the last 0.3 s silent, no info frame
//   switch_b.mp3   2.3 s, 8 kHz mono, the same
//   switch.mp3     switch_a, switch_b and switch_a again in one file
//   truncated.mp3  the first 20000 bytes of stereo44.mp3, cut inside a frame
//   empty.mp3      0 bytes
//   random.mp3     16384 bytes from a fixed-seed generator
// Other formats, from sox tones (16-bit 44.1 kHz stereo 3 s unless said otherwise):
//   flac16.flac, flac24.flac (24-bit 48 kHz 2 s), flacmono.flac (mono 2 s), vorbis.ogg,
//   opus.opus, opus16ch.opus (16 channels at 48 kHz, 1 s), aac.m4a, alac.m4a, wav16.wav, wav24.wav (as flac24), wav96.wav (24-bit 96 kHz),
//   wav192.wav (16-bit 192 kHz 1 s), wav51.wav (5.1 at 48 kHz), aiff16.aiff, wavpack.wv,
//   wavpack24.wv (as flac24); tagged.flac, tagged.ogg, tagged.m4a (title, artist, album,
//   track and year; tagged.flac also a genre, "Flac Genre", and a comment, "Flac comment");
//   flac_named.mp3 (flac16 under another name); video.mp4 (a picture
//   track and ALAC sound); cover_only.m4a (one picture, no sound); truncated.flac (cut
//   inside a frame); damaged.ogg (vorbis.ogg with 600 bytes overwritten in the middle)
//   gapless.wav (3 s of 48 kHz stereo) and its two parts, cut at frame 67891, as
//   gapless_a/b .flac, .opus, .ogg, .m4a (exact edit list) and .mp3; gapless_lead.flac (1.5 s of
//   silence in the same format)
// ReplayGain, one 1 s tone of peak 0.25 under known tags: rg_tags.flac (track -6 dB, album
//   -9.5 dB), rg_peak.flac and rg_peak.mp3 (+12 dB, stored peak 0.5), rg_bad.flac and
//   rg_bad.mp3 (malformed values), rg_trackonly.ogg and rg_trackonly.mp3 (track +4.5 dB only),
//   rg.wv (track -6 dB), rg.mp3 (TXXX track -6 dB, album -9.5 dB), rg_zero.mp3 (track 0 dB),
//   rg_lame.mp3 (the encoder's own gain, which it reported into rg_lame.gain), rg_plain.opus
//   and rg.opus (the same packets with a -5 dB header gain, R128 track -10 dB, album -6 dB)

std::string fixture_path(std::string_view name);

// The real-world corpus (MP3 files and playlists from other projects): $RAVLOX_CORPUS_DIR,
// else the build's RAVLOX_CORPUS_DIR (../shared/corpus beside the source tree); empty when none exists, so
// tests can skip.
std::string corpus_dir();

struct ReferencePcm {
  bool ok = false;
  int rate = 0;
  int channels = 0;
  std::vector<int16_t> samples; // interleaved
  size_t frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
};
// Decodes with the mpg123 command (`mpg123 -q -s`), which uses the same
// library and gives byte-identical samples; rate and channels come from
// libmpg123. Never commit decoded PCM: it differs between CPU decoders.
ReferencePcm decode_reference(const std::string &mp3_path);
// Any other format, with `ffmpeg -i FILE -f s16le -ac CHANNELS -` (the same libraries the
// program uses); the rate comes from ffprobe.
ReferencePcm decode_ffmpeg_reference(const std::string &path, int channels);
// True when `line` is one whole line of `text`.
bool has_line(const std::string &text, const std::string &line);
// The samples as the output plays them: mono on both channels.
std::vector<int16_t> as_stereo(const ReferencePcm &ref);
// The stereo frames that are not silent: where a busy machine let the device run dry, it
// played silence between them.
std::vector<int16_t> audible_frames(const std::vector<int16_t> &stereo);

// How two interleaved sample streams of `channels` channels line up: the shift in frames
// (within ±`range`) at which `b`, from frame `b_at + shift` on, best matches `a` from frame
// `a_at` on over `frames` frames (least squares), and what is left of `a` there: the energy
// of the difference over the energy of `a`. A lossy decode of a tone lines up with the tone
// at shift 0 with a small residual; a sample dropped or inserted before `b_at` shows as a shift.
struct Alignment {
  int shift = 0;
  double residual = -1; // -1: the window does not fit into both streams
};
Alignment align_samples(const std::vector<int16_t> &a, size_t a_at, const std::vector<int16_t> &b,
                        size_t b_at, size_t frames, int channels, int range);

// What is wrong with `heard` (interleaved stereo) as a play of `tone` from frame `at` on, where
// `tone` was cut in two at frame `cut` and the parts were played in a row; empty when nothing.
// `exact`: every sample as in `tone`. Otherwise (a lossy codec) the frames on both sides of
// the cut and at both ends must line up with the tone at shift 0, with a residual of 5 % at most (-13 dB: a codec's first frame is rough).
std::string seam_fault(const std::vector<int16_t> &heard, size_t at, const std::vector<int16_t> &tone,
                       size_t cut, bool exact);
