// The list kept between runs in the data directory: brought back at start-up, saved a moment
// after it changes and at quit, while "Remember the playlist" is on.
#pragma once

#include <cstdint>

struct tHandle;

constexpr const char *KEPT_FILE = "playlist.m3u8";
// A damaged kept list is renamed so, not overwritten by the next save.
constexpr const char *KEPT_DAMAGED_SUFFIX = ".damaged";
// How long the list stays unchanged before it is saved: adding a folder, dragging along the
// position bar or a run of key presses make one save, not one each.
constexpr uint32_t KEPT_QUIET_MS = 1000;

struct tHandleKept {
    tHandle *handle;
    char path[1040];
    // 1 when a playlist option gives the list: nothing is restored.
    int32_t replaced;
    // 1 once start-up is over and changes are followed.
    int32_t watching;
    uint32_t timer; // the source waiting for the list to stay unchanged, 0 when none
    uint32_t noted; // changes so far
    uint32_t seen;  // changes when the timer last looked
};

void kept_init(tHandleKept *k, tHandle *h);
// At start-up, once the settings are read: the kept list replaces the empty one unless a
// playlist option gave one (files on the command line replace it later); `position` receives the second to open the current entry at. A
// damaged list is set aside with a message and the list stays empty.
void kept_restore(tHandleKept *k, int32_t *position);
// From then on every change of the list, and the events that move the position, are saved.
void kept_watch(tHandleKept *k);
void kept_note(tHandleKept *k);
void kept_note_event(tHandleKept *k, uint32_t event);
// Saves at once (at quit); nothing while the setting is off.
int32_t kept_save(tHandleKept *k);
