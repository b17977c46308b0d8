#include "pipeline/device_steps.h"

size_t PyramidImageBytes(int32_t iWidth, int32_t iHeight) {
    return static_cast<size_t>(iWidth) * kPyramidBytesPerPixel * static_cast<size_t>(iHeight);
}

cl_int EnqueueUpload(const cl::Buffer& level, const unsigned char* pixels, size_t bytes, cl::Event* pEvent) {
    return appState.clCommandQueue.enqueueWriteBuffer(level, CL_TRUE, 0, bytes, pixels, nullptr, pEvent);
}

cl_int SetDecimateArguments(int32_t iWidth, int32_t iHeight) {
    cl::Kernel& clKernel = appState.clKernel;
    const cl_int iStatuses[] = {
        clKernel.setArg(0, appState.clLeftPyramid[kInputLevel]),
        clKernel.setArg(1, appState.clLeftPyramid[kOutputLevel]),
        clKernel.setArg(2, iWidth),
        clKernel.setArg(3, iHeight),
        clKernel.setArg(4, iWidth / 2),
        clKernel.setArg(5, iHeight / 2),
    };
    for (const cl_int iStatus : iStatuses) {
        if (iStatus != CL_SUCCESS) return iStatus;
    }
    return CL_SUCCESS;
}

cl_int EnqueueDecimate(int32_t iWidth, int32_t iHeight) {
    // Rows in dimension 0, columns in dimension 1. The offset must be two-dimensional:
    // a one-dimensional NDRange holds 1 in its unused dimension.
    const cl::NDRange ndRangeGlobal(static_cast<size_t>(iHeight / 2), static_cast<size_t>(iWidth / 2));
    const cl::NDRange ndRangeLocal(1, 1);
    const cl::NDRange ndRangeOffset(0, 0);
    return appState.clCommandQueue.enqueueNDRangeKernel(appState.clKernel, ndRangeOffset, ndRangeGlobal,
                                                        ndRangeLocal, nullptr, &appState.vKernelEvents[0]);
}

cl_int EnqueueReadBack(unsigned char* pOutput, size_t bytes, const std::vector<cl::Event>* pWaitList) {
    return appState.clCommandQueue.enqueueReadBuffer(appState.clLeftPyramid[kOutputLevel], CL_TRUE, 0, bytes,
                                                     pOutput, pWaitList, nullptr);
}
