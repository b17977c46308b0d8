#include "depth/scene_folder.h"

#include <filesystem>
#include <system_error>

#include "depth/stereo_matcher.h"

namespace fs = std::filesystem;

std::string RangeProblem(int iMaxDisparity, const std::string& source) {
    if (iMaxDisparity >= kMinMaxDisparity && iMaxDisparity <= kMaxMaxDisparity) return std::string();
    return source + " asks for disparities up to " + std::to_string(iMaxDisparity) +
           ", but the matcher searches " + std::to_string(kMinMaxDisparity) + " to " +
           std::to_string(kMaxMaxDisparity) + "; give --max-disparity to search less";
}

std::string ApplySceneFolder(DepthOptions* pOptions) {
    const fs::path dir = fs::u8path(pOptions->sSceneDir);
    std::error_code error;
    if (!fs::is_directory(dir, error)) return pOptions->sSceneDir + " is not a folder";
    pOptions->sLeftFile = (dir / "im0.png").u8string();
    pOptions->sRightFile = (dir / "im1.png").u8string();
    for (const std::string& view : {pOptions->sLeftFile, pOptions->sRightFile}) {
        if (!fs::exists(fs::u8path(view), error))
            return view + " is missing: a scene folder holds im0.png and im1.png";
    }

    const std::string calibFile = (dir / "calib.txt").u8string();
    SceneCalibration calibration;
    const std::string problem = ReadCalibration(calibFile, &calibration);
    if (!problem.empty()) return problem;
    if (!pOptions->bMaxDisparityGiven) {
        pOptions->iMaxDisparity = calibration.iDisparityCount - 1;
        const std::string range = RangeProblem(
            pOptions->iMaxDisparity, calibFile + ": ndisp " + std::to_string(calibration.iDisparityCount));
        if (!range.empty()) return range;
    }
    if (!pOptions->camera) pOptions->camera = calibration.camera;

    if (pOptions->sTruthFile.empty() && fs::exists(dir / "disp0GT.pfm", error)) {
        pOptions->sTruthFile = (dir / "disp0GT.pfm").u8string();
        if (pOptions->sTruthMaskFile.empty() && fs::exists(dir / "mask0nocc.png", error)) {
            pOptions->sTruthMaskFile = (dir / "mask0nocc.png").u8string();
        }
    }
    return std::string();
}
