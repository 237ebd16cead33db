// Every playlist of the real-world corpus, as other projects' test suites have them: byte-order
// marks, UTF-16, CR-only lines, URLs, extended headers, empty files.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "playlist_test_util.h"

TEST(CorpusPlaylists, EveryOneReadsAndSavesBack) {
    const std::string corpus = corpus_dir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus here";
    std::vector<std::string> files;
    for (const auto &e : std::filesystem::recursive_directory_iterator(corpus + "/m3u"))
        if (e.is_regular_file()) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());

    auto p = make_store();
    auto q = make_store();
    TempDir tmp;
    for (const std::string &file : files) {
        SCOPED_TRACE(file);
        ASSERT_EQ(playlist_read_m3u(p.get(), file.c_str()), 0);
        ASSERT_LE(p->count, PLAYLIST_CAPACITY);
        const std::string dir = file.substr(0, file.rfind('/'));
        for (int32_t i = 0; i < p->count; i++) {
            const std::string path = p->entries[i].path;
            ASSERT_FALSE(path.empty());
            ASSERT_LT(path.size(), sizeof p->entries[i].path);
            for (unsigned char c : path) ASSERT_GE(c, 0x20);
            // Every line that does not start with a slash lies in the playlist's folder.
            if (path.compare(0, dir.size() + 1, dir + "/") != 0) {
                ASSERT_EQ(path[0], '/') << path;
            }
        }
        std::cout << p->count << "\t" << file.substr(corpus.size() + 1) << "\n";

        // Saved and read back, the list is the same.
        const std::string copy = tmp / "copy.m3u";
        ASSERT_EQ(playlist_write_m3u(p.get(), copy.c_str(), 1), 0);
        ASSERT_EQ(playlist_read_m3u(q.get(), copy.c_str()), 0);
        EXPECT_EQ(paths_of(q.get()), paths_of(p.get()));
    }
}
