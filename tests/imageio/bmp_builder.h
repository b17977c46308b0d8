#pragma once
// Builds BMP files byte by byte so a test states exactly what its file holds.

#include <cstdint>
#include <vector>

struct BmpFields {
    uint32_t infoSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    std::vector<uint32_t> masks;        // after a 40-byte header, else inside the header
    std::vector<uint32_t> palette;      // 0xAARRGGBB, stored as B, G, R, A
    std::vector<unsigned char> pixels;  // as stored: padding and RLE codes included
    int64_t pixelOffset = -1;           // -1: straight after the palette

    std::vector<unsigned char> Bytes() const;
};
