#pragma once
// Pixel decoding behind LoadBmpRgb / LoadBmpRgba. Both decoders expect the file
// positioned at the first pixel byte and a zero-filled buffer of width x height x
// order.samples; what the file does not supply stays zero.

#include <cstdio>

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
ImageFileError DecodeBmpRows(std::FILE* file, const BmpLayout& layout, SampleOrder order,
                             unsigned char* pixels);

// RLE8 and RLE4 streams.
ImageFileError DecodeBmpRle(std::FILE* file, const BmpLayout& layout, SampleOrder order,
                            unsigned char* pixels);
