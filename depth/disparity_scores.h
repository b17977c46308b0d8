#pragma once
// How far a disparity map is from the truth: the shares of bad pixels at the usual
// thresholds, the D1 share, and the mean and root-mean-square error, over all pixels
// with truth and over the visible ones.

#include <cstdint>
#include <string>
#include <vector>

// Row 0 on top.
struct TruthMap {
    int32_t iWidth = 0;
    int32_t iHeight = 0;
    std::vector<float> vDisparity;  // not finite where the truth is unknown
    std::vector<uint8_t> vVisible;  // 1 where seen by both views; none when not known
};

constexpr float kBadThresholds[] = {0.5f, 1.0f, 2.0f, 4.0f};
constexpr int kBadThresholdCount = sizeof kBadThresholds / sizeof kBadThresholds[0];

struct ErrorScores {
    int64_t iPixels = 0;                          // with truth, in this set
    double dBadPercent[kBadThresholdCount] = {};  // error over each threshold, or no estimate
    double dD1Percent = 0.0;                      // error over 3 pixels and over 5 % of the truth
    double dMeanError = 0.0;                      // pixels; a missing estimate's error is the truth
    double dRmsError = 0.0;
    double dEstimatedPercent = 0.0;  // pixels with an estimate (finite)
};

struct DisparityScores {
    ErrorScores all;
    ErrorScores visible;  // only where the truth says which pixels are visible
    ErrorScores checked;  // where the estimate passed the matcher's left-right check
    ErrorScores filled;   // where the matcher filled it in instead
    bool bHasVisible = false;
    bool bHasChecked = false;  // for checked and filled
};

// `pEstimate` holds truth.iWidth x truth.iHeight values, not finite where no estimate;
// `pChecked`, where given, as many flags, nonzero where the estimate passed the check.
DisparityScores ScoreDisparity(const float* pEstimate, const TruthMap& truth,
                               const uint8_t* pChecked = nullptr);

// Each field's mean over the pairs (of those whose set has pixels).
DisparityScores MeanScores(const std::vector<DisparityScores>& scores);

// A header line and a line per set that the scores have, aligned: pixels, bad-0.5,
// bad-1, bad-2, bad-4, D1, mean, rms, estimated. Each line ends with a newline.
std::string FormatScores(const DisparityScores& scores);
