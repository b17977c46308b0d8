#include "display/draw_image.h"

#include "platform/platform.h"

namespace {

// The rows go to the window system as they lie, without a gap between them; a
// backend whose system wants rows at 4-byte boundaries pads them itself.
void DrawImage(PlatformWindow* hWindow, int32_t x, int32_t y, const unsigned char* pixels, int32_t width,
               int32_t height, int32_t bytesPerPixel) {
    if (hWindow == nullptr || pixels == nullptr || width <= 0 || height <= 0) {
        return;
    }
    PlatformDrawPixels(hWindow, x, y, PixelRows{pixels, width, height, bytesPerPixel});
}

}  // namespace

void DrawImageRgb(PlatformWindow* hWindow, int32_t x, int32_t y, const unsigned char* pRGBBuffer,
                  int32_t iWidth, int32_t iHeight) {
    DrawImage(hWindow, x, y, pRGBBuffer, iWidth, iHeight, 3);
}

void DrawImageRgba(PlatformWindow* hWindow, int32_t x, int32_t y, const unsigned char* pRGBABuffer,
                   int32_t iWidth, int32_t iHeight) {
    DrawImage(hWindow, x, y, pRGBABuffer, iWidth, iHeight, 4);
}
