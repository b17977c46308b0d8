#include "compute/kernel_build.h"

#include "app/debug_print.h"
#include "compute/app_state.h"
#include "compute/program_build.h"

namespace {

constexpr size_t kUploadEventSlots = 2;  // left, right
constexpr size_t kKernelEventSlots = 1;

void CreatePyramids() {
    for (int level = 0; level < kPyramidLevels; ++level) {
        appState.clLeftPyramid[level] =
            cl::Buffer(appState.clContext, CL_MEM_READ_WRITE, PyramidLevelBytes(level));
        appState.clRightPyramid[level] =
            cl::Buffer(appState.clContext, CL_MEM_READ_WRITE, PyramidLevelBytes(level));
    }
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

    CreatePyramids();
    CreateEventSlots();
    return true;
}
