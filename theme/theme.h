// The loaded theme and loading it from directories and archives.
#pragma once

#include <cstdint>

#include "theme/catalogue.h"

typedef struct _GdkPixbuf GdkPixbuf;

// The 16 sheets in table order, then these two text files.
constexpr int THEME_FILE_COUNT = THEME_BITMAP_COUNT + 2;
constexpr const char *THEME_PLEDIT_NAME = "PLEDIT.TXT";
constexpr const char *THEME_VISCOLOR_NAME = "VISCOLOR.TXT";

constexpr int THEME_VISCOLOR_COUNT = 24;
constexpr int THEME_PLCOLOR_COUNT = 4;
// Indexes into plcolors.
enum : int32_t {
    THEME_PLCOLOR_NORMAL = 0,
    THEME_PLCOLOR_CURRENT = 1,
    THEME_PLCOLOR_NORMALBG = 2,
    THEME_PLCOLOR_SELECTEDBG = 3,
};

// Bounds against hostile themes: images declaring more than this on either side are not
// decoded, archive entries larger than THEME_MAX_ENTRY_SIZE are not extracted.
constexpr int THEME_MAX_IMAGE_SIZE = 4096;
// A 4096 x 4096 sheet of 32-bit pixels, with room for headers and a palette.
constexpr long long THEME_MAX_IMAGE_FILE_SIZE = 4LL * THEME_MAX_IMAGE_SIZE * THEME_MAX_IMAGE_SIZE + 65536;
constexpr long long THEME_MAX_ENTRY_SIZE = 16LL * 1024 * 1024;
constexpr long long THEME_MAX_ARCHIVE_SIZE = THEME_FILE_COUNT * THEME_MAX_ENTRY_SIZE;

// Main thread only; no lock.
struct tHandleTheme {
    GdkPixbuf *bitmaps[THEME_BITMAP_COUNT];
    uint8_t viscolors[THEME_VISCOLOR_COUNT][3];
    uint8_t plcolors[THEME_PLCOLOR_COUNT][3];
    char font[1024];
    uint8_t present[THEME_ELEMENT_COUNT];
};

int32_t theme_init(tHandleTheme *t);
// These pass the theme through `folder` (the data directory's theme folder, made if missing);
// all but the archive load it from there. A theme that cannot be put into the folder gives -1
// and a message, and the folder and the record keep the old theme.
int32_t theme_load_directory(tHandleTheme *t, const char *directory, const char *folder);
int32_t theme_load_wsz(tHandleTheme *t, const char *archive, const char *folder);
// The default theme, in place of every file of the old one.
int32_t theme_load_default(tHandleTheme *t, const char *folder);
int32_t theme_copy_files(const char *source, const char *destination);
int32_t theme_find_file(const char *directory, char name[1024]);
int32_t theme_read_viscolor(uint8_t colours[THEME_VISCOLOR_COUNT][3], const char *path);
int32_t theme_read_pledit(tHandleTheme *t, const char *path);
uint8_t (*theme_get_viscolors(tHandleTheme *t))[3];
// The font name immediately follows the four colours.
uint8_t (*theme_get_plcolors(tHandleTheme *t))[3];
