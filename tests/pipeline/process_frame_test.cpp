#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <fstream>
#include <functional>

#include "compute/app_state.h"
#include "compute/init_opencl.h"
#include "pipeline/process_frame.h"
#include "tests/pipeline/run_frames.h"
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

    std::string RunFrames(int count) { return RunFramesIn(dir.path(), count); }

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

// A picture whose header claims another size, with nothing more behind it.
void WriteHeaderClaiming(const fs::path& file, uint32_t width, uint32_t height) {
    SaveTestBmp(file, MakeTestImage(2, 2, 1));
    std::vector<unsigned char> bytes = ReadFileBytes(file.string());
    for (int i = 0; i < 4; ++i) {
        bytes[18 + i] = static_cast<unsigned char>(width >> (8 * i));
        bytes[22 + i] = static_cast<unsigned char>(height >> (8 * i));
    }
    WriteFileBytes(file.string(), bytes);
}

struct BadPair {
    const char* what;
    std::function<void(const fs::path&)> lay;
    const char* expectedLine;
};

TEST_F(ProcessFrameTest, BadPairsAreReportedOnceAndLeaveDepthAlone) {
    const BadPair cases[] = {
        {"right view missing", [](const fs::path& d) { SaveTestBmp(d / "im2.bmp", MakeTestImage(8, 8, 1)); },
         "im6.bmp cannot be opened"},
        {"sizes differ",
         [](const fs::path& d) {
             SaveTestBmp(d / "im2.bmp", MakeTestImage(8, 8, 1));
             SaveTestBmp(d / "im6.bmp", MakeTestImage(10, 8, 2));
         },
         "im2.bmp is 8 x 8 pixels but im6.bmp is 10 x 8 pixels"},
        {"too large", [](const fs::path& d) { WriteTestPair(d, 451, 375); },
         "im2.bmp is 451 x 375 pixels, more than the device buffers hold (450 x 375 pixels)"},
        {"half-size level too large", [](const fs::path& d) { WriteTestPair(d, 380, 444); },
         "im2.bmp is 380 x 444 pixels, more than the device buffers hold (450 x 375 pixels)"},
        {"too small", [](const fs::path& d) { WriteTestPair(d, 1, 5); },
         "im2.bmp is 1 x 5 pixels, too small to halve"},
        {"still being written",
         [](const fs::path& d) {
             WriteTestPair(d, 450, 375);
             fs::resize_file(d / "im2.bmp", 10000);
         },
         "im2.bmp is incomplete: it holds 10000 of 507054 bytes"},
        {"right view a pipe",
         [](const fs::path& d) {
             SaveTestBmp(d / "im2.bmp", MakeTestImage(8, 8, 1));
             mkfifo((d / "im6.bmp").c_str(), 0600);
         },
         "im6.bmp is not a regular file"},
        {"left view a folder",
         [](const fs::path& d) {
             fs::create_directory(d / "im2.bmp");
             SaveTestBmp(d / "im6.bmp", MakeTestImage(8, 8, 2));
         },
         "im2.bmp is not a regular file"},
    };
    const std::vector<unsigned char> sentinel = {'k', 'e', 'e', 'p'};
    for (const BadPair& c : cases) {
        TempDir caseDir;
        c.lay(caseDir.path());
        WriteFileBytes((caseDir.path() / "depth.bmp").string(), sentinel);
        const int32_t framesBefore = appState.iFrameCount;

        EXPECT_EQ(RunFramesIn(caseDir.path(), 3),
                  std::string("Waiting for a usable stereo pair: ") + c.expectedLine + "\n")
            << c.what;
        EXPECT_EQ(ReadFileBytes((caseDir.path() / "depth.bmp").string()), sentinel) << c.what;
        EXPECT_EQ(appState.iFrameCount, framesBefore) << c.what;
    }
}

// Views are refused by their headers, before any pixel buffer exists: a few bytes
// claiming 16384 x 16384 pixels cost no 800 MB.
TEST_F(ProcessFrameTest, AHeaderClaimingAHugePictureCostsNoMemory) {
    WriteHeaderClaiming(dir.path() / "im2.bmp", 16384, 16384);
    WriteHeaderClaiming(dir.path() / "im6.bmp", 16384, 16384);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    EXPECT_EQ(
        RunFrames(3),
        "Waiting for a usable stereo pair: im2.bmp is 16384 x 16384 pixels, more than the device buffers "
        "hold (450 x 375 pixels)\n");
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024) << "kilobytes of peak memory gained";
}

TEST_F(ProcessFrameTest, AnIncompleteViewIsToldOnceAndUsedOnceWhole) {
    const TestImage left = MakeTestImage(450, 375, 7);
    LayOutRunFolder(dir.path(), left, MakeTestImage(450, 375, 8));
    const std::vector<unsigned char> whole = ReadFileBytes((dir.path() / "im2.bmp").string());
    const auto writePart = [&](size_t bytes) {
        WriteFileBytes((dir.path() / "im2.bmp").string(), {whole.begin(), whole.begin() + bytes});
    };
    writePart(3000);
    EXPECT_EQ(RunFrames(2),
              "Waiting for a usable stereo pair: im2.bmp is incomplete: it holds 3000 of 507054 bytes\n");
    writePart(400000);
    EXPECT_EQ(RunFrames(2), "") << "the same problem, however far the writer got";
    EXPECT_FALSE(fs::exists(Depth()));
    writePart(whole.size());
    EXPECT_EQ(RunFrames(1), "");
    EXPECT_TRUE(LoadTestBmp(Depth()).pixels == HalveReference(left).pixels);
}

// Each view goes to the device as soon as it is read: a right view still being
// written stops the frame after the left one is uploaded, before anything else.
TEST_F(ProcessFrameTest, TheLeftViewIsUploadedBeforeTheRightIsRead) {
    const TestImage left = MakeTestImage(450, 375, 13);
    LayOutRunFolder(dir.path(), left, MakeTestImage(450, 375, 14));
    fs::resize_file(dir.path() / "im6.bmp", 10000);
    EXPECT_EQ(RunFrames(1),
              "Waiting for a usable stereo pair: im6.bmp is incomplete: it holds 10000 of 507054 bytes\n");
    std::vector<unsigned char> level0(left.pixels.size());
    ASSERT_EQ(appState.clCommandQueue.enqueueReadBuffer(appState.clLeftPyramid[0], CL_TRUE, 0, level0.size(),
                                                        level0.data()),
              CL_SUCCESS);
    EXPECT_TRUE(level0 == left.pixels);
    EXPECT_FALSE(fs::exists(Depth()));
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

// Temporary files left behind show beside these.
std::vector<std::string> Strays(const fs::path& dir) {
    return NamesBesides(dir, {"im2.bmp", "im6.bmp", "test.cl", "depth.bmp", "notes.txt"});
}

TEST_F(ProcessFrameTest, DepthReplacesALinkItselfAndNeverWritesThroughIt) {
    const TestImage left = MakeTestImage(40, 30, 9);
    LayOutRunFolder(dir.path(), left, MakeTestImage(40, 30, 10));
    const std::vector<unsigned char> notes = {'m', 'i', 'n', 'e'};
    WriteFileBytes((dir.path() / "notes.txt").string(), notes);
    const std::vector<unsigned char> im2 = ReadFileBytes((dir.path() / "im2.bmp").string());
    for (const char* target : {"notes.txt", "im2.bmp"}) {
        fs::remove(Depth());
        fs::create_symlink(target, Depth());
        EXPECT_EQ(RunFrames(1), "");
        EXPECT_FALSE(fs::is_symlink(Depth())) << target;
        EXPECT_TRUE(LoadTestBmp(Depth()).pixels == HalveReference(left).pixels) << target;
    }
    EXPECT_EQ(ReadFileBytes((dir.path() / "notes.txt").string()), notes);
    EXPECT_EQ(ReadFileBytes((dir.path() / "im2.bmp").string()), im2);
    EXPECT_TRUE(Strays(dir.path()).empty());
}

// What makes a save fail, and how to take it away again.
struct SaveFailure {
    const char* what;
    std::function<void(const fs::path&)> make;
    std::function<void(const fs::path&)> undo;
    const char* reason;
};

void SetFileSizeLimit(rlim_t bytes) {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

TEST_F(ProcessFrameTest, FailedSavesKeepThePreviousFileAndAreToldWhenTheyStart) {
    const std::vector<unsigned char> previous = {'o', 'l', 'd'};
    const auto writePrevious = [&](const fs::path& d) {
        WriteFileBytes((d / "depth.bmp").string(), previous);
    };
    const SaveFailure cases[] = {
        {"read-only file",
         [&](const fs::path& d) {
             writePrevious(d);
             fs::permissions(d / "depth.bmp", fs::perms::owner_read | fs::perms::group_read);
         },
         [](const fs::path& d) {
             fs::permissions(d / "depth.bmp", fs::perms::owner_write, fs::perm_options::add);
         },
         "File is read-only"},
        {"folder",
         [](const fs::path& d) {
             fs::remove(d / "depth.bmp");
             fs::create_directory(d / "depth.bmp");
         },
         [](const fs::path& d) { fs::remove(d / "depth.bmp"); }, "Is a directory"},
        {"pipe",
         [](const fs::path& d) {
             fs::remove(d / "depth.bmp");
             mkfifo((d / "depth.bmp").c_str(), 0600);
         },
         [](const fs::path& d) { fs::remove(d / "depth.bmp"); }, "Not a regular file"},
        // A full disk fails the write the same way.
        {"file size limit",
         [&](const fs::path& d) {
             writePrevious(d);
             SetFileSizeLimit(500);
         },
         [](const fs::path&) { SetFileSizeLimit(RLIM_INFINITY); }, "File too large"},
    };
    std::signal(SIGXFSZ, SIG_IGN);
    for (const SaveFailure& c : cases) {
        TempDir caseDir;
        LayOutRunFolder(caseDir.path(), MakeTestImage(40, 30, 11), MakeTestImage(40, 30, 12));
        const fs::path depth = caseDir.path() / "depth.bmp";
        const std::string line =
            std::string("Cannot save depth.bmp (") + c.reason + "); the previous one stays\n";
        const auto runFrames = [&](int count) { return RunFramesIn(caseDir.path(), count); };

        c.make(caseDir.path());
        const fs::file_type type = fs::symlink_status(depth).type();
        EXPECT_EQ(runFrames(3), line) << c.what;
        EXPECT_EQ(fs::symlink_status(depth).type(), type) << c.what;
        if (type == fs::file_type::regular) {
            EXPECT_EQ(ReadFileBytes(depth.string()), previous) << c.what;
        }
        EXPECT_EQ(Strays(caseDir.path()), std::vector<std::string>()) << c.what;
        c.undo(caseDir.path());

        // Told again when it comes back after a good save.
        EXPECT_EQ(runFrames(1), "") << c.what;
        EXPECT_EQ(LoadTestBmp(depth).width, 20) << c.what;
        c.make(caseDir.path());
        EXPECT_EQ(runFrames(2), line) << c.what;
        c.undo(caseDir.path());
    }
    std::signal(SIGXFSZ, SIG_DFL);
}

}  // namespace
