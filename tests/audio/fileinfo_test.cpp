// What the file-info dialog reads of a file: MP3 through libmpg123, the other formats through
// FFmpeg, and files that cannot be read, which say why and leave nothing half filled in.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <string>

#include <glib.h>
#include <mpg123.h>

#include "audio/decoder.h"
#include "audio/fileinfo.h"
#include "support/harness.h"

namespace {

tFileInfo read_info(const std::string &path, int32_t expect = 0) {
    tFileInfo info;
    EXPECT_EQ(fileinfo_read(path.c_str(), &info), expect) << path << ": " << info.error;
    return info;
}

std::string shown(void (*text)(const tFileInfo *, char *, size_t), const tFileInfo &info) {
    char out[64];
    text(&info, out, sizeof out);
    return out;
}

} // namespace

TEST(FileInfo, Mp3FilesByLame) {
    const tFileInfo vbr = read_info(fixture_path("info.mp3"));
    EXPECT_STREQ(vbr.format, "MPEG-2 Layer III, mono, VBR");
    EXPECT_EQ(vbr.length, 2);
    EXPECT_EQ(vbr.rate, 22050);
    EXPECT_EQ(vbr.channels, 1);
    EXPECT_EQ(vbr.average, 1);
    // lame's -V 4 on a plain tone at 22.05 kHz: far below the top rate of MPEG-2 (160).
    EXPECT_GT(vbr.bitrate, 8);
    EXPECT_LT(vbr.bitrate, 160);
    EXPECT_STREQ(vbr.tags.title, "Info Title");
    EXPECT_STREQ(vbr.tags.artist, "Info Artist");
    EXPECT_STREQ(vbr.tags.album, "Info Album");
    EXPECT_STREQ(vbr.tags.genre, "Jazz");
    EXPECT_STREQ(vbr.error, "");
    EXPECT_EQ(shown(fileinfo_channels_text, vbr), "1 (mono)");
    EXPECT_EQ(shown(fileinfo_rate_text, vbr), "22050 Hz");
    EXPECT_EQ(shown(fileinfo_length_text, vbr), "0:02");
    EXPECT_NE(shown(fileinfo_bitrate_text, vbr).find(" kbit/s on average"), std::string::npos);

    const tFileInfo cbr = read_info(fixture_path("tagged.mp3"));
    EXPECT_STREQ(cbr.format, "MPEG-1 Layer III, joint stereo");
    EXPECT_EQ(cbr.bitrate, 128);
    EXPECT_EQ(cbr.average, 0);
    EXPECT_EQ(cbr.channels, 2);
    EXPECT_EQ(shown(fileinfo_bitrate_text, cbr), "128 kbit/s");
    EXPECT_EQ(shown(fileinfo_channels_text, cbr), "2 (stereo)");
    EXPECT_EQ(read_info(fixture_path("len10_9.mp3")).length, 10);
    EXPECT_EQ(read_info(fixture_path("mono8.mp3")).rate, 8000);
    EXPECT_STREQ(read_info(fixture_path("mono8.mp3")).format, "MPEG-2.5 Layer III, mono");
}

TEST(FileInfo, OtherFormatsThroughFfmpeg) {
    const tFileInfo flac = read_info(fixture_path("tagged.flac"));
    EXPECT_NE(std::string(flac.format).find("FLAC"), std::string::npos) << flac.format;
    EXPECT_EQ(flac.length, 2);
    EXPECT_EQ(flac.rate, 44100);
    EXPECT_EQ(flac.channels, 1);
    EXPECT_GT(flac.bitrate, 0);
    EXPECT_EQ(flac.average, 1);
    EXPECT_STREQ(flac.tags.title, "Flac Title");
    EXPECT_STREQ(flac.tags.artist, "Flac Artist");
    EXPECT_STREQ(flac.tags.album, "Flac Album");
    EXPECT_STREQ(flac.tags.track, "7");
    EXPECT_STREQ(flac.tags.year, "2019");
    EXPECT_STREQ(flac.tags.genre, "Flac Genre");
    EXPECT_STREQ(flac.tags.comment, "Flac comment");

    struct Case {
        const char *name;
        const char *format_part;
        int32_t rate, channels, length;
    };
    for (const Case &c : {Case{"tagged.ogg", "Vorbis in Ogg", 44100, 1, 2}, Case{"opus16ch.opus", " in Ogg", 48000, 16, 1},
                          Case{"tagged.m4a", "ALAC", 44100, 2, 3}, Case{"aac.m4a", "AAC", 44100, 2, 3},
                          Case{"wav51.wav", " in WAV", 48000, 6, 2}, Case{"aiff16.aiff", " in AIFF", 44100, 2, 3},
                          Case{"wavpack24.wv", "WavPack", 48000, 2, 2}, Case{"flac_named.mp3", "FLAC", 44100, 2, 3}}) {
        const tFileInfo info = read_info(fixture_path(c.name));
        EXPECT_NE(std::string(info.format).find(c.format_part), std::string::npos) << c.name << ": " << info.format;
        EXPECT_EQ(info.rate, c.rate) << c.name;
        EXPECT_EQ(info.channels, c.channels) << c.name;
        EXPECT_EQ(info.length, c.length) << c.name;
        EXPECT_GT(info.bitrate, 0) << c.name;
    }
    const tFileInfo wav = read_info(fixture_path("wav16.wav"));
    EXPECT_EQ(wav.bitrate, 1411) << "44100 × 2 × 16 bits";
    EXPECT_EQ(wav.average, 0);
    EXPECT_STREQ(read_info(fixture_path("tagged.m4a")).tags.album, "Mp4 Album");
}

TEST(FileInfo, WhatCannotBeReadSaysWhyAndKnowsNothing) {
    TempDir dir("ravlox-fileinfo");
    ASSERT_TRUE(write_file(dir / "notes.mp3", "Nothing but words in here, line after line.\n"));
    const std::string fifo = dir / "pipe.flac";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        const char *why;
    };
    const auto start = std::chrono::steady_clock::now();
    for (const Case &c : {Case{dir / "missing.mp3", "No such file"}, Case{dir.path(), "not a regular file"},
                          Case{fifo, "not a regular file"}, Case{"/dev/zero", "not a regular file"},
                          Case{fixture_path("empty.mp3"), "empty"}, Case{dir / "notes.mp3", "No sound"},
                          Case{fixture_path("cover_only.m4a"), "No sound"}, Case{"", "names no file"}}) {
        const tFileInfo info = read_info(c.path, -1);
        EXPECT_NE(std::string(info.error).find(c.why), std::string::npos) << c.path << ": " << info.error;
        EXPECT_STREQ(info.format, "") << c.path;
        EXPECT_EQ(info.length, -1) << c.path;
        EXPECT_EQ(info.rate, 0) << c.path;
        EXPECT_STREQ(info.tags.title, "") << c.path;
        EXPECT_EQ(shown(fileinfo_length_text, info), "-");
        EXPECT_EQ(shown(fileinfo_rate_text, info), "-");
        EXPECT_EQ(shown(fileinfo_channels_text, info), "-");
        EXPECT_EQ(shown(fileinfo_bitrate_text, info), "-");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "the pipe held it up";

    // Damaged files say what they can; whatever they say is text.
    for (const char *name : {"truncated.mp3", "random.mp3", "short.mp3", "truncated.flac", "damaged.ogg"}) {
        tFileInfo info;
        fileinfo_read(fixture_path(name).c_str(), &info);
        EXPECT_TRUE(g_utf8_validate(info.format, -1, nullptr)) << name;
        EXPECT_GE(info.length, -1) << name;
    }
}

TEST(FileInfo, ReadingLeavesThePlayingDecoderAlone) {
    auto *d = static_cast<tHandleDecoder *>(calloc(1, sizeof(tHandleDecoder)));
    ASSERT_EQ(decoder_init(d, nullptr), 0);
    ASSERT_EQ(decoder_open(d, fixture_path("stereo44.mp3").c_str()), 0);
    ASSERT_EQ(decoder_play(d), 0);
    for (int i = 0; i < 20; i++)
        decoder_tick(d);
    const int64_t before = d->song.position;
    const off_t at = mpg123_tell(d->stream.mh);
    // The playing file and others of both back ends.
    for (const char *name : {"stereo44.mp3", "info.mp3", "tagged.flac"})
        read_info(fixture_path(name));
    EXPECT_EQ(mpg123_tell(d->stream.mh), at);
    EXPECT_EQ(d->song.position, before);
    EXPECT_STREQ(d->song.path, fixture_path("stereo44.mp3").c_str());
    decoder_tick(d);
    EXPECT_GT(mpg123_tell(d->stream.mh), at) << "decoding goes on where it was";
    EXPECT_EQ(d->state, DECODER_PLAYING);
    free(d);
}
