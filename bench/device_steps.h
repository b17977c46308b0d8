#pragma once
// The device steps of a frame, each as ProcessFrame takes it, on the objects the
// OpenCL setup made. Each returns the OpenCL status.

#include <vector>

#include "compute/app_state.h"

struct BenchFrame;

// Both views, blocking, to level 0 of the two pyramids.
cl_int UploadPair(const BenchFrame& frame);
// The six arguments of the halving kernel for the frame's size.
cl_int SetHalvingArguments(const BenchFrame& frame);
// Sets the arguments and launches on the (height / 2, width / 2) grid of one-item
// work-groups; the event goes to appState.vKernelEvents[0]. Returns at once.
cl_int LaunchHalving(const BenchFrame& frame);
// The same launch with the arguments left as they are.
cl_int EnqueueHalving(const BenchFrame& frame);
// Level 1 of the left pyramid into the output block, blocking, after `pWaitList`.
cl_int ReadBackHalf(const BenchFrame& frame, const std::vector<cl::Event>* pWaitList);
