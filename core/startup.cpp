#include "core/startup.h"

#include <algorithm>
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

// Why a data directory is not safe to use, or null. Others who may write there could plant
// files or links that our saves would then write through.
const char *unsafe_data_dir(const char *dir) {
    char bare[HANDLE_PATH_SIZE]; // a trailing slash would make lstat follow a link
    snprintf(bare, sizeof bare, "%s", dir);
    for (size_t n = strlen(bare); n > 1 && bare[n - 1] == '/'; --n)
        bare[n - 1] = '\0';
    struct stat info;
    if (lstat(bare, &info) == 0 && S_ISLNK(info.st_mode) && info.st_uid != geteuid())
        return "it is a link that belongs to another user";
    if (stat(bare, &info) != 0)
        return nullptr; // not there and not made: every save says so
    if (info.st_uid != geteuid())
        return "it belongs to another user";
    if ((info.st_mode & S_IWOTH) != 0)
        return "everyone may write to it";
    return nullptr;
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
    if (handle_create_data_dir(h) != RESULT_OK)
        return RESULT_FAILED; // nothing is read from or written into it
    if (!lock_data_dir(h->data_dir)) {
        fprintf(stderr, "another player uses the data directory [%s]\n", h->data_dir);
        exit(1);
    }
    for (int k = 0; k < kept->count; ++k) {
        result |= handle_parse_option(h, nullptr, kept->args[k]);
        if (starts_with(kept->args[k], "--playlist.m3u="))
            h->kept.replaced = 1;
    }
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
    if (const char *unsafe = unsafe_data_dir(h->data_dir)) {
        fprintf(stderr, "refusing the data directory [%s]: %s\n", h->data_dir, unsafe);
        return RESULT_FAILED;
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
    int32_t position = 0;
    kept_restore(&h->kept, &position);
    int32_t count = 0;
    int32_t current = 0;
    playlist_get_position(&h->playlist, &count, &current);
    if (count >= 1) {
        // The first entry, or the one the kept list was at: open, never playing by itself.
        static tSongInfo entry;
        playlist_get_entry(&h->playlist, current, &entry, nullptr);
        entry.path[sizeof entry.path - 1] = '\0';
        if (decoder_open(&h->decoder, entry.path) == RESULT_OK) {
            playlist_set_title(&h->playlist, current, h->decoder.song.title);
            if (position > 0 && decoder_seek(&h->decoder, position) == RESULT_OK)
                window_main_set_status(&h->gui.window_main, STATUS_PAUSED);
        }
    }
    gui_refresh(&h->gui);
    mpris_init(&h->mpris, h);
    kept_watch(&h->kept);
    return RESULT_OK;
}

namespace {

tHandle *running; // the started player, once "activate", "open" or "command-line" has made it

// Files on the first start's command line replace a kept list, once one of them is added
// (a name mistyped keeps the list); after a playlist option they are added to its list.
int32_t first_files_mode(const tHandle *h) { return h->kept.replaced ? INSTANCE_APPEND : INSTANCE_REPLACE; }

// The player's options reach a running player as the values of this hidden option of the
// application's command line. Declaring an option also keeps GTK's own parsing strict: an
// option that nobody knows is still refused there, and "--help-all" still answers.
constexpr const char *HANDED_OPTIONS = "ravlox-options";
constexpr GOptionEntry HANDED_ENTRIES[] = {
    {HANDED_OPTIONS, 0, G_OPTION_FLAG_HIDDEN, G_OPTION_ARG_STRING_ARRAY, nullptr, nullptr, nullptr},
    {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr},
};

// The application and its id: one player per data directory on the session bus, whatever
// options it was started with. Every later start hands its command line to it (its
// options and files) and ends with the status it answers. Without a bus there is no id:
// the data directory's lock keeps a second player out.
GtkApplication *make_application(const tArgList *kept) {
    const auto flags = static_cast<GApplicationFlags>(G_APPLICATION_HANDLES_OPEN | G_APPLICATION_HANDLES_COMMAND_LINE);
    const char *bus = getenv("DBUS_SESSION_BUS_ADDRESS");
    const char *home = home_directory();
    char dir[HANDLE_PATH_SIZE];
    char plain[HANDLE_PATH_SIZE];
    snprintf(plain, sizeof plain, "%s/.ravlox/", home ? home : "");
    snprintf(dir, sizeof dir, "%s", plain);
    char id[256];
    const bool shared = bus && *bus && home && resolve_data_dir(kept, dir, sizeof dir) == 0;
    if (shared)
        instance_app_id(dir, plain, id, sizeof id);
    GtkApplication *application = gtk_application_new(shared ? id : nullptr, flags);
    g_application_add_main_option_entries(G_APPLICATION(application), HANDED_ENTRIES);
    return application;
}

int handle_local_options(GApplication *, GVariantDict *options, void *kept_list) {
    const tArgList *kept = static_cast<const tArgList *>(kept_list);
    if (kept->count > 1)
        g_variant_dict_insert_value(options, HANDED_OPTIONS, g_variant_new_strv(kept->args + 1, kept->count - 1));
    return -1; // go on
}

void handle_open(GApplication *application, GFile **files, int count, const char *, void *kept_list) {
    const bool first = !running;
    if (first)
        handle_activate(GTK_APPLICATION(application), kept_list);
    instance_open_files(running, files, count, first ? first_files_mode(running) : INSTANCE_APPEND);
}

// A path in an option is the sender's: relative to its working directory.
void absolute_option(const char *a, const char *cwd, char *out, size_t size) {
    const char *value = strchr(a, '=');
    if (value && value[1] != '\0' && value[1] != '/' && cwd && !starts_with(a, "--audiooutput."))
        snprintf(out, size, "%.*s%s/%s", static_cast<int>(value + 1 - a), a, cwd, value + 1);
    else
        snprintf(out, size, "%s", a);
}

// The running player's devices, as a start of its own lists them: by number.
void print_devices(tHandle *h, GApplicationCommandLine *line) {
    static tPortaudioDeviceList list; // main thread only
    portaudio_list_devices(&h->audiooutput.portaudio, &list);
    g_application_command_line_print(line, "Available portaudio devices:\n   %3d> DEFAULT DEVICE\n", -1);
    int32_t order[PORTAUDIO_LIST_MAX];
    for (int32_t k = 0; k < list.count; ++k)
        order[k] = k;
    std::sort(order, order + list.count, [](int32_t a, int32_t b) { return list.device[a] < list.device[b]; });
    for (int32_t k = 0; k < list.count; ++k) {
        const int32_t d = list.device[order[k]];
        if (d >= 0)
            g_application_command_line_print(line, "   %3d> %s%s\n", d, list.name[order[k]],
                                             d == list.default_device ? " (default device)" : "");
    }
}

// One option of a later start, applied as the player's own command line applies it.
int32_t apply_option(tHandle *h, GApplicationCommandLine *line, const char *a) {
    char option[2 * HANDLE_PATH_SIZE];
    absolute_option(a, g_application_command_line_get_cwd(line), option, sizeof option);
    if (starts_with(option, "--dir="))
        return RESULT_OK; // it chose this player
    if (starts_with(option, "--audiooutput.portaudio.device=?")) {
        print_devices(h, line);
        return RESULT_OK;
    }
    if (starts_with(option, "--audiooutput."))
        return audiooutput_apply_option(&h->audiooutput, option);
    if (starts_with(option, "--gui."))
        return gui_parse_option(&h->gui, option);
    if (starts_with(option, "--playlist.m3u=") && option[15] != '\0')
        return instance_load_playlist(h, option + 15) > 0 ? RESULT_OK : RESULT_FAILED;
    return RESULT_UNKNOWN_OPTION;
}

// The first command line is the player's own start; a later start's is applied here, its
// options first, and answered with its exit status: 0, or 1 with a line on its standard error.
int handle_command_line(GApplication *application, GApplicationCommandLine *line, void *kept_list) {
    const bool first = !running;
    if (first)
        handle_activate(GTK_APPLICATION(application), kept_list);
    int status = 0;
    if (g_application_command_line_get_is_remote(line)) {
        const gchar **options = nullptr;
        GVariantDict *dict = g_application_command_line_get_options_dict(line);
        g_variant_dict_lookup(dict, HANDED_OPTIONS, "^a&s", &options);
        for (const gchar **a = options; a && *a; ++a) {
            if (apply_option(running, line, *a) != RESULT_OK) {
                g_application_command_line_printerr(line, "the running player could not apply [%s]\n", *a);
                status = 1;
            }
        }
        g_free(options);
    }
    int argc = 0;
    gchar **args = g_application_command_line_get_arguments(line, &argc);
    GFile **files = g_new0(GFile *, argc + 1);
    for (int k = 1; k < argc; ++k)
        files[k - 1] = g_application_command_line_create_file_for_arg(line, args[k]);
    if (argc > 1)
        instance_open_files(running, files, argc - 1, first ? first_files_mode(running) : INSTANCE_APPEND);
    if (g_application_command_line_get_is_remote(line))
        instance_present(running);
    for (int k = 0; k + 1 < argc; ++k)
        g_object_unref(files[k]);
    g_free(files);
    g_strfreev(args);
    return status;
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
        if (result == RESULT_OK)
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
    g_signal_connect(application, "command-line", G_CALLBACK(handle_command_line), &kept);
    g_signal_connect(application, "handle-local-options", G_CALLBACK(handle_local_options), &kept);
    const int status = g_application_run(G_APPLICATION(application), gtk.count, gtk.args);
    g_object_unref(application);
    return status;
}
