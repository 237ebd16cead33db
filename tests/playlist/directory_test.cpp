// Adding the MP3 files of a real directory: by name in natural order through its sub-folders,
// or, one setting away, its own files in the order the system lists them.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "playlist_test_util.h"

using Paths = std::vector<std::string>;

namespace {

// The names the directory lists, in its own order, that the store should take.
Paths listed(const std::string &dir, const std::set<std::string> &wanted) {
    Paths v;
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) return v;
    while (const struct dirent *e = readdir(d)) {
        if (wanted.count(e->d_name) != 0) v.push_back(dir + "/" + e->d_name);
    }
    closedir(d);
    return v;
}

}  // namespace

TEST(PlaylistDirectory, FlatTakesFilesEndingInMp3AnyCaseInListingOrderAndFollowsLinks) {
    TempDir t;
    auto p = make_store();
    p->options = PLAYLIST_FOLDERS_FLAT;
    for (const char *name : {"a.MP3", "b.mP3", "c.mp3", "d.mp4", "e.MP3.bak", ".mp3", "mp3", "x.mp", "y.MP3x",
                             "z.mp3 ", "k.Mp3", "\xff\xfe.mp3"}) {
        ASSERT_TRUE(write_file(t / name, "not really audio"));
    }
    ASSERT_EQ(mkdir((t / "f.mp3").c_str(), 0700), 0);
    ASSERT_EQ(symlink((t / "c.mp3").c_str(), (t / "g.mp3").c_str()), 0);
    ASSERT_EQ(mkfifo((t / "h.mp3").c_str(), 0600), 0);
    // A link to a file is that file; a link to a folder or to nothing is not a song.
    ASSERT_EQ(symlink((t / "f.mp3").c_str(), (t / "dirlink.mp3").c_str()), 0);
    ASSERT_EQ(symlink((t / "absent").c_str(), (t / "dangling.mp3").c_str()), 0);
    add_path(p.get(), "/before.mp3");
    ASSERT_EQ(playlist_add_directory(p.get(), t.path().c_str()), 0);
    Paths want{"/before.mp3"};
    for (const auto &s : listed(t.path(), {"a.MP3", "b.mP3", "c.mp3", ".mp3", "k.Mp3", "\xff\xfe.mp3", "g.mp3"}))
        want.push_back(s);
    EXPECT_EQ(want.size(), 8u);
    EXPECT_EQ(paths_of(p.get()), want);
    for (int32_t i = 0; i < p->count; i++) EXPECT_EQ(p->selected[i], 0);
}

// The other formats by their extensions, in any case; not videos, not look-alikes.
TEST(PlaylistDirectory, TakesEveryPlayableTypeByExtension) {
    TempDir t;
    auto p = make_store();
    const std::vector<const char *> taken = {"a.flac", "b.OGG", "c.oga", "d.Opus", "e.m4a", "f.M4B", "g.wav",
                                             "h.AIFF", "i.aif", "j.aifc", "k.wv", "l.mp3"};
    for (const char *name : taken)
        ASSERT_TRUE(write_file(t / name, "x"));
    for (const char *name : {"m.mp4", "n.flac.part", "o.wvc", "p.og", "q.wavx", "flac", "r.txt"})
        ASSERT_TRUE(write_file(t / name, "x"));
    ASSERT_EQ(playlist_add_directory(p.get(), t.path().c_str()), 0);
    Paths want;
    for (const char *name : taken) want.push_back(t / name);
    EXPECT_EQ(paths_of(p.get()), want);
}

TEST(PlaylistDirectory, MissingDirectoryAddsNothing) {
    TempDir t;
    auto p = make_store();
    EXPECT_EQ(playlist_add_directory(p.get(), (t / "absent").c_str()), 0);
    EXPECT_EQ(playlist_add_directory(p.get(), ("/" + std::string(2000, 'q')).c_str()), 0);
    EXPECT_EQ(playlist_add_directory(p.get(), nullptr), 0);
    EXPECT_EQ(p->count, 0);
}

TEST(PlaylistDirectory, PathsLongerThanAnEntryAreCut) {
    TempDir t;
    auto p = make_store();
    // Nest directories until the path alone is just short of an entry's size.
    std::string dir = t.path();
    while (dir.size() < 1010) {
        dir += "/" + std::string(std::min<size_t>(200, 1010 - dir.size()), 'n');
        ASSERT_EQ(mkdir(dir.c_str(), 0700), 0) << dir.size();
    }
    ASSERT_TRUE(write_file(dir + "/a-rather-long-song-name.mp3", "x"));
    ASSERT_EQ(playlist_add_directory(p.get(), dir.c_str()), 0);
    ASSERT_EQ(p->count, 1);
    EXPECT_EQ(std::string(p->entries[0].path), (dir + "/a-rather-long-song-name.mp3").substr(0, 1023));
}

TEST(PlaylistDirectory, TwentyThousandFilesFillTheStoreAndStop) {
    ScratchDir t;
    auto p = make_store();
    for (int i = 0; i < 20000; i++) {
        FILE *f = fopen((t / ("s" + std::to_string(i) + ".mp3")).c_str(), "w");
        ASSERT_NE(f, nullptr);
        fclose(f);
    }
    add_path(p.get(), "/first.mp3");
    ASSERT_EQ(playlist_add_directory(p.get(), t.path().c_str()), 0);
    ASSERT_EQ(p->count, PLAYLIST_CAPACITY);
    std::set<std::string> seen;
    for (int32_t i = 1; i < p->count; i++) {
        std::string s = p->entries[i].path;
        ASSERT_EQ(s.rfind(t.path() + "/s", 0), 0u) << s;
        seen.insert(s);
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(PLAYLIST_CAPACITY - 1));
    // Already full: a second scan adds nothing.
    ASSERT_EQ(playlist_add_directory(p.get(), t.path().c_str()), 0);
    EXPECT_EQ(p->count, PLAYLIST_CAPACITY);
    EXPECT_STREQ(p->entries[0].path, "/first.mp3");
}

TEST(PlaylistDirectory, AlbumsInSubFoldersInNaturalOrderEveryFileOnce) {
    TempDir t;
    auto p = make_store();
    const std::string artist = t / "Artist";
    for (const char *dir : {"", "/Album 10", "/Album 2", "/Album 2/CD1", "/.hidden", "/empty"})
        ASSERT_EQ(mkdir((artist + dir).c_str(), 0700), 0) << dir;
    for (const char *file : {"/Album 10/1.mp3", "/Album 2/10 Ten.mp3", "/Album 2/2 Two.mp3", "/Album 2/CD1/x.mp3",
                             "/Album 2/cover.jpg", "/.hidden/no.mp3", "/intro.MP3", "/Zed.mp3", "/album 2b.mp3"})
        ASSERT_TRUE(write_file(artist + file, "x")) << file;
    // Links back up, to itself and across: no folder is read twice; a link to a file is a song.
    ASSERT_EQ(symlink("..", (artist + "/Album 2/up").c_str()), 0);
    ASSERT_EQ(symlink(".", (artist + "/Album 10/self").c_str()), 0);
    ASSERT_EQ(symlink(artist.c_str(), (t / "loop").c_str()), 0);
    ASSERT_EQ(symlink("../../Album 10", (artist + "/Album 2/CD1/across").c_str()), 0);
    ASSERT_EQ(symlink("../Zed.mp3", (artist + "/empty/linked.mp3").c_str()), 0);
    ASSERT_EQ(playlist_add_directory(p.get(), artist.c_str()), 0);
    // "2" before "10"; case does not order; sub-folders where their names fall. "Album 10" was
    // reached through the link from CD1 first, so its own name adds nothing again.
    EXPECT_EQ(paths_of(p.get()), (Paths{artist + "/Album 2/2 Two.mp3", artist + "/Album 2/10 Ten.mp3",
                                        artist + "/Album 2/CD1/across/1.mp3", artist + "/Album 2/CD1/x.mp3",
                                        artist + "/album 2b.mp3", artist + "/empty/linked.mp3",
                                        artist + "/intro.MP3", artist + "/Zed.mp3"}));
    // Through a link to the artist, the same files once each.
    auto q = make_store();
    ASSERT_EQ(playlist_add_directory(q.get(), t.path().c_str()), 0);
    EXPECT_EQ(q->count, 8);
}

TEST(PlaylistDirectory, DeepFoldersStopAtSixteenLevels) {
    TempDir t;
    auto p = make_store();
    std::string dir = t.path();
    for (int level = 1; level <= 20; level++) {
        dir += "/d" + std::to_string(level);
        ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
        ASSERT_TRUE(write_file(dir + "/song.mp3", "x"));
    }
    ASSERT_EQ(playlist_add_directory(p.get(), t.path().c_str()), 0);
    // "d2" comes before "song.mp3": the deepest song read is the first.
    ASSERT_EQ(p->count, 15);
    EXPECT_EQ(std::string(p->entries[0].path).size(), (t / "d1/d2/d3/d4/d5/d6/d7/d8/d9/d10/d11/d12/d13/d14/d15/song.mp3").size());
    EXPECT_EQ(std::string(p->entries[14].path), t / "d1/song.mp3");
}
