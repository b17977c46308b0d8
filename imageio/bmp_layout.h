#pragma once
// What a BMP file's headers say about its pixels, already checked against each
// other. Of the file's length only this much is checked: the pixel data starts
// within it. Data that ends early is the reader's matter, since a file may still be
// being written.

#include <cstddef>
#include <cstdint>

#include "imageio/image_files.h"

enum class BmpPixelCoding { Palette, Bgr24, Masked, Rle8, Rle4 };

// One channel of a 16- or 32-bit pixel: (pixel & mask) >> shift gives 0..max.
struct BmpChannel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;  // 0: the file has no such channel
};

struct BmpColor {
    unsigned char blue, green, red;
};

struct BmpLayout {
    int32_t width = 0;
    int32_t height = 0;  // always the magnitude; topDown carries the sign
    bool topDown = false;
    int bitCount = 0;
    BmpPixelCoding coding = BmpPixelCoding::Palette;
    uint32_t pixelOffset = 0;
    int64_t dataLength = 0;  // bytes of pixel data the headers promise; 0 when they do not say
    int paletteSize = 0;     // entries a pixel may index; higher indices are damage
    BmpColor palette[256] = {};
    BmpChannel red, green, blue, alpha;
};

// Bytes from the start of a file that hold every header and palette there can be.
constexpr size_t kBmpLayoutBytes = 14 + 124 + 256 * 4;

// Bytes of one stored row of uncompressed pixels: whole 32-bit words.
inline int64_t BmpRowStride(int32_t width, int bitCount) {
    return (int64_t{width} * bitCount + 31) / 32 * 4;
}

// Reads the headers and palette from the first `count` bytes of a file of
// `fileLength` bytes; `count` is the smaller of the two and kBmpLayoutBytes.
ImageFileError ParseBmpLayout(const unsigned char* bytes, size_t count, int64_t fileLength,
                              BmpLayout* layout);
