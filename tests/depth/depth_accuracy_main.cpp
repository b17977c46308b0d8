// Prints how far korrdepth's matcher is from the truth, pair by pair: the share of
// bad pixels (off by more than 1.0, every pixel with known truth counted) and the
// device time of a match. Run it where stereo.cl is, e.g. build/run:
//   ../tests/depth_accuracy [--kernels] [--pictures DIR] [--only NAME] [--max-disparity N]
// --pictures writes, per pair, the colour map and a map of the bad pixels (red);
// --max-disparity searches another range than 64, to see how the time grows with it.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>

#include "depth/stereo_matcher.h"
#include "imageio/image_files.h"
#include "tests/support/disparity_truth.h"
#include "tests/support/test_data.h"
#include "tools/sample_scene.h"

namespace {

constexpr int kRepeats = 10;

struct Score {
    double badPercent = 100.0;
    double milliseconds = 0.0;     // wall clock
    double cpuMilliseconds = 0.0;  // processor time of all threads
};

struct Options {
    bool printKernels = false;
    std::string pictureDir;
    std::string only;  // one pair by name, or all
    int maxDisparity = 64;
};

void SavePictures(const std::string& dir, const std::string& name, const DisparityResult& result,
                  const DisparityMap& truth) {
    std::vector<unsigned char> errors(result.vColour.size());
    for (size_t i = 0; i < result.vDisparity.size(); ++i) {
        const bool known = truth.values[i] != 0.0f;
        const bool bad = known && !(std::fabs(result.vDisparity[i] - truth.values[i]) <= 1.0f);
        const unsigned char grey = result.vGrey[3 * i];
        errors[3 * i] = bad ? 0 : known ? grey / 2 : 255;
        errors[3 * i + 1] = bad ? 0 : known ? grey / 2 : 0;
        errors[3 * i + 2] = bad ? 255 : known ? grey / 2 : 0;
    }
    SaveBmpFromRgb((dir + "/" + name + "_colour.bmp").c_str(), result.vColour.data(), result.iWidth,
                   result.iHeight);
    SaveBmpFromRgb((dir + "/" + name + "_errors.bmp").c_str(), errors.data(), result.iWidth, result.iHeight);
}

Score Measure(StereoMatcher& matcher, const std::string& name, const unsigned char* left,
              const unsigned char* right, int32_t width, int32_t height, const DisparityMap& truth,
              const Options& options) {
    Score score;
    DisparityResult result;
    if (!matcher.Match(left, right, width, height, &result)) return score;  // also compiles and warms up
    // The fastest of a few runs, per kernel too: other processes on the machine only add time.
    std::map<std::string, KernelTime> fastestKernels;
    double best = 1e30;
    const std::clock_t cpuStart = std::clock();
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        matcher.Match(left, right, width, height, &result);
        const auto end = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
        for (const KernelTime& time : matcher.LastKernelTimes()) {
            auto found = fastestKernels.find(time.sName);
            if (found == fastestKernels.end() || time.dMilliseconds < found->second.dMilliseconds) {
                fastestKernels[time.sName] = time;
            }
        }
    }
    score.cpuMilliseconds = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC / kRepeats;
    score.milliseconds = best;
    score.badPercent = BadPixelPercent(truth, result.vDisparity);
    if (!options.pictureDir.empty()) SavePictures(options.pictureDir, name, result, truth);
    if (options.printKernels) {
        std::printf("    %-18s %7.3f ms  (first kernel's start to last one's end, last match)\n", "(span)",
                    matcher.LastKernelSpanMilliseconds());
        for (const auto& [kernel, time] : fastestKernels) {
            std::printf("    %-18s %7.3f ms  (%d launches)\n", kernel.c_str(), time.dMilliseconds,
                        time.iLaunches);
        }
    }
    return score;
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
    ComputeDevice device;
    StereoMatcher matcher;
    std::printf("--- device setup ---\n");
    if (!InitComputeDevice(CL_QUEUE_PROFILING_ENABLE, &device) || !matcher.Init(device, options.maxDisparity))
        return 1;
    std::printf("--- pair       bad-1.0   fastest of %d matches, processor time per match ---\n", kRepeats);

    double sum = 0.0;
    int counted = 0;
    const std::filesystem::path data = SharedTestDataDir();
    for (const TruthPair& pair : MiddleburyPairs()) {
        if (!options.only.empty() && options.only != pair.name) continue;
        const std::filesystem::path dir = data / "middlebury" / pair.name;
        int32_t width = 0;
        int32_t height = 0;
        std::unique_ptr<unsigned char[]> left(
            LoadBmpRgb((dir / "im2.bmp").string().c_str(), &width, &height));
        std::unique_ptr<unsigned char[]> right(
            LoadBmpRgb((dir / "im6.bmp").string().c_str(), &width, &height));
        const DisparityMap truth = LoadTruth(dir / pair.truthFile, pair.scale);
        if (data.empty() || !left || !right || truth.values.empty()) {
            std::printf("%-10s  (missing: %s)\n", pair.name.c_str(), SharedTestDataMissing().c_str());
            continue;
        }
        const Score score =
            Measure(matcher, pair.name, left.get(), right.get(), width, height, truth, options);
        std::printf("%-10s  %6.2f %%   %7.2f ms  %7.2f ms\n", pair.name.c_str(), score.badPercent,
                    score.milliseconds, score.cpuMilliseconds);
        sum += score.badPercent;
        ++counted;
    }
    if (counted > 0) std::printf("%-10s  %6.2f %%\n", "mean", sum / counted);

    if (!options.only.empty() && options.only != "sample") return 0;
    const StereoSample sample = GenerateSampleScene();
    const Score score = Measure(matcher, "sample", sample.left.data(), sample.right.data(), sample.width,
                                sample.height, SampleTruth(sample), options);
    std::printf("%-10s  %6.2f %%   %7.2f ms  %7.2f ms\n", "sample", score.badPercent, score.milliseconds,
                score.cpuMilliseconds);
    return 0;
}
