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

// A library of every type in album folders, added by "Open Directory": the albums in natural
// order, each file once, then played through to the end, every file heard whole in its turn,
// and every entry titled from its tags in the list kept for the next start.
TEST(PlaylistChoosers, AFolderOfEveryTypePlaysThroughWithTitlesFromTags) {
    if (!missing_program({"ffmpeg", "ffprobe", "mpg123"}).empty())
        GTEST_SKIP() << "reference decoders missing";
    PlaylistRun run;
    PlaylistSetup s;
    s.rows = 3;
    s.alsa = AlsaConfig::FileAppend;
    ASSERT_TRUE(run.start(s)) << run.why;
    struct Song {
        std::string fixture, name, title;
        int channels;
        bool dithered = false;  // float samples in: within 1 of the reference, not equal to it
    };
    const std::vector<Song> songs = {
        {"tagged.flac", "Album One/01 a.flac", "Flac Artist - Flac Title", 1},
        {"tagged.ogg", "Album One/02 b.ogg", "Ogg Artist - Ogg Title", 1, true},
        {"tagged.m4a", "Album One/10 c.M4A", "Mp4 Artist - Mp4 Title", 2},
        {"tagged.wav", "Album Two/1 d.wav", "Id3 Artist - Id3 Wav Title", 1},
        {"tagged.aiff", "Album Two/2 e.aiff", "Id3 Artist - Id3 Aiff Title", 1},
        {"tagged.wv", "Album Two/3 f.wv", "Ape Artist - Ape Title", 1},
        {"tagged.mp3", "Album Two/4 g.mp3", "Fixture Artist - Fixture Title", 2},
    };
    const std::string music = run.dir / "Artist";
    std::filesystem::create_directories(music + "/Album One");
    std::filesystem::create_directories(music + "/Album Two");
    for (const Song &song : songs)
        std::filesystem::copy_file(fixture_path(song.fixture), music + "/" + song.name);
    write_file(music + "/Album One/cover.jpg", "not music");

    ASSERT_TRUE(run.x.click(run.window, 25, H + 29 - 30 + 9));
    run.shot();
    ASSERT_TRUE(run.x.click(run.window, 25, H + 29 - 48 + 9));
    ASSERT_TRUE(choose(run, "Open Directory", music + "/")) << run.log();
    // Nothing is open yet: a double click opens the first entry, and Play plays it.
    ASSERT_TRUE(run.x.double_click(run.window, 100, line_middle(1, 0, line_height(1))));
    pause_ms(400);
    ASSERT_TRUE(run.x.key(run.main_window, "x"));
    const auto start = std::chrono::steady_clock::now();

    // Every file's sound in the capture, in the list's order (silent frames left out on both
    // sides, as the paced device plays silence where the busy machine let it run dry).
    std::vector<std::vector<int16_t>> want;
    size_t total = 0;
    for (const Song &song : songs) {
        const std::string path = fixture_path(song.fixture);
        const ReferencePcm ref =
            song.fixture == "tagged.mp3" ? decode_reference(path) : decode_ffmpeg_reference(path, song.channels);
        ASSERT_TRUE(ref.ok) << path;
        want.push_back(audible_frames(as_stereo(ref)));
        total += want.back().size();
    }
    // Each new stream goes to a file of its own: "capture.raw", then "capture.raw.0001" and on.
    auto captured = [&run] {
        std::vector<int16_t> all;
        for (const std::string &f : list_dir(run.dir.path()))
            if (f.rfind("capture.raw", 0) == 0) {
                const std::vector<int16_t> s = read_samples(run.dir / f);
                all.insert(all.end(), s.begin(), s.end());
            }
        return audible_frames(all);
    };
    // Played through once the capture holds enough and has stopped growing.
    std::vector<int16_t> heard;
    for (size_t last = SIZE_MAX; heard.size() != last || heard.size() < total;) {
        if (std::chrono::steady_clock::now() > start + std::chrono::seconds(90))
            break;
        last = heard.size();
        pause_ms(1000);
        heard = captured();
    }
    ASSERT_GE(heard.size(), total) << run.log();
    // A dithered file's frames are counted between the files around it.
    size_t from = 0;
    size_t dithered = 0;
    for (size_t i = 0; i < songs.size(); i++) {
        if (songs[i].dithered) {
            dithered = want[i].size();
            continue;
        }
        const std::optional<size_t> at = find_samples(heard, want[i], from);
        EXPECT_TRUE(at.has_value()) << songs[i].name << " not heard whole after value " << from;
        if (!at)
            continue;
        EXPECT_NEAR(static_cast<double>(*at - from), static_cast<double>(dithered), dithered / 100.0 + 1)
            << "before " << songs[i].name;
        from = *at + want[i].size();
        dithered = 0;
    }

    const std::string kept = read_file(run.data + "/playlist.m3u8");
    size_t line = 0;
    for (const Song &song : songs) {
        line = kept.find("," + song.title + "\n" + music + "/" + song.name + "\n", line);
        EXPECT_NE(line, std::string::npos) << song.name << " untitled or out of order:\n" << kept;
    }
    EXPECT_NE(kept.find("\n#RAVLOX-ENTRIES:7\n"), std::string::npos) << "the picture is no entry:\n" << kept;
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
