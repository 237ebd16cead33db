// The settings store against real files in a temporary data directory.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "config/config.h"
#include "core/handle.h"

namespace {

struct FreeDeleter {
    void operator()(void *p) const { free(p); }
};

class ConfigStore : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ravlox-config-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        handle.reset(static_cast<tHandle *>(calloc(1, sizeof(tHandle))));
        snprintf(handle->data_dir, sizeof handle->data_dir, "%s", dir.c_str());
        store.reset(static_cast<tHandleConfig *>(calloc(1, sizeof(tHandleConfig))));
    }
    void TearDown() override {
        const std::string command = "rm -rf '" + dir + "'";
        ASSERT_EQ(system(command.c_str()), 0);
    }
    std::string file(const std::string &name = "test.config") const { return dir + "/" + name; }
    void write(const std::string &text, const std::string &name = "test.config") const {
        std::ofstream(file(name), std::ios::binary) << text;
    }
    std::string read(const std::string &name = "test.config") const {
        std::ifstream in(file(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void open(const std::string &name = "test.config") {
        ASSERT_EQ(config_open(store.get(), handle->data_dir, name.c_str()), 0);
    }

    std::string dir;
    std::unique_ptr<tHandle, FreeDeleter> handle;
    std::unique_ptr<tHandleConfig, FreeDeleter> store;
};

TEST_F(ConfigStore, MissingFileIsCreatedWithTheDefault) {
    open("gui.config");
    int32_t value = 0;
    EXPECT_EQ(config_get_int(store.get(), "scalefactor", &value, 1), 0);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(read("gui.config"), "scalefactor=1\n");
}

TEST_F(ConfigStore, ParsingKeepsBlanksAndLaterEquals) {
    write("k=a=b\n volume = 50\nnovalue\nempty=\nnum= 50\nword=abc\n");
    open();
    char text[CONFIG_VALUE_SIZE];
    EXPECT_EQ(config_get_string(store.get(), "k", text, "x"), 0);
    EXPECT_STREQ(text, "a=b");
    EXPECT_EQ(config_get_string(store.get(), "empty", text, "x"), 0);
    EXPECT_STREQ(text, "");
    int32_t value = 0;
    EXPECT_EQ(config_get_int(store.get(), "num", &value, 7), 0);
    EXPECT_EQ(value, 50);
    EXPECT_EQ(config_get_int(store.get(), "word", &value, 7), 0);
    EXPECT_EQ(value, 0);
    // " volume " with its blanks is another key: "volume" is appended with its default.
    EXPECT_EQ(config_get_int(store.get(), "volume", &value, 100), 0);
    EXPECT_EQ(value, 100);
    EXPECT_EQ(read(), "k=a=b\n volume = 50\nempty=\nnum= 50\nword=abc\nvolume=100\n");
}

TEST_F(ConfigStore, DuplicateKeysReadAndReplaceTheLast) {
    write("a=1\na=2\n");
    open();
    int32_t value = 0;
    EXPECT_EQ(config_get_int(store.get(), "a", &value, 0), 0);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(config_set_int(store.get(), "a", 3), 0);
    EXPECT_EQ(read(), "a=1\na=3\n");
}

TEST_F(ConfigStore, AtMostThirtyTwoEntries) {
    std::string text;
    for (int k = 0; k < 40; ++k)
        text += "key" + std::to_string(k) + "=" + std::to_string(k) + "\n";
    write(text);
    open();
    EXPECT_EQ(store->count, 32);
    int32_t value = -5;
    EXPECT_EQ(config_get_int(store.get(), "key35", &value, 9), -1);
    EXPECT_EQ(value, 9);
    EXPECT_EQ(config_set_int(store.get(), "key36", 1), -1);
    EXPECT_EQ(config_set_int(store.get(), "key31", 77), 0);
    const std::string after = read();
    EXPECT_NE(after.find("key31=77\n"), std::string::npos);
    EXPECT_EQ(after.find("key32="), std::string::npos);
}

TEST_F(ConfigStore, WindowsLineEndsAndLimits) {
    const std::string long_key(40, 'k');
    const std::string long_value(200, 'v');
    write("volume=42\r\n" + long_key + "=" + long_value + "\r\nutf=h\xc3\xa9llo \xe2\x82\xac\r\n");
    open();
    int32_t value = 0;
    EXPECT_EQ(config_get_int(store.get(), "volume", &value, 100), 0);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(std::string(store->keys[1]), long_key.substr(0, 31));
    EXPECT_EQ(std::string(store->values[1]), long_value.substr(0, 159));
    char text[CONFIG_VALUE_SIZE];
    EXPECT_EQ(config_get_string(store.get(), "utf", text, ""), 0);
    EXPECT_STREQ(text, "h\xc3\xa9llo \xe2\x82\xac");
}

TEST_F(ConfigStore, TruthValueForms) {
    write("t1=TRUE\nt2=true\nt3=Tx\nf1=FALSE\nf2=f\nb1=yes\nb2=1\n"
          "o1=ON\no2=on\no3=oN\no4=OFF\no5=of\nx1=O\nx2=1\nx3=yes\n");
    open();
    int32_t value = 0;
    for (const char *key : {"t1", "t2", "t3"}) {
        EXPECT_EQ(config_get_bool(store.get(), key, &value, 0), 0) << key;
        EXPECT_EQ(value, 1) << key;
    }
    for (const char *key : {"f1", "f2"}) {
        EXPECT_EQ(config_get_bool(store.get(), key, &value, 1), 0) << key;
        EXPECT_EQ(value, 0) << key;
    }
    for (const char *key : {"b1", "b2"}) {
        EXPECT_EQ(config_get_bool(store.get(), key, &value, 1), -1) << key;
        EXPECT_EQ(value, 1) << key;
    }
    for (const char *key : {"o1", "o2", "o3"}) {
        EXPECT_EQ(config_get_onoff(store.get(), key, &value, 0), 0) << key;
        EXPECT_EQ(value, 1) << key;
    }
    for (const char *key : {"o4", "o5"}) {
        EXPECT_EQ(config_get_onoff(store.get(), key, &value, 1), 0) << key;
        EXPECT_EQ(value, 0) << key;
    }
    for (const char *key : {"x1", "x2", "x3"}) {
        EXPECT_EQ(config_get_onoff(store.get(), key, &value, 1), -1) << key;
        EXPECT_EQ(value, 1) << key;
    }
    EXPECT_EQ(config_set_bool(store.get(), "new", 5), 0);
    EXPECT_EQ(config_set_onoff(store.get(), "sw", 1), 0);
    const std::string after = read();
    EXPECT_NE(after.find("new=TRUE\n"), std::string::npos);
    EXPECT_NE(after.find("sw=ON\n"), std::string::npos);
}

TEST_F(ConfigStore, HostileFilesStayWithinBounds) {
    std::string text = "good=1\n";
    text += std::string(100 * 1024, 'x') + "=" + std::string(100 * 1024, 'y') + "\n";
    text += std::string("nul\0key=va\0lue\n", 15);
    for (int k = 0; k < 256; ++k)
        text += static_cast<char>(k);
    for (int k = 0; k < 10000; ++k)
        text += "line" + std::to_string(k) + "=v\n";
    text += "last=no newline";
    write(text);
    open();
    EXPECT_LE(store->count, 32);
    for (int k = 0; k < store->count; ++k) {
        EXPECT_LT(strnlen(store->keys[k], CONFIG_KEY_SIZE), static_cast<size_t>(CONFIG_KEY_SIZE));
        EXPECT_LT(strnlen(store->values[k], CONFIG_VALUE_SIZE),
                  static_cast<size_t>(CONFIG_VALUE_SIZE));
    }
    int32_t value = 0;
    EXPECT_EQ(config_get_int(store.get(), "good", &value, 0), 0);
    EXPECT_EQ(value, 1);
    char out[CONFIG_VALUE_SIZE];
    // NUL bytes are control characters and dropped.
    EXPECT_EQ(config_get_string(store.get(), "nulkey", out, ""), 0);
    EXPECT_STREQ(out, "value");
}

TEST_F(ConfigStore, LastLineWithoutNewline) {
    write("a=1\nb=2");
    open();
    int32_t value = 0;
    EXPECT_EQ(config_get_int(store.get(), "b", &value, 0), 0);
    EXPECT_EQ(value, 2);
}

TEST_F(ConfigStore, FailedSaveKeepsTheOldFile) {
    write("volume=42\n");
    open();
    ASSERT_EQ(chmod(dir.c_str(), 0500), 0);
    if (access(dir.c_str(), W_OK) == 0) {
        chmod(dir.c_str(), 0700);
        GTEST_SKIP() << "running with privileges that ignore directory permissions";
    }
    testing::internal::CaptureStderr();
    const int32_t result = config_set_int(store.get(), "volume", 7);
    const std::string err = testing::internal::GetCapturedStderr();
    chmod(dir.c_str(), 0700);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(err, "unable to write [" + file() + "]\n");
    EXPECT_EQ(read(), "volume=42\n");
    EXPECT_STREQ(store->values[0], "7"); // the value still changes in memory
}

TEST_F(ConfigStore, SaveThatCannotCompleteLeavesTheOldFile) {
    // A directory in the way of the file: the rename fails after the temporary was written.
    ASSERT_EQ(mkdir(file("blocked.config").c_str(), 0700), 0);
    open("blocked.config");
    testing::internal::CaptureStderr();
    EXPECT_EQ(config_set_int(store.get(), "volume", 7), -1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("unable to write ["), std::string::npos);
    struct stat info;
    ASSERT_EQ(stat(file("blocked.config").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    // No temporary file is left behind.
    const auto entries = std::distance(std::filesystem::directory_iterator(dir),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1);
}

TEST_F(ConfigStore, UnwritableDirectoryReportsEverySave) {
    snprintf(handle->data_dir, sizeof handle->data_dir, "%s/missing/deeper", dir.c_str());
    open("audiooutout.config");
    testing::internal::CaptureStderr();
    int32_t value = 0;
    EXPECT_EQ(config_get_int(store.get(), "volume", &value, 100), 0);
    EXPECT_EQ(value, 100);
    EXPECT_EQ(config_set_int(store.get(), "volume", 50), -1);
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string line = "unable to write [" + dir + "/missing/deeper/audiooutout.config]\n";
    EXPECT_EQ(err, line + line);
}

} // namespace

namespace {

int mode_of(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

TEST_F(ConfigStore, SavesKeepTheFilesModeAndNewFilesArePrivate) {
    const mode_t old_mask = umask(022);
    open();
    EXPECT_EQ(config_set_int(store.get(), "volume", 1), 0);
    EXPECT_EQ(mode_of(file()), 0600);
    ASSERT_EQ(chmod(file().c_str(), 0640), 0);
    EXPECT_EQ(config_set_int(store.get(), "volume", 2), 0);
    EXPECT_EQ(mode_of(file()), 0640);
    EXPECT_EQ(umask(old_mask), 022);
    EXPECT_EQ(read(), "volume=2\n");
}

TEST_F(ConfigStore, SymlinkedFileIsWrittenThroughToItsTarget) {
    ASSERT_EQ(mkdir(file("real").c_str(), 0700), 0);
    write("volume=5\n", "real/kept.config");
    ASSERT_EQ(symlink("real/kept.config", file().c_str()), 0);
    open();
    EXPECT_EQ(config_set_int(store.get(), "volume", 9), 0);
    struct stat info;
    ASSERT_EQ(lstat(file().c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(read("real/kept.config"), "volume=9\n");
    // The temporary file went beside the target and is gone.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file("real")),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(ConfigStore, StaleTemporaryFilesOfTheStoreAreRemovedWhenOpened) {
    write("volume=3\n");
    for (const char *name : {"test.config.saving-a1B2c3", "test.config.saving-ZZZZZZ", "test.config.saving-abc",
                             "test.config.saving-a1B2c3d", "other.config.saving-a1B2c3",
                             "test.configsaving-a1B2c3", "test.config.backup", "test.config.a1B2c3"})
        write("left over\n", name);
    ASSERT_EQ(mkdir(file("test.config.saving-dir123").c_str(), 0700), 0);
    open();
    EXPECT_FALSE(std::filesystem::exists(file("test.config.saving-a1B2c3")));
    EXPECT_FALSE(std::filesystem::exists(file("test.config.saving-ZZZZZZ")));
    // A user's own files beside the store are never taken for leftovers.
    for (const char *name : {"test.config.saving-abc", "test.config.saving-a1B2c3d", "other.config.saving-a1B2c3",
                             "test.configsaving-a1B2c3", "test.config.backup", "test.config.a1B2c3",
                             "test.config.saving-dir123"})
        EXPECT_TRUE(std::filesystem::exists(file(name))) << name;
    EXPECT_EQ(read(), "volume=3\n");
    int32_t value = 0;
    EXPECT_EQ(config_get_int(store.get(), "volume", &value, 0), 0);
    EXPECT_EQ(value, 3);
}

} // namespace

#include <regex>
#include <thread>
#include <utility>

#include "support/harness.h"

namespace {

// The real player's first start writes every settings file; strace shows, per settings file,
// that the new contents were synced before the rename and the folder after it.
TEST(ConfigDurability, EverySaveSyncsTheFileBeforeTheRenameAndTheFolderAfter) {
    if (!run_command({"strace", "-o", "/dev/null", "true"}).exited_with(0))
        GTEST_SKIP() << "strace cannot trace here";
    TempDir data{"ravlox-durable"};
    Xvfb x;
    ASSERT_TRUE(x.ok());
    const std::string log = data / "trace";
    ProgramOptions options;
    options.display = x.display();
    options.program = "strace";
    options.args = {"-f", "-y", "-qq", "-o", log, "-e", "trace=fsync,fdatasync,rename,renameat,renameat2",
                    RAVLOX_BINARY, "--dir=" + data.path() + "/d"};
    ProgramProcess p(options);
    ASSERT_TRUE(p.started());
    ASSERT_TRUE(x.wait_window("ravlox main", milliseconds(60000)).has_value()) << p.err();
    // Killed once the first start's saves are over, not in the middle of one.
    std::uintmax_t size = 0;
    wait_until([&] {
        std::this_thread::sleep_for(milliseconds(500));
        const std::uintmax_t now = std::filesystem::file_size(log);
        return std::exchange(size, now) == now;
    }, milliseconds(15000));
    p.stop(SIGKILL);

    const std::string dir = data.path() + "/d";
    const std::regex synced_file("fsync\\(\\d+<(.*\\.saving-[A-Za-z0-9]{6})>\\) = 0");
    const std::regex renamed("rename(?:at2?)?\\(.*\"(.*\\.saving-[A-Za-z0-9]{6})\".*\"(.*)\".*\\) = 0");
    const std::regex synced_folder("fsync\\(\\d+<(.*)>\\) = 0");
    std::istringstream lines(read_file(log));
    std::set<std::string> synced;          // temporaries whose contents are on the disk
    std::string pending_folder;            // a rename whose folder is not synced yet
    int renames = 0;
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, synced_file)) {
            synced.insert(std::filesystem::path(m[1].str()).filename());
        } else if (std::regex_search(line, m, renamed)) {
            // Theme files can be made again from the default theme: only the settings count.
            if (std::filesystem::path(m[2].str()).parent_path() != dir) continue;
            EXPECT_TRUE(pending_folder.empty()) << "no folder sync after a rename into " << pending_folder;
            EXPECT_EQ(synced.count(std::filesystem::path(m[1].str()).filename()), 1u) << line;
            pending_folder = std::filesystem::path(m[2].str()).parent_path();
            ++renames;
        } else if (std::regex_search(line, m, synced_folder) && m[1].str() == pending_folder) {
            pending_folder.clear();
        }
    }
    EXPECT_TRUE(pending_folder.empty()) << pending_folder;
    EXPECT_GE(renames, 5) << read_file(log);
    EXPECT_TRUE(path_exists(dir + "/gui.config"));
}

}  // namespace
