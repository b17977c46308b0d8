#include "bench/opencv_sgbm_bench.h"

#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "bench/opencv_sgbm_matcher.h"
#include "bench/resident_memory.h"

namespace fs = std::filesystem;

namespace {

// Grey = 4 x disparity, as korrdepth writes, black where there is no estimate.
bool RunFrame(cv::StereoSGBM& matcher, int pad, const fs::path& pair, const std::string& output) {
    const cv::Mat left = cv::imread((pair / "im2.bmp").string(), cv::IMREAD_COLOR);
    const cv::Mat right = cv::imread((pair / "im6.bmp").string(), cv::IMREAD_COLOR);
    if (left.empty() || right.empty()) {
        return false;
    }
    cv::Mat grey, picture;
    // Sixteenths of a pixel: 4 x disparity is a quarter of the value.
    OpenCvSgbmMatch(matcher, left, right, pad).convertTo(grey, CV_8U, 0.25);
    cv::cvtColor(grey, picture, cv::COLOR_GRAY2BGR);
    return cv::imwrite(output, picture);
}

void BM_OpenCvSgbmFrame(benchmark::State& state, const StereoBenchCase& benchCase) {
    std::string reason;
    const std::function<bool()> frame = MakeOpenCvSgbmFrame(benchCase, &reason);
    if (!frame) {
        state.SkipWithError(reason.c_str());
        return;
    }
    const uint64_t warmBytes = ResidentBytes();
    for (auto _ : state) {
        if (!frame()) {
            state.SkipWithError("OpenCV cannot read the pair or write the result");
            return;
        }
    }
    CountResidentMemory(state, warmBytes);
}

}  // namespace

std::function<bool()> MakeOpenCvSgbmFrame(const StereoBenchCase& benchCase, std::string* pReason) {
    const fs::path pair = StereoBenchPairFolder(benchCase, pReason);
    if (pair.empty()) {
        return nullptr;
    }
    const int numDisparities = OpenCvSgbmRange(benchCase.iMaxDisparity);
    const cv::Ptr<cv::StereoSGBM> matcher = MakeOpenCvSgbm(numDisparities);
    const std::string output = (StereoBenchScratchFolder() / "opencv-disparity.bmp").string();
    std::function<bool()> frame = [=] { return RunFrame(*matcher, numDisparities, pair, output); };
    for (int i = 0; i < kSettlingFrames; ++i) {
        if (!frame()) {
            *pReason = "OpenCV cannot read the pair or write the result";
            return nullptr;
        }
    }
    return frame;
}

void RegisterOpenCvSgbmFrame(const std::string& name, const StereoBenchCase& benchCase) {
    benchmark::RegisterBenchmark(("BM_OpenCvSgbmFrame/" + name).c_str(), BM_OpenCvSgbmFrame, benchCase)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}
