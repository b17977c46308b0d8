#pragma once
// The OpenCL C++ bindings as this program uses them: the 1.2 API, no exceptions, and
// programs built with the empty option string rather than "-cl-std=CL2.0".
#define CL_HPP_TARGET_OPENCL_VERSION 120
#define CL_HPP_MINIMUM_OPENCL_VERSION 120
#define CL_HPP_CL_1_2_DEFAULT_BUILD
#include <CL/opencl.hpp>
