#include "pipeline/stereo_input.h"

#include <string>

#include "compute/app_state.h"
#include "diagnostics/debug_print.h"
#include "imageio/image_files.h"

namespace {

// Frames run back to back, so a problem is told once when it starts, not per frame.
std::string sReportedProblem;

void ReportProblem(const std::string& sProblem) {
    if (sProblem != sReportedProblem) {
        DEBUG_PRINT("Waiting for a usable stereo pair: %s\n", sProblem.c_str());
        sReportedProblem = sProblem;
    }
}

std::string SizeText(int32_t iWidth, int32_t iHeight) {
    return std::to_string(iWidth) + " x " + std::to_string(iHeight) + " pixels";
}

bool FitsPyramid(int32_t iWidth, int32_t iHeight) {
    const auto bytes = [](int64_t w, int64_t h) { return w * kPyramidBytesPerPixel * h; };
    return bytes(iWidth, iHeight) <= static_cast<int64_t>(PyramidLevelBytes(0)) &&
           bytes(iWidth / 2, iHeight / 2) <= static_cast<int64_t>(PyramidLevelBytes(1));
}

// Empty when the view is usable on its own.
std::string CheckView(const char* fileName, const unsigned char* pixels, ImageFileError error, int32_t iWidth,
                      int32_t iHeight) {
    if (pixels == nullptr) {
        return std::string(fileName) + " " + DescribeImageFileError(error);
    }
    if (iWidth < 2 || iHeight < 2) {
        return std::string(fileName) + " is " + SizeText(iWidth, iHeight) + ", too small to halve";
    }
    if (!FitsPyramid(iWidth, iHeight)) {
        return std::string(fileName) + " is " + SizeText(iWidth, iHeight) +
               ", more than the device buffers hold (" + SizeText(kPyramidBaseWidth, kPyramidBaseHeight) +
               ")";
    }
    return std::string();
}

}  // namespace

bool ReadStereoPair(StereoPair* pPair) {
    int32_t iLeftWidth = 0;
    int32_t iLeftHeight = 0;
    ImageFileError leftError = ImageFileError::None;
    pPair->pLeftPixels.reset(LoadBmpRgb(kLeftImageFile, &iLeftWidth, &iLeftHeight, &leftError));
    std::string sProblem =
        CheckView(kLeftImageFile, pPair->pLeftPixels.get(), leftError, iLeftWidth, iLeftHeight);

    if (sProblem.empty()) {
        ImageFileError rightError = ImageFileError::None;
        pPair->pRightPixels.reset(LoadBmpRgb(kRightImageFile, &pPair->iWidth, &pPair->iHeight, &rightError));
        sProblem =
            CheckView(kRightImageFile, pPair->pRightPixels.get(), rightError, pPair->iWidth, pPair->iHeight);
        if (sProblem.empty() && (pPair->iWidth != iLeftWidth || pPair->iHeight != iLeftHeight)) {
            sProblem = std::string(kLeftImageFile) + " is " + SizeText(iLeftWidth, iLeftHeight) + " but " +
                       kRightImageFile + " is " + SizeText(pPair->iWidth, pPair->iHeight);
        }
    }

    if (!sProblem.empty()) {
        ReportProblem(sProblem);
        return false;
    }
    sReportedProblem.clear();
    return true;
}
