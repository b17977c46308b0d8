// SaveBmpFromRgb / SaveBmpFromRgba: exact bytes, and what the readers make of them.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "imageio/image_files.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Never zero, so a zero in a written file can only be padding.
Bytes NonZero(size_t count) {
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(1 + i * 7 % 255);
    return bytes;
}

class BmpWriter : public ::testing::Test {
protected:
    TempDir dir_;
    const std::string path_ = dir_.file("out.bmp");
};

TEST_F(BmpWriter, FiveByTwoFileHasTheExactBytes) {
    const Bytes pixels = NonZero(30);
    SaveBmpFromRgb(path_.c_str(), pixels.data(), 5, 2);

    Bytes expected = {'B', 'M', 86, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
                      40,  0,   0,  0, 5, 0, 0, 0, 2, 0, 0,  0, 1, 0, 24, 0};
    expected.resize(54, 0);  // no compression, sizes, resolution or colour counts
    expected.insert(expected.end(), pixels.begin() + 15, pixels.end());  // bottom row first
    expected.push_back(0);
    expected.insert(expected.end(), pixels.begin(), pixels.begin() + 15);
    expected.push_back(0);
    EXPECT_EQ(ReadFileBytes(path_), expected);
}

TEST_F(BmpWriter, OddWidthsRoundTripWithZeroPadding) {
    const size_t strides[] = {4, 8, 12, 12, 16};
    for (int32_t width = 1; width <= 5; ++width) {
        for (int32_t height = 1; height <= 3; ++height) {
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
            const Bytes rgb = NonZero(static_cast<size_t>(width) * height * 3);
            SaveBmpFromRgb(path_.c_str(), rgb.data(), width, height);
            const Bytes file = ReadFileBytes(path_);
            const size_t stride = strides[width - 1];
            ASSERT_EQ(file.size(), 54 + stride * height);
            for (size_t row = 0; row < static_cast<size_t>(height); ++row)
                for (size_t pad = 3 * width; pad < stride; ++pad) EXPECT_EQ(file[54 + row * stride + pad], 0);
            int32_t w = 0, h = 0;
            std::unique_ptr<unsigned char[]> back(LoadBmpRgb(path_.c_str(), &w, &h));
            ASSERT_NE(back, nullptr);
            ASSERT_EQ(std::make_pair(w, h), std::make_pair(width, height));
            EXPECT_EQ(Bytes(back.get(), back.get() + rgb.size()), rgb);

            // The fourth byte is never written, and the 4-sample reader gives a
            // 24-bit file back red first.
            const Bytes rgba = NonZero(static_cast<size_t>(width) * height * 4);
            SaveBmpFromRgba(path_.c_str(), rgba.data(), width, height);
            back.reset(LoadBmpRgba(path_.c_str(), &w, &h));
            ASSERT_NE(back, nullptr);
            for (size_t i = 0; i < rgba.size(); i += 4)
                ASSERT_EQ(Bytes(back.get() + i, back.get() + i + 4),
                          (Bytes{rgba[i + 2], rgba[i + 1], rgba[i], 255}));
        }
    }
}

TEST_F(BmpWriter, EmptyPictureIsAHeaderOnlyFile) {
    const Bytes pixels(1, 0);
    SaveBmpFromRgb(path_.c_str(), pixels.data(), 0, 3);
    EXPECT_EQ(ReadFileBytes(path_).size(), 54u);
    int32_t width = -1, height = -1;
    std::unique_ptr<unsigned char[]> back(LoadBmpRgb(path_.c_str(), &width, &height));
    EXPECT_NE(back, nullptr);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(0, 3));
}

TEST_F(BmpWriter, NullBufferEmptiesTheFileAndImpossibleSizesTouchNone) {
    const Bytes previous = {'o', 'l', 'd'};
    WriteFileBytes(path_, previous);
    const Bytes pixels(16, 9);  // never read: every size here is refused first
    const std::string absent = dir_.file("absent.bmp");
    const std::pair<int32_t, int32_t> sizes[] = {
        {-1, 2}, {2, -1}, {INT32_MIN, INT32_MIN}, {INT32_MAX, 1}, {30000, 50000}};
    for (const auto& size : sizes) {
        SaveBmpFromRgb(path_.c_str(), pixels.data(), size.first, size.second);
        SaveBmpFromRgba(absent.c_str(), pixels.data(), size.first, size.second);
        EXPECT_EQ(ReadFileBytes(path_), previous) << size.first << "x" << size.second;
        EXPECT_FALSE(std::filesystem::exists(absent)) << size.first << "x" << size.second;
    }
    SaveBmpFromRgba(path_.c_str(), nullptr, 2, 2);
    ASSERT_TRUE(std::filesystem::exists(path_));
    EXPECT_TRUE(ReadFileBytes(path_).empty());
}

}  // namespace
