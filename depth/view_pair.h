#pragma once
// korrdepth's stereo pair: two files of one size, each a PNG, JPEG, BMP or binary
// PPM/PGM file, told apart by their content (see imageio/sample_image.h).

#include <cstdint>
#include <memory>
#include <string>

struct ViewPair {
    std::unique_ptr<unsigned char[]> pLeft;  // 3 samples per pixel, blue-green-red, row 0 on top
    std::unique_ptr<unsigned char[]> pRight;
    int32_t iWidth = 0;
    int32_t iHeight = 0;
};

// The smallest keeps 2 x 2 pixels on four pyramid levels.
constexpr int32_t kMinViewSize = 16;
constexpr int32_t kMaxViewSize = 8192;

// Empty when both views were read and can be matched; otherwise why not, naming the file.
std::string ReadViewPair(const std::string& leftFile, const std::string& rightFile, ViewPair* pPair);
