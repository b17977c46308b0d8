#pragma once
// Size limit and allocation shared by the readers.

#include <cstdint>
#include <memory>

// 16384 x 16384 pixels: a 4-sample buffer then stays within 1 GiB. Larger
// pictures are refused before anything is allocated.
constexpr int64_t kMaxImagePixels = int64_t{16384} * 16384;

// Dimensions arrive from files as 64-bit values so that no check can overflow.
inline bool FitsPixelLimit(int64_t width, int64_t height) {
    return width >= 0 && height >= 0 && width <= INT32_MAX && height <= INT32_MAX &&
           width * height <= kMaxImagePixels;
}

// Zero-filled, so whatever a short file does not supply reads as zero; never
// zero-length, so an empty picture is still a non-null buffer.
inline std::unique_ptr<unsigned char[]> NewPixelBuffer(int64_t width, int64_t height, int samples) {
    const int64_t bytes = width * height * samples;
    return std::unique_ptr<unsigned char[]>(new unsigned char[static_cast<size_t>(bytes > 0 ? bytes : 1)]());
}
