// ReplayGain: the loudness gain a file stores for its track or its album, a preamp on top,
// and the stored peak, which keeps the gain from driving the sound into clipping.
#pragma once

#include <cstdint>

struct AVFrame;
struct tFfmpegStream;
struct tHandleConfig;
struct tHandleDecoder;
typedef struct mpg123_handle_struct mpg123_handle;
typedef struct _GtkWidget GtkWidget;
typedef struct _GtkDropDown GtkDropDown;
typedef struct _GtkSpinButton GtkSpinButton;

enum : int32_t {
    REPLAYGAIN_OFF = 0,
    REPLAYGAIN_TRACK = 1,
    REPLAYGAIN_ALBUM = 2,  // a file without an album gain plays by its track gain
};
// The preamp's range, in tenths of a dB either way.
constexpr int32_t REPLAYGAIN_PREAMP_MAX = 150;

struct tReplayGainSettings {
    int32_t mode;
    int32_t preamp;  // tenths of a dB, -REPLAYGAIN_PREAMP_MAX..REPLAYGAIN_PREAMP_MAX
};

// What a file stores. A value that is missing or malformed counts as not there.
struct tReplayGainValues {
    int32_t has_track;
    int32_t has_album;
    double track_gain;  // dB
    double album_gain;
    double track_peak;  // linear, 1.0 = full scale; 0 when not stored
    double album_peak;
};

// The setting, and what the open file stores (main thread, under the decoder's mutex).
struct tReplayGain {
    tReplayGainSettings settings;
    tReplayGainValues values;
};

// The dB to apply to a file with these values: 0 when off or when the file stores no gain
// for the mode; the preamp on top; never so much that the stored peak would pass full scale.
double replaygain_gain_db(const tReplayGainSettings *s, const tReplayGainValues *v);

// Gains in decibels as tags hold them ("-6.50 dB", "+2.1", blanks around), in any locale;
// false for anything else, and for gains no real file needs (beyond 60 dB either way).
bool replaygain_parse_gain(const char *text, double *db);
// A stored peak (linear, "0.988922"); false for anything else, 0 or negative.
bool replaygain_parse_peak(const char *text, double *peak);

// An MP3 file whose tags libmpg123 has read (its first frame decoded): its values, and the
// library's output scale set from them and the setting; the second again when it changes.
void replaygain_mpg_open(tReplayGain *rg, mpg123_handle *mh);
void replaygain_mpg_apply(const tReplayGain *rg, mpg123_handle *mh);
// A file FFmpeg has opened: its values, and the gain its samples get before they are
// converted to 16 bits; the second again when the setting changes.
void replaygain_ffmpeg_open(tReplayGain *rg, tFfmpegStream *s);
void replaygain_ffmpeg_apply(const tReplayGain *rg, tFfmpegStream *s);
// Scales a decoded frame's samples in place by `gain_db` (0 leaves them as they are).
void replaygain_scale_frame(AVFrame *frame, float gain_db);

// The setting in the audio output's file: "replaygain" (off, track or album) and
// "replaygain_preamp" (dB). Hand-edited values are brought into range here.
void replaygain_load(tHandleConfig *c, tReplayGainSettings *s);
int32_t replaygain_store(tHandleConfig *c, const tReplayGainSettings *s);
// At start-up: the stored setting to the decoder.
void replaygain_start(tHandleConfig *c, tHandleDecoder *d);

// The row on the "Audio" preferences page: appended to the page's box, refreshed from the
// decoder's setting when the page opens, and on apply stored and handed to the decoder.
struct tReplayGainPage {
    GtkDropDown *mode;
    GtkSpinButton *preamp;
};
void replaygain_page_build(tReplayGainPage *page, GtkWidget *box);
void replaygain_page_open(tReplayGainPage *page, const tHandleDecoder *d);
int32_t replaygain_page_apply(const tReplayGainPage *page, tHandleConfig *c, tHandleDecoder *d);
