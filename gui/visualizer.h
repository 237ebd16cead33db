// The 76 x 15 visualizer of the main window: oscilloscope, spectrum bars, spectrogram.
#pragma once

#include <cstdint>
#include <pthread.h>

#include "config/config.h"

struct tHandle;
struct tHandleTheme;
typedef struct _GdkPixbuf GdkPixbuf;

constexpr int VISUALIZER_WIDTH = 76;
constexpr int VISUALIZER_HEIGHT = 15;
constexpr int VISUALIZER_STRIDE = VISUALIZER_WIDTH * 4;
constexpr int VISUALIZER_FFT_SIZE = 256;
constexpr int VISUALIZER_BARS = 19;
constexpr int VISUALIZER_PEAK_FRAMES = 16;

enum : int32_t {
    VISUALIZER_OSCILLOSCOPE = 0,
    VISUALIZER_SPECTRUM = 1,
    VISUALIZER_SPECTROGRAM = 2,
    VISUALIZER_OFF = 3,
};

struct tHandleVisualizer {
    tHandle *handle;
    tHandleConfig config;
    tHandleTheme *theme;
    uint8_t age[VISUALIZER_HEIGHT][VISUALIZER_WIDTH];
    uint8_t image[VISUALIZER_HEIGHT * VISUALIZER_STRIDE];
    int32_t mode;
    pthread_mutex_t mutex;
    double cos_table[VISUALIZER_FFT_SIZE / 2];
    double sin_table[VISUALIZER_FFT_SIZE / 2];
    double re[VISUALIZER_FFT_SIZE];
    double im[VISUALIZER_FFT_SIZE];
    double power[VISUALIZER_FFT_SIZE];
    int8_t peak_history[VISUALIZER_PEAK_FRAMES][VISUALIZER_BARS];
    int32_t history_slot;
};

int32_t visualizer_init(tHandleVisualizer *v, tHandle *h, tHandleTheme *theme);
int32_t visualizer_read_config(tHandleVisualizer *v);
int32_t visualizer_cycle_mode(tHandleVisualizer *v);
int32_t visualizer_update(tHandleVisualizer *v, int16_t *samples, int32_t count);
int32_t visualizer_draw(tHandleVisualizer *v, GdkPixbuf *target, int32_t x, int32_t y);

// The forward 256-point DFT of the frames in samples (left real, right imaginary), unscaled,
// left in v->re and v->im. Exposed for testing against a plain DFT.
void visualizer_fft(tHandleVisualizer *v, const int16_t *samples);
