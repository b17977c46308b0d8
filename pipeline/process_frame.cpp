#include "pipeline/process_frame.h"

#include <memory>

#include "compute/app_state.h"
#include "diagnostics/debug_print.h"
#include "display/draw_image.h"
#include "imageio/image_files.h"
#include "pipeline/frame_timing.h"
#include "pipeline/stereo_input.h"
#include "platform/platform.h"

namespace {

constexpr const char* kDepthImageFile = "depth.bmp";
constexpr int kInputLevel = 0;
constexpr int kLevelCount = 1;  // halvings to the output, and the level read back

size_t ImageBytes(int32_t iWidth, int32_t iHeight, int32_t iBytesPerPixel) {
    return static_cast<size_t>(iWidth) * static_cast<size_t>(iBytesPerPixel) * static_cast<size_t>(iHeight);
}

void Upload(const cl::Buffer& level, const unsigned char* pixels, size_t bytes, cl::Event* pEvent) {
    appState.clCommandQueue.enqueueWriteBuffer(level, CL_TRUE, 0, bytes, pixels, nullptr, pEvent);
}

void LaunchDecimate(int32_t iWidth, int32_t iHeight) {
    cl::Kernel& clKernel = appState.clKernel;
    clKernel.setArg(0, appState.clLeftPyramid[kInputLevel]);
    clKernel.setArg(1, appState.clLeftPyramid[kInputLevel + 1]);
    clKernel.setArg(2, iWidth);
    clKernel.setArg(3, iHeight);
    clKernel.setArg(4, iWidth / 2);
    clKernel.setArg(5, iHeight / 2);

    // Rows in dimension 0, columns in dimension 1. The offset must be two-dimensional:
    // a one-dimensional NDRange holds 1 in its unused dimension.
    const cl::NDRange ndRangeGlobal(static_cast<size_t>(iHeight / 2), static_cast<size_t>(iWidth / 2));
    const cl::NDRange ndRangeLocal(1, 1);
    const cl::NDRange ndRangeOffset(0, 0);
    const cl_int iStatus = appState.clCommandQueue.enqueueNDRangeKernel(
        clKernel, ndRangeOffset, ndRangeGlobal, ndRangeLocal, nullptr, &appState.vKernelEvents[0]);
    if (iStatus != CL_SUCCESS) {
        DEBUG_PRINT("Cannot enqueue clKernel %d\n", iStatus);
    }
}

void ShowTiming(int64_t cnt1) {
    int64_t cnt2 = 0;
    ReadCounter(&cnt2);
    const float dt = GetElapsedSeconds(&cnt2, &cnt1);
    appState.fTotalTime += dt;
    appState.iFrameCount += 1;

    char sWindowTitle[kWindowTitleSize];
    FormatFrameTitle(sWindowTitle, dt, appState.fTotalTime, appState.iFrameCount);
    PlatformSetWindowTitle(appState.hMainWindow, sWindowTitle);
}

}  // namespace

void ProcessFrame() {
    int64_t cnt1 = 0;
    ReadCounter(&cnt1);

    StereoPair pair;
    if (!ReadStereoPair(&pair)) {
        return;
    }
    const int32_t iWidth = pair.iWidth;
    const int32_t iHeight = pair.iHeight;
    const size_t inputBytes = ImageBytes(iWidth, iHeight, kPyramidBytesPerPixel);
    Upload(appState.clLeftPyramid[kInputLevel], pair.pLeftPixels.get(), inputBytes,
           &appState.vUploadEvents[0]);
    Upload(appState.clRightPyramid[kInputLevel], pair.pRightPixels.get(), inputBytes,
           &appState.vUploadEvents[1]);

    LaunchDecimate(iWidth, iHeight);

    const int32_t iOutputWidth = PyramidLevelSize(iWidth, kLevelCount);
    const int32_t iOutputHeight = PyramidLevelSize(iHeight, kLevelCount);
    // Zeroed, so a failed launch or read-back never puts stray memory into the file.
    const size_t outputBytes = ImageBytes(iOutputWidth, iOutputHeight, kPyramidBytesPerPixel);
    std::unique_ptr<unsigned char[]> pOutput(new unsigned char[outputBytes]());
    appState.clCommandQueue.enqueueReadBuffer(appState.clLeftPyramid[kLevelCount], CL_TRUE, 0, outputBytes,
                                              pOutput.get(), &appState.vKernelEvents, nullptr);

    SaveBmpFromRgb(kDepthImageFile, pOutput.get(), iOutputWidth, iOutputHeight);
    DrawImageRgb(appState.hMainWindow, 0, 0, pOutput.get(), iOutputWidth, iOutputHeight);
    pOutput.reset();
    pair = StereoPair();

    ShowTiming(cnt1);
}
