#pragma once
#include "compute/opencl_bindings.h"

constexpr const char* kKernelSourceFile = "test.cl";
constexpr const char* kKernelName = "DecimateImage";

// The second half of the setup: reads and builds the kernel source in appState's
// context, prints the build log for `device`, creates the kernel, both pyramids
// with every level zero-filled, and the event slots. False, with the reason
// printed, when there is no kernel or the pyramids cannot be made.
bool BuildKernelAndBuffers(const cl::Device& device);
