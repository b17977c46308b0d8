#include "depth/kitti_folder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "depth/disparity_scores.h"
#include "depth/scene_folder.h"
#include "depth/truth_files.h"
#include "depth/view_pair.h"
#include "diagnostics/debug_print.h"
#include "imageio/sample_image.h"
#include "platform/system.h"

namespace fs = std::filesystem;

namespace {

constexpr int kKittiDisparities = 192;
constexpr char kPairSuffix[] = "_10.png";

std::string Joined(const std::string& dir, const std::string& name) {
    return (fs::u8path(dir) / fs::u8path(name)).u8string();
}

// The first of the candidate folders that exists under `dir`, or none.
std::string FirstFolder(const fs::path& dir, std::initializer_list<const char*> names) {
    std::error_code error;
    for (const char* name : names) {
        if (fs::is_directory(dir / name, error)) return (dir / name).u8string();
    }
    return std::string();
}

std::vector<uint16_t> SubmissionSamples(const std::vector<float>& disparity) {
    std::vector<uint16_t> samples(disparity.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        const float d = disparity[i];
        // 0 means no estimate, so a disparity that rounds to 0 is kept as the least one.
        samples[i] =
            std::isfinite(d) ? static_cast<uint16_t>(std::clamp(std::lround(d * 256.0f), 1L, 65535L)) : 0;
    }
    return samples;
}

struct PairOutcome {
    std::string sProblem;  // empty when written
    double dSeconds = 0.0;
    bool bScored = false;
    DisparityScores scores;
};

PairOutcome RunPair(const KittiFolder& folder, const std::string& name, StereoMatcher* pMatcher,
                    DisparityResult* pResult) {
    PairOutcome outcome;
    ViewPair pair;
    outcome.sProblem = ReadViewPair(Joined(folder.sLeftDir, name), Joined(folder.sRightDir, name), &pair);
    if (!outcome.sProblem.empty()) return outcome;
    TruthMap truth;
    std::error_code error;
    const std::string truthFile = folder.sTruthDir.empty() ? std::string() : Joined(folder.sTruthDir, name);
    if (!truthFile.empty() && fs::exists(fs::u8path(truthFile), error)) {
        outcome.sProblem = ReadPairTruth(truthFile, std::string(), 0.0, pair.iWidth, pair.iHeight, &truth);
        const std::string visibleFile =
            folder.sVisibleDir.empty() ? std::string() : Joined(folder.sVisibleDir, name);
        if (outcome.sProblem.empty() && !visibleFile.empty() && fs::exists(fs::u8path(visibleFile), error)) {
            outcome.sProblem = ReadVisibleTruth(visibleFile, &truth);
        }
        if (!outcome.sProblem.empty()) return outcome;
    }
    outcome.sProblem = pMatcher->Refusal(pair.iWidth, pair.iHeight);
    if (!outcome.sProblem.empty()) return outcome;
    const auto start = std::chrono::steady_clock::now();
    if (!pMatcher->Match(pair.pLeft.get(), pair.pRight.get(), pair.iWidth, pair.iHeight, pResult,
                         kReadChecked)) {
        outcome.sProblem = "matching failed on the device: " + pMatcher->LastError();
        return outcome;
    }
    outcome.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::vector<uint16_t> samples = SubmissionSamples(pResult->vDisparity);
    const std::string outputFile = Joined(folder.sOutputDir, name);
    const std::string unwritten =
        WritePngGrey16(outputFile, samples.data(), pResult->iWidth, pResult->iHeight);
    if (!unwritten.empty()) {
        outcome.sProblem = "cannot write " + outputFile + " (" + unwritten + ")";
        return outcome;
    }
    if (!truth.vDisparity.empty()) {
        outcome.scores = ScoreDisparity(pResult->vDisparity.data(), truth, pResult->vChecked.data());
        outcome.bScored = true;
    }
    return outcome;
}

std::string ProgressText(size_t done, size_t total, double seconds) {
    constexpr int kBarWidth = 30;
    const int filled = static_cast<int>(kBarWidth * done / total);
    const double rate = seconds > 0.0 ? static_cast<double>(done) / seconds : 0.0;
    const double left = rate > 0.0 ? static_cast<double>(total - done) / rate : 0.0;
    char text[160];
    std::snprintf(text, sizeof text, "[%s%s] %s/%s pairs, %.2f pairs/s, %.0f s left",
                  std::string(static_cast<size_t>(filled), '#').c_str(),
                  std::string(static_cast<size_t>(kBarWidth - filled), '.').c_str(),
                  std::to_string(done).c_str(), std::to_string(total).c_str(), rate, left);
    return text;
}

std::string PairLine(const std::string& name, const PairOutcome& outcome) {
    char text[160];
    if (!outcome.bScored) {
        std::snprintf(text, sizeof text, "%s  %.3f s\n", name.c_str(), outcome.dSeconds);
    } else {
        std::snprintf(text, sizeof text, "%s  %.3f s  D1 %.2f %% (all)", name.c_str(), outcome.dSeconds,
                      outcome.scores.all.dD1Percent);
        std::string line = text;
        if (outcome.scores.bHasVisible) {
            std::snprintf(text, sizeof text, ", %.2f %% (visible)", outcome.scores.visible.dD1Percent);
            line += text;
        }
        return line + "\n";
    }
    return text;
}

}  // namespace

std::string FindKittiFolder(const DepthOptions& options, KittiFolder* pFolder) {
    const fs::path dir = fs::u8path(options.sKittiDir);
    KittiFolder folder;
    folder.sLeftDir = FirstFolder(dir, {"image_2", "colored_0"});
    folder.sRightDir = FirstFolder(dir, {"image_3", "colored_1"});
    if (folder.sLeftDir.empty() || folder.sRightDir.empty()) {
        return options.sKittiDir +
               " holds neither image_2 and image_3 (KITTI 2015) nor colored_0 and colored_1 "
               "(KITTI 2012)";
    }
    folder.sTruthDir = FirstFolder(dir, {"disp_occ_0", "disp_occ"});
    folder.sVisibleDir = FirstFolder(dir, {"disp_noc_0", "disp_noc"});
    std::error_code error;
    for (fs::directory_iterator it(fs::u8path(folder.sLeftDir), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().u8string();
        const size_t suffix = sizeof kPairSuffix - 1;
        if (name.size() > suffix && name.compare(name.size() - suffix, suffix, kPairSuffix) == 0) {
            folder.vNames.push_back(name);
        }
    }
    if (error) return folder.sLeftDir + " cannot be listed (" + error.message() + ")";
    if (folder.vNames.empty()) return folder.sLeftDir + " holds no pair: no file named NNNNNN" + kPairSuffix;
    std::sort(folder.vNames.begin(), folder.vNames.end());

    folder.iMaxDisparity = options.bMaxDisparityGiven ? options.iMaxDisparity : kKittiDisparities - 1;
    const std::string range = RangeProblem(
        folder.iMaxDisparity, "--kitti (" + std::to_string(kKittiDisparities) + " disparities, 0 to " +
                                  std::to_string(kKittiDisparities - 1) + ")");
    if (!range.empty()) return range;
    folder.sOutputDir = (fs::u8path(options.sKittiOutputDir) / "disp_0").u8string();
    fs::create_directories(fs::u8path(folder.sOutputDir), error);
    if (error) return "cannot make the folder " + folder.sOutputDir + " (" + error.message() + ")";
    *pFolder = std::move(folder);
    return std::string();
}

int RunKittiFolder(const KittiFolder& folder, StereoMatcher* pMatcher) {
    DisparityResult result;  // kept, so that pairs of one size reuse its memory
    std::vector<DisparityScores> scores;
    size_t failed = 0;
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < folder.vNames.size(); ++i) {
        const std::string& name = folder.vNames[i];
        PairOutcome outcome;
        try {
            outcome = RunPair(folder, name, pMatcher, &result);
        } catch (const std::bad_alloc&) {
            outcome.sProblem = "not enough memory for the pair";
        }
        if (!outcome.sProblem.empty()) {
            DEBUG_PRINT("Skipped %s: %s\n", name.c_str(), outcome.sProblem.c_str());
            ++failed;
        }
        if (outcome.bScored) scores.push_back(outcome.scores);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!PlatformShowProgress(ProgressText(i + 1, folder.vNames.size(), seconds).c_str()) &&
            outcome.sProblem.empty()) {
            DEBUG_PRINT("%s", PairLine(name, outcome).c_str());
        }
    }
    DEBUG_PRINT("%s of %s pairs written to %s\n", std::to_string(folder.vNames.size() - failed).c_str(),
                std::to_string(folder.vNames.size()).c_str(), folder.sOutputDir.c_str());
    if (!scores.empty()) {
        DEBUG_PRINT("Mean scores over %s pairs with truth:\n%s", std::to_string(scores.size()).c_str(),
                    FormatScores(MeanScores(scores)).c_str());
    }
    return failed == 0 ? 0 : 1;
}
