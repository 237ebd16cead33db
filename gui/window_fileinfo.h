// The "File info" dialog: what a playlist entry's file holds, read from the file itself.
#pragma once

#include <cstdint>

#include "audio/fileinfo.h"

typedef struct _GtkApplication GtkApplication;
typedef struct _GtkWidget GtkWidget;

// The dialog's rows, in order.
enum : int32_t {
    FILEINFO_PATH,
    FILEINFO_FORMAT,
    FILEINFO_LENGTH,
    FILEINFO_RATE,
    FILEINFO_CHANNELS,
    FILEINFO_BITRATE,
    FILEINFO_TITLE,
    FILEINFO_ARTIST,
    FILEINFO_ALBUM,
    FILEINFO_YEAR,
    FILEINFO_TRACK,
    FILEINFO_GENRE,
    FILEINFO_COMMENT,
    FILEINFO_ROWS
};

struct tHandleWindowFileInfo {
    GtkApplication *application;
    // Made at the first showing, then hidden rather than destroyed.
    GtkWidget *window;
    GtkWidget *message; // why the file could not be read; hidden when it could
    GtkWidget *values[FILEINFO_ROWS];
    tFileInfo info;
};

int32_t window_fileinfo_init(tHandleWindowFileInfo *w, GtkApplication *application);
// Reads the file and shows what it holds, over `parent` (may be null); the result of the
// reading, 0 or -1 (the dialog then says why).
int32_t window_fileinfo_show(tHandleWindowFileInfo *w, const char *path, GtkWidget *parent);
int32_t window_fileinfo_hide(tHandleWindowFileInfo *w);
