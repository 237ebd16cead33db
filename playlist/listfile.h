// What the playlist formats (M3U, PLS, XSPF) share: opening a file that is safe to read, its text encoding,
// lines, turning a line or a location into an entry path, and writing paths so that they read
// back the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "playlist/playlist.h"

constexpr size_t LIST_PATH_SIZE = sizeof(tSongInfo::path);
// A line of the file, without its end: room for the longest line this program writes, a PLS
// "FileN=" with a file URL of the longest path, every byte of it escaped.
constexpr size_t LIST_LINE_SIZE = 4096;
static_assert(LIST_LINE_SIZE > sizeof "File16384=file://" + 3 * (LIST_PATH_SIZE - 1));

enum tListEncoding : int32_t {
    LIST_UTF8 = 0,   // bytes taken as they are (UTF-8, or a name's own bytes)
    LIST_LATIN1 = 1, // converted to UTF-8
    LIST_UTF16LE = 2,
    LIST_UTF16BE = 3,
};

struct tListReader {
    FILE *f;
    const char *path;
    char dir[LIST_PATH_SIZE];
    bool has_dir;
    int32_t encoding;
    long start;       // the offset after a byte-order mark
    int32_t line;     // number of the last line read, from 1
    int32_t left_out; // entries a full store could not take
    int32_t pending;  // a byte read ahead, -1 when none
    unsigned char utf8[4];
    int32_t utf8_len;
    int32_t utf8_pos;
};

// Opens a playlist for reading: only a regular file, and without waiting on a FIFO or a
// device. A byte-order mark is skipped and decides the encoding; without one, `utf8` (or
// bytes that are valid UTF-8 throughout) means UTF-8 and anything else Latin-1. False with
// nothing open (and the reason on standard error where it is not a plain failure to open).
bool list_open(tListReader *r, const char *path, bool utf8);
// The same check alone: the file open for reading, or nothing.
FILE *list_open_file(const char *path);
void list_close(tListReader *r);
// Back to the first line.
void list_rewind(tListReader *r);
// The next line ended by LF, CR or CR LF, UTF-16 already in UTF-8 and Latin-1 still in its own
// bytes: 1 for a line, 0 at the end, -1 for a line longer than 4095 bytes (read to its end;
// `line` holds its first 4095 bytes).
int32_t list_read_line(tListReader *r, char (&line)[LIST_LINE_SIZE]);
// "playlist [%s], line %d: longer than 4095 bytes, left out"
void list_refuse_long(const tListReader *r);
// The line in UTF-8: converted from Latin-1, otherwise as it is.
void list_to_utf8(const tListReader *r, const char *line, char *out, size_t size);
// Blanks and tabs around the text go.
char *list_trim(char *text);
// The length of the text from `text` to `end` without the blanks before `end`.
size_t list_trim_end(const char *text, const char *end);
// A title into an entry's field, on one line (control bytes are blanks), without blanks around
// it and cut at a character when it is too long; the rest zero.
void list_copy_title(char (&field)[sizeof(tSongInfo::title)], const char *title);
// The entry path that a line or a location names: `file://` URLs (host empty or
// "localhost"), other URLs as they are (streams), absolute paths, paths relative to the
// playlist's folder (with backslashes when the file with slashes exists). `raw` is the line's
// own bytes before a Latin-1 conversion, tried when the converted name does not exist and the
// raw one does. 0, or -1 (reported) for a line that names no usable path.
int32_t list_resolve(tListReader *r, const char *text, const char *raw, char (&out)[LIST_PATH_SIZE]);
// Appends an entry with a title (or none) and a length in seconds (0 when unknown); once the
// store is full the entry is counted as left out.
void list_append(tHandlePlaylist *p, tListReader *r, const char *path, const char *title, int32_t length);
// Says how many entries a full store left out.
void list_report(const tListReader *r);

// A URL with a scheme ("http://..."), other than a file URL.
bool list_is_stream(const char *path);
// Decodes %XX escapes; false for escapes that give a control byte or for a result too long.
bool list_percent_decode(const char *text, char *out, size_t size);
// The playlist's folder: its path up to the last "/"; false when it has none.
bool list_directory(const char *path, char (&dir)[LIST_PATH_SIZE]);
// True when the path holds a byte below 0x20; such a path is never written.
bool list_has_control(const char *text);
// Writes `text` with %XX escapes for everything but unreserved bytes and "/", and but bytes
// from 0x80 on unless `ascii_only`: escaped, a name of non-ASCII letters would grow past the
// readers' line length.
void list_percent_encode(FILE *f, const char *text, bool ascii_only);
// The text an entry is saved with: relative to the playlist's folder where it lies under it
// and the relative text reads back as the same path, as a file URL where the bare path would
// not read back (blanks at its ends), otherwise as stored. `hash_special` marks formats where
// a leading "#" is a comment.
struct tListPath {
    const char *text;
    bool as_url;
};
tListPath list_saved_path(const char *path, const char *dir, bool has_dir, bool hash_special);
// True when a path or title of the list is not UTF-8: such a list is saved with a UTF-8 mark,
// so that it reads back byte for byte and not as Latin-1.
bool list_needs_mark(const tHandlePlaylist *p);
// The text a title is saved with: control bytes become blanks.
void list_clean_title(const char *title, char *out, size_t size);
// "unable to save entry %d [%s]: it holds a control byte"
void list_refuse_entry(int32_t index, const char *path);

// Readers append to the store (`replace` empties it first, once the file has opened) and
// return 0, or -1 when the file cannot be read (the list unchanged). Writers go through the
// atomic save; mode 1 writes the entries under the playlist's folder relative to it.
// With `kept`, the list kept between runs: the marks, the current entry and the position go
// along as directives that other readers skip, and the last line gives the number of entries,
// so that a list cut short is told from a whole one. Reading then also says when the file is
// not such a list whole (`damaged`); `entries` is -1 without that last line.
struct tListKept {
    int32_t current;
    int32_t position;
    int32_t entries;
    bool damaged;
};
int32_t m3u_read(tHandlePlaylist *p, const char *path, bool replace, tListKept *kept = nullptr);
int32_t m3u_write(const tHandlePlaylist *p, const char *path, int32_t mode, const tListKept *kept = nullptr);
int32_t pls_read(tHandlePlaylist *p, const char *path, bool replace);
int32_t pls_write(const tHandlePlaylist *p, const char *path);
int32_t xspf_read(tHandlePlaylist *p, const char *path, bool replace);
int32_t xspf_write(const tHandlePlaylist *p, const char *path);
// Empties the list for a reader that has opened its file.
void list_replace(tHandlePlaylist *p);
