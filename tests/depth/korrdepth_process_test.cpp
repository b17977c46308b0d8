// The real korrdepth, started as a user or a script would, in a folder of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <functional>
#include <iostream>

#include "imageio/image_files.h"
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

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

const StereoSample& Sample() {
    static const StereoSample sample = GenerateSampleScene();
    return sample;
}

class KorrDepthProcess : public testing::Test {
protected:
    std::unique_ptr<ChildProcess> Start(std::vector<std::string> arguments,
                                        std::map<std::string, std::optional<std::string>> environment = {}) {
        // No display can open under an unknown video driver: a window run goes headless.
        environment.emplace("SDL_VIDEODRIVER", "no-such-driver");
        ChildProcess::Options options{folder(), environment, folder() / "stdout.txt",
                                      folder() / "stderr.txt"};
        return std::make_unique<ChildProcess>(KORRDEPTH_BINARY, options, arguments);
    }
    int Run(std::vector<std::string> arguments) {
        return Start(std::move(arguments))->Wait(120s).value_or(-1);
    }
    std::string Stdout() const { return ReadFileText(folder() / "stdout.txt"); }
    std::string Stderr() const { return ReadFileText(folder() / "stderr.txt"); }

    // stereo.cl and the sample pair (with its true_disparity.bmp).
    void LayOutSample() {
        fs::copy_file(StereoKernelSourceFile(), folder() / "stereo.cl");
        ASSERT_EQ(WriteSamplePair(folder(), Sample()), "");
    }

    const fs::path& folder() const { return pDir->path(); }
    std::string file(const std::string& name) const { return pDir->file(name); }

    TempDir dir;
    const TempDir* pDir = &dir;  // where the program runs
};

TEST_F(KorrDepthProcess, CommandLineHelpAndMistakes) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* stdoutStart;  // of the usage, where it goes
        const char* stderrPart;
    };
    const Case cases[] = {
        {{"--help"}, 0, "usage: korrdepth [--once]", ""},
        {{"--once", "-h"}, 0, "usage: korrdepth [--once]", ""},
        {{"--bogus"}, 2, "", "korrdepth: unknown argument '--bogus'\nusage: korrdepth"},
        {{"im2.bmp"}, 2, "", "unknown argument 'im2.bmp'"},
        {{"--max-disparity"}, 2, "", "--max-disparity needs a value"},
        {{"--left", ""}, 2, "", "--left needs a value"},
        {{"--max-disparity", "0"}, 2, "", "--max-disparity must be a whole number from 1 to 1024, not '0'"},
        {{"--max-disparity", "1025"}, 2, "", "not '1025'"},
        {{"--max-disparity", "16px"}, 2, "", "not '16px'"},
        {{"--max-disparity", "99999999999999999999"}, 2, "", "not '99999999999999999999'"},
    };
    for (const Case& c : cases) {
        const std::string what = testing::PrintToString(c.arguments);
        EXPECT_EQ(Run(c.arguments), c.status) << what;
        EXPECT_EQ(Stdout().rfind(c.stdoutStart, 0), 0u) << what << "\n" << Stdout();
        EXPECT_NE(Stderr().find(c.stderrPart), std::string::npos) << what << "\n" << Stderr();
        if (c.status == 2) {
            EXPECT_NE(Stderr().find("usage: korrdepth"), std::string::npos) << what;
        }
        EXPECT_FALSE(fs::exists(dir.path() / "disparity.bmp")) << what;
    }
}

TEST_F(KorrDepthProcess, OnceOnTheSamplePairWritesTheGreyBmpAndThePfmFromBmpOrPpmViews) {
    LayOutSample();
    ASSERT_EQ(Run({"--once", "--output", "estimate.bmp", "--pfm", "estimate.pfm"}), 0)
        << Stdout() << Stderr();

    const std::string out = Stdout();
    EXPECT_EQ(out.rfind("Successfull creation context on platform:\n  ", 0), 0u) << out;
    EXPECT_NE(out.find("CommandQueue created on Device 0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Build Log:\n"), std::string::npos) << out;

    const DisparityMap pfm = LoadPfm(dir.path() / "estimate.pfm");
    ASSERT_EQ(pfm.width, Sample().width);
    ASSERT_EQ(pfm.height, Sample().height);
    EXPECT_LE(BadPixelPercent(SampleTruth(Sample()), pfm.values), 2.0);

    // The grey picture is 4 x the exact disparity, row for row, and black where none.
    const TestImage grey = LoadTestBmp(dir.path() / "estimate.bmp");
    ASSERT_EQ(grey.width, pfm.width);
    ASSERT_EQ(grey.height, pfm.height);
    int wrong = 0;
    for (size_t i = 0; i < pfm.values.size(); ++i) {
        const float value = pfm.values[i];
        const long expected = std::isfinite(value) ? std::min(255L, std::lround(4.0f * value)) : 0;
        for (int c = 0; c < 3; ++c) wrong += grey.pixels[3 * i + c] != expected;
    }
    EXPECT_EQ(wrong, 0);

    // PPM views match alike. PPM buffers keep the bottom row first; the names say
    // nothing of the format.
    for (const auto& [name, pixels] :
         {std::pair{"left.bmp", &Sample().left}, std::pair{"right.img", &Sample().right}}) {
        std::vector<unsigned char> flipped(pixels->size());
        const size_t row = static_cast<size_t>(Sample().width) * 3;
        for (int y = 0; y < Sample().height; ++y) {
            std::copy_n(pixels->begin() + y * row, row, flipped.begin() + (Sample().height - 1 - y) * row);
        }
        SavePpmFromRgb(file(name).c_str(), flipped.data(), Sample().width, Sample().height);
    }
    ASSERT_EQ(Run({"--once", "--left", "left.bmp", "--right", "right.img", "--pfm", "from-ppm.pfm"}), 0)
        << Stdout();
    EXPECT_EQ(ReadFileBytes(file("from-ppm.pfm")), ReadFileBytes(file("estimate.pfm")));
}

TEST_F(KorrDepthProcess, TheDisparitySearchedStopsAtTheMaximumGiven) {
    LayOutSample();  // disparities from 8 to 40
    ASSERT_EQ(Run({"--once", "--max-disparity", "20", "--pfm", "estimate.pfm"}), 0) << Stdout();
    const DisparityMap pfm = LoadPfm(folder() / "estimate.pfm");
    ASSERT_FALSE(pfm.values.empty());
    EXPECT_LE(*std::max_element(pfm.values.begin(), pfm.values.end()), 20.0f);
    EXPECT_GE(*std::min_element(pfm.values.begin(), pfm.values.end()), 0.0f);
}

TEST_F(KorrDepthProcess, AnUnusablePairIsOneClearLineAndOverwritesNothing) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> spoil;
        std::vector<std::string> arguments;
        const char* line;
    };
    const Case cases[] = {
        {"a missing view",
         [](const fs::path& d) { fs::remove(d / "im6.bmp"); },
         {},
         "Waiting for a usable stereo pair: im6.bmp cannot be opened\n"},
        {"views of two sizes",
         [](const fs::path& d) { SaveTestBmp(d / "im6.bmp", MakeTestImage(449, 375, 1)); },
         {},
         "Waiting for a usable stereo pair: im2.bmp is 450 x 375 pixels but im6.bmp is 449 x 375 pixels\n"},
        {"views too small",
         [](const fs::path& d) { WriteTestPair(d, 15, 40); },
         {},
         "im2.bmp is 15 x 40 pixels; each side must be from 16 to 8192 pixels\n"},
        {"a view still being written",
         [](const fs::path& d) { fs::resize_file(d / "im2.bmp", 300000); },
         {},
         "Waiting for a usable stereo pair: im2.bmp is incomplete: it holds 300000 of 507054 bytes\n"},
        {"a binary PPM view cut short",
         [](const fs::path& d) {
             SavePpmFromRgb((d / "im6.bmp").string().c_str(), MakeTestImage(450, 375, 2).pixels.data(), 450,
                            375);
             fs::resize_file(d / "im6.bmp", 300000);
         },
         {},
         "Waiting for a usable stereo pair: im6.bmp is incomplete: it holds 300000 of 506265 bytes\n"},
        {"not a picture",
         [](const fs::path& d) {
             WriteFileBytes((d / "im2.bmp").string(), {'h', 'i', '\n'});
         },
         {},
         "Waiting for a usable stereo pair: im2.bmp is neither a BMP nor a binary PPM file\n"},
        {"an output folder that does not exist",
         [](const fs::path&) {},
         {"--output", "no/such/folder.bmp"},
         "Cannot write the result: no/such/folder.bmp (No such file or directory)\n"},
        {"no device code",
         [](const fs::path& d) { fs::remove(d / "stereo.cl"); },
         {},
         "Cannot read the kernel source stereo.cl from the working directory\n"},
    };
    const std::vector<unsigned char> earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    for (const Case& c : cases) {
        TempDir caseDir;
        pDir = &caseDir;
        LayOutSample();
        WriteFileBytes(file("disparity.bmp"), earlier);
        c.spoil(folder());
        std::vector<std::string> arguments = {"--once"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        EXPECT_EQ(Run(arguments), 1) << c.what;
        const std::string out = Stdout();
        const std::string line = c.line;
        EXPECT_TRUE(out.size() >= line.size() &&
                    out.compare(out.size() - line.size(), line.size(), line) == 0)
            << c.what << ": the output does not end with\n"
            << line << "but reads\n"
            << out;
        EXPECT_EQ(ReadFileBytes(file("disparity.bmp")), earlier) << c.what;
        pDir = &dir;
    }
}

TEST_F(KorrDepthProcess, MiddleburyPairsMeetTheTargets) {
    const fs::path data = SharedTestDataDir();
    if (data.empty()) GTEST_SKIP() << SharedTestDataMissing();
    fs::copy_file(StereoKernelSourceFile(), dir.path() / "stereo.cl");
    double sum = 0.0;
    for (const TruthPair& pair : MiddleburyPairs()) {
        const fs::path folder = data / "middlebury" / pair.name;
        ASSERT_EQ(Run({"--once", "--left", (folder / "im2.bmp").string(), "--right",
                       (folder / "im6.bmp").string(), "--pfm", pair.name + ".pfm"}),
                  0)
            << pair.name << "\n"
            << Stdout();
        const double bad = BadPixelPercent(LoadTruth(folder / pair.truthFile, pair.scale),
                                           LoadPfm(dir.path() / (pair.name + ".pfm")).values);
        std::cout << pair.name << ": " << bad << " % bad (error over 1.0 pixel)\n";
        EXPECT_LE(bad, 12.0) << pair.name;
        sum += bad;
    }
    EXPECT_LE(sum / static_cast<double>(MiddleburyPairs().size()), 8.0);
}

TEST_F(KorrDepthProcess, HeadlessRunWaitsForAUsablePairThenWritesUntilStopped) {
    LayOutSample();
    fs::remove(dir.path() / "disparity.bmp");
    fs::rename(dir.path() / "im6.bmp", dir.path() / "later.bmp");
    auto program = Start({});
    const std::string waiting = "Waiting for a usable stereo pair: im6.bmp cannot be opened\n";
    ASSERT_TRUE(WaitUntil([&] { return Stdout().find(waiting) != std::string::npos; }, 60s)) << Stdout();
    fs::rename(dir.path() / "later.bmp", dir.path() / "im6.bmp");
    EXPECT_TRUE(WaitUntil([&] { return fs::exists(dir.path() / "disparity.bmp"); }, 60s)) << Stdout();
    program->Signal(SIGTERM);
    EXPECT_EQ(program->Wait(30s), std::optional<int>(0));
    EXPECT_EQ(Count(Stdout(), waiting), 1u) << "told once, not every frame\n" << Stdout();
    EXPECT_NE(Stderr().find("No display could be opened"), std::string::npos) << Stderr();
}

}  // namespace
