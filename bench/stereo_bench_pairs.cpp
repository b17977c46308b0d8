#include "bench/stereo_bench_pairs.h"

#include <chrono>
#include <system_error>
#include <vector>

#include "imageio/bmp_encoder.h"

namespace fs = std::filesystem;

const StereoBenchCase kStereoBenchCases[5] = {
    {"cones_450x375", 450, 375, 64, true}, {"741x497", 741, 497, 70, false},
    {"1242x375", 1242, 375, 192, false},   {"1920x1080", 1920, 1080, 256, false},
    {"3000x2000", 3000, 2000, 600, false},
};

namespace {

struct ScratchFolder {
    const fs::path path =
        fs::temp_directory_path() /
        ("korrdepth-bench-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    ScratchFolder() { fs::create_directories(path); }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

const ScratchFolder& Scratch() {
    static const ScratchFolder folder;
    return folder;
}

uint32_t Hash(uint32_t x, uint32_t y, uint32_t salt) {
    uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ salt * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// Texture at two scales, so that the coarse pyramid levels have something to match;
// the right view sees each left pixel half the range to the left, and fresh texture
// where the left view shows nothing.
bool WriteShiftedPair(const fs::path& folder, const StereoBenchCase& benchCase) {
    const int32_t w = benchCase.iWidth, h = benchCase.iHeight;
    const int32_t shift = benchCase.iMaxDisparity / 2;
    const auto texel = [](int32_t x, int32_t y, int c, uint32_t salt) {
        const uint32_t coarse = Hash(x >> 3, y >> 3, salt + c) & 0x7F;
        return static_cast<unsigned char>(coarse + (Hash(x, y, salt + 7 + c) & 0x7F));
    };
    std::vector<unsigned char> left(static_cast<size_t>(w) * h * 3), right(left.size());
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c) {
                const size_t at = (static_cast<size_t>(y) * w + x) * 3 + c;
                left[at] = texel(x, y, c, 1);
                right[at] = x + shift < w ? texel(x + shift, y, c, 1) : texel(x, y, c, 2);
            }
        }
    }
    std::vector<unsigned char> file;
    std::string reason;
    return SaveBmp24((folder / "im2.bmp").string().c_str(), left.data(), 3, w, h, &file, &reason) &&
           SaveBmp24((folder / "im6.bmp").string().c_str(), right.data(), 3, w, h, &file, &reason);
}

}  // namespace

fs::path StereoBenchPairFolder(const StereoBenchCase& benchCase, std::string* pReason) {
    if (benchCase.bCones) {
        const fs::path cones = fs::path(KORRAPP_TESTDATA_DIR) / "middlebury" / "cones";
        if (!fs::exists(cones / "im2.bmp")) {
            *pReason = "the cones pair is missing under " + cones.string();
            return fs::path();
        }
        return cones;
    }
    const fs::path folder = Scratch().path / benchCase.name;
    if (fs::exists(folder / "im6.bmp")) {
        return folder;
    }
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !WriteShiftedPair(folder, benchCase)) {
        *pReason = "cannot write a generated pair into " + folder.string();
        return fs::path();
    }
    return folder;
}

fs::path StereoBenchScratchFolder() {
    return Scratch().path;
}
