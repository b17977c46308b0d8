#pragma once
// The files a frame writes beside the disparity, when asked for: the seconds the match
// took, the depth in metres and the point cloud.

#include <string>

#include "depth/depth_options.h"
#include "depth/stereo_matcher.h"
#include "depth/view_pair.h"

// Each file is replaced whole or left as it was. Empty when every file asked for was
// written; otherwise the first that was not, with the reason.
std::string WriteFrameOutputs(const DepthOptions& options, const ViewPair& pair,
                              const DisparityResult& result, double dMatchSeconds);
