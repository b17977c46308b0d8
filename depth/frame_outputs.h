#pragma once
// The files a frame writes beside the disparity, when asked for: the seconds the match
// took, the depth in metres and the point cloud.

#include <string>

#include "depth/depth_options.h"
#include "depth/stereo_matcher.h"
#include "depth/view_pair.h"

// Each file is replaced whole or left as it was, one failing not keeping the others
// from being written. Empty when every file asked for was written; otherwise each that
// was not, as WriteDisparityFiles tells them.
std::string WriteFrameOutputs(const DepthOptions& options, const ViewPair& pair,
                              const DisparityResult& result, double dMatchSeconds);
