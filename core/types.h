// Records and result codes that several modules share, so that none of them has to include
// another module's header to pass a song or a decoded frame along.
#pragma once

#include <cstdint>

constexpr int32_t SAMPLE_FORMAT_S16 = 1;

// Maintainer contact printed at the end of some diagnostics.
inline constexpr const char *RAVLOX_CONTACT = "ravlox-maintainers@ravlox.invalid";

// Operation results. Several steps are combined with a bitwise or, so any failure
// survives the or, and RESULT_DONE only when every other step gave RESULT_OK.
enum : int32_t {
    RESULT_OK = 0,
    RESULT_FAILED = -1,
    // An option under a module's prefix that the module does not know.
    RESULT_UNKNOWN_OPTION = -2,
    // First pass of the command line: the option is the program's, not GTK's (which is
    // RESULT_OK there).
    RESULT_OPTION_KEPT = 1,
    // An option did all its work (printed or wrote something): the program ends with 0.
    RESULT_DONE = 0xffff,
};

// What the windows show of a song; the playlist store keeps one per entry.
struct tSongInfo {
    char path[1024];
    char title[256];
    int32_t length;
    int32_t position;
    int32_t channels;
    int32_t rate;
    int32_t bitrate;
    // Playlist entries: 1 once `title` holds what the file's tags say (perhaps nothing).
    int32_t tags_read;
};

// One decoded frame: signed 16-bit samples, interleaved. `samples` points into the
// decoder's own buffer and is valid only until its next decode, so consumers copy at once.
struct tPcmChunk {
    unsigned char *samples;
    int32_t bytes;
    int32_t channels;
    int32_t rate;
    int32_t format;
};
