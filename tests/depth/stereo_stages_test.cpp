// Each kernel of stereo.cl but the pictures, against a plain C++ twin written from what
// it is meant to compute, on random data of odd sizes: the integer stages and the
// clean-up bit for bit, the sub-pixel step to 1e-4 px (the device may divide less
// exactly).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "compute/init_opencl.h"
#include "compute/load_text_file.h"
#include "depth/stereo_tunables.h"
#include "tests/support/test_data.h"

namespace {

constexpr int kRange = 40;  // the range the program is built for
constexpr int kWidth = 45;  // odd, and not a whole number of blocks or paths
constexpr int kHeight = 23;
constexpr int kFarCost = 8000;  // as the device code's
constexpr float kSubPixelTolerance = 1e-4f;

struct Window {
    int16_t first;
    int16_t second;
};

int Candidate(Window w, int k) {
    return k < kStereoCandidates / 2 ? w.first + k : w.second + k - kStereoCandidates / 2;
}

// --- the twins ---

static_assert(kStereoCensusBits < 64, "kCensusMask takes fewer census bits than 64");
constexpr uint64_t kCensusMask = (uint64_t{1} << kStereoCensusBits) - 1;

// Bit kStereoCensusBits - 1 is the first neighbour in reading order, bit 0 the last;
// set where darker.
uint64_t CensusTwin(const std::vector<uint8_t>& grey, int width, int height, int x, int y) {
    const int top = y >= height ? height : 0;
    const uint8_t centre = grey[static_cast<size_t>(y * width + x)];
    uint64_t bits = 0;
    for (int dy = -kStereoCensusReachY; dy <= kStereoCensusReachY; ++dy) {
        for (int dx = -kStereoCensusReachX; dx <= kStereoCensusReachX; ++dx) {
            if (dx == 0 && dy == 0) continue;
            const int yy = std::clamp(y + dy, top, top + height - 1);
            const int xx = std::clamp(x + dx, 0, width - 1);
            bits = (bits << 1) | (grey[static_cast<size_t>(yy * width + xx)] < centre ? 1u : 0u);
        }
    }
    return bits;
}

// 128 plus half of the right neighbour's grey less the left one's (edges repeated).
uint8_t GradientTwin(const std::vector<uint8_t>& grey, int width, int x, int y) {
    const size_t row = static_cast<size_t>(y * width);
    const int right = grey[row + static_cast<size_t>(std::min(x + 1, width - 1))];
    const int left = grey[row + static_cast<size_t>(std::max(x - 1, 0))];
    return static_cast<uint8_t>(128 + (right - left) / 2);
}

// The disparity to `range`, in steps of `step`, whose census distance summed over the pixel and
// its neighbours in the row (edges repeated) is lowest; the smallest among equals. The
// pixel's own estimate, rounded, where that distance is not lower than the estimate's by
// more than the margin.
int CensusBestTwin(const std::vector<uint64_t>& census, const std::vector<float>& own, int width, int height,
                   int x, int y, int range, int step) {
    const auto at = [&](int view, int xx) {
        return census[static_cast<size_t>((view * height + y) * width + std::clamp(xx, 0, width - 1))];
    };
    const auto distance = [&](int d) {
        int sum = 0;
        for (int i = -1; i <= 1; ++i) sum += __builtin_popcountll(at(0, x + i) ^ at(1, x + i - d));
        return sum;
    };
    int best = 0;
    int lowest = INT32_MAX;
    for (int d = 0; d <= std::min(range, x); d += step) {
        const int sum = distance(d);
        if (sum < lowest) {
            best = d;
            lowest = sum;
        }
    }
    const float estimate = own[static_cast<size_t>(y * width + x)];
    if (estimate >= 0.0f && std::isfinite(estimate)) {
        const int d = static_cast<int>(std::nearbyint(estimate));
        if (lowest + kStereoSearchMargin >= distance(d)) return d;
    }
    return best;
}

// Around twice the parent's estimate and twice the one near it that lies farthest from
// it, starting on even disparities where a run still covers them; without the parent's,
// the lowest and the highest near it. Where those fit one run of 8, the other 8 around
// `searched` (twice the parent's best census match) where it lies apart.
Window WindowTwin(const std::vector<float>& coarse, int coarseWidth, int coarseHeight, int x, int y,
                  int range, int searched) {
    const int cy = std::min(y / 2, coarseHeight - 1);
    const int cx = x / 2;
    float low = INFINITY;
    float high = -INFINITY;
    for (int j = -kStereoRangeRadius; j <= kStereoRangeRadius; ++j) {
        for (int i = -kStereoRangeRadius; i <= kStereoRangeRadius; ++i) {
            const int yy = std::clamp(cy + j, 0, coarseHeight - 1);
            const int xx = std::clamp(cx + i, 0, coarseWidth - 1);
            const float v = coarse[static_cast<size_t>(yy * coarseWidth + xx)];
            if (std::isfinite(v) && v >= 0.0f) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
    }
    const float own = coarse[static_cast<size_t>(cy * coarseWidth + std::min(cx, coarseWidth - 1))];
    if (std::isfinite(own) && own >= 0.0f) {
        const float farthest = high - own > own - low ? high : low;
        low = std::min(own, farthest);
        high = std::max(own, farthest);
    }
    int first = 0;
    int second = kStereoCandidates / 2;
    if (high >= low) {
        low *= 2.0f;
        high *= 2.0f;
        const int needLow = static_cast<int>(std::floor(low)) - 1;
        const int needHigh = static_cast<int>(std::ceil(high)) + 1;
        const int span = needHigh - needLow + 1;
        const auto even = [](int v) { return v % 2 == 0 ? v : v + 1; };  // at or above
        if (span <= kStereoCandidates) {
            const int centred = needLow - (kStereoCandidates - span) / 2;
            first = std::max(needHigh - (kStereoCandidates - 1), std::min(needLow, even(centred)));
            second = first + kStereoCandidates / 2;
        } else {
            first = even(static_cast<int>(std::nearbyint(low)) - 3);
            second = even(static_cast<int>(std::nearbyint(high)) - 4);
        }
        const int shortRun = needLow - (kStereoCandidates / 2 - span) / 2;
        if (span <= kStereoCandidates / 2 && std::abs(searched - 3 - shortRun) >= kStereoCandidates / 2) {
            first = std::min(shortRun, searched - 3);
            second = std::max(shortRun, searched - 3);
        }
    }
    first = std::clamp(first, 0, std::max(0, range - (kStereoCandidates - 1)));
    second = std::clamp(second, first + 8, std::max(first + 8, range - 7));
    return {static_cast<int16_t>(first), static_cast<int16_t>(second)};
}

int CostTwin(const std::vector<uint64_t>& census, const std::vector<uint8_t>& gradient, int width, int height,
             int x, int y, int d, int range) {
    if (d > range) return 255;
    const int xr = x - d;
    if (xr < 0) return 10;
    const size_t p = static_cast<size_t>(y * width + x);
    const size_t r = static_cast<size_t>((height + y) * width + xr);
    const int slope = std::min(std::abs(gradient[r] - gradient[p]), kStereoGradientLimit);
    return std::min(__builtin_popcountll(census[p] ^ census[r]) + slope, 254);
}

// One path's costs, candidate by candidate, looked up by disparity.
struct PathTwin {
    std::array<int, kStereoCandidates> cost{};
    Window window{-1, -1};
    int grey = 0;
    int lowest = 0;

    int At(int d) const {
        for (int k = 0; k < kStereoCandidates; ++k) {
            if (Candidate(window, k) == d) return cost[static_cast<size_t>(k)];
        }
        return kFarCost;
    }
    void Step(const uint8_t* matching, Window w, int brightness, bool start) {
        const int largeStep =
            std::max(kStereoSmallStepPenalty + 1,
                     kStereoLargeStepPenalty - kStereoEdgeSlope * std::abs(brightness - grey));
        std::array<int, kStereoCandidates> next{};
        for (int k = 0; k < kStereoCandidates; ++k) {
            const int d = Candidate(w, k);
            const int best = std::min({At(d), lowest + largeStep, At(d - 1) + kStereoSmallStepPenalty,
                                       At(d + 1) + kStereoSmallStepPenalty});
            next[static_cast<size_t>(k)] = matching[k] + (start ? 0 : best - lowest);
        }
        cost = next;
        window = w;
        grey = brightness;
        lowest = *std::min_element(cost.begin(), cost.end());
    }
};

float BestLeftTwin(const uint16_t* sum, Window w) {
    const int best = static_cast<int>(std::min_element(sum, sum + kStereoCandidates) - sum);
    const bool oneRun = w.second == w.first + 8;
    const bool inside = best % 8 != 0 && best % 8 != 7;
    float offset = 0.0f;
    if (best > 0 && best < kStereoCandidates - 1 && (inside || oneRun)) {
        const float below = sum[best - 1];
        const float centre = sum[best];
        const float above = sum[best + 1];
        const float curvature = below - 2.0f * centre + above;
        offset = curvature > 0.0f ? (below - above) / (2.0f * curvature) : 0.0f;
    }
    return static_cast<float>(Candidate(w, best)) + offset;
}

// 3 x 3 median of a stacked map, edges repeated within each view; no estimate
// (negative) counts as the largest value and comes out as -1.
float MedianTwin(const std::vector<float>& map, int width, int height, int x, int y) {
    const int top = y >= height ? height : 0;
    std::array<float, 9> v{};
    size_t n = 0;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const int yy = std::clamp(y + dy, top, top + height - 1);
            const float d = map[static_cast<size_t>(yy * width + std::clamp(x + dx, 0, width - 1))];
            v[n++] = d < 0.0f ? INFINITY : d;
        }
    }
    std::nth_element(v.begin(), v.begin() + 4, v.end());
    return std::isinf(v[4]) ? -1.0f : v[4];
}

// The left view's disparity where the right view's, at the partner it names, is within 1.
float CheckedTwin(const std::vector<float>& map, int width, int height, int x, int y) {
    const float d = map[static_cast<size_t>(y * width + x)];
    const int partner = static_cast<int>(std::floor(static_cast<float>(x) - d + 0.5f));
    if (d < 0.0f || partner < 0) return -1.0f;
    const float e = map[static_cast<size_t>((height + y) * width + partner)];
    return e >= 0.0f && std::fabs(d - e) <= 1.0f ? d : -1.0f;
}

// A pixel without an estimate takes the lowest of the nearest ones left, right, and up
// to 12 rows up and down; INFINITY with none.
float FilledTwin(const std::vector<float>& map, int width, int height, int x, int y) {
    const auto at = [&](int xx, int yy) { return map[static_cast<size_t>(yy * width + xx)]; };
    if (at(x, y) >= 0.0f) return at(x, y);
    const auto nearest = [&](int dx, int dy, int count) {
        for (int i = 1; i <= count; ++i) {
            const float d = at(x + i * dx, y + i * dy);
            if (d >= 0.0f) return d;
        }
        return INFINITY;
    };
    return std::min({nearest(-1, 0, x), nearest(1, 0, width - 1 - x), nearest(0, -1, std::min(y, 12)),
                     nearest(0, 1, std::min(height - 1 - y, 12))});
}

// Whether blue, green and red (blue | green << 8 | red << 16) each differ by at most the
// limit.
bool ColoursWithin(uint32_t a, uint32_t b, int limit) {
    for (const int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>(a >> shift & 255u) - static_cast<int>(b >> shift & 255u)) > limit)
            return false;
    }
    return true;
}

// A rejected pixel (below 0 in `checked`) with enough checked estimates among the 9
// pixels along its row and the rows half the reach and the reach above and below (none
// outside the picture) whose blue, green and red each lie within the limit of its own
// takes the least-squares plane, its slopes held by the ridge, through those not above
// their mean, at the pixel, within the range; every other pixel keeps `filled`'s value.
float ColourFillTwin(const std::vector<float>& checked, const std::vector<uint32_t>& colour,
                     const std::vector<float>& filled, int width, int height, int x, int y) {
    const size_t p = static_cast<size_t>(y * width + x);
    struct Sums {
        float n = 0, x = 0, y = 0, xx = 0, xy = 0, yy = 0, d = 0, xd = 0, yd = 0;
    };
    const auto sumBelow = [&](float most, float reference) {
        Sums s;
        for (int dy = -kStereoFillColourReachY; dy <= kStereoFillColourReachY;
             dy += kStereoFillColourReachY / 2) {
            for (int dx = -kStereoFillColourReachX; dx <= kStereoFillColourReachX;
                 dx += kStereoFillColourReachX / 4) {
                if (y + dy < 0 || y + dy >= height || x + dx < 0 || x + dx >= width) continue;
                const size_t q = static_cast<size_t>((y + dy) * width + x + dx);
                if (checked[q] < 0.0f || checked[q] > most ||
                    !ColoursWithin(colour[p], colour[q], kStereoFillColourLimit))
                    continue;
                const float fx = static_cast<float>(dx);
                const float fy = static_cast<float>(dy);
                const float r = checked[q] - reference;
                s.n += 1;
                s.x += fx;
                s.y += fy;
                s.xx += fx * fx;
                s.xy += fx * fy;
                s.yy += fy * fy;
                s.d += r;
                s.xd += fx * r;
                s.yd += fy * r;
            }
        }
        return s;
    };
    const Sums all = sumBelow(INFINITY, 0.0f);
    if (checked[p] >= 0.0f || all.n < kStereoFillColourLeast) return filled[p];
    const float mean = all.d / all.n;
    const Sums low = sumBelow(mean, mean);
    if (low.n == 0) return mean;
    const double ridge = 10.0;
    const double mx = low.x / low.n;
    const double my = low.y / low.n;
    const double md = low.d / low.n;
    const double sxx = low.xx - low.n * mx * mx + ridge;
    const double syy = low.yy - low.n * my * my + ridge;
    const double sxy = low.xy - low.n * mx * my;
    const double sxd = low.xd - low.n * mx * md;
    const double syd = low.yd - low.n * my * md;
    const double det = sxx * syy - sxy * sxy;
    const double plane = mean + md - (sxd * syy - syd * sxy) / det * mx - (syd * sxx - sxd * sxy) / det * my;
    return static_cast<float>(std::clamp(plane, 0.0, static_cast<double>(kRange)));
}

// Where the estimates within the edge reach (edges repeated) span more than 2, the
// pixel takes the mean of the other side of their middle when more of the neighbours
// whose blue, green and red each lie within the limit are there than on its own side.
// Colours are blue | green << 8 | red << 16.
float EdgeTwin(const std::vector<float>& map, const std::vector<uint32_t>& colour, int width, int height,
               int x, int y) {
    const auto at = [&](int xx, int yy) {
        return static_cast<size_t>(std::clamp(yy, 0, height - 1) * width + std::clamp(xx, 0, width - 1));
    };
    const float centre = map[at(x, y)];
    float low = INFINITY;
    float high = -INFINITY;
    std::vector<size_t> window;
    for (int dy = -kStereoEdgeReachY; dy <= kStereoEdgeReachY; ++dy) {
        for (int dx = -kStereoEdgeReachX; dx <= kStereoEdgeReachX; ++dx) {
            const size_t q = at(x + dx, y + dy);
            window.push_back(q);
            if (std::isfinite(map[q])) {
                low = std::min(low, map[q]);
                high = std::max(high, map[q]);
            }
        }
    }
    if (!std::isfinite(centre) || !(high - low > 2.0f)) return centre;
    const float middle = 0.5f * (low + high);
    float sums[2] = {0.0f, 0.0f};  // lower, higher
    int counts[2] = {0, 0};
    const auto alike = [&](size_t q) {
        return ColoursWithin(colour[at(x, y)], colour[q], kStereoEdgeColourLimit);
    };
    for (const size_t q : window) {
        if (std::isfinite(map[q]) && alike(q)) {
            sums[map[q] > middle] += map[q];
            ++counts[map[q] > middle];
        }
    }
    const int own = centre > middle;
    return counts[1 - own] > counts[own] ? sums[1 - own] / static_cast<float>(counts[1 - own]) : centre;
}

// The mean of the estimates within the smoothing reach (edges repeated) that differ
// from the pixel's own by at most 2 where the grey differs by at most 32; INFINITY
// stays.
float SmoothTwin(const std::vector<float>& map, const std::vector<uint8_t>& grey, int width, int height,
                 int x, int y) {
    const auto at = [&](int xx, int yy) {
        return static_cast<size_t>(std::clamp(yy, 0, height - 1) * width + std::clamp(xx, 0, width - 1));
    };
    const float centre = map[at(x, y)];
    if (!std::isfinite(centre)) return centre;
    float sum = 0.0f;
    int count = 0;
    for (int dy = -kStereoSmoothReachY; dy <= kStereoSmoothReachY; ++dy) {
        for (int dx = -kStereoSmoothReachX; dx <= kStereoSmoothReachX; ++dx) {
            const size_t q = at(x + dx, y + dy);
            if (std::fabs(map[q] - centre) <= 2.0f &&
                std::abs(grey[q] - grey[at(x, y)]) <= kStereoSmoothGreyLimit) {
                sum += map[q];
                ++count;
            }
        }
    }
    return sum / static_cast<float>(count);
}

// --- the device ---

class StereoStagesTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        device_ = new ComputeDevice;
        const auto source = LoadTextFile(StereoKernelSourceFile().string());
        if (!source || !InitComputeDevice(0, device_)) return;
        program_ = new cl::Program(device_->clContext, *source);
        ready_ = program_->build(StereoBuildOptions(kRange).c_str()) == CL_SUCCESS;
    }
    static void TearDownTestSuite() {
        delete program_;
        delete device_;
    }
    void SetUp() override { ASSERT_TRUE(ready_) << "the OpenCL setup or the build of stereo.cl failed"; }

    template <class T>
    static cl::Buffer Upload(const std::vector<T>& data) {
        cl_int status = CL_SUCCESS;
        cl::Buffer buffer(device_->clContext, CL_MEM_READ_WRITE | CL_MEM_COPY_HOST_PTR,
                          data.size() * sizeof(T), const_cast<T*>(data.data()), &status);
        EXPECT_EQ(status, CL_SUCCESS);
        return buffer;
    }
    template <class T>
    static std::vector<T> Download(const cl::Buffer& buffer, size_t count) {
        std::vector<T> data(count);
        EXPECT_EQ(
            device_->clCommandQueue.enqueueReadBuffer(buffer, CL_TRUE, 0, count * sizeof(T), data.data()),
            CL_SUCCESS);
        return data;
    }
    template <class... Args>
    static void Launch(const char* name, size_t items, size_t rows, const Args&... args) {
        cl_int status = CL_SUCCESS;
        cl::Kernel kernel(*program_, name, &status);
        ASSERT_EQ(status, CL_SUCCESS) << name;
        cl_uint index = 0;
        ((status = status == CL_SUCCESS ? kernel.setArg(index++, args) : status), ...);
        ASSERT_EQ(status, CL_SUCCESS) << name;
        ASSERT_EQ(
            device_->clCommandQueue.enqueueNDRangeKernel(kernel, cl::NullRange, cl::NDRange(items, rows)),
            CL_SUCCESS)
            << name;
        ASSERT_EQ(device_->clCommandQueue.finish(), CL_SUCCESS) << name;
    }

    static ComputeDevice* device_;
    static cl::Program* program_;
    static bool ready_;
};

ComputeDevice* StereoStagesTest::device_ = nullptr;
cl::Program* StereoStagesTest::program_ = nullptr;
bool StereoStagesTest::ready_ = false;

size_t Blocks(int width) {
    return static_cast<size_t>((width + kStereoBlock - 1) / kStereoBlock);
}

TEST_F(StereoStagesTest, CensusBitsOfAKnownPatch) {
    // Flat grey, one darker pixel just right of (8, 8) and one brighter just below.
    constexpr int size = 16;
    std::vector<uint8_t> grey(2 * size * size, 100);
    grey[8 * size + 9] = 50;
    grey[9 * size + 8] = 150;
    const cl::Buffer greyBuffer = Upload(grey);
    const cl::Buffer census(device_->clContext, CL_MEM_READ_WRITE, grey.size() * sizeof(cl_ulong));
    const cl::Buffer gradient(device_->clContext, CL_MEM_READ_WRITE, grey.size());
    Launch("Census", Blocks(size), 2 * size, greyBuffer, census, gradient, size, size);
    const std::vector<uint64_t> bits = Download<uint64_t>(census, grey.size());
    // The darker pixel follows the centre in reading order, after the rows above and the
    // pixels to the left.
    const int before = kStereoCensusReachY * (2 * kStereoCensusReachX + 1) + kStereoCensusReachX;
    EXPECT_EQ(bits[8 * size + 8], uint64_t{1} << (kStereoCensusBits - 1 - before));
    // Seen from (9, 8), whose neighbours are as bright or brighter, nothing is darker.
    EXPECT_EQ(bits[8 * size + 9], 0u);
    // From the bright pixel, every neighbour is darker: every bit.
    EXPECT_EQ(bits[9 * size + 8], kCensusMask);
    // Half its drop of 50: a fall to the right of its left neighbour, a rise for its right one.
    const std::vector<uint8_t> slopes = Download<uint8_t>(gradient, grey.size());
    EXPECT_EQ(slopes[8 * size + 8], 128 - 25);
    EXPECT_EQ(slopes[8 * size + 10], 128 + 25);
    EXPECT_EQ(slopes[8 * size + 9], 128);
}

TEST_F(StereoStagesTest, EveryStageMatchesItsTwin) {
    std::mt19937 random(7);
    const auto uniform = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    const size_t pixels = static_cast<size_t>(kWidth * kHeight);

    // The inputs: stacked grey views, and candidate windows in runs of equal ones, one run
    // of 16 or two apart, up to the range's end.
    std::vector<uint8_t> grey(2 * pixels);
    for (uint8_t& g : grey) g = static_cast<uint8_t>(uniform(0, 255));
    std::vector<Window> windows(pixels);
    for (size_t p = 0; p < pixels; ++p) {
        if (p == 0 || uniform(0, 3) == 0) {
            const int first = uniform(0, kRange - 15);
            const int second = uniform(0, 1) ? first + 8 : uniform(first + 8, kRange - 7);
            windows[p] = {static_cast<int16_t>(first), static_cast<int16_t>(second)};
        } else {
            windows[p] = windows[p - 1];
        }
    }
    std::vector<uint64_t> census(2 * pixels);
    for (uint64_t& c : census) c = (static_cast<uint64_t>(random()) << 16 ^ random()) & kCensusMask;
    const cl::Buffer greyBuffer = Upload(grey);
    const cl::Buffer windowBuffer = Upload(windows);
    const cl::Buffer censusBuffer = Upload(census);

    // A finished map of the left view through one of the last kernels, guided by the left
    // view's grey or colour, against its twin: INFINITY exactly, the rest to the sub-pixel
    // tolerance.
    const auto FinalStageMismatches = [&](const char* kernel, const std::vector<float>& map, const auto& left,
                                          auto twin) {
        const cl::Buffer output(device_->clContext, CL_MEM_READ_WRITE, pixels * sizeof(cl_float));
        Launch(kernel, Blocks(kWidth), kHeight, Upload(map), Upload(left), output, kWidth, kHeight);
        const std::vector<float> device = Download<float>(output, pixels);
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const float expected = twin(map, left, kWidth, kHeight, x, y);
                const float got = device[static_cast<size_t>(y * kWidth + x)];
                wrong += std::isinf(expected) ? got != expected
                                              : !(std::fabs(got - expected) <= kSubPixelTolerance);
            }
        }
        return wrong;
    };

    struct Stage {
        const char* name;
        std::function<int()> mismatches;  // of the device's results with the twin's
    };
    const Stage stages[] = {
        {"Census",
         [&] {
             const cl::Buffer bits(device_->clContext, CL_MEM_READ_WRITE, 2 * pixels * sizeof(cl_ulong));
             const cl::Buffer gradient(device_->clContext, CL_MEM_READ_WRITE, 2 * pixels);
             Launch("Census", Blocks(kWidth), 2 * kHeight, greyBuffer, bits, gradient, kWidth, kHeight);
             const std::vector<uint64_t> device = Download<uint64_t>(bits, 2 * pixels);
             const std::vector<uint8_t> slopes = Download<uint8_t>(gradient, 2 * pixels);
             int wrong = 0;
             for (int y = 0; y < 2 * kHeight; ++y) {
                 for (int x = 0; x < kWidth; ++x) {
                     const size_t p = static_cast<size_t>(y * kWidth + x);
                     wrong += device[p] != CensusTwin(grey, kWidth, kHeight, x, y);
                     wrong += slopes[p] != GradientTwin(grey, kWidth, x, y);
                 }
             }
             return wrong;
         }},
        {"ChooseWindows",
         [&] {
             // Coarse estimates: steps of 8 between bands of 6 columns, with a little noise, so
             // that windows are one run inside a band and two across; some missing (negative
             // or infinite), some near the range's end.
             const int coarseWidth = kWidth / 2;
             const int coarseHeight = kHeight / 2;
             std::vector<float> coarse(static_cast<size_t>(2 * coarseWidth * coarseHeight));
             for (size_t i = 0; i < coarse.size(); ++i) {
                 const int kind = uniform(0, 19);
                 const int band = static_cast<int>(i % static_cast<size_t>(coarseWidth)) / 6;
                 coarse[i] = kind == 0 ? -1.0f
                             : kind == 1
                                 ? INFINITY
                                 : static_cast<float>(8 * band) + static_cast<float>(uniform(0, 15)) / 10.0f;
             }
             // The coarser level's best census matches, up to its range.
             std::vector<int16_t> searched(static_cast<size_t>(coarseWidth * coarseHeight));
             for (int16_t& s : searched) s = static_cast<int16_t>(uniform(0, kRange / 2));
             const cl::Buffer coarseBuffer = Upload(coarse);
             const cl::Buffer searchedBuffer = Upload(searched);
             const cl::Buffer window(device_->clContext, CL_MEM_READ_WRITE, pixels * sizeof(cl_short2));
             Launch("ChooseWindows", Blocks(kWidth), (kHeight + 1) / 2, coarseBuffer, coarseWidth,
                    coarseHeight, searchedBuffer, window, kWidth, kHeight, kRange);
             const std::vector<Window> device = Download<Window>(window, pixels);
             int wrong = 0;
             for (int y = 0; y < kHeight; ++y) {
                 for (int x = 0; x < kWidth; ++x) {
                     const size_t parent = static_cast<size_t>(
                         std::min(y / 2, coarseHeight - 1) * coarseWidth + std::min(x / 2, coarseWidth - 1));
                     const Window twin =
                         WindowTwin(coarse, coarseWidth, coarseHeight, x, y, kRange, 2 * searched[parent]);
                     const Window got = device[static_cast<size_t>(y * kWidth + x)];
                     wrong += got.first != twin.first || got.second != twin.second;
                 }
             }
             return wrong;
         }},
        {"BestCensusMatch",
         [&] {
             const cl::Buffer best(device_->clContext, CL_MEM_READ_WRITE, pixels * sizeof(cl_short));
             // A range below the build's, as a finer level searches, in steps of 1 and 3.
             // Own estimates in quarters, some past the range and some halfway between
             // two disparities; a fifth without one.
             const int range = kRange - 9;
             std::vector<float> own(pixels);
             for (float& d : own) d = static_cast<float>(uniform(0, 4 * range + 12)) / 4.0f;
             for (size_t p = 0; p < pixels; p += 5) own[p] = p % 10 == 0 ? -1.0f : INFINITY;
             const cl::Buffer ownBuffer = Upload(own);
             int wrong = 0;
             for (const int step : {1, 3}) {
                 Launch("BestCensusMatch", Blocks(kWidth), kHeight, censusBuffer, ownBuffer, best, kWidth,
                        kHeight, range, step);
                 const std::vector<int16_t> device = Download<int16_t>(best, pixels);
                 for (int y = 0; y < kHeight; ++y) {
                     for (int x = 0; x < kWidth; ++x) {
                         wrong += device[static_cast<size_t>(y * kWidth + x)] !=
                                  CensusBestTwin(census, own, kWidth, kHeight, x, y, range, step);
                     }
                 }
             }
             return wrong;
         }},
        {"MatchingCost",
         [&] {
             // Wider views than the others', so that whole blocks of 16 see every match
             // inside the right view. Even rows give each block one window, as a device
             // path takes blocks whose pixels share theirs; odd rows take the runs above.
             constexpr int width = 2 * kWidth - 13;
             const size_t costPixels = static_cast<size_t>(width * kHeight);
             std::vector<uint8_t> costGradient(2 * costPixels);
             for (uint8_t& g : costGradient) g = static_cast<uint8_t>(uniform(0, 255));
             std::vector<uint64_t> costCensus(2 * costPixels);
             for (uint64_t& c : costCensus)
                 c = (static_cast<uint64_t>(random()) << 16 ^ random()) & kCensusMask;
             std::vector<Window> costWindows(costPixels);
             for (int y = 0; y < kHeight; ++y) {
                 for (int x = 0; x < width; ++x) {
                     const size_t p = static_cast<size_t>(y * width + x);
                     if (y % 2 == 1) {
                         costWindows[p] = windows[static_cast<size_t>(y * kWidth + x % kWidth)];
                     } else if (x % kStereoBlock == 0) {
                         const int first = uniform(0, kRange - 15);
                         const int second = uniform(0, 1) ? first + 8 : uniform(first + 8, kRange - 7);
                         costWindows[p] = {static_cast<int16_t>(first), static_cast<int16_t>(second)};
                     } else {
                         costWindows[p] = costWindows[p - 1];
                     }
                 }
             }
             const cl::Buffer cost(device_->clContext, CL_MEM_READ_WRITE, costPixels * kStereoCandidates);
             // A range below the windows' end: the candidates beyond it cost the most.
             const int range = kRange - 5;
             Launch("MatchingCost", Blocks(width), kHeight, Upload(costCensus), Upload(costGradient),
                    Upload(costWindows), cost, width, kHeight, range);
             const std::vector<uint8_t> device = Download<uint8_t>(cost, costPixels * kStereoCandidates);
             int wrong = 0;
             for (int y = 0; y < kHeight; ++y) {
                 for (int x = 0; x < width; ++x) {
                     const size_t p = static_cast<size_t>(y * width + x);
                     for (int k = 0; k < kStereoCandidates; ++k) {
                         const int d = Candidate(costWindows[p], k);
                         wrong += device[p * kStereoCandidates + static_cast<size_t>(k)] !=
                                  CostTwin(costCensus, costGradient, width, kHeight, x, y, d, range);
                     }
                 }
             }
             return wrong;
         }},
        {"AggregatePaths",
         [&] {
             std::vector<uint8_t> cost(pixels * kStereoCandidates);
             for (uint8_t& c : cost) c = static_cast<uint8_t>(uniform(0, 255));
             const cl::Buffer costBuffer = Upload(cost);
             const cl::Buffer sums(device_->clContext, CL_MEM_READ_WRITE,
                                   pixels * kStereoCandidates * sizeof(cl_ushort));
             const cl::Buffer disparity(device_->clContext, CL_MEM_READ_WRITE, 2 * pixels * sizeof(cl_float));
             const auto items = [](int paths) {
                 return static_cast<size_t>((paths + kStereoPathsPerItem - 1) / kStereoPathsPerItem);
             };

             // The twin's sums: each path walked forward and backward.
             std::vector<uint16_t> twinSums(pixels * kStereoCandidates, 0);
             for (const bool rows : {false, true}) {
                 const int paths = rows ? kHeight : kWidth;
                 const int length = rows ? kWidth : kHeight;
                 for (int t = 0; t < paths; ++t) {
                     for (const bool forward : {true, false}) {
                         PathTwin path;
                         for (int i = 0; i < length; ++i) {
                             const int s = forward ? i : length - 1 - i;
                             const size_t p = static_cast<size_t>(rows ? t * kWidth + s : s * kWidth + t);
                             path.Step(&cost[p * kStereoCandidates], windows[p], grey[p], i == 0);
                             for (int k = 0; k < kStereoCandidates; ++k) {
                                 twinSums[p * kStereoCandidates + static_cast<size_t>(k)] =
                                     static_cast<uint16_t>(
                                         twinSums[p * kStereoCandidates + static_cast<size_t>(k)] +
                                         path.cost[static_cast<size_t>(k)]);
                             }
                         }
                     }
                 }
                 if (!rows) {
                     // The columns' sums, bit for bit.
                     Launch("AggregatePaths", items(kWidth), 1, costBuffer, windowBuffer, greyBuffer, sums,
                            disparity, kWidth, kHeight, 0);
                     if (Download<uint16_t>(sums, twinSums.size()) != twinSums) return 1;
                 }
             }
             Launch("AggregatePaths", items(kHeight), 1, costBuffer, windowBuffer, greyBuffer, sums,
                    disparity, kWidth, kHeight, 1);
             const std::vector<float> device = Download<float>(disparity, 2 * pixels);

             // The best candidates of the left view from the whole sums, and of the right
             // view the lowest sum offered, the smallest disparity among equals.
             int wrong = 0;
             std::vector<uint32_t> keys(pixels, 0xFFFFFFFFu);
             for (size_t p = 0; p < pixels; ++p) {
                 const uint16_t* sum = &twinSums[p * kStereoCandidates];
                 wrong += !(std::fabs(device[p] - BestLeftTwin(sum, windows[p])) <= kSubPixelTolerance);
                 const int x = static_cast<int>(p % kWidth);
                 for (int k = 0; k < kStereoCandidates; ++k) {
                     const int d = Candidate(windows[p], k);
                     if (x - d >= 0) {
                         uint32_t& key = keys[p - static_cast<size_t>(d)];
                         key = std::min(key, static_cast<uint32_t>(sum[k]) << 16 | static_cast<uint32_t>(d));
                     }
                 }
             }
             for (size_t p = 0; p < pixels; ++p) {
                 const float twin = keys[p] == 0xFFFFFFFFu ? -1.0f : static_cast<float>(keys[p] & 0xFFFFu);
                 wrong += device[pixels + p] != twin;
             }
             return wrong;
         }},
        {"ResolveEdges",
         [&] {
             // The first block and its reach flat (within 2), then bands of 8 columns within
             // 2.75 or 10 of each other, so that windows hold edges of every size and some
             // just over the span that counts; a tenth without an estimate.
             std::vector<float> map(pixels);
             for (size_t p = 0; p < pixels; ++p) {
                 const size_t x = p % static_cast<size_t>(kWidth);
                 const int spread = x < 20 ? 8 : x / 8 % 2 ? 40 : 11;
                 map[p] = uniform(0, 9) == 0 ? INFINITY : static_cast<float>(uniform(0, spread)) / 4.0f;
             }
             // Channels within 60 of each other, so that a neighbour's three often lie within
             // the limit of the pixel's.
             std::vector<uint32_t> colour(pixels);
             for (uint32_t& c : colour) {
                 c = static_cast<uint32_t>(uniform(0, 60) | uniform(0, 60) << 8 | uniform(0, 60) << 16);
             }
             return FinalStageMismatches("ResolveEdges", map, colour, EdgeTwin);
         }},
        {"FillByColour",
         [&] {
             // A third rejected; the checked ones from 0 to 8 in steps of a quarter, then
             // all 0.7, whose sums round, so that a mean may fall below every estimate;
             // channels within 16 of each other, so that the colour limit keeps some
             // neighbours and drops others. The first block rows are all checked.
             std::vector<float> checked(pixels);
             std::vector<float> filled(pixels);
             std::vector<uint32_t> colour(pixels);
             for (size_t p = 0; p < pixels; ++p) {
                 const bool rejected = p >= static_cast<size_t>(kWidth) && uniform(0, 2) == 0;
                 checked[p] = rejected ? -1.0f : static_cast<float>(uniform(0, 32)) / 4.0f;
                 filled[p] = rejected ? static_cast<float>(uniform(0, 32)) / 4.0f : checked[p];
                 colour[p] =
                     static_cast<uint32_t>(uniform(0, 16) | uniform(0, 16) << 8 | uniform(0, 16) << 16);
             }
             int wrong = 0;
             for (const bool even : {false, true}) {
                 if (even) {
                     for (float& d : checked) d = d < 0.0f ? d : 0.7f;
                 }
                 const cl::Buffer output = Upload(filled);
                 Launch("FillByColour", Blocks(kWidth), kHeight, Upload(checked), Upload(colour), output,
                        kWidth, kHeight);
                 const std::vector<float> device = Download<float>(output, pixels);
                 int changed = 0;
                 for (int y = 0; y < kHeight; ++y) {
                     for (int x = 0; x < kWidth; ++x) {
                         const size_t p = static_cast<size_t>(y * kWidth + x);
                         const float twin = ColourFillTwin(checked, colour, filled, kWidth, kHeight, x, y);
                         wrong += !(std::fabs(device[p] - twin) <= kSubPixelTolerance);
                         changed += twin != filled[p];
                     }
                 }
                 // The twin must have filled some pixels and left others, or it proves little.
                 wrong += changed == 0 || changed >= static_cast<int>(pixels) / 3;
             }
             return wrong;
         }},
        {"SmoothDisparity",
         [&] {
             // Disparities in steps of a quarter, so that many neighbours lie within reach
             // and some just beyond it; a tenth without an estimate.
             std::vector<float> map(pixels);
             for (float& d : map)
                 d = uniform(0, 9) == 0 ? INFINITY : static_cast<float>(uniform(0, 16)) / 4.0f;
             const std::vector<uint8_t> left(grey.begin(),
                                             grey.begin() + static_cast<std::ptrdiff_t>(pixels));
             return FinalStageMismatches("SmoothDisparity", map, left, SmoothTwin);
         }},
        {"GreyFromBgr and HalveGrey",
         [&] {
             std::vector<uint8_t> bgr(6 * pixels);
             for (uint8_t& c : bgr) c = static_cast<uint8_t>(uniform(0, 255));
             const cl::Buffer bgrBuffer = Upload(bgr);
             const cl::Buffer fine(device_->clContext, CL_MEM_READ_WRITE, 2 * pixels);
             const int halfWidth = kWidth / 2;
             const int halfHeight = kHeight / 2;
             const size_t halfPixels = static_cast<size_t>(halfWidth * halfHeight);
             const cl::Buffer coarse(device_->clContext, CL_MEM_READ_WRITE, 2 * halfPixels);
             const cl::Buffer colour(device_->clContext, CL_MEM_READ_WRITE, pixels * sizeof(cl_uint));
             Launch("GreyFromBgr", Blocks(kWidth), 2 * kHeight, bgrBuffer, fine, colour, kWidth, 2 * kHeight);
             Launch("HalveGrey", halfWidth, 2 * halfHeight, fine, coarse, kWidth, kHeight, halfWidth,
                    halfHeight);
             const std::vector<uint8_t> greyFine = Download<uint8_t>(fine, 2 * pixels);
             const std::vector<uint8_t> greyCoarse = Download<uint8_t>(coarse, 2 * halfPixels);
             const std::vector<uint32_t> colours = Download<uint32_t>(colour, pixels);
             int wrong = 0;
             for (size_t p = 0; p < 2 * pixels; ++p) {
                 wrong +=
                     greyFine[p] != (29 * bgr[3 * p] + 150 * bgr[3 * p + 1] + 77 * bgr[3 * p + 2] + 128) >> 8;
                 if (p < pixels) {
                     wrong += colours[p] !=
                              static_cast<uint32_t>(bgr[3 * p] | bgr[3 * p + 1] << 8 | bgr[3 * p + 2] << 16);
                 }
             }
             for (int y = 0; y < 2 * halfHeight; ++y) {
                 const int view = y >= halfHeight ? 1 : 0;
                 for (int x = 0; x < halfWidth; ++x) {
                     const size_t top =
                         static_cast<size_t>((view * kHeight + 2 * (y - view * halfHeight)) * kWidth + 2 * x);
                     const int sum = greyFine[top] + greyFine[top + 1] + greyFine[top + kWidth] +
                                     greyFine[top + kWidth + 1];
                     wrong += greyCoarse[static_cast<size_t>(y * halfWidth + x)] != (sum + 2) >> 2;
                 }
             }
             return wrong;
         }},
        {"Median3x3, CheckConsistency and FillHoles",
         [&] {
             // Disparities of both views from 0 to 6, so that partners often agree; a fifth
             // without an estimate, and for the holes to fill all but a few, so that some look
             // far up or down.
             const auto randomMap = [&](int missingOneIn) {
                 std::vector<float> map(2 * pixels);
                 for (float& d : map) {
                     const bool missing =
                         missingOneIn > 0 ? uniform(0, missingOneIn - 1) == 0 : uniform(0, 29) != 0;
                     d = missing ? -1.0f : static_cast<float>(uniform(0, 60)) / 10.0f;
                 }
                 return map;
             };
             const std::vector<float> maps[] = {randomMap(5), randomMap(5), randomMap(0)};
             const cl::Buffer output(device_->clContext, CL_MEM_READ_WRITE, 2 * pixels * sizeof(cl_float));
             const std::function<float(const std::vector<float>&, int, int, int, int)> twins[] = {
                 MedianTwin, CheckedTwin, FilledTwin};
             int wrong = 0;
             for (int stage = 0; stage < 3; ++stage) {
                 const std::vector<float>& map = maps[stage];
                 const cl::Buffer input = Upload(map);
                 if (stage == 0)
                     Launch("Median3x3", Blocks(kWidth), 2 * kHeight, input, output, kWidth, kHeight);
                 if (stage == 1) Launch("CheckConsistency", kWidth, kHeight, input, output, kWidth, kHeight);
                 if (stage == 2) Launch("FillHoles", kHeight, 1, input, output, kWidth, kHeight);
                 const std::vector<float> device = Download<float>(output, 2 * pixels);
                 // The median takes both views; the check and the fill the left one.
                 for (int y = 0; y < (stage == 0 ? 2 : 1) * kHeight; ++y) {
                     for (int x = 0; x < kWidth; ++x) {
                         wrong += device[static_cast<size_t>(y * kWidth + x)] !=
                                  twins[stage](map, kWidth, kHeight, x, y);
                     }
                 }
             }
             return wrong;
         }},
    };
    for (const Stage& stage : stages) {
        EXPECT_EQ(stage.mismatches(), 0) << stage.name;
    }
}

}  // namespace
