#include "gui/visualizer.h"

#include <cmath>
#include <cstring>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "core/handle.h"
#include "theme/theme.h"

namespace {

// Full-scale power of one bar: the level at which a bar reaches the top.
constexpr double FULL_POWER = 253046375534.0;

constexpr int bit_reverse8(int i) {
    int r = 0;
    for (int b = 0; b < 8; b++)
        if (i & (1 << b))
            r |= 1 << (7 - b);
    return r;
}

struct tBitReverse {
    uint8_t index[VISUALIZER_FFT_SIZE];
};

constexpr tBitReverse make_bit_reverse() {
    tBitReverse t{};
    for (int i = 0; i < VISUALIZER_FFT_SIZE; i++)
        t.index[i] = static_cast<uint8_t>(bit_reverse8(i));
    return t;
}

constexpr tBitReverse BIT_REVERSE = make_bit_reverse();
static_assert(BIT_REVERSE.index[1] == 128 && BIT_REVERSE.index[3] == 192 &&
              BIT_REVERSE.index[255] == 255);

class tLock {
public:
    explicit tLock(pthread_mutex_t *m) : m_(m) { pthread_mutex_lock(m_); }
    ~tLock() { pthread_mutex_unlock(m_); }
    tLock(const tLock &) = delete;
    tLock &operator=(const tLock &) = delete;

private:
    pthread_mutex_t *m_;
};

inline void put(tHandleVisualizer *v, int row, int column, int colour) {
    uint8_t *p = v->image + row * VISUALIZER_STRIDE + column * 4;
    const uint8_t *c = v->theme->viscolors[colour];
    p[0] = c[0];
    p[1] = c[1];
    p[2] = c[2];
    p[3] = 255;
}

void fill(tHandleVisualizer *v, int colour) {
    for (int r = 0; r < VISUALIZER_HEIGHT; r++)
        for (int c = 0; c < VISUALIZER_WIDTH; c++)
            put(v, r, c, colour);
}

void dotted_background(tHandleVisualizer *v) {
    fill(v, 0);
    for (int r = 1; r < VISUALIZER_HEIGHT; r += 2)
        for (int c = 1; c < VISUALIZER_WIDTH; c += 2)
            put(v, r, c, 1);
}

// Frame s of the buffer, or silence past its end.
inline int16_t sample_at(const int16_t *samples, int32_t count, int index) {
    return index < count ? samples[index] : 0;
}

void oscilloscope(tHandleVisualizer *v, int16_t *samples, int32_t count) {
    dotted_background(v);
    for (auto &row : v->age)
        for (auto &a : row)
            if (a != 0)
                a = static_cast<uint8_t>((a + 1) % 23);
    if (count >= 2) {
        const int n = count / 2;
        int amp = 0;
        for (int s = 0; s < n; s++) {
            const int m = (samples[2 * s] + samples[2 * s + 1]) / 2;
            samples[s] = static_cast<int16_t>(m);
            const int a = m < 0 ? -m : m;
            if (a > amp)
                amp = a;
        }
        const double scale = amp > 4096 ? amp : 4096;
        int acc = 0;
        int column = 0;
        for (int s = 0; s < n && column < VISUALIZER_WIDTH; s++) {
            acc += VISUALIZER_WIDTH;
            if (acc >= n) {
                const int h = static_cast<int>(std::trunc(7.0 * samples[s] / scale));
                int row = 7 + h;
                if (h < -6)
                    row = 0;
                if (h >= 8)
                    row = 14;
                v->age[row][column] = 18;
                column++;
                acc -= n;
            }
        }
    }
    for (int r = 0; r < VISUALIZER_HEIGHT; r++)
        for (int c = 0; c < VISUALIZER_WIDTH; c++)
            if (v->age[r][c] != 0)
                put(v, r, c, v->age[r][c]);
}

// Runs the transform and the smoothing; P[k] for k 1..127 is then power[k] + power[256 - k].
void update_power(tHandleVisualizer *v, const int16_t *samples, int32_t count) {
    int16_t frames[2 * VISUALIZER_FFT_SIZE];
    for (int i = 0; i < 2 * VISUALIZER_FFT_SIZE; i++)
        frames[i] = sample_at(samples, count, i);
    visualizer_fft(v, frames);
    for (int k = 0; k < VISUALIZER_FFT_SIZE; k++)
        v->power[k] = 0.6 * (v->re[k] * v->re[k] + v->im[k] * v->im[k]) + 0.4 * v->power[k];
}

inline double bin_power(const tHandleVisualizer *v, int k) {
    return v->power[k] + v->power[VISUALIZER_FFT_SIZE - k];
}

void spectrum(tHandleVisualizer *v, const int16_t *samples, int32_t count) {
    dotted_background(v);
    update_power(v, samples, count);
    int8_t *history = v->peak_history[v->history_slot];
    for (int b = 0; b < VISUALIZER_BARS; b++) {
        const double e = bin_power(v, b + 1) * 15 / FULL_POWER;
        const double h = e < 15 ? e : 15;
        history[b] = static_cast<int8_t>(std::trunc(h));
        if (h > 0)
            for (int j = 0; j < h; j++)
                for (int c = 4 * b + 1; c <= 4 * b + 3; c++)
                    put(v, 14 - j, c, 16 - j);
    }
    for (int b = 0; b < VISUALIZER_BARS; b++) {
        int peak = 0;
        for (const auto &frame : v->peak_history)
            if (frame[b] > peak)
                peak = frame[b];
        // A bar at full height has its peak one row above the picture: keep it on the top row.
        const int row = peak > 14 ? 0 : 14 - peak;
        for (int c = 4 * b + 1; c <= 4 * b + 3; c++)
            put(v, row, c, 23);
    }
    v->history_slot = (v->history_slot + 1) % VISUALIZER_PEAK_FRAMES;
}

void spectrogram(tHandleVisualizer *v, const int16_t *samples, int32_t count) {
    memmove(v->image, v->image + VISUALIZER_STRIDE, (VISUALIZER_HEIGHT - 1) * VISUALIZER_STRIDE);
    update_power(v, samples, count);
    for (int c = 0; c < VISUALIZER_WIDTH; c++) {
        const double e = bin_power(v, c + 1) * 14 / FULL_POWER;
        put(v, 14, c, 16 - static_cast<int>(std::trunc(e < 14 ? e : 14)));
    }
}

} // namespace

void visualizer_fft(tHandleVisualizer *v, const int16_t *samples) {
    double *re = v->re;
    double *im = v->im;
    for (int i = 0; i < VISUALIZER_FFT_SIZE; i++) {
        const int j = BIT_REVERSE.index[i];
        re[i] = samples[2 * j];
        im[i] = samples[2 * j + 1];
    }
    for (int m = 0; m < VISUALIZER_FFT_SIZE; m += 2) {
        const double ar = re[m], ai = im[m];
        re[m] = ar + re[m + 1];
        im[m] = ai + im[m + 1];
        re[m + 1] = ar - re[m + 1];
        im[m + 1] = ai - im[m + 1];
    }
    for (int h = 2; h < VISUALIZER_FFT_SIZE; h *= 2) {
        const int step = (VISUALIZER_FFT_SIZE / 2) / h;
        for (int group = 0; group < VISUALIZER_FFT_SIZE; group += 2 * h) {
            for (int p = 0; p < h; p++) {
                const int t = group + p;
                const double wr = v->cos_table[p * step];
                const double wi = v->sin_table[p * step];
                const double ur = re[t + h] * wr - im[t + h] * wi;
                const double ui = re[t + h] * wi + im[t + h] * wr;
                re[t + h] = re[t] - ur;
                im[t + h] = im[t] - ui;
                re[t] += ur;
                im[t] += ui;
            }
        }
    }
}

int32_t visualizer_init(tHandleVisualizer *v, tHandle *h, tHandleTheme *theme) {
    memset(static_cast<void *>(v), 0, sizeof *v);
    v->handle = h;
    v->theme = theme;
    for (int i = 3; i < VISUALIZER_HEIGHT * VISUALIZER_STRIDE; i += 4)
        v->image[i] = 255;
    v->mode = VISUALIZER_OFF;
    for (int k = 0; k < VISUALIZER_FFT_SIZE / 2; k++) {
        const double a = 2.0 * M_PI * k / VISUALIZER_FFT_SIZE;
        v->cos_table[k] = cos(a);
        v->sin_table[k] = -sin(a);
    }
    pthread_mutex_init(&v->mutex, nullptr);
    return 0;
}

int32_t visualizer_read_config(tHandleVisualizer *v) {
    config_open(&v->config, v->handle->data_dir, "visualizer.config");
    int32_t value = v->mode;
    config_get_int(&v->config, "visualizer", &value, v->mode);
    tLock lock(&v->mutex);
    v->mode = static_cast<uint32_t>(value) <= VISUALIZER_SPECTROGRAM ? value : VISUALIZER_OFF;
    return 0;
}

int32_t visualizer_cycle_mode(tHandleVisualizer *v) {
    tLock lock(&v->mutex);
    v->mode = (v->mode + 1) % 4;
    if (v->mode < 0)
        v->mode = VISUALIZER_OSCILLOSCOPE;
    config_set_int(&v->config, "visualizer", v->mode);
    return 0;
}

int32_t visualizer_update(tHandleVisualizer *v, int16_t *samples, int32_t count) {
    tLock lock(&v->mutex);
    if (v->theme == nullptr)
        return 0;
    switch (v->mode) {
    case VISUALIZER_OSCILLOSCOPE:
        oscilloscope(v, samples, count);
        break;
    case VISUALIZER_SPECTRUM:
        spectrum(v, samples, count);
        break;
    case VISUALIZER_SPECTROGRAM:
        spectrogram(v, samples, count);
        break;
    default:
        fill(v, 0);
        break;
    }
    return 0;
}

int32_t visualizer_draw(tHandleVisualizer *v, GdkPixbuf *target, int32_t x, int32_t y) {
    tLock lock(&v->mutex);
    if (v->mode == VISUALIZER_OFF || target == nullptr)
        return 0;
    // A whole-rectangle copy or nothing, as for theme elements; rows are copied straight into
    // the target so that no image wrapper is made per frame.
    if (x < 0 || y < 0 || x + VISUALIZER_WIDTH > gdk_pixbuf_get_width(target) ||
        y + VISUALIZER_HEIGHT > gdk_pixbuf_get_height(target) ||
        gdk_pixbuf_get_n_channels(target) != 4 || gdk_pixbuf_get_bits_per_sample(target) != 8)
        return 0;
    const int stride = gdk_pixbuf_get_rowstride(target);
    guchar *pixels = gdk_pixbuf_get_pixels(target);
    for (int r = 0; r < VISUALIZER_HEIGHT; r++)
        memcpy(pixels + (y + r) * stride + x * 4, v->image + r * VISUALIZER_STRIDE,
               VISUALIZER_STRIDE);
    return 0;
}
