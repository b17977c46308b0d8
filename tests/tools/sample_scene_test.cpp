#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>

#include "tools/sample_scene.h"

namespace {

constexpr int kLargestDisparity = 40;

const StereoSample& Sample() {
    static const StereoSample sample = GenerateSampleScene();
    return sample;
}

int DisparityAt(const StereoSample& s, int x, int y) {
    return s.disparity[y * s.width + x];
}

bool SamePixel(const std::vector<unsigned char>& a, int x, const std::vector<unsigned char>& b, int bx, int y,
               int width) {
    return std::equal(a.begin() + 3 * (y * width + x), a.begin() + 3 * (y * width + x + 1),
                      b.begin() + 3 * (y * width + bx));
}

// Only something nearer, standing a little to the right, can hide a point from the right eye.
bool NearerSurfaceJustRight(const StereoSample& s, int x, int y) {
    const int d = DisparityAt(s, x, y);
    for (int k = x + 1; k < std::min(s.width, x + kLargestDisparity + 1); ++k) {
        if (DisparityAt(s, k, y) > d) return true;
    }
    return false;
}

int SmallestBlockContrast(const std::vector<unsigned char>& bgr, int width, int height, int block) {
    int smallest = 255;
    for (int by = 0; by + block <= height; by += block) {
        for (int bx = 0; bx + block <= width; bx += block) {
            int lo = 255 * 3, hi = 0;
            for (int y = by; y < by + block; ++y) {
                for (int x = bx; x < bx + block; ++x) {
                    const unsigned char* p = &bgr[3 * (y * width + x)];
                    const int sum = p[0] + p[1] + p[2];
                    lo = std::min(lo, sum);
                    hi = std::max(hi, sum);
                }
            }
            smallest = std::min(smallest, (hi - lo) / 3);
        }
    }
    return smallest;
}

uint64_t Fnv1a(uint64_t h, const std::vector<unsigned char>& bytes) {
    for (unsigned char b : bytes) h = (h ^ b) * 0x100000001B3ull;
    return h;
}

TEST(SampleScene, EveryDepthIsOneOfTheStatedOnesAndAllAreSeen) {
    const std::set<int> seen(Sample().disparity.begin(), Sample().disparity.end());
    EXPECT_EQ(seen, (std::set<int>{8, 16, 24, 32, 40}));
}

TEST(SampleScene, RightViewIsLeftViewShiftedByDisparity) {
    const StereoSample& s = Sample();
    int compared = 0, matched = 0;
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            const int d = DisparityAt(s, x, y);
            if (x - d < 0) continue;
            ++compared;
            if (SamePixel(s.left, x, s.right, x - d, y, s.width)) {
                ++matched;
            } else {
                ASSERT_TRUE(NearerSurfaceJustRight(s, x, y)) << "unexplained mismatch at " << x << ", " << y;
            }
        }
    }
    EXPECT_GT(matched, compared * 9 / 10);
}

// A matcher needs texture everywhere, including the strips the right view uncovers.
TEST(SampleScene, NoPatchOfEitherViewIsFlat) {
    const StereoSample& s = Sample();
    EXPECT_GE(SmallestBlockContrast(s.left, s.width, s.height, 9), 12);
    EXPECT_GE(SmallestBlockContrast(s.right, s.width, s.height, 9), 12);
}

// Pins the bytes across compilers and platforms; change it only with a deliberate scene change.
TEST(SampleScene, SameBytesOnEveryPlatform) {
    uint64_t h = 0xCBF29CE484222325ull;
    h = Fnv1a(h, Sample().left);
    h = Fnv1a(h, Sample().right);
    h = Fnv1a(h, Sample().disparity);
    EXPECT_EQ(h, 0x725316B76C0FB13Eull);
}

}  // namespace
