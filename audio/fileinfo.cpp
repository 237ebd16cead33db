// What a file holds, for the file-info dialog.
#include "audio/fileinfo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mpg123.h>

#include "audio/ffmpeg_stream.h"

namespace {

constexpr const char *LAYERS[] = {"", "I", "II", "III"};
constexpr const char *VERSIONS[] = {"MPEG-1", "MPEG-2", "MPEG-2.5"};
constexpr const char *MODES[] = {"stereo", "joint stereo", "dual channel", "mono"};

int32_t fail(tFileInfo *info, const char *why) {
    snprintf(info->error, sizeof info->error, "%s", why);
    return -1;
}

int32_t read_mpeg(int fd, off_t size, tFileInfo *info) {
    int err = MPG123_OK;
    mpg123_handle *mh = mpg123_new(nullptr, &err);
    if (mh == nullptr)
        return fail(info, "The MPEG audio library could not be started.");
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    int32_t result = -1;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    mpg123_frameinfo2 frame{};
    if (mpg123_open_fd(mh, fd) != MPG123_OK) {
        fail(info, "The file could not be read.");
    } else if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 || channels <= 0 ||
               mpg123_info2(mh, &frame) != MPG123_OK) {
        fail(info, "No sound that can be played was found in the file.");
    } else {
        info->rate = static_cast<int32_t>(rate);
        info->channels = channels;
        const unsigned version = static_cast<unsigned>(frame.version);
        const unsigned layer = static_cast<unsigned>(frame.layer);
        const unsigned mode = static_cast<unsigned>(frame.mode);
        snprintf(info->format, sizeof info->format, "%s Layer %s, %s%s", version < 3 ? VERSIONS[version] : "MPEG",
                 layer < 4 ? LAYERS[layer] : "", mode < 4 ? MODES[mode] : "",
                 frame.vbr == MPG123_CBR ? "" : frame.vbr == MPG123_ABR ? ", ABR" : ", VBR");
        tags_read(mh, &info->tags);
        const off_t first = mpg123_framepos(mh);
        // The length as the decoder finds it, so that the dialog and the main window agree.
        mpg123_seek(mh, 0, SEEK_END);
        const off_t samples = mpg123_tell(mh);
        if (samples >= 0)
            info->length = static_cast<int32_t>(samples / rate > INT32_MAX ? INT32_MAX : samples / rate);
        if (frame.vbr == MPG123_CBR) {
            info->bitrate = frame.bitrate;
        } else if (samples > 0) {
            // The audio lies between the tag in front (where the first frame starts) and the end.
            const double bytes = static_cast<double>(size - (first > 0 && first < size ? first : 0));
            const double kbits = bytes * 8.0 / (static_cast<double>(samples) / static_cast<double>(rate)) / 1000.0;
            info->bitrate = kbits < INT32_MAX ? static_cast<int32_t>(kbits + 0.5) : 0;
            info->average = 1;
        }
        result = 0;
    }
    mpg123_close(mh);
    mpg123_delete(mh);
    return result;
}

} // namespace

int32_t fileinfo_read(const char *path, tFileInfo *info) {
    memset(info, 0, sizeof *info);
    info->length = -1;
    if (path == nullptr || path[0] == '\0')
        return fail(info, "The entry names no file.");
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        char why[sizeof info->error];
        snprintf(why, sizeof why, "The file could not be opened: %s.", strerror(errno));
        return fail(info, why);
    }
    struct stat st {};
    int32_t result = -1;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        fail(info, "This is not a regular file.");
    else if (st.st_size == 0)
        fail(info, "The file is empty.");
    else if (ffmpeg_claims(fd))
        result = ffmpeg_read_info(fd, info);
    else
        result = read_mpeg(fd, st.st_size, info);
    close(fd);
    if (result != 0 && info->error[0] == '\0')
        fail(info, "No sound that can be played was found in the file.");
    return result;
}

void fileinfo_length_text(const tFileInfo *info, char *out, size_t size) {
    const int32_t t = info->length;
    if (t < 0)
        snprintf(out, size, "-");
    else if (t >= 3600)
        snprintf(out, size, "%d:%02d:%02d", t / 3600, t / 60 % 60, t % 60);
    else
        snprintf(out, size, "%d:%02d", t / 60, t % 60);
}

void fileinfo_rate_text(const tFileInfo *info, char *out, size_t size) {
    if (info->rate > 0)
        snprintf(out, size, "%d Hz", info->rate);
    else
        snprintf(out, size, "-");
}

void fileinfo_channels_text(const tFileInfo *info, char *out, size_t size) {
    const int32_t n = info->channels;
    if (n > 0)
        snprintf(out, size, "%d%s", n, n == 1 ? " (mono)" : n == 2 ? " (stereo)" : "");
    else
        snprintf(out, size, "-");
}

void fileinfo_bitrate_text(const tFileInfo *info, char *out, size_t size) {
    if (info->bitrate > 0)
        snprintf(out, size, "%d kbit/s%s", info->bitrate, info->average ? " on average" : "");
    else
        snprintf(out, size, "-");
}
