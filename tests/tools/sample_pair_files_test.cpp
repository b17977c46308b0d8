#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "imageio/image_files.h"
#include "tests/support/temp_dir.h"
#include "tools/sample_pair_files.h"
#include "tools/sample_scene.h"

namespace fs = std::filesystem;

namespace {

std::vector<unsigned char> LoadBgr(const fs::path& file, int width, int height) {
    int32_t w = 0, h = 0;
    std::unique_ptr<unsigned char[]> pixels(LoadBmpRgb(file.string().c_str(), &w, &h));
    if (!pixels || w != width || h != height) return {};
    return std::vector<unsigned char>(pixels.get(), pixels.get() + w * h * 3);
}

TEST(SamplePairFiles, WritesBothViewsAndTheDisparityAsGrey) {
    TempDir temp;
    const fs::path dir = temp.path() / "run" / "nested";
    const StereoSample sample = GenerateSampleScene();
    ASSERT_EQ(WriteSamplePair(dir, sample), "");

    for (const char* name : {"im2.bmp", "im6.bmp", "true_disparity.bmp"}) {
        EXPECT_EQ(fs::file_size(dir / name), 54u + 1352u * 375u) << name;
    }
    EXPECT_TRUE(LoadBgr(dir / "im2.bmp", 450, 375) == sample.left);
    EXPECT_TRUE(LoadBgr(dir / "im6.bmp", 450, 375) == sample.right);

    const std::vector<unsigned char> grey = LoadBgr(dir / "true_disparity.bmp", 450, 375);
    ASSERT_EQ(grey.size(), sample.disparity.size() * 3);
    for (std::size_t i = 0; i < sample.disparity.size(); ++i) {
        const int expected = sample.disparity[i] * 4;
        ASSERT_TRUE(grey[3 * i] == expected && grey[3 * i + 1] == expected && grey[3 * i + 2] == expected)
            << "pixel " << i;
    }
}

TEST(SamplePairFiles, NamesTheFileThatCouldNotBeWritten) {
    TempDir temp;
    fs::create_directories(temp.path() / "im6.bmp" / "in-the-way");
    EXPECT_EQ(WriteSamplePair(temp.path(), GenerateSampleScene()), (temp.path() / "im6.bmp").string());
    EXPECT_EQ(fs::file_size(temp.path() / "im2.bmp"), 54u + 1352u * 375u);
}

}  // namespace
