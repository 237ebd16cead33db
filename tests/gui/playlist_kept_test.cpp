// The kept list in the playlist window: marks clicked in one run are shown in the next, and
// the titles a playlist gave stay with their entries.
#include "gui/playlist_window_test_util.h"

namespace {

using namespace plwin;

constexpr int W = 275;

std::vector<int> selected_lines(const Image &img, int count) {
    const int h = line_height(1);
    std::vector<int> lines;
    for (int i = 0; i < count; i++)
        if (band(img, 1, W, i, h).yellow > band(img, 1, W, i, h).pixels / 2)
            lines.push_back(i);
    return lines;
}

bool kept_has(const PlaylistRun &run, const std::string &lines) {
    return wait_until([&] { return read_file(run.data + "/playlist.m3u8").find(lines) != std::string::npos; });
}

} // namespace

TEST(PlaylistKept, MarksAndTitlesComeBackInTheNextRun) {
    PlaylistRun run;
    PlaylistSetup s;
    s.pledit = PLEDIT;
    s.entries = {"#EXTM3U", "#EXTINF:61,Alpha Song", "/music/first.mp3", "#EXTINF:62,Beta Song",
                 "/music/second.mp3", "/music/third.mp3"};
    ASSERT_TRUE(run.start(s)) << run.why;
    const int h = line_height(1);
    ASSERT_TRUE(run.x.click(run.window, 100, line_middle(1, 1, h)));
    EXPECT_EQ(selected_lines(run.shot(), 3), (std::vector<int>{1}));
    ASSERT_TRUE(kept_has(run, "#EXTINF:62,Beta Song\n#RAVLOX-SELECTED\n/music/second.mp3\n"))
        << read_file(run.data + "/playlist.m3u8");
    run.process.reset();
    ASSERT_TRUE(run.x.wait_window_gone(TITLE, milliseconds(5000)));

    s.entries.clear(); // no list on the command line: the kept one
    ASSERT_TRUE(run.start(s)) << run.why;
    EXPECT_EQ(selected_lines(run.shot(), 3), (std::vector<int>{1})) << run.log();
    // Another mark: the list is written again from what came back, titles and all.
    pause_ms(400);
    ASSERT_TRUE(run.x.click(run.window, 100, line_middle(1, 2, h)));
    EXPECT_EQ(selected_lines(run.shot(), 3), (std::vector<int>{1, 2}));
    EXPECT_TRUE(kept_has(run, "#EXTM3U\n#EXTINF:61,Alpha Song\n/music/first.mp3\n#EXTINF:62,Beta Song\n"
                              "#RAVLOX-SELECTED\n/music/second.mp3\n#EXTINF:-1,\n#RAVLOX-SELECTED\n"
                              "/music/third.mp3\n#RAVLOX-CURRENT:0\n#RAVLOX-POSITION:0\n#RAVLOX-ENTRIES:3\n"))
        << read_file(run.data + "/playlist.m3u8");
}
