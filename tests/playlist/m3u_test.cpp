// M3U files read and written as the first versions did (every line a path, one path a line,
// one setting away), on real files, including hostile ones.
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "playlist_test_util.h"

using Paths = std::vector<std::string>;

namespace {

// Runs a block with the working directory set to dir.
class InDirectory {
public:
    explicit InDirectory(const std::string &dir) {
        if (getcwd(old_, sizeof old_) == nullptr) old_[0] = '\0';
        ok_ = chdir(dir.c_str()) == 0;
    }
    ~InDirectory() {
        if (old_[0] != '\0' && chdir(old_) != 0) perror("chdir");
    }
    bool ok() const { return ok_; }

private:
    char old_[4096];
    bool ok_;
};

class M3u : public testing::Test {
protected:
    void SetUp() override {
        p = make_store();
        ASSERT_TRUE(p);
        p->options = PLAYLIST_READ_PLAIN | PLAYLIST_SAVE_PLAIN;
        ASSERT_FALSE(tmp.path().empty());
    }
    Paths read(const std::string &bytes, const std::string &name = "list.m3u") {
        EXPECT_TRUE(write_file(tmp / name, bytes));
        EXPECT_EQ(playlist_read_m3u(p.get(), (tmp / name).c_str()), 0);
        return paths_of(p.get());
    }
    TempDir tmp;
    tStorePtr p;
};

}  // namespace

TEST_F(M3u, ReadingResolvesLinesAgainstThePlaylistsDirectory) {
    const std::string d = tmp.path();
    EXPECT_EQ(read("/x/a.mp3\n\nb.mp3\n#EXTM3U\n"), (Paths{"/x/a.mp3", d + "/b.mp3", d + "/#EXTM3U"}));
    EXPECT_EQ(p->current, 0);
    // Every byte below 0x20 ends a line; CR LF and LF give the same entries; a last
    // line without newline counts.
    EXPECT_EQ(read("a.mp3\r\nb.mp3\n\r\n\tc.mp3\nd.mp3\tcomment\ne.mp3"),
              (Paths{d + "/a.mp3", d + "/b.mp3", d + "/d.mp3", d + "/e.mp3"}));
    // UTF-8 and bytes that are not UTF-8 at all are kept as they are.
    EXPECT_EQ(read("/m/caf\xc3\xa9 \xe2\x99\xab.mp3\n/m/\xff\xfe\x80.mp3\n"),
              (Paths{"/m/caf\xc3\xa9 \xe2\x99\xab.mp3", "/m/\xff\xfe\x80.mp3"}));
}

TEST_F(M3u, ReadingReplacesTheListAndResetsCurrent) {
    add_path(p.get(), "/old/1.mp3");
    add_path(p.get(), "/old/2.mp3");
    playlist_set_current(p.get(), 1);
    EXPECT_EQ(read("/new.mp3\n"), (Paths{"/new.mp3"}));
    EXPECT_EQ(p->current, 0);
    EXPECT_EQ(p->selected[0], 0);
}

TEST_F(M3u, AddingAppendsAndKeepsCurrentAndMarks) {
    add_path(p.get(), "/old/1.mp3");
    add_path(p.get(), "/old/2.mp3");
    playlist_set_current(p.get(), 1);
    playlist_toggle_selected(p.get(), 0);
    ASSERT_TRUE(write_file(tmp / "more.m3u", "/new.mp3\nrel.mp3\n"));
    EXPECT_EQ(playlist_add_m3u(p.get(), (tmp / "more.m3u").c_str()), 0);
    EXPECT_EQ(paths_of(p.get()), (Paths{"/old/1.mp3", "/old/2.mp3", "/new.mp3", tmp / "rel.mp3"}));
    EXPECT_EQ(p->current, 1);
    EXPECT_EQ(p->selected[0], 1);
    EXPECT_EQ(p->selected[2], 0);
    // A file that does not open adds nothing and empties nothing.
    EXPECT_EQ(playlist_add_m3u(p.get(), (tmp / "none.m3u").c_str()), -1);
    EXPECT_EQ(playlist_add_m3u(p.get(), tmp.path().c_str()), -1);
    EXPECT_EQ(p->count, 4);
    // At the capacity later lines are dropped.
    while (p->count < PLAYLIST_CAPACITY)
        add_path(p.get(), "/fill.mp3");
    EXPECT_EQ(playlist_add_m3u(p.get(), (tmp / "more.m3u").c_str()), 0);
    EXPECT_EQ(p->count, PLAYLIST_CAPACITY);
}

TEST_F(M3u, PlaylistWithoutDirectoryPartTakesRelativeLinesUnchanged) {
    ASSERT_TRUE(write_file(tmp / "list.m3u", "b.mp3\n/abs.mp3\n"));
    InDirectory in(tmp.path());
    ASSERT_TRUE(in.ok());
    ASSERT_EQ(playlist_read_m3u(p.get(), "list.m3u"), 0);
    EXPECT_EQ(paths_of(p.get()), (Paths{"b.mp3", "/abs.mp3"}));
    // Writing to such a playlist leaves every path as stored, in both modes.
    ASSERT_EQ(playlist_write_m3u(p.get(), "out0.m3u", 0), 0);
    ASSERT_EQ(playlist_write_m3u(p.get(), "out1.m3u", 1), 0);
    EXPECT_EQ(read_file(tmp / "out0.m3u"), "b.mp3\n/abs.mp3\n");
    EXPECT_EQ(read_file(tmp / "out1.m3u"), "b.mp3\n/abs.mp3\n");
}

TEST_F(M3u, PlaylistInTheRootDirectory) {
    std::string name = "/ravlox-pl-" + std::to_string(getpid()) + ".m3u";
    FILE *f = fopen(name.c_str(), "w");
    if (f == nullptr) GTEST_SKIP() << "the root directory is not writable here";
    fputs("b.mp3\n", f);
    fclose(f);
    EXPECT_EQ(playlist_read_m3u(p.get(), name.c_str()), 0);
    EXPECT_EQ(paths_of(p.get()), (Paths{"/b.mp3"}));
    // Mode 1 writes entries under "/" relative to it, and they read back the same.
    playlist_clear(p.get());
    add_path(p.get(), "/music/x.mp3");
    EXPECT_EQ(playlist_write_m3u(p.get(), name.c_str(), 1), 0);
    EXPECT_EQ(read_file(name), "music/x.mp3\n");
    EXPECT_EQ(playlist_read_m3u(p.get(), name.c_str()), 0);
    EXPECT_EQ(paths_of(p.get()), (Paths{"/music/x.mp3"}));
    remove(name.c_str());
}

TEST_F(M3u, ModeOneWritesEntriesUnderThePlaylistRelativeAndRoundTrips) {
    const std::string d = tmp.path();
    const Paths stored{d + "/pop/x.mp3", d + "box/y.mp3", "/other/z.mp3", d + "//double.mp3", d + "/",
                       d + "/\xc3\xa9t\xc3\xa9.mp3"};
    for (const auto &s : stored) add_path(p.get(), s);
    add_path(p.get(), "rel.mp3");
    const std::string list = tmp / "list.m3u";
    ASSERT_EQ(playlist_write_m3u(p.get(), list.c_str(), 1), 0);
    EXPECT_EQ(read_file(list), "pop/x.mp3\n" + d + "box/y.mp3\n/other/z.mp3\n" + d + "//double.mp3\n" + d +
                                   "/\n\xc3\xa9t\xc3\xa9.mp3\nrel.mp3\n");
    ASSERT_EQ(playlist_read_m3u(p.get(), list.c_str()), 0);
    Paths back = paths_of(p.get());
    ASSERT_EQ(back.size(), stored.size() + 1);
    back.pop_back();  // the relative entry now lies in the playlist's directory
    EXPECT_EQ(back, stored);
    EXPECT_EQ(p->entries[stored.size()].path, d + "/rel.mp3");
}

TEST_F(M3u, ModeZeroWritesRelativeEntriesWithTheDirectory) {
    const std::string d = tmp.path();
    add_path(p.get(), "rel/a.mp3");
    add_path(p.get(), d + "/b.mp3");
    const std::string list = tmp / "list.m3u";
    ASSERT_EQ(playlist_write_m3u(p.get(), list.c_str(), 0), 0);
    EXPECT_EQ(read_file(list), d + "/rel/a.mp3\n" + d + "/b.mp3\n");
    // Marks and current are not part of the file; an empty list writes an empty file.
    playlist_clear(p.get());
    ASSERT_EQ(playlist_write_m3u(p.get(), list.c_str(), 1), 0);
    EXPECT_EQ(read_file(list), "");
}

TEST_F(M3u, FilesThatCannotBeOpenedOrWrittenReportFailure) {
    add_path(p.get(), "/keep.mp3");
    EXPECT_EQ(playlist_read_m3u(p.get(), (tmp / "missing.m3u").c_str()), -1);
    EXPECT_EQ(playlist_read_m3u(p.get(), tmp.path().c_str()), -1);  // a directory
    EXPECT_EQ(paths_of(p.get()), (Paths{"/keep.mp3"}));
    EXPECT_EQ(playlist_write_m3u(p.get(), (tmp / "no/such/dir.m3u").c_str(), 0), -1);
    struct stat st;
    EXPECT_NE(stat((tmp / "no").c_str(), &st), 0);
    // A device that refuses every write must not pass for a saved playlist.
    if (access("/dev/full", W_OK) == 0) {
        for (int i = 0; i < 200; i++) add_path(p.get(), "/a/long/enough/path/to/fill/buffers.mp3");
        EXPECT_EQ(playlist_write_m3u(p.get(), "/dev/full", 0), -1);
    }
}

TEST_F(M3u, CommandLineOption) {
    ASSERT_TRUE(write_file(tmp / "opt.m3u", "/o.mp3\n"));
    EXPECT_EQ(playlist_parse_option(p.get(), ("--playlist.m3u=" + (tmp / "opt.m3u")).c_str()), 0);
    EXPECT_EQ(paths_of(p.get()), (Paths{"/o.mp3"}));
    EXPECT_EQ(playlist_parse_option(p.get(), ("--playlist.m3u=" + (tmp / "none.m3u")).c_str()), -1);
    EXPECT_EQ(playlist_parse_option(p.get(), "--playlist.m3u="), -2);
    EXPECT_EQ(playlist_parse_option(p.get(), "--playlist.other=x"), -2);
    EXPECT_EQ(playlist_parse_option(p.get(), nullptr), -2);
    EXPECT_EQ(paths_of(p.get()), (Paths{"/o.mp3"}));
}

TEST_F(M3u, LongLinesAreReadIn1023BytePieces) {
    const std::string d = tmp.path();
    // 2000 bytes: an absolute piece of 1023 and a relative rest of 977.
    std::string line = "/" + std::string(1999, 'a');
    Paths got = read(line + "\n");
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], line.substr(0, 1023));
    EXPECT_EQ(got[1], (d + "/" + std::string(977, 'a')).substr(0, 1023));
    // Exactly 1023 bytes and its newline: one entry, the newline alone is an empty piece.
    std::string exact = "/" + std::string(1022, 'b');
    EXPECT_EQ(read(exact + "\n/next.mp3\n"), (Paths{exact, "/next.mp3"}));
    // A relative line whose joined path exceeds the entry is cut at 1023 bytes.
    got = read(std::string(1000, 'c') + "\n");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (d + "/" + std::string(1000, 'c')).substr(0, 1023));
}

TEST_F(M3u, NulBytesAndJunkStayWithinLimits) {
    // A NUL ends its line like any control byte; the rest of that line is dropped.
    EXPECT_EQ(read(std::string("/ab\0cd\n/ef\n", 11)), (Paths{"/ab", "/ef"}));
    std::mt19937 gen(7);
    std::string junk(1 << 20, '\0');
    for (auto &c : junk) c = static_cast<char>(gen());
    Paths got = read(junk);
    EXPECT_GT(got.size(), 0u);
    for (const auto &s : got) {
        ASSERT_FALSE(s.empty());
        ASSERT_LE(s.size(), 1023u);
        for (unsigned char c : s) ASSERT_GE(c, 0x20);
    }
}

TEST_F(M3u, HugeFileFillsTheStoreAndIgnoresTheRest) {
    std::string text;
    for (int i = 0; i < 100000; i++) text += "/music/track" + std::to_string(i) + ".mp3\n";
    Paths got = read(text);
    ASSERT_EQ(got.size(), static_cast<size_t>(PLAYLIST_CAPACITY));
    EXPECT_EQ(got.front(), "/music/track0.mp3");
    EXPECT_EQ(got.back(), "/music/track" + std::to_string(PLAYLIST_CAPACITY - 1) + ".mp3");
}

TEST_F(M3u, LongestPathsRoundTripInBothModes) {
    const std::string d = tmp.path();
    std::string abs = "/" + std::string(1022, 'z');
    std::string under = (d + "/" + std::string(1100, 'y')).substr(0, 1023);
    add_path(p.get(), abs);
    add_path(p.get(), under);
    add_path(p.get(), "/" + std::string(1999, 'w'));  // cut to 1023 on adding
    Paths stored = paths_of(p.get());
    EXPECT_EQ(stored[2].size(), 1023u);
    for (int mode : {0, 1}) {
        const std::string list = tmp / "long.m3u";
        ASSERT_EQ(playlist_write_m3u(p.get(), list.c_str(), mode), 0);
        auto q = make_store();
        q->options = p->options;
        ASSERT_EQ(playlist_read_m3u(q.get(), list.c_str()), 0);
        EXPECT_EQ(paths_of(q.get()), stored) << "mode " << mode;
    }
}
