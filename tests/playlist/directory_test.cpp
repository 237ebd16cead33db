// Adding the MP3 files of a real directory.
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

TEST(PlaylistDirectory, TakesRegularFilesEndingInMp3AnyCaseInListingOrder) {
    TempDir t;
    auto p = make_store();
    for (const char *name : {"a.MP3", "b.mP3", "c.mp3", "d.mp4", "e.MP3.bak", ".mp3", "mp3", "x.mp", "y.MP3x",
                             "z.mp3 ", "k.Mp3", "\xff\xfe.mp3"}) {
        ASSERT_TRUE(write_file(t / name, "not really audio"));
    }
    ASSERT_EQ(mkdir((t / "f.mp3").c_str(), 0700), 0);
    ASSERT_EQ(symlink((t / "c.mp3").c_str(), (t / "g.mp3").c_str()), 0);
    ASSERT_EQ(mkfifo((t / "h.mp3").c_str(), 0600), 0);
    add_path(p.get(), "/before.mp3");
    ASSERT_EQ(playlist_add_directory(p.get(), t.path().c_str()), 0);
    Paths want{"/before.mp3"};
    for (const auto &s : listed(t.path(), {"a.MP3", "b.mP3", "c.mp3", ".mp3", "k.Mp3", "\xff\xfe.mp3"}))
        want.push_back(s);
    EXPECT_EQ(want.size(), 7u);
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
    EXPECT_EQ(paths_of(p.get()), listed(t.path(), std::set<std::string>(taken.begin(), taken.end())));
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
