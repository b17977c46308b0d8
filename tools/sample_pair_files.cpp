#include "tools/sample_pair_files.h"

#include <cstdint>
#include <system_error>
#include <utility>
#include <vector>

#include "imageio/image_files.h"

namespace fs = std::filesystem;

namespace {

// The writer reports nothing, so a file counts only if it has a 24-bit BMP's exact size:
// 54 bytes of headers, then rows padded to whole 4-byte words.
bool SaveChecked(const fs::path& file, const std::vector<unsigned char>& bgr, int width, int height) {
    std::error_code ec;
    fs::remove(file, ec);  // a stale copy must not pass for a fresh one
    SaveBmpFromRgb(file.string().c_str(), bgr.data(), width, height);
    const std::uintmax_t rowBytes = (static_cast<std::uintmax_t>(width) * 3 + 3) / 4 * 4;
    const std::uintmax_t size = fs::file_size(file, ec);
    return !ec && size == 54 + rowBytes * static_cast<std::uintmax_t>(height);
}

std::vector<unsigned char> DisparityAsGrey(const StereoSample& sample) {
    std::vector<unsigned char> grey(sample.disparity.size() * 3);
    for (std::size_t i = 0; i < sample.disparity.size(); ++i) {
        const auto value = static_cast<unsigned char>(sample.disparity[i] * 4);
        grey[3 * i] = grey[3 * i + 1] = grey[3 * i + 2] = value;
    }
    return grey;
}

}  // namespace

std::string WriteSamplePair(const fs::path& dir, const StereoSample& sample) {
    std::error_code ec;
    fs::create_directories(dir, ec);  // a failure shows up as the first file missing
    const std::vector<unsigned char> grey = DisparityAsGrey(sample);
    const std::pair<const char*, const std::vector<unsigned char>*> files[] = {
        {"im2.bmp", &sample.left},
        {"im6.bmp", &sample.right},
        {"true_disparity.bmp", &grey},
    };
    for (const auto& [name, pixels] : files) {
        const fs::path file = dir / name;
        if (!SaveChecked(file, *pixels, sample.width, sample.height)) return file.string();
    }
    return std::string();
}
