#include "depth/disparity_scores.h"

#include <cmath>
#include <cstdio>

namespace {

struct Sums {
    int64_t iPixels = 0;
    int64_t iBad[kBadThresholdCount] = {};
    int64_t iD1 = 0;
    int64_t iEstimated = 0;
    double dError = 0.0;
    double dSquaredError = 0.0;

    void Add(float estimate, float truth) {
        ++iPixels;
        const bool estimated = std::isfinite(estimate);
        const double error = estimated ? std::fabs(static_cast<double>(estimate) - truth) : std::fabs(truth);
        iEstimated += estimated;
        for (int i = 0; i < kBadThresholdCount; ++i) iBad[i] += !estimated || error > kBadThresholds[i];
        iD1 += !estimated || (error > 3.0 && error > 0.05 * std::fabs(truth));
        dError += error;
        dSquaredError += error * error;
    }

    ErrorScores Scores() const {
        ErrorScores scores;
        scores.iPixels = iPixels;
        if (iPixels == 0) return scores;
        const double n = static_cast<double>(iPixels);
        for (int i = 0; i < kBadThresholdCount; ++i)
            scores.dBadPercent[i] = 100.0 * static_cast<double>(iBad[i]) / n;
        scores.dD1Percent = 100.0 * static_cast<double>(iD1) / n;
        scores.dMeanError = dError / n;
        scores.dRmsError = std::sqrt(dSquaredError / n);
        scores.dEstimatedPercent = 100.0 * static_cast<double>(iEstimated) / n;
        return scores;
    }
};

void AddTo(ErrorScores* pSum, const ErrorScores& scores) {
    pSum->iPixels += scores.iPixels;
    for (int i = 0; i < kBadThresholdCount; ++i) pSum->dBadPercent[i] += scores.dBadPercent[i];
    pSum->dD1Percent += scores.dD1Percent;
    pSum->dMeanError += scores.dMeanError;
    pSum->dRmsError += scores.dRmsError;
    pSum->dEstimatedPercent += scores.dEstimatedPercent;
}

ErrorScores Divided(ErrorScores sum, int count) {
    if (count == 0) return ErrorScores();
    for (double& bad : sum.dBadPercent) bad /= count;
    sum.dD1Percent /= count;
    sum.dMeanError /= count;
    sum.dRmsError /= count;
    sum.dEstimatedPercent /= count;
    return sum;
}

std::string Line(const char* name, const ErrorScores& scores) {
    char line[200];
    int at = std::snprintf(line, sizeof line, "%-8s %8lld", name, static_cast<long long>(scores.iPixels));
    for (double bad : scores.dBadPercent) at += std::snprintf(line + at, sizeof line - at, " %7.2f%%", bad);
    std::snprintf(line + at, sizeof line - at, " %7.2f%% %7.3f %7.3f %8.2f%%\n", scores.dD1Percent,
                  scores.dMeanError, scores.dRmsError, scores.dEstimatedPercent);
    return line;
}

}  // namespace

DisparityScores ScoreDisparity(const float* pEstimate, const TruthMap& truth, const uint8_t* pChecked) {
    Sums all;
    Sums visible;
    Sums checked;
    Sums filled;
    const bool hasVisible = truth.vVisible.size() == truth.vDisparity.size();
    for (size_t i = 0; i < truth.vDisparity.size(); ++i) {
        if (!std::isfinite(truth.vDisparity[i])) continue;
        all.Add(pEstimate[i], truth.vDisparity[i]);
        if (hasVisible && truth.vVisible[i] != 0) visible.Add(pEstimate[i], truth.vDisparity[i]);
        if (pChecked != nullptr) (pChecked[i] != 0 ? checked : filled).Add(pEstimate[i], truth.vDisparity[i]);
    }
    return DisparityScores{all.Scores(),    visible.Scores(), checked.Scores(),
                           filled.Scores(), hasVisible,       pChecked != nullptr};
}

DisparityScores MeanScores(const std::vector<DisparityScores>& scores) {
    struct Mean {
        ErrorScores sum;
        int count = 0;
        void Add(bool has, const ErrorScores& set) {
            if (!has || set.iPixels == 0) return;
            AddTo(&sum, set);
            ++count;
        }
    } all, visible, checked, filled;
    DisparityScores mean;
    for (const DisparityScores& pair : scores) {
        all.Add(true, pair.all);
        visible.Add(pair.bHasVisible, pair.visible);
        checked.Add(pair.bHasChecked, pair.checked);
        filled.Add(pair.bHasChecked, pair.filled);
        mean.bHasVisible = mean.bHasVisible || pair.bHasVisible;
        mean.bHasChecked = mean.bHasChecked || pair.bHasChecked;
    }
    mean.all = Divided(all.sum, all.count);
    mean.visible = Divided(visible.sum, visible.count);
    mean.checked = Divided(checked.sum, checked.count);
    mean.filled = Divided(filled.sum, filled.count);
    return mean;
}

std::string FormatScores(const DisparityScores& scores) {
    std::string text =
        "pixels     count  bad-0.5    bad-1    bad-2    bad-4       D1    mean     rms  estimated\n";
    text += Line("all", scores.all);
    if (scores.bHasVisible) text += Line("visible", scores.visible);
    if (scores.bHasChecked) {
        text += Line("checked", scores.checked);
        text += Line("filled", scores.filled);
    }
    return text;
}
