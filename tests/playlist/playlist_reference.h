// Straightforward reordering and removal, one exchange or one removal at a time, as a
// yardstick for the store's faster versions (used by tests and benchmarks only).
#pragma once

#include <cstdlib>
#include <cstring>

#include "playlist/playlist.h"

inline bool reference_in_set(const tHandlePlaylist *p, bool all, int32_t i) { return all || p->selected[i] != 0; }

inline bool reference_all(const tHandlePlaylist *p) {
    for (int32_t i = 0; i < p->count; i++) {
        if (p->selected[i] != 0) return false;
    }
    return true;
}

inline void reference_exchange(tHandlePlaylist *p, int32_t a, int32_t b) {
    static tSongInfo t;
    memcpy(&t, &p->entries[a], sizeof t);
    memcpy(&p->entries[a], &p->entries[b], sizeof t);
    memcpy(&p->entries[b], &t, sizeof t);
}

inline void reference_sort_by_filename(tHandlePlaylist *p) {
    if (p->count <= 1) return;
    bool all = reference_all(p);
    for (int32_t a = 0; a + 1 < p->count; a++) {
        if (!reference_in_set(p, all, a)) continue;
        for (int32_t b = a + 1; b < p->count; b++) {
            if (!reference_in_set(p, all, b)) continue;
            if (strcmp(p->entries[a].path, p->entries[b].path) > 0) reference_exchange(p, a, b);
        }
    }
}

inline void reference_sort_randomize(tHandlePlaylist *p) {
    if (p->count == 0) return;
    bool all = reference_all(p);
    for (int32_t a = 0; a < p->count; a++) {
        if (!reference_in_set(p, all, a)) continue;
        int32_t b;
        do {
            b = rand() % p->count;
        } while (!reference_in_set(p, all, b));
        reference_exchange(p, a, b);
    }
}

inline void reference_sort_reverse(tHandlePlaylist *p) {
    if (p->count <= 1) return;
    bool all = reference_all(p);
    int32_t lo = 0;
    int32_t hi = p->count - 1;
    while (lo < hi) {
        bool l = reference_in_set(p, all, lo);
        bool h = reference_in_set(p, all, hi);
        if (l && h) {
            reference_exchange(p, lo, hi);
            lo++;
            hi--;
        } else if (l) {
            hi--;
        } else if (h) {
            lo++;
        } else {
            lo++;
            hi--;
        }
    }
}

inline void reference_remove(tHandlePlaylist *p, int32_t r) {
    p->count--;
    for (int32_t i = r; i < p->count; i++) {
        memcpy(&p->entries[i], &p->entries[i + 1], sizeof(tSongInfo));
        p->selected[i] = p->selected[i + 1];
    }
    p->selected[p->count] = 0;
    if (p->current > r) p->current--;
}

inline void reference_remove_selected(tHandlePlaylist *p) {
    int32_t r = 0;
    while (r < p->count) {
        if (p->selected[r] != 0) {
            reference_remove(p, r);
        } else {
            r++;
        }
    }
}
