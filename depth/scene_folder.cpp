#include "depth/scene_folder.h"

#include <filesystem>
#include <system_error>

#include "depth/stereo_matcher.h"
#include "imageio/sample_image.h"

namespace fs = std::filesystem;

std::string RangeProblem(int iMaxDisparity, const std::string& source) {
    if (iMaxDisparity >= kMinMaxDisparity && iMaxDisparity <= kMaxMaxDisparity) return std::string();
    return source + " asks for disparities up to " + std::to_string(iMaxDisparity) +
           ", but the matcher searches " + std::to_string(kMinMaxDisparity) + " to " +
           std::to_string(kMaxMaxDisparity) + "; give --max-disparity to search less";
}

namespace {

// The view's width from its header, its pixels left undecoded; 0 where there is none,
// which the frames then report.
int32_t ViewWidth(const std::string& file) {
    int32_t width = 0;
    Bgr8Image unused;
    ReadBgr8Image(
        file,
        [&width](int32_t iWidth, int32_t) {
            width = iWidth;
            return std::string("only the size is wanted");
        },
        &unused);
    return width;
}

}  // namespace

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
        // ndisp only bounds the range, and some datasets set it beyond the views' width:
        // no match lies farther than the view is wide.
        std::string source = calibFile + ": ndisp " + std::to_string(calibration.iDisparityCount);
        pOptions->iMaxDisparity = calibration.iDisparityCount - 1;
        const int32_t width = ViewWidth(pOptions->sLeftFile);
        if (width > 1 && pOptions->iMaxDisparity >= width) {
            pOptions->iMaxDisparity = width - 1;
            source += " in views " + std::to_string(width) + " pixels wide";
        }
        const std::string range = RangeProblem(pOptions->iMaxDisparity, source);
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
