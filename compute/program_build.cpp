#include "compute/program_build.h"

#include <filesystem>
#include <optional>

#include "compute/load_text_file.h"
#include "diagnostics/debug_print.h"

bool BuildProgramFromFile(const cl::Context& clContext, const cl::Device& device, const std::string& fileName,
                          cl::Program* pProgram, const std::string& options) {
    const std::optional<std::string> source = LoadTextFile(fileName);
    if (!source) {
        DEBUG_PRINT("Cannot read the kernel source %s%s\n", fileName.c_str(),
                    std::filesystem::path(fileName).is_relative() ? " from the working directory" : "");
        return false;
    }
    *pProgram = cl::Program(clContext, *source);
    // A failed build shows in the log below; its status adds nothing to it.
    pProgram->build(options.c_str());

    std::string sBuildLog;
    pProgram->getBuildInfo(device, CL_PROGRAM_BUILD_LOG, &sBuildLog);
    DEBUG_PRINT("Build Log:\n%s", sBuildLog.c_str());
    return true;
}
