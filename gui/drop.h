// Files, folders and M3U playlists dropped onto a window from a file manager.
#pragma once

#include <cstdint>

#include "core/instance.h"

struct tHandle;
typedef struct _GtkWidget GtkWidget;

// Lets `window` take dropped files: with INSTANCE_APPEND they go to the end of the
// playlist, with INSTANCE_REPLACE they replace it; either way the first of them plays.
void drop_attach(GtkWidget *window, tHandle *h, int32_t mode);
