#pragma once
// What every benchmark shares: a folder of its own holding test.cl and the sample
// pair, made the working directory; the main window; the OpenCL setup; and the pair
// read once, with a frame's output block, for the stages that start from pixels.

#include <cstdint>
#include <memory>

struct BenchFrame {
    std::unique_ptr<unsigned char[]> pLeftPixels;
    std::unique_ptr<unsigned char[]> pRightPixels;
    std::unique_ptr<unsigned char[]> pOutputPixels;  // the result, 3 bytes a pixel
    int32_t iWidth = 0;
    int32_t iHeight = 0;
    int32_t iOutputWidth = 0;
    int32_t iOutputHeight = 0;
};

// False, after saying why on standard error, when frames cannot run here.
bool SetUpBenchmarks();
// Closes the window and removes the folder.
void TearDownBenchmarks();

const BenchFrame& Frame();
