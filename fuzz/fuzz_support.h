// Shared by the fuzz targets: a private temporary directory with a data directory in it, and
// the checks every input must pass (no leaked descriptor, nothing written where it
// should not be).
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "theme/theme.h"

// A failed check is a finding: abort, so that libFuzzer keeps the input.
#define FUZZ_CHECK(cond, ...)                                              \
    do {                                                                   \
        if (!(cond)) {                                                     \
            fprintf(stderr, "fuzz check failed: %s: ", #cond);             \
            fprintf(stderr, __VA_ARGS__);                                  \
            fprintf(stderr, "\n");                                         \
            abort();                                                       \
        }                                                                  \
    } while (0)

namespace fuzz {

inline int remove_entry(const char *path, const struct stat *, int, struct FTW *) {
    return remove(path);
}

inline void remove_tree(const std::string &path) {
    nftw(path.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

// Names in a directory, without "." and "..".
inline std::vector<std::string> list_dir(const std::string &path) {
    std::vector<std::string> names;
    if (DIR *d = opendir(path.c_str())) {
        while (const dirent *e = readdir(d))
            if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
        closedir(d);
    }
    return names;
}

// The process's temporary root, made once and removed at exit: ROOT/data is the data directory.
inline const std::string &root() {
    static const std::string path = [] {
        const char *tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/ravlox-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            perror("mkdtemp");
            abort();
        }
        mkdir((pattern + "/data").c_str(), 0700);
        static std::string keep = pattern;
        atexit([] { remove_tree(keep); });
        return pattern;
    }();
    return path;
}

inline std::string data_dir() { return root() + "/data"; }

inline bool write_file(const std::string &path, const uint8_t *data, size_t size) {
    FILE *f = fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

// The lowest free descriptor: a descriptor leaked by the code under test takes it, so a change
// between before and after one input is a leak (cheaper than walking every descriptor).
inline int lowest_free_fd() {
    const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) close(fd);
    return fd;
}

struct FdGuard {
    int before = lowest_free_fd();
    ~FdGuard() {
        const int after = lowest_free_fd();
        FUZZ_CHECK(after == before, "descriptor %d left open", before);
    }
};

// Nothing but the expected names directly inside a directory.
inline void check_only(const std::string &dir, const std::vector<std::string> &allowed) {
    for (const std::string &name : list_dir(dir)) {
        bool ok = false;
        for (const std::string &a : allowed) ok = ok || a == name;
        FUZZ_CHECK(ok, "unexpected file [%s/%s]", dir.c_str(), name.c_str());
    }
}

// The 18 names a theme folder may hold.
inline std::vector<std::string> theme_file_names() {
    std::vector<std::string> names;
    for (const tThemeBitmap &b : THEME_BITMAPS) names.emplace_back(b.name);
    names.emplace_back(THEME_PLEDIT_NAME);
    names.emplace_back(THEME_VISCOLOR_NAME);
    return names;
}

// Small deterministic generator, seeded from the input, for choices such as seek positions.
struct Rng {
    uint64_t s;
    explicit Rng(const uint8_t *data, size_t size) : s(0x9e3779b97f4a7c15ULL ^ size) {
        for (size_t i = 0; i < size; ++i) s = (s ^ data[i]) * 0x100000001b3ULL;
    }
    uint32_t next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<uint32_t>(s >> 32);
    }
};

}  // namespace fuzz
