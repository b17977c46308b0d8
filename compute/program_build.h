#pragma once
#include <string>

#include "compute/opencl_bindings.h"

// Reads `fileName` from the working directory and builds it for every device of
// `clContext` with `options` (empty for korrapp), then prints the build log of `device`.
// False, with the reason printed, only when the file cannot be read: a failed build
// shows in its log and then when a kernel is created from *pProgram.
bool BuildProgramFromFile(const cl::Context& clContext, const cl::Device& device, const std::string& fileName,
                          cl::Program* pProgram, const std::string& options = std::string());
