#pragma once
// Writing a frame's result: the grey BMP and, when asked for, the PFM.

#include <string>

#include "depth/depth_options.h"
#include "depth/stereo_matcher.h"

// Empty when every file asked for was written whole; otherwise the first that was not.
std::string WriteDisparityFiles(const DepthOptions& options, const DisparityResult& result);
