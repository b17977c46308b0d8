#pragma once
// Pixel decoding behind BmpFile. Both decoders take the pixel data as it lies in
// the file, from its first byte to as far as the file goes, and write every sample
// of a buffer of width x height x order.samples: what the data does not supply is
// zero.

#include <cstddef>

#include "imageio/bmp_layout.h"
#include "imageio/image_files.h"

// Where a decoded pixel's samples go in the caller's buffer.
struct SampleOrder {
    int samples;    // 3 or 4
    bool redFirst;  // R, G, B (, A) instead of B, G, R (, A)

    void Store(unsigned char* pixel, unsigned char blue, unsigned char green, unsigned char red,
               unsigned char alpha) const {
        pixel[0] = redFirst ? red : blue;
        pixel[1] = green;
        pixel[2] = redFirst ? blue : red;
        if (samples == 4) pixel[3] = alpha;
    }
};

// Uncompressed rows: palette, 24-bit and masked 16/32-bit pixels.
ImageFileError DecodeBmpRows(const unsigned char* data, size_t size, const BmpLayout& layout,
                             SampleOrder order, unsigned char* pixels);

// RLE8 and RLE4 streams.
ImageFileError DecodeBmpRle(const unsigned char* data, size_t size, const BmpLayout& layout,
                            SampleOrder order, unsigned char* pixels);
