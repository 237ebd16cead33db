// The loaded theme and loading it from directories and archives.
#pragma once

#include <cstdint>

#include "theme/catalogue.h"

struct tHandle;
typedef struct _GdkPixbuf GdkPixbuf;

struct tHandleTheme {
    tHandle *handle;
    GdkPixbuf *bitmaps[THEME_BITMAP_COUNT];
    uint8_t viscolors[24][3];
    uint8_t plcolors[4][3];
    char font[1024];
    uint8_t present[THEME_ELEMENT_COUNT];
};

int32_t theme_init(tHandleTheme *t, tHandle *h);
int32_t theme_load_directory(tHandleTheme *t, const char *directory);
int32_t theme_load_wsz(tHandleTheme *t, const char *archive);
int32_t theme_copy_files(const char *source, const char *destination);
int32_t theme_find_file(const char *directory, char name[1024]);
int32_t theme_read_viscolor(uint8_t colours[24][3], const char *path);
int32_t theme_read_pledit(tHandleTheme *t, const char *path);
uint8_t (*theme_get_viscolors(tHandleTheme *t))[3];
uint8_t (*theme_get_plcolors(tHandleTheme *t))[3];
