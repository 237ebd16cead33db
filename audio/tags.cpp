// Song texts from a file's tags (ID3v2 and ID3v1, or what FFmpeg reads), in UTF-8.
#include "audio/tags.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>
#include <mpg123.h>

#include "audio/ffmpeg_stream.h"

namespace {

constexpr size_t ID3V1_FIELD = 30;

// ID3's genre numbers.
constexpr const char *GENRES[] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz",
    "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno",
    "Industrial", "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno",
    "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental",
    "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "Alternative Rock", "Bass", "Soul",
    "Punk", "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic",
    "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream",
    "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk", "Jungle",
    "Native US", "Cabaret", "New Wave", "Psychedelic", "Rave", "Showtunes", "Trailer", "Lo-Fi",
    "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock",
    "Folk", "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival",
    "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock",
    "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour",
    "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus",
    "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad",
    "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "A Cappella",
    "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie",
    "BritPop", "Afro-Punk", "Polsk Punk", "Beat", "Christian Gangsta", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Thrash Metal", "Anime", "JPop", "SynthPop"
};
static_assert(sizeof GENRES / sizeof GENRES[0] == 148);

bool is_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// A UTF-8 text into `size` bytes with its terminator, cut before a character that does not fit.
void copy_utf8(const char *text, size_t length, char *out, size_t size) {
    if (size == 0)
        return;
    size_t n = length < size - 1 ? length : size - 1;
    if (n < length)
        while (n > 0 && is_continuation(static_cast<unsigned char>(text[n])))
            --n;
    memcpy(out, text, n);
    out[n] = '\0';
}

// A title is one line: line breaks and tabs in a tag become spaces, and the padding of
// fixed-width fields and stray blanks around the text are not part of the name.
void trim(char *text) {
    size_t n = strlen(text);
    for (size_t k = 0; k < n; ++k)
        if (static_cast<unsigned char>(text[k]) < 0x20)
            text[k] = ' ';
    while (n > 0 && text[n - 1] == ' ')
        text[--n] = '\0';
    size_t start = 0;
    while (text[start] == ' ')
        ++start;
    if (start > 0)
        memmove(text, text + start, n - start + 1);
}

// The library hands ID3v2 texts over already in UTF-8; a broken frame may still carry bytes
// that are not, and those are replaced rather than passed on.
bool take_v2(const mpg123_string *s, char *out, size_t size) {
    if (s == nullptr || s->p == nullptr || s->fill == 0)
        return false;
    const size_t length = strnlen(s->p, s->fill);
    if (g_utf8_validate(s->p, static_cast<gssize>(length), nullptr)) {
        copy_utf8(s->p, length, out, size);
    } else {
        gchar *valid = g_utf8_make_valid(s->p, static_cast<gssize>(length));
        copy_utf8(valid, strlen(valid), out, size);
        g_free(valid);
    }
    trim(out);
    return out[0] != '\0';
}

void take_v1(const char *field, size_t width, char *out, size_t size) {
    tags_to_utf8(field, strnlen(field, width), out, size);
    trim(out);
}

const mpg123_string *v2_text(const mpg123_id3v2 *v2, const char *id) {
    for (size_t k = 0; v2 != nullptr && k < v2->texts; ++k)
        if (memcmp(v2->text[k].id, id, 4) == 0)
            return &v2->text[k].text;
    return nullptr;
}

} // namespace

void tags_to_utf8(const char *bytes, size_t length, char *out, size_t size) {
    if (size == 0)
        return;
    if (g_utf8_validate(bytes, static_cast<gssize>(length), nullptr)) {
        copy_utf8(bytes, length, out, size);
        return;
    }
    size_t n = 0;
    for (size_t k = 0; k < length && bytes[k] != '\0'; ++k) {
        const unsigned char c = static_cast<unsigned char>(bytes[k]);
        if (c < 0x80) {
            if (n + 1 >= size)
                break;
            out[n++] = static_cast<char>(c);
        } else {
            if (n + 2 >= size)
                break;
            out[n++] = static_cast<char>(0xC0 | (c >> 6));
            out[n++] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out[n] = '\0';
}

int32_t tags_read(mpg123_handle *mh, tSongTags *tags) {
    memset(tags, 0, sizeof *tags);
    if (mh == nullptr || (mpg123_meta_check(mh) & MPG123_ID3) == 0)
        return -1;
    mpg123_id3v1 *v1 = nullptr;
    mpg123_id3v2 *v2 = nullptr;
    if (mpg123_id3(mh, &v1, &v2) != MPG123_OK)
        return -1;
    const bool has_v1 = v1 != nullptr && memcmp(v1->tag, "TAG", 3) == 0;
    struct tField {
        char *out;
        size_t size;
        const mpg123_string *v2_text;
        const char *v1_text;
        size_t v1_width;
    };
    // ID3v1.1 keeps the track in the comment's last byte, after a zero.
    char v1_track[4] = "";
    if (has_v1 && v1->comment[28] == 0 && v1->comment[29] != 0)
        snprintf(v1_track, sizeof v1_track, "%u", static_cast<unsigned char>(v1->comment[29]));
    char v1_genre[TAGS_TEXT_SIZE] = "";
    if (has_v1 && tags_genre_name(v1->genre) != nullptr)
        snprintf(v1_genre, sizeof v1_genre, "%s", tags_genre_name(v1->genre));
    const tField fields[] = {
        {tags->title, TAGS_TEXT_SIZE, v2 ? v2->title : nullptr, has_v1 ? v1->title : nullptr, ID3V1_FIELD},
        {tags->artist, TAGS_TEXT_SIZE, v2 ? v2->artist : nullptr, has_v1 ? v1->artist : nullptr, ID3V1_FIELD},
        {tags->album, TAGS_TEXT_SIZE, v2 ? v2->album : nullptr, has_v1 ? v1->album : nullptr, ID3V1_FIELD},
        {tags->track, sizeof tags->track, v2_text(v2, "TRCK"), v1_track[0] ? v1_track : nullptr, sizeof v1_track},
        {tags->year, sizeof tags->year, v2 ? v2->year : nullptr, has_v1 ? v1->year : nullptr, sizeof v1->year},
        {tags->genre, sizeof tags->genre, v2 ? v2->genre : nullptr, v1_genre[0] ? v1_genre : nullptr, sizeof v1_genre},
        // ID3v1.1's comment ends before the track.
        {tags->comment, sizeof tags->comment, v2 ? v2->comment : nullptr, has_v1 ? v1->comment : nullptr,
         v1_track[0] ? ID3V1_FIELD - 2 : ID3V1_FIELD},
    };
    for (const tField &f : fields)
        if (!take_v2(f.v2_text, f.out, f.size) && f.v1_text != nullptr)
            take_v1(f.v1_text, f.v1_width, f.out, f.size);
    tags_tidy_genre(tags->genre, sizeof tags->genre);
    return tags->title[0] != '\0' ? 0 : -1;
}

int32_t tags_read_file(const char *path, tSongTags *tags) {
    memset(tags, 0, sizeof *tags);
    if (path == nullptr)
        return -1;
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st {};
    int32_t result = -1;
    int err = MPG123_OK;
    mpg123_handle *mh = nullptr;
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular && ffmpeg_claims(fd)) {
        result = ffmpeg_read_tags(fd, tags);
        close(fd);
        return result;
    }
    if (regular)
        mh = mpg123_new(nullptr, &err);
    if (mh != nullptr) {
        mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
        if (mpg123_open_fd(mh, fd) == MPG123_OK) {
            // Finding the first frame reads the ID3v2 tag in front of it; the ID3v1 tag at
            // the end was read when the stream was opened.
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            mpg123_getformat(mh, &rate, &channels, &encoding);
            result = tags_read(mh, tags);
            mpg123_close(mh);
        }
        mpg123_delete(mh);
    }
    close(fd);
    return result;
}

void tags_tidy(tSongTags *tags) {
    for (char *text : {tags->title, tags->artist, tags->album, tags->track, tags->year, tags->genre, tags->comment})
        trim(text);
    tags_tidy_genre(tags->genre, sizeof tags->genre);
}

const char *tags_genre_name(int32_t number) {
    constexpr int32_t count = static_cast<int32_t>(sizeof GENRES / sizeof GENRES[0]);
    return number >= 0 && number < count ? GENRES[number] : nullptr;
}

void tags_tidy_genre(char *genre, size_t size) {
    // "(17)", "(17)Rock", "(RX)" and "(CR)" as ID3v2.3 writes them, "17" as some taggers do.
    const bool bracket = genre[0] == '(';
    size_t end = bracket ? 1 : 0;
    int32_t number = 0;
    while (genre[end] >= '0' && genre[end] <= '9' && number < 1000)
        number = number * 10 + (genre[end++] - '0');
    const bool digits = end > (bracket ? 1u : 0u);
    const char *name = nullptr;
    if (bracket && (strncmp(genre, "(RX)", 4) == 0 || strncmp(genre, "(CR)", 4) == 0)) {
        name = genre[1] == 'R' ? "Remix" : "Cover";
        end = 3;
    } else if (!digits || (bracket && genre[end] != ')') || (!bracket && genre[end] != '\0')) {
        return;
    } else {
        name = tags_genre_name(number);
    }
    const char *refinement = genre + end + (bracket ? 1 : 0);
    if (bracket && refinement[0] != '\0') {
        memmove(genre, refinement, strlen(refinement) + 1);
        trim(genre);
    } else if (name != nullptr) {
        snprintf(genre, size, "%s", name);
    }
}

void tags_display_title(const tSongTags *tags, char *out, size_t size) {
    if (size == 0)
        return;
    out[0] = '\0';
    if (tags->title[0] == '\0')
        return;
    char text[2 * TAGS_TEXT_SIZE + 4];
    if (tags->artist[0] != '\0')
        snprintf(text, sizeof text, "%s - %s", tags->artist, tags->title);
    else
        snprintf(text, sizeof text, "%s", tags->title);
    copy_utf8(text, strlen(text), out, size);
}

void tags_read_title(mpg123_handle *mh, char *out, size_t size) {
    tSongTags tags;
    tags_read(mh, &tags);
    tags_display_title(&tags, out, size);
}
