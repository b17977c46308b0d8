#include "display/draw_image.h"

#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace {

// Window systems take rows at 4-byte boundaries; a buffer whose rows are not gets
// a padded copy, so the picture is neither sheared nor read past its end.
void DrawImage(PlatformWindow* hWindow, int32_t x, int32_t y, const unsigned char* pixels, int32_t width,
               int32_t height, int32_t bytesPerPixel) {
    if (hWindow == nullptr || pixels == nullptr || width <= 0 || height <= 0) {
        return;
    }
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(bytesPerPixel);
    const size_t stride = (rowBytes + 3) & ~static_cast<size_t>(3);
    PixelRows rows{pixels, width, height, static_cast<int32_t>(stride), bytesPerPixel};

    std::vector<unsigned char> padded;
    if (stride != rowBytes) {
        padded.assign(stride * static_cast<size_t>(height), 0);
        for (size_t row = 0; row < static_cast<size_t>(height); ++row) {
            std::memcpy(&padded[row * stride], pixels + row * rowBytes, rowBytes);
        }
        rows.pixels = padded.data();
    }
    PlatformDrawPixels(hWindow, x, y, rows);
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
