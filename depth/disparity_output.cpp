#include "depth/disparity_output.h"

#include <vector>

#include "imageio/bmp_encoder.h"
#include "imageio/pfm_file.h"

namespace {

std::vector<unsigned char> vGreyFile;  // kept, so that frames of one size reuse its memory

}  // namespace

std::string WriteDisparityFiles(const DepthOptions& options, const DisparityResult& result) {
    std::string sReason;
    if (!options.sOutputFile.empty() &&
        !SaveBmp24(options.sOutputFile.c_str(), result.vGrey.data(), 3, result.iWidth, result.iHeight, &vGreyFile,
                   &sReason)) {
        return options.sOutputFile + " (" + sReason + ")";
    }
    if (!options.sPfmFile.empty() && !SavePfmGrey(options.sPfmFile.c_str(), result.vDisparity.data(),
                                                  result.iWidth, result.iHeight, &sReason)) {
        return options.sPfmFile + " (" + sReason + ")";
    }
    return std::string();
}
