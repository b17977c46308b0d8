#pragma once
// A picture composed on the host before it is drawn whole: blue-green-red, row 0 on
// top, rows without gaps, as DrawImageRgb takes it.

#include <cstdint>
#include <vector>

struct PixelRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct Canvas {
    int32_t iWidth = 0;
    int32_t iHeight = 0;
    std::vector<unsigned char> vPixels;
};

// False, leaving the canvas empty, when the size is negative or its bytes overflow.
// Throws std::bad_alloc as a vector does.
bool ResizeCanvas(Canvas* pCanvas, int32_t iWidth, int32_t iHeight);

// Both clip to the canvas.
void FillRect(Canvas* pCanvas, const PixelRect& rect, const unsigned char bgr[3]);
// Each target pixel takes the source pixel its centre falls on: the colour map keeps
// its colours, and a picture drawn at full size is copied as it is.
void DrawScaled(Canvas* pCanvas, const PixelRect& target, const unsigned char* pSource, int32_t iSourceWidth,
                int32_t iSourceHeight);
