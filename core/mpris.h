// Desktop media controls: the player on the session bus, so that media keys, sound menus and
// tools such as playerctl can see and drive it.
#pragma once

#include <cstdint>

#include "audio/tags.h"

struct tHandle;
typedef struct _GDBusConnection GDBusConnection;

constexpr const char *MPRIS_BUS_NAME = "org.mpris.MediaPlayer2.ravlox";

// What the player's state looks like from the bus.
struct tMprisState {
    int32_t status;
    int32_t volume;
    int32_t shuffle;
    int32_t repeat;
    int32_t can_play;
    int32_t can_seek;
};

struct tHandleMpris {
    tHandle *handle;
    GDBusConnection *connection; // set while both objects are registered
    uint32_t owner_id;
    uint32_t object_ids[2];
    tMprisState announced; // what the bus was last told, compared after every event
    int32_t instance; // 1 once the plain name was taken and a per-process one was asked for
    int32_t said_off; // the one line about missing controls was printed
    uint32_t track; // advances with every file the decoder opens, names the track id
    int32_t length;
    char path[1024];
    char title[256];
    tSongTags tags; // of the open file, for the metadata
};

// Owns the bus name; without a session bus it says so in one line and the player runs on.
int32_t mpris_init(tHandleMpris *m, tHandle *h);
// Announces what changed since the last call (PropertiesChanged, Seeked after a seek).
// Called once an event is done, and when a window changes a switch by itself.
void mpris_announce(tHandleMpris *m, uint32_t event);
