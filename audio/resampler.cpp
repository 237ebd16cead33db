#include "audio/resampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace {

// Frames the converter may hold back on top of what the rates give (its filter's reach).
constexpr int64_t HELD_FRAMES = 64;

}  // namespace

int32_t resampler_setup(tResampler *r, int32_t in_rate, int32_t out_rate) {
    swr_free(&r->swr);
    r->in_rate = in_rate;
    r->out_rate = out_rate;
    if (in_rate <= 0 || out_rate <= 0 || in_rate == out_rate)
        return 0;
    AVChannelLayout stereo{};
    av_channel_layout_default(&stereo, 2);
    if (swr_alloc_set_opts2(&r->swr, &stereo, AV_SAMPLE_FMT_S16, out_rate, &stereo, AV_SAMPLE_FMT_S16, in_rate, 0,
                            nullptr) < 0 ||
        r->swr == nullptr || swr_init(r->swr) < 0) {
        swr_free(&r->swr);
        return -1;
    }
    return 0;
}

void resampler_reset(tResampler *r) {
    if (r->swr != nullptr && (swr_close(r->swr), swr_init(r->swr) < 0))
        swr_free(&r->swr);
}

int32_t resampler_input_for(const tResampler *r, int32_t out_frames) {
    if (r->swr == nullptr)
        return out_frames;
    const int64_t n = static_cast<int64_t>(out_frames) * r->in_rate / r->out_rate - HELD_FRAMES;
    return n > 0 ? static_cast<int32_t>(n) : 0;
}

int32_t resampler_output_for(const tResampler *r, int32_t in_frames) {
    if (r->swr == nullptr)
        return in_frames;
    const int64_t n = (static_cast<int64_t>(in_frames) + HELD_FRAMES) * r->out_rate / r->in_rate + 1;
    return n < INT32_MAX ? static_cast<int32_t>(n) : INT32_MAX;
}

int32_t resampler_run(tResampler *r, const int16_t *in, int32_t frames, int16_t *out, int32_t capacity) {
    if (r->swr == nullptr)
        return 0;
    const uint8_t *from = reinterpret_cast<const uint8_t *>(in);
    uint8_t *to = reinterpret_cast<uint8_t *>(out);
    const int got = swr_convert(r->swr, &to, capacity, in ? &from : nullptr, in ? frames : 0);
    if (in == nullptr)
        resampler_reset(r);  // drained: ready for sound that starts afresh
    return got > 0 ? got : 0;
}
