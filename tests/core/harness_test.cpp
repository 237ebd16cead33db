// Proves the shared harness against the real parts it wraps: PortAudio into
// the file-backed ALSA device, a JACK dummy server, Xvfb with a real GTK
// window, the program runner and the MP3 fixtures.
#include "support/harness.h"

#include <gtest/gtest.h>
#include <portaudio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A pattern no device would produce by itself: every sample distinct
// within the run and far from zero.
std::vector<int16_t> test_pattern(size_t frames) {
  std::vector<int16_t> p(frames * 2);
  uint32_t x = 12345;
  for (auto &s : p) {
    x = x * 1664525u + 1013904223u;
    s = static_cast<int16_t>((x >> 16) | 0x0101);
  }
  return p;
}

struct Playback {
  const std::vector<int16_t> *samples;
  size_t pos = 0;
};

int play_callback(const void *, void *output, unsigned long frames, const PaStreamCallbackTimeInfo *,
                  PaStreamCallbackFlags, void *user) {
  auto *pb = static_cast<Playback *>(user);
  auto *out = static_cast<int16_t *>(output);
  for (unsigned long i = 0; i < frames * 2; ++i)
    out[i] = pb->pos < pb->samples->size() ? (*pb->samples)[pb->pos++] : 0;
  return pb->pos < pb->samples->size() ? paContinue : paComplete;
}

// Plays `samples` (stereo S16 at 44.1 kHz) on `device` through a callback
// stream, as the program does, and closes it; false on any PortAudio error.
// (The blocking API trips an assertion inside PortAudio's JACK backend.)
bool play_on(PaDeviceIndex device, const std::vector<int16_t> &samples, std::string *why) {
  if (device == paNoDevice || device >= Pa_GetDeviceCount()) {
    *why = "no such device";
    return false;
  }
  PaStreamParameters out{};
  out.device = device;
  out.channelCount = 2;
  out.sampleFormat = paInt16;
  out.suggestedLatency = Pa_GetDeviceInfo(device)->defaultLowOutputLatency;
  Playback pb{&samples};
  PaStream *stream = nullptr;
  PaError e = Pa_OpenStream(&stream, nullptr, &out, 44100, 64, paNoFlag, play_callback, &pb);
  if (e == paNoError) e = Pa_StartStream(stream);
  auto deadline = Clock::now() + std::chrono::seconds(20);
  while (e == paNoError && Pa_IsStreamActive(stream) == 1 && Clock::now() < deadline) Pa_Sleep(2);
  if (e == paNoError) e = Pa_StopStream(stream);
  if (stream) Pa_CloseStream(stream);
  if (e != paNoError) *why = Pa_GetErrorText(e);
  return e == paNoError;
}

bool play_on_default(const std::vector<int16_t> &samples, std::string *why) {
  return play_on(Pa_GetDefaultOutputDevice(), samples, why);
}

std::vector<std::string> device_names() {
  std::vector<std::string> names;
  for (int i = 0; i < Pa_GetDeviceCount(); ++i) names.emplace_back(Pa_GetDeviceInfo(i)->name);
  return names;
}

} // namespace

// ---------------------------------------------------------------------------

TEST(HarnessSound, FileDeviceReceivesExactlyWhatAStreamPlays) {
  TempDir dir;
  std::string capture = dir / "capture.raw";
  ScopedEnv alsa("ALSA_CONFIG_PATH", alsa_config_path(AlsaConfig::File));
  ScopedEnv file("CAPTURE_FILE", capture);
  ASSERT_EQ(Pa_Initialize(), paNoError);
  EXPECT_EQ(device_names(), std::vector<std::string>{"default"});
  auto pattern = test_pattern(4410);
  std::string why;
  bool played = play_on_default(pattern, &why);
  Pa_Terminate();
  ASSERT_TRUE(played) << why;

  auto got = read_samples(capture);
  auto at = find_samples(got, pattern);
  ASSERT_TRUE(at.has_value()) << "pattern not in " << got.size() << " captured samples";
  EXPECT_EQ(*at % 2, 0u) << "channels swapped or misaligned";
  // Whatever precedes the pattern is silence from the device, not ours.
  for (size_t i = 0; i < *at; ++i) ASSERT_EQ(got[i], 0) << "at sample " << i;
}

TEST(HarnessSound, NoDeviceConfigGivesZeroDevicesAndTwoFilesGivesThree) {
  {
    ScopedEnv alsa("ALSA_CONFIG_PATH", alsa_config_path(AlsaConfig::NoDevice));
    ASSERT_EQ(Pa_Initialize(), paNoError);
    EXPECT_EQ(Pa_GetDeviceCount(), 0);
    EXPECT_EQ(Pa_GetDefaultOutputDevice(), paNoDevice);
    Pa_Terminate();
  }
  {
    // The configuration is read again at the next initialisation.
    ScopedEnv alsa("ALSA_CONFIG_PATH", alsa_config_path(AlsaConfig::TwoFiles));
    ASSERT_EQ(Pa_Initialize(), paNoError);
    EXPECT_EQ(device_names(), (std::vector<std::string>{"ravlox_a", "ravlox_b", "default"}));
    Pa_Terminate();
  }
}

TEST(HarnessSound, NamedFileSinksWriteTheirOwnFiles) {
  TempDir dir;
  ScopedEnv alsa("ALSA_CONFIG_PATH", alsa_config_path(AlsaConfig::TwoFiles));
  ScopedEnv a("CAPTURE_FILE_A", dir / "a.raw");
  ScopedEnv b("CAPTURE_FILE_B", dir / "b.raw");
  ScopedEnv d("CAPTURE_FILE", dir / "default.raw");
  ASSERT_EQ(Pa_Initialize(), paNoError);
  ASSERT_EQ(Pa_GetDeviceCount(), 3);
  auto pattern = test_pattern(2000);
  std::string why;
  bool played = play_on(1, pattern, &why); // ravlox_b
  Pa_Terminate();
  ASSERT_TRUE(played) << why;
  EXPECT_TRUE(find_samples(read_samples(dir / "b.raw"), pattern).has_value());
  EXPECT_LE(file_size(dir / "a.raw"), 0);
  EXPECT_LE(file_size(dir / "default.raw"), 0);
}

TEST(HarnessSound, JackDummyServerIsTheDefaultAndPacesInRealTime) {
  JackServer jack;
  ASSERT_TRUE(jack.ok()) << jack.log();
  ScopedEnv server("JACK_DEFAULT_SERVER", jack.name());
  ASSERT_EQ(Pa_Initialize(), paNoError);
  PaDeviceIndex dev = Pa_GetDefaultOutputDevice();
  ASSERT_NE(dev, paNoDevice);
  EXPECT_EQ(Pa_GetHostApiInfo(Pa_GetDeviceInfo(dev)->hostApi)->type, paJACK);
  // Half a second of sound cannot be consumed much faster than that (the
  // null ALSA device would take about half a millisecond).
  std::vector<int16_t> half_second(22050 * 2, 1000);
  auto t0 = Clock::now();
  std::string why;
  bool played = play_on_default(half_second, &why);
  auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - t0);
  Pa_Terminate();
  ASSERT_TRUE(played) << why;
  EXPECT_GE(took.count(), 300);
}

TEST(HarnessSound, FindSamplesSearchesFromAnOffset) {
  std::vector<int16_t> hay{0, 0, 5, 6, 7, 5, 6, 7, 1};
  EXPECT_EQ(find_samples(hay, {5, 6, 7}), 2u);
  EXPECT_EQ(find_samples(hay, {5, 6, 7}, 3), 5u);
  EXPECT_FALSE(find_samples(hay, {5, 6, 7}, 6).has_value());
  EXPECT_FALSE(find_samples(hay, {7, 1, 0}).has_value());
  EXPECT_FALSE(find_samples({}, {1}).has_value());
}

// ---------------------------------------------------------------------------

TEST(HarnessProgram, EnvironmentIsPrivateAndQuiet) {
  // The test process itself never sees the user's home or display.
  ASSERT_NE(getenv("HOME"), nullptr);
  EXPECT_EQ(std::string(getenv("HOME")).rfind("/tmp/ravlox-home-", 0), 0u);
  EXPECT_EQ(getenv("DISPLAY"), nullptr);

  TempDir dir;
  std::string script = dir / "show-env";
  ASSERT_TRUE(write_file(script, "#!/bin/sh\n"
                                 "echo \"$1|$HOME|$ALSA_CONFIG_PATH|$GDK_BACKEND|$GSK_RENDERER|$GTK_A11Y|"
                                 "$GSETTINGS_BACKEND|$NO_AT_BRIDGE|${DISPLAY-unset}|$CAPTURE_FILE|$EXTRA|$2\"\n"
                                 "read x && echo stdin-not-empty\n"
                                 "echo to-stderr >&2\n"
                                 "exit 3\n"));
  ASSERT_EQ(chmod(script.c_str(), 0700), 0);
  ProgramOptions o;
  o.program = script;
  o.data_dir = fresh_data_dir(dir);
  o.args = {"second"};
  o.capture_file = dir / "c.raw";
  o.env = {{"EXTRA", "yes"}};
  auto r = run_program(o);
  ASSERT_TRUE(r.exited_with(3)) << r;
  // "--dir=" comes first, a private HOME, the quiet defaults, no DISPLAY.
  std::string expected_tail = "|" + alsa_config_path(AlsaConfig::NoDevice) + "|x11|cairo|none|memory|1|unset|" +
                              (dir / "c.raw") + "|yes|second\n";
  EXPECT_EQ(r.out.rfind("--dir=" + o.data_dir + "|/tmp/ravlox-proc-", 0), 0u) << r.out;
  EXPECT_NE(r.out.find(expected_tail), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("stdin-not-empty"), std::string::npos);
  EXPECT_EQ(r.err, "to-stderr\n");
  EXPECT_FALSE(path_exists(o.data_dir));
}

TEST(HarnessProgram, TimeoutKillsAndBackgroundOutputIsReadable) {
  auto r = run_command({"sleep", "20"}, {}, milliseconds(200));
  EXPECT_TRUE(r.timed_out);
  EXPECT_EQ(r.term_signal, SIGKILL);

  ProgramOptions o;
  o.program = "/bin/sh";
  o.args = {"-c", "echo started; echo warn >&2; exec sleep 20"};
  ProgramProcess p(o);
  ASSERT_TRUE(p.started());
  EXPECT_TRUE(p.wait_for_output("started", milliseconds(5000)));
  EXPECT_TRUE(p.wait_for_output("warn", milliseconds(5000), true));
  EXPECT_TRUE(p.running());
  EXPECT_FALSE(p.wait(milliseconds(50)).has_value());
  auto end = p.stop(SIGTERM);
  EXPECT_EQ(end.term_signal, SIGTERM);
  EXPECT_EQ(end.out, "started\n");
  EXPECT_FALSE(p.wait_for_output("never", milliseconds(100)));
}

#ifdef __linux__
TEST(HarnessProgram, ChildrenDieWithTheTestProcess) {
  // A test process killed on timeout runs no destructors; what it started
  // must end anyway.
  TempDir dir;
  std::string pidfile = dir / "pid";
  pid_t test = fork();
  ASSERT_GE(test, 0);
  if (test == 0) {
    ProgramOptions o;
    o.program = "/bin/sleep";
    o.args = {"30"};
    auto *p = new ProgramProcess(o); // never destroyed
    write_file(pidfile, std::to_string(p->pid()));
    _exit(0);
  }
  int status;
  ASSERT_EQ(waitpid(test, &status, 0), test);
  pid_t child = static_cast<pid_t>(atoi(read_file(pidfile).c_str()));
  ASSERT_GT(child, 0);
  // Gone, or a zombie waiting for whoever adopted it.
  auto dead = [&] {
    std::string stat = read_file("/proc/" + std::to_string(child) + "/stat");
    auto paren = stat.rfind(')');
    return stat.empty() || (paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] == 'Z');
  };
  auto deadline = Clock::now() + milliseconds(5000);
  while (!dead() && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(10));
  EXPECT_TRUE(dead());
  if (!dead()) kill(child, SIGKILL);
}
#endif

TEST(HarnessProgram, TempDirIsRemovedWithUnreadableContents) {
  std::string path;
  {
    TempDir d;
    path = d.path();
    ASSERT_TRUE(is_directory(path));
    ASSERT_EQ(file_mode(path), 0700);
    std::string sub = d / "locked";
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
    ASSERT_TRUE(write_file(sub + "/f", "x"));
    ASSERT_EQ(chmod(sub.c_str(), 0), 0);
  }
  EXPECT_FALSE(path_exists(path));
}

TEST(HarnessProgram, ProgramBinaryIsBuilt) {
  EXPECT_EQ(access(RAVLOX_BINARY, X_OK), 0) << RAVLOX_BINARY;
}

// ---------------------------------------------------------------------------

TEST(HarnessDisplay, GtkWindowScreenshotsClicksKeysAndDrags) {
  Xvfb x;
  ASSERT_TRUE(x.ok());
  ProgramOptions o;
  o.program = RAVLOX_PROBE_BINARY;
  o.display = x.display();
  ProgramProcess probe(o);
  auto win = x.wait_window("ravlox probe");
  ASSERT_TRUE(win.has_value()) << probe.out() << probe.err();
  ASSERT_TRUE(probe.wait_for_output("ready", milliseconds(5000)));
  // Only the exact title matches, whatever the case rules of xdotool.
  EXPECT_TRUE(x.find_windows("RAVLOX probe").empty());
  EXPECT_TRUE(x.find_windows("ravlox").empty());

  auto g = x.window_geometry(*win);
  ASSERT_TRUE(g.has_value());
  EXPECT_EQ(g->x, 0);
  EXPECT_EQ(g->y, 0);
  EXPECT_EQ(g->width, 200);
  EXPECT_EQ(g->height, 100);

  // The first frame can land a moment after the window maps.
  Image shot;
  auto deadline = Clock::now() + milliseconds(5000);
  do {
    shot = x.screenshot();
  } while (shot.pixel(150, 10) != Rgb{0, 0, 255} && Clock::now() < deadline);
  ASSERT_EQ(shot.width, 1280);
  ASSERT_EQ(shot.height, 1024);
  EXPECT_EQ(shot.pixel(10, 10), (Rgb{255, 0, 0}));
  EXPECT_EQ(shot.pixel(99, 99), (Rgb{255, 0, 0}));
  EXPECT_EQ(shot.pixel(150, 10), (Rgb{0, 0, 255}));
  EXPECT_NE(shot.pixel(200, 10), (Rgb{0, 0, 255})); // outside the window

  ASSERT_TRUE(x.click(*win, 150, 50));
  EXPECT_TRUE(probe.wait_for_output("press 1 1 150 50\n", milliseconds(5000))) << probe.out();
  EXPECT_TRUE(probe.wait_for_output("release 1 150 50\n", milliseconds(5000))) << probe.out();
  deadline = Clock::now() + milliseconds(5000);
  Image after;
  do {
    after = x.screenshot(*win);
  } while (after.pixel(150, 10) != Rgb{0, 255, 0} && Clock::now() < deadline);
  EXPECT_EQ(after.width, 200);
  EXPECT_EQ(after.pixel(150, 10), (Rgb{0, 255, 0}));

  ASSERT_TRUE(x.click(*win, 20, 30, 3));
  EXPECT_TRUE(probe.wait_for_output("press 3 1 20 30\n", milliseconds(5000))) << probe.out();

  // Modifiers arrive as key presses of their own first (Control_L).
  ASSERT_TRUE(x.key(*win, "ctrl+d"));
  EXPECT_TRUE(probe.wait_for_output("key ctrl+d\n", milliseconds(5000))) << probe.out();
  ASSERT_TRUE(x.key(*win, "Return shift+Tab"));
  EXPECT_TRUE(probe.wait_for_output("key shift+ISO_Left_Tab\n", milliseconds(5000))) << probe.out();
  EXPECT_NE(probe.out().find("key ctrl+d\nkey Return\n"), std::string::npos) << probe.out();

  ASSERT_TRUE(x.drag(*win, 10, 10, 90, 50, 1, 4));
  EXPECT_TRUE(probe.wait_for_output("release 1 90 50\n", milliseconds(5000))) << probe.out();
  EXPECT_NE(probe.out().find("drag 50 30\n"), std::string::npos) << probe.out();

  ASSERT_TRUE(x.scroll(*win, 50, 50, true));
  EXPECT_TRUE(probe.wait_for_output("scroll up\n", milliseconds(5000))) << probe.out();

  probe.stop(SIGKILL);
  EXPECT_TRUE(x.wait_window_gone("ravlox probe", milliseconds(5000)));
}

// With openbox the probe's window is managed: placed, given a frame or not,
// and it still takes clicks and keys.
TEST(HarnessDisplay, WindowManagerManagesTheProbe) {
  Xvfb x(WindowManager::openbox);
  ASSERT_TRUE(x.ok());
  auto r = run_command({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, {{"DISPLAY", x.display()}});
  EXPECT_NE(r.out.find("window id #"), std::string::npos) << r;
  ProgramOptions o;
  o.program = RAVLOX_PROBE_BINARY;
  o.display = x.display();
  ProgramProcess probe(o);
  auto win = x.wait_window("ravlox probe");
  ASSERT_TRUE(win.has_value()) << probe.out() << probe.err();
  ASSERT_TRUE(probe.wait_for_output("ready", milliseconds(5000)));
  ASSERT_TRUE(wait_until([&] {
    auto p = run_command({"xprop", "-id", *win, "_NET_WM_STATE", "_NET_FRAME_EXTENTS"},
                         {{"DISPLAY", x.display()}});
    return p.out.find("_NET_FRAME_EXTENTS") != std::string::npos &&
           p.out.find("not found") == std::string::npos;
  }));
  ASSERT_TRUE(x.click(*win, 150, 50));
  EXPECT_TRUE(probe.wait_for_output("release 1 150 50\n", milliseconds(5000))) << probe.out();
  ASSERT_TRUE(x.key(*win, "ctrl+d"));
  EXPECT_TRUE(probe.wait_for_output("key ctrl+d\n", milliseconds(5000))) << probe.out();
}

TEST(HarnessDisplay, TwoServersRunSideBySide) {
  Xvfb a, b;
  ASSERT_TRUE(a.ok());
  ASSERT_TRUE(b.ok());
  EXPECT_NE(a.display(), b.display());
  Image shot = b.screenshot();
  EXPECT_EQ(shot.width, 1280);
  TempDir dir;
  ASSERT_TRUE(shot.save_png(dir / "shot.png"));
  Image back = Image::load(dir / "shot.png");
  ASSERT_EQ(back.width, 1280);
  EXPECT_EQ(back.rgb, shot.rgb);
}

// ---------------------------------------------------------------------------

TEST(HarnessFixtures, FormatsAndLengths) {
  struct Want {
    const char *name;
    int rate, channels;
    size_t frames; // 0: not checked here
  };
  const Want wants[] = {
      {"stereo44.mp3", 44100, 2, 3 * 44100}, {"mono22.mp3", 22050, 1, 2 * 22050},
      {"stereo48.mp3", 48000, 2, 2 * 48000}, {"len10_9.mp3", 44100, 2, 480690},
      {"mono8.mp3", 8000, 1, 2 * 8000},      {"tagged.mp3", 44100, 2, 44100},
  };
  for (const auto &w : wants) {
    SCOPED_TRACE(w.name);
    auto ref = decode_reference(fixture_path(w.name));
    ASSERT_TRUE(ref.ok);
    EXPECT_EQ(ref.rate, w.rate);
    EXPECT_EQ(ref.channels, w.channels);
    EXPECT_EQ(ref.frames(), w.frames);
  }
  auto s = decode_reference(fixture_path("short.mp3"));
  ASSERT_TRUE(s.ok);
  EXPECT_GT(s.frames(), 0u);
  EXPECT_LT(s.frames(), 1152u);
  EXPECT_NE(read_file(fixture_path("tagged.mp3")).find("Fixture Title"), std::string::npos);
}

TEST(HarnessFixtures, BrokenFiles) {
  EXPECT_EQ(file_size(fixture_path("empty.mp3")), 0);
  EXPECT_EQ(file_size(fixture_path("random.mp3")), 16384);
  EXPECT_EQ(file_size(fixture_path("truncated.mp3")), 20000);
  // The truncated file starts exactly like its source, and decodes to a
  // prefix of it (less than the whole).
  std::string full = read_file(fixture_path("stereo44.mp3"));
  std::string cut = read_file(fixture_path("truncated.mp3"));
  ASSERT_GT(full.size(), cut.size());
  EXPECT_EQ(full.compare(0, cut.size(), cut), 0);
  auto whole = decode_reference(fixture_path("stereo44.mp3"));
  auto part = run_command({"mpg123", "-q", "-s", fixture_path("truncated.mp3")});
  EXPECT_GT(part.out.size(), 0u);
  EXPECT_LT(part.out.size() / 2, whole.samples.size() / 2);
}

TEST(HarnessFixtures, StereoSignalNeverFallsSilent) {
  auto ref = decode_reference(fixture_path("stereo44.mp3"));
  ASSERT_TRUE(ref.ok);
  // No stretch of 10 ms where both channels stay near zero (the encoder's
  // first and last few frames aside).
  size_t quiet = 0, longest = 0;
  for (size_t f = 2048; f + 2048 < ref.frames(); ++f) {
    bool q = std::abs(ref.samples[2 * f]) < 64 && std::abs(ref.samples[2 * f + 1]) < 64;
    quiet = q ? quiet + 1 : 0;
    longest = std::max(longest, quiet);
  }
  EXPECT_LT(longest, 441u);
}

TEST(HarnessFixtures, GenerationIsDeterministic) {
  TempDir dir;
  auto r = run_command({"bash", RAVLOX_SOURCE_DIR "/tests/support/make_fixtures.sh", dir.path()}, {},
                       milliseconds(120000));
  ASSERT_TRUE(r.exited_with(0)) << r;
  auto names = list_dir(dir.path());
  EXPECT_EQ(names, list_dir(RAVLOX_FIXTURE_DIR));
  for (const auto &n : names) {
    SCOPED_TRACE(n);
    EXPECT_EQ(read_file(dir / n), read_file(fixture_path(n)));
  }
}
