#pragma once
// The suite's reference renderings, decoded with libpng to 8-bit RGBA exactly as
// stored: no gamma or colour-space conversion.

#include <string>
#include <vector>

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba;  // top row first
};

bool LoadPngRgba(const std::string& fileName, RgbaImage* image);
