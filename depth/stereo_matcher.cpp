#include "depth/stereo_matcher.h"

#include <algorithm>
#include <map>
#include <utility>

#include "compute/app_state.h"
#include "compute/program_build.h"
#include "diagnostics/debug_print.h"

namespace {

constexpr int kCandidates = 16;      // per pixel and level, as in the device code
constexpr size_t kBlock = 16;        // pixels of a row that one work-item takes in vectors
constexpr size_t kRowGroup = 64;     // work-items of a work-group along a row, one per pixel
constexpr size_t kBlockGroup = 4;    // work-items of a work-group along a row, one per block
constexpr size_t kPathsPerItem = 4;  // paths that one work-item of the aggregation walks
constexpr size_t kPathGroup = 1;     // work-items of a work-group in the aggregation
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

// Local memory for one work-group of the aggregation: the forward path costs of its
// paths, a whole row or column of them.
size_t AggregationScratchBytes(int32_t length) {
    return kPathGroup * kPathsPerItem * static_cast<size_t>(length) * kCandidates * sizeof(cl_ushort);
}

// Local memory for the right view's best candidates during the rows: one row per path.
size_t RightKeyBytes(int32_t iWidth) {
    return kPathGroup * kPathsPerItem * static_cast<size_t>(iWidth) * sizeof(cl_uint);
}

template <class... Args>
cl_int SetArgs(cl::Kernel& kernel, const Args&... args) {
    cl_uint index = 0;
    cl_int iStatus = CL_SUCCESS;
    ((iStatus = iStatus == CL_SUCCESS ? kernel.setArg(index, args) : iStatus, ++index), ...);
    return iStatus;
}

}  // namespace

bool StereoMatcher::Init(const ComputeDevice& device, int iMaxDisparity) {
    clContext_ = device.clContext;
    clQueue_ = device.clCommandQueue;
    iMaxDisparity_ = iMaxDisparity;
    cl_command_queue_properties properties = 0;
    cl_ulong localMemory = 0;
    cl_int iStatus = clQueue_.getInfo(CL_QUEUE_PROPERTIES, &properties);
    if (iStatus == CL_SUCCESS) {
        iStatus = device.clDevice.getInfo(CL_DEVICE_LOCAL_MEM_SIZE, &localMemory);
    }
    if (iStatus != CL_SUCCESS) {
        // Without them every frame would blame too little local memory.
        DEBUG_PRINT("Cannot query the device for the matcher: status %d\n", iStatus);
        return false;
    }
    bProfiling_ = (properties & CL_QUEUE_PROFILING_ENABLE) != 0;
    localMemoryBytes_ = static_cast<size_t>(localMemory);

    if (!BuildProgramFromFile(clContext_, device.clDevice, kStereoSourceFile, &clProgram_)) {
        return false;
    }
    const std::pair<cl::Kernel*, const char*> kernels[] = {
        {&clGreyFromBgr_, "GreyFromBgr"},
        {&clHalveGrey_, "HalveGrey"},
        {&clCensus_, "Census"},
        {&clChooseWindows_, "ChooseWindows"},
        {&clMatchingCost_, "MatchingCost"},
        {&clAggregatePaths_, "AggregatePaths"},
        {&clMedian3x3_, "Median3x3"},
        {&clCheckConsistency_, "CheckConsistency"},
        {&clFillHoles_, "FillHoles"},
        {&clShowDisparity_, "ShowDisparity"},
    };
    for (const auto& [pKernel, name] : kernels) {
        cl_int iErrNum = CL_SUCCESS;
        *pKernel = cl::Kernel(clProgram_, name, &iErrNum);
        if (iErrNum != CL_SUCCESS) {
            DEBUG_PRINT("Failed to create kernel %s from %s: status %d\n", name, kStereoSourceFile, iErrNum);
            return false;
        }
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

bool StereoMatcher::Resize(int32_t iWidth, int32_t iHeight) {
    if (!vLevels_.empty() && vLevels_[0].iWidth == iWidth && vLevels_[0].iHeight == iHeight) {
        return true;
    }
    vLevels_.clear();
    if (AggregationScratchBytes(std::max(iWidth, iHeight)) + RightKeyBytes(iWidth) > localMemoryBytes_) {
        sLastError_ = "the device has too little local memory for " + std::to_string(iWidth) + " x " +
                      std::to_string(iHeight) + " pixels";
        return false;
    }
    cl_int iStatus = CL_SUCCESS;
    const auto create = [&](cl::Buffer* pBuffer, size_t bytes) {
        if (iStatus == CL_SUCCESS) {
            *pBuffer = cl::Buffer(clContext_, CL_MEM_READ_WRITE, bytes, nullptr, &iStatus);
        }
    };
    const size_t pixels = Pixels(iWidth, iHeight);
    create(&clBgr_, 2 * pixels * 3);
    create(&clWindow_, pixels * sizeof(cl_short2));
    create(&clCost_, pixels * kCandidates);
    create(&clSums_, pixels * kCandidates * sizeof(cl_ushort));
    create(&clSelected_, 2 * pixels * sizeof(cl_float));
    create(&clMedian_, 2 * pixels * sizeof(cl_float));
    create(&clGreyPicture_, pixels * 3);
    create(&clColourPicture_, pixels * 3);

    std::vector<Level> vLevels(kPyramidLevels);
    for (int level = 0; level < kPyramidLevels; ++level) {
        Level& lv = vLevels[level];
        lv.iWidth = PyramidLevelSize(iWidth, level);
        lv.iHeight = PyramidLevelSize(iHeight, level);
        const size_t levelPixels = Pixels(lv.iWidth, lv.iHeight);
        create(&lv.clGrey, 2 * levelPixels);
        create(&lv.clCensus, 2 * levelPixels * sizeof(cl_ulong));
        create(&lv.clDisparity, 2 * levelPixels * sizeof(cl_float));
    }
    if (!Check(iStatus, "creating the device buffers")) {
        return false;
    }
    vLevels_ = std::move(vLevels);
    return true;
}

bool StereoMatcher::Run(cl::Kernel& kernel, const char* name, const cl::NDRange& global,
                        const cl::NDRange& local) {
    // An event only where it is timed: a frame makes a few dozen launches.
    cl::Event event;
    if (!Check(clQueue_.enqueueNDRangeKernel(kernel, cl::NullRange, global, local, nullptr,
                                             bProfiling_ ? &event : nullptr),
               name)) {
        return false;
    }
    if (bProfiling_) {
        vLaunches_.push_back({name, event});
    }
    return true;
}

bool StereoMatcher::RunPixels(cl::Kernel& kernel, const char* name, int32_t iWidth, int32_t rows) {
    return Run(kernel, name, cl::NDRange(RoundUp(static_cast<size_t>(iWidth), kRowGroup), rows),
               cl::NDRange(kRowGroup, 1));
}

bool StereoMatcher::RunBlocks(cl::Kernel& kernel, const char* name, int32_t iWidth, int32_t rows) {
    const size_t blocks = (static_cast<size_t>(iWidth) + kBlock - 1) / kBlock;
    return Run(kernel, name, cl::NDRange(RoundUp(blocks, kBlockGroup), rows), cl::NDRange(kBlockGroup, 1));
}

bool StereoMatcher::MatchLevel(int level) {
    const Level& lv = vLevels_[level];
    const int32_t w = lv.iWidth;
    const int32_t h = lv.iHeight;
    const int maxDisparity = LevelMaxDisparity(iMaxDisparity_, level);
    bool ok = Check(SetArgs(clCensus_, lv.clGrey, lv.clCensus, w, h), "Census arguments") &&
              RunBlocks(clCensus_, "Census", w, 2 * h);

    // The coarsest level searches the whole range; the others around the coarser result.
    if (level == kPyramidLevels - 1) {
        const cl_short2 wholeRange = {{0, kCandidates / 2}};
        ok = ok &&
             Check(clQueue_.enqueueFillBuffer(clWindow_, wholeRange, 0, Pixels(w, h) * sizeof(cl_short2)),
                   "setting the candidates");
    } else {
        const Level& coarse = vLevels_[level + 1];
        ok = ok &&
             Check(SetArgs(clChooseWindows_, coarse.clDisparity, coarse.iWidth, coarse.iHeight, clWindow_, w,
                           h, maxDisparity),
                   "ChooseWindows arguments") &&
             RunBlocks(clChooseWindows_, "ChooseWindows", w, h);
    }
    ok = ok &&
         Check(SetArgs(clMatchingCost_, lv.clCensus, lv.clGrey, clWindow_, clCost_, w, h, maxDisparity),
               "MatchingCost arguments") &&
         RunPixels(clMatchingCost_, "MatchingCost", w, h);

    // Columns first: the device code picks the best candidates during the rows.
    for (const bool columns : {true, false}) {
        const int32_t paths = columns ? w : h;
        const int32_t length = columns ? h : w;
        const size_t items = (static_cast<size_t>(paths) + kPathsPerItem - 1) / kPathsPerItem;
        ok = ok &&
             Check(SetArgs(clAggregatePaths_, clCost_, clWindow_, lv.clGrey, clSums_,
                           cl::Local(AggregationScratchBytes(length)), cl::Local(RightKeyBytes(w)),
                           clSelected_, w, h, columns ? 1 : 0, columns ? 0 : 1, columns ? 0 : 1),
                   "AggregatePaths arguments") &&
             Run(clAggregatePaths_, "AggregatePaths", cl::NDRange(RoundUp(items, kPathGroup)),
                 cl::NDRange(kPathGroup));
    }

    return ok && Check(SetArgs(clMedian3x3_, clSelected_, clMedian_, w, h), "Median3x3 arguments") &&
           RunBlocks(clMedian3x3_, "Median3x3", w, 2 * h) &&
           Check(SetArgs(clCheckConsistency_, clMedian_, clSelected_, w, h), "CheckConsistency arguments") &&
           RunPixels(clCheckConsistency_, "CheckConsistency", w, 2 * h) &&
           Check(SetArgs(clFillHoles_, clSelected_, lv.clDisparity, w, h), "FillHoles arguments") &&
           Run(clFillHoles_, "FillHoles", cl::NDRange(RoundUp(2 * static_cast<size_t>(h), kRowsPerGroup)),
               cl::NDRange(kRowsPerGroup));
}

bool StereoMatcher::Match(const unsigned char* pLeft, const unsigned char* pRight, int32_t iWidth,
                          int32_t iHeight, DisparityResult* pResult, bool bColour) {
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

    // Everything is queued at once, the device runs it back to back, and the host waits
    // for the last read-back only.
    bool ok = Check(clQueue_.enqueueWriteBuffer(clBgr_, CL_FALSE, 0, pixels * 3, pLeft),
                    "uploading the left view") &&
              Check(clQueue_.enqueueWriteBuffer(clBgr_, CL_FALSE, pixels * 3, pixels * 3, pRight),
                    "uploading the right view") &&
              Check(SetArgs(clGreyFromBgr_, clBgr_, vLevels_[0].clGrey, iWidth, 2 * iHeight),
                    "GreyFromBgr arguments") &&
              RunPixels(clGreyFromBgr_, "GreyFromBgr", iWidth, 2 * iHeight);
    for (int level = 1; level < kPyramidLevels && ok; ++level) {
        const Level& finer = vLevels_[level - 1];
        const Level& lv = vLevels_[level];
        ok = Check(SetArgs(clHalveGrey_, finer.clGrey, lv.clGrey, finer.iWidth, finer.iHeight, lv.iWidth,
                           lv.iHeight),
                   "HalveGrey arguments") &&
             RunPixels(clHalveGrey_, "HalveGrey", lv.iWidth, 2 * lv.iHeight);
    }
    for (int level = kPyramidLevels - 1; level >= 0 && ok; --level) {
        ok = MatchLevel(level);
    }
    ok = ok &&
         Check(SetArgs(clShowDisparity_, vLevels_[0].clDisparity, clGreyPicture_, clColourPicture_, iWidth,
                       iHeight, iMaxDisparity_),
               "ShowDisparity arguments") &&
         RunPixels(clShowDisparity_, "ShowDisparity", iWidth, iHeight) &&
         Check(clQueue_.enqueueReadBuffer(vLevels_[0].clDisparity, CL_FALSE, 0, pixels * sizeof(float),
                                          pResult->vDisparity.data()),
               "reading the disparity back") &&
         Check(clQueue_.enqueueReadBuffer(clGreyPicture_, CL_FALSE, 0, pixels * 3, pResult->vGrey.data()),
               "reading the grey picture back") &&
         (!bColour || Check(clQueue_.enqueueReadBuffer(clColourPicture_, CL_FALSE, 0, pixels * 3,
                                                       pResult->vColour.data()),
                            "reading the colour picture back"));
    // Also after a failure: nothing queued may still use the caller's buffers.
    const cl_int iFinished = clQueue_.finish();
    return ok && Check(iFinished, "finishing the frame's device work");
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
