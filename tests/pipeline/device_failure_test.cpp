// Frames with a test.cl of the user's that leaves its output unwritten or cannot be
// launched: the device never hands back stray memory, and a failure spoils no file.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "compute/app_state.h"
#include "compute/init_opencl.h"
#include "pipeline/process_frame.h"
#include "tests/pipeline/run_frames.h"
#include "tests/support/frame_fixture.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class UserKernel : public testing::Test {
protected:
    // Sets up afresh with `source` as test.cl and lays a pair beside it.
    void SetUpWith(const char* source) {
        std::ofstream(dir.file("test.cl")) << source;
        WriteTestPair(dir.path(), 450, 375);
        ScopedWorkingDirectory cwd(dir.path());
        appState = AppState();
        testing::internal::CaptureStdout();
        const bool ready = InitOpenCL();
        const std::string report = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(ready) << report;
    }

    std::string RunFrames(int count) { return RunFramesIn(dir.path(), count); }

    TempDir dir;
};

TEST_F(UserKernel, WhatItLeavesUnwrittenReadsBackAsZero) {
    SetUpWith(
        "__kernel void DecimateImage(__global const uchar* in, __global uchar* out, int w, int h, int ow, "
        "int oh)"
        " {}\n");
    EXPECT_EQ(RunFrames(2), "");
    const TestImage depth = LoadTestBmp(dir.path() / "depth.bmp");
    ASSERT_EQ(depth.width, 225);
    EXPECT_EQ(std::count(depth.pixels.begin(), depth.pixels.end(), 0), 225 * 187 * 3);
}

// One more parameter than the frame sets: every launch fails with
// CL_INVALID_KERNEL_ARGS.
TEST_F(UserKernel, AFailedLaunchIsToldOncePerStatusAndLeavesDepthAlone) {
    SetUpWith(
        "__kernel void DecimateImage(__global const uchar* in, __global uchar* out, int w, int h, int ow, "
        "int oh,"
        " int extra) { out[0] = 1; }\n");
    const std::vector<unsigned char> previous = {'g', 'o', 'o', 'd'};
    WriteFileBytes(dir.file("depth.bmp"), previous);
    EXPECT_EQ(RunFrames(5), "Cannot enqueue clKernel -52\n");
    EXPECT_EQ(ReadFileBytes(dir.file("depth.bmp")), previous);
    EXPECT_EQ(appState.iFrameCount, 0);
}

}  // namespace
