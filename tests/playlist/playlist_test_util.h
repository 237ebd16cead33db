// Helpers for the playlist tests: a store on the heap, adding and listing paths.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "playlist/playlist.h"
#include "support/harness.h"

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


// A temporary directory for tens of thousands of files: creating them is slow on some
// disks, so a memory file system is used where there is one.
class ScratchDir {
public:
    ScratchDir() {
        std::string t = "/dev/shm/ravlox-pl-XXXXXX";
        if (access("/dev/shm", W_OK) == 0 && mkdtemp(t.data()) != nullptr) {
            path_ = t;
        } else {
            fallback_.emplace("ravlox-pl");
            path_ = fallback_->path();
        }
    }
    ~ScratchDir() {
        if (!fallback_ && !path_.empty()) remove_tree(path_);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::optional<TempDir> fallback_;
    std::string path_;
};
