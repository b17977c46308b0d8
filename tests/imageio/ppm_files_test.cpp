// LoadPpmRgb / SavePpmFromRgb: header forms, refusals, row order, and a real file.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "imageio/image_files.h"
#include "tests/imageio/loaded_image.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_data.h"

namespace {

using Bytes = std::vector<unsigned char>;

class PpmFiles : public ::testing::Test {
protected:
    Loaded Load(const std::string& header, const Bytes& raster) {
        Bytes file(header.begin(), header.end());
        file.insert(file.end(), raster.begin(), raster.end());
        WriteFileBytes(path_, file);
        return LoadWith(LoadPpmRgb, path_, 3);
    }

    TempDir dir_;
    const std::string path_ = dir_.file("test.ppm");
};

// Top row 1..6, bottom row 7..12, each pixel R, G, B in the file.
const Bytes kTwoByTwo = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
// Bottom row first and B, G, R in the buffer.
const Bytes kTwoByTwoBuffer = {9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4};

TEST_F(PpmFiles, HeaderSpacingAndCommentsDoNotChangeThePicture) {
    const char* headers[] = {
        "P6\n2 2\n255\n",
        "P6 2 2 255 ",
        "P6\n# first comment\n# second comment\n2 2\n255\n",
        "P6\r\n# CRLF comment\r\n2\r\n2\r\n255\n",
        "P6\n \t2\n\n\n   2#right after a number\n255\r",
        "P6\n2 2\n15\n",  // samples stay as stored, not scaled to 255
    };
    for (const char* header : headers) {
        const Loaded r = Load(header, kTwoByTwo);
        ASSERT_NE(r.pixels, nullptr) << header;
        EXPECT_EQ(r.width, 2);
        EXPECT_EQ(r.height, 2);
        EXPECT_EQ(Bytes(r.pixels.get(), r.pixels.get() + 12), kTwoByTwoBuffer) << header;
    }
}

TEST_F(PpmFiles, BadHeadersAreRefusedAndLeaveTheOutParametersAlone) {
    const struct {
        const char* header;
        ImageFileError error;
    } cases[] = {
        {"", ImageFileError::NotThisFormat},
        {"P5\n2 2\n255\n", ImageFileError::NotThisFormat},
        {"P62 2\n255\n", ImageFileError::NotThisFormat},
        {"P6\n2 2\n", ImageFileError::Corrupt},
        {"P6\n2 2\n# comment to the end", ImageFileError::Corrupt},
        {"P6\n2 2\n255", ImageFileError::Corrupt},
        {"P6\n2 2\n255#no space\n", ImageFileError::Corrupt},
        {"P6\n-2 2\n255\n", ImageFileError::Corrupt},
        {"P6\n2x 2\n255\n", ImageFileError::Corrupt},
        {"P6\nwide 2\n255\n", ImageFileError::Corrupt},
        {"P6\n2 2\n0\n", ImageFileError::Corrupt},
        {"P6\n2 2\n256\n", ImageFileError::Unsupported},
        {"P6\n2 2\n65536\n", ImageFileError::Corrupt},
        {"P6\n16385 16384\n255\n", ImageFileError::TooLarge},
        {"P6\n16384 16384\n255\n", ImageFileError::Corrupt},  // 12 bytes of 768 MiB
        {"P6\n99999999999999999999999 1\n255\n", ImageFileError::TooLarge},
    };
    for (const auto& c : cases) {
        const Loaded r = Load(c.header, kTwoByTwo);
        EXPECT_EQ(r.pixels, nullptr) << c.header;
        EXPECT_EQ(r.error, c.error) << c.header;
        EXPECT_EQ(r.width, -7) << c.header;
        EXPECT_EQ(r.height, -7) << c.header;
    }
    ImageFileError error = ImageFileError::None;
    const std::string absent = dir_.file("absent.ppm");
    EXPECT_EQ(LoadPpmRgb(absent.c_str(), nullptr, nullptr, &error), nullptr);
    EXPECT_EQ(error, ImageFileError::CannotOpen);
}

TEST_F(PpmFiles, ShortRasterReadsAsZero) {
    const Loaded r = Load("P6\n2 2\n255\n", {1, 2, 3, 4, 5, 6, 7});
    ASSERT_NE(r.pixels, nullptr);
    EXPECT_EQ(Bytes(r.pixels.get(), r.pixels.get() + 12), (Bytes{0, 0, 7, 0, 0, 0, 3, 2, 1, 6, 5, 4}));
}

TEST_F(PpmFiles, WriterOutputRoundTripsAtOddWidth) {
    const int32_t width = 641, height = 3;
    Bytes pixels(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i * 13 + i / 7);
    SavePpmFromRgb(path_.c_str(), pixels.data(), width, height);

    const std::string header = "P6\n641 3\n255\n";
    const Bytes file = ReadFileBytes(path_);
    ASSERT_EQ(file.size(), header.size() + pixels.size());
    EXPECT_EQ(std::string(file.begin(), file.begin() + header.size()), header);
    // The file's first pixel is the buffer's top row, red first.
    const size_t top = static_cast<size_t>(width) * 3 * (height - 1);
    EXPECT_EQ(Bytes(file.begin() + header.size(), file.begin() + header.size() + 3),
              (Bytes{pixels[top + 2], pixels[top + 1], pixels[top]}));

    int32_t w = 0, h = 0;
    std::unique_ptr<unsigned char[]> back(LoadPpmRgb(path_.c_str(), &w, &h));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
    EXPECT_EQ(Bytes(back.get(), back.get() + pixels.size()), pixels);
}

TEST_F(PpmFiles, WriterRefusalsAndNullBuffer) {
    const Bytes pixels(12, 5);
    SavePpmFromRgb(path_.c_str(), pixels.data(), -1, 2);
    SavePpmFromRgb(path_.c_str(), pixels.data(), 2, -1);
    EXPECT_FALSE(std::filesystem::exists(path_));

    WriteFileBytes(path_, Bytes(10, 1));
    SavePpmFromRgb(path_.c_str(), nullptr, 2, 2);
    ASSERT_TRUE(std::filesystem::exists(path_));
    EXPECT_TRUE(ReadFileBytes(path_).empty());
}

TEST(PpmAndBmp, ConesLeftViewHasTheSamePixelsInBothFormats) {
    if (SharedTestDataDir().empty()) GTEST_SKIP() << SharedTestDataMissing();
    const std::filesystem::path cones = SharedTestDataDir() / "middlebury" / "cones";
    int32_t pw = 0, ph = 0, bw = 0, bh = 0;
    std::unique_ptr<unsigned char[]> ppm(LoadPpmRgb((cones / "im2.ppm").string().c_str(), &pw, &ph));
    std::unique_ptr<unsigned char[]> bmp(LoadBmpRgb((cones / "im2.bmp").string().c_str(), &bw, &bh));
    ASSERT_NE(ppm, nullptr);
    ASSERT_NE(bmp, nullptr);
    ASSERT_EQ(pw, 450);
    ASSERT_EQ(ph, 375);
    ASSERT_EQ(bw, pw);
    ASSERT_EQ(bh, ph);
    const size_t stride = static_cast<size_t>(pw) * 3;
    for (int32_t y = 0; y < ph; ++y) {
        const unsigned char* ppmRow = ppm.get() + stride * y;
        const unsigned char* bmpRow = bmp.get() + stride * (ph - 1 - y);
        ASSERT_EQ(Bytes(ppmRow, ppmRow + stride), Bytes(bmpRow, bmpRow + stride)) << "row " << y;
    }
}

}  // namespace
