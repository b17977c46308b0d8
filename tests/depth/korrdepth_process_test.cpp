// The real korrdepth, started as a user or a script would, in a folder of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <functional>
#include <iostream>

#include "depth/view_pair.h"
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

const std::vector<unsigned char> kEarlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};

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

    // One --once run in `caseDir`, which output and files are then read from: the
    // sample laid out, disparity.bmp holding kEarlier, then `spoil` applied.
    std::optional<int> RunSpoiled(const TempDir& caseDir, const std::function<void(const fs::path&)>& spoil,
                                  const std::vector<std::string>& arguments,
                                  std::map<std::string, std::optional<std::string>> environment = {}) {
        pDir = &caseDir;
        LayOutSample();
        WriteFileBytes(file("disparity.bmp"), kEarlier);
        spoil(folder());
        std::vector<std::string> once = {"--once"};
        once.insert(once.end(), arguments.begin(), arguments.end());
        return Start(once, std::move(environment))->Wait(120s);
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
        {{"--max-disparity", "0"}, 2, "", "--max-disparity must be a whole number from 1 to 120, not '0'"},
        {{"--max-disparity", "121"}, 2, "", "not '121'"},
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

// Also through links, and by name where the files do not exist yet: nothing is read
// or written, not even the view named twice.
TEST_F(KorrDepthProcess, AnOutputNamingAViewIsRefused) {
    WriteTestPair(folder(), 40, 30);
    fs::create_symlink("im2.bmp", folder() / "left-link.bmp");
    fs::create_hard_link(folder() / "im6.bmp", folder() / "right-hard.bmp");
    const auto left = ReadFileBytes(file("im2.bmp"));
    const auto right = ReadFileBytes(file("im6.bmp"));
    const std::vector<std::vector<std::string>> cases = {
        {"--output", "im2.bmp"},
        {"--pfm", "./im6.bmp"},
        {"--output", "left-link.bmp"},
        {"--pfm", "right-hard.bmp"},
        {"--right", (folder() / "im6.bmp").string(), "--output",
         "../" + folder().filename().string() + "/im6.bmp"},
        {"--left", "later/../new.bmp", "--pfm", "new.bmp"},
    };
    for (const auto& arguments : cases) {
        std::vector<std::string> once = {"--once"};
        once.insert(once.end(), arguments.begin(), arguments.end());
        const std::string what = testing::PrintToString(once);
        EXPECT_EQ(Run(once), 2) << what << "\n" << Stdout();
        EXPECT_NE(Stderr().find("would replace the view"), std::string::npos) << what << "\n" << Stderr();
        EXPECT_NE(Stderr().find("usage: korrdepth"), std::string::npos) << what;
        EXPECT_EQ(Stdout(), "") << what << ": nothing was set up";
        EXPECT_EQ(ReadFileBytes(file("im2.bmp")), left) << what;
        EXPECT_EQ(ReadFileBytes(file("im6.bmp")), right) << what;
        EXPECT_EQ(NamesBesides(folder(), {"im2.bmp", "im6.bmp", "left-link.bmp", "right-hard.bmp",
                                          "stdout.txt", "stderr.txt"}),
                  std::vector<std::string>())
            << what;
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
         "im2.bmp is 15 x 40 pixels; each side must be from 16 to 2048 pixels\n"},
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
        {"no device code",
         [](const fs::path& d) { fs::remove(d / "stereo.cl"); },
         {},
         "Cannot read the kernel source stereo.cl from the working directory\n"},
    };
    for (const Case& c : cases) {
        TempDir caseDir;
        EXPECT_EQ(RunSpoiled(caseDir, c.spoil, c.arguments), std::optional<int>(1)) << c.what;
        const std::string out = Stdout();
        const std::string line = c.line;
        EXPECT_TRUE(out.size() >= line.size() &&
                    out.compare(out.size() - line.size(), line.size(), line) == 0)
            << c.what << ": the output does not end with\n"
            << line << "but reads\n"
            << out;
        EXPECT_EQ(ReadFileBytes(file("disparity.bmp")), kEarlier) << c.what;
        pDir = &dir;
    }
}

// The first kernel of stereo.cl takes one argument more than the matcher sets, so that
// its every launch fails with CL_INVALID_KERNEL_ARGS.
void AddUnsetKernelArgument(const fs::path& source) {
    std::string text = ReadFileText(source);
    size_t at = text.find('(', text.find("__kernel"));
    for (int depth = 0; at < text.size(); ++at) {
        depth += text[at] == '(' ? 1 : text[at] == ')' ? -1 : 0;
        if (depth == 0) break;
    }
    ASSERT_LT(at, text.size()) << "no kernel in " << source;
    text.insert(at, ", int unset");
    WriteFileBytes(source.string(), std::vector<unsigned char>(text.begin(), text.end()));
}

// A failure on the device writes nothing; a file that cannot be written is named, and
// the others are still written. Told once, exit code 1.
TEST_F(KorrDepthProcess, DeviceAndOutputFailuresExitOneAndNameWhatIsUnwritten) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> spoil;
        std::vector<std::string> arguments;
        std::map<std::string, std::optional<std::string>> environment;
        const char* lineStart;  // of the last line, told once
        const char* linePart;
        bool bBmpWritten;  // disparity.bmp
        bool bPfmWritten;  // out.pfm
    };
    // PoCL's smallest memory, 1 GB, allows 256 MB a buffer; the matcher's cost sums
    // for a 4096 x 4096 pair alone take more.
    constexpr int32_t kUnholdableSide = 4096;
    std::vector<Case> cases = {
        {"a kernel that cannot launch",
         [](const fs::path& d) { AddUnsetKernelArgument(d / "stereo.cl"); },
         {"--pfm", "out.pfm"},
         {},
         "Matching failed on the device: ",
         "-52",
         false,
         false},
        {"--output into a folder that does not exist",
         [](const fs::path&) {},
         {"--output", "no/such/folder.bmp", "--pfm", "out.pfm"},
         {},
         "Cannot write the result: no/such/folder.bmp (No such file or directory)\n",
         "",
         false,
         true},
        {"--pfm into a folder that does not exist",
         [](const fs::path&) {},
         {"--pfm", "no/such/out.pfm"},
         {},
         "Cannot write the result: no/such/out.pfm (No such file or directory)\n",
         "",
         true,
         false},
        {"both into folders that do not exist",
         [](const fs::path&) {},
         {"--output", "no/a.bmp", "--pfm", "no/b.pfm"},
         {},
         "Cannot write the result: no/a.bmp (No such file or directory), no/b.pfm (No such file or "
         "directory)\n",
         "",
         false,
         false},
    };
    if (kMaxViewSize >= kUnholdableSide) {
        cases.push_back({"a pair the device cannot hold",
                         [](const fs::path& d) { WriteTestPair(d, kUnholdableSide, kUnholdableSide); },
                         {"--pfm", "out.pfm"},
                         {{"POCL_MEMORY_LIMIT", "1"}},
                         "Matching failed on the device: ",
                         "",
                         false,
                         false});
    } else {
        std::cout << "Not run: a pair the device cannot hold; views stop at " << kMaxViewSize
                  << " pixels a side, which the device holds\n";
    }
    for (const Case& c : cases) {
        TempDir caseDir;
        EXPECT_EQ(RunSpoiled(caseDir, c.spoil, c.arguments, c.environment), std::optional<int>(1)) << c.what;
        const std::string out = Stdout();
        const size_t lastLine = out.rfind('\n', out.size() >= 2 ? out.size() - 2 : 0);
        const std::string line = out.substr(lastLine == std::string::npos ? 0 : lastLine + 1);
        EXPECT_EQ(line.rfind(c.lineStart, 0), 0u) << c.what << ": the last line reads\n" << out;
        EXPECT_NE(line.find(c.linePart), std::string::npos) << c.what << "\n" << line;
        EXPECT_EQ(Count(out, c.lineStart), 1u) << c.what << "\n" << out;
        EXPECT_EQ(ReadFileBytes(file("disparity.bmp")) != kEarlier, c.bBmpWritten) << c.what;
        EXPECT_EQ(fs::exists(folder() / "out.pfm"), c.bPfmWritten) << c.what;
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
