// Titles from ID3 tags: tags written by lame and byte by byte here, in every text encoding,
// read by file name and by the decoder when it opens a file; and other people's files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <glib.h>

#include "audio/decoder.h"
#include "audio/tags.h"
#include "support/harness.h"

namespace {

std::string be32(uint32_t n) {
    return {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
            static_cast<char>(n)};
}

std::string syncsafe(uint32_t n) {
    return {static_cast<char>((n >> 21) & 0x7f), static_cast<char>((n >> 14) & 0x7f),
            static_cast<char>((n >> 7) & 0x7f), static_cast<char>(n & 0x7f)};
}

enum Encoding : char { LATIN1 = 0, UTF16_BOM = 1, UTF16_BE = 2, UTF8 = 3 };

// UTF-8 text as the bytes of the given encoding.
std::string encode(const std::string &utf8, Encoding encoding) {
    if (encoding == LATIN1) {
        gchar *latin1 = g_convert(utf8.data(), -1, "ISO-8859-1", "UTF-8", nullptr, nullptr, nullptr);
        std::string out = latin1 ? latin1 : "";
        g_free(latin1);
        return out;
    }
    if (encoding == UTF8)
        return utf8;
    glong units = 0;
    gunichar2 *u16 = g_utf8_to_utf16(utf8.data(), -1, nullptr, &units, nullptr);
    std::string out = encoding == UTF16_BOM ? std::string("\xff\xfe") : std::string();
    for (glong k = 0; k < units; k++) {
        const char lo = static_cast<char>(u16[k] & 0xff);
        const char hi = static_cast<char>(u16[k] >> 8);
        out += encoding == UTF16_BOM ? std::string{lo, hi} : std::string{hi, lo};
    }
    g_free(u16);
    return out;
}

struct Frame {
    const char *id;
    std::string text; // UTF-8
    Encoding encoding;
};

std::string id3v2(int version, const std::vector<Frame> &frames) {
    std::string body;
    for (const Frame &f : frames) {
        const std::string data = std::string(1, f.encoding) + encode(f.text, f.encoding);
        const uint32_t n = static_cast<uint32_t>(data.size());
        body += std::string(f.id, 4) + (version == 4 ? syncsafe(n) : be32(n)) + std::string(2, '\0') + data;
    }
    return "ID3" + std::string{static_cast<char>(version), 0, 0} +
           syncsafe(static_cast<uint32_t>(body.size())) + body;
}

std::string field(const std::string &bytes, size_t width) {
    std::string f = bytes.substr(0, width);
    f.resize(width, '\0');
    return f;
}

// Latin-1 bytes as given.
std::string id3v1(const std::string &title, const std::string &artist, const std::string &album) {
    return "TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + "2026" +
           field("", 30) + std::string(1, '\xff');
}

// An untagged fixture with tag bytes before and after its audio.
std::string tagged_file(const TempDir &dir, const std::string &name, const std::string &front,
                        const std::string &back = "") {
    const std::string path = dir / name;
    EXPECT_TRUE(write_file(path, front + read_file(fixture_path("stereo48.mp3")) + back));
    return path;
}

tSongTags read_tags(const std::string &path) {
    tSongTags tags;
    tags_read_file(path.c_str(), &tags);
    return tags;
}

std::string display_title(const std::string &path) {
    tSongTags tags = read_tags(path);
    char out[256];
    tags_display_title(&tags, out, sizeof out);
    return out;
}

tHandleDecoder *new_decoder() {
    auto *d = static_cast<tHandleDecoder *>(calloc(1, sizeof(tHandleDecoder)));
    EXPECT_EQ(decoder_init(d, nullptr), 0);
    return d;
}

std::string lame_file(const TempDir &dir, const std::string &name, std::vector<std::string> options) {
    const std::string wav = dir / "tone.wav";
    if (!path_exists(wav)) {
        EXPECT_TRUE(run_command({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "1", "sine", "440"})
                        .exited_with(0));
    }
    std::vector<std::string> argv = {"lame", "--quiet", "-b", "128"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(wav);
    argv.push_back(dir / name);
    EXPECT_TRUE(run_command(argv).exited_with(0));
    return dir / name;
}

// Titles and artists that the upstream test suites expect of their files.
struct Known {
    const char *file;
    const char *title;
    const char *artist;
};
const Known KNOWN_TITLES[] = {
    {"tinytag/id3v1-latin1.mp3", "Play Dead", "Björk"},
    {"tinytag/id3v1_does_not_overwrite_id3v2.mp3", "Time What Is Time", "Blind Guardian"},
    {"taglib-sharp/sample_both.mp3", "MP3 title v2", "MP3 artist"},
    {"taglib-sharp/sample_v1_only.mp3", "MP3 title", "MP3 artist"},
    {"taglib-sharp/sample_v2_4_unsynch.mp3", "MP3 title unicode (ኢትዮጵያ)", "MP3 artist unicode (ኃይሌ ገብረሥላሴ)"},
    {"dhowden-tag/sample_utf8_v1.mp3", "サンプルのタイトル", "サンプルのアーティス"},
    {"mutagen/id3v22-test.mp3", "cosmic american", "Anais Mitchell"},
};

} // namespace

TEST(Tags, EveryTextEncodingOfVersionTwo) {
    TempDir dir("ravlox-tags");
    const std::string title = "Grüße aus Köln ☃";
    const std::string artist = "Søren Ærø";
    struct Case {
        const char *name;
        int version;
        Encoding encoding;
    };
    for (const Case &c : {Case{"v23_utf16.mp3", 3, UTF16_BOM}, Case{"v24_utf8.mp3", 4, UTF8},
                          Case{"v24_utf16be.mp3", 4, UTF16_BE}, Case{"v24_utf16.mp3", 4, UTF16_BOM}}) {
        const std::string path =
            tagged_file(dir, c.name, id3v2(c.version, {{"TIT2", title, c.encoding}, {"TPE1", artist, c.encoding},
                                                       {"TALB", "Album", c.encoding}}));
        tSongTags tags;
        EXPECT_EQ(tags_read_file(path.c_str(), &tags), 0) << c.name;
        EXPECT_STREQ(tags.title, title.c_str()) << c.name;
        EXPECT_STREQ(tags.artist, artist.c_str()) << c.name;
        EXPECT_STREQ(tags.album, "Album") << c.name;
    }
    // Latin-1 frames cannot hold the snowman.
    const std::string latin = tagged_file(dir, "v23_latin1.mp3",
                                          id3v2(3, {{"TIT2", "Café", LATIN1}, {"TPE1", "Zoë", LATIN1}}));
    EXPECT_EQ(display_title(latin), "Zoë - Café");
}

TEST(Tags, WrittenByLame) {
    TempDir dir("ravlox-tags-lame");
    const std::string utf16 = lame_file(dir, "utf16.mp3",
                                        {"--id3v2-only", "--id3v2-utf16", "--tt", "Wide Title", "--ta", "Wide Artist"});
    // The frames really are UTF-16: the title's letters are a byte apart.
    EXPECT_NE(read_file(utf16).find(std::string("W\0i\0d\0e", 7)), std::string::npos);
    EXPECT_EQ(display_title(utf16), "Wide Artist - Wide Title");
    const std::string v1 = lame_file(dir, "v1.mp3", {"--id3v1-only", "--tt", "Short", "--ta", "Old", "--tl", "Disc"});
    EXPECT_EQ(read_file(v1).find("ID3"), std::string::npos);
    EXPECT_EQ(display_title(v1), "Old - Short");
    EXPECT_STREQ(read_tags(v1).album, "Disc");
}

TEST(Tags, VersionOneAloneAndBehindVersionTwo) {
    TempDir dir("ravlox-tags-v1");
    // Latin-1 bytes, the padding spaces of old writers, no artist.
    const std::string v1 = tagged_file(dir, "v1.mp3", "", id3v1("Caf\xe9 del Mar   ", "", "Ann\xe9" "e"));
    EXPECT_EQ(display_title(v1), "Café del Mar");
    EXPECT_STREQ(read_tags(v1).album, "Année");
    // Both: version two wins where it has a text, version one fills in the rest.
    const std::string both = tagged_file(dir, "both.mp3", id3v2(3, {{"TIT2", "New Title", UTF16_BOM}}),
                                         id3v1("Old Title", "Old Artist", "Old Album"));
    EXPECT_EQ(display_title(both), "Old Artist - New Title");
    EXPECT_STREQ(read_tags(both).album, "Old Album");
    // A version-one title written in UTF-8 stays as it is.
    const std::string utf8 = tagged_file(dir, "v1utf8.mp3", "", id3v1("Ni\xc3\xb1o", "", ""));
    EXPECT_EQ(display_title(utf8), "Niño");
}

TEST(Tags, NothingWithoutATitle) {
    TempDir dir("ravlox-tags-none");
    tSongTags tags;
    EXPECT_EQ(tags_read_file(fixture_path("stereo44.mp3").c_str(), &tags), -1);
    EXPECT_STREQ(tags.title, "");
    const std::string artist_only = tagged_file(dir, "artist.mp3", id3v2(4, {{"TPE1", "Nobody", UTF8}}));
    EXPECT_EQ(display_title(artist_only), "");
    for (const char *name : {"empty.mp3", "random.mp3", "truncated.mp3", "short.mp3"})
        EXPECT_EQ(display_title(fixture_path(name)), "") << name;
    EXPECT_EQ(tags_read_file((dir / "missing.mp3").c_str(), &tags), -1);
    EXPECT_EQ(tags_read_file(dir.path().c_str(), &tags), -1);
    // A named pipe with no writer would block an open for reading: it is not opened at all.
    const std::string fifo = dir / "pipe.mp3";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(tags_read_file(fifo.c_str(), &tags), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(Tags, GenresAndComments) {
    // Genres as taggers write them: by name, by number, ID3v2.3's bracketed numbers with and
    // without a refinement, and numbers without a name.
    struct Genre {
        const char *given;
        const char *shown;
    };
    for (const Genre &g : {Genre{"Rock", "Rock"}, Genre{"17", "Rock"}, Genre{"(17)", "Rock"}, Genre{"(8)Bebop", "Bebop"},
                           Genre{"(0)", "Blues"}, Genre{"(147)", "SynthPop"}, Genre{"(148)", "(148)"},
                           Genre{"(RX)", "Remix"}, Genre{"(CR)", "Cover"}, Genre{"(17", "(17"}, Genre{"1999", "1999"},
                           Genre{"80s", "80s"}, Genre{"", ""}}) {
        char genre[TAGS_TEXT_SIZE];
        snprintf(genre, sizeof genre, "%s", g.given);
        tags_tidy_genre(genre, sizeof genre);
        EXPECT_STREQ(genre, g.shown) << g.given;
    }
    EXPECT_EQ(tags_genre_name(-1), nullptr);
    EXPECT_EQ(tags_genre_name(255), nullptr) << "ID3v1's number for none";

    TempDir dir("ravlox-tags-genre");
    // A comment with a description of its own (a player's loudness data) is not the comment.
    const std::string v2 = tagged_file(
        dir, "v2.mp3",
        id3v2(3, {{"TIT2", "T", UTF8}, {"TCON", "(17)", LATIN1}, {"COMM", std::string("eng") + "iTunNORM" + '\0' + " 000001F4", UTF8},
                  {"COMM", std::string("eng") + '\0' + "Kept comment", UTF8}}));
    tSongTags tags = read_tags(v2);
    EXPECT_STREQ(tags.genre, "Rock");
    EXPECT_STREQ(tags.comment, "Kept comment");
    // ID3v1.1: a genre number, and a comment two bytes shorter to make room for the track.
    const std::string v1 = tagged_file(dir, "v1.mp3", "",
                                       "TAG" + field("Title", 30) + field("", 30) + field("", 30) + "1999" +
                                           field("Twenty-eight letters long ok", 28) + '\0' + '\x05' + '\x08');
    tags = read_tags(v1);
    EXPECT_STREQ(tags.genre, "Jazz");
    EXPECT_STREQ(tags.comment, "Twenty-eight letters long ok");
    EXPECT_STREQ(tags.track, "5");
    // Written by lame into both versions, and into version one alone.
    tags = read_tags(fixture_path("info.mp3"));
    EXPECT_STREQ(tags.genre, "Jazz");
    EXPECT_STREQ(tags.comment, "Info comment");
    EXPECT_STREQ(tags.track, "3/9");
    EXPECT_STREQ(tags.year, "2018");
    tags = read_tags(lame_file(dir, "old.mp3", {"--id3v1-only", "--tt", "Old", "--tg", "Hard Rock", "--tc", "Old comment", "--tn", "4"}));
    EXPECT_STREQ(tags.genre, "Hard Rock");
    EXPECT_STREQ(tags.comment, "Old comment");
    EXPECT_STREQ(tags.track, "4");
}

TEST(Tags, LongTextsAreCutAtACharacter) {
    // 100 two-byte letters each: "Artist - Title" needs 404 bytes, the field holds 255.
    tSongTags tags{};
    std::string letters;
    for (int k = 0; k < 100; k++)
        letters += "é";
    snprintf(tags.title, sizeof tags.title, "%s", letters.c_str());
    snprintf(tags.artist, sizeof tags.artist, "x%s", letters.c_str());
    char out[256];
    tags_display_title(&tags, out, sizeof out);
    EXPECT_TRUE(g_utf8_validate(out, -1, nullptr));
    EXPECT_EQ(strlen(out), 254u); // "x", 100 letters, " - " and 25 letters
    char small[4];
    tags_to_utf8("\xe9\xe9", 2, small, sizeof small);
    EXPECT_STREQ(small, "é"); // the second does not fit whole
}

TEST(Tags, ATitleIsOneLine) {
    TempDir dir("ravlox-tags-lines");
    const std::string path =
        tagged_file(dir, "lines.mp3", id3v2(4, {{"TIT2", "  First\nSecond\tThird  ", UTF8}}));
    EXPECT_EQ(display_title(path), "First Second Third");
}

TEST(Tags, TheDecoderFillsTheTitleWhenItOpens) {
    TempDir dir("ravlox-tags-decoder");
    tHandleDecoder *d = new_decoder();
    ASSERT_EQ(decoder_open(d, fixture_path("tagged.mp3").c_str()), 0);
    EXPECT_STREQ(d->song.title, "Fixture Artist - Fixture Title");
    const std::string only_title = tagged_file(dir, "title.mp3", id3v2(4, {{"TIT2", "Alone", UTF8}}));
    ASSERT_EQ(decoder_open(d, only_title.c_str()), 0);
    EXPECT_STREQ(d->song.title, "Alone");
    // An untagged file leaves no title behind, so the windows show its path; the field
    // stays zero after its text, as every title is kept.
    ASSERT_EQ(decoder_open(d, fixture_path("stereo44.mp3").c_str()), 0);
    EXPECT_EQ(std::string(d->song.title, sizeof d->song.title), std::string(sizeof d->song.title, '\0'));
    // The tag does not change what is decoded: the same length and format.
    ASSERT_EQ(decoder_open(d, only_title.c_str()), 0);
    EXPECT_EQ(d->song.length, 2);
    EXPECT_EQ(d->song.rate, 48000);
}

TEST(Tags, OtherPeoplesFiles) {
    const std::string corpus = corpus_dir();
    if (corpus.empty() || !is_directory(corpus + "/mp3"))
        GTEST_SKIP() << "no corpus";
    tHandleDecoder *d = new_decoder();
    int titled = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(corpus + "/mp3")) {
        if (!entry.is_regular_file())
            continue;
        const std::string path = entry.path().string();
        tSongTags tags;
        tags_read_file(path.c_str(), &tags);
        for (const char *text : {tags.title, tags.artist, tags.album, tags.genre, tags.comment}) {
            EXPECT_TRUE(g_utf8_validate(text, -1, nullptr)) << path;
            EXPECT_LT(strlen(text), TAGS_TEXT_SIZE) << path;
        }
        titled += tags.title[0] != '\0';
        // The decoder reads the same title while it opens the file.
        char title[256];
        tags_display_title(&tags, title, sizeof title);
        if (decoder_open(d, path.c_str()) == 0) {
            EXPECT_STREQ(d->song.title, title) << path;
        }
    }
    EXPECT_GT(titled, 20);
    for (const Known &k : KNOWN_TITLES) {
        const std::string path = corpus + "/mp3/" + k.file;
        if (!path_exists(path))
            continue;
        tSongTags tags = read_tags(path);
        EXPECT_STREQ(tags.title, k.title) << k.file;
        EXPECT_STREQ(tags.artist, k.artist) << k.file;
    }
}
