#pragma once
// Writing a frame's result: the grey BMP and, when asked for, the PFM.

#include <string>

#include "depth/depth_options.h"
#include "depth/stereo_matcher.h"

// Each file is replaced whole or left as it was. Empty when every file asked for was
// written; otherwise the first that was not, with the reason.
std::string WriteDisparityFiles(const DepthOptions& options, const DisparityResult& result);
