#pragma once
// Dense disparity on the OpenCL device. Builds "stereo.cl" once, from the working
// directory or else from the program's folder, sizes its device buffers for the pair
// it is given, and runs a whole match, coarse to fine over the pyramid levels, per call.

#include <cstdint>
#include <string>
#include <vector>

#include "compute/init_opencl.h"
#include "compute/opencl_bindings.h"

constexpr const char* kStereoSourceFile = "stereo.cl";

// The range taken; the pyramid gets as many levels as it needs for it, and a range
// must stay below the views' width.
constexpr int kMinMaxDisparity = 1;
constexpr int kMaxMaxDisparity = 1024;

// Pyramid levels of the matcher for a range: at least four, and enough for the
// coarsest to search the whole range with its 16 candidates.
int StereoLevelCount(int iMaxDisparity);

struct DisparityResult {
    int32_t iWidth = 0;
    int32_t iHeight = 0;
    std::vector<float> vDisparity;       // of the left view, row 0 on top; INFINITY where no estimate
    std::vector<unsigned char> vGrey;    // 3 samples per pixel: grey 4 x disparity
    std::vector<unsigned char> vColour;  // 3 samples per pixel: the colour map, blue-green-red; or none
    // 1 where the estimate passed the left-right check, 0 where the fill gave it; or none
    std::vector<uint8_t> vChecked;
};

// What a match reads back beside the disparity and its grey picture.
enum MatchReadBack : unsigned {
    kReadColour = 1u,   // the colour picture
    kReadChecked = 2u,  // which estimates passed the left-right check
};

struct KernelTime {
    std::string sName;
    double dMilliseconds = 0.0;
    int iLaunches = 0;
};

class StereoMatcher {
public:
    // Builds the program and creates its kernels, and takes the device's limits; false,
    // with the reason printed, when that fails.
    bool Init(const ComputeDevice& device, int iMaxDisparity);

    // Matches a pair of 3-sample pixel buffers of one size (row 0 on top) and reads
    // the result back, with what `readBack` names (MatchReadBack flags). False on a device
    // error or a size the range or the device cannot take, which LastError() then names.
    bool Match(const unsigned char* pLeft, const unsigned char* pRight, int32_t iWidth, int32_t iHeight,
               DisparityResult* pResult, unsigned readBack = kReadColour);

    // Device time per kernel during the last Match; empty unless the queue profiles.
    std::vector<KernelTime> LastKernelTimes() const;
    // From the start of its first kernel to the end of its last: the kernels' times and
    // the gaps between them. 0 unless the queue profiles.
    double LastKernelSpanMilliseconds() const;

    // Empty when views of this size fit the range and the device; otherwise why not, in
    // one line. Match refuses such a pair too, before anything is allocated.
    std::string Refusal(int32_t iWidth, int32_t iHeight) const;

    int MaxDisparity() const { return iMaxDisparity_; }
    const std::string& LastError() const { return sLastError_; }

private:
    // The two views of a level are stacked in one buffer, left rows first.
    struct Level {
        int32_t iWidth = 0;
        int32_t iHeight = 0;
        cl::Buffer clGrey;
        cl::Buffer clCensus;
        cl::Buffer clDisparity;  // the left view's result, dense, guiding the next finer level
    };
    // Sized for level 0 and used by each level in turn.
    struct FrameBuffers {
        cl::Buffer clBgr, clGradient, clWindow, clCost, clSums, clSelected, clMedian;
        cl::Buffer clColour;      // the left view packed in 32 bits a pixel, for the edge vote and fill
        cl::Buffer clCensusBest;  // a level's best census matches, for the next finer level
        cl::Buffer clGreyPicture, clColourPicture;
    };
    struct Launch {
        const char* name;
        cl::Event event;
    };
    struct Stage {
        cl::Kernel kernel;
        const char* name = "";
        size_t maxGroup = 1;  // work-items of a work-group, as the device allows for this kernel
    };

    // Calls add(buffer, bytes) for every device buffer of views of iWidth x iHeight, the
    // frame's in `pFrame` and each level's in `pLevels`, whose sizes it sets: the one list
    // that Resize makes and Refusal adds up.
    template <class Add>
    static void ForEachBuffer(int32_t iWidth, int32_t iHeight, FrameBuffers* pFrame,
                              std::vector<Level>* pLevels, Add add);
    bool Resize(int32_t iWidth, int32_t iHeight);
    bool MatchLevel(int level);
    // `items` work-items along a row, in work-groups of up to `group` of them, for
    // each of `rows` rows.
    bool Run(Stage& stage, size_t items, size_t rows, size_t group);
    // One work-item per pixel of `rows` rows, or per block of 16 pixels of a row.
    bool RunPixels(Stage& stage, int32_t iWidth, int32_t rows);
    bool RunBlocks(Stage& stage, int32_t iWidth, int32_t rows);
    bool Check(cl_int iStatus, const char* what);

    cl::Context clContext_;
    cl::CommandQueue clQueue_;
    cl::Program clProgram_;
    int iMaxDisparity_ = 0;
    int iLevels_ = 0;
    bool bProfiling_ = false;
    cl_ulong maxAllocBytes_ = 0;
    cl_ulong globalMemoryBytes_ = 0;

    Stage greyFromBgr_, halveGrey_, census_, bestCensusMatch_, chooseWindows_, matchingCost_, aggregatePaths_,
        median3x3_, checkConsistency_, fillHoles_, fillByColour_, resolveEdges_, smoothDisparity_,
        showDisparity_;

    std::vector<Level> vLevels_;
    FrameBuffers frame_;

    std::vector<Launch> vLaunches_;
    std::string sLastError_;
};
