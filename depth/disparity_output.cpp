#include "depth/disparity_output.h"

#include <string>
#include <vector>

#include "imageio/bmp_encoder.h"
#include "imageio/pfm_file.h"

namespace {

std::vector<unsigned char> vGreyFile;  // kept, so that frames of one size reuse its memory

}  // namespace

void AddUnwritten(const std::string& unwritten, std::string* pList) {
    if (!unwritten.empty()) {
        *pList += (pList->empty() ? "" : ", ") + unwritten;
    }
}

std::string WriteDisparityFiles(const DepthOptions& options, const DisparityResult& result) {
    std::string sUnwritten, sReason;
    if (!options.sOutputFile.empty() && !SaveBmp24(options.sOutputFile.c_str(), result.vGrey.data(), 3,
                                                   result.iWidth, result.iHeight, &vGreyFile, &sReason)) {
        AddUnwritten(options.sOutputFile + " (" + sReason + ")", &sUnwritten);
    }
    if (!options.sPfmFile.empty() && !SavePfmGrey(options.sPfmFile.c_str(), result.vDisparity.data(),
                                                  result.iWidth, result.iHeight, &sReason)) {
        AddUnwritten(options.sPfmFile + " (" + sReason + ")", &sUnwritten);
    }
    return sUnwritten;
}
