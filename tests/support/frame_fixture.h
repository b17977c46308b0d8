#pragma once
#include <cstdint>
#include <filesystem>
#include <vector>

// A 3-byte-per-pixel picture, row 0 on top, as the program's image files hold it.
struct TestImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<unsigned char> pixels;
};

// Every sample differs from its neighbours, so a shifted or flipped result shows.
TestImage MakeTestImage(int32_t width, int32_t height, unsigned salt);
// The halved picture the program must produce: each sample the 2 x 2 mean, rounded half up.
TestImage HalveReference(const TestImage& input);

void SaveTestBmp(const std::filesystem::path& file, const TestImage& image);
// Reads a BMP back; an empty image when the file cannot be read.
TestImage LoadTestBmp(const std::filesystem::path& file);

// im2.bmp and im6.bmp of one size in `dir`, from salts 1 and 2.
void WriteTestPair(const std::filesystem::path& dir, int32_t width, int32_t height);
// test.cl, im2.bmp and im6.bmp in `dir`, ready for a frame.
void LayOutRunFolder(const std::filesystem::path& dir, const TestImage& left, const TestImage& right);
