#pragma once
// Whole numbers in a font of 3 x 5 dots a digit, for labels in a window: the window
// systems' own fonts are not used, so every backend shows the same pixels.

#include <cstdint>

#include "display/canvas.h"

constexpr int32_t kDigitDots = 3;     // across
constexpr int32_t kDigitDotRows = 5;  // down

// Width in pixels of a number at `iScale` pixels a dot, one dot between digits.
int32_t NumberWidth(int iValue, int32_t iScale);
// Draws a number of 0 or more with its top-left corner at (x, y), clipped to the canvas.
void DrawNumber(Canvas* pCanvas, int32_t x, int32_t y, int32_t iScale, int iValue,
                const unsigned char bgr[3]);
