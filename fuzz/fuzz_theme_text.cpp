// The theme's two text files: the same bytes read as PLEDIT.TXT and as VISCOLOR.TXT.
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "theme/theme.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static tHandleTheme theme;  // only its colours and font are used; no images needed
    const std::string path = fuzz::data_dir() + "/THEME.TXT";
    fuzz::FdGuard fds;
    if (!fuzz::write_file(path, data, size)) return 0;

    snprintf(theme.font, sizeof theme.font, "%s", "Arial");
    FUZZ_CHECK(theme_read_pledit(&theme, path.c_str()) == 0, "PLEDIT.TXT not read");
    FUZZ_CHECK(memchr(theme.font, '\0', sizeof theme.font) != nullptr, "font name unterminated");
    const size_t n = strlen(theme.font);
    FUZZ_CHECK(n == 0 || (theme.font[n - 1] != '\r' && theme.font[n - 1] != '\n'),
               "font name [%s] keeps its line end", theme.font);

    uint8_t colours[THEME_VISCOLOR_COUNT][3] = {};
    const int32_t r = theme_read_viscolor(colours, path.c_str());
    FUZZ_CHECK(r == 0 || r == -1, "result %d", r);
    fuzz::check_only(fuzz::data_dir(), {"THEME.TXT"});
    return 0;
}
