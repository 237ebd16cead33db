// Replacing a file whole: the new contents go into a temporary file beside it, which takes the
// file's place only once everything is written, so a full disk or a kill never leaves a
// truncated file behind.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>

// Writes the contents; false when something could not be written.
using tSaveWriter = bool (*)(FILE *f, const void *context);

// Writes `path` through `write`. A symlink is followed and its target replaced; an existing
// file keeps its mode, a new one is created with `new_mode` (less the umask). A path that
// names a device or a FIFO is written in place. The new file and its folder entry are on the
// disk when it returns, and temporaries that a killed save of the same file left are gone.
// Returns 0, or -1 with the old file unchanged.
int32_t save_file_replace(const char *path, mode_t new_mode, tSaveWriter write, const void *context);

// Writes `path` the same way, for files that can be made again: a symlink there is replaced,
// never followed, and nothing is synced to the disk.
int32_t save_file_put(const char *path, mode_t new_mode, tSaveWriter write, const void *context);

// Removes the temporary files that interrupted saves of `path` left beside it.
void save_file_remove_stale(const char *path);
