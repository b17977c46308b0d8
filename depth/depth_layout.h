#pragma once
// Where korrdepth's window shows what: the left view, the right view and the colour
// map of the disparity, at one scale (never enlarged), in a row or in a column,
// whichever shows them larger, and below the colour map a bar with the disparities
// it stands for. Sizes only: nothing here draws.

#include <cstdint>
#include <vector>

#include "display/canvas.h"

struct BarLabel {
    int iValue = 0;       // the disparity
    int32_t x = 0;        // its tick's column
    int32_t iLabelX = 0;  // the number's left edge
};

struct DepthLayout {
    PixelRect pictures[3];  // left view, right view, colour map; all empty when they do not fit
    PixelRect bar;          // under the colour map, as wide
    int32_t iTickY = 0;     // ticks run down from here
    int32_t iLabelY = 0;    // the numbers' top
    std::vector<BarLabel> labels;
};

constexpr int32_t kBarGap = 4;  // between the pictures and the bar
constexpr int32_t kBarHeight = 12;
constexpr int32_t kTickLength = 3;
constexpr int32_t kLabelScale = 2;  // pixels a font dot
// From the pictures' bottom to the window's.
constexpr int32_t kBarBandHeight = kBarGap + kBarHeight + kTickLength + 2 + 5 * kLabelScale + 4;

// The drawing area that shows a pair of this size whole, as large as the usable area
// allows; with no usable area known (0 x 0), at full size.
void FitDepthWindow(int32_t iPairWidth, int32_t iPairHeight, int32_t iUsableWidth, int32_t iUsableHeight,
                    int32_t* pWidth, int32_t* pHeight);

// The pair's sizes are at least 1, iMaxDisparity too.
DepthLayout LayOutDepthWindow(int32_t iClientWidth, int32_t iClientHeight, int32_t iPairWidth,
                              int32_t iPairHeight, int iMaxDisparity);
