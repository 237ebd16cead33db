// Placeholder: not built yet; every operation reports failure.
#include "theme/theme.h"

int32_t theme_init(tHandleTheme *t, tHandle *h) { return -1; }

int32_t theme_load_directory(tHandleTheme *t, const char *directory) { return -1; }

int32_t theme_load_wsz(tHandleTheme *t, const char *archive) { return -1; }

int32_t theme_copy_files(const char *source, const char *destination) { return -1; }

int32_t theme_find_file(const char *directory, char name[1024]) { return -1; }

int32_t theme_read_viscolor(uint8_t colours[24][3], const char *path) { return -1; }

int32_t theme_read_pledit(tHandleTheme *t, const char *path) { return -1; }
uint8_t (*theme_get_viscolors(tHandleTheme *t))[3] { return t->viscolors; }
uint8_t (*theme_get_plcolors(tHandleTheme *t))[3] { return t->plcolors; }
