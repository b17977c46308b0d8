// The matcher on the real OpenCL device, on pairs whose disparities are known: the
// project's sample pair and small synthetic ones.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>

#include "compute/init_opencl.h"
#include "depth/stereo_matcher.h"
#include "tests/support/disparity_truth.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_data.h"
#include "tools/sample_scene.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMaxDisparity = 64;
// Every range a case below searches; one matcher each.
constexpr int kRanges[] = {8, kMaxDisparity, 256, 600};

// A flat rectangle in front of a flat background, both finely textured.
struct Scene {
    int32_t width;
    int32_t height;
    int background;  // disparity
    int front;       // disparity of the rectangle; 0 for none
    int left, top, right, bottom;
};

struct Pair {
    std::vector<unsigned char> left;
    std::vector<unsigned char> right;
    DisparityMap truth;
};

// Texture in the surface's own coordinates, so that both eyes see the same pattern.
unsigned char Texture(int u, int y, unsigned layer) {
    unsigned h =
        static_cast<unsigned>(u) * 73856093u ^ static_cast<unsigned>(y) * 19349663u ^ layer * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return static_cast<unsigned char>(h);
}

Pair Render(const Scene& s) {
    Pair pair;
    const size_t pixels = static_cast<size_t>(s.width) * s.height;
    pair.left.resize(pixels * 3);
    pair.right.resize(pixels * 3);
    pair.truth = DisparityMap{s.width, s.height, std::vector<float>(pixels)};
    const auto inFront = [&](int u, int y) {
        return s.front > 0 && u >= s.left && u < s.right && y >= s.top && y < s.bottom;
    };
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            const size_t p = static_cast<size_t>(y) * s.width + x;
            // Left pixel x shows surface point u = x; right pixel x shows u = x + d.
            const bool leftFront = inFront(x, y);
            const bool rightFront = inFront(x + s.front, y);
            const unsigned char l = leftFront ? Texture(x, y, 1) : Texture(x, y, 0);
            const unsigned char r = rightFront ? Texture(x + s.front, y, 1) : Texture(x + s.background, y, 0);
            for (int c = 0; c < 3; ++c) {
                pair.left[3 * p + c] = static_cast<unsigned char>(l ^ (c * 37));
                pair.right[3 * p + c] = static_cast<unsigned char>(r ^ (c * 37));
            }
            // Unknown (0) where the match would lie left of the right view.
            const int d = leftFront ? s.front : s.background;
            pair.truth.values[p] = x >= d ? static_cast<float>(d) : 0.0f;
        }
    }
    return pair;
}

class StereoMatcherTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        TempDir dir;
        fs::copy_file(StereoKernelSourceFile(), dir.path() / "stereo.cl");
        ScopedWorkingDirectory cwd(dir.path());
        device_ = std::make_unique<ComputeDevice>();
        ready_ = InitComputeDevice(0, device_.get());
        for (const int range : kRanges) {
            matchers_[range] = std::make_unique<StereoMatcher>();
            ready_ = ready_ && matchers_[range]->Init(*device_, range);
        }
    }
    static void TearDownTestSuite() {
        matchers_.clear();
        device_.reset();
    }
    void SetUp() override { ASSERT_TRUE(ready_) << "the OpenCL setup or the build of stereo.cl failed"; }

    static DisparityResult Match(const std::vector<unsigned char>& left, const std::vector<unsigned char>& right,
                                 int32_t width, int32_t height, int range = kMaxDisparity) {
        DisparityResult result;
        StereoMatcher& matcher = *matchers_.at(range);
        EXPECT_TRUE(matcher.Match(left.data(), right.data(), width, height, &result, false)) << matcher.LastError();
        return result;
    }

    static std::unique_ptr<ComputeDevice> device_;
    static std::map<int, std::unique_ptr<StereoMatcher>> matchers_;
    static bool ready_;
};

std::unique_ptr<ComputeDevice> StereoMatcherTest::device_;
std::map<int, std::unique_ptr<StereoMatcher>> StereoMatcherTest::matchers_;
bool StereoMatcherTest::ready_ = false;

TEST_F(StereoMatcherTest, TheSamplePairIsAtMostTwoPercentBad) {
    const StereoSample sample = GenerateSampleScene();
    const DisparityResult result = Match(sample.left, sample.right, sample.width, sample.height);
    EXPECT_LE(BadPixelPercent(SampleTruth(sample), result.vDisparity), 2.0);
}

TEST_F(StereoMatcherTest, KnownShiftsAreFoundDenselyAtAnySizeAndRange) {
    struct Case {
        Scene scene;
        int range;
        double badPercent;  // at most, of the pixels the shift leaves visible; edges and occlusions cost a little
    };
    const Case cases[] = {
        {{120, 80, 5, 0, 0, 0, 0, 0}, kMaxDisparity, 1.0},
        {{120, 80, 37, 0, 0, 0, 0, 0}, kMaxDisparity, 1.0},
        {{160, 96, 6, 21, 60, 24, 120, 72}, kMaxDisparity, 5.0},  // a rectangle in front
        {{201, 95, 9, 17, 60, 20, 140, 80}, kMaxDisparity, 5.0},  // odd sizes: every level loses a pixel
        {{101, 47, 9, 0, 0, 0, 0, 0}, kMaxDisparity, 1.0},
        {{16, 16, 2, 0, 0, 0, 0, 0}, 8, 1.0},                  // the smallest pair taken
        {{330, 40, 60, 0, 0, 0, 0, 0}, kMaxDisparity, 1.0},    // wider than a work-group, near the range's end
        {{960, 540, 180, 0, 0, 0, 0, 0}, 256, 1.0},            // six pyramid levels
        {{3000, 2000, 500, 0, 0, 0, 0, 0}, 600, 1.0},          // seven
    };
    for (const Case& c : cases) {
        const Scene& scene = c.scene;
        const Pair pair = Render(scene);
        const DisparityResult result = Match(pair.left, pair.right, scene.width, scene.height, c.range);
        ASSERT_EQ(result.vDisparity.size(), pair.truth.values.size());
        int outside = 0;
        for (float d : result.vDisparity) {
            outside += !(d >= 0.0f && d <= static_cast<float>(c.range));
        }
        const std::string what = std::to_string(scene.width) + " x " + std::to_string(scene.height) + ", d " +
                                 std::to_string(scene.background) + "/" + std::to_string(scene.front);
        EXPECT_EQ(outside, 0) << what << ": estimates missing or outside 0.." << c.range;
        EXPECT_LE(BadPixelPercent(pair.truth, result.vDisparity), c.badPercent) << what;
    }
}

TEST_F(StereoMatcherTest, ARangeAsWideAsTheViewsIsRefusedInOneLine) {
    const Pair pair = Render({64, 40, 5, 0, 0, 0, 0, 0});
    DisparityResult result;
    EXPECT_FALSE(matchers_.at(kMaxDisparity)->Match(pair.left.data(), pair.right.data(), 64, 40, &result));
    EXPECT_EQ(matchers_.at(kMaxDisparity)->LastError(),
              "disparities up to 64 need views wider than 64 pixels, not 64 x 40");
}

}  // namespace
