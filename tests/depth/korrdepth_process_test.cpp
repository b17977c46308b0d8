// The real korrdepth, started as a user or a script would, in a folder of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <sstream>
#include <tuple>

#include "depth/calibration.h"
#include "depth/stereo_matcher.h"
#include "depth/view_pair.h"
#include "imageio/image_files.h"
#include "imageio/pfm_file.h"
#include "imageio/sample_image.h"
#include "tests/support/child_process.h"
#include "tests/support/disparity_truth.h"
#include "tests/support/frame_fixture.h"
#include "tests/support/imagemagick.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_data.h"
#include "tools/sample_pair_files.h"
#include "tools/sample_scene.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// The start of a line of scores: the set and its count of pixels.
std::string ScoresLine(const char* set, int64_t pixels) {
    char line[64];
    std::snprintf(line, sizeof line, "\n%-8s %8lld ", set, static_cast<long long>(pixels));
    return line;
}

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
        {{"--version"}, 0, "korrdepth " KORRAPP_VERSION "\n", ""},
        {{"scene", "other"}, 2, "", "unknown argument 'other'"},
        {{"--kitti", "in"}, 2, "", "--kitti needs two values"},
        {{"--kitti", "in", "out", "--pfm", "x.pfm"}, 2, "", "--pfm does not go with --kitti"},
        {{"--kitti", "in", "out", "scene"}, 2, "", "a scene folder does not go with --kitti"},
        {{"scene", "--left", "l.png"}, 2, "", "--left does not go with a scene folder"},
        {{"--ply", "c.ply"},
         2,
         "",
         "--ply needs a camera: --focal and --baseline, or a scene folder's calib.txt"},
        {{"--focal", "500", "--depth", "d.pfm"}, 2, "", "--focal and --baseline come together"},
        {{"--focal", "0", "--baseline", "100"}, 2, "", "--focal must be a positive number, not '0'"},
        {{"--truth-mask", "m.png"}, 2, "", "--truth-mask needs --truth"},
        {{"--truth", "t.pfm", "--truth-scale", "x"},
         2,
         "",
         "--truth-scale must be a positive number, not 'x'"},
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
        EXPECT_NE(Stderr().find("would replace the input"), std::string::npos) << what << "\n" << Stderr();
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

TEST_F(KorrDepthProcess, OnceOnTheSamplePairWritesTheGreyBmpAndThePfmFromBmpPpmOrPngViews) {
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

    // So do PNG views; 16-bit samples that are 257 times an 8-bit one round back to it.
    if (!HaveImageMagick()) GTEST_SKIP() << ImageMagickMissing();
    ASSERT_TRUE(Convert(Quoted(file("im2.bmp")) + " -depth 8 png:" + Quoted(file("left.png"))));
    ASSERT_TRUE(Convert(Quoted(file("im6.bmp")) + " -depth 16 png:" + Quoted(file("right.png"))));
    ASSERT_EQ(Run({"--once", "--left", "left.png", "--right", "right.png", "--pfm", "from-png.pfm"}), 0)
        << Stdout();
    EXPECT_EQ(ReadFileBytes(file("from-png.pfm")), ReadFileBytes(file("estimate.pfm")));
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
        {"a PNG view cut short",
         [](const fs::path& d) {
             const std::vector<uint16_t> grey(450 * 375, 40000);
             ASSERT_EQ(WritePngGrey16((d / "im2.bmp").string(), grey.data(), 450, 375), "");
             fs::resize_file(d / "im2.bmp", 200000);
         },
         {},
         "Waiting for a usable stereo pair: im2.bmp is incomplete: the PNG file ends before its IEND "
         "chunk\n"},
        {"not a picture",
         [](const fs::path& d) {
             WriteFileBytes((d / "im2.bmp").string(), {'h', 'i', '\n'});
         },
         {},
         "Waiting for a usable stereo pair: im2.bmp is not a PNG, JPEG, BMP or binary PPM/PGM file\n"},
        {"device code that cannot be read",
         [](const fs::path& d) {
             fs::remove(d / "stereo.cl");
             fs::create_directory(d / "stereo.cl");
         },
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
                         "Waiting for a usable stereo pair: ",
                         "pixels need a buffer of 512 MB, above the device's",
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

// A scene folder of the sample pair: PNG views, a calib.txt, the truth as PFM (unknown
// along the left edge) and a mask that calls the top rows occluded.
constexpr char kSampleCalibration[] =
    "cam0=[500 0 200.5; 0 510 180; 0 0 1]\ndoffs=10\nbaseline=120\nndisp=64\n";

void LayOutScene(const fs::path& scene) {
    fs::create_directories(scene);
    const StereoSample& sample = Sample();
    ASSERT_EQ(WriteSamplePair(scene, sample), "");
    ASSERT_TRUE(
        Convert(Quoted((scene / "im2.bmp").string()) + " png:" + Quoted((scene / "im0.png").string())));
    ASSERT_TRUE(
        Convert(Quoted((scene / "im6.bmp").string()) + " png:" + Quoted((scene / "im1.png").string())));
    WriteFileBytes(
        (scene / "calib.txt").string(),
        std::vector<unsigned char>(std::begin(kSampleCalibration), std::end(kSampleCalibration) - 1));
    std::vector<float> truth(sample.disparity.begin(), sample.disparity.end());
    std::vector<uint16_t> mask(truth.size(), 255 * 257);  // 8 bits once converted
    for (int y = 0; y < sample.height; ++y) {
        truth[static_cast<size_t>(y) * sample.width] = INFINITY;
        if (y < 10) std::fill_n(mask.begin() + y * sample.width, sample.width, 128 * 257);
    }
    ASSERT_TRUE(
        SavePfmGrey((scene / "disp0GT.pfm").string().c_str(), truth.data(), sample.width, sample.height));
    ASSERT_EQ(WritePngGrey16((scene / "mask.png").string(), mask.data(), sample.width, sample.height), "");
    ASSERT_TRUE(Convert(Quoted((scene / "mask.png").string()) +
                        " -depth 8 png:" + Quoted((scene / "mask0nocc.png").string())));
}

// The vertices of a PLY as a reader other than the project's sees them: the count, then
// "index x y z red green blue" for the vertices asked for. Empty where it is missing.
std::string ForeignPlyVertices(const fs::path& ply, const std::vector<size_t>& indices) {
    if (std::system("/usr/bin/python3 -c 'import meshio' 2>/dev/null") != 0) return std::string();
    std::string list;
    for (size_t i : indices) list += std::to_string(i) + ",";
    const fs::path out = ply.parent_path() / "vertices.txt";
    const std::string script =
        "import meshio, sys\n"
        "m = meshio.read(sys.argv[1])\n"
        "c = [m.point_data[k].astype('uint8') for k in ('red', 'green', 'blue')]\n"
        "print(len(m.points))\n"
        "for i in [" +
        list +
        "]:\n"
        "    print(i, *('%.9g' % v for v in m.points[i]), c[0][i], c[1][i], c[2][i])\n";
    WriteFileBytes((ply.parent_path() / "read_ply.py").string(), {script.begin(), script.end()});
    const std::string command = "/usr/bin/python3 " + Quoted((ply.parent_path() / "read_ply.py").string()) +
                                " " + Quoted(ply.string()) + " > " + Quoted(out.string());
    return std::system(command.c_str()) == 0 ? ReadFileText(out) : std::string();
}

// In a folder of the user's own, without device code: the copy beside the program serves.
TEST_F(KorrDepthProcess, ASceneFolderGivesMiddleburyNamedResultsScoresDepthAndAPointCloud) {
    if (!HaveImageMagick()) GTEST_SKIP() << ImageMagickMissing();
    LayOutScene(folder() / "scene");
    ASSERT_EQ(Run({"--once", "scene", "--name", "mine", "--depth", "depth.pfm", "--ply", "cloud.ply"}), 0)
        << Stdout();
    EXPECT_EQ(NamesBesides(folder(), {"scene", "stdout.txt", "stderr.txt", "disp0mine.pfm", "timemine.txt",
                                      "depth.pfm", "cloud.ply"}),
              std::vector<std::string>());
    const std::string out = Stdout();
    EXPECT_NE(out.find("Scores against scene/disp0GT.pfm, visible pixels from scene/mask0nocc.png:\n"
                       "pixels     count  bad-0.5"),
              std::string::npos)
        << out;
    const int64_t known = static_cast<int64_t>(Sample().width - 1) * Sample().height;
    EXPECT_NE(out.find(ScoresLine("all", known)), std::string::npos) << out;
    EXPECT_NE(out.find(ScoresLine("visible", known - 10 * (Sample().width - 1))), std::string::npos) << out;
    EXPECT_NE(out.find("\nchecked "), std::string::npos) << out;
    EXPECT_NE(out.find("\nfilled "), std::string::npos) << out;
    EXPECT_GT(std::stod(ReadFileText(folder() / "timemine.txt")), 0.0);

    // Depth and points follow from the disparity and calib.txt, worked out here.
    const DisparityMap disparity = LoadPfm(folder() / "disp0mine.pfm");
    const DisparityMap depth = LoadPfm(folder() / "depth.pfm");
    ASSERT_EQ(disparity.width, Sample().width);
    ASSERT_EQ(depth.values.size(), disparity.values.size());
    EXPECT_LE(BadPixelPercent(SampleTruth(Sample()), disparity.values), 2.0);
    std::vector<size_t> pixelOfVertex;
    for (size_t i = 0; i < disparity.values.size(); ++i) {
        const float d = disparity.values[i];
        const float z = std::isfinite(d) ? static_cast<float>(0.120 * 500 / (d + 10.0)) : INFINITY;
        ASSERT_FLOAT_EQ(depth.values[i], z) << "pixel " << i;
        if (std::isfinite(d)) pixelOfVertex.push_back(i);
    }
    const std::vector<size_t> checked = {0, pixelOfVertex.size() / 3, pixelOfVertex.size() - 1};
    const std::string vertices = ForeignPlyVertices(folder() / "cloud.ply", checked);
    if (vertices.empty()) GTEST_SKIP() << "python3-meshio is missing: the point cloud is not read back";
    std::istringstream in(vertices);
    size_t count = 0;
    in >> count;
    EXPECT_EQ(count, pixelOfVertex.size());
    for (size_t vertex : checked) {
        size_t index = 0;
        double x = 0, y = 0, z = 0;
        int rgb[3] = {};
        in >> index >> x >> y >> z >> rgb[0] >> rgb[1] >> rgb[2];
        ASSERT_TRUE(in) << vertices;
        const size_t pixel = pixelOfVertex[vertex];
        const double px = static_cast<double>(pixel % Sample().width);
        const double py = static_cast<double>(pixel / Sample().width);
        const double expectedZ = 0.120 * 500 / (disparity.values[pixel] + 10.0);
        EXPECT_NEAR(z, expectedZ, 1e-6 * expectedZ) << "vertex " << vertex;
        EXPECT_NEAR(x, (px - 200.5) * expectedZ / 500, 1e-5) << "vertex " << vertex;
        EXPECT_NEAR(y, (py - 180) * expectedZ / 510, 1e-5) << "vertex " << vertex;
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(rgb[c], Sample().left[3 * pixel + 2 - c]) << "vertex " << vertex;
    }
}

TEST_F(KorrDepthProcess, ASceneFolderThatCannotBeUsedIsOneLineAndWritesNothing) {
    if (!HaveImageMagick()) GTEST_SKIP() << ImageMagickMissing();
    fs::copy_file(StereoKernelSourceFile(), folder() / "stereo.cl");
    const fs::path good = folder() / "good";
    LayOutScene(good);
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> spoil;
        std::string line;  // the last the program prints, after the scene's folder
    };
    const auto calibWith = [](const std::string& text) {
        return [text](const fs::path& d) {
            WriteFileBytes((d / "calib.txt").string(), {text.begin(), text.end()});
        };
    };
    const std::string cam0 = "cam0=[500 0 200; 0 500 180; 0 0 1]\n";
    const Case cases[] = {
        {"no right view", [](const fs::path& d) { fs::remove(d / "im1.png"); },
         "/im1.png is missing: a scene folder holds im0.png and im1.png\n"},
        {"no calib.txt", [](const fs::path& d) { fs::remove(d / "calib.txt"); },
         "/calib.txt cannot be opened\n"},
        {"a malformed baseline", calibWith(cam0 + "doffs=1\nbaseline=12O\nndisp=64\n"),
         "/calib.txt: baseline must be a positive number of millimetres, not '12O'\n"},
        {"no ndisp", calibWith(cam0 + "doffs=1\nbaseline=120\n"), "/calib.txt: ndisp is missing\n"},
        {"a range beyond the matcher",
         [&](const fs::path& d) {
             // ndisp stops at the views' width: these are wider than the matcher searches.
             ASSERT_EQ(WriteFlatSceneViews(d, kMaxMaxDisparity + 2), "");
             calibWith(cam0 + "doffs=1\nbaseline=120\nndisp=9999\n")(d);
         },
         "/calib.txt: ndisp 9999 in views " + std::to_string(kMaxMaxDisparity + 2) +
             " pixels wide asks for disparities up to " + std::to_string(kMaxMaxDisparity + 1) +
             ", but the matcher searches 1 to " + std::to_string(kMaxMaxDisparity) +
             "; give --max-disparity to search less\n"},
        {"a truth of another size",
         [](const fs::path& d) {
             const float value = 1.0f;
             ASSERT_TRUE(SavePfmGrey((d / "disp0GT.pfm").string().c_str(), &value, 1, 1));
         },
         "/disp0GT.pfm is 1 x 1 pixels where the views are 450 x 375\n"},
        {"a mask of another size",
         [](const fs::path& d) {
             ASSERT_TRUE(
                 Convert("-size 2x2 xc:white -depth 8 png:" + Quoted((d / "mask0nocc.png").string())));
         },
         "/mask0nocc.png is 2 x 2 pixels where the truth is 450 x 375\n"},
    };
    for (const Case& c : cases) {
        const fs::path scene = folder() / c.what;
        fs::copy(good, scene, fs::copy_options::recursive);
        c.spoil(scene);
        EXPECT_EQ(Run({"--once", c.what}), 1) << c.what;
        const std::string out = Stdout();
        const std::string line = c.what + c.line;
        EXPECT_TRUE(out.size() >= line.size() &&
                    out.compare(out.size() - line.size(), line.size(), line) == 0)
            << c.what << ": the output does not end with\n"
            << line << "but reads\n"
            << out;
        EXPECT_FALSE(fs::exists(folder() / "disp0korrdepth.pfm")) << c.what;
        EXPECT_FALSE(fs::exists(folder() / "timekorrdepth.txt")) << c.what;
    }
    // An output that names an input, the truth included, is refused with the usage
    // before anything runs.
    const std::vector<unsigned char> truth = ReadFileBytes((good / "disp0GT.pfm").string());
    fs::create_symlink(good / "im0.png", folder() / "link.png");
    for (const auto& [option, output, input] : {std::tuple{"--pfm", "good/disp0GT.pfm", "good/disp0GT.pfm"},
                                                std::tuple{"--ply", "link.png", "good/im0.png"}}) {
        EXPECT_EQ(Run({"--once", "good", option, output}), 2) << option;
        const std::string line = std::string("korrdepth: the output ") + output +
                                 " would replace the input " + input + "; nothing was written\n";
        EXPECT_EQ(Stderr().rfind(line, 0), 0u) << Stderr();
        EXPECT_EQ(Stdout().find("Successfull creation context"), std::string::npos) << Stdout();
    }
    EXPECT_EQ(ReadFileBytes((good / "disp0GT.pfm").string()), truth);
}

TEST_F(KorrDepthProcess, AKittiFolderIsWrittenPairByPairAsSubmittedAndFailedPairsAreSkipped) {
    if (!HaveImageMagick()) GTEST_SKIP() << ImageMagickMissing();
    fs::copy_file(StereoKernelSourceFile(), folder() / "stereo.cl");
    const fs::path kitti = folder() / "kitti";
    for (const char* sub : {"image_2", "image_3", "disp_occ_0", "disp_noc_0"})
        fs::create_directories(kitti / sub);
    ASSERT_EQ(WriteSamplePair(folder(), Sample()), "");
    for (const char* name : {"000000_10.png", "000001_10.png"}) {
        ASSERT_TRUE(Convert(Quoted(file("im2.bmp")) + " png:" + Quoted((kitti / "image_2" / name).string())));
        ASSERT_TRUE(Convert(Quoted(file("im6.bmp")) + " png:" + Quoted((kitti / "image_3" / name).string())));
    }
    WriteFileBytes((kitti / "image_2" / "000002_10.png").string(), {'n', 'o'});
    fs::copy_file(kitti / "image_3" / "000000_10.png", kitti / "image_3" / "000002_10.png");
    // Narrower than the range searched.
    for (const char* view : {"image_2", "image_3"})
        ASSERT_TRUE(Convert(Quoted((kitti / view / "000000_10.png").string()) +
                            " -crop 60x40+0+0 png:" + Quoted((kitti / view / "000003_10.png").string())));
    // Truth for the first pair only, and none for the visible set along the top rows.
    std::vector<uint16_t> truth(Sample().disparity.size());
    for (size_t i = 0; i < truth.size(); ++i) truth[i] = static_cast<uint16_t>(Sample().disparity[i] * 256);
    ASSERT_EQ(WritePngGrey16((kitti / "disp_occ_0" / "000000_10.png").string(), truth.data(), Sample().width,
                             Sample().height),
              "");
    std::fill_n(truth.begin(), 10 * Sample().width, uint16_t{0});
    ASSERT_EQ(WritePngGrey16((kitti / "disp_noc_0" / "000000_10.png").string(), truth.data(), Sample().width,
                             Sample().height),
              "");

    EXPECT_EQ(Run({"--kitti", "kitti", "out", "--max-disparity", "63"}), 1) << Stdout();
    const std::string out = Stdout();
    for (const std::string& line : std::vector<std::string>{
             "\nSkipped 000002_10.png: kitti/image_2/000002_10.png ", "\n000000_10.png  ", " % (visible)\n",
             "\n000001_10.png  ",
             "\nSkipped 000003_10.png: disparities up to 63 need views wider than 63 pixels, not 60 x 40\n",
             "\n2 of 4 pairs written to out/disp_0\nMean scores over 1 pairs with truth:\n",
             ScoresLine("all", 168750), ScoresLine("visible", 164250)}) {
        EXPECT_NE(out.find(line), std::string::npos) << line << " is not in\n" << out;
    }
    EXPECT_EQ(NamesBesides(folder() / "out" / "disp_0", {"000000_10.png", "000001_10.png"}),
              std::vector<std::string>());
    SampleImage written;
    ASSERT_EQ(ReadSampleImage((folder() / "out" / "disp_0" / "000001_10.png").string(), &written), "");
    ASSERT_EQ(written.iBitDepth, 16);
    ASSERT_EQ(written.iChannels, 1);
    ASSERT_EQ(written.iWidth, Sample().width);
    // Disparity x 256, as the same match writes it to a PFM; 0 only where it has none.
    ASSERT_EQ(Run({"--once", "--left", "im2.bmp", "--right", "im6.bmp", "--max-disparity", "63", "--pfm",
                   "same.pfm"}),
              0);
    const DisparityMap same = LoadPfm(folder() / "same.pfm");
    ASSERT_EQ(same.values.size(), written.vSamples.size());
    size_t wrong = 0;
    for (size_t i = 0; i < same.values.size(); ++i) {
        const float d = same.values[i];
        wrong += written.vSamples[i] != (std::isfinite(d) ? std::max(1L, std::lround(d * 256.0f)) : 0L);
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_LE(BadPixelPercent(SampleTruth(Sample()), same.values), 2.0);

    // With every pair good the run succeeds.
    for (const char* name : {"000002_10.png", "000003_10.png"}) fs::remove(kitti / "image_2" / name);
    EXPECT_EQ(Run({"--kitti", "kitti", "out", "--max-disparity", "63"}), 0) << Stdout();
    EXPECT_EQ(Run({"--kitti", "out", "out2"}), 1);
    EXPECT_NE(Stdout().find("out holds neither image_2 and image_3 (KITTI 2015) nor colored_0 and colored_1"),
              std::string::npos)
        << Stdout();
}

TEST_F(KorrDepthProcess, TheModernPairsAreScored) {
    fs::copy_file(StereoKernelSourceFile(), folder() / "stereo.cl");
    const fs::path data = SharedTestDataDir() / "stereo-modern";
    if (SharedTestDataDir().empty()) GTEST_SKIP() << SharedTestDataMissing();
    if (!fs::is_directory(data)) GTEST_SKIP() << "no stereo-modern pairs in the shared test data";
    const fs::path scene = data / "middlebury2014-Q" / "Adirondack";
    ASSERT_EQ(Run({"--once", scene.string(), "--ply", "cloud.ply"}), 0) << Stdout();
    const std::string scores = Stdout().substr(Stdout().find("\nvisible ") + 1);
    std::istringstream visible(scores);
    std::string name;
    double pixels = 0, bad05 = 0, bad1 = 0;
    visible >> name >> pixels >> bad05;
    visible.ignore(1) >> bad1;
    std::cout << "Adirondack: " << bad1 << " % of the visible pixels bad (error over 1)\n";
    EXPECT_LE(bad1, 12.0) << scores;
    EXPECT_TRUE(fs::exists(folder() / "disp0korrdepth.pfm"));

    const std::string range = std::to_string(std::min(191, kMaxMaxDisparity));
    ASSERT_EQ(Run({"--kitti", (data / "kitti2015" / "training").string(), "out", "--max-disparity", range}),
              0)
        << Stdout();
    const std::string out = Stdout();
    const size_t at = out.find(" D1 ");
    ASSERT_NE(at, std::string::npos) << out;
    const double d1 = std::stod(out.substr(at + 4));
    std::cout << "KITTI 000000_10: D1 " << d1 << " % of the pixels with truth\n";
    EXPECT_LE(d1, 15.0) << out;
}

}  // namespace
