#include "compute/kernel_build.h"

#include <optional>
#include <string>

#include "compute/app_state.h"
#include "compute/load_text_file.h"
#include "diagnostics/debug_print.h"

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
    const std::optional<std::string> source = LoadTextFile(kKernelSourceFile);
    if (!source) {
        DEBUG_PRINT("Cannot read the kernel source %s from the working directory\n", kKernelSourceFile);
        return false;
    }

    // The build's own status is not needed: a failed build shows in its log and then
    // as a failed kernel creation.
    appState.clProgram = cl::Program(appState.clContext, *source, true);

    std::string sBuildLog;
    appState.clProgram.getBuildInfo(device, CL_PROGRAM_BUILD_LOG, &sBuildLog);
    DEBUG_PRINT("Build Log:\n%s", sBuildLog.c_str());

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
