#include "support/live_handle.h"

#include <cstdlib>
#include <cstring>
#include <gtk/gtk.h>

#include "core/startup.h"

LiveHandle::LiveHandle(std::vector<std::string> options) {
    if (!xvfb_.ok())
        return;
    setenv("DISPLAY", xvfb_.display().c_str(), 1);
    setenv("GDK_BACKEND", "x11", 1);
    setenv("GSK_RENDERER", "cairo", 1);
    setenv("GTK_A11Y", "none", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    if (!gtk_init_check())
        return;
    GtkApplication *application = gtk_application_new(nullptr, G_APPLICATION_DEFAULT_FLAGS);
    if (!g_application_register(G_APPLICATION(application), nullptr, nullptr))
        return;
    application_ = application;
    int32_t size = 0;
    handle_get_size(&size);
    handle_ = static_cast<tHandle *>(calloc(1, static_cast<size_t>(size)));
    data_dir_ = dir_.path() + "/data/";
    std::vector<std::string> kept = {"ravlox", "--dir=" + data_dir_};
    kept.insert(kept.end(), options.begin(), options.end());
    std::vector<char *> args;
    for (std::string &a : kept)
        args.push_back(a.data());
    tArgList list{static_cast<int>(args.size()), args.data()};
    int32_t result = handle_init(handle_, application);
    result |= handle_apply_options(handle_, &list);
    result |= handle_read_configs(handle_);
    ok_ = result == 0;
    pump(50);
}

LiveHandle::~LiveHandle() {
    // The handle is never freed by the program either; windows go with the process.
    if (application_)
        g_object_unref(application_);
}

void LiveHandle::pump(int ms) {
    const gint64 end = g_get_monotonic_time() + static_cast<gint64>(ms) * 1000;
    while (g_get_monotonic_time() < end)
        if (!g_main_context_iteration(nullptr, FALSE))
            g_usleep(500);
}

int32_t LiveHandle::status() const { return handle_->gui.window_main.status; }

int32_t LiveHandle::decoder_state() const {
    int32_t state = 0;
    decoder_get_state(&handle_->decoder, &state);
    return state;
}
