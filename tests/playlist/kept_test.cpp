// The list kept between runs: what comes back, what counts as damaged, what other readers see,
// and which changes of the store are reported for a save.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "playlist_test_util.h"

namespace {

class Kept : public testing::Test {
protected:
    void SetUp() override {
        p = make_store();
        q = make_store();
        ASSERT_TRUE(p && q);
    }
    void add(const std::string &path, const std::string &title = "", int32_t length = 0) {
        tSongInfo s{};
        snprintf(s.path, sizeof s.path, "%s", path.c_str());
        snprintf(s.title, sizeof s.title, "%s", title.c_str());
        s.length = length;
        playlist_add(p.get(), &s);
    }
    TempDir tmp;
    std::string file = tmp / "playlist.m3u8";
    tStorePtr p, q;
};

} // namespace

TEST_F(Kept, EntriesTitlesLengthsMarksCurrentAndPositionComeBack) {
    add("/music/one.mp3", "One Title", 61);
    add("/music/two.mp3");  // no title: it shows its path again, not a file name
    add("/music/three \xE9\xFF.mp3", "Caf\xC3\xA9 \xE2\x80\x94 three", 0);  // bytes as they are
    add("/music/#four.mp3 ", "trailing blank");
    add("http://radio.example/stream", "A stream");
    playlist_toggle_selected(p.get(), 1);
    playlist_toggle_selected(p.get(), 4);
    playlist_set_current(p.get(), 1);
    ASSERT_EQ(playlist_write_kept(p.get(), file.c_str(), 70), 0);

    add_path(q.get(), "/old/entry.mp3");
    int32_t position = -1;
    ASSERT_EQ(playlist_read_kept(q.get(), file.c_str(), &position), 0) << read_file(file);
    ASSERT_EQ(paths_of(q.get()), paths_of(p.get())) << read_file(file);
    for (int32_t i = 0; i < p->count; i++) {
        EXPECT_STREQ(q->entries[i].title, p->entries[i].title) << i;
        EXPECT_EQ(q->entries[i].length, p->entries[i].length) << i;
        EXPECT_EQ(q->selected[i], p->selected[i]) << i;
        EXPECT_EQ(q->entries[i].tags_read, 0) << "tags are read again";
    }
    EXPECT_EQ(q->current, 1);
    EXPECT_EQ(position, 70);

    // An empty list is a list too.
    playlist_clear(p.get());
    ASSERT_EQ(playlist_write_kept(p.get(), file.c_str(), 0), 0);
    EXPECT_EQ(playlist_read_kept(q.get(), file.c_str(), &position), 0) << read_file(file);
    EXPECT_EQ(q->count, 0);
    EXPECT_EQ(position, 0);
}

TEST_F(Kept, OtherReadersSeeAPlainPlaylist) {
    add("/music/one.mp3", "One Title", 61);
    add("/music/two.mp3");
    playlist_toggle_selected(p.get(), 0);
    playlist_set_current(p.get(), 1);
    ASSERT_EQ(playlist_write_kept(p.get(), file.c_str(), 12), 0);
    ASSERT_EQ(playlist_read_file(q.get(), file.c_str()), 0);
    EXPECT_EQ(paths_of(q.get()), (std::vector<std::string>{"/music/one.mp3", "/music/two.mp3"}));
    EXPECT_STREQ(q->entries[0].title, "One Title");
    EXPECT_EQ(q->entries[0].length, 61);
    EXPECT_EQ(q->selected[0], 0) << "only the kept list brings marks back";
    EXPECT_EQ(q->current, 0);
}

// Entries that mean something only where they were made, or cannot be written at all.
TEST_F(Kept, RelativeEntriesBecomeAbsoluteAndUnwritableOnesMoveTheCurrentEntry) {
    char cwd[1024];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    add("/music/one.mp3");
    add("/music/bad\nname.mp3");
    add("relative.mp3");
    playlist_set_current(p.get(), 2);
    testing::internal::CaptureStderr();
    ASSERT_EQ(playlist_write_kept(p.get(), file.c_str(), 30), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "unable to save entry 2 [/music/bad\nname.mp3]: it holds a control byte\n");
    int32_t position = 0;
    ASSERT_EQ(playlist_read_kept(q.get(), file.c_str(), &position), 0) << read_file(file);
    EXPECT_EQ(paths_of(q.get()), (std::vector<std::string>{"/music/one.mp3", std::string(cwd) + "/relative.mp3"}));
    EXPECT_EQ(q->current, 1) << "the same entry, one place up";
    EXPECT_EQ(position, 30);

    // The current entry itself left out: the next one, from its start.
    playlist_set_current(p.get(), 1);
    testing::internal::CaptureStderr();
    ASSERT_EQ(playlist_write_kept(p.get(), file.c_str(), 30), 0);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(playlist_read_kept(q.get(), file.c_str(), &position), 0);
    EXPECT_EQ(q->current, 1);
    EXPECT_EQ(position, 0);
}

TEST_F(Kept, ACutOrAlteredListIsDamagedAndLeavesTheListEmpty) {
    for (int i = 0; i < 4; i++) add("/music/" + std::to_string(i) + ".mp3", "Title " + std::to_string(i), 60 + i);
    playlist_toggle_selected(p.get(), 2);
    playlist_set_current(p.get(), 3);
    ASSERT_EQ(playlist_write_kept(p.get(), file.c_str(), 5), 0);
    const std::string whole = read_file(file);

    std::vector<std::pair<std::string, std::string>> damaged;
    // Cut at every line end but the last: a kill without the atomic save, a full disk.
    for (size_t at = whole.find('\n'); at + 1 < whole.size(); at = whole.find('\n', at + 1))
        damaged.emplace_back("cut after byte " + std::to_string(at + 1), whole.substr(0, at + 1));
    damaged.emplace_back("cut inside the last line", whole.substr(0, whole.size() - 2));
    damaged.emplace_back("empty", "");
    damaged.emplace_back("no header", whole.substr(whole.find('\n') + 1));
    damaged.emplace_back("an entry after the count", whole + "/music/extra.mp3\n");
    damaged.emplace_back("a count that is not a number", whole.substr(0, whole.rfind(':') + 1) + "4x\n");
    damaged.emplace_back("a line too long", "#EXTM3U\n/" + std::string(2000, 'a') + "\n" + whole.substr(8));
    std::string garbage(3000, '\0');
    for (size_t k = 0; k < garbage.size(); k++) garbage[k] = static_cast<char>((k * 7919 + 13) % 251);
    damaged.emplace_back("garbage", garbage);
    for (const auto &[what, text] : damaged) {
        ASSERT_TRUE(write_file(file, text));
        add_path(q.get(), "/old/entry.mp3");
        int32_t position = -1;
        testing::internal::CaptureStderr();
        EXPECT_EQ(playlist_read_kept(q.get(), file.c_str(), &position), PLAYLIST_DAMAGED) << what;
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(q->count, 0) << what;
        EXPECT_EQ(q->current, 0) << what;
    }

    // A comment added by hand harms nothing; a missing file is no damage, only nothing.
    ASSERT_TRUE(write_file(file, whole + "# my note\n"));
    EXPECT_EQ(playlist_read_kept(q.get(), file.c_str(), nullptr), 0);
    EXPECT_EQ(q->count, 4);
    EXPECT_EQ(playlist_read_kept(q.get(), (tmp / "none.m3u8").c_str(), nullptr), -1);
    EXPECT_EQ(q->count, 4) << "nothing there: the list stays";
    // Something there that cannot be read as a file.
    ASSERT_EQ(mkdir((tmp / "folder.m3u8").c_str(), 0700), 0);
    EXPECT_EQ(playlist_read_kept(q.get(), (tmp / "folder.m3u8").c_str(), nullptr), PLAYLIST_DAMAGED);
}

// The player saves a moment after the store reports a change: every change is reported, and
// what changes nothing (the same title from the tags again, the same current entry) is not,
// so that a start with a kept list does not write it again at once.
TEST_F(Kept, EveryChangeOfTheStoreIsReportedAndNothingElse) {
    int changes = 0;
    p->changed = [](void *context) { ++*static_cast<int *>(context); };
    p->changed_context = &changes;
    const auto reported = [&](const char *what, auto change) {
        const int before = changes;
        change();
        return testing::AssertionResult(changes > before) << what;
    };
    EXPECT_TRUE(reported("add", [&] { add("/b/2.mp3"); }));
    EXPECT_TRUE(reported("add", [&] { add("/a/1.mp3"); }));
    EXPECT_TRUE(reported("add", [&] { add("/c/3.mp3"); }));
    EXPECT_TRUE(reported("title", [&] { playlist_set_title(p.get(), 0, "Two"); }));
    EXPECT_TRUE(reported("current", [&] { playlist_set_current(p.get(), 2); }));
    EXPECT_TRUE(reported("toggle", [&] { playlist_toggle_selected(p.get(), 1); }));
    EXPECT_TRUE(reported("select", [&] { playlist_select(p.get(), PLAYLIST_SELECT_NONE); }));
    EXPECT_TRUE(reported("sort", [&] { playlist_sort_by_filename(p.get()); }));
    EXPECT_TRUE(reported("reverse", [&] { playlist_sort_reverse(p.get()); }));
    EXPECT_TRUE(reported("shuffle", [&] { playlist_sort_randomize(p.get()); }));
    EXPECT_TRUE(reported("remove", [&] { playlist_remove(p.get(), 0); }));
    EXPECT_TRUE(reported("remove first", [&] { playlist_remove_first(p.get(), 1); }));
    playlist_select(p.get(), PLAYLIST_SELECT_ALL);
    EXPECT_TRUE(reported("remove selected", [&] { playlist_remove_selected(p.get()); }));
    const std::string m3u = tmp / "list.m3u";
    ASSERT_TRUE(write_file(m3u, "/x/1.mp3\n/x/2.mp3\n"));
    EXPECT_TRUE(reported("read", [&] { playlist_read_file(p.get(), m3u.c_str()); }));
    ASSERT_TRUE(write_file(tmp / "song.mp3", ""));
    EXPECT_TRUE(reported("folder", [&] { playlist_add_directory(p.get(), tmp.path().c_str()); }));
    EXPECT_TRUE(reported("clear", [&] { playlist_clear(p.get()); }));
    EXPECT_NE(p->changed, nullptr) << "clearing keeps the report";

    add("/a/1.mp3", "Same");
    playlist_set_current(p.get(), 0);
    const int before = changes;
    playlist_set_title(p.get(), 0, "Same");
    playlist_set_title(p.get(), 0, "");  // no title from the tags keeps the list's
    playlist_set_current(p.get(), 0);
    playlist_toggle_selected(p.get(), 5);
    EXPECT_EQ(changes, before);
    EXPECT_STREQ(p->entries[0].title, "Same");
}
