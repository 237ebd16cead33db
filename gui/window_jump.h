// The "Jump to file" window: a search entry over the playlist's entries as the list shows
// them; Up and Down choose, Return plays the chosen one, Escape closes.
#pragma once

#include <cstdint>

#include "playlist/playlist.h"

struct tHandle;
typedef struct _GtkApplication GtkApplication;
typedef struct _GtkWidget GtkWidget;
typedef struct _GtkSingleSelection GtkSingleSelection;
typedef struct _GListModel GListModel;

struct tHandleWindowJump {
    tHandle *handle;
    GtkApplication *application;
    // Made at the first showing, then hidden rather than destroyed.
    GtkWidget *window;
    GtkWidget *entry;
    GtkWidget *list;
    GtkSingleSelection *selection;
    GListModel *matches_model; // the list of matches that the selection holds
    // The indexes of the entries that match, in list order: the list's rows are made from
    // them only while they are on screen.
    int32_t count;
    int32_t matches[PLAYLIST_CAPACITY];
};

int32_t window_jump_init(tHandleWindowJump *w, tHandle *h, GtkApplication *application);
// Opens the window with an empty search (every entry) and the entry focused.
int32_t window_jump_show(tHandleWindowJump *w);
int32_t window_jump_hide(tHandleWindowJump *w);
// Moves the choice by `step` matches (kept inside the list); 0, or -1 when nothing matches.
int32_t window_jump_move(tHandleWindowJump *w, int32_t step);
// Plays the chosen entry and closes the window; -1 (and the window stays) when none is chosen.
int32_t window_jump_play_chosen(tHandleWindowJump *w);
