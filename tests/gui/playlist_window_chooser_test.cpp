// The playlist window's four file choosers, driven through the file chooser dialog with
// xdotool: add a file, add a directory, save the playlist and load it back.
#include <filesystem>

#include "gui/playlist_window_test_util.h"

namespace {

using namespace plwin;

constexpr int W = 275;
constexpr int H = 116;

// Waits for the chooser titled `title`, types `path` into its location and accepts it.
bool choose(PlaylistRun &run, const std::string &title, const std::string &path,
            bool replace_name = false) {
    auto dialog = run.x.wait_window(title, milliseconds(10000));
    if (!dialog)
        return false;
    pause_ms(700);
    if (replace_name) {
        run.x.key(*dialog, "ctrl+a");
        run.x.type(*dialog, path);
    } else {
        run.x.key(*dialog, "ctrl+l");
        pause_ms(200);
        run.x.type(*dialog, path);
    }
    pause_ms(400);
    run.x.key(*dialog, "Return");
    return run.x.wait_window_gone(title, milliseconds(10000));
}

int lines_with_text(PlaylistRun &run, int h, int lines) {
    const Image img = run.shot();
    int n = 0;
    for (int i = 0; i < lines; i++)
        n += !blank(text_mask(img, W, i, h));
    return n;
}

TEST(PlaylistChoosers, AddFileAddDirectorySaveAndLoad) {
    PlaylistRun run;
    PlaylistSetup s;
    s.pledit = PLEDIT;
    s.rows = 3;
    ASSERT_TRUE(run.start(s)) << run.why;
    const int h = line_height(1);
    ASSERT_GE(87 / h, 6);

    // Music on disk: one file to add alone, a directory with two more and a non-MP3.
    const std::string music = run.dir / "music";
    std::filesystem::create_directories(music + "/sub");
    std::filesystem::copy_file(fixture_path("mono22.mp3"), music + "/one.mp3");
    std::filesystem::copy_file(fixture_path("stereo44.mp3"), music + "/sub/two.mp3");
    std::filesystem::copy_file(fixture_path("mono8.mp3"), music + "/sub/three.MP3");
    write_file(music + "/sub/notes.txt", "not music");

    // Add menu, bottom item (over the button): "Open File".
    ASSERT_TRUE(run.x.click(run.window, 25, H + 29 - 30 + 9));
    run.shot();
    ASSERT_TRUE(run.x.click(run.window, 25, H + 29 - 30 + 9));
    ASSERT_TRUE(choose(run, "Open File", music + "/one.mp3")) << run.log();
    EXPECT_EQ(lines_with_text(run, h, 6), 1);

    // Add menu, middle item: "Open Directory".
    ASSERT_TRUE(run.x.click(run.window, 25, H + 29 - 30 + 9));
    run.shot();
    ASSERT_TRUE(run.x.click(run.window, 25, H + 29 - 48 + 9));
    ASSERT_TRUE(choose(run, "Open Directory", music + "/sub/")) << run.log();
    EXPECT_EQ(lines_with_text(run, h, 6), 3);

    // List menu, middle item: "Save playlist ", proposing "Untitled document".
    const std::string saved = music + "/list.m3u";
    ASSERT_TRUE(run.x.click(run.window, W - 44 + 11, H + 29 - 30 + 9));
    run.shot();
    ASSERT_TRUE(run.x.click(run.window, W - 44 + 11, H + 29 - 48 + 9));
    ASSERT_TRUE(choose(run, "Save playlist ", saved, true)) << run.log();
    for (int i = 0; i < 50 && !path_exists(saved); i++)
        pause_ms(100);
    const std::string text = read_file(saved);
    // Paths under the playlist's own directory are written relative to it.
    EXPECT_NE(text.find("one.mp3\n"), std::string::npos) << text;
    EXPECT_NE(text.find("sub/two.mp3\n"), std::string::npos) << text;
    EXPECT_NE(text.find("sub/three.MP3\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("notes.txt"), std::string::npos) << text;
    EXPECT_EQ(text.find(music), std::string::npos) << text;

    // List menu, top item: a new empty list.
    ASSERT_TRUE(run.x.click(run.window, W - 44 + 11, H + 29 - 30 + 9));
    run.shot();
    ASSERT_TRUE(run.x.click(run.window, W - 44 + 11, H + 29 - 66 + 9));
    EXPECT_EQ(lines_with_text(run, h, 6), 0);

    // List menu, bottom item: "Load Playlist " brings the three entries back.
    ASSERT_TRUE(run.x.click(run.window, W - 44 + 11, H + 29 - 30 + 9));
    run.shot();
    ASSERT_TRUE(run.x.click(run.window, W - 44 + 11, H + 29 - 30 + 9));
    ASSERT_TRUE(choose(run, "Load Playlist ", saved)) << run.log();
    EXPECT_EQ(lines_with_text(run, h, 6), 3);
}

TEST(PlaylistChoosers, CancelChangesNothing) {
    PlaylistRun run;
    PlaylistSetup s;
    s.pledit = PLEDIT;
    s.entries = {"/music/kept.mp3"};
    ASSERT_TRUE(run.start(s)) << run.why;
    const Image before = run.shot();
    ASSERT_TRUE(run.x.click(run.window, 25, H - 30 + 9));
    run.shot();
    ASSERT_TRUE(run.x.click(run.window, 25, H - 30 + 9));
    auto dialog = run.x.wait_window("Open File", milliseconds(10000));
    ASSERT_TRUE(dialog.has_value());
    pause_ms(700);
    run.x.key(*dialog, "Escape");
    EXPECT_TRUE(run.x.wait_window_gone("Open File", milliseconds(10000)));
    EXPECT_TRUE(run.shot().rgb == before.rgb);
}

} // namespace
