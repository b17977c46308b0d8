// The same per-frame job through OpenCV, for comparison: read the pair, halve the
// left view by area averaging, write the result. Built only where OpenCV is found.
#include <benchmark/benchmark.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace {

void BM_OpenCvFrame(benchmark::State& state) {
    for (auto _ : state) {
        const cv::Mat left = cv::imread("im2.bmp", cv::IMREAD_COLOR);
        const cv::Mat right = cv::imread("im6.bmp", cv::IMREAD_COLOR);
        if (left.empty() || right.empty()) {
            state.SkipWithError("OpenCV cannot read the pair");
            break;
        }
        cv::Mat half;
        cv::resize(left, half, cv::Size(left.cols / 2, left.rows / 2), 0, 0, cv::INTER_AREA);
        if (!cv::imwrite("opencv-depth.bmp", half)) {
            state.SkipWithError("OpenCV cannot write the result");
            break;
        }
    }
}
BENCHMARK(BM_OpenCvFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
