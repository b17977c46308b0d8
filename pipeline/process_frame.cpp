#include "pipeline/process_frame.h"

#include <memory>
#include <new>
#include <string>

#include "compute/app_state.h"
#include "diagnostics/debug_print.h"
#include "display/draw_image.h"
#include "pipeline/depth_image.h"
#include "pipeline/device_steps.h"
#include "pipeline/frame_timing.h"
#include "pipeline/problem_latch.h"
#include "pipeline/stereo_input.h"
#include "platform/platform.h"

namespace {

ProblemLatch deviceProblem;  // a failed upload, launch or read-back, with its status
ProblemLatch memoryProblem;

bool IsNewDeviceProblem(const char* sStep, cl_int iStatus) {
    return deviceProblem.IsNew(std::string(sStep) + " " + std::to_string(iStatus));
}

bool Upload(const cl::Buffer& level, const unsigned char* pixels, size_t bytes, cl::Event* pEvent) {
    const cl_int iStatus = EnqueueUpload(level, pixels, bytes, pEvent);
    if (iStatus != CL_SUCCESS && IsNewDeviceProblem("upload", iStatus)) {
        DEBUG_PRINT("Cannot upload the stereo pair %d\n", iStatus);
    }
    return iStatus == CL_SUCCESS;
}

bool LaunchDecimate(int32_t iWidth, int32_t iHeight) {
    SetDecimateArguments(iWidth, iHeight);  // an argument refused shows in the launch's status
    const cl_int iStatus = EnqueueDecimate(iWidth, iHeight);
    if (iStatus != CL_SUCCESS && IsNewDeviceProblem("launch", iStatus)) {
        DEBUG_PRINT("Cannot enqueue clKernel %d\n", iStatus);
    }
    return iStatus == CL_SUCCESS;
}

bool ReadBack(unsigned char* pOutput, size_t bytes) {
    const cl_int iStatus = EnqueueReadBack(pOutput, bytes, &appState.vKernelEvents);
    if (iStatus != CL_SUCCESS && IsNewDeviceProblem("read-back", iStatus)) {
        DEBUG_PRINT("Cannot read back the depth image %d\n", iStatus);
    }
    return iStatus == CL_SUCCESS;
}

// Reads one view of the opened pair and uploads it to level 0 of its pyramid.
bool ReadAndUpload(StereoView view, const cl::Buffer& level, size_t bytes, cl::Event* pEvent) {
    const unsigned char* pPixels = ReadStereoView(view);
    return pPixels != nullptr && Upload(level, pPixels, bytes, pEvent);
}

// The output block, made by the first frame that reaches it, at the size of the
// level read back: the most a usable pair gives. The read-back fills what a frame
// uses of it.
unsigned char* OutputPixels() {
    static const std::unique_ptr<unsigned char[]> pOutputPixels(
        new unsigned char[PyramidLevelBytes(kOutputLevel)]);
    return pOutputPixels.get();
}

void ShowTiming(int64_t cnt1) {
    char sWindowTitle[kWindowTitleSize];
    CountFrameForTitle(cnt1, &appState.dTotalTime, &appState.fTotalTime, &appState.iFrameCount, sWindowTitle);
    PlatformSetWindowTitle(appState.hMainWindow, sWindowTitle);
}

// A frame whose device work fails ends without touching depth.bmp or the window.
// Each view is uploaded as soon as it is read; both headers were checked before.
void RunFrame() {
    int64_t cnt1 = 0;
    ReadCounter(&cnt1);

    int32_t iWidth = 0;
    int32_t iHeight = 0;
    const bool bUploaded = OpenStereoPair(&iWidth, &iHeight) &&
                           ReadAndUpload(StereoView::Left, appState.clLeftPyramid[kInputLevel],
                                         PyramidImageBytes(iWidth, iHeight), &appState.vUploadEvents[0]) &&
                           ReadAndUpload(StereoView::Right, appState.clRightPyramid[kInputLevel],
                                         PyramidImageBytes(iWidth, iHeight), &appState.vUploadEvents[1]);
    CloseStereoPair();
    if (!bUploaded || !LaunchDecimate(iWidth, iHeight)) {
        return;
    }

    const int32_t iOutputWidth = PyramidLevelSize(iWidth, kOutputLevel);
    const int32_t iOutputHeight = PyramidLevelSize(iHeight, kOutputLevel);
    unsigned char* pOutput = OutputPixels();
    if (!ReadBack(pOutput, PyramidImageBytes(iOutputWidth, iOutputHeight))) {
        return;
    }
    deviceProblem.Clear();

    SaveDepthImage(pOutput, iOutputWidth, iOutputHeight);
    DrawImageRgb(appState.hMainWindow, 0, 0, pOutput, iOutputWidth, iOutputHeight);

    ShowTiming(cnt1);
    memoryProblem.Clear();
}

}  // namespace

void ProcessFrame() {
    try {
        RunFrame();
    } catch (const std::bad_alloc&) {
        if (memoryProblem.IsNew("memory")) {
            DEBUG_PRINT("Waiting for a usable stereo pair: not enough memory for a frame\n");
        }
    }
}
