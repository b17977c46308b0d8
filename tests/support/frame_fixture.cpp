#include "tests/support/frame_fixture.h"

#include "imageio/image_files.h"
#include "tests/support/test_data.h"

namespace fs = std::filesystem;

TestImage MakeTestImage(int32_t width, int32_t height, unsigned salt) {
    TestImage image{width, height, std::vector<unsigned char>(static_cast<size_t>(width) * height * 3)};
    unsigned state = 2166136261u ^ salt;
    for (unsigned char& sample : image.pixels) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<unsigned char>(state >> 24);
    }
    return image;
}

TestImage HalveReference(const TestImage& input) {
    TestImage output{input.width / 2, input.height / 2, {}};
    output.pixels.resize(static_cast<size_t>(output.width) * output.height * 3);
    const auto at = [&](int32_t x, int32_t y, int c) {
        return static_cast<int>(input.pixels[(static_cast<size_t>(y) * input.width + x) * 3 + c]);
    };
    for (int32_t y = 0; y < output.height; ++y) {
        for (int32_t x = 0; x < output.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                const int sum = at(2 * x, 2 * y, c) + at(2 * x + 1, 2 * y, c) + at(2 * x, 2 * y + 1, c) +
                                at(2 * x + 1, 2 * y + 1, c);
                output.pixels[(static_cast<size_t>(y) * output.width + x) * 3 + c] =
                    static_cast<unsigned char>((sum + 2) / 4);
            }
        }
    }
    return output;
}

void SaveTestBmp(const fs::path& file, const TestImage& image) {
    SaveBmpFromRgb(file.string().c_str(), image.pixels.data(), image.width, image.height);
}

TestImage LoadTestBmp(const fs::path& file) {
    TestImage image;
    unsigned char* pixels = LoadBmpRgb(file.string().c_str(), &image.width, &image.height);
    if (pixels == nullptr) {
        return TestImage();
    }
    image.pixels.assign(pixels, pixels + static_cast<size_t>(image.width) * image.height * 3);
    delete[] pixels;
    return image;
}

void WriteTestPair(const fs::path& dir, int32_t width, int32_t height) {
    SaveTestBmp(dir / "im2.bmp", MakeTestImage(width, height, 1));
    SaveTestBmp(dir / "im6.bmp", MakeTestImage(width, height, 2));
}

void LayOutRunFolder(const fs::path& dir, const TestImage& left, const TestImage& right) {
    fs::copy_file(KernelSourceFile(), dir / "test.cl", fs::copy_options::overwrite_existing);
    SaveTestBmp(dir / "im2.bmp", left);
    SaveTestBmp(dir / "im6.bmp", right);
}
