// The scores of OpenCV's semi-global matcher (bench/opencv_sgbm_matcher.h) on every
// pair with truth, as tests/depth_accuracy prints korrdepth's, for the README's table;
// a pixel without an estimate counts as bad.
//   build/bench/peer_accuracy [--only NAME]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/opencv_sgbm_matcher.h"
#include "depth/disparity_scores.h"
#include "tests/support/disparity_truth.h"

namespace {

// The scores and the fastest of three matches' milliseconds.
DisparityScores MatchAndScore(const ScoredPair& pair, double* pMilliseconds) {
    const ViewPair& views = pair.views;
    const int range = OpenCvSgbmRange(pair.iMaxDisparity + 1);
    const cv::Mat left(views.iHeight, views.iWidth, CV_8UC3, views.pLeft.get());
    const cv::Mat right(views.iHeight, views.iWidth, CV_8UC3, views.pRight.get());
    const cv::Ptr<cv::StereoSGBM> matcher = MakeOpenCvSgbm(range);
    cv::Mat fixed;
    *pMilliseconds = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        fixed = OpenCvSgbmMatch(*matcher, left, right, range);
        const auto end = std::chrono::steady_clock::now();
        *pMilliseconds =
            std::min(*pMilliseconds, std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::vector<float> disparity(static_cast<size_t>(views.iWidth) * static_cast<size_t>(views.iHeight));
    for (int y = 0; y < views.iHeight; ++y) {
        for (int x = 0; x < views.iWidth; ++x) {
            const short d = fixed.at<short>(y, x);
            disparity[static_cast<size_t>(y) * static_cast<size_t>(views.iWidth) + static_cast<size_t>(x)] =
                d < 0 ? INFINITY : static_cast<float>(d) / 16.0f;
        }
    }
    return ScoreDisparity(disparity.data(), pair.truth);
}

}  // namespace

int main(int argc, char** argv) {
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
    }
    for (const std::string& name : ScoredPairNames()) {
        if (!only.empty() && name != only) continue;
        ScoredPair pair;
        const std::string missing = LoadScoredPair(name, &pair);
        if (!missing.empty()) {
            std::printf("%s: skipped (%s)\n", name.c_str(), missing.c_str());
            continue;
        }
        double milliseconds = 0.0;
        const DisparityScores scores = MatchAndScore(pair, &milliseconds);
        std::printf("%s: %d x %d, disparities 0 - %d, %.2f ms a match (fastest of 3)\n%s", name.c_str(),
                    pair.views.iWidth, pair.views.iHeight, pair.iMaxDisparity, milliseconds,
                    FormatScores(scores).c_str());
    }
    return 0;
}
