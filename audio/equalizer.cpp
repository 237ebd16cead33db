// Peaking biquads (the bilinear "cookbook" design) in transposed direct form II, in double
// precision: at 60 Hz and 192 kHz single precision cannot place the poles.
#include "audio/equalizer.h"

#include <cmath>
#include <cstring>

extern "C" {
#include <libswresample/swresample.h>
}

namespace {

// The MPEG decoder's response in dB at slider values -100, -90, ..., 100, measured by decoding
// a tone in the middle of the band that one slider moves, with only that slider (or only the
// preamp) set, against the same decode with the equalizer off (RMS over the middle half).
// Every band and the preamp gave the same figures to 0.001 dB.
constexpr double MEASURED_DB[21] = {
    -12.0, -10.8, -9.6, -8.4, -7.2, -6.0, -4.8, -3.6, -2.4, -1.2, 0.0,
    1.2,   2.4,   3.6,  4.8,  6.0,  7.2,  8.4,  9.6,  10.8, 12.0,
};
constexpr bool measured_table_sound() {
    for (int i = 0; i < 21; i++) {
        if (MEASURED_DB[i] != -MEASURED_DB[20 - i])
            return false;
        if (i > 0 && MEASURED_DB[i] <= MEASURED_DB[i - 1])
            return false;
    }
    return MEASURED_DB[10] == 0.0;
}
static_assert(measured_table_sound(), "the table runs from cut to boost, symmetric around 0 dB at 0");
static_assert(MEASURED_DB[20] == 12.0 && MEASURED_DB[0] == -12.0);

// Band centres in Hz, and bandwidths in octaves: half the span between the two neighbours,
// kept within 0.4 and 1.2 octaves, so that neighbours raised together overlap little.
constexpr double CENTRE_HZ[EQUALIZER_BANDS] = {60, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, 16000};
constexpr double WIDTH_OCTAVES[EQUALIZER_BANDS] = {1.2, 1.18, 0.91, 0.84, 1.16, 1.2, 1.0, 0.61, 0.4, 0.4};
constexpr bool bands_sound() {
    for (int i = 0; i < EQUALIZER_BANDS; i++) {
        if (WIDTH_OCTAVES[i] < 0.4 || WIDTH_OCTAVES[i] > 1.2)
            return false;
        if (i > 0 && CENTRE_HZ[i] <= CENTRE_HZ[i - 1])
            return false;
    }
    return true;
}
static_assert(bands_sound(), "centres rise, widths stay within their bounds");

// Above this share of the rate a band is left flat: at half the rate it has no centre.
constexpr double HIGHEST_CENTRE = 0.45;
// Filter state below this is let go to zero: decaying further it would reach the denormal
// range, where arithmetic is many times slower. Far below the 16-bit step (3e-5).
constexpr double STATE_FLOOR = 1e-15;

tEqBiquad peaking(double centre, double octaves, double db, double rate) {
    const double a = pow(10.0, db / 40.0);
    const double w = 2.0 * M_PI * centre / rate;
    const double alpha = sin(w) * sinh(log(2.0) / 2.0 * octaves * w / sin(w));
    const double a0 = 1.0 + alpha / a;
    tEqBiquad c;
    c.b0 = (1.0 + alpha * a) / a0;
    c.b1 = -2.0 * cos(w) / a0;
    c.b2 = (1.0 - alpha * a) / a0;
    c.a1 = c.b1;
    c.a2 = (1.0 - alpha / a) / a0;
    return c;
}

void design(tEqualizer *eq) {
    eq->active = 0;
    for (int b = 0; b < EQUALIZER_BANDS; b++) {
        const int32_t v = eq->enabled ? eq->values[1 + b] : 0;
        eq->used[b] = v != 0 && eq->rate > 0 && CENTRE_HZ[b] < HIGHEST_CENTRE * eq->rate;
        if (eq->used[b])
            eq->coef[b] = peaking(CENTRE_HZ[b], WIDTH_OCTAVES[b], equalizer_gain_db(v), eq->rate);
        eq->active |= v != 0;
    }
    const int32_t p = eq->enabled ? eq->values[0] : 0;
    eq->preamp = static_cast<float>(pow(10.0, equalizer_gain_db(p) / 20.0));
    eq->active |= p != 0;
}

// Triangular noise of one step in height, from two uniform values.
float triangular(uint32_t *state) {
    uint32_t x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return (static_cast<float>(x & 0xffff) - static_cast<float>(x >> 16)) * (1.0f / 65536.0f);
}

void filter(tEqualizer *eq, int ch, float *x, int32_t n) {
    for (int b = 0; b < EQUALIZER_BANDS; b++) {
        if (!eq->used[b])
            continue;
        const tEqBiquad c = eq->coef[b];
        double s1 = eq->state[ch][b][0];
        double s2 = eq->state[ch][b][1];
        for (int32_t k = 0; k < n; k++) {
            const double in = x[k];
            const double y = c.b0 * in + s1;
            s1 = c.b1 * in - c.a1 * y + s2;
            s2 = c.b2 * in - c.a2 * y;
            x[k] = static_cast<float>(y);
        }
        // A damaged packet may decode to values that are not numbers: they are not kept.
        eq->state[ch][b][0] = std::isfinite(s1) && fabs(s1) >= STATE_FLOOR ? s1 : 0.0;
        eq->state[ch][b][1] = std::isfinite(s2) && fabs(s2) >= STATE_FLOOR ? s2 : 0.0;
    }
}

}  // namespace

double equalizer_gain_db(int32_t value) {
    if (value <= -100)
        return MEASURED_DB[0];
    if (value >= 100)
        return MEASURED_DB[20];
    const int32_t i = (value + 100) / 10;
    const double t = static_cast<double>((value + 100) % 10) / 10.0;
    return i >= 20 ? MEASURED_DB[20] : MEASURED_DB[i] + t * (MEASURED_DB[i + 1] - MEASURED_DB[i]);
}

void equalizer_set(tEqualizer *eq, int32_t enabled, const int32_t values[1 + EQUALIZER_BANDS]) {
    eq->enabled = enabled;
    memcpy(eq->values, values, sizeof eq->values);
    design(eq);
}

void equalizer_start(tEqualizer *eq, int32_t rate) {
    eq->rate = rate;
    if (eq->noise == 0)
        eq->noise = 0x9e3779b9u;  // the generator never leaves zero
    design(eq);
    equalizer_reset(eq);
}

void equalizer_reset(tEqualizer *eq) { memset(eq->state, 0, sizeof eq->state); }

int32_t equalizer_convert(tEqualizer *eq, SwrContext *swr, const uint8_t *const *planes, int32_t plane_count,
                          int32_t step, int32_t frames, int32_t channels, int16_t *out) {
    if (channels < 1 || channels > EQUALIZER_CHANNELS || plane_count < 1 || plane_count > 64)
        return 0;
    int32_t written = 0;
    for (int32_t done = 0; done < frames;) {
        const int32_t n = frames - done < EQUALIZER_BLOCK ? frames - done : EQUALIZER_BLOCK;
        const uint8_t *in[64];
        for (int32_t i = 0; i < plane_count; i++)
            in[i] = planes[i] + static_cast<size_t>(done) * static_cast<size_t>(step);
        uint8_t *to[EQUALIZER_CHANNELS] = {reinterpret_cast<uint8_t *>(eq->planes[0]),
                                           reinterpret_cast<uint8_t *>(eq->planes[1])};
        // As much room as input at the same rate: the converter holds nothing back.
        const int got = swr_convert(swr, to, EQUALIZER_BLOCK, in, n);
        if (got <= 0)
            break;
        for (int ch = 0; ch < channels; ch++)
            filter(eq, ch, eq->planes[ch], got);
        int16_t *o = out + static_cast<size_t>(written) * static_cast<size_t>(channels);
        for (int k = 0; k < got; k++) {
            for (int ch = 0; ch < channels; ch++) {
                const float v = eq->planes[ch][k] * eq->preamp * 32768.0f + triangular(&eq->noise);
                // Saturating (and a value that is not a number gives the lowest one).
                *o++ = static_cast<int16_t>(fminf(fmaxf(rintf(v), -32768.0f), 32767.0f));
            }
        }
        written += got;
        done += n;
    }
    return written;
}
