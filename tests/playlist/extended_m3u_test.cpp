// M3U files as other players write them: directives, titles and lengths, marks and encodings,
// URLs, Windows paths, and files that must not hold the player up.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "playlist_test_util.h"

using Paths = std::vector<std::string>;

namespace {

class ExtendedM3u : public testing::Test {
protected:
    void SetUp() override {
        p = make_store();
        ASSERT_TRUE(p);
    }
    Paths read(const std::string &bytes, const std::string &name = "list.m3u") {
        EXPECT_TRUE(write_file(tmp / name, bytes));
        EXPECT_EQ(playlist_read_m3u(p.get(), (tmp / name).c_str()), 0);
        return paths_of(p.get());
    }
    std::string title(int32_t i) const { return p->entries[i].title; }
    TempDir tmp;
    tStorePtr p;
};

}  // namespace

TEST_F(ExtendedM3u, DirectivesAndCommentsAreNotEntriesAndExtinfTitlesTheNextEntry) {
    const std::string d = tmp.path();
    EXPECT_EQ(read("#EXTM3U\n"
                   "#EXTINF:215,Artist - First\n"
                   "first.mp3\n"
                   "# a comment\n"
                   "second.mp3\n"
                   "#EXTINF:-1 tvg-name=\"a, b\" group=\"x\",Radio, live\n"
                   "#EXTGRP:news\n"
                   "http://radio.example/stream\n"
                   "#EXTINF:12.7\n"
                   "  /abs/third.mp3  \n"
                   "#EXTINF:99,dangling\n"),
              (Paths{d + "/first.mp3", d + "/second.mp3", "http://radio.example/stream", "/abs/third.mp3"}));
    EXPECT_EQ(title(0), "Artist - First");
    EXPECT_EQ(p->entries[0].length, 215);
    // A title belongs to the entry after it only.
    EXPECT_EQ(title(1), "");
    EXPECT_EQ(p->entries[1].length, 0);
    // Quoted attributes may hold commas; other directives between don't break the pair.
    EXPECT_EQ(title(2), "Radio, live");
    EXPECT_EQ(p->entries[2].length, 0);
    EXPECT_EQ(title(3), "");
    EXPECT_EQ(p->entries[3].length, 12);
    EXPECT_TRUE(playlist_is_stream(p->entries[2].path));
    EXPECT_FALSE(playlist_is_stream(p->entries[3].path));
}

TEST_F(ExtendedM3u, TheTitleShowsUntilTheTagsGiveOne) {
    read("#EXTINF:10,From the list\n/a.mp3\n#EXTINF:10,Also listed\n/b.mp3\n");
    // Tags without a title keep the list's; tags with one replace it.
    EXPECT_EQ(playlist_set_title(p.get(), 0, ""), 0);
    EXPECT_EQ(title(0), "From the list");
    EXPECT_EQ(p->entries[0].tags_read, 1);
    EXPECT_EQ(playlist_set_title(p.get(), 1, "From the tags"), 0);
    EXPECT_EQ(title(1), "From the tags");
}

TEST_F(ExtendedM3u, MarksEncodingsAndLineEnds) {
    const std::string d = tmp.path();
    const Paths cafe{d + "/caf\xc3\xa9.mp3", d + "/b.mp3"};
    // A UTF-8 mark is skipped; CR LF, CR alone and LF end lines alike.
    EXPECT_EQ(read("\xef\xbb\xbf" "caf\xc3\xa9.mp3\r\nb.mp3\r"), cafe);
    EXPECT_EQ(read("\xef\xbb\xbf#EXTM3U\rcaf\xc3\xa9.mp3\rb.mp3\n"), cafe);
    // An .m3u that is not UTF-8 is Latin-1; titles are converted too.
    EXPECT_EQ(read("#EXTINF:1,Se\xf1or\ncaf\xe9.mp3\nb.mp3\n"), cafe);
    EXPECT_EQ(title(0), "Se\xc3\xb1or");
    // UTF-16 with its mark, both byte orders.
    const std::string text = "#EXTINF:5,\xc3\xa9t\xc3\xa9\ncaf\xc3\xa9.mp3\nb.mp3\n";
    std::string le = "\xff\xfe", be = "\xfe\xff";
    for (unsigned char c : std::string("#EXTINF:5,\xe9t\xe9\ncaf\xe9.mp3\nb.mp3\n")) {
        le += static_cast<char>(c);
        le += '\0';
        be += '\0';
        be += static_cast<char>(c);
    }
    EXPECT_EQ(read(le), cafe);
    EXPECT_EQ(title(0), "\xc3\xa9t\xc3\xa9");
    EXPECT_EQ(read(be), cafe);
    // ".m3u8" is UTF-8 whatever its bytes: a stray byte stays what it is.
    EXPECT_EQ(read("caf\xe9.mp3\n", "list.m3u8"), (Paths{d + "/caf\xe9.mp3"}));
    // A Latin-1 list naming a file whose name is in those very bytes finds that file.
    ASSERT_TRUE(write_file(tmp / "caf\xe9.mp3", "x"));
    EXPECT_EQ(read("caf\xe9.mp3\nb.mp3\n"), (Paths{d + "/caf\xe9.mp3", d + "/b.mp3"}));
}

TEST_F(ExtendedM3u, FileUrlsStreamsAndWindowsPaths) {
    const std::string d = tmp.path();
    EXPECT_EQ(read("file:///music/a%20b%C3%A9.mp3\n"
                   "file://localhost/music/c.mp3\n"
                   "FILE:///music/d%2.mp3\n"
                   "https://example.com/e.mp3\n"),
              (Paths{"/music/a b\xc3\xa9.mp3", "/music/c.mp3", "/music/d%2.mp3", "https://example.com/e.mp3"}));
    // Another host, an escaped control byte and a URL without a path are refused, each said.
    testing::internal::CaptureStderr();
    EXPECT_EQ(read("file://otherhost/music/x.mp3\nfile:///music/x%0Ay.mp3\nfile://\n/ok.mp3\n"),
              (Paths{"/ok.mp3"}));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("line 1: not a local file"), std::string::npos) << said;
    EXPECT_NE(said.find("line 2:"), std::string::npos) << said;
    EXPECT_NE(said.find("line 3:"), std::string::npos) << said;
    // Backslashes are folder separators when the file with slashes is there.
    ASSERT_EQ(mkdir((tmp / "Album").c_str(), 0700), 0);
    ASSERT_TRUE(write_file(tmp / "Album/01 Song.mp3", "x"));
    EXPECT_EQ(read("Album\\01 Song.mp3\nAlbum\\02 Gone.mp3\n"),
              (Paths{d + "/Album/01 Song.mp3", d + "/Album\\02 Gone.mp3"}));
}

TEST_F(ExtendedM3u, BoundsLongLinesAndAFullStore) {
    const std::string d = tmp.path();
    // A path longer than an entry holds is one refused entry, not two; its title goes with it.
    // So is a line longer than any this program writes.
    testing::internal::CaptureStderr();
    const std::string longest = "/" + std::string(1022, 'a');
    EXPECT_EQ(read("#EXTINF:1,long\n/" + std::string(2000, 'x') + "\r\n#" + std::string(5000, 'c') + "\n" +
                   longest + "\n#EXTINF:2,longer\n" + std::string(5000, 'z') + "\nnext.mp3\n"),
              (Paths{longest, d + "/next.mp3"}));
    EXPECT_EQ(title(0), "");
    EXPECT_EQ(title(1), "") << "the title of a refused line goes with it";
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("line 2: the path is longer than 1023 bytes, left out"), std::string::npos) << said;
    EXPECT_NE(said.find("line 6: longer than 4095 bytes, left out"), std::string::npos) << said;
    EXPECT_EQ(said.find("line 3"), std::string::npos) << "a long comment is no loss: " << said;

    // A full store takes no more and says how many it left out.
    std::string text = "#EXTM3U\n";
    for (int i = 0; i < PLAYLIST_CAPACITY + 5; i++) text += "#EXTINF:1,t\n/m/" + std::to_string(i) + ".mp3\n";
    testing::internal::CaptureStderr();
    const Paths got = read(text);
    said = testing::internal::GetCapturedStderr();
    ASSERT_EQ(got.size(), static_cast<size_t>(PLAYLIST_CAPACITY));
    EXPECT_EQ(got.back(), "/m/" + std::to_string(PLAYLIST_CAPACITY - 1) + ".mp3");
    EXPECT_NE(said.find("the list is full, 5 entries left out"), std::string::npos) << said;
}

TEST_F(ExtendedM3u, FifosAndDevicesAreRefusedWithoutWaiting) {
    add_path(p.get(), "/keep.mp3");
    const std::string fifo = tmp / "fifo.m3u";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // No writer ever comes: a blocking open would wait here for ever (the test's time limit).
    for (const std::string &path : {fifo, std::string("/dev/zero"), std::string("/dev/null"), tmp.path()}) {
        SCOPED_TRACE(path);
        for (int32_t plain : {0, static_cast<int32_t>(PLAYLIST_READ_PLAIN)}) {
            p->options = plain;
            EXPECT_EQ(playlist_read_m3u(p.get(), path.c_str()), -1);
            EXPECT_EQ(paths_of(p.get()), (Paths{"/keep.mp3"}));
        }
    }
}
