// The real program, started as a user would, in a folder of its own.
#include <gtest/gtest.h>

#include <csignal>

#include "tests/support/child_process.h"
#include "tests/support/frame_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_data.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class KorrAppProcess : public testing::Test {
protected:
    // No display can open under an unknown video driver: the program must go headless.
    std::unique_ptr<ChildProcess> Start(std::map<std::string, std::optional<std::string>> environment = {}) {
        environment.emplace("SDL_VIDEODRIVER", "no-such-driver");
        ChildProcess::Options options{dir.path(), environment, dir.path() / "stdout.txt",
                                      dir.path() / "stderr.txt"};
        return std::make_unique<ChildProcess>(KORRAPP_BINARY, options);
    }
    std::string Stdout() const { return ReadFileText(dir.path() / "stdout.txt"); }
    std::string Stderr() const { return ReadFileText(dir.path() / "stderr.txt"); }
    bool DepthWritten(const TestImage& expected) const {
        const TestImage depth = LoadTestBmp(dir.path() / "depth.bmp");
        return depth.width == expected.width && depth.height == expected.height &&
               depth.pixels == expected.pixels;
    }

    TempDir dir;
};

TEST_F(KorrAppProcess, HeadlessRunWritesDepthAndStopsCleanlyOnSignals) {
    const TestImage left = MakeTestImage(450, 375, 11);
    const TestImage expected = HalveReference(left);
    LayOutRunFolder(dir.path(), left, MakeTestImage(450, 375, 12));

    for (int signalNumber : {SIGTERM, SIGINT}) {
        fs::remove(dir.path() / "depth.bmp");
        auto program = Start();
        EXPECT_TRUE(WaitUntil([&] { return DepthWritten(expected); }, 60s)) << Stdout() << Stderr();
        program->Signal(signalNumber);
        EXPECT_EQ(program->Wait(30s), std::optional<int>(0)) << "signal " << signalNumber;

        const std::string out = Stdout();
        EXPECT_EQ(out.rfind("Successfull creation context on platform:\n  ", 0), 0u) << out;
        EXPECT_NE(out.find("CommandQueue created on Device 0\n"), std::string::npos) << out;
        EXPECT_NE(out.find("Build Log:\n"), std::string::npos) << out;
        const std::string err = Stderr();
        EXPECT_NE(err.find("No display could be opened"), std::string::npos) << err;
        EXPECT_TRUE(DepthWritten(expected));
        EXPECT_FALSE(fs::exists(dir.path() / "log.txt")) << "the log sink is off";
    }
}

TEST_F(KorrAppProcess, MissingKernelSourceEndsWithoutAFrame) {
    SaveTestBmp(dir.path() / "im2.bmp", MakeTestImage(8, 8, 1));
    SaveTestBmp(dir.path() / "im6.bmp", MakeTestImage(8, 8, 2));
    auto program = Start();
    EXPECT_EQ(program->Wait(60s), std::optional<int>(0));
    EXPECT_TRUE(EndsWith(Stdout(), "Cannot read the kernel source test.cl from the working directory\n"))
        << Stdout();
    EXPECT_FALSE(fs::exists(dir.path() / "depth.bmp"));
}

TEST_F(KorrAppProcess, NoOpenClPlatformIsOneClearLine) {
    LayOutRunFolder(dir.path(), MakeTestImage(8, 8, 1), MakeTestImage(8, 8, 2));
    TempDir noVendors;  // the ICD loader finds no runtime listed here
    auto program = Start({{"OCL_ICD_VENDORS", noVendors.path().string()}});
    EXPECT_EQ(program->Wait(60s), std::optional<int>(0));
    const std::string out = Stdout();
    EXPECT_EQ(out.rfind("No OpenCL platform found (status ", 0), 0u) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_FALSE(fs::exists(dir.path() / "depth.bmp"));
}

}  // namespace
