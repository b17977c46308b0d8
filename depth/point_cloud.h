#pragma once
// The left view's disparity as metric depth, Z = baseline x focal / (disparity + doffs),
// and as a point cloud in the left camera's frame: x right, y down, z forward, metres.

#include <string>

#include "depth/calibration.h"
#include "depth/stereo_matcher.h"

// The depth of every pixel as a PFM, infinity where there is no estimate (or where
// disparity + doffs is not positive). A camera's principal point that is not a number
// stands for the view's centre. Empty on success; otherwise the file and the reason.
std::string WriteDepthPfm(const std::string& fileName, const DisparityResult& result,
                          const StereoCamera& camera);

// Every pixel with a depth as a binary little-endian PLY vertex: float x, y, z and
// uchar red, green, blue from `pLeft` (3 samples per pixel, blue-green-red, row 0 on
// top, the result's size).
std::string WritePointCloudPly(const std::string& fileName, const DisparityResult& result,
                               const unsigned char* pLeft, const StereoCamera& camera);
