// Saving M3U files as other players read them (a header, a title and a length per entry) and
// as the first versions did (bare paths), and reading back what was saved.
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "playlist_test_util.h"

namespace {

using Entry = std::tuple<std::string, std::string, int32_t>;  // path, title, length

std::vector<Entry> entries_of(const tHandlePlaylist *p) {
    std::vector<Entry> v;
    for (int32_t i = 0; i < p->count; i++)
        v.emplace_back(p->entries[i].path, p->entries[i].title, p->entries[i].length);
    return v;
}

void add_entry(tHandlePlaylist *p, const std::string &path, const std::string &title, int32_t length) {
    tSongInfo s{};
    snprintf(s.path, sizeof s.path, "%s", path.c_str());
    snprintf(s.title, sizeof s.title, "%s", title.c_str());
    s.length = length;
    playlist_add(p, &s);
}

class M3uWrite : public testing::Test {
protected:
    void SetUp() override {
        p = make_store();
        q = make_store();
        ASSERT_TRUE(p && q);
    }
    // Saved under `name` and read back into q.
    std::string save(const std::string &name, int32_t mode = 1) {
        EXPECT_EQ(playlist_write_m3u(p.get(), (tmp / name).c_str(), mode), 0);
        EXPECT_EQ(playlist_read_m3u(q.get(), (tmp / name).c_str()), 0);
        return read_file(tmp / name);
    }
    TempDir tmp;
    tStorePtr p, q;
};

}  // namespace

TEST_F(M3uWrite, AHeaderAndATitleAndLengthForEveryEntry) {
    const std::string d = tmp.path();
    add_entry(p.get(), d + "/pop/x.mp3", "Artist - Song", 215);
    add_entry(p.get(), "/other/y.mp3", "", 0);
    add_entry(p.get(), "http://radio.example/live", "Radio", 0);
    EXPECT_EQ(save("list.m3u"),
              "#EXTM3U\n"
              "#EXTINF:215,Artist - Song\n"
              "pop/x.mp3\n"
              "#EXTINF:-1,y.mp3\n"
              "/other/y.mp3\n"
              "#EXTINF:-1,Radio\n"
              "http://radio.example/live\n");
    // Mode 0 keeps every path whole.
    EXPECT_NE(save("list.m3u", 0).find("\n" + d + "/pop/x.mp3\n"), std::string::npos);
}

TEST_F(M3uWrite, RoundTripsKeepEveryEntryTitleAndLength) {
    const std::string d = tmp.path();
    const std::vector<Entry> stored{
        {d + "/caf\xc3\xa9 \xe2\x99\xab.mp3", "\xc3\x89t\xc3\xa9, \"live\"", 61},
        {d + "/sub/#hash.mp3", "Hash", 1},
        {d + "/ends in a blank.mp3 ", "Blank", 2},
        {d + "/back\\slash.mp3", "Back", 3},
        {"/abs/100%25 sure.mp3", "Percent", 4},
        {d + "/http://not-a-url.mp3", "Odd", 5},
        {"https://example.com/s?x=1", "Stream", 6},
    };
    for (const auto &[path, title, length] : stored) add_entry(p.get(), path, title, length);
    for (const char *name : {"list.m3u", "list.m3u8", "LIST.M3U"}) {
        SCOPED_TRACE(name);
        save(name);
        EXPECT_EQ(entries_of(q.get()), stored);
    }
    // A path that is not UTF-8 reads back byte for byte: an ".m3u" gets a mark so that it is
    // not taken for Latin-1, an ".m3u8" is UTF-8 anyway.
    add_entry(p.get(), d + "/raw\xe9\xff.mp3", "Raw\xe9", 7);
    EXPECT_EQ(save("list.m3u").substr(0, 3), "\xef\xbb\xbf");
    EXPECT_EQ(entries_of(q.get()), entries_of(p.get()));
    EXPECT_EQ(save("list.m3u8").substr(0, 7), "#EXTM3U");
    EXPECT_EQ(entries_of(q.get()), entries_of(p.get()));
    // A file name too long for a title is cut at a character, so the file stays UTF-8.
    playlist_clear(p.get());
    std::string name = d + "/";
    while (name.size() < 900) name += "\xe2\x99\xab";
    add_entry(p.get(), name + ".mp3", "", 0);
    save("list.m3u");
    EXPECT_EQ(paths_of(q.get()), paths_of(p.get()));
}

TEST_F(M3uWrite, WhatWasReadInOtherFormsIsSavedAsUtf8AndReadsTheSame) {
    const std::string d = tmp.path();
    // CR LF, a mark, Latin-1 and a file URL in: LF, UTF-8 and plain paths out.
    ASSERT_TRUE(write_file(tmp / "in.m3u", "#EXTM3U\r\n#EXTINF:3,Se\xf1or\r\ncaf\xe9.mp3\r\nfile:///abs/a%20b.mp3\r\n"));
    ASSERT_EQ(playlist_read_m3u(p.get(), (tmp / "in.m3u").c_str()), 0);
    EXPECT_EQ(save("out.m3u"), "#EXTM3U\n#EXTINF:3,Se\xc3\xb1or\ncaf\xc3\xa9.mp3\n#EXTINF:-1,a b.mp3\n/abs/a b.mp3\n");
    EXPECT_EQ(entries_of(q.get()), (std::vector<Entry>{{d + "/caf\xc3\xa9.mp3", "Se\xc3\xb1or", 3},
                                                       {"/abs/a b.mp3", "a b.mp3", 0}}));
}

TEST_F(M3uWrite, APathWithAControlByteIsRefusedAndNamed) {
    add_path(p.get(), "/ok/a.mp3");
    add_path(p.get(), "/bad/line\nbreak.mp3");
    add_path(p.get(), "/ok/b.mp3");
    for (int32_t options : {0, static_cast<int32_t>(PLAYLIST_SAVE_PLAIN)}) {
        SCOPED_TRACE(options);
        p->options = options;
        testing::internal::CaptureStderr();
        const std::string text = save("list.m3u", 0);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said, "unable to save entry 2 [/bad/line\nbreak.mp3]: it holds a control byte\n");
        EXPECT_EQ(text.find("break"), std::string::npos) << text;
        EXPECT_EQ(paths_of(q.get()), (std::vector<std::string>{"/ok/a.mp3", "/ok/b.mp3"}));
    }
    // Titles are one line: control bytes in them are blanks.
    playlist_clear(p.get());
    p->options = 0;
    add_entry(p.get(), "/ok/c.mp3", "two\nlines", 0);
    EXPECT_NE(save("list.m3u").find("#EXTINF:-1,two lines\n/ok/c.mp3\n"), std::string::npos);
}

TEST_F(M3uWrite, SavePlainPathsWritesAsTheFirstVersionsDid) {
    // The first versions' example: under the playlist's folder relative, the rest whole, no
    // header, no titles, byte for byte.
    p->options = PLAYLIST_SAVE_PLAIN;
    const std::string d = tmp.path();
    add_entry(p.get(), d + "/pop/x.mp3", "A title", 100);
    add_entry(p.get(), d + "box/y.mp3", "", 0);
    add_entry(p.get(), "/other/z.mp3", "", 0);
    EXPECT_EQ(playlist_write_m3u(p.get(), (tmp / "list.m3u").c_str(), 1), 0);
    EXPECT_EQ(read_file(tmp / "list.m3u"), "pop/x.mp3\n" + d + "box/y.mp3\n/other/z.mp3\n");
    // The same list saved with the setting off and read back has the same paths.
    p->options = 0;
    save("ext.m3u");
    EXPECT_EQ(paths_of(q.get()), paths_of(p.get()));
    // A failed save says so, with the header writer too.
    if (access("/dev/full", W_OK) == 0) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(playlist_write_m3u(p.get(), "/dev/full", 1), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "unable to write [/dev/full]\n");
    }
}
