#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "imageio/pfm_file.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(PfmFile, HeaderThenLittleEndianRowsBottomFirst) {
    TempDir dir;
    const float values[] = {0.0f, 1.5f, -2.0f, std::numeric_limits<float>::infinity(), 64.25f, 7.0f};
    ASSERT_TRUE(SavePfmGrey(dir.file("map.pfm").c_str(), values, 3, 2));

    const std::vector<unsigned char> bytes = ReadFileBytes(dir.file("map.pfm"));
    const std::string header = "Pf\n3 2\n-1\n";
    ASSERT_EQ(bytes.size(), header.size() + 6 * 4);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(header.size())), header);
    const float fileOrder[] = {values[3], values[4], values[5], values[0], values[1], values[2]};
    for (size_t i = 0; i < 6; ++i) {
        const unsigned char* b = &bytes[header.size() + 4 * i];
        const uint32_t bits = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
        float value = 0.0f;
        std::memcpy(&value, &bits, 4);
        EXPECT_EQ(value, fileOrder[i]) << "sample " << i;
    }
}

TEST(PfmFile, WhatCannotBeWrittenIsReported) {
    TempDir dir;
    const float value = 1.0f;
    EXPECT_FALSE(SavePfmGrey(dir.file("no/folder.pfm").c_str(), &value, 1, 1));
    EXPECT_FALSE(SavePfmGrey(dir.path().string().c_str(), &value, 1, 1));  // a folder
    EXPECT_FALSE(SavePfmGrey(dir.file("empty.pfm").c_str(), &value, 0, 1));
    EXPECT_FALSE(SavePfmGrey(dir.file("none.pfm").c_str(), nullptr, 1, 1));
    if (std::FILE* full = std::fopen("/dev/full", "wb")) {
        std::fclose(full);
        EXPECT_FALSE(SavePfmGrey("/dev/full", &value, 1, 1)) << "a full disk";
    }
}

}  // namespace
