// The real SDL window on an X display (Xvfb in CI): its title and what it shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <regex>
#include <sstream>
#include <utility>

#include "depth/depth_layout.h"
#include "depth/disparity_colour_map.h"
#include "imageio/image_files.h"
#include "tests/app/x11_close_request.h"
#include "tests/support/child_process.h"
#include "tests/support/disparity_truth.h"
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

// A pair whose right view sees the left one's texture `shift` pixels further on.
std::pair<TestImage, TestImage> ShiftedPair(int32_t width, int32_t height, int32_t shift) {
    const TestImage scene = MakeTestImage(width + shift, height, 31);
    std::pair<TestImage, TestImage> pair{{width, height, {}}, {width, height, {}}};
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    for (int32_t y = 0; y < height; ++y) {
        const auto row = scene.pixels.begin() + static_cast<ptrdiff_t>(y) * (width + shift) * 3;
        pair.first.pixels.insert(pair.first.pixels.end(), row, row + rowBytes);
        pair.second.pixels.insert(pair.second.pixels.end(), row + shift * 3, row + shift * 3 + rowBytes);
    }
    return pair;
}

// Both views replaced, each whole.
void WritePair(const fs::path& dir, const std::pair<TestImage, TestImage>& pair) {
    SaveTestBmp(dir / "next.bmp", pair.first);
    fs::rename(dir / "next.bmp", dir / "im2.bmp");
    SaveTestBmp(dir / "next.bmp", pair.second);
    fs::rename(dir / "next.bmp", dir / "im6.bmp");
}

const unsigned char* PixelAt(const TestImage& image, int32_t x, int32_t y) {
    return &image.pixels[(static_cast<size_t>(y) * image.width + x) * 3];
}

// Pixels of `rect` in the shot that show none of the nine source pixels around the
// one they stand for: 0 when the source is drawn there, scaled to the rectangle,
// whichever pixel each target pixel samples.
int Misdrawn(const TestImage& shot, const PixelRect& rect, const TestImage& source) {
    int wrong = 0;
    for (int32_t y = rect.y; y < rect.y + rect.height; ++y) {
        const int32_t sy = static_cast<int32_t>((y - rect.y + 0.5) * source.height / rect.height);
        for (int32_t x = rect.x; x < rect.x + rect.width; ++x) {
            const int32_t sx = static_cast<int32_t>((x - rect.x + 0.5) * source.width / rect.width);
            bool bFound = false;
            for (int32_t v = std::max(sy - 1, 0); v <= std::min(sy + 1, source.height - 1) && !bFound; ++v) {
                for (int32_t u = std::max(sx - 1, 0); u <= std::min(sx + 1, source.width - 1) && !bFound;
                     ++u) {
                    bFound = std::equal(PixelAt(shot, x, y), PixelAt(shot, x, y) + 3, PixelAt(source, u, v));
                }
            }
            wrong += !bFound;
        }
    }
    return wrong;
}

// Empty when the window shows the pair and the colour map of the disparities
// korrdepth last wrote, laid out for the window's size, with the bar below;
// otherwise what is wrong.
std::string CheckDepthWindow(unsigned long window, const fs::path& dir,
                             const std::pair<TestImage, TestImage>& pair, int maxDisparity, int32_t width,
                             int32_t height) {
    const TestImage shot = Screenshot(window, dir);
    if (shot.width != width || shot.height != height) {
        return "the window is " + std::to_string(shot.width) + " x " + std::to_string(shot.height) +
               ", not " + std::to_string(width) + " x " + std::to_string(height);
    }
    const DisparityMap disparity = LoadPfm(dir / "disparity.pfm");
    if (disparity.width != pair.first.width || disparity.height != pair.first.height) {
        return "no disparity of the pair's size yet";
    }
    TestImage colourMap{disparity.width, disparity.height,
                        std::vector<unsigned char>(disparity.values.size() * 3)};
    for (size_t p = 0; p < disparity.values.size(); ++p) {
        DisparityColour(disparity.values[p], maxDisparity, &colourMap.pixels[3 * p]);
    }
    const DepthLayout layout =
        LayOutDepthWindow(width, height, pair.first.width, pair.first.height, maxDisparity);
    if (layout.pictures[0].width == 0) {
        return "no room for the pictures";
    }
    const TestImage* sources[] = {&pair.first, &pair.second, &colourMap};
    std::string problems;
    for (int i = 0; i < 3; ++i) {
        if (const int wrong = Misdrawn(shot, layout.pictures[i], *sources[i])) {
            problems += "picture " + std::to_string(i) + ": " + std::to_string(wrong) + " pixels misdrawn\n";
        }
    }
    const PixelRect& bar = layout.bar;
    for (const auto& [x, value] : {std::pair{bar.x, 0}, std::pair{bar.x + bar.width - 1, maxDisparity}}) {
        unsigned char colour[3];
        DisparityColour(static_cast<float>(value), maxDisparity, colour);
        if (!std::equal(colour, colour + 3, PixelAt(shot, x, bar.y + bar.height / 2))) {
            problems += "the bar does not show the colour of " + std::to_string(value) + "\n";
        }
    }
    return problems;
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
    const std::regex frameTitle(R"(Fps: \d+\.\d{6} - \d+\.\d{6} s, \d+\.\d{6} - \d+\.\d{6} s, )" +
                                dir.path().filename().string() + R"(/im2\.bmp, disparities 0 - 48)");
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

TEST(Window, KorrDepthFitsThePairToTheScreenAndDrawsAgainWhenResizedOrThePairChangesSize) {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "needs an X display: run the tests under xvfb-run -s -noreset";
    }
    // Without a window manager the whole screen is usable.
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    std::istringstream(RunCommand("xdotool getdisplaygeometry")) >> screenWidth >> screenHeight;
    ASSERT_GT(screenWidth, 0);
    TempDir dir;
    fs::copy_file(StereoKernelSourceFile(), dir.path() / "stereo.cl");
    const auto wide = ShiftedPair(1242, 375, 9);  // a street camera's pair
    const auto tall = ShiftedPair(400, 1200, 9);
    WritePair(dir.path(), wide);
    const int maxDisparity = 32;
    const std::map<std::string, std::optional<std::string>> environment = {
        {"LSAN_OPTIONS", "detect_leaks=0"}};
    ChildProcess program(KORRDEPTH_BINARY,
                         {dir.path(), environment, dir.path() / "stdout.txt", dir.path() / "stderr.txt"},
                         {"--max-disparity", std::to_string(maxDisparity), "--pfm", "disparity.pfm"});
    std::string seen;
    const unsigned long window =
        WaitForTitledWindow(program, std::regex("Fps: .*, disparities 0 - 32"), &seen);
    ASSERT_NE(window, 0u) << Postmortem(program, seen, dir.path());

    struct Step {
        const char* what;
        std::function<void()> action;
        const std::pair<TestImage, TestImage>* pair;
        int32_t width, height;  // 0: fitted to the screen
    };
    const Step steps[] = {
        {"a wide pair", [] {}, &wide, 0, 0},
        {"resized", [&] { RunCommand("xdotool windowsize " + std::to_string(window) + " 1000 500"); }, &wide,
         1000, 500},
        {"a tall pair, the window moved low",
         [&] {
             RunCommand("xdotool windowmove " + std::to_string(window) + " 700 300");
             WritePair(dir.path(), tall);
         },
         &tall, 0, 0},
        {"resized while the pair is unusable",
         [&] {
             fs::remove(dir.path() / "im6.bmp");
             RunCommand("xdotool windowsize " + std::to_string(window) + " 700 600");
         },
         &tall, 700, 600},
    };
    for (const Step& step : steps) {
        step.action();
        int32_t width = step.width;
        int32_t height = step.height;
        if (width == 0) {
            FitDepthWindow(step.pair->first.width, step.pair->first.height, screenWidth, screenHeight, &width,
                           &height);
            EXPECT_TRUE(width <= screenWidth && height <= screenHeight) << step.what;
        }
        std::string problems;
        EXPECT_TRUE(WaitUntil(
            [&] {
                problems = CheckDepthWindow(window, dir.path(), *step.pair, maxDisparity, width, height);
                int32_t x = -1;
                int32_t y = -1;
                std::sscanf(RunCommand("xdotool getwindowgeometry " + std::to_string(window)).c_str(),
                            "Window %*u Position: %d,%d", &x, &y);
                if (x < 0 || y < 0 || x + width > screenWidth || y + height > screenHeight) {
                    problems += "the window at " + std::to_string(x) + ", " + std::to_string(y) +
                                " is not all on the screen\n";
                }
                return problems.empty();
            },
            30s))
            << step.what << ":\n"
            << problems;
    }

    RequestWindowClose(window);
    EXPECT_EQ(program.Wait(30s), std::optional<int>(0));
}

}  // namespace
