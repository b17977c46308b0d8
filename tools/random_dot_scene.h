#pragma once
// Stereo pairs of random-dot texture with known disparities: a flat background and,
// optionally, a flat rectangle in front of it.

#include <cstdint>
#include <vector>

struct RandomDotScene {
    int32_t width;
    int32_t height;
    int background;  // disparity
    int front;       // disparity of the rectangle; 0 for none
    int left, top, right, bottom;
};

struct RandomDotPair {
    std::vector<unsigned char> left;  // 3 samples per pixel, row 0 on top
    std::vector<unsigned char> right;
    std::vector<float> truth;  // of the left view; 0 where its match lies left of the right view
};

RandomDotPair RenderRandomDotPair(const RandomDotScene& scene);
