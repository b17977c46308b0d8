#include "depth/frame_outputs.h"

#include <cstdio>

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
    std::string problem;
    if (!options.sTimeFile.empty()) problem = WriteSeconds(options.sTimeFile, dMatchSeconds);
    if (problem.empty() && !options.sDepthFile.empty() && options.camera) {
        problem = WriteDepthPfm(options.sDepthFile, result, *options.camera);
    }
    if (problem.empty() && !options.sPlyFile.empty() && options.camera) {
        problem = WritePointCloudPly(options.sPlyFile, result, pair.pLeft.get(), *options.camera);
    }
    return problem;
}
