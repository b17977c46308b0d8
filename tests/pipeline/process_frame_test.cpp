#include <gtest/gtest.h>

#include <fstream>

#include "compute/app_state.h"
#include "compute/init_opencl.h"
#include "pipeline/process_frame.h"
#include "tests/support/frame_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_data.h"

namespace fs = std::filesystem;

namespace {

class ProcessFrameTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        TempDir setupDir;
        fs::copy_file(KernelSourceFile(), setupDir.path() / "test.cl");
        ScopedWorkingDirectory cwd(setupDir.path());
        testing::internal::CaptureStdout();
        setupDone = InitOpenCL();
        setupReport = testing::internal::GetCapturedStdout();
    }

    void SetUp() override { ASSERT_TRUE(setupDone) << setupReport; }

    // Runs frames in the test's folder and returns what they printed.
    std::string RunFrames(int count) {
        ScopedWorkingDirectory cwd(dir.path());
        testing::internal::CaptureStdout();
        for (int i = 0; i < count; ++i) {
            ProcessFrame();
        }
        return testing::internal::GetCapturedStdout();
    }

    fs::path Depth() const { return dir.path() / "depth.bmp"; }

    static bool setupDone;
    static std::string setupReport;
    TempDir dir;
};

bool ProcessFrameTest::setupDone = false;
std::string ProcessFrameTest::setupReport;

// The whole output, column 0 and the last odd row included, matches the reference.
TEST_F(ProcessFrameTest, DepthImageIsTheRoundedHalfOfTheLeftView) {
    const struct { int32_t width, height; } sizes[] = {{450, 375}, {7, 5}, {2, 2}, {449, 3}, {900, 100}};
    for (const auto& size : sizes) {
        const TestImage left = MakeTestImage(size.width, size.height, 1);
        LayOutRunFolder(dir.path(), left, MakeTestImage(size.width, size.height, 2));
        const int32_t framesBefore = appState.iFrameCount;
        EXPECT_EQ(RunFrames(1), "");

        const TestImage depth = LoadTestBmp(Depth());
        const TestImage expected = HalveReference(left);
        ASSERT_EQ(depth.width, expected.width) << size.width << " x " << size.height;
        ASSERT_EQ(depth.height, expected.height) << size.width << " x " << size.height;
        EXPECT_TRUE(depth.pixels == expected.pixels) << size.width << " x " << size.height;
        EXPECT_EQ(appState.iFrameCount, framesBefore + 1);
    }
}

TEST_F(ProcessFrameTest, RepeatedFramesRewriteTheSameFile) {
    LayOutRunFolder(dir.path(), MakeTestImage(450, 375, 3), MakeTestImage(450, 375, 4));
    RunFrames(1);
    const auto first = ReadFileBytes(Depth().string());
    RunFrames(3);
    EXPECT_EQ(ReadFileBytes(Depth().string()), first);
    EXPECT_EQ(first.size(), 54u + 676u * 187u);
}

struct BadPair {
    const char* what;
    TestImage left;
    TestImage right;
    bool writeRight;
    const char* expectedLine;
};

TEST_F(ProcessFrameTest, BadPairsAreReportedOnceAndLeaveDepthAlone) {
    const BadPair cases[] = {
        {"right view missing",
         MakeTestImage(8, 8, 1),
         {},
         false,
         "Waiting for a usable stereo pair: im6.bmp cannot be opened\n"},
        {"sizes differ", MakeTestImage(8, 8, 1), MakeTestImage(10, 8, 2), true,
         "Waiting for a usable stereo pair: im2.bmp is 8 x 8 pixels but im6.bmp is 10 x 8 pixels\n"},
        {"too large", MakeTestImage(451, 375, 1), MakeTestImage(451, 375, 2), true,
         "Waiting for a usable stereo pair: im2.bmp is 451 x 375 pixels, more than the device buffers hold "
         "(450 x 375 pixels)\n"},
        {"too small", MakeTestImage(1, 5, 1), MakeTestImage(1, 5, 2), true,
         "Waiting for a usable stereo pair: im2.bmp is 1 x 5 pixels, too small to halve\n"},
    };
    const std::vector<unsigned char> sentinel = {'k', 'e', 'e', 'p'};
    for (const BadPair& c : cases) {
        TempDir caseDir;
        fs::copy_file(KernelSourceFile(), caseDir.path() / "test.cl");
        SaveTestBmp(caseDir.path() / "im2.bmp", c.left);
        if (c.writeRight) {
            SaveTestBmp(caseDir.path() / "im6.bmp", c.right);
        }
        WriteFileBytes((caseDir.path() / "depth.bmp").string(), sentinel);
        const int32_t framesBefore = appState.iFrameCount;

        ScopedWorkingDirectory cwd(caseDir.path());
        testing::internal::CaptureStdout();
        ProcessFrame();
        ProcessFrame();
        ProcessFrame();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.expectedLine) << c.what;
        EXPECT_EQ(ReadFileBytes((caseDir.path() / "depth.bmp").string()), sentinel) << c.what;
        EXPECT_EQ(appState.iFrameCount, framesBefore) << c.what;
    }
}

TEST_F(ProcessFrameTest, RecoversOnItsOwnOnceThePairIsRight) {
    const TestImage left = MakeTestImage(20, 10, 5);
    fs::copy_file(KernelSourceFile(), dir.path() / "test.cl");
    SaveTestBmp(dir.path() / "im2.bmp", left);
    std::ofstream(dir.path() / "im6.bmp") << "not a picture";
    EXPECT_NE(RunFrames(2), "");
    EXPECT_FALSE(fs::exists(Depth()));

    SaveTestBmp(dir.path() / "im6.bmp", left);
    EXPECT_EQ(RunFrames(1), "");
    EXPECT_TRUE(LoadTestBmp(Depth()).pixels == HalveReference(left).pixels);

    // The same problem, after a good frame, is news again.
    fs::remove(dir.path() / "im2.bmp");
    EXPECT_EQ(RunFrames(2), "Waiting for a usable stereo pair: im2.bmp cannot be opened\n");
}

}  // namespace
