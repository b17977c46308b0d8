// The real SDL window on an X display (Xvfb in CI): its title and what it shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>

#include "imageio/image_files.h"
#include "tests/app/x11_close_request.h"
#include "tests/support/child_process.h"
#include "tests/support/frame_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_data.h"
#include "tools/sample_pair_files.h"
#include "tools/sample_scene.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string RunCommand(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[256];
        while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) {
            output += chunk;
        }
        pclose(pipe);
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) {
        output.pop_back();
    }
    return output;
}

// The window's pixels as a top-row-first BGR picture.
TestImage Screenshot(unsigned long window, const fs::path& scratch) {
    const fs::path shot = scratch / "shot.ppm";
    RunCommand("import -window " + std::to_string(window) + " -depth 8 ppm:" + shot.string() + " 2>&1");
    TestImage image;
    unsigned char* pixels = LoadPpmRgb(shot.string().c_str(), &image.width, &image.height);
    if (pixels == nullptr) {
        return TestImage();
    }
    // PPM buffers keep the bottom row first.
    const size_t rowBytes = static_cast<size_t>(image.width) * 3;
    for (int32_t y = image.height - 1; y >= 0; --y) {
        image.pixels.insert(image.pixels.end(), pixels + y * rowBytes, pixels + (y + 1) * rowBytes);
    }
    delete[] pixels;
    return image;
}

// Waits for a window of `program` to carry a title that matches `pattern`; the
// window's id, or 0 if none did before the program ended or time ran out. The
// titles last seen go to *pSeen.
unsigned long WaitForTitledWindow(ChildProcess& program, const std::regex& pattern, std::string* pSeen) {
    unsigned long window = 0;
    WaitUntil(
        [&] {
            if (program.Wait(0ms)) {
                return true;
            }
            std::istringstream ids(
                RunCommand("xdotool search --pid " + std::to_string(program.pid()) + " 2>/dev/null"));
            pSeen->clear();
            for (std::string id; std::getline(ids, id);) {
                const std::string title = RunCommand("xdotool getwindowname " + id + " 2>&1");
                *pSeen += "window " + id + " titled '" + title + "'\n";
                if (std::regex_match(title, pattern)) {
                    window = std::stoul(id);
                    return true;
                }
            }
            return false;
        },
        60s);
    return window;
}

// What a program that never showed the awaited window left behind.
std::string Postmortem(ChildProcess& program, const std::string& seen, const fs::path& dir) {
    const std::optional<int> status = program.Wait(0ms);
    return (seen.empty() ? std::string("no window of the program\n") : seen) +
           (status ? "exited with " + std::to_string(*status) : std::string("still running")) +
           "\nstdout:\n" + ReadFileText(dir / "stdout.txt") + "\nstderr:\n" +
           ReadFileText(dir / "stderr.txt");
}

TEST(Window, ShowsTheDepthImageWithTheFrameRateTitleAndClosesCleanly) {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "needs an X display: run the tests under xvfb-run -s -noreset";
    }
    TempDir dir;
    const TestImage left = MakeTestImage(450, 375, 21);
    LayOutRunFolder(dir.path(), left, MakeTestImage(450, 375, 22));
    // SDL unloads the X11 libraries it loaded, so LeakSanitizer cannot name, or
    // suppress, what they keep; the headless runs check the program's own leaks.
    const std::map<std::string, std::optional<std::string>> environment = {
        {"LSAN_OPTIONS", "detect_leaks=0"}};
    ChildProcess program(KORRAPP_BINARY,
                         {dir.path(), environment, dir.path() / "stdout.txt", dir.path() / "stderr.txt"});

    std::string seen;
    const std::regex frameTitle(R"(Fps: \d+\.\d{6} - \d+\.\d{6} s, \d+\.\d{6} - \d+\.\d{6} s)");
    const unsigned long window = WaitForTitledWindow(program, frameTitle, &seen);
    ASSERT_NE(window, 0u) << Postmortem(program, seen, dir.path());

    const TestImage expected = HalveReference(left);
    const TestImage shot = Screenshot(window, dir.path());
    ASSERT_GE(shot.width, expected.width);
    ASSERT_GE(shot.height, expected.height);
    int32_t wrong = 0;
    for (int32_t y = 0; y < expected.height; ++y) {
        for (int32_t x = 0; x < expected.width * 3; ++x) {
            wrong += shot.pixels[static_cast<size_t>(y) * shot.width * 3 + x] !=
                     expected.pixels[static_cast<size_t>(y) * expected.width * 3 + x];
        }
    }
    EXPECT_EQ(wrong, 0) << "samples differing from depth.bmp at the window's top-left corner";

    RequestWindowClose(window);
    EXPECT_EQ(program.Wait(30s), std::optional<int>(0));
}

TEST(Window, KorrDepthShowsBothViewsAndTheDisparityWithTheRangeInTheTitle) {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "needs an X display: run the tests under xvfb-run -s -noreset";
    }
    TempDir dir;
    const StereoSample sample = GenerateSampleScene();
    ASSERT_EQ(WriteSamplePair(dir.path(), sample), "");
    fs::copy_file(StereoKernelSourceFile(), dir.path() / "stereo.cl");
    const std::map<std::string, std::optional<std::string>> environment = {
        {"LSAN_OPTIONS", "detect_leaks=0"}};
    ChildProcess program(KORRDEPTH_BINARY,
                         {dir.path(), environment, dir.path() / "stdout.txt", dir.path() / "stderr.txt"},
                         {"--max-disparity", "48"});

    std::string seen;
    const std::regex frameTitle(
        R"(Fps: \d+\.\d{6} - \d+\.\d{6} s, \d+\.\d{6} - \d+\.\d{6} s, disparities 0 - 48)");
    const unsigned long window = WaitForTitledWindow(program, frameTitle, &seen);
    ASSERT_NE(window, 0u) << Postmortem(program, seen, dir.path());

    // Left view, right view, then the colour map, side by side.
    const TestImage shot = Screenshot(window, dir.path());
    ASSERT_GE(shot.width, 3 * sample.width);
    ASSERT_GE(shot.height, sample.height);
    int wrong = 0;
    int black = 0;
    for (int32_t y = 0; y < sample.height; ++y) {
        const unsigned char* row = &shot.pixels[static_cast<size_t>(y) * shot.width * 3];
        for (int32_t x = 0; x < sample.width * 3; ++x) {
            const size_t i = static_cast<size_t>(y) * sample.width * 3 + x;
            wrong += row[x] != sample.left[i];
            wrong += row[sample.width * 3 + x] != sample.right[i];
        }
        for (int32_t x = 0; x < sample.width; ++x) {
            const unsigned char* pixel = row + (2 * sample.width + x) * 3;
            black += pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0;
        }
    }
    EXPECT_EQ(wrong, 0) << "samples differing from the views";
    EXPECT_EQ(black, 0) << "pixels of the colour map without an estimate";

    RequestWindowClose(window);
    EXPECT_EQ(program.Wait(30s), std::optional<int>(0));
}

}  // namespace
