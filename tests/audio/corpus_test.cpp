// Other people's MP3 files (../shared/corpus, from other projects' test suites): every one
// is opened and played to its end by the decoder in this process, without a sound device
// and without pacing, and whatever libmpg123 decodes matches the mpg123 command exactly; the
// file-info dialog reads of each what the manifest says the library found.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <glib.h>

#include "audio/decoder.h"
#include "audio/fileinfo.h"
#include "support/harness.h"

namespace {

// One column of MANIFEST.tsv by file, e.g. what libmpg123 did at opening ("lib_open": "0"
// opened, "-1" refused) or how often the format changed inside ("lib_format_changes").
std::map<std::string, std::string> manifest_column(const std::string &dir, const std::string &name) {
    std::map<std::string, std::string> open;
    std::ifstream in(dir + "/MANIFEST.tsv");
    std::string line;
    std::getline(in, line);
    std::vector<std::string> header;
    for (std::stringstream h(line); std::getline(h, line, '\t');)
        header.push_back(line);
    size_t column = 0;
    while (column < header.size() && header[column] != name)
        column++;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        for (std::stringstream l(line); std::getline(l, line, '\t');)
            f.push_back(line);
        if (column < f.size() && f[0].rfind("mp3/", 0) == 0)
            open[f[0]] = f[column];
    }
    return open;
}

std::vector<std::string> files_under(const std::string &dir, const std::string &rel) {
    std::vector<std::string> out;
    for (const std::string &name : list_dir(dir + "/" + rel)) {
        const std::string r = rel + "/" + name;
        if (is_directory(dir + "/" + r)) {
            const std::vector<std::string> sub = files_under(dir, r);
            out.insert(out.end(), sub.begin(), sub.end());
        } else {
            out.push_back(r);
        }
    }
    return out;
}

}  // namespace

TEST(Corpus, EveryMp3PlaysToItsEndAsTheLibraryDecodesIt) {
    const std::string dir = corpus_dir();
    if (dir.empty() || !is_directory(dir + "/mp3"))
        GTEST_SKIP() << "no corpus beside the repository (set RAVLOX_CORPUS_DIR)";
    const std::map<std::string, std::string> lib_open = manifest_column(dir, "lib_open");
    const std::map<std::string, std::string> changes = manifest_column(dir, "lib_format_changes");
    tHandleDecoder *d = static_cast<tHandleDecoder *>(calloc(1, sizeof(tHandleDecoder)));
    ASSERT_EQ(decoder_init(d, nullptr), 0);
    int files = 0, refused = 0, exact = 0, differ = 0, no_reference = 0, switching = 0;
    std::string report;
    for (const std::string &rel : files_under(dir, "mp3")) {
        const std::string path = dir + "/" + rel;
        files++;
        testing::internal::CaptureStdout();  // an unknown encoding is said on standard output
        const int32_t opened = decoder_open(d, path.c_str());
        std::vector<int16_t> pcm;
        int32_t state = -1;
        if (opened == 0) {
            EXPECT_EQ(decoder_seek(d, 0), 0) << rel;
            decoder_play(d);
            // A frame per tick; far more ticks than the longest file has frames.
            for (int tick = 0; tick < 200000 && d->state == DECODER_PLAYING; tick++) {
                decoder_tick(d);
                if (d->chunk.samples && d->chunk.bytes > 0) {
                    const int16_t *s = reinterpret_cast<const int16_t *>(d->chunk.samples);
                    pcm.insert(pcm.end(), s, s + d->chunk.bytes / 2);
                }
            }
            decoder_get_state(d, &state);
            decoder_pause(d);
        }
        testing::internal::GetCapturedStdout();
        const auto m = lib_open.find(rel);
        if (opened != 0) {
            refused++;
            report += "  refused: " + rel + " (manifest: " + (m != lib_open.end() ? m->second : "?") + ")\n";
            // The library could not open it either.
            if (m != lib_open.end()) {
                EXPECT_NE(m->second, "0") << rel << " opens in the library but not here";
            }
            continue;
        }
        EXPECT_EQ(state, DECODER_ENDED) << rel << " did not play to its end";
        const ReferencePcm ref = decode_reference(path);
        if (!ref.ok) {
            no_reference++;
            report += "  no reference decoding: " + rel + "\n";
        } else if (pcm == ref.samples) {
            exact++;
        } else if (const auto c = changes.find(rel); c != changes.end() && !c->second.empty() && c->second != "0") {
            // Around a change of format the command's output is not the library's frames;
            // the output tests check such a stream part by part instead.
            switching++;
            report += "  format changes inside: " + rel + "\n";
        } else {
            differ++;
            report += "  differs: " + rel + " (" + std::to_string(pcm.size()) + " values, mpg123 " +
                      std::to_string(ref.samples.size()) + ")\n";
            ADD_FAILURE() << rel << " does not decode as the mpg123 command decodes it";
        }
    }
    printf("corpus: %d files, %d bit-exact, %d with a format change, %d differ, %d without reference, "
           "%d refused\n%s",
           files, exact, switching, differ, no_reference, refused, report.c_str());
    EXPECT_GT(exact, 0);
}

TEST(Corpus, FileInfoSaysWhatTheLibraryFound) {
    const std::string dir = corpus_dir();
    if (dir.empty() || !is_directory(dir + "/mp3"))
        GTEST_SKIP() << "no corpus beside the repository (set RAVLOX_CORPUS_DIR)";
    std::map<std::string, std::map<std::string, std::string>> m;
    for (const char *column : {"lib_open", "lib_mpeg", "lib_layer", "lib_rate", "lib_channels", "lib_mode", "lib_vbr", "lib_length_s"})
        m[column] = manifest_column(dir, column);
    const std::map<std::string, std::string> modes = {
        {"stereo", "stereo"}, {"joint", "joint stereo"}, {"dual", "dual channel"}, {"mono", "mono"}};
    const std::map<std::string, std::string> layers = {{"1", "I"}, {"2", "II"}, {"3", "III"}};
    int described = 0, unreadable = 0;
    for (const std::string &rel : files_under(dir, "mp3")) {
        tFileInfo info;
        const int32_t result = fileinfo_read((dir + "/" + rel).c_str(), &info);
        for (const char *text : {info.format, info.error, info.tags.title, info.tags.artist, info.tags.album,
                                 info.tags.year, info.tags.track, info.tags.genre, info.tags.comment})
            EXPECT_TRUE(g_utf8_validate(text, -1, nullptr)) << rel;
        if (result != 0) {
            unreadable++;
            EXPECT_NE(info.error[0], '\0') << rel;
            EXPECT_NE(m["lib_open"][rel], "0") << rel << " opens in the library: " << info.error;
            continue;
        }
        if (m["lib_open"][rel] != "0")
            continue; // found by a closer look than the manifest's
        described++;
        const std::string vbr = m["lib_vbr"][rel];
        const std::string expected = "MPEG-" + m["lib_mpeg"][rel] + " Layer " + layers.at(m["lib_layer"][rel]) + ", " +
                                     modes.at(m["lib_mode"][rel]) +
                                     (vbr == "vbr" ? ", VBR" : vbr == "abr" ? ", ABR" : "");
        EXPECT_EQ(info.format, expected) << rel;
        EXPECT_EQ(std::to_string(info.rate), m["lib_rate"][rel]) << rel;
        EXPECT_EQ(std::to_string(info.channels), m["lib_channels"][rel]) << rel;
        EXPECT_EQ(std::to_string(info.length), m["lib_length_s"][rel]) << rel;
        EXPECT_GE(info.bitrate, 0) << rel;
    }
    printf("file info: %d described as the library found them, %d unreadable\n", described, unreadable);
    EXPECT_GT(described, 100);
}
