#pragma once
// How large a picture the readers accept, how much of it a file must hold to be
// believed, and the allocation of a picture within those limits.

#include <cstdint>
#include <memory>
#include <new>

// 16384 x 16384 pixels: a 4-sample buffer then stays within 1 GiB. Larger
// pictures are refused before anything is allocated. The fuzz targets build with a
// smaller limit: a few bytes of RLE may rightly describe a blank picture of the
// largest size, and filling a gigabyte takes them past their time-out.
#ifndef KORRAPP_MAX_IMAGE_PIXELS
#define KORRAPP_MAX_IMAGE_PIXELS (int64_t{16384} * 16384)
#endif
constexpr int64_t kMaxImagePixels = KORRAPP_MAX_IMAGE_PIXELS;

// Dimensions arrive from files as 64-bit values so that no check can overflow.
inline bool FitsPixelLimit(int64_t width, int64_t height) {
    return width >= 0 && height >= 0 && width <= INT32_MAX && height <= INT32_MAX &&
           width * height <= kMaxImagePixels;
}

// A file may hold less than its header declares, cut off or still being written;
// its missing samples read as zero. But a header is not believed when the file
// holds less than half of what it declares and lacks more than this: no buffer is
// allocated that the file could not plausibly fill.
constexpr int64_t kShortFileAllowance = 64 * 1024;

inline bool IsPlausiblyFilled(int64_t declaredBytes, int64_t heldBytes) {
    const int64_t missing = declaredBytes - heldBytes;
    return missing <= kShortFileAllowance || missing <= heldBytes;
}

// Never zero-length, so an empty picture is still a non-null buffer; null when
// memory runs out. The decoders write every sample.
inline std::unique_ptr<unsigned char[]> NewPixelBuffer(int64_t width, int64_t height, int samples) {
    const int64_t bytes = width * height * samples;
    return std::unique_ptr<unsigned char[]>(
        new (std::nothrow) unsigned char[static_cast<size_t>(bytes > 0 ? bytes : 1)]);
}
