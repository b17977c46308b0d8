#include "bench/device_steps.h"

#include "bench/bench_setup.h"
#include "pipeline/device_steps.h"

cl_int UploadPair(const BenchFrame& frame) {
    const size_t bytes = PyramidImageBytes(frame.iWidth, frame.iHeight);
    const cl_int iLeftStatus =
        EnqueueUpload(appState.clLeftPyramid[0], frame.pLeftPixels.get(), bytes, &appState.vUploadEvents[0]);
    const cl_int iRightStatus = EnqueueUpload(appState.clRightPyramid[0], frame.pRightPixels.get(), bytes,
                                              &appState.vUploadEvents[1]);
    return iLeftStatus != CL_SUCCESS ? iLeftStatus : iRightStatus;
}

cl_int SetHalvingArguments(const BenchFrame& frame) {
    return SetDecimateArguments(frame.iWidth, frame.iHeight);
}

cl_int EnqueueHalving(const BenchFrame& frame) {
    return EnqueueDecimate(frame.iWidth, frame.iHeight);
}

cl_int LaunchHalving(const BenchFrame& frame) {
    const cl_int iStatus = SetHalvingArguments(frame);
    return iStatus != CL_SUCCESS ? iStatus : EnqueueHalving(frame);
}

cl_int ReadBackHalf(const BenchFrame& frame, const std::vector<cl::Event>* pWaitList) {
    return EnqueueReadBack(frame.pOutputPixels.get(),
                           PyramidImageBytes(frame.iOutputWidth, frame.iOutputHeight), pWaitList);
}
