// ReplayGain for every format: libmpg123's output scale for MP3, a gain on FFmpeg's decoded
// samples for the rest.
#include "audio/replaygain.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <glib.h>
#include <gtk/gtk.h>
#include <mpg123.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
}

#include "audio/decoder.h"
#include "audio/ffmpeg_stream.h"
#include "config/config.h"

namespace {

// Gains beyond this and peaks above this are not what any tagger writes: a damaged tag.
constexpr double REPLAYGAIN_GAIN_LIMIT_DB = 60.0;
constexpr double REPLAYGAIN_PEAK_LIMIT = 10.0;
// Opus stores gains in 1/256 dB against -23 LUFS; ReplayGain's reference is 5 dB louder.
constexpr double R128_TO_REPLAYGAIN_DB = 5.0;

constexpr std::array<const char *, 3> MODE_NAMES = {"off", "track", "album"};
// The drop-down's entries, in the order of the modes.
constexpr std::array<const char *, 4> MODE_LABELS = {"Off", "Track", "Album", nullptr};
static_assert(MODE_NAMES.size() == REPLAYGAIN_ALBUM + 1 && MODE_LABELS.size() == MODE_NAMES.size() + 1);

const char *skip_blanks(const char *p) {
    while (*p == ' ' || *p == '\t')
        p++;
    return p;
}

// A decimal number in the C locale's form (whatever the program's locale), then an optional
// "dB", with blanks around.
bool parse_decibels(const char *text, double *out) {
    if (text == nullptr)
        return false;
    const char *start = skip_blanks(text);
    char *end = nullptr;
    const double x = g_ascii_strtod(start, &end);
    if (end == start || !std::isfinite(x))
        return false;
    const char *rest = skip_blanks(end);
    if (g_ascii_strncasecmp(rest, "db", 2) == 0)
        rest = skip_blanks(rest + 2);
    if (*rest != '\0')
        return false;
    *out = x;
    return true;
}

// Opus's integer gain in 1/256 dB, as ReplayGain dB.
bool parse_r128(const char *text, double *db) {
    if (text == nullptr)
        return false;
    const char *start = skip_blanks(text);
    char *end = nullptr;
    const long q = strtol(start, &end, 10);
    if (end == start || *skip_blanks(end) != '\0' || q < INT16_MIN || q > INT16_MAX)
        return false;
    *db = static_cast<double>(q) / 256.0 + R128_TO_REPLAYGAIN_DB;
    return true;
}

// One tag of a file; the first well-formed value of each kind holds. Opus files keep their
// gains in R128 tags, and ReplayGain tags there would be measured against another level.
void take_tag(tReplayGainValues *v, const char *key, const char *text, bool opus) {
    if (key == nullptr || text == nullptr)
        return;
    double x = 0;
    if (opus) {
        if (!v->has_track && g_ascii_strcasecmp(key, "R128_TRACK_GAIN") == 0 && parse_r128(text, &x)) {
            v->has_track = 1;
            v->track_gain = x;
        } else if (!v->has_album && g_ascii_strcasecmp(key, "R128_ALBUM_GAIN") == 0 && parse_r128(text, &x)) {
            v->has_album = 1;
            v->album_gain = x;
        }
        return;
    }
    if (g_ascii_strncasecmp(key, "REPLAYGAIN_", 11) != 0)
        return;
    const char *kind = key + 11;
    if (!v->has_track && g_ascii_strcasecmp(kind, "TRACK_GAIN") == 0 && replaygain_parse_gain(text, &x)) {
        v->has_track = 1;
        v->track_gain = x;
    } else if (!v->has_album && g_ascii_strcasecmp(kind, "ALBUM_GAIN") == 0 && replaygain_parse_gain(text, &x)) {
        v->has_album = 1;
        v->album_gain = x;
    } else if (v->track_peak == 0 && g_ascii_strcasecmp(kind, "TRACK_PEAK") == 0 && replaygain_parse_peak(text, &x)) {
        v->track_peak = x;
    } else if (v->album_peak == 0 && g_ascii_strcasecmp(kind, "ALBUM_PEAK") == 0 && replaygain_parse_peak(text, &x)) {
        v->album_peak = x;
    }
}

// The gain libmpg123 found for an RVA mode (from RVA2 frames or the encoder's info tag,
// which only it reads); false when it found none.
bool library_gain(mpg123_handle *mh, int rva, double *db) {
    double base = 0;
    double really = 0;
    double gain = 0;
    if (mpg123_param(mh, MPG123_RVA, rva, 0) != MPG123_OK || mpg123_getvolume(mh, &base, &really, &gain) != MPG123_OK)
        return false;
    // The library keeps no flag for "none": it reports 0 dB then.
    if (gain == 0 || !(std::fabs(gain) <= REPLAYGAIN_GAIN_LIMIT_DB))
        return false;
    *db = gain;
    return true;
}

template <typename T>
void scale_integers(T *p, size_t n, double g, double offset, double lo, double hi) {
    for (size_t i = 0; i < n; i++)
        p[i] = static_cast<T>(std::clamp(std::nearbyint((static_cast<double>(p[i]) - offset) * g + offset), lo, hi));
}

template <typename T>
void scale_floats(T *p, size_t n, T g) {
    for (size_t i = 0; i < n; i++)
        p[i] *= g;
}

}  // namespace

bool replaygain_parse_gain(const char *text, double *db) {
    double x = 0;
    if (!parse_decibels(text, &x) || std::fabs(x) > REPLAYGAIN_GAIN_LIMIT_DB)
        return false;
    *db = x;
    return true;
}

bool replaygain_parse_peak(const char *text, double *peak) {
    if (text == nullptr)
        return false;
    const char *start = skip_blanks(text);
    char *end = nullptr;
    const double x = g_ascii_strtod(start, &end);
    if (end == start || *skip_blanks(end) != '\0' || !(x > 0 && x <= REPLAYGAIN_PEAK_LIMIT))
        return false;
    *peak = x;
    return true;
}

double replaygain_gain_db(const tReplayGainSettings *s, const tReplayGainValues *v) {
    if (s->mode == REPLAYGAIN_OFF)
        return 0;
    const bool album = s->mode == REPLAYGAIN_ALBUM && v->has_album;
    if (!album && !v->has_track)
        return 0;
    double db = (album ? v->album_gain : v->track_gain) + s->preamp / 10.0;
    // The other peak bounds this track too: the track's own, or the album's, which is larger.
    double peak = album ? v->album_peak : v->track_peak;
    if (peak <= 0)
        peak = album ? v->track_peak : v->album_peak;
    if (peak > 0)
        db = std::min(db, -20.0 * std::log10(peak));
    return db;
}

void replaygain_mpg_open(tReplayGain *rg, mpg123_handle *mh) {
    tReplayGainValues v{};
    // Text tags are read here rather than by the library, which reads their numbers in the
    // program's locale (where "-6.50" may stop at the point).
    mpg123_id3v2 *v2 = nullptr;
    if (mpg123_id3(mh, nullptr, &v2) == MPG123_OK && v2 != nullptr)
        for (size_t i = 0; i < v2->extras; i++)
            take_tag(&v, v2->extra[i].description.p, v2->extra[i].text.p, false);
    double db = 0;
    if (!v.has_track && library_gain(mh, MPG123_RVA_MIX, &db)) {
        v.has_track = 1;
        v.track_gain = db;
    }
    if (!v.has_album && library_gain(mh, MPG123_RVA_ALBUM, &db)) {
        v.has_album = 1;
        v.album_gain = db;
    }
    rg->values = v;
    replaygain_mpg_apply(rg, mh);
}

void replaygain_mpg_apply(const tReplayGain *rg, mpg123_handle *mh) {
    // The library's own RVA would limit by its peak alone, without the preamp, and warn on
    // standard error each time: the whole scale is set here instead.
    mpg123_param(mh, MPG123_RVA, MPG123_RVA_OFF, 0);
    mpg123_volume(mh, std::pow(10.0, replaygain_gain_db(&rg->settings, &rg->values) / 20.0));
}

void replaygain_ffmpeg_open(tReplayGain *rg, tFfmpegStream *s) {
    tReplayGainValues v{};
    if (s->format != nullptr && s->stream_index >= 0) {
        const AVStream *st = s->format->streams[s->stream_index];
        const bool opus = st->codecpar->codec_id == AV_CODEC_ID_OPUS;
        // Ogg keeps its comments on the stream, the other containers on the file.
        for (const AVDictionary *d : std::array<const AVDictionary *, 2>{st->metadata, s->format->metadata}) {
            const AVDictionaryEntry *e = nullptr;
            while ((e = av_dict_get(d, "", e, AV_DICT_IGNORE_SUFFIX)) != nullptr)
                take_tag(&v, e->key, e->value, opus);
        }
    }
    rg->values = v;
    replaygain_ffmpeg_apply(rg, s);
}

void replaygain_ffmpeg_apply(const tReplayGain *rg, tFfmpegStream *s) {
    s->gain_db = static_cast<float>(replaygain_gain_db(&rg->settings, &rg->values));
}

void replaygain_scale_frame(AVFrame *frame, float gain_db) {
    if (gain_db == 0.0f || frame->nb_samples <= 0 || av_frame_make_writable(frame) < 0)
        return;
    const double g = std::pow(10.0, static_cast<double>(gain_db) / 20.0);
    const AVSampleFormat format = static_cast<AVSampleFormat>(frame->format);
    const int channels = frame->ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(format);
    const int planes = planar ? channels : 1;
    const size_t n = static_cast<size_t>(frame->nb_samples) * static_cast<size_t>(planar ? 1 : channels);
    for (int k = 0; k < planes; k++) {
        uint8_t *p = frame->extended_data[k];
        switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_U8:
            scale_integers(p, n, g, 128.0, 0.0, 255.0);
            break;
        case AV_SAMPLE_FMT_S16:
            scale_integers(reinterpret_cast<int16_t *>(p), n, g, 0.0, INT16_MIN, INT16_MAX);
            break;
        case AV_SAMPLE_FMT_S32:
            scale_integers(reinterpret_cast<int32_t *>(p), n, g, 0.0, INT32_MIN, INT32_MAX);
            break;
        case AV_SAMPLE_FMT_S64:
            // Beyond 2^53 a double cannot tell neighbours apart; the range stays inside.
            scale_integers(reinterpret_cast<int64_t *>(p), n, g, 0.0, -0x1p63, 0x1p63 - 1024.0);
            break;
        case AV_SAMPLE_FMT_FLT:
            scale_floats(reinterpret_cast<float *>(p), n, static_cast<float>(g));
            break;
        case AV_SAMPLE_FMT_DBL:
            scale_floats(reinterpret_cast<double *>(p), n, g);
            break;
        default:
            return;
        }
    }
}

void replaygain_load(tHandleConfig *c, tReplayGainSettings *s) {
    char text[CONFIG_VALUE_SIZE] = "";
    s->mode = REPLAYGAIN_OFF;
    config_get_string(c, "replaygain", text, MODE_NAMES[REPLAYGAIN_OFF]);
    g_strstrip(text);
    for (int32_t m = 0; m <= REPLAYGAIN_ALBUM; m++)
        if (g_ascii_strcasecmp(text, MODE_NAMES[m]) == 0)
            s->mode = m;
    s->preamp = 0;
    double db = 0;
    config_get_string(c, "replaygain_preamp", text, "0.0");
    if (parse_decibels(text, &db))
        s->preamp = static_cast<int32_t>(std::lround(std::clamp(db * 10.0, -1.0 * REPLAYGAIN_PREAMP_MAX, 1.0 * REPLAYGAIN_PREAMP_MAX)));
}

int32_t replaygain_store(tHandleConfig *c, const tReplayGainSettings *s) {
    const int32_t mode = std::clamp<int32_t>(s->mode, REPLAYGAIN_OFF, REPLAYGAIN_ALBUM);
    const int32_t tenths = std::abs(s->preamp);
    char text[32];
    snprintf(text, sizeof text, "%s%d.%d", s->preamp < 0 ? "-" : "", tenths / 10, tenths % 10);
    return config_set_string(c, "replaygain", MODE_NAMES[mode]) | config_set_string(c, "replaygain_preamp", text);
}

void replaygain_start(tHandleConfig *c, tHandleDecoder *d) {
    tReplayGainSettings s{};
    replaygain_load(c, &s);
    decoder_set_replaygain(d, &s);
}

void replaygain_page_build(tReplayGainPage *page, GtkWidget *box) {
    GtkWidget *row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_widget_set_margin_start(row, 6);
    gtk_widget_set_margin_end(row, 6);
    gtk_box_append(GTK_BOX(row), gtk_label_new("ReplayGain"));
    page->mode = GTK_DROP_DOWN(gtk_drop_down_new_from_strings(MODE_LABELS.data()));
    gtk_widget_set_hexpand(GTK_WIDGET(page->mode), TRUE);
    gtk_box_append(GTK_BOX(row), GTK_WIDGET(page->mode));
    gtk_box_append(GTK_BOX(row), gtk_label_new("Preamp"));
    const double limit = REPLAYGAIN_PREAMP_MAX / 10.0;
    page->preamp = GTK_SPIN_BUTTON(gtk_spin_button_new_with_range(-limit, limit, 0.5));
    gtk_spin_button_set_digits(page->preamp, 1);
    gtk_box_append(GTK_BOX(row), GTK_WIDGET(page->preamp));
    gtk_box_append(GTK_BOX(row), gtk_label_new("dB"));
    gtk_box_append(GTK_BOX(box), row);
}

void replaygain_page_open(tReplayGainPage *page, const tHandleDecoder *d) {
    if (page->mode == nullptr || d == nullptr)
        return;
    gtk_drop_down_set_selected(page->mode, static_cast<guint>(d->replaygain.settings.mode));
    gtk_spin_button_set_value(page->preamp, d->replaygain.settings.preamp / 10.0);
}

int32_t replaygain_page_apply(const tReplayGainPage *page, tHandleConfig *c, tHandleDecoder *d) {
    if (page->mode == nullptr || d == nullptr)
        return 0;
    tReplayGainSettings s{};
    const guint selected = gtk_drop_down_get_selected(page->mode);
    s.mode = selected <= REPLAYGAIN_ALBUM ? static_cast<int32_t>(selected) : REPLAYGAIN_OFF;
    // Text typed into the box counts even while the box still has the focus.
    gtk_spin_button_update(page->preamp);
    s.preamp = static_cast<int32_t>(std::lround(gtk_spin_button_get_value(page->preamp) * 10.0));
    decoder_set_replaygain(d, &s);
    return replaygain_store(c, &s);
}
