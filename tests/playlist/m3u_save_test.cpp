// Saving a playlist over an old one: a full disk, a kill half way, links and modes.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "playlist_test_util.h"

namespace {

const std::string OLD_LIST = "/music/one.mp3\n/music/two.mp3\n/music/three.mp3\n";

class M3uSave : public testing::Test {
protected:
    void SetUp() override {
        p = make_store();
        ASSERT_TRUE(p);
        p->options = PLAYLIST_SAVE_PLAIN;  // bare paths: the bytes are easy to state
        ASSERT_TRUE(write_file(list, OLD_LIST));
    }
    // Temporary files beside the list.
    std::vector<std::string> others() const {
        std::vector<std::string> v;
        for (const std::string &n : list_dir(tmp.path()))
            if (n != "list.m3u") v.push_back(n);
        return v;
    }
    void fill(int n, size_t length) {
        for (int i = 0; i < n; i++) {
            std::string s = "/new/" + std::to_string(i) + "/";
            s += std::string(length - s.size(), 'x');
            add_path(p.get(), s);
        }
    }
    TempDir tmp;
    std::string list = tmp / "list.m3u";
    tStorePtr p;
};

}  // namespace

TEST_F(M3uSave, FullDiskKeepsTheOldPlaylistAndSaysSo) {
    fill(200, 100);
    // The file size limit makes every write past 4 KB fail as a full disk does; in a child,
    // so the limit stays there.
    fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(playlist_write_m3u(p.get(), list.c_str(), 0) == -1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed save must return -1";
    EXPECT_TRUE(read_file(list) == OLD_LIST) << file_size(list) << " bytes";
    EXPECT_TRUE(others().empty());

    // The message, in this process: a device that refuses every write.
    if (access("/dev/full", W_OK) == 0) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(playlist_write_m3u(p.get(), "/dev/full", 0), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "unable to write [/dev/full]\n");
        struct stat st;
        ASSERT_EQ(stat("/dev/full", &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));  // written in place, never replaced
    }
}

TEST_F(M3uSave, KillWhileWritingLeavesTheOldPlaylistIntact) {
    // About 16 MB, so the kill lands while the new playlist is being written.
    fill(PLAYLIST_CAPACITY, 1000);
    bool caught = false;
    for (int round = 0; round < 5 && !caught; round++) {
        ASSERT_TRUE(write_file(list, OLD_LIST));
        for (const std::string &n : others()) remove((tmp / n).c_str());
        fflush(nullptr);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) _exit(playlist_write_m3u(p.get(), list.c_str(), 0) == 0 ? 0 : 1);
        // Kill the writer as soon as the new playlist is on its way, beside the old one or over it.
        for (;;) {
            const std::vector<std::string> temps = others();
            const bool writing_beside = !temps.empty() && file_size(tmp / temps[0]) > 0;
            const bool writing_over = file_size(list) != static_cast<long long>(OLD_LIST.size());
            if (writing_beside || writing_over) {
                kill(child, SIGKILL);
                caught = true;
                break;
            }
            if (waitpid(child, nullptr, WNOHANG) == child) break;
        }
        if (!caught) continue;
        waitpid(child, nullptr, 0);
        const std::string after = read_file(list);
        // Had the writer got as far as the rename, the whole new playlist is there: try again.
        if (after.size() == static_cast<size_t>(PLAYLIST_CAPACITY) * 1001) {
            caught = false;
            continue;
        }
        EXPECT_TRUE(after == OLD_LIST) << after.size() << " bytes after the kill";
        // The next save of the playlist clears away what the killed one left beside it.
        EXPECT_FALSE(others().empty());
        EXPECT_EQ(playlist_write_m3u(p.get(), list.c_str(), 0), 0);
        EXPECT_TRUE(others().empty());
    }
    if (!caught) GTEST_SKIP() << "the writer always finished before it could be stopped";
}

TEST_F(M3uSave, ModeAndSymlinkOfTheOldPlaylistStay) {
    add_path(p.get(), "/new/a.mp3");
    ASSERT_EQ(chmod(list.c_str(), 0604), 0);
    ASSERT_EQ(playlist_write_m3u(p.get(), list.c_str(), 0), 0);
    EXPECT_EQ(file_mode(list), 0604);
    EXPECT_EQ(read_file(list), "/new/a.mp3\n");

    const std::string link = tmp / "link.m3u";
    ASSERT_EQ(symlink("list.m3u", link.c_str()), 0);
    add_path(p.get(), "/new/b.mp3");
    ASSERT_EQ(playlist_write_m3u(p.get(), link.c_str(), 0), 0);
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(read_file(list), "/new/a.mp3\n/new/b.mp3\n");
    EXPECT_EQ(file_mode(list), 0604);

    // A new playlist follows the umask, like any file the user makes.
    const mode_t old_mask = umask(027);
    ASSERT_EQ(playlist_write_m3u(p.get(), (tmp / "fresh.m3u").c_str(), 0), 0);
    umask(old_mask);
    EXPECT_EQ(file_mode(tmp / "fresh.m3u"), 0640);
}

TEST_F(M3uSave, LeftoversOfKilledSavesGoOnlyTheirOwn) {
    for (const char *name : {"list.m3u.saving-a1B2c3", "list.m3u.saving-ZZZZZZ", "list.m3u.backup",
                             "other.m3u.saving-a1B2c3", "list.m3u.saving-abc"})
        ASSERT_TRUE(write_file(tmp / name, "left over\n"));
    add_path(p.get(), "/new/a.mp3");
    ASSERT_EQ(playlist_write_m3u(p.get(), list.c_str(), 0), 0);
    EXPECT_EQ(read_file(list), "/new/a.mp3\n");
    std::vector<std::string> left = others();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"list.m3u.backup", "list.m3u.saving-abc", "other.m3u.saving-a1B2c3"}));
}
