#include "display/canvas.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// The part of `rect` inside the canvas; its size is 0 when nothing is.
PixelRect Clip(const Canvas& canvas, const PixelRect& rect) {
    const int64_t left = std::max<int64_t>(rect.x, 0);
    const int64_t top = std::max<int64_t>(rect.y, 0);
    const int64_t right = std::min<int64_t>(int64_t{rect.x} + rect.width, canvas.iWidth);
    const int64_t bottom = std::min<int64_t>(int64_t{rect.y} + rect.height, canvas.iHeight);
    if (right <= left || bottom <= top) {
        return PixelRect{};
    }
    return PixelRect{static_cast<int32_t>(left), static_cast<int32_t>(top),
                     static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)};
}

unsigned char* PixelAt(Canvas* pCanvas, int32_t x, int32_t y) {
    return &pCanvas->vPixels[(static_cast<size_t>(y) * static_cast<size_t>(pCanvas->iWidth) + x) * 3];
}

}  // namespace

bool ResizeCanvas(Canvas* pCanvas, int32_t iWidth, int32_t iHeight) {
    *pCanvas = Canvas{};
    if (iWidth < 0 || iHeight < 0 ||
        (iHeight > 0 && static_cast<uint64_t>(iWidth) > std::numeric_limits<size_t>::max() / 3 / iHeight)) {
        return false;
    }
    pCanvas->vPixels.resize(static_cast<size_t>(iWidth) * static_cast<size_t>(iHeight) * 3);
    pCanvas->iWidth = iWidth;
    pCanvas->iHeight = iHeight;
    return true;
}

void FillRect(Canvas* pCanvas, const PixelRect& rect, const unsigned char bgr[3]) {
    const PixelRect part = Clip(*pCanvas, rect);
    for (int32_t y = part.y; y < part.y + part.height; ++y) {
        unsigned char* pixel = PixelAt(pCanvas, part.x, y);
        for (int32_t x = 0; x < part.width; ++x, pixel += 3) {
            std::memcpy(pixel, bgr, 3);
        }
    }
}

void DrawScaled(Canvas* pCanvas, const PixelRect& target, const unsigned char* pSource, int32_t iSourceWidth,
                int32_t iSourceHeight) {
    const PixelRect part = Clip(*pCanvas, target);
    if (pSource == nullptr || iSourceWidth <= 0 || iSourceHeight <= 0 || part.width == 0) {
        return;
    }
    const auto sourceAt = [](int32_t i, int32_t targetSize, int32_t sourceSize) {
        return static_cast<int32_t>((2 * int64_t{i} + 1) * sourceSize / (2 * int64_t{targetSize}));
    };
    std::vector<int32_t> vColumns(static_cast<size_t>(part.width));
    for (int32_t x = 0; x < part.width; ++x) {
        vColumns[static_cast<size_t>(x)] = sourceAt(part.x + x - target.x, target.width, iSourceWidth);
    }
    const size_t sourceRowBytes = static_cast<size_t>(iSourceWidth) * 3;
    for (int32_t y = part.y; y < part.y + part.height; ++y) {
        const unsigned char* row =
            pSource + sourceRowBytes * sourceAt(y - target.y, target.height, iSourceHeight);
        unsigned char* pixel = PixelAt(pCanvas, part.x, y);
        if (target.width == iSourceWidth) {
            std::memcpy(pixel, row + static_cast<size_t>(vColumns[0]) * 3,
                        static_cast<size_t>(part.width) * 3);
            continue;
        }
        for (int32_t x = 0; x < part.width; ++x, pixel += 3) {
            std::memcpy(pixel, row + static_cast<size_t>(vColumns[static_cast<size_t>(x)]) * 3, 3);
        }
    }
}
