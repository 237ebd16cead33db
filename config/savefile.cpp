#include "config/savefile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace {

constexpr size_t PATH_SIZE = 4096;
constexpr int MAX_LINKS = 16;
constexpr int SUFFIX_LENGTH = 6;
// Marks our temporary files, so that a user's own "gui.config.backup" is never taken for one.
constexpr char TEMP_MARK[] = ".saving-";
constexpr size_t TEMP_MARK_LENGTH = sizeof TEMP_MARK - 1;
constexpr char SUFFIX_CHARS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool is_suffix_char(char c) { return c != '\0' && strchr(SUFFIX_CHARS, c) != nullptr; }

// The file that `path` finally names once symlinks are followed (it need not exist).
bool resolve_target(const char *path, char (&target)[PATH_SIZE]) {
    if (snprintf(target, sizeof target, "%s", path) >= static_cast<int>(sizeof target)) return false;
    for (int hop = 0; hop < MAX_LINKS; ++hop) {
        struct stat st;
        if (lstat(target, &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        char link[PATH_SIZE];
        const ssize_t n = readlink(target, link, sizeof link - 1);
        if (n < 0) return false;
        link[n] = '\0';
        if (link[0] == '/') {
            memcpy(target, link, static_cast<size_t>(n) + 1);
            continue;
        }
        // A relative link counts from the folder that holds it.
        char *slash = strrchr(target, '/');
        const size_t dir = slash != nullptr ? static_cast<size_t>(slash - target) + 1 : 0;
        if (dir + static_cast<size_t>(n) + 1 > sizeof target) return false;
        memcpy(target + dir, link, static_cast<size_t>(n) + 1);
    }
    return false;
}

// `durable`: the contents reach the disk before the file is closed, so that a power cut after
// the rename never finds an empty file in the old one's place.
bool write_and_close(int fd, tSaveWriter write, const void *context, bool durable) {
    FILE *f = fdopen(fd, "wb");
    if (f == nullptr) {
        close(fd);
        return false;
    }
    bool ok = write(f, context);
    if (fflush(f) != 0 || ferror(f) != 0) ok = false;
    if (ok && durable && fsync(fd) != 0) ok = false;
    if (fclose(f) != 0) ok = false;
    return ok;
}

// The folder that holds `file`, and where its name begins.
const char *folder_of(const char *file, char (&dir)[PATH_SIZE]) {
    const char *slash = strrchr(file, '/');
    if (slash == nullptr)
        snprintf(dir, sizeof dir, ".");
    else if (slash == file)
        snprintf(dir, sizeof dir, "/");
    else
        snprintf(dir, sizeof dir, "%.*s", static_cast<int>(slash - file), file);
    return slash != nullptr ? slash + 1 : file;
}

// The folder's entry for a renamed file reaches the disk too. Some file systems refuse to sync
// a folder; the file itself is safe by then, so that is no failure.
void sync_folder_of(const char *file) {
    char dir[PATH_SIZE];
    folder_of(file, dir);
    const int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Removes the temporary files that killed saves of `target` left beside it.
void remove_stale_of(const char *target) {
    char dir[PATH_SIZE];
    const char *base = folder_of(target, dir);
    const size_t base_length = strlen(base);
    DIR *d = opendir(dir);
    if (d == nullptr) return;
    while (const dirent *e = readdir(d)) {
        const char *name = e->d_name;
        if (strlen(name) != base_length + TEMP_MARK_LENGTH + SUFFIX_LENGTH || strncmp(name, base, base_length) != 0 ||
            strncmp(name + base_length, TEMP_MARK, TEMP_MARK_LENGTH) != 0)
            continue;
        bool suffix = true;
        for (int k = 0; k < SUFFIX_LENGTH; ++k)
            suffix = suffix && is_suffix_char(name[base_length + TEMP_MARK_LENGTH + k]);
        if (!suffix) continue;
        char stale[PATH_SIZE];
        if (snprintf(stale, sizeof stale, "%s/%s", dir, name) >= static_cast<int>(sizeof stale)) continue;
        struct stat st;
        if (lstat(stale, &st) == 0 && S_ISREG(st.st_mode)) unlink(stale);
    }
    closedir(d);
}

// A temporary file beside `target` that nobody else has: path + mark + six characters.
int create_temporary(const char *target, mode_t mode, char (&temp)[PATH_SIZE]) {
    static std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof SUFFIX_CHARS - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int n = snprintf(temp, sizeof temp, "%s%s", target, TEMP_MARK);
        if (n < 0 || static_cast<size_t>(n) + SUFFIX_LENGTH >= sizeof temp) return -1;
        for (int k = 0; k < SUFFIX_LENGTH; ++k) temp[n + k] = SUFFIX_CHARS[pick(random)];
        temp[n + SUFFIX_LENGTH] = '\0';
        const int fd = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// `follow`: a symlink at `target` has been resolved already; otherwise one there is replaced
// like any file that is not a regular one.
int32_t replace(const char *target, bool follow, mode_t new_mode, tSaveWriter write, const void *context) {
    struct stat st;
    bool exists = (follow ? stat(target, &st) : lstat(target, &st)) == 0;
    if (exists && S_ISDIR(st.st_mode)) return -1;
    if (exists && S_ISLNK(st.st_mode)) exists = false;
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or a FIFO cannot be replaced by a file; a FIFO without a reader fails
        // instead of blocking.
        const int fd = open(target, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return -1;
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return write_and_close(fd, write, context, false) ? 0 : -1;
    }
    // What a killed save of this file left is removed first; it may be what fills the disk.
    if (follow) remove_stale_of(target);
    char temp[PATH_SIZE];
    const int fd = create_temporary(target, exists ? (st.st_mode & 07777) : new_mode, temp);
    if (fd < 0) return -1;
    if (exists) {
        // The umask applied at creation; the file keeps what it had, and its owner where allowed.
        fchmod(fd, st.st_mode & 07777);
        if ((st.st_uid != geteuid() || st.st_gid != getegid()) && fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Only a privileged user may give a file away; it then stays the writer's.
        }
    }
    if (!write_and_close(fd, write, context, follow) || rename(temp, target) != 0) {
        unlink(temp);
        return -1;
    }
    if (follow) sync_folder_of(target);
    return 0;
}

}  // namespace

int32_t save_file_replace(const char *path, mode_t new_mode, tSaveWriter write, const void *context) {
    char target[PATH_SIZE];
    if (path == nullptr || path[0] == '\0' || !resolve_target(path, target)) return -1;
    return replace(target, true, new_mode, write, context);
}

int32_t save_file_put(const char *path, mode_t new_mode, tSaveWriter write, const void *context) {
    if (path == nullptr || path[0] == '\0' || strlen(path) >= PATH_SIZE) return -1;
    return replace(path, false, new_mode, write, context);
}

void save_file_remove_stale(const char *path) {
    char target[PATH_SIZE];
    if (path != nullptr && resolve_target(path, target)) remove_stale_of(target);
}
