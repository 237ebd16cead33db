// Small helpers shared by the equalizer and preferences tests.
#pragma once

#include <dlfcn.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "support/harness.h"

// What a window manager sends when the user closes a window: a WM_DELETE_WINDOW client
// message. libX11 is loaded at run time, as the tests are not linked against it.
inline bool send_close_request(const std::string &display, const std::string &window) {
    void *x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (x11 == nullptr) return false;
    auto open = reinterpret_cast<Display *(*)(const char *)>(dlsym(x11, "XOpenDisplay"));
    auto atom = reinterpret_cast<Atom (*)(Display *, const char *, Bool)>(dlsym(x11, "XInternAtom"));
    auto send = reinterpret_cast<Status (*)(Display *, Window, Bool, long, XEvent *)>(
        dlsym(x11, "XSendEvent"));
    auto flush = reinterpret_cast<int (*)(Display *)>(dlsym(x11, "XFlush"));
    auto close = reinterpret_cast<int (*)(Display *)>(dlsym(x11, "XCloseDisplay"));
    bool ok = false;
    if (open && atom && send && flush && close) {
        Display *d = open(display.c_str());
        if (d != nullptr) {
            XEvent ev{};
            ev.xclient.type = ClientMessage;
            ev.xclient.window = static_cast<Window>(std::strtoul(window.c_str(), nullptr, 10));
            ev.xclient.message_type = atom(d, "WM_PROTOCOLS", False);
            ev.xclient.format = 32;
            ev.xclient.data.l[0] = static_cast<long>(atom(d, "WM_DELETE_WINDOW", False));
            ev.xclient.data.l[1] = CurrentTime;
            ok = send(d, ev.xclient.window, False, NoEventMask, &ev) != 0;
            flush(d);
            close(d);
        }
    }
    dlclose(x11);
    return ok;
}
