#pragma once
// The project's own stereo pair: flat surfaces at known depths, drawn from both eyes.

#include <vector>

struct StereoSample {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> left;       // blue, green, red per pixel; top row first
    std::vector<unsigned char> right;      // a left-view point at column x shows here at x - d
    std::vector<unsigned char> disparity;  // d in pixels, one byte per left-view pixel
};

// 450 x 375, the same bytes on every call and every platform.
StereoSample GenerateSampleScene();
