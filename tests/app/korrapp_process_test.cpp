// The real program, started as a user would, in a folder of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

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

const char kHeadlessNotice[] = "No display could be opened";

// A terminal for the program to write to, and what reached it.
class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
            name_ = ptsname(master_);
            fcntl(master_, F_SETFL, O_NONBLOCK);
        }
    }
    ~PseudoTerminal() { close(master_); }
    const std::string& name() const { return name_; }
    const std::string& Output() {
        char chunk[4096];
        for (ssize_t got; (got = read(master_, chunk, sizeof chunk)) > 0;) output_.append(chunk, got);
        return output_;
    }

private:
    int master_ = -1;
    std::string name_;
    std::string output_;
};

class KorrAppProcess : public testing::Test {
protected:
    // No display can open under an unknown video driver: the program must go headless.
    std::unique_ptr<ChildProcess> Start(std::map<std::string, std::optional<std::string>> environment = {},
                                        const fs::path& terminal = fs::path()) {
        environment.emplace("SDL_VIDEODRIVER", "no-such-driver");
        ChildProcess::Options options{dir.path(), environment,
                                      terminal.empty() ? dir.path() / "stdout.txt" : terminal,
                                      terminal.empty() ? dir.path() / "stderr.txt" : terminal};
        return std::make_unique<ChildProcess>(KORRAPP_BINARY, options);
    }
    std::vector<std::string> Strays() const {
        return NamesBesides(dir.path(),
                            {"im2.bmp", "im6.bmp", "test.cl", "depth.bmp", "stdout.txt", "stderr.txt"});
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
        EXPECT_TRUE(EndsWith(Stdout(), "Build Log:\n"))
            << "the report reaches its file while the program runs";
        program->Signal(signalNumber);
        EXPECT_EQ(program->Wait(30s), std::optional<int>(0)) << "signal " << signalNumber;

        const std::string out = Stdout();
        EXPECT_EQ(out.rfind("Successfull creation context on platform:\n  ", 0), 0u) << out;
        EXPECT_NE(out.find("CommandQueue created on Device 0\n"), std::string::npos) << out;
        EXPECT_NE(out.find("Build Log:\n"), std::string::npos) << out;
        // Told only where a display was tried and could not be opened.
        const std::string err = Stderr();
        EXPECT_EQ(err.find(kHeadlessNotice) != std::string::npos, KORRAPP_TRIES_DISPLAY) << err;
        EXPECT_TRUE(DepthWritten(expected));
        EXPECT_EQ(Strays(), std::vector<std::string>())
            << "no temporary file, and no log.txt: its sink is off";
    }
}

// A reader copying depth.bmp, even with a second instance writing it too, only
// ever finds a whole file.
// `timeout` signals the program and then its process group, so the second signal
// arrives while the first is being acted on: still one stop, after the frame in
// progress. With no display and no XDG_RUNTIME_DIR, the headless notice is all that
// reaches standard error. scripts/timeout_check.sh runs this 20 times over.
TEST_F(KorrAppProcess, TimeoutsPairOfSignalsIsOneStopForBothPrograms) {
    LayOutRunFolder(dir.path(), MakeTestImage(450, 375, 17), MakeTestImage(450, 375, 18));
    fs::copy_file(StereoKernelSourceFile(), dir.path() / "stereo.cl");
    const std::string expectedErr =
        KORRAPP_TRIES_DISPLAY
            ? std::string(kHeadlessNotice) + ": running headless until interrupted (Ctrl+C).\n"
            : "";
    for (const char* program : {KORRAPP_BINARY, KORRDEPTH_BINARY}) {
        for (const bool bWaiting : {false, true}) {
            const std::string what =
                std::string(program) + (bWaiting ? ", waiting for a pair" : ", good pair");
            if (bWaiting) fs::rename(dir.path() / "im6.bmp", dir.path() / "later.bmp");
            ChildProcess::Options options{dir.path(),
                                          {{"DISPLAY", std::nullopt},
                                           {"WAYLAND_DISPLAY", std::nullopt},
                                           {"XDG_RUNTIME_DIR", std::nullopt},
                                           {"SDL_VIDEODRIVER", std::nullopt}},
                                          dir.path() / "stdout.txt",
                                          dir.path() / "stderr.txt"};
            ChildProcess timeout("/usr/bin/timeout", options, {"--preserve-status", "1", program});
            EXPECT_EQ(timeout.Wait(60s), std::optional<int>(0)) << what << "\n" << Stdout();
            EXPECT_EQ(Stderr(), expectedErr) << what;
            if (bWaiting) fs::rename(dir.path() / "later.bmp", dir.path() / "im6.bmp");
            EXPECT_EQ(NamesBesides(dir.path(), {"im2.bmp", "im6.bmp", "test.cl", "stereo.cl", "depth.bmp",
                                                "disparity.bmp", "stdout.txt", "stderr.txt"}),
                      std::vector<std::string>())
                << what << ": no temporary file";
        }
    }
}

TEST_F(KorrAppProcess, ReadersOfDepthFindOnlyWholeFiles) {
    const TestImage left = MakeTestImage(450, 375, 13);
    LayOutRunFolder(dir.path(), left, MakeTestImage(450, 375, 14));
    SaveTestBmp(dir.path() / "expected.bmp", HalveReference(left));
    const std::vector<unsigned char> expected = ReadFileBytes((dir.path() / "expected.bmp").string());
    fs::remove(dir.path() / "expected.bmp");

    auto first = Start();
    auto second = Start();
    ASSERT_TRUE(WaitUntil([&] { return DepthWritten(HalveReference(left)); }, 60s)) << Stdout() << Stderr();
    int reads = 0, partial = 0;
    for (const auto end = std::chrono::steady_clock::now() + 2s; std::chrono::steady_clock::now() < end;
         ++reads) {
        partial += ReadFileBytes((dir.path() / "depth.bmp").string()) != expected;
    }
    EXPECT_EQ(partial, 0) << "of " << reads << " reads";
    first->Signal(SIGTERM);
    second->Signal(SIGTERM);
    EXPECT_EQ(first->Wait(30s), std::optional<int>(0));
    EXPECT_EQ(second->Wait(30s), std::optional<int>(0));
    EXPECT_EQ(Strays(), std::vector<std::string>());
}

TEST_F(KorrAppProcess, MessagesOnATerminalStartOnALineOfTheirOwn) {
    LayOutRunFolder(dir.path(), MakeTestImage(40, 30, 15), MakeTestImage(40, 30, 16));
    PseudoTerminal terminal;
    ASSERT_FALSE(terminal.name().empty());
    auto program = Start({}, terminal.name());
    ASSERT_TRUE(WaitUntil([&] { return terminal.Output().find("Fps: ") != std::string::npos; }, 60s))
        << terminal.Output();
    fs::remove(dir.path() / "im6.bmp");
    const std::string message = "Waiting for a usable stereo pair: im6.bmp cannot be opened";
    ASSERT_TRUE(WaitUntil([&] { return terminal.Output().find(message) != std::string::npos; }, 30s))
        << terminal.Output();
    const std::string& out = terminal.Output();
    // The status line is taken off before the message: back to the line's start, cleared.
    EXPECT_EQ(out.substr(out.find(message) - 4, 4), "\r\033[K") << out;
    program->Signal(SIGTERM);
    EXPECT_EQ(program->Wait(30s), std::optional<int>(0));
}

TEST_F(KorrAppProcess, MissingKernelSourceEndsWithoutAFrame) {
    WriteTestPair(dir.path(), 8, 8);
    auto program = Start();
    EXPECT_EQ(program->Wait(60s), std::optional<int>(1));
    EXPECT_TRUE(EndsWith(Stdout(), "Cannot read the kernel source test.cl from the working directory\n"))
        << Stdout();
    EXPECT_EQ(Stderr().find(kHeadlessNotice), std::string::npos) << "it never ran";
    EXPECT_FALSE(fs::exists(dir.path() / "depth.bmp"));
}

TEST_F(KorrAppProcess, NoOpenClPlatformIsOneClearLine) {
    LayOutRunFolder(dir.path(), MakeTestImage(8, 8, 1), MakeTestImage(8, 8, 2));
    TempDir noVendors;  // the ICD loader finds no runtime listed here
    auto program = Start({{"OCL_ICD_VENDORS", noVendors.path().string()}});
    EXPECT_EQ(program->Wait(60s), std::optional<int>(1));
    EXPECT_EQ(Stderr(), "");
    const std::string out = Stdout();
    EXPECT_EQ(out.rfind("No OpenCL platform found (status ", 0), 0u) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_FALSE(fs::exists(dir.path() / "depth.bmp"));
}

}  // namespace
