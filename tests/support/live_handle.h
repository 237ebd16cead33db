// A fully started handle inside the test process: GTK on a private Xvfb display, every
// module initialised and configured from a temporary data directory, as the program does
// at start-up. Events can then be dispatched directly. GTK starts once per process, so
// a test process holds at most one (ctest runs every test in a process of its own).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/handle.h"
#include "support/harness.h"

class LiveHandle {
public:
    // `options` are the program's own options, applied as on the command line (without
    // "--dir=", which is the temporary data directory).
    explicit LiveHandle(std::vector<std::string> options = {});
    ~LiveHandle();
    LiveHandle(const LiveHandle &) = delete;
    LiveHandle &operator=(const LiveHandle &) = delete;

    bool ok() const { return ok_; }
    tHandle *get() const { return handle_; }
    const std::string &data_dir() const { return data_dir_; }
    Xvfb &display() { return xvfb_; }
    // Runs the GLib main loop for about `ms` milliseconds (timers fire, windows draw).
    void pump(int ms);
    int32_t dispatch(uint32_t type, void *arg = nullptr) { return handle_dispatch(handle_, type, arg); }
    int32_t dispatch_int(uint32_t type, int32_t value) { return handle_send_int(handle_, type, value); }
    int32_t status() const; // the main window's playback status
    int32_t decoder_state() const;

private:
    Xvfb xvfb_;
    TempDir dir_{"ravlox-live"};
    std::string data_dir_;
    tHandle *handle_ = nullptr;
    void *application_ = nullptr;
    bool ok_ = false;
};
