// PLS and XSPF playlists as other players write them, read and written, chosen by extension.
#include <string>
#include <tuple>
#include <vector>

#include "playlist_test_util.h"

namespace {

using Entry = std::tuple<std::string, std::string, int32_t>;  // path, title, length
using Entries = std::vector<Entry>;

Entries entries_of(const tHandlePlaylist *p) {
    Entries v;
    for (int32_t i = 0; i < p->count; i++)
        v.emplace_back(p->entries[i].path, p->entries[i].title, p->entries[i].length);
    return v;
}

class PlsXspf : public testing::Test {
protected:
    void SetUp() override {
        p = make_store();
        q = make_store();
        ASSERT_TRUE(p && q);
    }
    Entries read(const std::string &name, const std::string &bytes) {
        EXPECT_TRUE(write_file(tmp / name, bytes));
        EXPECT_EQ(playlist_read_file(p.get(), (tmp / name).c_str()), 0);
        return entries_of(p.get());
    }
    TempDir tmp;
    tStorePtr p, q;
};

}  // namespace

TEST_F(PlsXspf, PlsEntriesTitlesAndLengthsInAnyOrder) {
    const std::string d = tmp.path();
    EXPECT_EQ(read("list.pls", "[playlist]\r\n"
                               "NumberOfEntries=4\r\n"
                               "Title2=Second\r\n"
                               "File1 = first.mp3\r\n"
                               "file2=http://radio.example/live\r\n"
                               "Length2=-1\r\n"
                               "; a comment\r\n"
                               "File3=file:///music/thi%72d.mp3\r\n"
                               "Length1=215\r\n"
                               "Title1=  Artist - First  \r\n"
                               "File4=Album\\04 Fourth.mp3\r\n"
                               "Title9=no such entry\r\n"
                               "Version=2\r\n"),
              (Entries{{d + "/first.mp3", "Artist - First", 215},
                       {"http://radio.example/live", "Second", 0},
                       {"/music/third.mp3", "", 0},
                       {d + "/Album\\04 Fourth.mp3", "", 0}}));
    // Latin-1 names and titles are converted.
    EXPECT_EQ(read("latin.PLS", "[playlist]\nFile1=/m/caf\xe9.mp3\nTitle1=Se\xf1or\n"),
              (Entries{{"/m/caf\xc3\xa9.mp3", "Se\xc3\xb1or", 0}}));
}

TEST_F(PlsXspf, XspfTracksWithLocationsTitlesAndDurations) {
    const std::string d = tmp.path();
    EXPECT_EQ(read("list.xspf", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">\n"
                                " <title>The list's own title</title>\n"
                                " <trackList>\n"
                                "  <track><location>file:///music/a%20b.mp3</location>"
                                "<title>Rock &amp; Roll</title><duration>215400</duration></track>\n"
                                "  <track><title>No location: left out</title></track>\n"
                                "  <track>\n   <location>sub/caf%C3%A9.mp3</location>\n"
                                "   <location>ignored-second.mp3</location>\n  </track>\n"
                                "  <track><location>http://radio.example/live?a=1&amp;b=2</location></track>\n"
                                " </trackList>\n"
                                "</playlist>\n"),
              (Entries{{"/music/a b.mp3", "Rock & Roll", 215},
                       {d + "/sub/caf\xc3\xa9.mp3", "", 0},
                       {"http://radio.example/live?a=1&b=2", "", 0}}));
    // Damaged markup keeps the tracks before the damage and says why.
    testing::internal::CaptureStderr();
    EXPECT_EQ(read("bad.xspf", "<playlist><trackList><track><location>/a.mp3</location></track>"
                               "<track><location>/b.mp3</loc"),
              (Entries{{"/a.mp3", "", 0}}));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not readable as XSPF"), std::string::npos);
}

TEST_F(PlsXspf, RoundTripsKeepEveryEntryTitleAndLength) {
    const std::string d = tmp.path();
    const Entries stored{
        {d + "/caf\xc3\xa9 \xe2\x99\xab.mp3", "\xc3\x89t\xc3\xa9 <live> & \"more\"", 61},
        {d + "/sub/a=b;c.mp3", "Equals", 0},
        {d + "/ends in a blank.mp3 ", "", 2},
        {"/abs/100%25 sure.mp3", "Percent", 4},
        {"https://example.com/s?x=1&y=2", "Stream", 0},
        // Saved as a URL for its blank: escaped, its letters would make a line too long to read.
        {d + "/" + [] { std::string n; for (int k = 0; k < 300; k++) n += "\xc3\xa9"; return n; }() + ".mp3 ", "Long", 9},
        // The longest path, and nearly every byte of its URL escaped.
        {[&d] {
             std::string n = d + "/\xc3\xa9";
             while (n.size() + 5 < 1018) n += "%# !(";
             n.resize(1018, 'x');
             return n + ".mp3 ";
         }(),
         "Longest", 10},
    };
    for (const auto &[path, title, length] : stored) {
        tSongInfo s{};
        snprintf(s.path, sizeof s.path, "%s", path.c_str());
        snprintf(s.title, sizeof s.title, "%s", title.c_str());
        s.length = length;
        playlist_add(p.get(), &s);
    }
    for (const char *name : {"list.pls", "list.xspf", "LIST.XSPF", "list.m3u8"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(playlist_write_file(p.get(), (tmp / name).c_str()), 0);
        ASSERT_EQ(playlist_read_file(q.get(), (tmp / name).c_str()), 0);
        Entries back = entries_of(q.get());
        // M3U gives an untitled entry its file name as its title.
        if (std::string(name) == "list.m3u8") std::get<1>(back[2]) = "";
        EXPECT_EQ(back, stored);
    }
    EXPECT_EQ(read_file(tmp / "list.pls").substr(0, 11), "[playlist]\n");
    const std::string pls = read_file(tmp / "list.pls");
    EXPECT_NE(pls.find("File2=sub/a=b;c.mp3\nTitle2=Equals\nLength2=-1\n"), std::string::npos) << pls;
    EXPECT_NE(pls.find("NumberOfEntries=7\n"), std::string::npos) << pls;
    EXPECT_NE(read_file(tmp / "list.xspf").find("<duration>61000</duration>"), std::string::npos);
}

TEST_F(PlsXspf, TheExtensionChoosesTheFormatEverywhere) {
    ASSERT_TRUE(write_file(tmp / "a.pls", "[playlist]\nFile1=/from/pls.mp3\n"));
    ASSERT_TRUE(write_file(tmp / "b.xspf", "<playlist><trackList><track><location>/from/xspf.mp3</location>"
                                           "</track></trackList></playlist>"));
    EXPECT_EQ(playlist_parse_option(p.get(), ("--playlist.m3u=" + (tmp / "a.pls")).c_str()), 0);
    EXPECT_EQ(paths_of(p.get()), (std::vector<std::string>{"/from/pls.mp3"}));
    EXPECT_EQ(playlist_add_file(p.get(), (tmp / "b.xspf").c_str()), 0);
    EXPECT_EQ(paths_of(p.get()), (std::vector<std::string>{"/from/pls.mp3", "/from/xspf.mp3"}));
    for (const char *name : {"x.m3u", "x.M3U8", "x.Pls", "x.XSPF"}) EXPECT_TRUE(playlist_is_list_file(name)) << name;
    for (const char *name : {"x.mp3", "pls", ".m3u.bak", "x.xspf~"}) EXPECT_FALSE(playlist_is_list_file(name)) << name;
    // Files that are not there, or not files, change nothing.
    EXPECT_EQ(playlist_read_file(p.get(), (tmp / "none.pls").c_str()), -1);
    EXPECT_EQ(playlist_read_file(p.get(), "/dev/zero.xspf"), -1);
    EXPECT_EQ(p->count, 2);
}
