// Sample rate conversion of the output's stereo 16-bit frames, for a device that refuses the
// rate of the sound it is given.
#pragma once

#include <cstdint>

struct SwrContext;

struct tResampler {
    SwrContext *swr;  // none while the rates agree
    int32_t in_rate;
    int32_t out_rate;
};

// From `in_rate` to `out_rate`; with equal rates (or a converter that cannot be made) the
// frames are not converted. 0, or -1 when no converter could be made.
int32_t resampler_setup(tResampler *r, int32_t in_rate, int32_t out_rate);
// Forgets the frames held back for the filter (a flush: they belong to sound that is dropped).
void resampler_reset(tResampler *r);
// Input frames that give at most `out_frames` output frames.
int32_t resampler_input_for(const tResampler *r, int32_t out_frames);
// Output frames that `in_frames` input frames give at most.
int32_t resampler_output_for(const tResampler *r, int32_t in_frames);
// Converts `frames` interleaved stereo frames into `out` (room for `capacity` frames);
// with no input, gives the frames held back (the end of the sound). Returns the frames written.
int32_t resampler_run(tResampler *r, const int16_t *in, int32_t frames, int16_t *out, int32_t capacity);
