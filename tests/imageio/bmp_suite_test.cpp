// The BMP suite's files against the suite's own reference renderings.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "imageio/image_files.h"
#include "tests/imageio/png_reference.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_data.h"

namespace {

namespace fs = std::filesystem;
using Pixels = std::unique_ptr<unsigned char[]>;

// A file and what reading it gives: a reference rendering, or an error.
struct Expectation {
    const char* file;
    const char* colors;  // reference for the colour channels; null: refused with `error`
    const char* alpha;   // reference for the 4-sample reader's alpha; null: not checked
    ImageFileError error;
    int tolerance = 0;  // for channels whose reference was quantised apart from the file
};

Expectation Renders(const char* file, const char* colors) {
    return {file, colors, colors, ImageFileError::None};
}

Expectation Renders(const char* file, const char* colors, const char* alpha) {
    return {file, colors, alpha, ImageFileError::None};
}

// Wide channels rounded to 8 bits may differ by one from a reference that was
// quantised separately.
Expectation RendersNear(const char* file, const char* colors) {
    return {file, colors, colors, ImageFileError::None, 1};
}

Expectation Refused(const char* file, ImageFileError error) {
    return {file, nullptr, nullptr, error};
}

fs::path SuiteDir() {
    return SharedTestDataDir() / "bmpsuite";
}

RgbaImage Reference(const char* name) {
    RgbaImage image;
    EXPECT_TRUE(LoadPngRgba((SuiteDir() / "html" / name).string(), &image)) << name;
    return image;
}

bool Near(int a, int b, int tolerance) {
    return a - b <= tolerance && b - a <= tolerance;
}

// Describes the first pixel that differs from the references, or returns "". Colours
// under a fully transparent reference pixel are not part of the picture.
std::string Mismatch(const unsigned char* pixels, int32_t width, int32_t height, int samples, bool redFirst,
                     const RgbaImage& colors, const RgbaImage* alpha, int tolerance) {
    if (width != colors.width || height != colors.height)
        return "size " + std::to_string(width) + "x" + std::to_string(height);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        const unsigned char* p = pixels + i * samples;
        const unsigned char* c = colors.rgba.data() + i * 4;
        const bool sameColor =
            c[3] == 0 || (Near(p[0], redFirst ? c[0] : c[2], tolerance) && Near(p[1], c[1], tolerance) &&
                          Near(p[2], redFirst ? c[2] : c[0], tolerance));
        const bool same = sameColor && (!alpha || Near(p[3], alpha->rgba[i * 4 + 3], tolerance));
        if (!same)
            return "pixel " + std::to_string(i % width) + "," + std::to_string(i / width) + " is " +
                   std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) +
                   (samples == 4 ? " " + std::to_string(p[3]) : "");
    }
    return "";
}

bool IsTwentyFourBit(const std::string& path) {
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    return bytes.size() > 29 && bytes[28] == 24 && bytes[29] == 0;
}

void CheckFile(const Expectation& e) {
    SCOPED_TRACE(e.file);
    const std::string path = (SuiteDir() / e.file).string();
    for (const bool withAlpha : {false, true}) {
        int32_t width = -1, height = -1;
        ImageFileError error = ImageFileError::None;
        Pixels pixels(withAlpha ? LoadBmpRgba(path.c_str(), &width, &height, &error)
                                : LoadBmpRgb(path.c_str(), &width, &height, &error));
        if (!e.colors) {
            EXPECT_EQ(pixels, nullptr);
            EXPECT_EQ(error, e.error);
            continue;
        }
        ASSERT_NE(pixels, nullptr) << DescribeImageFileError(error);
        const RgbaImage colors = Reference(e.colors);
        const RgbaImage alpha = Reference(e.alpha ? e.alpha : e.colors);
        const bool redFirst = withAlpha && IsTwentyFourBit(path);
        EXPECT_EQ(Mismatch(pixels.get(), width, height, withAlpha ? 4 : 3, redFirst, colors,
                           withAlpha && e.alpha ? &alpha : nullptr, e.tolerance),
                  "")
            << (withAlpha ? "LoadBmpRgba" : "LoadBmpRgb") << " against " << e.colors;
    }
}

// Every file of a folder must have an expectation or a test of its own, so new
// files are not skipped.
void CheckFolder(const std::string& folder, const std::vector<Expectation>& expectations,
                 std::set<std::string> listed = {}) {
    for (const Expectation& e : expectations) {
        listed.insert(e.file);
        CheckFile(e);
    }
    for (const auto& entry : fs::directory_iterator(SuiteDir() / folder)) {
        if (entry.path().extension() != ".bmp") continue;
        const std::string name = folder + "/" + entry.path().filename().string();
        EXPECT_TRUE(listed.count(name)) << name << " has no expectation";
    }
}

class BmpSuite : public ::testing::Test {
protected:
    void SetUp() override {
        if (SharedTestDataDir().empty()) GTEST_SKIP() << SharedTestDataMissing();
    }
};

TEST_F(BmpSuite, GoodFilesMatchTheirReferences) {
    CheckFolder("g", {
                         Renders("g/pal1.bmp", "pal1.png"),
                         Renders("g/pal1wb.bmp", "pal1.png"),
                         Renders("g/pal1bg.bmp", "pal1bg.png"),
                         Renders("g/pal4.bmp", "pal4.png"),
                         Renders("g/pal4gs.bmp", "pal4gs.png"),
                         Renders("g/pal4rle.bmp", "pal4.png"),
                         Renders("g/pal8.bmp", "pal8.png"),
                         Renders("g/pal8-0.bmp", "pal8.png"),
                         Renders("g/pal8gs.bmp", "pal8gs.png"),
                         Renders("g/pal8rle.bmp", "pal8.png"),
                         Renders("g/pal8w126.bmp", "pal8w126.png"),
                         Renders("g/pal8w125.bmp", "pal8w125.png"),
                         Renders("g/pal8w124.bmp", "pal8w124.png"),
                         Renders("g/pal8topdown.bmp", "pal8.png"),
                         Renders("g/pal8nonsquare.bmp", "pal8nonsquare-e.png"),
                         Renders("g/pal8os2.bmp", "pal8.png"),
                         Renders("g/pal8v4.bmp", "pal8.png"),
                         Renders("g/pal8v5.bmp", "pal8.png"),
                         Renders("g/rgb16.bmp", "rgb16.png"),
                         Renders("g/rgb16bfdef.bmp", "rgb16.png"),
                         Renders("g/rgb16-565.bmp", "rgb16-565.png"),
                         Renders("g/rgb16-565pal.bmp", "rgb16-565.png"),
                         Renders("g/rgb24.bmp", "rgb24.png"),
                         Renders("g/rgb24pal.bmp", "rgb24.png"),
                         Renders("g/rgb32.bmp", "rgb24.png"),
                         Renders("g/rgb32bfdef.bmp", "rgb24.png"),
                         Renders("g/rgb32bf.bmp", "rgb24.png"),
                     });
}

TEST_F(BmpSuite, QuestionableFilesDecodeExactlyOrAreRefused) {
    CheckFolder("q", {
                         Refused("q/pal1huffmsb.bmp", ImageFileError::Unsupported),
                         Renders("q/pal1p1.bmp", "pal1p1.png"),
                         Renders("q/pal2.bmp", "pal2.png"),
                         Renders("q/pal2color.bmp", "pal2color.png"),
                         // Pixels the RLE stream skips stay zero: black, and transparent with alpha.
                         Renders("q/pal4rletrns.bmp", "pal4rletrns-b.png", "pal4rletrns.png"),
                         Renders("q/pal4rlecut.bmp", "pal4rlecut-b.png", "pal4rlecut.png"),
                         Renders("q/pal8rletrns.bmp", "pal8rletrns-b.png", "pal8rletrns.png"),
                         Renders("q/pal8rlecut.bmp", "pal8rlecut-b.png", "pal8rlecut.png"),
                         Renders("q/pal8offs.bmp", "pal8.png"),
                         Renders("q/pal8oversizepal.bmp", "pal8.png"),
                         Renders("q/pal8os2-sz.bmp", "pal8.png"),
                         Renders("q/pal8os2-hs.bmp", "pal8.png"),
                         Renders("q/pal8os2sp.bmp", "pal8.png"),
                         Renders("q/pal8os2v2.bmp", "pal8.png"),
                         Renders("q/pal8os2v2-16.bmp", "pal8.png"),
                         Renders("q/pal8os2v2-sz.bmp", "pal8.png"),
                         Renders("q/pal8os2v2-40sz.bmp", "pal8.png"),
                         Refused("q/rgb24rle24.bmp", ImageFileError::Unsupported),
                         Renders("q/rgb16faketrns.bmp", "rgb16.png"),
                         Renders("q/rgb16-231.bmp", "rgb16-231.png"),
                         Renders("q/rgb16-3103.bmp", "rgb16-3103.png"),
                         Renders("q/rgba16-4444.bmp", "rgba16-4444.png"),
                         Renders("q/rgba16-5551.bmp", "rgba16-5551.png"),
                         Renders("q/rgba16-1924.bmp", "rgba16-1924.png"),
                         Renders("q/rgb24largepal.bmp", "rgb24.png"),
                         Renders("q/rgb24lprof.bmp", "rgb24.png"),
                         Refused("q/rgb24jpeg.bmp", ImageFileError::Unsupported),
                         Refused("q/rgb24png.bmp", ImageFileError::Unsupported),
                         Renders("q/rgb32h52.bmp", "rgb24.png"),
                         Renders("q/rgb32-xbgr.bmp", "rgb24.png"),
                         Renders("q/rgb32fakealpha.bmp", "rgb24.png"),
                         RendersNear("q/rgb32-111110.bmp", "rgb24.png"),
                         Renders("q/rgb32-7187.bmp", "rgb32-7187.png"),
                         Renders("q/rgba32-1.bmp", "rgba32.png"),
                         Renders("q/rgba32-2.bmp", "rgba32.png"),
                         Renders("q/rgba32-1010102.bmp", "rgba32-1010102.png"),
                         Renders("q/rgba32-81284.bmp", "rgba32-81284.png"),
                         Renders("q/rgba32-61754.bmp", "rgba32-61754.png"),
                         Renders("q/rgba32abf.bmp", "rgba32.png"),
                         Renders("q/rgba32h56.bmp", "rgba32.png"),
                         Refused("q/rgba64.bmp", ImageFileError::Unsupported),
                     });
}

TEST_F(BmpSuite, BadFilesAreRefusedUnlessOnlyIgnoredFieldsAreWrong) {
    CheckFolder("b",
                {
                    Refused("b/badbitcount.bmp", ImageFileError::Corrupt),
                    Renders("b/badbitssize.bmp", "pal1.png"),
                    Renders("b/baddens1.bmp", "pal1.png"),
                    Renders("b/baddens2.bmp", "pal1.png"),
                    Renders("b/badfilesize.bmp", "pal1.png"),
                    Refused("b/badheadersize.bmp", ImageFileError::Unsupported),
                    Refused("b/badpalettesize.bmp", ImageFileError::Corrupt),
                    Refused("b/badplanes.bmp", ImageFileError::Corrupt),
                    Refused("b/badrle.bmp", ImageFileError::Corrupt),
                    Refused("b/badrlebis.bmp", ImageFileError::Corrupt),
                    Refused("b/badrleter.bmp", ImageFileError::Corrupt),
                    Refused("b/badrle4.bmp", ImageFileError::Corrupt),
                    Refused("b/badrle4bis.bmp", ImageFileError::Corrupt),
                    Refused("b/badrle4ter.bmp", ImageFileError::Corrupt),
                    Refused("b/badwidth.bmp", ImageFileError::Corrupt),
                    Refused("b/pal8badindex.bmp", ImageFileError::Corrupt),
                    Refused("b/reallybig.bmp", ImageFileError::TooLarge),
                    Renders("b/rgb16-880.bmp", "rgb16-880.png"),
                    Refused("b/rletopdown.bmp", ImageFileError::Corrupt),
                },
                {"b/shortfile.bmp"});
}

TEST_F(BmpSuite, ShortFileKeepsTheRowsItHoldsAndZeroesTheRest) {
    // 211 bytes of pixels at 16 bytes a row: 13 bottom rows and 24 pixels of the next.
    const std::string path = (SuiteDir() / "b/shortfile.bmp").string();
    int32_t width = 0, height = 0;
    Pixels pixels(LoadBmpRgba(path.c_str(), &width, &height));
    ASSERT_NE(pixels, nullptr);
    const RgbaImage reference = Reference("pal1.png");
    ASSERT_EQ(width, reference.width);
    ASSERT_EQ(height, reference.height);
    for (int32_t y = 0; y < height; ++y) {
        const int32_t rowFromBottom = height - 1 - y;
        for (int32_t x = 0; x < width; ++x) {
            const bool inFile = rowFromBottom < 13 || (rowFromBottom == 13 && x < 24);
            const unsigned char* p = pixels.get() + (static_cast<size_t>(y) * width + x) * 4;
            const unsigned char* r = reference.rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
            const std::vector<int> got = {p[2], p[1], p[0], p[3]};
            const std::vector<int> want =
                inFile ? std::vector<int>{r[0], r[1], r[2], 255} : std::vector<int>{0, 0, 0, 0};
            ASSERT_EQ(got, want) << "pixel " << x << "," << y;
        }
    }
}

TEST_F(BmpSuite, BitmapArrayContainerIsNotABmp) {
    CheckFolder("x", {Refused("x/ba-bm.bmp", ImageFileError::NotThisFormat)});
}

}  // namespace
