#include "depth/stereo_matcher.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <utility>

#include "compute/app_state.h"
#include "compute/program_build.h"
#include "depth/stereo_tunables.h"
#include "diagnostics/debug_print.h"
#include "platform/system.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kRowGroup = 64;     // work-items of a work-group along a row, one per pixel
constexpr size_t kBlockGroup = 4;    // work-items of a work-group along a row, one per block
constexpr size_t kPathGroup = 8;     // work-items of a work-group in the aggregation
constexpr size_t kRowsPerGroup = 8;  // work-items of a work-group that each sweep a row

size_t RoundUp(size_t value, size_t multiple) {
    return (value + multiple - 1) / multiple * multiple;
}

size_t Pixels(int32_t iWidth, int32_t iHeight) {
    return static_cast<size_t>(iWidth) * static_cast<size_t>(iHeight);
}

// The disparity range of a level: the full range halved `level` times, rounded up.
int LevelMaxDisparity(int iMaxDisparity, int level) {
    return (iMaxDisparity + (1 << level) - 1) >> level;
}

template <class... Args>
cl_int SetArgs(cl::Kernel& kernel, const Args&... args) {
    cl_uint index = 0;
    cl_int iStatus = CL_SUCCESS;
    ((iStatus = iStatus == CL_SUCCESS ? kernel.setArg(index, args) : iStatus, ++index), ...);
    return iStatus;
}

// The working directory's copy first, so that an edited one is taken without a
// rebuild, then the one beside the program, so that it runs from any folder. Empty,
// having said so, where there is none.
std::string FindStereoSource() {
    std::error_code error;
    if (fs::exists(kStereoSourceFile, error)) {
        return kStereoSourceFile;
    }
    const std::string folder = PlatformProgramFolder();
    const std::string besideProgram = folder + kStereoSourceFile;
    if (!folder.empty() && fs::exists(besideProgram, error)) {
        return besideProgram;
    }
    DEBUG_PRINT("Cannot find the kernel source %s in the working directory%s%s\n", kStereoSourceFile,
                folder.empty() ? "" : " or in ", folder.c_str());
    return std::string();
}

// The census search's step over a level's range 0 to maxDisparity.
int SearchStep(int maxDisparity) {
    return (maxDisparity + kStereoSearchDisparities) / kStereoSearchDisparities;
}

std::string MegaBytes(cl_ulong bytes) {
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

}  // namespace

int StereoLevelCount(int iMaxDisparity) {
    int levels = 4;
    while (LevelMaxDisparity(iMaxDisparity, levels - 1) > kStereoCandidates - 1) {
        ++levels;
    }
    return levels;
}

std::string StereoBuildOptions(int iMaxDisparity) {
    std::string options = "-DMAX_DISPARITY=" + std::to_string(iMaxDisparity);
    for (const StereoTunable& t : kStereoTunables) {
        options += std::string(" -D") + t.name + "=" + std::to_string(t.value);
    }
    return options;
}

bool StereoMatcher::Init(const ComputeDevice& device, int iMaxDisparity) {
    clContext_ = device.clContext;
    clQueue_ = device.clCommandQueue;
    iMaxDisparity_ = iMaxDisparity;
    iLevels_ = StereoLevelCount(iMaxDisparity);
    cl_command_queue_properties properties = 0;
    size_t deviceMaxGroup = 0;
    std::vector<size_t> maxItemSizes;
    cl_int iStatus = clQueue_.getInfo(CL_QUEUE_PROPERTIES, &properties);
    const auto query = [&](cl_device_info info, auto* pValue) {
        if (iStatus == CL_SUCCESS) {
            iStatus = device.clDevice.getInfo(info, pValue);
        }
    };
    query(CL_DEVICE_MAX_WORK_GROUP_SIZE, &deviceMaxGroup);
    query(CL_DEVICE_MAX_WORK_ITEM_SIZES, &maxItemSizes);
    query(CL_DEVICE_MAX_MEM_ALLOC_SIZE, &maxAllocBytes_);
    query(CL_DEVICE_GLOBAL_MEM_SIZE, &globalMemoryBytes_);
    if (iStatus != CL_SUCCESS || maxItemSizes.empty()) {
        // Without them no launch could be sized.
        DEBUG_PRINT("Cannot query the device for the matcher: status %d\n", iStatus);
        return false;
    }
    bProfiling_ = (properties & CL_QUEUE_PROFILING_ENABLE) != 0;

    const std::string source = FindStereoSource();
    if (source.empty() || !BuildProgramFromFile(clContext_, device.clDevice, source, &clProgram_,
                                                StereoBuildOptions(iMaxDisparity))) {
        return false;
    }
    const std::pair<Stage*, const char*> stages[] = {
        {&greyFromBgr_, "GreyFromBgr"},
        {&halveGrey_, "HalveGrey"},
        {&census_, "Census"},
        {&bestCensusMatch_, "BestCensusMatch"},
        {&chooseWindows_, "ChooseWindows"},
        {&matchingCost_, "MatchingCost"},
        {&aggregatePaths_, "AggregatePaths"},
        {&median3x3_, "Median3x3"},
        {&checkConsistency_, "CheckConsistency"},
        {&fillHoles_, "FillHoles"},
        {&fillByColour_, "FillByColour"},
        {&resolveEdges_, "ResolveEdges"},
        {&smoothDisparity_, "SmoothDisparity"},
        {&showDisparity_, "ShowDisparity"},
    };
    for (const auto& [pStage, name] : stages) {
        cl_int iErrNum = CL_SUCCESS;
        pStage->kernel = cl::Kernel(clProgram_, name, &iErrNum);
        size_t kernelMaxGroup = 0;
        if (iErrNum == CL_SUCCESS) {
            iErrNum =
                pStage->kernel.getWorkGroupInfo(device.clDevice, CL_KERNEL_WORK_GROUP_SIZE, &kernelMaxGroup);
        }
        if (iErrNum != CL_SUCCESS) {
            DEBUG_PRINT("Failed to create kernel %s from %s: status %d\n", name, kStereoSourceFile, iErrNum);
            return false;
        }
        pStage->name = name;
        pStage->maxGroup = std::max<size_t>(1, std::min({kernelMaxGroup, deviceMaxGroup, maxItemSizes[0]}));
    }
    return true;
}

bool StereoMatcher::Check(cl_int iStatus, const char* what) {
    if (iStatus != CL_SUCCESS) {
        sLastError_ = std::string(what) + ", status " + std::to_string(iStatus);
        return false;
    }
    return true;
}

template <class Add>
void StereoMatcher::ForEachBuffer(int32_t iWidth, int32_t iHeight, FrameBuffers* pFrame,
                                  std::vector<Level>* pLevels, Add add) {
    const size_t pixels = Pixels(iWidth, iHeight);
    add(&pFrame->clBgr, 2 * pixels * 3);
    add(&pFrame->clColour, pixels * sizeof(cl_uint));
    add(&pFrame->clGradient, 2 * pixels);
    add(&pFrame->clWindow, pixels * sizeof(cl_short2));
    add(&pFrame->clCost, pixels * kStereoCandidates);
    add(&pFrame->clSums, pixels * kStereoCandidates * sizeof(cl_ushort));
    add(&pFrame->clSelected, 2 * pixels * sizeof(cl_float));
    add(&pFrame->clMedian, 2 * pixels * sizeof(cl_float));
    // The second level's size at most: the finest level takes the search, not makes it.
    add(&pFrame->clCensusBest,
        Pixels(PyramidLevelSize(iWidth, 1), PyramidLevelSize(iHeight, 1)) * sizeof(cl_short));
    add(&pFrame->clGreyPicture, pixels * 3);
    add(&pFrame->clColourPicture, pixels * 3);
    for (size_t level = 0; level < pLevels->size(); ++level) {
        Level& lv = (*pLevels)[level];
        lv.iWidth = PyramidLevelSize(iWidth, static_cast<int>(level));
        lv.iHeight = PyramidLevelSize(iHeight, static_cast<int>(level));
        const size_t levelPixels = Pixels(lv.iWidth, lv.iHeight);
        add(&lv.clGrey, 2 * levelPixels);
        add(&lv.clCensus, 2 * levelPixels * sizeof(cl_ulong));
        add(&lv.clDisparity, levelPixels * sizeof(cl_float));
    }
}

std::string StereoMatcher::Refusal(int32_t iWidth, int32_t iHeight) const {
    const std::string size = std::to_string(iWidth) + " x " + std::to_string(iHeight);
    if (iMaxDisparity_ >= iWidth) {
        return "disparities up to " + std::to_string(iMaxDisparity_) + " need views wider than " +
               std::to_string(iMaxDisparity_) + " pixels, not " + size;
    }
    const int32_t rows = int32_t{2} << (iLevels_ - 1);
    if (iHeight < rows) {
        return "disparities up to " + std::to_string(iMaxDisparity_) + " take " + std::to_string(iLevels_) +
               " pyramid levels, which need views at least " + std::to_string(rows) + " pixels high, not " +
               size;
    }
    FrameBuffers frame;
    std::vector<Level> levels(iLevels_);
    cl_ulong total = 0;
    cl_ulong largest = 0;
    ForEachBuffer(iWidth, iHeight, &frame, &levels, [&](cl::Buffer*, size_t bytes) {
        total += bytes;
        largest = std::max<cl_ulong>(largest, bytes);
    });
    if (largest > maxAllocBytes_) {
        return size + " pixels need a buffer of " + MegaBytes(largest) + ", above the device's largest of " +
               MegaBytes(maxAllocBytes_);
    }
    if (total > globalMemoryBytes_) {
        return size + " pixels need " + MegaBytes(total) + " of device memory, above the device's " +
               MegaBytes(globalMemoryBytes_);
    }
    return std::string();
}

bool StereoMatcher::Resize(int32_t iWidth, int32_t iHeight) {
    if (!vLevels_.empty() && vLevels_[0].iWidth == iWidth && vLevels_[0].iHeight == iHeight) {
        return true;
    }
    // The old buffers go first, so that the device never holds two frames' worth.
    vLevels_.clear();
    frame_ = FrameBuffers();
    sLastError_ = Refusal(iWidth, iHeight);
    if (!sLastError_.empty()) {
        return false;
    }
    FrameBuffers frame;
    std::vector<Level> levels(iLevels_);
    cl_int iStatus = CL_SUCCESS;
    ForEachBuffer(iWidth, iHeight, &frame, &levels, [&](cl::Buffer* pBuffer, size_t bytes) {
        if (iStatus == CL_SUCCESS) {
            *pBuffer = cl::Buffer(clContext_, CL_MEM_READ_WRITE, bytes, nullptr, &iStatus);
        }
    });
    if (!Check(iStatus, "creating the device buffers")) {
        return false;
    }
    frame_ = std::move(frame);
    vLevels_ = std::move(levels);
    return true;
}

bool StereoMatcher::Run(Stage& stage, size_t items, size_t rows, size_t group) {
    const size_t local = std::min(group, stage.maxGroup);
    // An event only where it is timed: a frame makes a few dozen launches.
    cl::Event event;
    if (!Check(clQueue_.enqueueNDRangeKernel(stage.kernel, cl::NullRange,
                                             cl::NDRange(RoundUp(items, local), rows), cl::NDRange(local, 1),
                                             nullptr, bProfiling_ ? &event : nullptr),
               stage.name)) {
        return false;
    }
    if (bProfiling_) {
        vLaunches_.push_back({stage.name, event});
    }
    return true;
}

bool StereoMatcher::RunPixels(Stage& stage, int32_t iWidth, int32_t rows) {
    return Run(stage, static_cast<size_t>(iWidth), static_cast<size_t>(rows), kRowGroup);
}

bool StereoMatcher::RunBlocks(Stage& stage, int32_t iWidth, int32_t rows) {
    const size_t blocks = (static_cast<size_t>(iWidth) + kStereoBlock - 1) / kStereoBlock;
    return Run(stage, blocks, static_cast<size_t>(rows), kBlockGroup);
}

bool StereoMatcher::MatchLevel(int level) {
    const Level& lv = vLevels_[level];
    const int32_t w = lv.iWidth;
    const int32_t h = lv.iHeight;
    const int maxDisparity = LevelMaxDisparity(iMaxDisparity_, level);
    bool ok =
        Check(SetArgs(census_.kernel, lv.clGrey, lv.clCensus, frame_.clGradient, w, h), "Census arguments") &&
        RunBlocks(census_, w, 2 * h);

    // The coarsest level searches the whole range; the others around the coarser result.
    if (level == iLevels_ - 1) {
        const cl_short2 wholeRange = {{0, kStereoCandidates / 2}};
        ok = ok && Check(clQueue_.enqueueFillBuffer(frame_.clWindow, wholeRange, 0,
                                                    Pixels(w, h) * sizeof(cl_short2)),
                         "setting the candidates");
    } else {
        const Level& coarse = vLevels_[level + 1];
        ok = ok &&
             Check(SetArgs(chooseWindows_.kernel, coarse.clDisparity, coarse.iWidth, coarse.iHeight,
                           frame_.clCensusBest, frame_.clWindow, w, h, maxDisparity),
                   "ChooseWindows arguments") &&
             RunBlocks(chooseWindows_, w, (h + 1) / 2);
    }
    ok = ok &&
         Check(SetArgs(matchingCost_.kernel, lv.clCensus, frame_.clGradient, frame_.clWindow, frame_.clCost,
                       w, h, maxDisparity),
               "MatchingCost arguments") &&
         RunBlocks(matchingCost_, w, h);

    // Columns first: the device code picks the best candidates during the rows.
    for (const int rows : {0, 1}) {
        const size_t paths = static_cast<size_t>(rows ? h : w);
        ok = ok &&
             Check(SetArgs(aggregatePaths_.kernel, frame_.clCost, frame_.clWindow, lv.clGrey, frame_.clSums,
                           frame_.clSelected, w, h, rows),
                   "AggregatePaths arguments") &&
             Run(aggregatePaths_, (paths + kStereoPathsPerItem - 1) / kStereoPathsPerItem, 1, kPathGroup);
    }

    ok = ok &&
         Check(SetArgs(median3x3_.kernel, frame_.clSelected, frame_.clMedian, w, h), "Median3x3 arguments") &&
         RunBlocks(median3x3_, w, 2 * h) &&
         Check(SetArgs(checkConsistency_.kernel, frame_.clMedian, frame_.clSelected, w, h),
               "CheckConsistency arguments") &&
         RunPixels(checkConsistency_, w, h) &&
         Check(SetArgs(fillHoles_.kernel, frame_.clSelected, lv.clDisparity, w, h), "FillHoles arguments") &&
         Run(fillHoles_, static_cast<size_t>(h), 1, kRowsPerGroup);
    // For the next finer level's candidates, beside the level's result.
    if (level > 0) {
        ok = ok &&
             Check(SetArgs(bestCensusMatch_.kernel, lv.clCensus, lv.clDisparity, frame_.clCensusBest, w, h,
                           maxDisparity, cl_int{SearchStep(maxDisparity)}),
                   "BestCensusMatch arguments") &&
             RunBlocks(bestCensusMatch_, w, h);
    }
    return ok;
}

bool StereoMatcher::Match(const unsigned char* pLeft, const unsigned char* pRight, int32_t iWidth,
                          int32_t iHeight, DisparityResult* pResult, unsigned readBack) {
    const bool bColour = (readBack & kReadColour) != 0;
    const bool bChecked = (readBack & kReadChecked) != 0;
    vLaunches_.clear();
    if (!Resize(iWidth, iHeight)) {
        return false;
    }
    const size_t pixels = Pixels(iWidth, iHeight);
    pResult->iWidth = iWidth;
    pResult->iHeight = iHeight;
    pResult->vDisparity.resize(pixels);
    pResult->vGrey.resize(pixels * 3);
    pResult->vColour.resize(bColour ? pixels * 3 : 0);
    std::vector<float> checked(bChecked ? pixels : 0);

    // Everything is queued at once, the device runs it back to back, and the host waits
    // for the last read-back only.
    bool ok = Check(clQueue_.enqueueWriteBuffer(frame_.clBgr, CL_FALSE, 0, pixels * 3, pLeft),
                    "uploading the left view") &&
              Check(clQueue_.enqueueWriteBuffer(frame_.clBgr, CL_FALSE, pixels * 3, pixels * 3, pRight),
                    "uploading the right view") &&
              Check(SetArgs(greyFromBgr_.kernel, frame_.clBgr, vLevels_[0].clGrey, frame_.clColour, iWidth,
                            2 * iHeight),
                    "GreyFromBgr arguments") &&
              RunBlocks(greyFromBgr_, iWidth, 2 * iHeight);
    for (int level = 1; level < iLevels_ && ok; ++level) {
        const Level& finer = vLevels_[level - 1];
        const Level& lv = vLevels_[level];
        ok = Check(SetArgs(halveGrey_.kernel, finer.clGrey, lv.clGrey, finer.iWidth, finer.iHeight, lv.iWidth,
                           lv.iHeight),
                   "HalveGrey arguments") &&
             RunPixels(halveGrey_, lv.iWidth, 2 * lv.iHeight);
    }
    for (int level = iLevels_ - 1; level >= 0 && ok; --level) {
        ok = MatchLevel(level);
    }
    // The finest level's checked estimates, before the smoothing below takes their buffer.
    ok = ok && (!bChecked || Check(clQueue_.enqueueReadBuffer(frame_.clSelected, CL_FALSE, 0,
                                                              pixels * sizeof(float), checked.data()),
                                   "reading the checked estimates back"));
    // The finest level's left view: its rejected pixels filled again by colour where they
    // can be, its edges resolved into the median's buffer, and then smoothed into the
    // selection's, which no level needs any more.
    const cl::Buffer& clResult = frame_.clSelected;
    ok = ok &&
         Check(SetArgs(fillByColour_.kernel, frame_.clSelected, frame_.clColour, vLevels_[0].clDisparity,
                       iWidth, iHeight),
               "FillByColour arguments") &&
         RunBlocks(fillByColour_, iWidth, iHeight) &&
         Check(SetArgs(resolveEdges_.kernel, vLevels_[0].clDisparity, frame_.clColour, frame_.clMedian,
                       iWidth, iHeight),
               "ResolveEdges arguments") &&
         RunBlocks(resolveEdges_, iWidth, iHeight) &&
         Check(
             SetArgs(smoothDisparity_.kernel, frame_.clMedian, vLevels_[0].clGrey, clResult, iWidth, iHeight),
             "SmoothDisparity arguments") &&
         RunBlocks(smoothDisparity_, iWidth, iHeight) &&
         Check(SetArgs(showDisparity_.kernel, clResult, frame_.clGreyPicture, frame_.clColourPicture, iWidth,
                       iHeight, iMaxDisparity_, cl_int{bColour}),
               "ShowDisparity arguments") &&
         RunBlocks(showDisparity_, iWidth, iHeight) &&
         Check(clQueue_.enqueueReadBuffer(clResult, CL_FALSE, 0, pixels * sizeof(float),
                                          pResult->vDisparity.data()),
               "reading the disparity back") &&
         Check(
             clQueue_.enqueueReadBuffer(frame_.clGreyPicture, CL_FALSE, 0, pixels * 3, pResult->vGrey.data()),
             "reading the grey picture back") &&
         (!bColour || Check(clQueue_.enqueueReadBuffer(frame_.clColourPicture, CL_FALSE, 0, pixels * 3,
                                                       pResult->vColour.data()),
                            "reading the colour picture back"));
    // Also after a failure: nothing queued may still use the caller's buffers.
    const cl_int iFinished = clQueue_.finish();
    ok = ok && Check(iFinished, "finishing the frame's device work");
    pResult->vChecked.resize(ok ? checked.size() : 0);
    for (size_t i = 0; i < checked.size(); ++i) pResult->vChecked[i] = checked[i] >= 0.0f;
    return ok;
}

std::vector<KernelTime> StereoMatcher::LastKernelTimes() const {
    std::map<std::string, KernelTime> byName;
    for (const Launch& launch : vLaunches_) {
        cl_ulong start = 0;
        cl_ulong end = 0;
        launch.event.getProfilingInfo(CL_PROFILING_COMMAND_START, &start);
        launch.event.getProfilingInfo(CL_PROFILING_COMMAND_END, &end);
        KernelTime& time = byName[launch.name];
        time.sName = launch.name;
        time.dMilliseconds += static_cast<double>(end - start) * 1e-6;
        time.iLaunches += 1;
    }
    std::vector<KernelTime> times;
    for (auto& [name, time] : byName) {
        times.push_back(time);
    }
    return times;
}

double StereoMatcher::LastKernelSpanMilliseconds() const {
    if (vLaunches_.empty()) {
        return 0.0;
    }
    cl_ulong start = 0;
    cl_ulong end = 0;
    vLaunches_.front().event.getProfilingInfo(CL_PROFILING_COMMAND_START, &start);
    vLaunches_.back().event.getProfilingInfo(CL_PROFILING_COMMAND_END, &end);
    return static_cast<double>(end - start) * 1e-6;
}
