// A handle whose theme is the default theme, loaded from a fresh temporary data directory,
// for benchmarks that draw windows without a display.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "core/handle.h"
#include "theme/default_theme.h"
#include "theme/theme.h"

// Returns nullptr (after a message) when the theme cannot be set up; `dir` receives the
// temporary directory, which the caller removes.
inline tHandle *bench_handle_with_default_theme(const char *name, std::string &dir) {
    std::string pattern = std::string("/tmp/ravlox-bench-") + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        return nullptr;
    dir = pattern;
    tHandle *h = static_cast<tHandle *>(calloc(1, sizeof(tHandle)));
    snprintf(h->data_dir, sizeof h->data_dir, "%s/", dir.c_str());
    const std::string theme_dir = dir + "/default";
    mkdir(theme_dir.c_str(), 0700);
    theme_default_write_all(theme_dir.c_str());
    theme_init(&h->gui.theme);
    char folder[HANDLE_PATH_SIZE];
    if (handle_get_theme_dir(h, folder) != 0 || theme_load_directory(&h->gui.theme, theme_dir.c_str(), folder) != 0) {
        fprintf(stderr, "default theme did not load\n");
        return nullptr;
    }
    return h;
}
