// Helpers for the playlist tests: a heap store, a temporary directory, file writing.
#pragma once

#include <ftw.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "playlist/playlist.h"

struct tFreeDeleter {
    void operator()(void *p) const { free(p); }
};
using tStorePtr = std::unique_ptr<tHandlePlaylist, tFreeDeleter>;

// The store is about 17 MB: always on the heap.
inline tStorePtr make_store() {
    auto *p = static_cast<tHandlePlaylist *>(calloc(1, sizeof(tHandlePlaylist)));
    if (p != nullptr) playlist_init(p);
    return tStorePtr(p);
}

inline void add_path(tHandlePlaylist *p, const std::string &path) {
    tSongInfo s{};
    snprintf(s.path, sizeof s.path, "%s", path.c_str());
    playlist_add(p, &s);
}

inline std::vector<std::string> paths_of(const tHandlePlaylist *p) {
    std::vector<std::string> v;
    for (int32_t i = 0; i < p->count; i++) v.emplace_back(p->entries[i].path);
    return v;
}

class TempDir {
public:
    TempDir() {
        std::string t = std::string(getenv("TMPDIR") != nullptr ? getenv("TMPDIR") : "/tmp") + "/ravlox-pl.XXXXXX";
        std::vector<char> buf(t.begin(), t.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data()) != nullptr) path_ = buf.data();
    }
    ~TempDir() {
        if (!path_.empty()) {
            nftw(
                path_.c_str(), [](const char *f, const struct stat *, int, struct FTW *) { return remove(f); }, 16,
                FTW_DEPTH | FTW_PHYS);
        }
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void write_file(const std::string &path, const std::string &bytes) {
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    fclose(f);
}

inline std::string read_file(const std::string &path) {
    std::string s;
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr) return s;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    fclose(f);
    return s;
}
