#pragma once
// Draws a pixel buffer (row 0 on top, rows without gaps, blue-green-red first) into
// a window with its top-left corner at (x, y) of the client area. Keeps nothing.

#include <cstdint>

struct PlatformWindow;

void DrawImageRgb(PlatformWindow* hWindow, int32_t x, int32_t y, const unsigned char* pRGBBuffer,
                  int32_t iWidth, int32_t iHeight);
void DrawImageRgba(PlatformWindow* hWindow, int32_t x, int32_t y, const unsigned char* pRGBABuffer,
                   int32_t iWidth, int32_t iHeight);
