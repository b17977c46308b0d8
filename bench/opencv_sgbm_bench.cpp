#include "bench/opencv_sgbm_bench.h"

#include <benchmark/benchmark.h>

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "bench/resident_memory.h"

namespace fs = std::filesystem;

namespace {

constexpr int kBlockSize = 3;
constexpr int kChannels = 3;

cv::Ptr<cv::StereoSGBM> MakeMatcher(int numDisparities) {
    return cv::StereoSGBM::create(0, numDisparities, kBlockSize, 8 * kChannels * kBlockSize * kBlockSize,
                                  32 * kChannels * kBlockSize * kBlockSize, 1, 0, 10, 100, 2,
                                  cv::StereoSGBM::MODE_SGBM_3WAY);
}

// Padded on the left by the range, so that every pixel of the view has its whole range
// to search; the padding is cut off again. Grey = 4 x disparity, as korrdepth writes,
// black where there is no estimate.
bool RunFrame(cv::StereoSGBM& matcher, int pad, const fs::path& pair, const std::string& output) {
    const cv::Mat left = cv::imread((pair / "im2.bmp").string(), cv::IMREAD_COLOR);
    const cv::Mat right = cv::imread((pair / "im6.bmp").string(), cv::IMREAD_COLOR);
    if (left.empty() || right.empty()) {
        return false;
    }
    cv::Mat paddedLeft, paddedRight, disparity, grey, picture;
    cv::copyMakeBorder(left, paddedLeft, 0, 0, pad, 0, cv::BORDER_REPLICATE);
    cv::copyMakeBorder(right, paddedRight, 0, 0, pad, 0, cv::BORDER_REPLICATE);
    matcher.compute(paddedLeft, paddedRight, disparity);
    // Sixteenths of a pixel: 4 x disparity is a quarter of the value.
    disparity(cv::Rect(pad, 0, left.cols, left.rows)).convertTo(grey, CV_8U, 0.25);
    cv::cvtColor(grey, picture, cv::COLOR_GRAY2BGR);
    return cv::imwrite(output, picture);
}

void BM_OpenCvSgbmFrame(benchmark::State& state, const StereoBenchCase& benchCase) {
    std::string reason;
    const fs::path pair = StereoBenchPairFolder(benchCase, &reason);
    if (pair.empty()) {
        state.SkipWithError(reason.c_str());
        return;
    }
    const int numDisparities = (benchCase.iMaxDisparity + 15) / 16 * 16;
    const cv::Ptr<cv::StereoSGBM> matcher = MakeMatcher(numDisparities);
    const std::string output = (StereoBenchScratchFolder() / "opencv-disparity.bmp").string();
    bool bReady = true;
    for (int i = 0; i < kSettlingFrames && bReady; ++i) {
        bReady = RunFrame(*matcher, numDisparities, pair, output);
    }
    const uint64_t warmBytes = ResidentBytes();
    for (auto _ : state) {
        if (!bReady || !RunFrame(*matcher, numDisparities, pair, output)) {
            state.SkipWithError("OpenCV cannot read the pair or write the result");
            return;
        }
    }
    CountResidentMemory(state, warmBytes);
}

}  // namespace

void RegisterOpenCvSgbmFrame(const std::string& name, const StereoBenchCase& benchCase) {
    benchmark::RegisterBenchmark(("BM_OpenCvSgbmFrame/" + name).c_str(), BM_OpenCvSgbmFrame, benchCase)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}
