// The ten-band equalizer for the formats that libmpg123 does not decode: a peaking biquad per
// band and the preamp, on float planes, before the conversion to 16 bits. Its gains follow
// those of the MPEG decoder's own equalizer at the same slider values.
#pragma once

#include <cstdint>

struct SwrContext;

constexpr int EQUALIZER_BANDS = 10;
constexpr int EQUALIZER_CHANNELS = 2;
// Frames converted, filtered and rounded in one step.
constexpr int EQUALIZER_BLOCK = 1024;

struct tEqBiquad {
    double b0, b1, b2, a1, a2;
};

// Main thread only: set by the dispatcher, used by the decoder's tick.
struct tEqualizer {
    int32_t enabled;
    int32_t values[1 + EQUALIZER_BANDS];  // the preamp, then the bands, -100 to 100
    int32_t rate;
    int32_t active;  // on, and some value not 0: the samples are processed
    float preamp;    // linear factor
    int32_t used[EQUALIZER_BANDS];  // the band is not flat (and lies below half the rate)
    tEqBiquad coef[EQUALIZER_BANDS];
    double state[EQUALIZER_CHANNELS][EQUALIZER_BANDS][2];
    float planes[EQUALIZER_CHANNELS][EQUALIZER_BLOCK];
    uint32_t noise;  // the dither's generator
};

// The gain in dB that a slider value gives, in a band or as the preamp.
double equalizer_gain_db(int32_t value);
// The switch and the eleven values (preamp first); recomputes the filters for the rate set.
void equalizer_set(tEqualizer *eq, int32_t enabled, const int32_t values[1 + EQUALIZER_BANDS]);
// A new stream at `rate`: filters for it, and nothing left of the sound before.
void equalizer_start(tEqualizer *eq, int32_t rate);
// Forgets the sound before (after a seek), so none of it rings into what comes next.
void equalizer_reset(tEqualizer *eq);
// Converts `frames` input frames through `swr` (which gives float planes at the same rate,
// `channels` of them) and filters and dithers them into interleaved 16-bit `out`. `planes`
// are the input's planes (one for packed input), `step` the bytes from one frame to the next
// in each. Returns the frames written.
int32_t equalizer_convert(tEqualizer *eq, SwrContext *swr, const uint8_t *const *planes, int32_t plane_count,
                          int32_t step, int32_t frames, int32_t channels, int16_t *out);
