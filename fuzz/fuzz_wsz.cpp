// A theme archive: the bytes are written as a .wsz file and extracted into the theme folder of
// a temporary data directory. Nothing may appear outside that folder, nothing in it but theme
// files, and no file over the caps.
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "theme/theme.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static tHandleTheme theme;  // extracting needs no bitmaps
    const std::string archive = fuzz::root() + "/theme.wsz";
    const std::string folder = fuzz::data_dir() + "/theme";
    fuzz::FdGuard fds;
    if (!fuzz::write_file(archive, data, size)) return 0;

    const int32_t r = theme_load_wsz(&theme, archive.c_str(), folder.c_str());
    FUZZ_CHECK(r == 0 || r == -1, "result %d", r);

    fuzz::check_only(fuzz::root(), {"data", "theme.wsz"});
    fuzz::check_only(fuzz::data_dir(), {"theme"});
    fuzz::check_only(folder, fuzz::theme_file_names());
    long long total = 0;
    for (const std::string &name : fuzz::list_dir(folder)) {
        const std::string path = folder + "/" + name;
        struct stat st;
        FUZZ_CHECK(lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode), "[%s] not a plain file", path.c_str());
        FUZZ_CHECK(st.st_size <= THEME_MAX_ENTRY_SIZE, "[%s] holds %lld bytes", path.c_str(),
                   static_cast<long long>(st.st_size));
        total += st.st_size;
        remove(path.c_str());
    }
    FUZZ_CHECK(total <= THEME_MAX_ARCHIVE_SIZE, "%lld bytes extracted", total);
    return 0;
}
