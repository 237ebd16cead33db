// Every format but MPEG audio, through FFmpeg.
#include "audio/ffmpeg_stream.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "audio/equalizer.h"
#include "audio/fileinfo.h"
#include "audio/replaygain.h"
#include "audio/tags.h"

namespace {

// Only these demuxers and decoders ever see a file: other people's files reach every line
// of the code that reads them, so that code is kept to what a music library holds.
constexpr char FORMAT_ALLOW[] = "flac,ogg,mov,wav,aiff,wv";
constexpr char CODEC_ALLOW[] =
    "flac,vorbis,opus,aac,alac,wavpack,"
    "pcm_u8,pcm_s8,pcm_s16le,pcm_s16be,pcm_s24le,pcm_s24be,pcm_s32le,pcm_s32be,"
    "pcm_f32le,pcm_f32be,pcm_f64le,pcm_f64be,pcm_alaw,pcm_mulaw";
// The probe looks at this much of the start; what it cannot name goes to libmpg123.
constexpr int PROBE_BYTES = 64 * 1024;
// Stream analysis reads at most this much, for at most this long (microseconds).
constexpr int64_t ANALYZE_BYTES = 512 * 1024;
constexpr int64_t ANALYZE_US = 1000000;
constexpr int IO_BUFFER_BYTES = 32 * 1024;
// The most channels the converter takes.
constexpr int MAX_CHANNELS = 64;
// Packets of other streams passed over in one decode call before it gives up for this tick.
constexpr int MAX_OTHER_PACKETS = 64;

void quiet_library() {
    static bool done = false;
    if (!done) {
        // Damaged files are common; the library's warnings would flood standard error.
        av_log_set_level(AV_LOG_QUIET);
        done = true;
    }
}

int io_read(void *opaque, uint8_t *buf, int size) {
    const int fd = *static_cast<int32_t *>(opaque);
    for (;;) {
        const ssize_t n = read(fd, buf, static_cast<size_t>(size));
        if (n > 0)
            return static_cast<int>(n);
        if (n == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
    }
}

int64_t io_seek(void *opaque, int64_t offset, int whence) {
    const int fd = *static_cast<int32_t *>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) {
        struct stat st {};
        return fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
    }
    const off_t r = lseek(fd, static_cast<off_t>(offset), whence);
    return r < 0 ? AVERROR(errno) : static_cast<int64_t>(r);
}

const AVInputFormat *probe(int fd) {
    quiet_library();
    uint8_t *buf = static_cast<uint8_t *>(calloc(1, PROBE_BYTES + AVPROBE_PADDING_SIZE));
    if (buf == nullptr)
        return nullptr;
    ssize_t n = 0;
    while (n < PROBE_BYTES) {
        const ssize_t r = pread(fd, buf + n, static_cast<size_t>(PROBE_BYTES - n), n);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        n += r;
    }
    const AVInputFormat *format = nullptr;
    if (n > 0) {
        AVProbeData pd{};
        pd.filename = "";
        pd.buf = buf;
        pd.buf_size = static_cast<int>(n);
        int score = 0;
        format = av_probe_input_format3(&pd, 1, &score);
        // Below the score of a mere name match it is a guess; libmpg123 judges those.
        if (format != nullptr && (score < AVPROBE_SCORE_EXTENSION || av_match_list(format->name, FORMAT_ALLOW, ',') <= 0))
            format = nullptr;
    }
    free(buf);
    return format;
}

int32_t open_converter(tFfmpegStream *s, int format, const AVChannelLayout *layout);

bool reserve(tFfmpegStream *s, int32_t frames) {
    if (frames <= s->pcm_capacity)
        return true;
    void *p = realloc(s->pcm, static_cast<size_t>(frames) * static_cast<size_t>(s->channels) * sizeof(int16_t));
    if (p == nullptr)
        return false;
    s->pcm = static_cast<int16_t *>(p);
    s->pcm_capacity = frames;
    return true;
}

// While the equalizer acts, the converter gives it float planes.
bool wants_float(const tFfmpegStream *s) { return s->eq != nullptr && s->eq->active && s->channels <= EQUALIZER_CHANNELS; }

// `count` of the frame's samples from sample `skip` on, after the pcm already there; no frame
// drains the converter.
void convert(tFfmpegStream *s, const AVFrame *f, int skip, int count) {
    if (f && (f->ch_layout.nb_channels > MAX_CHANNELS ||
              ((f->format != s->in_format || f->ch_layout.nb_channels != s->in_channels ||
                wants_float(s) != (s->out_float != 0)) &&
               open_converter(s, f->format, &f->ch_layout) != 0)))
        return;
    if (s->swr == nullptr)
        return;
    const int in = f ? count : 0;
    const int room = swr_get_out_samples(s->swr, in);
    if (room <= 0 || !reserve(s, s->pcm_frames + room))
        return;
    const uint8_t *planes[MAX_CHANNELS] = {};
    int planes_used = 0;
    int step = 0;
    if (f) {
        const int bytes = av_get_bytes_per_sample(static_cast<AVSampleFormat>(f->format));
        const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(f->format));
        planes_used = planar ? f->ch_layout.nb_channels : 1;
        step = planar ? bytes : bytes * f->ch_layout.nb_channels;
        for (int i = 0; i < planes_used; i++)
            planes[i] = f->extended_data[i] + static_cast<size_t>(skip) * static_cast<size_t>(step);
    }
    int16_t *pcm = s->pcm + static_cast<size_t>(s->pcm_frames) * static_cast<size_t>(s->channels);
    uint8_t *out = reinterpret_cast<uint8_t *>(pcm);
    // Without resampling a float converter holds nothing back: nothing to drain at the end.
    const int got = s->out_float ? (f ? equalizer_convert(s->eq, s->swr, planes, planes_used, step, in, s->channels, pcm) : 0)
                                 : swr_convert(s->swr, &out, room, f ? planes : nullptr, in);
    if (got > 0)
        s->pcm_frames += got;
}

// A frame in: trimmed to the sample a seek asked for and to the end of the sound, counted and
// converted.
void take_frame(tFfmpegStream *s, AVFrame *f) {
    const AVStream *st = s->format->streams[s->stream_index];
    int64_t start = s->position;
    if (f->pts != AV_NOPTS_VALUE)
        start = av_rescale_q(f->pts, st->time_base, AVRational{1, s->rate}) - s->lead;
    int skip = 0;
    if (s->skip_to > start)
        skip = s->skip_to - start >= f->nb_samples ? f->nb_samples : static_cast<int>(s->skip_to - start);
    if (skip >= f->nb_samples) {
        s->position = start + f->nb_samples;
        return;
    }
    s->skip_to = 0;
    s->position = start + f->nb_samples;
    int count = f->nb_samples - skip;
    if (s->end > 0 && start + f->nb_samples > s->end)
        count = s->end > start + skip ? static_cast<int>(s->end - start - skip) : 0;
    if (count > 0) {
        replaygain_scale_frame(f, s->gain_db);
        convert(s, f, skip, count);
    }
}

// Without an edit list, an M4A may give the encoder's delay and the sound's length in an
// "iTunSMPB" tag: " 00000000 <delay> <padding> <length>", in hexadecimal. It counts only when
// the stream still holds the delay, so that an edit list that already dropped it wins.
void take_smpb(tFfmpegStream *s, int64_t samples) {
    const AVDictionaryEntry *tag = av_dict_get(s->format->metadata, "iTunSMPB", nullptr, 0);
    unsigned zero = 0, delay = 0, padding = 0;
    unsigned long long length = 0;
    if (tag == nullptr || sscanf(tag->value, "%x %x %x %llx", &zero, &delay, &padding, &length) != 4 ||
        length == 0 || static_cast<int64_t>(length) > samples - static_cast<int64_t>(delay))
        return;
    s->lead = delay;
    s->end = s->length = static_cast<int64_t>(length);
}

// A converter from this sample format and layout to the output's; again whenever a frame
// comes in another one (some decoders learn theirs only from the first packet).
int32_t open_converter(tFfmpegStream *s, int format, const AVChannelLayout *layout) {
    swr_free(&s->swr);
    AVChannelLayout in{};
    if (layout->order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&in, layout->nb_channels);
    else if (av_channel_layout_copy(&in, layout) < 0)
        return -1;
    AVChannelLayout out{};
    av_channel_layout_default(&out, s->channels);
    const AVSampleFormat in_format = static_cast<AVSampleFormat>(format);
    const bool to_float = wants_float(s);
    const int rc = swr_alloc_set_opts2(&s->swr, &out, to_float ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_S16, s->rate, &in,
                                       in_format, s->rate, 0, nullptr);
    av_channel_layout_uninit(&in);
    if (rc < 0 || s->swr == nullptr)
        return -1;
    s->out_float = to_float;
    // Cutting more than 16 bits down to 16 without dither leaves distortion on quiet passages.
    if (!to_float && av_get_bytes_per_sample(in_format) > 2)
        av_opt_set_int(s->swr, "dither_method", SWR_DITHER_TRIANGULAR, 0);
    if (swr_init(s->swr) < 0) {
        swr_free(&s->swr);
        return -1;
    }
    s->in_format = format;
    s->in_channels = layout->nb_channels;
    return 0;
}

void copy_tag(const AVDictionary *a, const AVDictionary *b, const char *key, char *out, size_t size) {
    const AVDictionaryEntry *e = av_dict_get(a, key, nullptr, 0);
    if (e == nullptr || e->value[0] == '\0')
        e = av_dict_get(b, key, nullptr, 0);
    if (e != nullptr)
        tags_to_utf8(e->value, strlen(e->value), out, size);
}

// The container of `fd` with our own reader, allow-listed and with bounded probing.
int32_t open_container(tFfmpegStream *s, int fd) {
    ffmpeg_close(s);
    s->fd = fd;
    const AVInputFormat *format = probe(fd);
    if (format == nullptr || lseek(fd, 0, SEEK_SET) != 0)
        return -1;
    s->format = avformat_alloc_context();
    uint8_t *buffer = static_cast<uint8_t *>(av_malloc(IO_BUFFER_BYTES));
    if (s->format != nullptr && buffer != nullptr)
        s->io = avio_alloc_context(buffer, IO_BUFFER_BYTES, 0, &s->fd, io_read, nullptr, io_seek);
    if (s->io == nullptr) {
        av_free(buffer);
        ffmpeg_close(s);
        return -1;
    }
    s->format->pb = s->io;
    s->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    s->format->format_whitelist = av_strdup(FORMAT_ALLOW);
    s->format->codec_whitelist = av_strdup(CODEC_ALLOW);
    s->format->probesize = ANALYZE_BYTES;
    s->format->max_analyze_duration = ANALYZE_US;
    // On failure the library frees the context it was given.
    if (avformat_open_input(&s->format, nullptr, format, nullptr) < 0) {
        s->format = nullptr;
        ffmpeg_close(s);
        return -1;
    }
    return 0;
}

}  // namespace

bool ffmpeg_claims(int fd) { return probe(fd) != nullptr; }

int32_t ffmpeg_read_tags(int fd, tSongTags *tags) {
    tFfmpegStream s{};
    memset(tags, 0, sizeof *tags);
    if (open_container(&s, fd) == 0) {
        // Without the analysis that opening for playback does, the best stream may be
        // unknown: the first one with sound then.
        s.stream_index = av_find_best_stream(s.format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        for (unsigned i = 0; s.stream_index < 0 && i < s.format->nb_streams; i++)
            if (s.format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
                s.stream_index = static_cast<int32_t>(i);
        ffmpeg_tags(&s, tags);
    }
    ffmpeg_close(&s);
    return tags->title[0] != '\0' ? 0 : -1;
}

namespace {

// What the dialog calls each allowed container; empty where the codec's name says it all.
struct tContainerName {
    const char *format;
    const char *name;
};
constexpr tContainerName CONTAINER_NAMES[] = {
    {"flac", ""}, {"ogg", "Ogg"}, {"mov", "MP4"}, {"wav", "WAV"}, {"aiff", "AIFF"}, {"wv", ""},
};

const char *container_name(const AVInputFormat *format) {
    for (const tContainerName &c : CONTAINER_NAMES)
        if (av_match_name(c.format, format->name))
            return c.name;
    return "";
}

int32_t clamp_int(int64_t v) { return v > INT32_MAX ? INT32_MAX : v < 0 ? 0 : static_cast<int32_t>(v); }

}  // namespace

int32_t ffmpeg_read_info(int fd, tFileInfo *info) {
    tFfmpegStream s{};
    int32_t result = -1;
    if (open_container(&s, fd) == 0 && avformat_find_stream_info(s.format, nullptr) >= 0 &&
        (s.stream_index = av_find_best_stream(s.format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0)) >= 0) {
        const AVStream *st = s.format->streams[s.stream_index];
        const AVCodecParameters *par = st->codecpar;
        const AVCodecDescriptor *codec = avcodec_descriptor_get(par->codec_id);
        const char *container = container_name(s.format->iformat);
        snprintf(info->format, sizeof info->format, "%s%s%s", codec != nullptr ? codec->long_name : "audio",
                 container[0] ? " in " : "", container);
        info->rate = par->sample_rate > 0 ? par->sample_rate : 0;
        info->channels = par->ch_layout.nb_channels > 0 ? par->ch_layout.nb_channels : 0;
        if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
            info->length = clamp_int(av_rescale_q(st->duration, st->time_base, AVRational{1, 1}));
        else if (s.format->duration != AV_NOPTS_VALUE && s.format->duration > 0)
            info->length = clamp_int(s.format->duration / AV_TIME_BASE);
        const int64_t bits = s.format->bit_rate > 0 ? s.format->bit_rate : par->bit_rate;
        info->bitrate = clamp_int(bits / 1000);
        // A stream without a bit rate of its own (lossless, variable) has the file's average.
        info->average = par->bit_rate <= 0 && info->bitrate > 0;
        ffmpeg_tags(&s, &info->tags);
        result = 0;
    }
    ffmpeg_close(&s);
    return result;
}

int32_t ffmpeg_open(tFfmpegStream *s, int fd) {
    if (open_container(s, fd) != 0)
        return -1;
    const AVCodec *decoder = nullptr;
    if (avformat_find_stream_info(s->format, nullptr) < 0 ||
        (s->stream_index = av_find_best_stream(s->format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0)) < 0 ||
        decoder == nullptr) {
        ffmpeg_close(s);
        return -1;
    }
    for (unsigned i = 0; i < s->format->nb_streams; i++)
        if (static_cast<int>(i) != s->stream_index)
            s->format->streams[i]->discard = AVDISCARD_ALL;
    AVStream *st = s->format->streams[s->stream_index];
    AVDictionary *options = nullptr;
    av_dict_set(&options, "codec_whitelist", CODEC_ALLOW, 0);
    s->codec = avcodec_alloc_context3(decoder);
    const bool opened = s->codec && avcodec_parameters_to_context(s->codec, st->codecpar) >= 0 &&
                        (s->codec->pkt_timebase = st->time_base, avcodec_open2(s->codec, decoder, &options) >= 0);
    av_dict_free(&options);
    if (!opened || s->codec->sample_rate <= 0 || s->codec->ch_layout.nb_channels <= 0 ||
        s->codec->ch_layout.nb_channels > MAX_CHANNELS) {
        ffmpeg_close(s);
        return -1;
    }
    s->rate = s->codec->sample_rate;
    s->channels = s->codec->ch_layout.nb_channels == 1 ? 1 : 2;
    s->frame = av_frame_alloc();
    s->packet = av_packet_alloc();
    if (s->frame == nullptr || s->packet == nullptr ||
        open_converter(s, s->codec->sample_fmt, &s->codec->ch_layout) != 0) {
        ffmpeg_close(s);
        return -1;
    }
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        s->length = av_rescale_q(st->duration, st->time_base, AVRational{1, s->rate});
    else if (s->format->duration != AV_NOPTS_VALUE && s->format->duration > 0)
        s->length = av_rescale_q(s->format->duration, AVRational{1, AV_TIME_BASE}, AVRational{1, s->rate});
    // An MP4's edit list says where the sound ends; the decoder goes on to the end of the
    // encoder's last frame, whose padding would sit as a gap before the next track.
    if (av_match_name("mov", s->format->iformat->name) && st->duration != AV_NOPTS_VALUE && st->duration > 0) {
        const int64_t from = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
        s->end = av_rescale_q(from + st->duration, st->time_base, AVRational{1, s->rate});
        take_smpb(s, s->end - av_rescale_q(from, st->time_base, AVRational{1, s->rate}));
    }
    const int64_t bits = s->format->bit_rate > 0 ? s->format->bit_rate : st->codecpar->bit_rate;
    s->bitrate = static_cast<int32_t>(bits / 1000 > INT32_MAX ? INT32_MAX : bits / 1000);
    return 0;
}

int32_t ffmpeg_decode(tFfmpegStream *s) {
    s->pcm_frames = 0;
    if (s->codec == nullptr || s->ended)
        return 1;
    bool sent = false;
    int others = 0;
    for (;;) {
        const int rc = avcodec_receive_frame(s->codec, s->frame);
        if (rc == 0) {
            take_frame(s, s->frame);
            av_frame_unref(s->frame);
            continue;
        }
        if (rc != AVERROR(EAGAIN)) {
            // Drained (or a decoder that cannot go on): what the converter holds comes last.
            convert(s, nullptr, 0, 0);
            s->ended = 1;
            return 1;
        }
        if (sent || s->flushing)
            return 0;
        const int read = av_read_frame(s->format, s->packet);
        if (read < 0) {
            // The end of the file, or a read that fails: drain what the decoder holds.
            s->flushing = 1;
            avcodec_send_packet(s->codec, nullptr);
            continue;
        }
        if (s->packet->stream_index != s->stream_index) {
            av_packet_unref(s->packet);
            if (++others >= MAX_OTHER_PACKETS)
                return 0;
            continue;
        }
        // A damaged packet is passed over; the ones after it may decode.
        avcodec_send_packet(s->codec, s->packet);
        av_packet_unref(s->packet);
        sent = true;
    }
}

int32_t ffmpeg_seek(tFfmpegStream *s, int64_t sample) {
    if (s->codec == nullptr)
        return -1;
    const AVStream *st = s->format->streams[s->stream_index];
    const int64_t ts = av_rescale_q(sample + s->lead, AVRational{1, s->rate}, st->time_base);
    if (av_seek_frame(s->format, s->stream_index, ts, AVSEEK_FLAG_BACKWARD) < 0)
        return -1;
    avcodec_flush_buffers(s->codec);
    if (s->swr != nullptr && (swr_close(s->swr), swr_init(s->swr) < 0)) {
        swr_free(&s->swr);
        s->in_format = -1;  // the next frame builds one afresh
    }
    s->pcm_frames = 0;
    s->flushing = 0;
    s->ended = 0;
    s->position = sample;
    s->skip_to = sample;
    return 0;
}

void ffmpeg_tags(const tFfmpegStream *s, tSongTags *tags) {
    memset(tags, 0, sizeof *tags);
    if (s->format == nullptr || s->stream_index < 0)
        return;
    // Ogg keeps its comments on the stream, the other containers on the file.
    const AVDictionary *file = s->format->metadata;
    const AVDictionary *stream = s->format->streams[s->stream_index]->metadata;
    copy_tag(file, stream, "title", tags->title, sizeof tags->title);
    copy_tag(file, stream, "artist", tags->artist, sizeof tags->artist);
    if (tags->artist[0] == '\0')
        copy_tag(file, stream, "album_artist", tags->artist, sizeof tags->artist);
    copy_tag(file, stream, "album", tags->album, sizeof tags->album);
    copy_tag(file, stream, "track", tags->track, sizeof tags->track);
    copy_tag(file, stream, "date", tags->year, sizeof tags->year);
    if (tags->year[0] == '\0') // APE tags
        copy_tag(file, stream, "year", tags->year, sizeof tags->year);
    copy_tag(file, stream, "genre", tags->genre, sizeof tags->genre);
    copy_tag(file, stream, "comment", tags->comment, sizeof tags->comment);
    tags_tidy(tags);
}

void ffmpeg_close(tFfmpegStream *s) {
    avcodec_free_context(&s->codec);
    if (s->format != nullptr)
        avformat_close_input(&s->format);
    if (s->io != nullptr) {
        av_freep(&s->io->buffer);
        avio_context_free(&s->io);
    }
    swr_free(&s->swr);
    av_frame_free(&s->frame);
    av_packet_free(&s->packet);
    free(s->pcm);
    const int32_t fd = s->fd;
    memset(s, 0, sizeof *s);
    s->fd = fd;
    s->stream_index = -1;
}
