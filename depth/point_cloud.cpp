#include "depth/point_cloud.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "imageio/little_endian.h"
#include "imageio/native_file.h"
#include "imageio/pfm_file.h"

namespace {

constexpr size_t kVertexBytes = 3 * 4 + 3;

float DepthMetres(float disparity, const StereoCamera& camera) {
    const double shifted = static_cast<double>(disparity) + camera.dDoffs;
    if (!std::isfinite(disparity) || !(shifted > 0.0)) return INFINITY;
    return static_cast<float>(camera.dBaselineMm / 1000.0 * camera.dFocalX / shifted);
}

double Centre(double principal, int32_t size) {
    return std::isnan(principal) ? (size - 1) / 2.0 : principal;
}

void PutFloat(unsigned char* p, float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    WriteLe32(p, bits);
}

}  // namespace

std::string WriteDepthPfm(const std::string& fileName, const DisparityResult& result,
                          const StereoCamera& camera) {
    std::vector<float> depth(result.vDisparity.size());
    for (size_t i = 0; i < depth.size(); ++i) depth[i] = DepthMetres(result.vDisparity[i], camera);
    std::string sReason;
    if (!SavePfmGrey(fileName.c_str(), depth.data(), result.iWidth, result.iHeight, &sReason)) {
        return fileName + " (" + sReason + ")";
    }
    return std::string();
}

std::string WritePointCloudPly(const std::string& fileName, const DisparityResult& result,
                               const unsigned char* pLeft, const StereoCamera& camera) {
    const double cx = Centre(camera.dCx, result.iWidth);
    const double cy = Centre(camera.dCy, result.iHeight);
    std::vector<float> depth(result.vDisparity.size());
    size_t count = 0;
    for (size_t i = 0; i < depth.size(); ++i) {
        depth[i] = DepthMetres(result.vDisparity[i], camera);
        count += std::isfinite(depth[i]);
    }
    const std::string header =
        "ply\nformat binary_little_endian 1.0\n"
        "comment korrdepth: left camera frame, x right, y down, z forward, metres\n"
        "element vertex " +
        std::to_string(count) +
        "\nproperty float x\nproperty float y\nproperty float z\n"
        "property uchar red\nproperty uchar green\nproperty uchar blue\nend_header\n";
    std::vector<unsigned char> file(header.size() + count * kVertexBytes);
    std::memcpy(file.data(), header.data(), header.size());
    unsigned char* vertex = file.data() + header.size();
    for (int32_t y = 0; y < result.iHeight; ++y) {
        for (int32_t x = 0; x < result.iWidth; ++x) {
            const size_t i =
                static_cast<size_t>(y) * static_cast<size_t>(result.iWidth) + static_cast<size_t>(x);
            const float z = depth[i];
            if (!std::isfinite(z)) continue;
            PutFloat(vertex, static_cast<float>((x - cx) * z / camera.dFocalX));
            PutFloat(vertex + 4, static_cast<float>((y - cy) * z / camera.dFocalY));
            PutFloat(vertex + 8, z);
            for (int c = 0; c < 3; ++c) vertex[12 + c] = pLeft[3 * i + 2 - c];
            vertex += kVertexBytes;
        }
    }
    std::string sReason;
    if (!ReplaceFileWhole(fileName.c_str(), file.data(), file.size(), &sReason)) {
        return fileName + " (" + sReason + ")";
    }
    return std::string();
}
