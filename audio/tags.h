// Song texts from a file's tags (ID3v2 and ID3v1, or what FFmpeg reads), in UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>

typedef struct mpg123_handle_struct mpg123_handle;

constexpr size_t TAGS_TEXT_SIZE = 256;

struct tSongTags {
    char title[TAGS_TEXT_SIZE];
    char artist[TAGS_TEXT_SIZE];
    char album[TAGS_TEXT_SIZE];
    char track[16];  // as the file gives it: "3" or "3/12"
    char year[16];   // the year, or the date the file gives
    char genre[TAGS_TEXT_SIZE];   // by name, also where the file gives a genre number
    char comment[TAGS_TEXT_SIZE]; // the comment without a description of its own
};

// Reads the tags of a stream the library has started on (at least its format is known).
// Each text comes from ID3v2 when that has it, else from ID3v1; empty when neither has.
// Returns 0 when a title was found, -1 otherwise.
int32_t tags_read(mpg123_handle *mh, tSongTags *tags);
// The same for a file by name, with a library handle of its own. Only regular files are
// opened, so a named pipe cannot hold the caller up.
int32_t tags_read_file(const char *path, tSongTags *tags);
// One line each, without padding or blanks around (what tags_read does to ID3 texts).
void tags_tidy(tSongTags *tags);
// tags_read, then tags_display_title into `out`.
void tags_read_title(mpg123_handle *mh, char *out, size_t size);
// "Artist - Title", the title alone, or "" when there is no title; cut at a character.
void tags_display_title(const tSongTags *tags, char *out, size_t size);
// The name of an ID3 genre number, null for numbers without one.
const char *tags_genre_name(int32_t number);
// A genre as files give it ("Rock", "17", "(17)", "(17)Rock") as its name, in place.
void tags_tidy_genre(char *genre, size_t size);
// Bytes of a Latin-1 or UTF-8 text (UTF-8 when they are valid as such) to UTF-8, bounded.
void tags_to_utf8(const char *bytes, size_t length, char *out, size_t size);
