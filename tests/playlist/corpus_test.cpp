// Every playlist of the real-world corpus, as other projects' test suites have them: byte-order
// marks, UTF-16, Latin-1, CR-only lines, URLs, extended headers, empty files.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include <glib.h>

#include "playlist_test_util.h"

namespace {

std::vector<std::string> corpus_playlists(const std::string &corpus) {
    std::vector<std::string> files;
    for (const auto &e : std::filesystem::recursive_directory_iterator(corpus + "/m3u"))
        if (e.is_regular_file()) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

TEST(CorpusPlaylists, EveryOneReadsAsEntriesWithTitlesAndSavesBack) {
    const std::string corpus = corpus_dir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus here";
    const std::vector<std::string> files = corpus_playlists(corpus);
    ASSERT_FALSE(files.empty());

    auto p = make_store();
    auto q = make_store();
    TempDir tmp;
    std::map<std::string, int32_t> entries, titled;
    for (const std::string &file : files) {
        SCOPED_TRACE(file);
        ASSERT_EQ(playlist_read_m3u(p.get(), file.c_str()), 0);
        ASSERT_LE(p->count, PLAYLIST_CAPACITY);
        const std::string dir = file.substr(0, file.rfind('/'));
        const std::string group = file.substr(corpus.size() + 5, file.find('/', corpus.size() + 5) - corpus.size() - 5);
        int32_t with_title = 0;
        for (int32_t i = 0; i < p->count; i++) {
            const std::string path = p->entries[i].path;
            ASSERT_FALSE(path.empty());
            ASSERT_LT(path.size(), sizeof p->entries[i].path);
            for (unsigned char c : path) ASSERT_GE(c, 0x20) << path;
            EXPECT_EQ(path.find("\xef\xbb\xbf"), std::string::npos) << "a byte-order mark in " << path;
            // Directives and comments are never entries: relative lines lie in the folder, and
            // none of them begins with "#".
            const bool relative = path.compare(0, dir.size() + 1, dir + "/") == 0;
            if (relative) {
                EXPECT_NE(path[dir.size() + 1], '#') << path;
            } else {
                EXPECT_TRUE(path[0] == '/' || playlist_is_stream(path.c_str())) << path;
            }
            EXPECT_TRUE(g_utf8_validate(path.c_str(), -1, nullptr)) << path;
            if (p->entries[i].title[0] != '\0') with_title++;
        }
        // A file with "#EXTINF:<length>,<title>" lines gives its entries those titles.
        const std::string text = read_file(file);
        static const std::regex extinf_title("#EXTINF:[^,\\r\\n]*,[ \\t]*[^ \\t\\r\\n]");
        if (std::regex_search(text, extinf_title)) {
            EXPECT_GT(with_title, 0);
        }
        // Saved and read back, every entry, title and length is the same (an entry without a
        // title comes back with its file name as one).
        const std::string copy = tmp / (file.substr(file.size() - 5) == ".m3u8" ? "copy.m3u8" : "copy.m3u");
        ASSERT_EQ(playlist_write_m3u(p.get(), copy.c_str(), 1), 0);
        ASSERT_EQ(playlist_read_m3u(q.get(), copy.c_str()), 0);
        ASSERT_EQ(q->count, p->count);
        for (int32_t i = 0; i < p->count; i++) {
            EXPECT_STREQ(q->entries[i].path, p->entries[i].path);
            EXPECT_STREQ(q->entries[i].title,
                         p->entries[i].title[0] ? p->entries[i].title : playlist_file_name(p->entries[i].path));
            EXPECT_EQ(q->entries[i].length, p->entries[i].length);
        }
        entries[group] += p->count;
        titled[group] += with_title;
        std::cout << p->count << "\t" << with_title << "\t" << file.substr(corpus.size() + 1) << "\n";

    }
    // Entries and titled entries per group, checked by reading the files by hand.
    const std::map<std::string, int32_t> want_entries = {
        {"beets", 8},    {"clementine", 239},     {"lizzy", 38},
        {"mopidy", 9},   {"navidrome", 26},       {"quodlibet", 5},
        {"totem-pl-parser", 6}, {"videojs-m3u8-parser", 76}};
    const std::map<std::string, int32_t> want_titled = {
        {"beets", 0},   {"clementine", 239},    {"lizzy", 22},
        {"mopidy", 5},  {"navidrome", 2},       {"quodlibet", 5},
        {"totem-pl-parser", 4}, {"videojs-m3u8-parser", 0}};
    for (const auto &[group, n] : entries)
        std::cout << "group " << group << ": " << n << " entries, " << titled[group] << " with titles\n";
    EXPECT_EQ(entries, want_entries);
    EXPECT_EQ(titled, want_titled);
}

// What the files of one kind say, entry by entry: encodings, marks, URLs.
TEST(CorpusPlaylists, EncodingsMarksAndUrlsGiveTheWrittenEntries) {
    const std::string corpus = corpus_dir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus here";
    auto p = make_store();
    auto read = [&](const std::string &name) {
        EXPECT_EQ(playlist_read_m3u(p.get(), (corpus + "/m3u/" + name).c_str()), 0) << name;
        std::vector<std::string> v;
        for (int32_t i = 0; i < p->count; i++)
            v.push_back(std::string(p->entries[i].title) + "|" + std::to_string(p->entries[i].length) + "|" +
                        p->entries[i].path);
        return v;
    };
    // The same list with a UTF-8 mark, as UTF-16 of both byte orders, and as Latin-1: the
    // same titles, lengths and (in UTF-8) names.
    const std::vector<std::string> utf8 = read("lizzy/playlist-utf8-bom.m3u");
    ASSERT_EQ(utf8.size(), 2u);
    EXPECT_EQ(read("lizzy/playlist-utf16le-bom.m3u"), utf8);
    EXPECT_EQ(read("lizzy/playlist-utf16be-bom.m3u"), utf8);
    EXPECT_EQ(read("lizzy/playlist-utf8.m3u8"), utf8);
    EXPECT_EQ(read("lizzy/playlist-iso-8859-1.m3u"), utf8);
    EXPECT_EQ(utf8[0].substr(0, utf8[0].find('|', utf8[0].find('|') + 1)), "Sample artist name - Sample track title|111");
    // Latin-1 without a header line: "\xe6\xf8\xe5" is three letters, given in UTF-8.
    EXPECT_EQ(read("mopidy/encoding-ext.m3u"),
              (std::vector<std::string>{"\xc3\xa6\xc3\xb8\xc3\xa5|0|" + corpus + "/m3u/mopidy/\xc3\xa6\xc3\xb8\xc3\xa5.mp3"}));
    // A file URL is decoded; a comment directive is not an entry.
    const std::vector<std::string> named = read("navidrome/pls-with-name.m3u");
    ASSERT_EQ(named.size(), 3u);
    EXPECT_EQ(named[2], "|0|/tests/fixtures/01 Invisible (RED) Edit Version.mp3");
    // Streams stay as they are.
    EXPECT_EQ(read("lizzy/test06.m3u")[2], "|0|http://ccmixter.org/a/song.mp3");
}
