#include "compute/kernel_build.h"

#include "compute/app_state.h"
#include "compute/program_build.h"
#include "diagnostics/debug_print.h"

namespace {

constexpr size_t kUploadEventSlots = 2;  // left, right
constexpr size_t kKernelEventSlots = 1;

cl_int CreateLevel(size_t bytes, cl::Buffer* pLevel) {
    cl_int iStatus = CL_SUCCESS;
    *pLevel = cl::Buffer(appState.clContext, CL_MEM_READ_WRITE, bytes, nullptr, &iStatus);
    if (iStatus != CL_SUCCESS) {
        return iStatus;
    }
    return appState.clCommandQueue.enqueueFillBuffer(*pLevel, cl_uchar{0}, 0, bytes);
}

// Every level starts as zeros, so whatever a kernel leaves unwritten reads back as
// zero rather than as memory the runtime used before.
cl_int CreatePyramids() {
    for (int level = 0; level < kPyramidLevels; ++level) {
        const size_t bytes = PyramidLevelBytes(level);
        cl_int iStatus = CreateLevel(bytes, &appState.clLeftPyramid[level]);
        if (iStatus == CL_SUCCESS) {
            iStatus = CreateLevel(bytes, &appState.clRightPyramid[level]);
        }
        if (iStatus != CL_SUCCESS) {
            return iStatus;
        }
    }
    return appState.clCommandQueue.finish();
}

void CreateEventSlots() {
    appState.vUploadEvents.assign(kUploadEventSlots, cl::Event());
    appState.vKernelEvents.assign(kKernelEventSlots, cl::Event());
}

}  // namespace

bool BuildKernelAndBuffers(const cl::Device& device) {
    if (!BuildProgramFromFile(appState.clContext, device, kKernelSourceFile, &appState.clProgram)) {
        return false;
    }

    cl_int iErrNum = CL_SUCCESS;
    appState.clKernel = cl::Kernel(appState.clProgram, kKernelName, &iErrNum);
    if (iErrNum != CL_SUCCESS) {
        DEBUG_PRINT("Faild to create %s kernel %d\n", kKernelName, iErrNum);
        return false;
    }

    const cl_int iPyramidStatus = CreatePyramids();
    if (iPyramidStatus != CL_SUCCESS) {
        DEBUG_PRINT("Cannot create the image pyramids %d\n", iPyramidStatus);
        return false;
    }
    CreateEventSlots();
    return true;
}
