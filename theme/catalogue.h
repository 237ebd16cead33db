// The catalogue of theme bitmaps and sprite elements, fixed at compile time.
#pragma once

#include <cstdint>

constexpr int THEME_BITMAP_COUNT = 16;
constexpr int THEME_ELEMENT_COUNT = 409;
