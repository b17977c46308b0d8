#include "depth/disparity_output.h"

#include <vector>

#include "imageio/bmp_encoder.h"
#include "imageio/native_file.h"
#include "imageio/pfm_file.h"

namespace {

bool SaveGreyBmp(const std::string& file, const DisparityResult& result, std::string* psReason) {
    std::vector<unsigned char> vFile;
    if (!EncodeBmp24(result.vGrey.data(), 3, result.iWidth, result.iHeight, &vFile)) {
        *psReason = "not enough memory";
        return false;
    }
    return ReplaceFileWhole(file.c_str(), vFile.data(), vFile.size(), psReason);
}

}  // namespace

std::string WriteDisparityFiles(const DepthOptions& options, const DisparityResult& result) {
    std::string sReason;
    if (!SaveGreyBmp(options.sOutputFile, result, &sReason)) {
        return options.sOutputFile + " (" + sReason + ")";
    }
    if (!options.sPfmFile.empty() && !SavePfmGrey(options.sPfmFile.c_str(), result.vDisparity.data(),
                                                  result.iWidth, result.iHeight, &sReason)) {
        return options.sPfmFile + " (" + sReason + ")";
    }
    return std::string();
}
