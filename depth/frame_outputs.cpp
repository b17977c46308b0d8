#include "depth/frame_outputs.h"

#include <cstdio>

#include "depth/disparity_output.h"
#include "depth/point_cloud.h"
#include "imageio/native_file.h"

namespace {

std::string WriteSeconds(const std::string& fileName, double dSeconds) {
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%.6f\n", dSeconds);
    std::string sReason;
    if (!ReplaceFileWhole(fileName.c_str(), text, static_cast<size_t>(length), &sReason)) {
        return fileName + " (" + sReason + ")";
    }
    return std::string();
}

}  // namespace

std::string WriteFrameOutputs(const DepthOptions& options, const ViewPair& pair,
                              const DisparityResult& result, double dMatchSeconds) {
    std::string unwritten;
    if (!options.sTimeFile.empty()) AddUnwritten(WriteSeconds(options.sTimeFile, dMatchSeconds), &unwritten);
    if (!options.sDepthFile.empty() && options.camera) {
        AddUnwritten(WriteDepthPfm(options.sDepthFile, result, *options.camera), &unwritten);
    }
    if (!options.sPlyFile.empty() && options.camera) {
        AddUnwritten(WritePointCloudPly(options.sPlyFile, result, pair.pLeft.get(), *options.camera),
                     &unwritten);
    }
    return unwritten;
}
