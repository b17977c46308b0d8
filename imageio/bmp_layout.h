#pragma once
// What a BMP file's headers say about its pixels, already checked against each
// other and against the file's length.

#include <cstdint>
#include <cstdio>

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
    int paletteSize = 0;  // entries a pixel may index; higher indices are damage
    BmpColor palette[256] = {};
    BmpChannel red, green, blue, alpha;
};

// Reads the headers and palette from the start of an open file.
ImageFileError ReadBmpLayout(std::FILE* file, BmpLayout* layout);
