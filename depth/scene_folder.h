#pragma once
// A scene folder as Middlebury 2014 and ETH3D lay one out: im0.png and im1.png, the
// camera and range in calib.txt, and where known the truth, disp0GT.pfm, with
// mask0nocc.png.

#include <string>

#include "depth/depth_options.h"

// Takes the views, the range (unless given), the camera (unless given) and the truth
// (unless given) from options.sSceneDir. Empty on success; otherwise one line naming
// the file and what is wrong.
std::string ApplySceneFolder(DepthOptions* pOptions);

// Empty when the matcher searches up to `iMaxDisparity`; otherwise why not, saying
// where the range came from.
std::string RangeProblem(int iMaxDisparity, const std::string& source);
