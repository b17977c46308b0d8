#include "depth/depth_frame.h"

#include <chrono>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "depth/disparity_output.h"
#include "depth/disparity_scores.h"
#include "depth/frame_outputs.h"
#include "depth/truth_files.h"
#include "depth/view_pair.h"
#include "diagnostics/debug_print.h"
#include "pipeline/frame_timing.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

bool Fail(DepthState* pState, const std::string& problem) {
    if (pState->problem.IsNew(problem)) {
        DEBUG_PRINT("%s\n", problem.c_str());
    }
    return false;
}

// The left view's file and the folder it lies in, which tells a scene's pairs apart.
std::string PairName(const std::string& leftFile) {
    std::error_code error;
    const fs::path file = fs::absolute(leftFile, error);
    if (error) {
        return leftFile;
    }
    const fs::path folder = file.parent_path().filename();
    return (folder.empty() ? file.filename() : folder / file.filename()).string();
}

void ShowTiming(DepthState* pState, int64_t cnt1) {
    char sWindowTitle[kWindowTitleSize];
    CountFrameForTitle(cnt1, &pState->dTotalTime, &pState->fTotalTime, &pState->iFrameCount, sWindowTitle);
    if (pState->hWindow == nullptr) {
        return;
    }
    const std::string title = std::string(sWindowTitle) + ", " + PairName(pState->options.sLeftFile) +
                              ", disparities 0 - " + std::to_string(pState->matcher.MaxDisparity());
    PlatformSetWindowTitle(pState->hWindow, title.c_str());
}

void TellScores(DepthState* pState, const TruthMap& truth) {
    const DepthOptions& options = pState->options;
    const std::string scores =
        "Scores against " + options.sTruthFile +
        (options.sTruthMaskFile.empty() ? "" : ", visible pixels from " + options.sTruthMaskFile) + ":\n" +
        FormatScores(ScoreDisparity(pState->result.vDisparity.data(), truth, pState->result.vChecked.data()));
    if (pState->scores.IsNew(scores)) DEBUG_PRINT("%s", scores.c_str());
}

bool RunDepthFrame(DepthState* pState) {
    int64_t cnt1 = 0;
    ReadCounter(&cnt1);

    ViewPair pair;
    std::string unusable = pState->reader.Read(pState->options.sLeftFile, pState->options.sRightFile, &pair);
    // A pair the range or the device cannot take is one like any other that cannot be used.
    if (unusable.empty()) unusable = pState->matcher.Refusal(pair.iWidth, pair.iHeight);
    if (!unusable.empty()) {
        return Fail(pState, "Waiting for a usable stereo pair: " + unusable);
    }
    const DepthOptions& options = pState->options;
    TruthMap& truth = pState->truth;
    if (!options.sTruthFile.empty() && (truth.iWidth != pair.iWidth || truth.iHeight != pair.iHeight)) {
        truth = TruthMap();
        const std::string untrue = ReadPairTruth(options.sTruthFile, options.sTruthMaskFile,
                                                 options.dTruthScale, pair.iWidth, pair.iHeight, &truth);
        if (!untrue.empty()) {
            truth = TruthMap();
            return Fail(pState, "Cannot score against the truth: " + untrue);
        }
    }
    DisparityResult& result = pState->result;
    const auto matchStart = std::chrono::steady_clock::now();
    const unsigned readBack =
        (pState->hWindow != nullptr ? kReadColour : 0u) | (truth.vDisparity.empty() ? 0u : kReadChecked);
    if (!pState->matcher.Match(pair.pLeft.get(), pair.pRight.get(), pair.iWidth, pair.iHeight, &result,
                               readBack)) {
        return Fail(pState, "Matching failed on the device: " + pState->matcher.LastError());
    }
    const std::chrono::duration<double> matchTime = std::chrono::steady_clock::now() - matchStart;
    std::string unwritten = WriteDisparityFiles(options, result);
    AddUnwritten(WriteFrameOutputs(options, pair, result, matchTime.count()), &unwritten);
    if (!unwritten.empty()) {
        return Fail(pState, "Cannot write the result: " + unwritten);
    }
    pState->problem.Clear();
    if (!truth.vDisparity.empty()) TellScores(pState, truth);
    pState->view.Show(pState->hWindow, pair, result, pState->matcher.MaxDisparity());
    ShowTiming(pState, cnt1);
    return true;
}

}  // namespace

bool ProcessDepthFrame(DepthState* pState) {
    try {
        if (RunDepthFrame(pState)) {
            return true;
        }
        pState->view.Refresh(pState->hWindow);  // a window resized meanwhile shows the last result
        return false;
    } catch (const std::bad_alloc&) {
        return Fail(pState, "Waiting for a usable stereo pair: not enough memory for a frame");
    }
}
