// The themes sit below the rest of the program: besides their own headers they use only the
// shared records in core/types.h and the file writer of the settings, never start-up or the
// handle.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

TEST(ThemeLayering, ThemeSourcesIncludeOnlyThemeHeadersAndTheSharedTypes) {
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(std::string(RAVLOX_SOURCE_DIR) + "/theme")) {
        const std::string ext = entry.path().extension();
        if (ext != ".cpp" && ext != ".h") continue;
        ++files;
        std::ifstream in(entry.path());
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("#include \"", 0) != 0) continue;
            const std::string header = line.substr(10, line.find('"', 10) - 10);
            EXPECT_TRUE(header.rfind("theme/", 0) == 0 || header == "core/types.h" ||
                        header == "config/savefile.h")
                << entry.path().filename() << " includes " << header;
        }
    }
    EXPECT_GT(files, 0);
}
