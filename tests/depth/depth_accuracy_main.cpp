// Prints how far korrdepth's matcher is from the truth, pair by pair: the scores over
// all pixels with truth and over the visible ones (bad-0.5, 1, 2 and 4, D1, mean and
// root-mean-square error, share estimated), and the time of a match. Run it where
// stereo.cl is, e.g. build/run:
//   ../tests/depth_accuracy [--kernels] [--pictures DIR] [--only NAME] [--max-disparity N]
// --pictures writes, per pair, the colour map and a map of the bad pixels (red);
// --max-disparity searches the 2001/2003 pairs and the sample to another range than 64.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>

#include "depth/disparity_scores.h"
#include "depth/stereo_matcher.h"
#include "depth/view_pair.h"
#include "imageio/image_files.h"
#include "tests/support/disparity_truth.h"

namespace {

constexpr int kRepeats = 10;

struct Options {
    bool printKernels = false;
    std::string pictureDir;
    std::string only;  // one pair by name, or all
    int maxDisparity = 64;
};

struct Views {
    const unsigned char* left;
    const unsigned char* right;
    int32_t width;
    int32_t height;
};

void SavePictures(const std::string& dir, const std::string& name, const DisparityResult& result,
                  const TruthMap& truth) {
    std::vector<unsigned char> errors(result.vColour.size());
    for (size_t i = 0; i < result.vDisparity.size(); ++i) {
        const bool known = std::isfinite(truth.vDisparity[i]);
        const bool bad = known && !(std::fabs(result.vDisparity[i] - truth.vDisparity[i]) <= 1.0f);
        const unsigned char grey = result.vGrey[3 * i];
        errors[3 * i] = bad ? 0 : known ? grey / 2 : 255;
        errors[3 * i + 1] = bad ? 0 : known ? grey / 2 : 0;
        errors[3 * i + 2] = bad ? 255 : known ? grey / 2 : 0;
    }
    SaveBmpFromRgb((dir + "/" + name + "_colour.bmp").c_str(), result.vColour.data(), result.iWidth,
                   result.iHeight);
    SaveBmpFromRgb((dir + "/" + name + "_errors.bmp").c_str(), errors.data(), result.iWidth, result.iHeight);
}

// The scores of the pair's last match; the fastest of a few matches, per kernel too,
// since other processes on the machine only add time.
DisparityScores Measure(StereoMatcher& matcher, const std::string& name, const Views& views,
                        const TruthMap& truth, const Options& options) {
    DisparityResult result;
    if (!matcher.Match(views.left, views.right, views.width, views.height, &result,
                       kReadColour | kReadChecked)) {  // also warms up
        std::printf("%s: %s\n", name.c_str(), matcher.LastError().c_str());
        return DisparityScores();
    }
    std::map<std::string, KernelTime> fastestKernels;
    double best = 1e30;
    const std::clock_t cpuStart = std::clock();
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        matcher.Match(views.left, views.right, views.width, views.height, &result,
                      kReadColour | kReadChecked);
        const auto end = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
        for (const KernelTime& time : matcher.LastKernelTimes()) {
            auto found = fastestKernels.find(time.sName);
            if (found == fastestKernels.end() || time.dMilliseconds < found->second.dMilliseconds) {
                fastestKernels[time.sName] = time;
            }
        }
    }
    const double cpu = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC / kRepeats;
    const DisparityScores scores = ScoreDisparity(result.vDisparity.data(), truth, result.vChecked.data());
    std::printf(
        "%s: %d x %d, disparities 0 - %d, %.2f ms a match (fastest of %d), %.2f ms processor time\n%s",
        name.c_str(), views.width, views.height, matcher.MaxDisparity(), best, kRepeats, cpu,
        FormatScores(scores).c_str());
    if (!options.pictureDir.empty()) SavePictures(options.pictureDir, name, result, truth);
    if (options.printKernels) {
        std::printf("    %-18s %7.3f ms  (first kernel's start to last one's end, last match)\n", "(span)",
                    matcher.LastKernelSpanMilliseconds());
        for (const auto& [kernel, time] : fastestKernels) {
            std::printf("    %-18s %7.3f ms  (%d launches)\n", kernel.c_str(), time.dMilliseconds,
                        time.iLaunches);
        }
    }
    return scores;
}

// The matcher for this range, set up again when the range changes.
bool UseRange(const ComputeDevice& device, StereoMatcher* pMatcher, int iMaxDisparity) {
    if (pMatcher->MaxDisparity() == iMaxDisparity) return true;
    *pMatcher = StereoMatcher();
    return pMatcher->Init(device, iMaxDisparity);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--kernels") == 0) options.printKernels = true;
        if (std::strcmp(argv[i], "--pictures") == 0 && i + 1 < argc) options.pictureDir = argv[++i];
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) options.only = argv[++i];
        if (std::strcmp(argv[i], "--max-disparity") == 0 && i + 1 < argc)
            options.maxDisparity = std::atoi(argv[++i]);
    }
    const auto wanted = [&](const std::string& name) { return options.only.empty() || options.only == name; };
    ComputeDevice device;
    StereoMatcher matcher;
    std::printf("--- device setup ---\n");
    if (!InitComputeDevice(CL_QUEUE_PROFILING_ENABLE, &device) || !matcher.Init(device, options.maxDisparity))
        return 1;

    // The bad-1 means of the 2001/2003 pairs and of the 2014 scenes, as the targets take them.
    std::map<std::string, std::pair<double, int>> means;
    const auto modern = [](const std::string& name) {
        for (const ModernPair& pair : ModernPairs())
            if (pair.name == name) return &pair;
        return static_cast<const ModernPair*>(nullptr);
    };
    const auto group = [&](const std::string& name) -> std::string {
        if (modern(name)) return modern(name)->mask.empty() ? "" : "the 2014 scenes";
        return name == "sample" ? "" : "the 2001/2003 pairs";
    };
    for (const std::string& name : ScoredPairNames()) {
        if (!wanted(name)) continue;
        ScoredPair pair;
        const std::string missing = LoadScoredPair(name, &pair);
        if (!missing.empty()) {
            std::printf("%s: skipped (%s)\n", name.c_str(), missing.c_str());
            continue;
        }
        // --max-disparity is for the pairs without a range of their own.
        const int range = modern(name) ? pair.iMaxDisparity : options.maxDisparity;
        if (range > kMaxMaxDisparity) {
            std::printf("%s: skipped (disparities up to %d, beyond the matcher's %d)\n", name.c_str(), range,
                        kMaxMaxDisparity);
            continue;
        }
        if (!UseRange(device, &matcher, range)) return 1;
        const ViewPair& views = pair.views;
        const DisparityScores scores =
            Measure(matcher, name, {views.pLeft.get(), views.pRight.get(), views.iWidth, views.iHeight},
                    pair.truth, options);
        if (!group(name).empty()) {
            means[group(name)].first += scores.all.dBadPercent[1];
            means[group(name)].second += 1;
        }
    }
    for (const auto& [name, mean] : means) {
        std::printf("mean bad-1 of %s (%d): %.2f %%\n", name.c_str(), mean.second, mean.first / mean.second);
    }
    return 0;
}
