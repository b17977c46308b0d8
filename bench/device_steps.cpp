#include "bench/device_steps.h"

#include "bench/bench_setup.h"

namespace {

size_t ImageBytes(int32_t iWidth, int32_t iHeight) {
    return static_cast<size_t>(iWidth) * kPyramidBytesPerPixel * static_cast<size_t>(iHeight);
}

}  // namespace

cl_int UploadPair(const BenchFrame& frame) {
    const size_t bytes = ImageBytes(frame.iWidth, frame.iHeight);
    const cl_int iLeftStatus = appState.clCommandQueue.enqueueWriteBuffer(
        appState.clLeftPyramid[0], CL_TRUE, 0, bytes, frame.pLeftPixels.get(), nullptr,
        &appState.vUploadEvents[0]);
    const cl_int iRightStatus = appState.clCommandQueue.enqueueWriteBuffer(
        appState.clRightPyramid[0], CL_TRUE, 0, bytes, frame.pRightPixels.get(), nullptr,
        &appState.vUploadEvents[1]);
    return iLeftStatus != CL_SUCCESS ? iLeftStatus : iRightStatus;
}

cl_int SetHalvingArguments(const BenchFrame& frame) {
    cl::Kernel& clKernel = appState.clKernel;
    const cl_int iStatuses[] = {
        clKernel.setArg(0, appState.clLeftPyramid[0]),
        clKernel.setArg(1, appState.clLeftPyramid[1]),
        clKernel.setArg(2, frame.iWidth),
        clKernel.setArg(3, frame.iHeight),
        clKernel.setArg(4, frame.iOutputWidth),
        clKernel.setArg(5, frame.iOutputHeight),
    };
    for (const cl_int iStatus : iStatuses) {
        if (iStatus != CL_SUCCESS) return iStatus;
    }
    return CL_SUCCESS;
}

cl_int EnqueueHalving(const BenchFrame& frame) {
    return appState.clCommandQueue.enqueueNDRangeKernel(
        appState.clKernel, cl::NDRange(0, 0),
        cl::NDRange(static_cast<size_t>(frame.iOutputHeight), static_cast<size_t>(frame.iOutputWidth)),
        cl::NDRange(1, 1), nullptr, &appState.vKernelEvents[0]);
}

cl_int LaunchHalving(const BenchFrame& frame) {
    const cl_int iStatus = SetHalvingArguments(frame);
    return iStatus != CL_SUCCESS ? iStatus : EnqueueHalving(frame);
}

cl_int ReadBackHalf(const BenchFrame& frame, const std::vector<cl::Event>* pWaitList) {
    return appState.clCommandQueue.enqueueReadBuffer(appState.clLeftPyramid[1], CL_TRUE, 0,
                                                     ImageBytes(frame.iOutputWidth, frame.iOutputHeight),
                                                     frame.pOutputPixels.get(), pWaitList, nullptr);
}
