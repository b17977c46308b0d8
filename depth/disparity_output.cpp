#include "depth/disparity_output.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "imageio/image_files.h"
#include "imageio/pfm_file.h"

namespace {

// The BMP writer reports nothing: the file must open for writing beforehand and have
// a 24-bit BMP's exact size afterwards (54 bytes of headers, rows padded to 4 bytes).
bool SaveGreyBmp(const std::string& file, const DisparityResult& result) {
    std::FILE* probe = std::fopen(file.c_str(), "ab");
    if (probe == nullptr) return false;
    std::fclose(probe);
    SaveBmpFromRgb(file.c_str(), result.vGrey.data(), result.iWidth, result.iHeight);
    const std::uintmax_t rowBytes = (static_cast<std::uintmax_t>(result.iWidth) * 3 + 3) / 4 * 4;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    return !ec && size == 54 + rowBytes * static_cast<std::uintmax_t>(result.iHeight);
}

}  // namespace

std::string WriteDisparityFiles(const DepthOptions& options, const DisparityResult& result) {
    if (!SaveGreyBmp(options.sOutputFile, result)) {
        return options.sOutputFile;
    }
    if (!options.sPfmFile.empty() &&
        !SavePfmGrey(options.sPfmFile.c_str(), result.vDisparity.data(), result.iWidth, result.iHeight)) {
        return options.sPfmFile;
    }
    return std::string();
}
