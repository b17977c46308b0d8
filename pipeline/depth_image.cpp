#include "pipeline/depth_image.h"

#include <string>
#include <vector>

#include "compute/app_state.h"
#include "diagnostics/debug_print.h"
#include "imageio/bmp_encoder.h"
#include "pipeline/problem_latch.h"

namespace {

constexpr const char* kDepthImageFile = "depth.bmp";

ProblemLatch saveProblem;
std::vector<unsigned char> vDepthFile;

}  // namespace

void SaveDepthImage(const unsigned char* pPixels, int32_t iWidth, int32_t iHeight) {
    std::string sReason;
    if (SaveBmp24(kDepthImageFile, pPixels, kPyramidBytesPerPixel, iWidth, iHeight, &vDepthFile, &sReason)) {
        saveProblem.Clear();
        return;
    }
    if (saveProblem.IsNew(sReason)) {
        DEBUG_PRINT("Cannot save %s (%s); the previous one stays\n", kDepthImageFile, sReason.c_str());
    }
}
