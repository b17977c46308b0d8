// What korrdepth reads and how it scores: the views frame after frame, calib.txt, and
// the scores of small maps whose answers are worked out here by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>

#include "depth/calibration.h"
#include "depth/disparity_scores.h"
#include "depth/scene_folder.h"
#include "depth/stereo_matcher.h"
#include "depth/truth_files.h"
#include "depth/view_pair.h"
#include "imageio/image_files.h"
#include "imageio/pfm_file.h"
#include "imageio/sample_image.h"
#include "tests/support/disparity_truth.h"
#include "tests/support/frame_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Each step changes the pair's files, or not, and then reads it: decoded anew (other
// pixels than the step before) or given again, and always what the files hold.
TEST(ViewPairReader, AnUnchangedPairIsGivenAgainAndAChangedOneIsReadAnew) {
    TempDir dir;
    const fs::path left = dir.path() / "im2.bmp";
    const fs::path right = dir.path() / "im6.bmp";
    const auto later = [](const fs::path& file) {
        fs::last_write_time(file, fs::last_write_time(file) + 2s);
    };
    struct Step {
        const char* what;
        std::function<void()> change;
        bool readAnew;
        bool usable;
    };
    const Step steps[] = {
        {"the first read", [&] { WriteTestPair(dir.path(), 40, 24); }, true, true},
        {"nothing changed", [] {}, false, true},
        {"only the time changed", [&] { later(right); }, true, true},
        {"the right view rewritten",
         [&] {
             SaveTestBmp(right, MakeTestImage(40, 24, 3));
             later(right);
         },
         true, true},
        {"the left view cut short", [&] { fs::resize_file(left, 100); }, true, false},
        {"the left view restored",
         [&] {
             SaveTestBmp(left, MakeTestImage(40, 24, 1));
             later(left);
         },
         true, true},
        {"a view grown", [&] { SaveTestBmp(left, MakeTestImage(41, 24, 1)); }, true, false},
    };
    ViewPairReader reader;
    ViewPair before;
    for (const Step& step : steps) {
        step.change();
        ViewPair pair;
        const std::string problem = reader.Read(left.string(), right.string(), &pair);
        ASSERT_EQ(problem.empty(), step.usable) << step.what << ": " << problem;
        if (!step.usable) continue;
        ViewPair fresh;
        ASSERT_EQ(ReadViewPair(left.string(), right.string(), &fresh), "") << step.what;
        const size_t bytes = static_cast<size_t>(fresh.iWidth) * static_cast<size_t>(fresh.iHeight) * 3;
        ASSERT_EQ(pair.iWidth, fresh.iWidth) << step.what;
        EXPECT_TRUE(std::equal(pair.pLeft.get(), pair.pLeft.get() + bytes, fresh.pLeft.get())) << step.what;
        EXPECT_TRUE(std::equal(pair.pRight.get(), pair.pRight.get() + bytes, fresh.pRight.get()))
            << step.what;
        EXPECT_EQ(pair.pRight != before.pRight, step.readAnew) << step.what;
        before = pair;
    }
}

TEST(Calibration, GoodFilesGiveTheCameraAndMalformedKeysAreNamed) {
    // As Middlebury 2014 writes them, stray spaces and all.
    const std::string good =
        "cam0=[ 1038.018 0 322.037 ; 0 1038.5 243.393 ; 0 0 1 ] \n"
        "cam1=[1038.018 0 375.308; 0 1038.018 243.393; 0 0 1]\r\n"
        " doffs= 53.271 \nbaseline= 176.252\n width= 718\n\n ndisp= 73\n isint=0\n";
    SceneCalibration calibration;
    ASSERT_EQ(ParseCalibration("calib.txt", good, &calibration), "");
    EXPECT_EQ(calibration.camera.dFocalX, 1038.018);
    EXPECT_EQ(calibration.camera.dFocalY, 1038.5);
    EXPECT_EQ(calibration.camera.dCx, 322.037);
    EXPECT_EQ(calibration.camera.dCy, 243.393);
    EXPECT_EQ(calibration.camera.dDoffs, 53.271);
    EXPECT_EQ(calibration.camera.dBaselineMm, 176.252);
    EXPECT_EQ(calibration.iDisparityCount, 73);

    const std::string cam0 = "cam0=[10 0 5; 0 10 4; 0 0 1]\n";
    const std::string rest = "doffs=0\nbaseline=100\nndisp=64\n";
    struct Case {
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {rest, "calib.txt: cam0 is missing"},
        {"cam0=[10 0 5; 0 10 4; 0 0]\n" + rest, "calib.txt: cam0 must be [fx 0 cx ; 0 fy cy ; 0 0 1]"},
        {"cam0=[10 0 5; 0 10 4; 0 0 1; 1 1 1]\n" + rest, "calib.txt: cam0 must be"},
        {"cam0=10 0 5; 0 10 4; 0 0 1\n" + rest, "calib.txt: cam0 must be"},
        {"cam0=[0 0 5; 0 10 4; 0 0 1]\n" + rest, "not '[0 0 5; 0 10 4; 0 0 1]'"},
        {"cam0=[10 0 x5; 0 10 4; 0 0 1]\n" + rest, "calib.txt: cam0 must be"},
        {cam0 + "baseline=100\nndisp=64\n", "calib.txt: doffs is missing"},
        {cam0 + "doffs=abc\nbaseline=100\nndisp=64\n",
         "calib.txt: doffs must be a number of pixels, not 'abc'"},
        {cam0 + "doffs=0\nbaseline=-5\nndisp=64\n", "calib.txt: baseline must be a positive number"},
        {cam0 + "doffs=0\nbaseline=nan\nndisp=64\n", "calib.txt: baseline must be"},
        {cam0 + "doffs=0\nbaseline=100\n", "calib.txt: ndisp is missing"},
        {cam0 + "doffs=0\nbaseline=100\nndisp=73.5\n", "calib.txt: ndisp must be a whole number"},
        {cam0 + "doffs=0\nbaseline=100\nndisp=1\n", "calib.txt: ndisp must be"},
        {cam0 + "doffs=0\nbaseline=100\nndisp=1e300\n", "calib.txt: ndisp must be"},
        {cam0 + rest + "ndisp=70\n", "calib.txt: ndisp is given twice"},
        {cam0 + rest + "vmin 8\n", "calib.txt: the line 'vmin 8' is not key=value"},
    };
    for (const Case& c : cases) {
        SceneCalibration untouched;
        untouched.iDisparityCount = -7;
        const std::string message = ParseCalibration("calib.txt", c.text, &untouched);
        EXPECT_EQ(message.rfind(c.message, 0) == 0 || message.find(c.message) != std::string::npos, true)
            << c.text << "\n gave: " << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        EXPECT_EQ(untouched.iDisparityCount, -7) << c.text;
    }
}

// ndisp bounds the range from above; past the views' width it asks for matches that
// cannot be, and the range stops at the width.
TEST(SceneFolder, TheRangeIsNdispLessOneWithinTheViewsWidth) {
    struct Case {
        int32_t width;
        int ndisp;
        int given;  // --max-disparity, 0 for none
        int range;  // 0 where the folder is refused
        std::string message;
    };
    const Case cases[] = {
        {40, 16, 0, 15, ""},
        {40, 41, 0, 39, ""},
        {40, 9999, 0, 39, ""},
        {40, 9999, 20, 20, ""},
        {kMaxMaxDisparity + 2, 9999, 0, 0,
         ": ndisp 9999 in views " + std::to_string(kMaxMaxDisparity + 2) +
             " pixels wide asks for disparities up to " + std::to_string(kMaxMaxDisparity + 1) + ", but"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        ASSERT_EQ(WriteFlatSceneViews(dir.path(), c.width), "");
        const std::string calib =
            "cam0=[10 0 5; 0 10 4; 0 0 1]\ndoffs=0\nbaseline=100\nndisp=" + std::to_string(c.ndisp) + "\n";
        WriteFileBytes(dir.file("calib.txt"), {calib.begin(), calib.end()});
        DepthOptions options;
        options.sSceneDir = dir.path().string();
        options.bMaxDisparityGiven = c.given != 0;
        options.iMaxDisparity = c.given;
        const std::string message = ApplySceneFolder(&options);
        const std::string what = std::to_string(c.width) + " px, ndisp " + std::to_string(c.ndisp);
        if (c.range == 0) {
            EXPECT_NE(message.find(c.message), std::string::npos) << what << " gave: " << message;
        } else {
            EXPECT_EQ(message, "") << what;
            EXPECT_EQ(options.iMaxDisparity, c.range) << what;
        }
    }
}

TEST(DisparityScores, HandMadeMapsScoreAsWorkedOut) {
    // Pixel 4 has no truth; pixel 3 has no estimate (its error counts as its truth, 40).
    TruthMap truth{4, 2, {10, 20, 30, 40, INFINITY, 100, 50, 8}, {1, 1, 0, 1, 1, 1, 0, 1}};
    const float estimate[] = {10.5f, 21.5f, 33, INFINITY, 5, 104.5f, 50, 12};
    // Errors of the 7 pixels with truth: 0.5, 1.5, 3, 40, 4.5, 0, 4. Pixel 2's 3 px is
    // not over 3; pixel 5's 4.5 px is not over 5 % of 100; pixel 7's 4 px is over both.
    const uint8_t checked[] = {1, 0, 1, 0, 1, 1, 1, 0};
    const DisparityScores scores = ScoreDisparity(estimate, truth, checked);
    struct Expected {
        const ErrorScores& got;
        int64_t pixels;
        int bad[4];  // of `pixels`, over 0.5, 1, 2, 4
        int d1;
        double errorSum;
        double squaredSum;
        int estimated;
    };
    const Expected expected[] = {
        {scores.all,
         7,
         {5, 5, 4, 2},
         2,
         0.5 + 1.5 + 3 + 40 + 4.5 + 0 + 4,
         0.25 + 2.25 + 9 + 1600 + 20.25 + 16,
         6},
        // The visible pixels with truth: 0, 1, 3, 5, 7.
        {scores.visible, 5, {4, 4, 3, 2}, 2, 0.5 + 1.5 + 40 + 4.5 + 4, 0.25 + 2.25 + 1600 + 20.25 + 16, 4},
        // The checked pixels with truth: 0, 2, 5, 6; the filled ones: 1, 3, 7.
        {scores.checked, 4, {2, 2, 2, 1}, 0, 0.5 + 3 + 4.5, 0.25 + 9 + 20.25, 4},
        {scores.filled, 3, {3, 3, 2, 1}, 2, 1.5 + 40 + 4, 2.25 + 1600 + 16, 2},
    };
    ASSERT_TRUE(scores.bHasVisible && scores.bHasChecked);
    for (const Expected& e : expected) {
        const double n = static_cast<double>(e.pixels);
        EXPECT_EQ(e.got.iPixels, e.pixels);
        for (int i = 0; i < 4; ++i)
            EXPECT_DOUBLE_EQ(e.got.dBadPercent[i], 100.0 * e.bad[i] / n) << "threshold " << i;
        EXPECT_DOUBLE_EQ(e.got.dD1Percent, 100.0 * e.d1 / n);
        EXPECT_DOUBLE_EQ(e.got.dMeanError, e.errorSum / n);
        EXPECT_DOUBLE_EQ(e.got.dRmsError, std::sqrt(e.squaredSum / n));
        EXPECT_DOUBLE_EQ(e.got.dEstimatedPercent, 100.0 * e.estimated / n);
    }

    // Without a mask there is no visible set; a perfect estimate scores 0 everywhere.
    truth.vVisible.clear();
    const DisparityScores perfect = ScoreDisparity(truth.vDisparity.data(), truth);
    EXPECT_FALSE(perfect.bHasVisible || perfect.bHasChecked);
    EXPECT_EQ(perfect.all.iPixels, 7);
    EXPECT_EQ(perfect.all.dBadPercent[0] + perfect.all.dD1Percent + perfect.all.dRmsError, 0.0);
    EXPECT_EQ(perfect.all.dEstimatedPercent, 100.0);

    // Means over pairs are per field; a pair without visible pixels counts only in `all`.
    const DisparityScores mean = MeanScores({scores, perfect});
    EXPECT_DOUBLE_EQ(mean.all.dBadPercent[1], 100.0 * 5 / 7 / 2);
    EXPECT_DOUBLE_EQ(mean.all.dMeanError, 53.5 / 7 / 2);
    EXPECT_DOUBLE_EQ(mean.visible.dD1Percent, 100.0 * 2 / 5);
    EXPECT_DOUBLE_EQ(mean.filled.dD1Percent, 100.0 * 2 / 3);
    EXPECT_EQ(mean.all.iPixels, 14);

    const std::string table = FormatScores(scores);
    EXPECT_EQ(table.rfind(
                  "pixels     count  bad-0.5    bad-1    bad-2    bad-4       D1    mean     rms  estimated\n"
                  "all             7   71.43%   71.43%   57.14%   28.57%   28.57%   7.643  15.343    85.71%\n"
                  "visible         5",
                  0),
              0u)
        << table;
    EXPECT_NE(table.find("\nchecked         4 "), std::string::npos) << table;
    EXPECT_NE(table.find("\nfilled          3 "), std::string::npos) << table;
}

TEST(TruthFiles, EachFormatGivesDisparitiesWithUnknownsAndVisiblePixels) {
    TempDir dir;
    const float pfm[] = {1.5f, INFINITY, 3.0f, 0.0f};
    ASSERT_TRUE(SavePfmGrey(dir.file("truth.pfm").c_str(), pfm, 2, 2));
    const uint16_t kitti[] = {384, 0, 768, 65535};
    ASSERT_EQ(WritePngGrey16(dir.file("kitti.png"), kitti, 2, 2), "");
    const uint16_t noc[] = {0, 5, 0, 5};
    ASSERT_EQ(WritePngGrey16(dir.file("noc.png"), noc, 2, 2), "");
    const auto greyBmp = [&](const char* name, std::vector<unsigned char> levels) {
        std::vector<unsigned char> bgr;
        for (unsigned char level : levels) bgr.insert(bgr.end(), {level, level, level});
        SaveBmpFromRgb(dir.file(name).c_str(), bgr.data(), 2, static_cast<int32_t>(levels.size() / 2));
    };
    greyBmp("grey.bmp", {6, 0, 12, 255});
    greyBmp("mask.bmp", {255, 128, 0, 255});
    greyBmp("tall.bmp", {255, 255, 255, 255, 255, 255});

    struct Case {
        const char* file;
        double scale;
        std::vector<float> values;  // or none, and the message's end
        const char* message;
    };
    const Case cases[] = {
        {"truth.pfm", 0.0, {1.5f, INFINITY, 3.0f, 0.0f}, ""},  // 0 is a disparity in a PFM
        {"kitti.png", 0.0, {1.5f, INFINITY, 3.0f, 65535 / 256.0f}, ""},
        {"kitti.png", 128.0, {3.0f, INFINITY, 6.0f, 65535 / 128.0f}, ""},
        {"grey.bmp", 4.0, {1.5f, INFINITY, 3.0f, 63.75f}, ""},
        {"grey.bmp",
         0.0,
         {},
         "grey.bmp holds 8-bit samples: give their scale, grey levels per pixel of disparity "
         "(--truth-scale)"},
        {"none.pfm", 0.0, {}, "none.pfm cannot be opened"},
    };
    for (const Case& c : cases) {
        TruthMap truth;
        const std::string message = ReadPairTruth(dir.file(c.file), "", c.scale, 2, 2, &truth);
        EXPECT_EQ(message.empty(), c.values.size() > 0) << c.file << ": " << message;
        EXPECT_NE(message.find(c.message), std::string::npos) << c.file << ": " << message;
        if (!message.empty()) continue;
        EXPECT_EQ(truth.vDisparity, c.values) << c.file << " / " << c.scale;
        EXPECT_TRUE(truth.vVisible.empty());
    }

    TruthMap truth;
    ASSERT_EQ(ReadPairTruth(dir.file("truth.pfm"), dir.file("mask.bmp"), 0.0, 2, 2, &truth), "");
    EXPECT_EQ(truth.vVisible, std::vector<uint8_t>({1, 0, 0, 1}));
    EXPECT_EQ(truth.vDisparity, std::vector<float>({1.5f, INFINITY, INFINITY, 0.0f})) << "mask 0: no truth";
    ASSERT_EQ(ReadVisibleTruth(dir.file("noc.png"), &truth), "");
    EXPECT_EQ(truth.vVisible, std::vector<uint8_t>({0, 1, 0, 1}));
    EXPECT_EQ(ReadPairTruth(dir.file("truth.pfm"), "", 0.0, 3, 2, &truth),
              dir.file("truth.pfm") + " is 2 x 2 pixels where the views are 3 x 2");
    EXPECT_EQ(ReadPairTruth(dir.file("truth.pfm"), dir.file("tall.bmp"), 0.0, 2, 2, &truth),
              dir.file("tall.bmp") + " is 2 x 3 pixels where the truth is 2 x 2");
    EXPECT_EQ(ReadVisibleTruth(dir.file("tall.bmp"), &truth),
              dir.file("tall.bmp") +
                  " holds 8-bit samples: give their scale, grey levels per pixel of disparity "
                  "(--truth-scale)");
}

}  // namespace
