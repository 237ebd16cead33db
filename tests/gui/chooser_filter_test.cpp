// The "Open File" chooser's filters, through GTK's own chooser API: "Audio files" shows every
// type the player plays, whatever the case of the name, and "All files" everything else too.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <string>

#include "gui/skin_window.h"
#include "support/harness.h"

namespace {

// Whether `filter` shows the file, asked with the attributes the filter itself wants.
bool shows(GtkFileFilter *filter, const std::string &path) {
    GFile *file = g_file_new_for_path(path.c_str());
    char *attributes = g_strjoinv(",", const_cast<char **>(gtk_file_filter_get_attributes(filter)));
    GFileInfo *info = g_file_query_info(file, attributes, G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
    const bool shown = info != nullptr && gtk_filter_match(GTK_FILTER(filter), info);
    if (info != nullptr)
        g_object_unref(info);
    g_free(attributes);
    g_object_unref(file);
    return shown;
}

}  // namespace

TEST(ChooserFilters, OpenFileShowsAudioFilesAndOffersAllFiles) {
    Xvfb x;
    ASSERT_TRUE(x.ok());
    ScopedEnv display("DISPLAY", x.display());
    ScopedEnv backend("GDK_BACKEND", "x11");
    ASSERT_TRUE(gtk_init_check());
    GtkFileChooserNative *dialog = skin_chooser_new(nullptr, SKIN_CHOOSER_OPEN_FILE);
    GtkFileChooser *chooser = GTK_FILE_CHOOSER(dialog);
    GListModel *filters = gtk_file_chooser_get_filters(chooser);
    ASSERT_EQ(g_list_model_get_n_items(filters), 2u);
    GtkFileFilter *audio = GTK_FILE_FILTER(g_list_model_get_item(filters, 0));
    GtkFileFilter *all = GTK_FILE_FILTER(g_list_model_get_item(filters, 1));
    EXPECT_STREQ(gtk_file_filter_get_name(audio), "Audio files");
    EXPECT_STREQ(gtk_file_filter_get_name(all), "All files");
    EXPECT_EQ(gtk_file_chooser_get_filter(chooser), audio) << "the chooser opens on the audio files";

    TempDir dir("ravlox-filter");
    const std::string flac = read_file(fixture_path("flac16.flac"));
    const std::string opus = read_file(fixture_path("opus.opus"));
    for (const char *name : {"song.flac", "LOUD.OPUS", "tune.Ogg", "x.m4a", "book.M4B", "y.wv", "z.mp3", "w.aiff",
                             "v.WAV", "opus.opus"}) {
        ASSERT_TRUE(write_file(dir / name, name[0] == 'L' || name[0] == 'o' ? opus : flac));
        EXPECT_TRUE(shows(audio, dir / name)) << name;
        EXPECT_TRUE(shows(all, dir / name)) << name;
    }
    for (const char *name : {"notes.txt", "cover.jpg", "flac", "song.flac.part"}) {
        ASSERT_TRUE(write_file(dir / name, "not music"));
        EXPECT_FALSE(shows(audio, dir / name)) << name;
        EXPECT_TRUE(shows(all, dir / name)) << name;
    }
    g_object_unref(audio);
    g_object_unref(all);
    g_object_unref(filters);
    g_object_unref(dialog);
}
