// Desktop media controls on the session bus. Every request is turned into the event a click
// would send; every change the player makes is announced once its event is done.
#include "core/mpris.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include <gio/gio.h>
#include <gtk/gtk.h>

#include "core/handle.h"
#include "core/instance.h"

namespace {

constexpr const char *OBJECT_PATH = "/org/mpris/MediaPlayer2";
constexpr const char *ROOT_INTERFACE = "org.mpris.MediaPlayer2";
constexpr const char *PLAYER_INTERFACE = "org.mpris.MediaPlayer2.Player";
constexpr const char *NO_TRACK = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
constexpr int64_t MICROSECONDS = 1000000;

constexpr const char *INTROSPECTION =
    "<node>"
    " <interface name='org.mpris.MediaPlayer2'>"
    "  <method name='Raise'/>"
    "  <method name='Quit'/>"
    "  <property name='CanQuit' type='b' access='read'/>"
    "  <property name='CanRaise' type='b' access='read'/>"
    "  <property name='HasTrackList' type='b' access='read'/>"
    "  <property name='Identity' type='s' access='read'/>"
    "  <property name='DesktopEntry' type='s' access='read'/>"
    "  <property name='SupportedUriSchemes' type='as' access='read'/>"
    "  <property name='SupportedMimeTypes' type='as' access='read'/>"
    " </interface>"
    " <interface name='org.mpris.MediaPlayer2.Player'>"
    "  <method name='Next'/>"
    "  <method name='Previous'/>"
    "  <method name='Pause'/>"
    "  <method name='PlayPause'/>"
    "  <method name='Stop'/>"
    "  <method name='Play'/>"
    "  <method name='Seek'><arg direction='in' type='x' name='Offset'/></method>"
    "  <method name='SetPosition'>"
    "   <arg direction='in' type='o' name='TrackId'/>"
    "   <arg direction='in' type='x' name='Position'/>"
    "  </method>"
    "  <method name='OpenUri'><arg direction='in' type='s' name='Uri'/></method>"
    "  <signal name='Seeked'><arg type='x' name='Position'/></signal>"
    "  <property name='PlaybackStatus' type='s' access='read'/>"
    "  <property name='LoopStatus' type='s' access='readwrite'/>"
    "  <property name='Rate' type='d' access='read'/>"
    "  <property name='MinimumRate' type='d' access='read'/>"
    "  <property name='MaximumRate' type='d' access='read'/>"
    "  <property name='Shuffle' type='b' access='readwrite'/>"
    "  <property name='Metadata' type='a{sv}' access='read'/>"
    "  <property name='Volume' type='d' access='readwrite'/>"
    "  <property name='Position' type='x' access='read'/>"
    "  <property name='CanGoNext' type='b' access='read'/>"
    "  <property name='CanGoPrevious' type='b' access='read'/>"
    "  <property name='CanPlay' type='b' access='read'/>"
    "  <property name='CanPause' type='b' access='read'/>"
    "  <property name='CanSeek' type='b' access='read'/>"
    "  <property name='CanControl' type='b' access='read'/>"
    " </interface>"
    "</node>";

// One song record, shared by the callbacks below: all of them run on the main thread.
tSongInfo &song_now(tHandle *h) {
    static tSongInfo song;
    handle_get_song_info(h, &song);
    song.path[sizeof song.path - 1] = '\0';
    return song;
}

tMprisState state_now(tHandle *h, const tSongInfo &song) {
    tMprisState s{};
    s.status = h->gui.window_main.status;
    s.volume = h->gui.window_main.volume;
    window_main_get_shuffle_repeat(&h->gui.window_main, &s.shuffle, &s.repeat);
    int32_t count = 0;
    int32_t current = 0;
    playlist_get_position(&h->playlist, &count, &current);
    int32_t decoder = DECODER_IDLE;
    decoder_get_state(&h->decoder, &decoder);
    s.can_play = count > 0 || decoder != DECODER_IDLE;
    s.can_seek = decoder != DECODER_IDLE && song.length > 0;
    return s;
}

const char *status_name(int32_t status) {
    switch (status) {
    case STATUS_PLAYING: return "Playing";
    case STATUS_PAUSED: return "Paused";
    default: return "Stopped";
    }
}

void track_id(const tHandleMpris *m, char *out, size_t size) {
    if (m->path[0] == '\0')
        snprintf(out, size, "%s", NO_TRACK);
    else
        snprintf(out, size, "/org/ravlox/track/%u", m->track);
}

// Takes the open file into the record; true when it is another track than before.
bool take_track(tHandleMpris *m, const tSongInfo &song) {
    if (strncmp(m->path, song.path, sizeof m->path) == 0 &&
        strncmp(m->title, song.title, sizeof m->title) == 0 && m->length == song.length)
        return false;
    snprintf(m->path, sizeof m->path, "%s", song.path);
    memcpy(m->title, song.title, sizeof m->title);
    m->title[sizeof m->title - 1] = '\0';
    m->length = song.length;
    ++m->track;
    tags_read_file(m->path, &m->tags);
    return true;
}

GVariant *metadata(const tHandleMpris *m) {
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
    char id[64];
    track_id(m, id, sizeof id);
    g_variant_builder_add(&b, "{sv}", "mpris:trackid", g_variant_new_object_path(id));
    if (m->path[0] != '\0') {
        g_variant_builder_add(&b, "{sv}", "mpris:length",
                              g_variant_new_int64(static_cast<int64_t>(m->length) * MICROSECONDS));
        gchar *name = g_path_get_basename(m->path);
        const char *title = m->tags.title[0] != '\0' ? m->tags.title : name;
        if (g_utf8_validate(title, -1, nullptr))
            g_variant_builder_add(&b, "{sv}", "xesam:title", g_variant_new_string(title));
        g_free(name);
        if (m->tags.artist[0] != '\0') {
            const char *artists[] = {m->tags.artist, nullptr};
            g_variant_builder_add(&b, "{sv}", "xesam:artist", g_variant_new_strv(artists, 1));
        }
        if (m->tags.album[0] != '\0')
            g_variant_builder_add(&b, "{sv}", "xesam:album", g_variant_new_string(m->tags.album));
        // "3" or "3/12": the number before the slash.
        const int track = atoi(m->tags.track);
        if (track > 0)
            g_variant_builder_add(&b, "{sv}", "xesam:trackNumber", g_variant_new_int32(track));
        if (g_ascii_isdigit(m->tags.year[0]) && g_ascii_isdigit(m->tags.year[1]) &&
            g_ascii_isdigit(m->tags.year[2]) && g_ascii_isdigit(m->tags.year[3])) {
            char date[32];
            snprintf(date, sizeof date, "%.4s-01-01T00:00:00Z", m->tags.year);
            g_variant_builder_add(&b, "{sv}", "xesam:contentCreated", g_variant_new_string(date));
        }
        gchar *absolute = g_canonicalize_filename(m->path, nullptr);
        gchar *uri = g_filename_to_uri(absolute, nullptr, nullptr);
        if (uri != nullptr)
            g_variant_builder_add(&b, "{sv}", "xesam:url", g_variant_new_string(uri));
        g_free(uri);
        g_free(absolute);
    }
    return g_variant_builder_end(&b);
}

GVariant *strings(std::initializer_list<const char *> list) {
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("as"));
    for (const char *s : list)
        g_variant_builder_add(&b, "s", s);
    return g_variant_builder_end(&b);
}

GVariant *get_root(const char *name, tHandleMpris *) {
    if (strcmp(name, "CanQuit") == 0 || strcmp(name, "CanRaise") == 0)
        return g_variant_new_boolean(TRUE);
    if (strcmp(name, "HasTrackList") == 0)
        return g_variant_new_boolean(FALSE);
    if (strcmp(name, "Identity") == 0)
        return g_variant_new_string("ravlox");
    if (strcmp(name, "DesktopEntry") == 0) // the installed entry, for the sound menu's icon
        return g_variant_new_string(INSTANCE_APP_ID);
    if (strcmp(name, "SupportedUriSchemes") == 0)
        return strings({"file"});
    if (strcmp(name, "SupportedMimeTypes") == 0)
        return strings({"audio/mpeg", "audio/flac", "audio/ogg", "audio/x-vorbis+ogg", "audio/opus", "audio/mp4",
                        "audio/x-m4a", "audio/wav", "audio/x-aiff", "audio/x-wavpack", "audio/x-mpegurl"});
    return nullptr;
}

GVariant *get_player(const char *name, tHandleMpris *m) {
    tHandle *h = m->handle;
    const tSongInfo &song = song_now(h);
    const tMprisState s = state_now(h, song);
    if (strcmp(name, "PlaybackStatus") == 0)
        return g_variant_new_string(status_name(s.status));
    if (strcmp(name, "LoopStatus") == 0)
        return g_variant_new_string(s.repeat ? "Playlist" : "None");
    if (strcmp(name, "Rate") == 0 || strcmp(name, "MinimumRate") == 0 ||
        strcmp(name, "MaximumRate") == 0)
        return g_variant_new_double(1.0);
    if (strcmp(name, "Shuffle") == 0)
        return g_variant_new_boolean(s.shuffle != 0);
    if (strcmp(name, "Metadata") == 0) {
        take_track(m, song);
        return metadata(m);
    }
    if (strcmp(name, "Volume") == 0)
        return g_variant_new_double(s.volume / 100.0);
    if (strcmp(name, "Position") == 0)
        return g_variant_new_int64(static_cast<int64_t>(song.position) * MICROSECONDS);
    if (strcmp(name, "CanGoNext") == 0 || strcmp(name, "CanGoPrevious") == 0 ||
        strcmp(name, "CanPlay") == 0 || strcmp(name, "CanPause") == 0)
        return g_variant_new_boolean(s.can_play != 0);
    if (strcmp(name, "CanSeek") == 0)
        return g_variant_new_boolean(s.can_seek != 0);
    if (strcmp(name, "CanControl") == 0)
        return g_variant_new_boolean(TRUE);
    return nullptr;
}

GVariant *on_get_property(GDBusConnection *, const char *, const char *, const char *interface,
                          const char *name, GError **error, void *user_data) {
    auto *m = static_cast<tHandleMpris *>(user_data);
    GVariant *value = strcmp(interface, ROOT_INTERFACE) == 0 ? get_root(name, m) : get_player(name, m);
    if (value == nullptr)
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", name);
    return value;
}

// The same switch the shuffle and repeat buttons flip.
void set_switch(tHandle *h, int32_t id, bool on) {
    int32_t shuffle = 0;
    int32_t repeat = 0;
    window_main_get_shuffle_repeat(&h->gui.window_main, &shuffle, &repeat);
    if ((id == MAIN_ID_SHUFFLE ? shuffle : repeat) != (on ? 1 : 0))
        window_main_toggle_switch(&h->gui.window_main, id);
}

gboolean on_set_property(GDBusConnection *, const char *, const char *, const char *,
                         const char *name, GVariant *value, GError **error, void *user_data) {
    auto *m = static_cast<tHandleMpris *>(user_data);
    tHandle *h = m->handle;
    if (strcmp(name, "Volume") == 0) {
        double v = g_variant_get_double(value);
        if (std::isnan(v)) {
            g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS, "the volume is not a number");
            return FALSE;
        }
        if (v < 0.0)
            v = 0.0;
        handle_send_int(h, EVENT_VOLUME, static_cast<int32_t>(lround(v > 1.0 ? 100.0 : v * 100.0)));
        return TRUE;
    }
    if (strcmp(name, "Shuffle") == 0) {
        set_switch(h, MAIN_ID_SHUFFLE, g_variant_get_boolean(value));
        return TRUE;
    }
    if (strcmp(name, "LoopStatus") == 0) {
        const char *loop = g_variant_get_string(value, nullptr);
        if (strcmp(loop, "None") == 0 || strcmp(loop, "Playlist") == 0) {
            set_switch(h, MAIN_ID_REPEAT, strcmp(loop, "Playlist") == 0);
            return TRUE;
        }
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_NOT_SUPPORTED, "only None and Playlist");
        return FALSE;
    }
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_PROPERTY_READ_ONLY, "%s is read-only", name);
    return FALSE;
}

// A file is added to the playlist and played, a playlist file replaces the list and plays
// its first entry, as the playlist window's choosers and a double-click would.
bool open_uri(tHandle *h, const char *uri) {
    gchar *host = nullptr;
    gchar *path = g_filename_from_uri(uri, &host, nullptr);
    // A file on another machine is not the local file of the same name.
    const bool local = host == nullptr || *host == '\0' || g_ascii_strcasecmp(host, "localhost") == 0;
    g_free(host);
    if (path == nullptr || !local) {
        fprintf(stderr, "not a local file [%s]\n", uri);
        g_free(path);
        return false;
    }
    GFile *file = g_file_new_for_path(path);
    const int32_t mode = instance_is_m3u(path) ? INSTANCE_REPLACE : INSTANCE_APPEND;
    const bool ok = instance_open_files(h, &file, 1, mode) > 0;
    g_object_unref(file);
    g_free(path);
    return ok;
}

void seek_to(tHandle *h, const tSongInfo &song, int64_t microseconds) {
    if (microseconds < 0)
        microseconds = 0;
    if (microseconds > static_cast<int64_t>(song.length) * MICROSECONDS)
        handle_dispatch(h, EVENT_NEXT, nullptr);
    else
        handle_send_int(h, EVENT_SEEK, static_cast<int32_t>(microseconds / MICROSECONDS));
}

void on_method_call(GDBusConnection *connection, const char *, const char *, const char *,
                    const char *method, GVariant *parameters, GDBusMethodInvocation *invocation,
                    void *user_data) {
    auto *m = static_cast<tHandleMpris *>(user_data);
    tHandle *h = m->handle;
    if (strcmp(method, "Quit") == 0) {
        g_dbus_method_invocation_return_value(invocation, nullptr);
        g_dbus_connection_flush_sync(connection, nullptr, nullptr);
        handle_dispatch(h, EVENT_QUIT, nullptr);
        return;
    }
    if (strcmp(method, "Raise") == 0) {
        instance_present(h);
    } else if (strcmp(method, "Next") == 0) {
        handle_dispatch(h, EVENT_NEXT, nullptr);
    } else if (strcmp(method, "Previous") == 0) {
        handle_dispatch(h, EVENT_PREV, nullptr);
    } else if (strcmp(method, "Play") == 0) {
        handle_dispatch(h, EVENT_PLAY, nullptr);
    } else if (strcmp(method, "Pause") == 0) {
        handle_dispatch(h, EVENT_PAUSE, nullptr);
    } else if (strcmp(method, "PlayPause") == 0) {
        const bool playing = h->gui.window_main.status == STATUS_PLAYING;
        handle_dispatch(h, playing ? EVENT_PAUSE : EVENT_PLAY, nullptr);
    } else if (strcmp(method, "Stop") == 0) {
        handle_dispatch(h, EVENT_STOP, nullptr);
    } else if (strcmp(method, "Seek") == 0) {
        gint64 offset = 0;
        g_variant_get(parameters, "(x)", &offset);
        const tSongInfo &song = song_now(h);
        // Far beyond the end either way, without overflowing: forward goes to the next track.
        int64_t target = 0;
        if (__builtin_add_overflow(static_cast<int64_t>(song.position) * MICROSECONDS, offset, &target))
            target = offset > 0 ? INT64_MAX : 0;
        if (state_now(h, song).can_seek)
            seek_to(h, song, target);
    } else if (strcmp(method, "SetPosition") == 0) {
        const char *track = nullptr;
        gint64 position = 0;
        g_variant_get(parameters, "(&ox)", &track, &position);
        const tSongInfo &song = song_now(h);
        take_track(m, song);
        char id[64];
        track_id(m, id, sizeof id);
        // A request for another track, or beyond this one, is ignored.
        if (strcmp(track, id) == 0 && position >= 0 &&
            position <= static_cast<int64_t>(song.length) * MICROSECONDS && state_now(h, song).can_seek)
            seek_to(h, song, position);
    } else if (strcmp(method, "OpenUri") == 0) {
        const char *uri = nullptr;
        g_variant_get(parameters, "(&s)", &uri);
        if (!open_uri(h, uri)) {
            g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS,
                                                  "cannot open %s", uri);
            return;
        }
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

void say_off(tHandleMpris *m, const char *why) {
    if (m->said_off)
        return;
    m->said_off = 1;
    printf("desktop media controls are off: %s\n", why);
    fflush(stdout);
}

void on_bus_acquired(GDBusConnection *connection, const char *, void *user_data) {
    auto *m = static_cast<tHandleMpris *>(user_data);
    if (m->connection != nullptr)
        return;
    static GDBusNodeInfo *node = g_dbus_node_info_new_for_xml(INTROSPECTION, nullptr);
    static const GDBusInterfaceVTable vtable = {on_method_call, on_get_property, on_set_property, {}};
    const char *interfaces[2] = {ROOT_INTERFACE, PLAYER_INTERFACE};
    for (int k = 0; k < 2; ++k) {
        GError *error = nullptr;
        m->object_ids[k] = g_dbus_connection_register_object(
            connection, OBJECT_PATH, g_dbus_node_info_lookup_interface(node, interfaces[k]),
            &vtable, m, nullptr, &error);
        if (m->object_ids[k] == 0) {
            say_off(m, error ? error->message : "the objects could not be registered");
            g_clear_error(&error);
            return;
        }
    }
    m->connection = connection;
    const tSongInfo &song = song_now(m->handle);
    m->announced = state_now(m->handle, song);
    take_track(m, song);
}

void on_name_lost(GDBusConnection *connection, const char *, void *user_data) {
    auto *m = static_cast<tHandleMpris *>(user_data);
    if (connection != nullptr && !m->instance) {
        // Another player of ours holds the name: this one takes a name of its own.
        m->instance = 1;
        char instance[128];
        snprintf(instance, sizeof instance, "%s.instance%ld", MPRIS_BUS_NAME, static_cast<long>(getpid()));
        m->owner_id = g_bus_own_name_on_connection(connection, instance, G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                                   nullptr, on_name_lost, m, nullptr);
        return;
    }
    say_off(m, connection ? "the name on the session bus is taken" : "no session bus");
    if (m->connection != nullptr)
        for (uint32_t &id : m->object_ids)
            if (id != 0) {
                g_dbus_connection_unregister_object(m->connection, id);
                id = 0;
            }
    m->connection = nullptr;
}

void add(GVariantBuilder *b, int *n, const char *name, GVariant *value) {
    g_variant_builder_add(b, "{sv}", name, value);
    ++*n;
}

} // namespace

int32_t mpris_init(tHandleMpris *m, tHandle *h) {
    memset(m, 0, sizeof *m);
    m->handle = h;
    const char *address = getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address == nullptr || *address == '\0') {
        say_off(m, "no session bus");
        return 0;
    }
    m->owner_id = g_bus_own_name(G_BUS_TYPE_SESSION, MPRIS_BUS_NAME, G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                 on_bus_acquired, nullptr, on_name_lost, m, nullptr);
    return 0;
}

void mpris_announce(tHandleMpris *m, uint32_t event) {
    if (m->connection == nullptr)
        return;
    tHandle *h = m->handle;
    const tSongInfo &song = song_now(h);
    const tMprisState s = state_now(h, song);
    GVariantBuilder changed;
    g_variant_builder_init(&changed, G_VARIANT_TYPE("a{sv}"));
    int n = 0;
    if (take_track(m, song))
        add(&changed, &n, "Metadata", metadata(m));
    if (s.status != m->announced.status)
        add(&changed, &n, "PlaybackStatus", g_variant_new_string(status_name(s.status)));
    if (s.volume != m->announced.volume)
        add(&changed, &n, "Volume", g_variant_new_double(s.volume / 100.0));
    if (s.shuffle != m->announced.shuffle)
        add(&changed, &n, "Shuffle", g_variant_new_boolean(s.shuffle != 0));
    if (s.repeat != m->announced.repeat)
        add(&changed, &n, "LoopStatus", g_variant_new_string(s.repeat ? "Playlist" : "None"));
    if (s.can_play != m->announced.can_play)
        for (const char *name : {"CanPlay", "CanPause", "CanGoNext", "CanGoPrevious"})
            add(&changed, &n, name, g_variant_new_boolean(s.can_play != 0));
    if (s.can_seek != m->announced.can_seek)
        add(&changed, &n, "CanSeek", g_variant_new_boolean(s.can_seek != 0));
    m->announced = s;
    GVariant *properties = g_variant_builder_end(&changed);
    if (n > 0)
        g_dbus_connection_emit_signal(m->connection, nullptr, OBJECT_PATH,
                                      "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                      g_variant_new("(s@a{sv}@as)", PLAYER_INTERFACE, properties,
                                                    g_variant_new_strv(nullptr, 0)),
                                      nullptr);
    else
        g_variant_unref(g_variant_ref_sink(properties));
    if (event == EVENT_SEEK || event == EVENT_STOP)
        g_dbus_connection_emit_signal(
            m->connection, nullptr, OBJECT_PATH, PLAYER_INTERFACE, "Seeked",
            g_variant_new("(x)", static_cast<gint64>(song.position) * MICROSECONDS), nullptr);
}
