// BMP files as ImageMagick writes them, made from the project's own sample pair,
// against ImageMagick's own reading of each.

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "imageio/image_files.h"
#include "imageio/little_endian.h"
#include "tests/support/imagemagick.h"
#include "tests/support/temp_dir.h"
#include "tools/sample_pair_files.h"
#include "tools/sample_scene.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct Variant {
    const char* format;
    const char* options;
    // Bits each of red, green, blue and alpha keeps in the file. The two readers widen
    // narrow channels differently (ImageMagick gives 4-bit 15 as 240 and 1-bit
    // alpha as 128), so those are compared at the file's own precision.
    int bits[4] = {8, 8, 8, 8};
};

const Variant kVariants[] = {
    {"BMP2", "-type bilevel"},
    {"BMP2", "-colors 16 -type palette"},
    {"BMP2", "-colors 256 -type palette"},
    {"BMP2", "-type truecolor"},
    {"BMP3", "-type bilevel"},
    {"BMP3", "-colors 16 -type palette"},
    {"BMP3", "-colors 256 -type palette -compress none"},
    {"BMP3", "-colors 256 -type palette -compress RLE"},  // each row's padding a run past its end
    {"BMP3", "-colors 16 -type palette -compress RLE"},   // no RLE4 writer: RLE8 again
    {"BMP3", "-type truecolor"},
    {"BMP3", "-alpha copy -type truecoloralpha"},  // no alpha in this version: 24 bits
    {"BMP", "-type bilevel"},                      // the version 4 header
    {"BMP", "-colors 16 -type palette"},           // and version 5 from here on
    {"BMP", "-colors 256 -type palette"},
    {"BMP", "-type truecolor"},
    {"BMP", "-alpha copy -type truecoloralpha"},
    {"BMP", "-define bmp:subtype=RGB565", {5, 6, 5, 8}},
    {"BMP", "-define bmp:subtype=RGB555", {5, 5, 5, 8}},
    {"BMP", "-alpha copy -define bmp:subtype=ARGB1555", {5, 5, 5, 1}},
    {"BMP", "-alpha copy -define bmp:subtype=ARGB4444", {4, 4, 4, 4}},
};

// Bits per pixel, and the compression of a Windows header (0 for an OS/2 one).
std::pair<int, uint32_t> PixelFormat(const Bytes& file) {
    if (file.size() < 34) return {0, 0};
    if (ReadLe32(&file[14]) == 12) return {ReadLe16(&file[24]), 0};
    return {ReadLe16(&file[28]), ReadLe32(&file[30])};
}

// The first pixel whose channels differ at the file's precision, or "".
std::string Mismatch(const unsigned char* pixels, bool redFirst, const Bytes& reference, const Variant& v) {
    for (size_t i = 0; i + 4 <= reference.size(); i += 4) {
        const unsigned char* p = pixels + i;
        const int ours[4] = {redFirst ? p[0] : p[2], p[1], redFirst ? p[2] : p[0], p[3]};
        for (int c = 0; c < 4; ++c) {
            const int shift = 8 - v.bits[c];
            if ((ours[c] >> shift) != (reference[i + c] >> shift))
                return "pixel " + std::to_string(i / 4) + " channel " + std::to_string(c) + ": " +
                       std::to_string(ours[c]) + " against " + std::to_string(reference[i + c]);
        }
    }
    return "";
}

// The sample pair's left view, im2.bmp, is the source of every variant.
class ImageMagickBmp : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveImageMagick()) GTEST_SKIP() << ImageMagickMissing();
        ASSERT_EQ(WriteSamplePair(dir.path(), GenerateSampleScene()), "");
    }
    TempDir dir;
};

TEST_F(ImageMagickBmp, EveryVariantDecodesAsImageMagickReadsIt) {
    const std::string source = dir.file("im2.bmp");

    std::set<int> bitCounts;
    bool sawRle8 = false;
    for (const Variant& v : kVariants) {
        SCOPED_TRACE(std::string(v.format) + " " + v.options);
        const std::string file = dir.file("variant.bmp");
        const std::string reference = dir.file("reference.rgba");
        ASSERT_TRUE(Convert(Quoted(source) + " " + v.options + " " + v.format + ":" + Quoted(file)));
        ASSERT_TRUE(Convert(Quoted(file) + " -depth 8 rgba:" + Quoted(reference)));

        const auto [bitCount, compression] = PixelFormat(ReadFileBytes(file));
        bitCounts.insert(bitCount);
        sawRle8 = sawRle8 || compression == 1;

        int32_t width = 0, height = 0;
        ImageFileError error = ImageFileError::None;
        std::unique_ptr<unsigned char[]> pixels(LoadBmpRgba(file.c_str(), &width, &height, &error));
        ASSERT_NE(pixels, nullptr) << DescribeImageFileError(error);
        const Bytes expected = ReadFileBytes(reference);
        ASSERT_EQ(expected.size(), static_cast<size_t>(width) * height * 4);
        EXPECT_EQ(Mismatch(pixels.get(), bitCount == 24, expected, v), "");
    }
    EXPECT_EQ(bitCounts, (std::set<int>{1, 4, 8, 16, 24, 32}));
    EXPECT_TRUE(sawRle8);
}

// This version writes 16-bit BMP3 files that say their masks follow the header but
// put the pixels there instead; it reads them back as black. They are damaged.
TEST_F(ImageMagickBmp, SixteenBitBmp3WithoutMasksIsRefused) {
    const std::string file = dir.file("rgb565.bmp");
    ASSERT_TRUE(Convert(Quoted(dir.file("im2.bmp")) + " -define bmp:subtype=RGB565 BMP3:" + Quoted(file)));
    const Bytes bytes = ReadFileBytes(file);
    ASSERT_GE(bytes.size(), 54u);
    if (ReadLe32(&bytes[10]) != 54 || PixelFormat(bytes).second != 3)
        GTEST_SKIP() << "this version writes the masks";
    int32_t width = 0, height = 0;
    ImageFileError error = ImageFileError::None;
    EXPECT_EQ(LoadBmpRgba(file.c_str(), &width, &height, &error), nullptr);
    EXPECT_EQ(error, ImageFileError::Corrupt);
}

}  // namespace
