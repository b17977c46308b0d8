// Compares two disparity PFMs of one pair, as korrdepth writes them:
//   disparity_compare A.pfm B.pfm
//     passes when they agree to 1e-3 pixels on at least 99.9 % of the pixels (both
//     without an estimate counts as agreeing);
//   disparity_compare --truth FILE SCALE A.pfm B.pfm
//     passes when their bad-1.0 against the truth (grey levels / SCALE, 0 unknown)
//     differ by at most 0.5 points.
// Exit status 0 when it passes, 1 when not, 2 when a file cannot be read.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/disparity_truth.h"

namespace {

constexpr float kTolerance = 1e-3f;
constexpr double kMinAgreeingPercent = 99.9;
constexpr double kMaxBadDifference = 0.5;

bool Load(const char* file, DisparityMap* pMap) {
    *pMap = LoadPfm(file);
    if (pMap->values.empty()) {
        std::fprintf(stderr, "disparity_compare: %s is not a one-channel PFM\n", file);
        return false;
    }
    return true;
}

int CompareMaps(const DisparityMap& a, const DisparityMap& b) {
    size_t agreeing = 0;
    for (size_t i = 0; i < a.values.size(); ++i) {
        const float x = a.values[i];
        const float y = b.values[i];
        agreeing += (std::isinf(x) && std::isinf(y)) || std::fabs(x - y) <= kTolerance;
    }
    const double percent = 100.0 * static_cast<double>(agreeing) / static_cast<double>(a.values.size());
    std::printf("%zu of %zu pixels (%.3f %%) agree to %g px\n", agreeing, a.values.size(), percent,
                static_cast<double>(kTolerance));
    return percent >= kMinAgreeingPercent ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool withTruth = argc == 6 && std::strcmp(argv[1], "--truth") == 0;
    if (argc != 3 && !withTruth) {
        std::fprintf(stderr, "usage: disparity_compare [--truth FILE SCALE] A.pfm B.pfm\n");
        return 2;
    }
    DisparityMap a;
    DisparityMap b;
    if (!Load(argv[argc - 2], &a) || !Load(argv[argc - 1], &b)) {
        return 2;
    }
    if (a.width != b.width || a.height != b.height) {
        std::fprintf(stderr, "disparity_compare: the maps are %d x %d and %d x %d\n", a.width, a.height,
                     b.width, b.height);
        return 1;
    }
    if (!withTruth) {
        return CompareMaps(a, b);
    }
    const DisparityMap truth = LoadTruth(argv[2], std::strtof(argv[3], nullptr));
    if (truth.width != a.width || truth.height != a.height) {
        std::fprintf(stderr, "disparity_compare: %s is not a truth of %d x %d pixels\n", argv[2], a.width,
                     a.height);
        return 2;
    }
    const double badA = BadPixelPercent(truth, a.values);
    const double badB = BadPixelPercent(truth, b.values);
    std::printf("bad-1.0: %.2f %% and %.2f %%\n", badA, badB);
    return std::fabs(badA - badB) <= kMaxBadDifference ? 0 : 1;
}
