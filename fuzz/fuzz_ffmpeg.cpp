// The FFmpeg back end on its own, with its allow-list: the bytes are written as a file, their
// file info and tags read, opened (probe, container, stream analysis) and decoded to the end
// with seeks to positions chosen from the input.
#include <fcntl.h>
#include <unistd.h>

#include <glib.h>

#include "audio/ffmpeg_stream.h"
#include "audio/fileinfo.h"
#include "audio/tags.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static tFfmpegStream stream;
    const std::string path = fuzz::data_dir() + "/track";
    fuzz::Rng rng(data, size);
    fuzz::FdGuard fds;
    if (!fuzz::write_file(path, data, size))
        return 0;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    // What the dialog shows: numbers in range and texts, through whichever library takes it.
    static tFileInfo info;
    const int32_t read = fileinfo_read(path.c_str(), &info);
    FUZZ_CHECK(info.length >= -1 && info.rate >= 0 && info.channels >= 0 && info.bitrate >= 0,
               "length %d rate %d channels %d bit rate %d", info.length, info.rate, info.channels, info.bitrate);
    FUZZ_CHECK(read == 0 || (info.error[0] != '\0' && info.format[0] == '\0'), "read %d [%s]", read, info.format);
    for (const char *text : {info.format, info.tags.title, info.tags.artist, info.tags.album, info.tags.year,
                             info.tags.track, info.tags.genre, info.tags.comment})
        FUZZ_CHECK(g_utf8_validate(text, -1, nullptr), "not UTF-8: [%s]", text);
    tSongTags tags;
    ffmpeg_read_tags(fd, &tags);
    if (ffmpeg_open(&stream, fd) == 0) {
        FUZZ_CHECK(stream.rate > 0 && (stream.channels == 1 || stream.channels == 2) && stream.length >= 0,
                   "rate %d channels %d", stream.rate, stream.channels);
        ffmpeg_tags(&stream, &tags);
        // Every call reads at least one packet of at least one byte or ends, so a pass takes at
        // most about as many calls as the file has bytes.
        const int seeks = static_cast<int>(rng.next() % 4);
        const size_t pass = size + 1000;
        size_t calls = 0, budget = pass;
        for (int done_seeks = 0;; ++calls) {
            FUZZ_CHECK(calls < budget, "still decoding after %zu calls", calls);
            if (done_seeks < seeks && rng.next() % 64 == 0) {
                const int64_t sample = static_cast<int64_t>(rng.next() % (static_cast<uint64_t>(stream.length) + 1000));
                ffmpeg_seek(&stream, sample);
                ++done_seeks;
                budget = calls + pass;
            }
            const int32_t r = ffmpeg_decode(&stream);
            FUZZ_CHECK(stream.pcm_frames >= 0 && stream.pcm_frames <= stream.pcm_capacity, "frames %d of %d",
                       stream.pcm_frames, stream.pcm_capacity);
            if (r == 1)
                break;
        }
    }
    ffmpeg_close(&stream);
    close(fd);
    return 0;
}
