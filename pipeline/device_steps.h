#pragma once
// The device work of a frame, on the objects the OpenCL setup made, one call per
// step, each returning its OpenCL status: the frame tells what fails, and the
// benchmarks time these very steps.

#include <cstdint>
#include <vector>

#include "compute/app_state.h"

constexpr int kInputLevel = 0;   // where the views are uploaded
constexpr int kOutputLevel = 1;  // one halving down: the level read back

// Bytes of a picture of that size in pyramid pixels.
size_t PyramidImageBytes(int32_t iWidth, int32_t iHeight);

// Blocking, into `level`.
cl_int EnqueueUpload(const cl::Buffer& level, const unsigned char* pixels, size_t bytes, cl::Event* pEvent);
// The halving kernel's six arguments for a level-0 picture of that size.
cl_int SetDecimateArguments(int32_t iWidth, int32_t iHeight);
// The launch on the (height / 2, width / 2) grid of one-item work-groups, with the
// arguments as they are; the event goes to appState.vKernelEvents[0].
cl_int EnqueueDecimate(int32_t iWidth, int32_t iHeight);
// Level 1 of the left pyramid, blocking, after `pWaitList`.
cl_int EnqueueReadBack(unsigned char* pOutput, size_t bytes, const std::vector<cl::Event>* pWaitList);
