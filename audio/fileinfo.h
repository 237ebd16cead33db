// What a file holds, for the file-info dialog: read from the file with library handles of
// its own, so that whatever the decoder plays goes on undisturbed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "audio/tags.h"

struct tFileInfo {
    char format[128];   // "MPEG-1 Layer III, joint stereo", "FLAC (...)", "Vorbis in Ogg"
    int32_t length;     // seconds, -1 when unknown
    int32_t rate;       // Hz, 0 when unknown
    int32_t channels;   // of the file (not of what is played), 0 when unknown
    int32_t bitrate;    // kbit/s, 0 when unknown
    int32_t average;    // 1 when the bit rate varies and `bitrate` is its average
    tSongTags tags;
    char error[256];    // why the file could not be read, empty when it could
};

// Fills `info`; 0, or -1 with `error` saying why nothing could be read. Only regular files
// are opened, so that a named pipe cannot hold the caller up.
int32_t fileinfo_read(const char *path, tFileInfo *info);

// The info's numbers as the dialog shows them ("3:25", "44100 Hz", "2 (stereo)",
// "128 kbit/s"), "-" for what is unknown.
void fileinfo_length_text(const tFileInfo *info, char *out, size_t size);
void fileinfo_rate_text(const tFileInfo *info, char *out, size_t size);
void fileinfo_channels_text(const tFileInfo *info, char *out, size_t size);
void fileinfo_bitrate_text(const tFileInfo *info, char *out, size_t size);
