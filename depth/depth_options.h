#pragma once
// korrdepth's command line.

#include <string>

struct DepthOptions {
    bool bOnce = false;  // one frame, no window, exit status 0 or 1
    int iMaxDisparity = 64;
    std::string sLeftFile = "im2.bmp";
    std::string sRightFile = "im6.bmp";
    std::string sOutputFile = "disparity.bmp";
    std::string sPfmFile;  // none when empty
};

enum class DepthCommand {
    Run,
    Help,
    Mistake,  // the reason is in *pError
};

extern const char kDepthUsage[];

DepthCommand ParseDepthOptions(int argc, const char* const* argv, DepthOptions* pOptions,
                               std::string* pError);
