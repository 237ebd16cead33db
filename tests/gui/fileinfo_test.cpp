// The playlist's "File info" in the player itself: its misc menu clicked on the display, the
// dialog's texts read back from its labels, for the selected entry or else the current one,
// for a file that cannot be read, and while another file plays.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>

#include "core/handle.h"
#include "support/harness.h"
#include "support/live_handle.h"

namespace {

class FileInfoDialog : public testing::Test {
protected:
    void SetUp() override {
        std::string m3u;
        for (const std::string &path : {fixture_path("info.mp3"), fixture_path("tagged.flac"), dir_ / "gone.mp3",
                                        fixture_path("stereo44.mp3")})
            m3u += path + "\n";
        ASSERT_TRUE(write_file(dir_ / "list.m3u", m3u));
        live_ = std::make_unique<LiveHandle>(std::vector<std::string>{"--playlist.m3u=" + (dir_ / "list.m3u")});
        ASSERT_TRUE(live_->ok());
        h_ = live_->get();
        live_->dispatch_int(EVENT_SHOW_PLAYLIST, 1);
        live_->pump(300);
        auto w = live_->display().wait_window("ravlox playlist");
        ASSERT_TRUE(w.has_value());
        window_ = *w;
        // Clear of the main window.
        live_->display().xdotool({"windowmove", window_, "0", "300"});
        live_->pump(300);
    }

    // The misc menu's button, then its middle item, as a user clicks them.
    void open_file_info() {
        const int bottom = h_->gui.window_playlist.height;
        Xvfb &x = live_->display();
        ASSERT_TRUE(x.click(window_, 112, bottom - 21));
        live_->pump(300);
        ASSERT_EQ(h_->gui.window_playlist.menu_open[PLAYLIST_MENU_MISC], 1);
        ASSERT_TRUE(x.click(window_, 112, bottom - 39));
        live_->pump(500);
        ASSERT_NE(dialog()->window, nullptr);
        ASSERT_TRUE(gtk_widget_get_visible(dialog()->window));
    }

    tHandleWindowFileInfo *dialog() { return &h_->gui.window_fileinfo; }
    std::string value(int32_t row) { return gtk_label_get_text(GTK_LABEL(dialog()->values[row])); }
    bool says_unreadable() {
        return gtk_widget_get_visible(dialog()->message) &&
               std::string(gtk_label_get_text(GTK_LABEL(dialog()->message))).find("cannot be read") != std::string::npos;
    }
    void close() {
        window_fileinfo_hide(dialog());
        live_->pump(100);
    }

    TempDir dir_{"ravlox-fileinfo-gui"};
    std::unique_ptr<LiveHandle> live_;
    tHandle *h_ = nullptr;
    std::string window_;
};

TEST_F(FileInfoDialog, TheSelectedEntryElseTheCurrentOne) {
    // Nothing selected: the current entry, the lame-tagged MP3.
    open_file_info();
    EXPECT_TRUE(live_->display().wait_window("File info", milliseconds(3000)).has_value());
    EXPECT_EQ(value(FILEINFO_PATH), fixture_path("info.mp3"));
    EXPECT_EQ(value(FILEINFO_TITLE), "Info Title");
    EXPECT_EQ(value(FILEINFO_ARTIST), "Info Artist");
    EXPECT_EQ(value(FILEINFO_ALBUM), "Info Album");
    EXPECT_EQ(value(FILEINFO_YEAR), "2018");
    EXPECT_EQ(value(FILEINFO_TRACK), "3/9");
    EXPECT_EQ(value(FILEINFO_GENRE), "Jazz");
    EXPECT_EQ(value(FILEINFO_COMMENT), "Info comment");
    EXPECT_EQ(value(FILEINFO_FORMAT), "MPEG-2 Layer III, mono, VBR");
    EXPECT_EQ(value(FILEINFO_LENGTH), "0:02");
    EXPECT_EQ(value(FILEINFO_RATE), "22050 Hz");
    EXPECT_EQ(value(FILEINFO_CHANNELS), "1 (mono)");
    EXPECT_NE(value(FILEINFO_BITRATE).find("kbit/s"), std::string::npos);
    EXPECT_FALSE(gtk_widget_get_visible(dialog()->message));
    close();

    // The selected FLAC, made by the fixture script.
    playlist_toggle_selected(&h_->playlist, 1);
    open_file_info();
    EXPECT_EQ(value(FILEINFO_TITLE), "Flac Title");
    EXPECT_EQ(value(FILEINFO_ARTIST), "Flac Artist");
    EXPECT_EQ(value(FILEINFO_ALBUM), "Flac Album");
    EXPECT_EQ(value(FILEINFO_GENRE), "Flac Genre");
    EXPECT_EQ(value(FILEINFO_COMMENT), "Flac comment");
    EXPECT_NE(value(FILEINFO_FORMAT).find("FLAC"), std::string::npos);
    EXPECT_EQ(value(FILEINFO_RATE), "44100 Hz");
    EXPECT_FALSE(says_unreadable());
    close();

    // A file that is gone says so, and shows no number of the file before.
    playlist_select(&h_->playlist, PLAYLIST_SELECT_NONE);
    playlist_toggle_selected(&h_->playlist, 2);
    open_file_info();
    EXPECT_TRUE(says_unreadable()) << gtk_label_get_text(GTK_LABEL(dialog()->message));
    EXPECT_EQ(value(FILEINFO_PATH), dir_ / "gone.mp3");
    for (int32_t row : {FILEINFO_FORMAT, FILEINFO_LENGTH, FILEINFO_RATE, FILEINFO_CHANNELS, FILEINFO_BITRATE})
        EXPECT_EQ(value(row), "-") << row;
    EXPECT_EQ(value(FILEINFO_TITLE), "");
    EXPECT_TRUE(live_->display().wait_window("File info", milliseconds(3000)).has_value());
}

TEST_F(FileInfoDialog, PlayingGoesOnWhileAnotherFileIsLookedAt) {
    live_->dispatch_int(EVENT_PLAY, 3);
    live_->pump(300);
    ASSERT_EQ(live_->decoder_state(), DECODER_PLAYING);
    tSongInfo before{};
    decoder_get_song_info(&h_->decoder, &before);
    playlist_toggle_selected(&h_->playlist, 1);
    open_file_info();
    EXPECT_EQ(value(FILEINFO_TITLE), "Flac Title");
    EXPECT_EQ(live_->decoder_state(), DECODER_PLAYING);
    tSongInfo after{};
    decoder_get_song_info(&h_->decoder, &after);
    EXPECT_STREQ(after.path, fixture_path("stereo44.mp3").c_str());
    EXPECT_EQ(after.rate, 44100);
    EXPECT_GE(after.position, before.position);
    EXPECT_EQ(h_->playlist.current, 3);
}

} // namespace
