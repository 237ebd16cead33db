// Files dropped from a file manager: a real GdkFileList through the windows' drop targets, in
// a fully started player.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtk/gtk.h>

#include "support/live_handle.h"

namespace {

GtkDropTarget *drop_target_of(GtkWidget *widget) {
    GListModel *controllers = gtk_widget_observe_controllers(widget);
    GtkDropTarget *found = nullptr;
    for (guint k = 0; k < g_list_model_get_n_items(controllers) && !found; ++k) {
        GObject *controller = G_OBJECT(g_list_model_get_item(controllers, k));
        if (GTK_IS_DROP_TARGET(controller))
            found = GTK_DROP_TARGET(controller);
        g_object_unref(controller);
    }
    g_object_unref(controllers);
    return found;
}

// What the drop target answers to a drop of these paths.
bool drop(GtkWidget *window, const std::vector<std::string> &paths) {
    GtkDropTarget *target = drop_target_of(window);
    EXPECT_NE(target, nullptr);
    if (!target)
        return false;
    const GType *types = nullptr;
    gsize n = 0;
    types = gtk_drop_target_get_gtypes(target, &n);
    EXPECT_TRUE(n == 1 && types[0] == GDK_TYPE_FILE_LIST);
    GSList *files = nullptr;
    for (const std::string &p : paths)
        files = g_slist_append(files, g_file_new_for_path(p.c_str()));
    GValue value = G_VALUE_INIT;
    g_value_init(&value, GDK_TYPE_FILE_LIST);
    g_value_take_boxed(&value, gdk_file_list_new_from_list(files));
    gboolean accepted = FALSE;
    g_signal_emit_by_name(target, "drop", &value, 20.0, 20.0, &accepted);
    g_value_unset(&value);
    g_slist_free_full(files, g_object_unref);
    return accepted;
}

std::vector<std::string> entries(tHandle *h) {
    std::vector<std::string> paths;
    for (int32_t k = 0; k < h->playlist.count; ++k)
        paths.push_back(h->playlist.entries[k].path);
    return paths;
}

std::string playing(tHandle *h) {
    tSongInfo song{};
    handle_get_song_info(h, &song);
    return song.path;
}

class Drop : public testing::Test {
protected:
    void SetUp() override {
        music = dir / "music";
        std::filesystem::create_directories(music + "/deeper");
        std::filesystem::copy_file(fixture_path("mono22.mp3"), music + "/one.mp3");
        std::filesystem::copy_file(fixture_path("mono8.mp3"), music + "/two.MP3");
        std::filesystem::copy_file(fixture_path("stereo48.mp3"), music + "/deeper/inner.mp3");
        ASSERT_TRUE(write_file(music + "/cover.txt", "not music"));
        song = dir / "song.mp3";
        std::filesystem::copy_file(fixture_path("stereo44.mp3"), song);
        list = dir / "list.M3U";
        ASSERT_TRUE(write_file(list, fixture_path("tagged.mp3") + "\r\n" + "relative.mp3\n"));
        first = dir / "first.m3u";
        ASSERT_TRUE(write_file(first, fixture_path("len10_9.mp3") + "\n"));
    }

    TempDir dir{"ravlox-drop"};
    std::string music, song, list, first;
};

} // namespace

TEST_F(Drop, OntoThePlaylistAddsAtTheEndAndPlaysTheFirstDropped) {
    LiveHandle live({"--playlist.m3u=" + first});
    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    GtkWidget *playlist = h->gui.window_playlist.window;

    EXPECT_TRUE(drop(playlist, {song, music, list, dir / "gone.mp3"}));
    live.pump(100);
    std::vector<std::string> got = entries(h);
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(got[0], fixture_path("len10_9.mp3")) << "what was there stays first";
    EXPECT_EQ(got[1], song);
    // The folder's songs by name, a sub-folder's where its name falls; not the notes.
    const std::vector<std::string> folder(got.begin() + 2, got.begin() + 5);
    EXPECT_EQ(folder, (std::vector<std::string>{music + "/deeper/inner.mp3", music + "/one.mp3", music + "/two.MP3"}));
    EXPECT_EQ(got[5], fixture_path("tagged.mp3"));
    EXPECT_EQ(got[6], dir / "relative.mp3") << "a playlist's own folder completes its relative lines";
    EXPECT_EQ(h->playlist.current, 1);
    EXPECT_EQ(playing(h), song);
    EXPECT_EQ(live.decoder_state(), DECODER_PLAYING);
    EXPECT_EQ(live.status(), STATUS_PLAYING);

    // Nothing usable: refused, and the list and what plays stay.
    EXPECT_FALSE(drop(playlist, {dir / "gone.mp3", dir / "gone"}));
    EXPECT_EQ(entries(h), got);
    EXPECT_EQ(h->playlist.current, 1);
    EXPECT_EQ(playing(h), song);
}

TEST_F(Drop, OntoTheMainWindowReplacesTheListAndPlays) {
    LiveHandle live({"--playlist.m3u=" + first});
    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    GtkWidget *main = h->gui.window_main.window;
    ASSERT_EQ(entries(h).size(), 1u);

    EXPECT_FALSE(drop(main, {dir / "gone.mp3"}));
    EXPECT_EQ(entries(h).size(), 1u) << "a refused drop does not empty the list";

    EXPECT_TRUE(drop(main, {list}));
    live.pump(100);
    EXPECT_EQ(entries(h), (std::vector<std::string>{fixture_path("tagged.mp3"), dir / "relative.mp3"}));
    EXPECT_EQ(h->playlist.current, 0);
    EXPECT_EQ(playing(h), fixture_path("tagged.mp3"));
    EXPECT_EQ(live.status(), STATUS_PLAYING);

    // The main window's drop replaces; the playlist window's appends.
    EXPECT_TRUE(drop(main, {music}));
    EXPECT_EQ(entries(h).size(), 3u);
    EXPECT_EQ(playing(h), entries(h)[0]);
    EXPECT_TRUE(drop(h->gui.window_playlist.window, {song}));
    EXPECT_EQ(entries(h).size(), 4u);
    EXPECT_EQ(playing(h), song);
}

// The library's other types come in by drop as MP3s do: files, a folder's by their names in
// any case, and a playlist's lines; the first of them plays.
TEST_F(Drop, EveryPlayedTypeComesInAndPlays) {
    LiveHandle live;
    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    const std::string library = dir / "library";
    std::filesystem::create_directories(library);
    std::filesystem::copy_file(fixture_path("opus.opus"), library + "/a.OPUS");
    std::filesystem::copy_file(fixture_path("aac.m4a"), library + "/b.m4a");
    std::filesystem::copy_file(fixture_path("wavpack.wv"), library + "/c.wv");
    const std::string listed = dir / "listed.m3u";
    ASSERT_TRUE(write_file(listed, fixture_path("vorbis.ogg") + "\naiff16.aiff\n"));
    std::filesystem::copy_file(fixture_path("aiff16.aiff"), dir / "aiff16.aiff");

    EXPECT_TRUE(drop(h->gui.window_main.window, {fixture_path("flac16.flac"), library, listed}));
    live.pump(100);
    EXPECT_EQ(entries(h), (std::vector<std::string>{fixture_path("flac16.flac"), library + "/a.OPUS", library + "/b.m4a",
                                                   library + "/c.wv", fixture_path("vorbis.ogg"), dir / "aiff16.aiff"}));
    EXPECT_EQ(playing(h), fixture_path("flac16.flac"));
    EXPECT_EQ(live.decoder_state(), DECODER_PLAYING);
    EXPECT_EQ(h->decoder.song.rate, 44100);
}

// A replacing drop that adds nothing keeps the list, also when the list is full. The artist's
// folder holds album folders without songs.
TEST_F(Drop, OntoTheMainWindowNothingToAddKeepsTheList) {
    const std::string artist = dir / "artist";
    std::filesystem::create_directories(artist + "/album one");
    std::filesystem::create_directories(artist + "/album two");
    ASSERT_TRUE(write_file(artist + "/album one/cover.txt", "not music"));
    const std::string empty = dir / "empty";
    std::filesystem::create_directories(empty);
    const std::string blank = dir / "blank.m3u";
    ASSERT_TRUE(write_file(blank, ""));
    const std::string lines = dir / "lines.m3u";
    ASSERT_TRUE(write_file(lines, "\n\r\n\n"));
    const std::string two = dir / "two.m3u";
    ASSERT_TRUE(write_file(two, fixture_path("tagged.mp3") + "\n" + fixture_path("len10_9.mp3") + "\n"));

    LiveHandle live({"--playlist.m3u=" + two});
    ASSERT_TRUE(live.ok());
    tHandle *h = live.get();
    GtkWidget *main = h->gui.window_main.window;
    ASSERT_TRUE(live.dispatch(EVENT_NEXT) == 0 && live.dispatch(EVENT_PLAY) == 0);
    const std::vector<std::string> before = entries(h);
    ASSERT_EQ(before.size(), 2u);

    for (const std::vector<std::string> &paths :
         std::vector<std::vector<std::string>>{{artist}, {empty}, {blank}, {lines}, {empty, blank, artist}}) {
        EXPECT_FALSE(drop(main, paths)) << paths[0];
        EXPECT_EQ(entries(h), before) << paths[0];
        EXPECT_EQ(h->playlist.current, 1) << paths[0];
        EXPECT_EQ(playing(h), before[1]) << paths[0];
        EXPECT_EQ(live.status(), STATUS_PLAYING) << paths[0];
    }

    // A full list: refused and kept whole, with its last entry's mark; what adds replaces it.
    static tSongInfo entry;
    while (h->playlist.count < PLAYLIST_CAPACITY) {
        snprintf(entry.path, sizeof entry.path, "%s/%d.mp3", dir.path().c_str(), h->playlist.count);
        playlist_add(&h->playlist, &entry);
    }
    playlist_toggle_selected(&h->playlist, PLAYLIST_CAPACITY - 1);
    const std::vector<std::string> full = entries(h);
    EXPECT_FALSE(drop(main, {empty, lines}));
    EXPECT_EQ(entries(h), full);
    EXPECT_EQ(h->playlist.selected[PLAYLIST_CAPACITY - 1], 1);
    EXPECT_EQ(h->playlist.current, 1);
    EXPECT_TRUE(drop(main, {song, music}));
    ASSERT_EQ(entries(h).size(), 4u);
    EXPECT_EQ(entries(h)[0], song);
    EXPECT_EQ(h->playlist.selected[0] + h->playlist.selected[1] + h->playlist.selected[2] + h->playlist.selected[3], 0);
    EXPECT_EQ(playing(h), song);
}
