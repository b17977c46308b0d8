#pragma once
// korrdepth's command line.

#include <optional>
#include <string>

#include "depth/calibration.h"

struct DepthOptions {
    bool bOnce = false;  // one frame, no window, exit status 0 or 1
    int iMaxDisparity = 64;
    bool bMaxDisparityGiven = false;
    std::string sLeftFile = "im2.bmp";
    std::string sRightFile = "im6.bmp";
    std::string sOutputFile = "disparity.bmp";  // none when empty
    std::string sPfmFile;                       // none when empty
    std::string sTimeFile;                      // the match's seconds; none when empty

    std::string sSceneDir;  // a scene folder: im0.png, im1.png, calib.txt
    std::string sKittiDir;  // a KITTI folder, matched pair by pair into sKittiOutputDir
    std::string sKittiOutputDir;
    std::string sName = "korrdepth";  // in the names of a scene folder's results

    std::string sTruthFile;  // none when empty
    std::string sTruthMaskFile;
    double dTruthScale = 0.0;  // grey levels per pixel of disparity; 0: the format's own

    std::optional<StereoCamera> camera;  // from calib.txt or --focal and --baseline
    std::string sDepthFile;              // none when empty
    std::string sPlyFile;
};

enum class DepthCommand {
    Run,
    Help,
    Version,
    Mistake,  // the reason is in *pError
};

extern const char kDepthUsage[];

DepthCommand ParseDepthOptions(int argc, const char* const* argv, DepthOptions* pOptions,
                               std::string* pError);
