#pragma once
// The process-wide state: filled once by InitOpenCL and by the entry, used by every frame.

#include <array>
#include <cstdint>
#include <vector>

#include "compute/opencl_bindings.h"

struct PlatformWindow;

constexpr int32_t kPyramidBaseWidth = 450;
constexpr int32_t kPyramidBaseHeight = 375;
constexpr int32_t kPyramidBytesPerPixel = 3;
constexpr int kPyramidLevels = 4;

using ImagePyramid = std::array<cl::Buffer, kPyramidLevels>;

// Members are destroyed in reverse order: the events and the program go before the
// context and the queue they were made in.
struct AppState {
    cl::CommandQueue clCommandQueue;
    cl::Context clContext;
    cl::Kernel clKernel;
    cl::Program clProgram;
    std::vector<cl::Event> vKernelEvents;
    std::vector<cl::Event> vUploadEvents;
    ImagePyramid clLeftPyramid;   // level i: the left view halved i times
    ImagePyramid clRightPyramid;  // laid out like the left one
    PlatformWindow* hMainWindow = nullptr;
    float fTotalTime = 0.0f;  // what the title shows, taken from dTotalTime
    double dTotalTime = 0.0;  // the sum itself, which still takes in whole frames after hours
    int32_t iFrameCount = 0;
};

extern AppState appState;

// A width or height halved `level` times, as from one pyramid level to the next.
constexpr int32_t PyramidLevelSize(int32_t baseSize, int level) {
    return baseSize >> level;
}

constexpr size_t PyramidLevelBytes(int level) {
    return static_cast<size_t>(PyramidLevelSize(kPyramidBaseWidth, level)) * kPyramidBytesPerPixel *
           static_cast<size_t>(PyramidLevelSize(kPyramidBaseHeight, level));
}
