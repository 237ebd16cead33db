#include "core/kept.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <glib.h>

#include "core/handle.h"

namespace {

bool keeping(const tHandleKept *k) { return (k->handle->playlist.options & PLAYLIST_KEEP) != 0; }

void on_change(void *context) { kept_note(static_cast<tHandleKept *>(context)); }

gboolean on_quiet(void *context) {
    auto *k = static_cast<tHandleKept *>(context);
    if (k->noted != k->seen) {
        k->seen = k->noted;
        return G_SOURCE_CONTINUE;
    }
    k->timer = 0;
    kept_save(k);
    return G_SOURCE_REMOVE;
}

// The second the open file is at, when it is the current entry.
int32_t current_position(tHandle *h) {
    static tSongInfo song;  // main thread only
    static tSongInfo entry;
    int32_t state = DECODER_IDLE;
    decoder_get_state(&h->decoder, &state);
    if (state == DECODER_IDLE || playlist_get_entry(&h->playlist, h->playlist.current, &entry, nullptr) != RESULT_OK)
        return 0;
    decoder_get_song_info(&h->decoder, &song);
    return strncmp(song.path, entry.path, sizeof song.path) == 0 ? song.position : 0;
}

}  // namespace

void kept_init(tHandleKept *k, tHandle *h) {
    memset(k, 0, sizeof *k);
    k->handle = h;
}

void kept_restore(tHandleKept *k, int32_t *position) {
    tHandle *h = k->handle;
    *position = 0;
    snprintf(k->path, sizeof k->path, "%s/%s", h->data_dir, KEPT_FILE);
    if (k->replaced || !keeping(k))
        return;
    if (playlist_read_kept(&h->playlist, k->path, position) != PLAYLIST_DAMAGED)
        return;
    char aside[sizeof k->path + 16];
    snprintf(aside, sizeof aside, "%s%s", k->path, KEPT_DAMAGED_SUFFIX);
    if (rename(k->path, aside) == 0)
        fprintf(stderr, "the kept playlist [%s] is damaged: set aside as [%s]\n", k->path, aside);
    else
        fprintf(stderr, "the kept playlist [%s] is damaged and could not be set aside: %s\n", k->path,
                strerror(errno));
}

void kept_watch(tHandleKept *k) {
    k->watching = 1;
    k->handle->playlist.changed = on_change;
    k->handle->playlist.changed_context = k;
    // A list the command line gave is the one to keep from now on.
    if (k->replaced)
        kept_note(k);
}

void kept_note(tHandleKept *k) {
    k->noted++;
    if (k->timer != 0 || !k->watching || !keeping(k))
        return;
    k->seen = k->noted;
    k->timer = g_timeout_add(KEPT_QUIET_MS, on_quiet, k);
}

void kept_note_event(tHandleKept *k, uint32_t event) {
    switch (event) {
    case EVENT_OPEN_FILE:
    case EVENT_PAUSE:
    case EVENT_STOP:
    case EVENT_SEEK:
    case EVENT_NEXT:
    case EVENT_PREV:
    case EVENT_END_OF_TRACK:
    case EVENT_PREFERENCES_APPLY: // the setting may just have been turned on
        kept_note(k);
        break;
    default:
        break;
    }
}

int32_t kept_save(tHandleKept *k) {
    if (!k->watching || !keeping(k))
        return RESULT_OK;
    tHandle *h = k->handle;
    return playlist_write_kept(&h->playlist, k->path, current_position(h));
}
