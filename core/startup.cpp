#include "core/startup.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtk/gtk.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/handle.h"
#include "core/instance.h"
#include "theme/default_theme.h"
#include "theme/template.h"

const char *const RAVLOX_CONTACT = "ravlox-maintainers@ravlox.invalid";

namespace {

// Printed as "%d.%d%d" (0.61, not 0.6.1): scripts and bug reports compare that form.
constexpr int VERSION_MAJOR = 0;
constexpr int VERSION_MINOR = 6;
constexpr int VERSION_PATCH = 1;
constexpr const char *COPYRIGHT = "Copyright (c) 2026, the ravlox developers";

// In the data directory, locked by the player that uses it.
constexpr const char *LOCK_FILE = "player.lock";

bool starts_with(const char *text, const char *prefix) {
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

const char *home_directory() {
    const char *home = getenv("HOME");
    if (!home || !*home)
        home = g_get_home_dir();
    return home && *home ? home : nullptr;
}

} // namespace

const char RAVLOX_LICENCE_TEXT[] =
    "Copyright (c) 2026, the ravlox developers\n"
    "All rights reserved.\n"
    "\n"
    "Redistribution and use in source and binary forms, with or without\n"
    "modification, are permitted provided that the following conditions are met:\n"
    "\n"
    "1. Redistributions of source code must retain the above copyright notice, this\n"
    "   list of conditions and the following disclaimer.\n"
    "\n"
    "2. Redistributions in binary form must reproduce the above copyright notice,\n"
    "   this list of conditions and the following disclaimer in the documentation\n"
    "   and/or other materials provided with the distribution.\n"
    "\n"
    "THIS SOFTWARE IS PROVIDED BY THE COPYRIGHT HOLDERS AND CONTRIBUTORS \"AS IS\"\n"
    "AND ANY EXPRESS OR IMPLIED WARRANTIES, INCLUDING, BUT NOT LIMITED TO, THE\n"
    "IMPLIED WARRANTIES OF MERCHANTABILITY AND FITNESS FOR A PARTICULAR PURPOSE ARE\n"
    "DISCLAIMED. IN NO EVENT SHALL THE COPYRIGHT HOLDER OR CONTRIBUTORS BE LIABLE\n"
    "FOR ANY DIRECT, INDIRECT, INCIDENTAL, SPECIAL, EXEMPLARY, OR CONSEQUENTIAL\n"
    "DAMAGES (INCLUDING, BUT NOT LIMITED TO, PROCUREMENT OF SUBSTITUTE GOODS OR\n"
    "SERVICES; LOSS OF USE, DATA, OR PROFITS; OR BUSINESS INTERRUPTION) HOWEVER\n"
    "CAUSED AND ON ANY THEORY OF LIABILITY, WHETHER IN CONTRACT, STRICT LIABILITY,\n"
    "OR TORT (INCLUDING NEGLIGENCE OR OTHERWISE) ARISING IN ANY WAY OUT OF THE USE\n"
    "OF THIS SOFTWARE, EVEN IF ADVISED OF THE POSSIBILITY OF SUCH DAMAGE.\n";

void print_banner() {
    printf("*** ravlox %d.%d%d\n", VERSION_MAJOR, VERSION_MINOR, VERSION_PATCH);
    printf("*** %s\n", RAVLOX_CONTACT);
    printf("*** %s\n", COPYRIGHT);
    printf("********************\n");
    printf("\n");
}

void print_version() { printf("%d.%d%d\n", VERSION_MAJOR, VERSION_MINOR, VERSION_PATCH); }

void print_licence() { fputs(RAVLOX_LICENCE_TEXT, stdout); }

void print_help(const char *program) {
    printf("Please run with\n");
    printf("\n");
    printf("%s [OPTIONS]\n", program);
    printf("\n");
    printf("Where [OPTIONS] are\n");
    printf("AUDIO options\n");
    printf("  --audiooutput.portaudio.device=NUMBER Set the audio output device\n");
    printf("                                        (Use ? to see a list\n");
    printf("GUI options\n");
    printf("  --gui.theme.dir=DIRECTORY/             Load a theme from this directory\n");
    printf("  --gui.theme.wsz=FILENAME.wsz           Load a theme from this WSZ file.\n");
    printf("  --gui.theme.dumpdefault=DIRECTORY/     Explicitly writes the default theme\n");
    printf("  --gui.theme.dumptemplate=DIRECTORY/    For theme designers: Writes a template\n");
    printf("Playlist options\n");
    printf("  --playlist.m3u=PLAYLIST.m3u            Loads playlist from an .m3u file\n");
    printf("Other options\n");
    printf("  --dir=DIRECTORY/                       Data directory (Default:~/.ravlox/)\n");
    printf("  --bsd                                  Prints the license\n");
    printf("  --help                                 Shows this help\n");
    printf("  --help-all                             Shows more GTK related help\n");
    printf("  --version                              Prints of %d.%d%d\n", VERSION_MAJOR,
           VERSION_MINOR, VERSION_PATCH);
    printf("\n");
    printf("For example: %s --gui.theme.dir=theme/ --playlist.m3u=playlist.m3u\n", program);
}

int32_t handle_parse_option(tHandle *h, const char *program, const char *a) {
    const size_t length = strlen(a);
    int32_t result = RESULT_OK;
    if (length >= 15 && starts_with(a, "--audiooutput.")) {
        if (!h)
            return RESULT_OPTION_KEPT;
        result = audiooutput_parse_option(&h->audiooutput, a);
    }
    if (length < 7) {
        result = RESULT_OK;
        if (strcmp(a, "--bsd") == 0) {
            print_licence();
            result = RESULT_DONE;
        } else if (strcmp(a, "--help") == 0) {
            print_banner();
            print_help(program ? program : "ravlox");
            result = RESULT_DONE;
        }
    } else {
        if (starts_with(a, "--gui."))
            result = h ? result | gui_parse_option(&h->gui, a) : RESULT_OPTION_KEPT;
        if (length >= 12 && starts_with(a, "--playlist."))
            result = h ? result | playlist_parse_option(&h->playlist, a) : RESULT_OPTION_KEPT;
        if (starts_with(a, "--dir="))
            result = h ? RESULT_OK : RESULT_OPTION_KEPT;
        if (length == 9 && (strcmp(a, "--license") == 0 || strcmp(a, "--licence") == 0)) {
            print_licence();
            result = RESULT_DONE;
        } else if (length == 9 && strcmp(a, "--version") == 0) {
            print_version();
            result = RESULT_DONE;
        }
    }
    // A dump that could not write its files ends the program as failed (status 1), already in
    // the first pass.
    if (length >= 26 && starts_with(a, "--gui.theme.dumptemplate=")) {
        result = theme_write_template(a + 25) == RESULT_OK ? RESULT_DONE : RESULT_FAILED;
    } else if (length >= 25 && starts_with(a, "--gui.theme.dumpdefault=")) {
        const char *dir = a + 24;
        struct stat info;
        if (stat(dir, &info) != 0)
            mkdir(dir, 0755); // as the template writer makes its directory
        result = theme_default_write_all(dir) == RESULT_OK ? RESULT_DONE : RESULT_FAILED;
    }
    return result;
}

namespace {

// The data directory the "--dir=" options choose (the last one wins); `dir` keeps what it held
// without any.
int32_t resolve_data_dir(const tArgList *kept, char *dir, size_t size) {
    int32_t result = RESULT_OK;
    for (int k = 0; k < kept->count; ++k) {
        const char *a = kept->args[k];
        if (!starts_with(a, "--dir="))
            continue;
        const char *text = a + 6;
        if (text[0] == '~') {
            const char *home = home_directory();
            if (!home) {
                fprintf(stderr, "no home directory for [%s]\n", a);
                result = RESULT_FAILED;
                continue;
            }
            snprintf(dir, size, "%s/%s", home, text + 1);
        } else {
            snprintf(dir, size, "%s", text);
        }
    }
    return result;
}

// Held for the life of the process (the descriptor is never closed), so that no second player
// writes into the same data directory: two starts without a session bus, one with and one
// without, or one directory under two names. A directory where the lock file cannot be made
// cannot be written by anyone either.
bool lock_data_dir(const char *dir) {
    char path[HANDLE_PATH_SIZE + 16];
    snprintf(path, sizeof path, "%s/%s", dir, LOCK_FILE);
    const int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return true;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK)
        return true;
    close(fd);
    return false;
}

} // namespace

int32_t handle_apply_options(tHandle *h, const tArgList *kept) {
    int32_t result = resolve_data_dir(kept, h->data_dir, sizeof h->data_dir);
    handle_create_data_dir(h);
    if (!lock_data_dir(h->data_dir)) {
        fprintf(stderr, "another player uses the data directory [%s]\n", h->data_dir);
        exit(1);
    }
    for (int k = 0; k < kept->count; ++k)
        result |= handle_parse_option(h, nullptr, kept->args[k]);
    if (result == RESULT_DONE)
        exit(0);
    return result;
}

int32_t handle_create_data_dir(tHandle *h) {
    char prefix[HANDLE_PATH_SIZE];
    bool created = false;
    bool last_ok = false;
    const size_t length = strnlen(h->data_dir, sizeof h->data_dir - 1);
    for (size_t k = 0; k <= length; ++k) {
        if (k < length && h->data_dir[k] != '/')
            continue;
        if (k == 0)
            continue; // the empty prefix in front of an absolute path
        memcpy(prefix, h->data_dir, k);
        prefix[k] = '\0';
        struct stat info;
        if (stat(prefix, &info) != 0) {
            created = true;
            last_ok = mkdir(prefix, 0700) == 0;
        }
    }
    char theme[HANDLE_PATH_SIZE];
    if (created && last_ok && handle_get_theme_dir(h, theme) == RESULT_OK) {
        mkdir(theme, 0700);
        theme_default_write_all(theme);
    }
    return RESULT_OK;
}

int32_t handle_read_configs(tHandle *h) {
    gui_read_config(&h->gui);
    audiooutput_start(&h->audiooutput);
    int32_t count = 0;
    int32_t current = 0;
    playlist_get_position(&h->playlist, &count, &current);
    if (count >= 1) {
        static tSongInfo entry;
        playlist_get_entry(&h->playlist, 0, &entry, nullptr);
        entry.path[sizeof entry.path - 1] = '\0';
        if (decoder_open(&h->decoder, entry.path) == RESULT_OK)
            playlist_set_title(&h->playlist, 0, h->decoder.song.title);
    }
    gui_refresh(&h->gui);
    mpris_init(&h->mpris, h);
    return RESULT_OK;
}

namespace {

tHandle *running; // the started player, once "activate" or "open" has made it

// The application and its id: one player per data directory on the session bus. Without a bus
// there is nothing to share and every start is a player of its own, as with options that set
// up a start (a theme, a playlist, a device): they are not handed to a running player.
GtkApplication *make_application(const tArgList *kept) {
    const char *bus = getenv("DBUS_SESSION_BUS_ADDRESS");
    const char *home = home_directory();
    char dir[HANDLE_PATH_SIZE];
    char plain[HANDLE_PATH_SIZE];
    snprintf(plain, sizeof plain, "%s/.ravlox/", home ? home : "");
    snprintf(dir, sizeof dir, "%s", plain);
    if (!bus || !*bus || !home || resolve_data_dir(kept, dir, sizeof dir) != 0)
        return gtk_application_new(nullptr, G_APPLICATION_HANDLES_OPEN);
    int flags = G_APPLICATION_HANDLES_OPEN;
    for (int k = 1; k < kept->count; ++k)
        if (!starts_with(kept->args[k], "--dir="))
            flags |= G_APPLICATION_NON_UNIQUE;
    char id[256];
    instance_app_id(dir, plain, id, sizeof id);
    return gtk_application_new(id, static_cast<GApplicationFlags>(flags));
}

void handle_open(GApplication *application, GFile **files, int count, const char *, void *kept_list) {
    if (!running)
        handle_activate(GTK_APPLICATION(application), kept_list);
    instance_open_files(running, files, count, INSTANCE_APPEND);
}

} // namespace

void handle_activate(GtkApplication *application, void *kept_list) {
    if (running) {
        instance_present(running); // a second start without files
        return;
    }
    const tArgList *kept = static_cast<const tArgList *>(kept_list);
    // Every window, and so the taskbar, shows the installed icon.
    gtk_window_set_default_icon_name(INSTANCE_APP_ID);
    int32_t size = 0;
    int32_t result = handle_get_size(&size);
    printf("allocating %d bytes\n", size);
    // Never freed: the handle lives until the process ends.
    tHandle *h = static_cast<tHandle *>(calloc(1, static_cast<size_t>(size)));
    if (h) {
        result |= handle_init(h, application);
        result |= handle_apply_options(h, kept);
        result |= handle_read_configs(h);
    }
    if (!h || result != RESULT_OK) {
        fprintf(stderr, "ERROR initializing modules\n");
        exit(1);
    }
    running = h;
}

int ravlox_main(int argc, char **argv) {
    // Line-buffered, so diagnostics reach a pipe in order and before a kill.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const char *program = argc > 0 ? argv[0] : "ravlox";
    static tArgList kept;
    static tArgList gtk;
    kept.args = static_cast<char **>(calloc(static_cast<size_t>(argc) + 1, sizeof(char *)));
    gtk.args = static_cast<char **>(calloc(static_cast<size_t>(argc) + 1, sizeof(char *)));
    if (!kept.args || !gtk.args)
        return 1;
    kept.args[kept.count++] = const_cast<char *>(program);
    gtk.args[gtk.count++] = const_cast<char *>(program);
    for (int k = 1; k < argc; ++k) {
        const int32_t result = handle_parse_option(nullptr, program, argv[k]);
        if (result == RESULT_OPTION_KEPT)
            kept.args[kept.count++] = argv[k];
        else if (result == RESULT_DONE)
            return 0;
        else if (result == RESULT_FAILED)
            return 1;
        else
            gtk.args[gtk.count++] = argv[k];
    }
    dock_prefer_x11();
    GtkApplication *application = make_application(&kept);
    g_signal_connect(application, "activate", G_CALLBACK(handle_activate), &kept);
    g_signal_connect(application, "open", G_CALLBACK(handle_open), &kept);
    const int status = g_application_run(G_APPLICATION(application), gtk.count, gtk.args);
    g_object_unref(application);
    return status;
}
