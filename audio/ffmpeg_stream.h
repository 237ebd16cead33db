// Every format but MPEG audio, through FFmpeg: an allow-list of audio demuxers and decoders,
// the best audio stream, converted to signed 16-bit stereo (or mono) at the file's own rate.
#pragma once

#include <cstddef>
#include <cstdint>

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVIOContext;
struct SwrContext;
struct tSongTags;
struct tEqualizer;
struct tFileInfo;

struct tFfmpegStream {
    AVFormatContext *format;
    AVIOContext *io;
    AVCodecContext *codec;
    SwrContext *swr;
    AVFrame *frame;
    AVPacket *packet;
    int32_t fd;  // not owned: the decoder opened it and closes it
    int32_t stream_index;
    int32_t channels;  // of the output: 1 for mono files, else 2
    int32_t rate;
    int32_t bitrate;   // kbit/s, the average over the file
    int64_t length;    // samples per channel, 0 when unknown
    int64_t position;  // samples per channel decoded so far
    int64_t skip_to;   // after a seek: samples before this one are dropped
    int64_t end;       // samples from this one on are the encoder's padding; 0 when unknown
    int64_t lead;      // the encoder's delay at the start, where no edit list drops it
    int32_t flushing;  // the demuxer is done and the decoder is being drained
    int32_t ended;
    float gain_db;      // ReplayGain, on the decoded samples before they are converted
    int32_t in_format;  // what the converter takes: the decoder's sample format, channels
    int32_t in_channels;
    // The equalizer the decoder set after opening (none: the samples go straight to 16 bits);
    // while it is active the converter gives float planes for it instead.
    tEqualizer *eq;
    int32_t out_float;
    // The converted samples of the latest packet, interleaved; grown as packets need.
    int16_t *pcm;
    int32_t pcm_frames;
    int32_t pcm_capacity;  // frames
};

// True when the file's content is one of the allowed formats (whatever its name says).
// Reads from the start of `fd` with pread, so its offset is unchanged.
bool ffmpeg_claims(int fd);
// Opens `fd` (a regular file, at any offset); 0, or -1 when it holds no playable audio.
int32_t ffmpeg_open(tFfmpegStream *s, int fd);
// Decodes at most one packet into `pcm` (which may stay empty, for a packet that gives no
// sound); 1 once the stream is over and nothing more comes, 0 otherwise.
int32_t ffmpeg_decode(tFfmpegStream *s);
// To sample `sample` per channel; 0 or -1.
int32_t ffmpeg_seek(tFfmpegStream *s, int64_t sample);
// Title, artist, album, track, year, genre and comment of the open file.
void ffmpeg_tags(const tFfmpegStream *s, tSongTags *tags);
// The tags of a file that ffmpeg_claims, read without setting up a decoder; 0 when it has a
// title, -1 otherwise.
int32_t ffmpeg_read_tags(int fd, tSongTags *tags);
// The format, length, rate, channels, bit rate and tags of a file that ffmpeg_claims, for
// the file-info dialog; 0, or -1 when it holds no audio stream.
int32_t ffmpeg_read_info(int fd, tFileInfo *info);
void ffmpeg_close(tFfmpegStream *s);
