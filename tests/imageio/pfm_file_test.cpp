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

TEST(PfmFile, ReadsWhatItWritesEitherByteOrderAndRefusesOthersInOneLine) {
    TempDir dir;
    const float values[] = {0.0f, 1.5f, -2.0f, std::numeric_limits<float>::infinity(), 64.25f, 7.0f};
    ASSERT_TRUE(SavePfmGrey(dir.file("map.pfm").c_str(), values, 3, 2));
    const std::vector<unsigned char> written = ReadFileBytes(dir.file("map.pfm"));
    // The same map big-endian, with a header spread over spaces.
    std::vector<unsigned char> bigEndian = {'P', 'f', ' ', '3', '\n', ' ', '2', ' ', '1', '.', '0', '\n'};
    for (size_t i = 10; i < written.size(); i += 4) {
        bigEndian.insert(bigEndian.end(), {written[i + 3], written[i + 2], written[i + 1], written[i]});
    }
    WriteFileBytes(dir.file("big.pfm"), bigEndian);
    for (const char* name : {"map.pfm", "big.pfm"}) {
        std::vector<float> read;
        int32_t width = 0;
        int32_t height = 0;
        ASSERT_EQ(LoadPfmGrey(dir.file(name), &read, &width, &height), "") << name;
        EXPECT_EQ(width, 3);
        EXPECT_EQ(height, 2);
        EXPECT_EQ(read, std::vector<float>(values, values + 6)) << name;
    }

    const std::vector<unsigned char> body(written.begin() + 10, written.end());
    const auto with = [&](const std::string& header, size_t cut = 0) {
        std::vector<unsigned char> bytes(header.begin(), header.end());
        bytes.insert(bytes.end(), body.begin(), body.end() - static_cast<std::ptrdiff_t>(cut));
        return bytes;
    };
    struct Case {
        std::vector<unsigned char> bytes;
        const char* message;
    };
    const Case cases[] = {
        {with("PF\n3 2\n-1\n"), "is not a grey float map (PFM)"},
        {with("Pf\n3 2\n0\n"), "is not a grey float map (PFM)"},
        {with("Pf\n3 -2\n-1\n"), "is not a grey float map (PFM)"},
        {with("Pf\n3 2x\n-1\n"), "is not a grey float map (PFM)"},
        {with("Pf\n3 2\n-1\n", 1), "holds 33 bytes where its header declares 34"},
        {with("Pf\n3 1\n-1\n"), "holds 34 bytes where its header declares 22"},
        {with("Pf\n99999 99999\n-1\n"), "declares 99999 x 99999 pixels"},
        {with("Pf\n0 2\n-1\n"), "declares 0 x 2 pixels"},
        {{'P', 'f'}, "is not a grey float map (PFM)"},
    };
    for (const Case& c : cases) {
        WriteFileBytes(dir.file("bad.pfm"), c.bytes);
        std::vector<float> read = {42.0f};
        int32_t width = -1;
        const std::string message = LoadPfmGrey(dir.file("bad.pfm"), &read, &width, &width);
        EXPECT_EQ(message.rfind(dir.file("bad.pfm") + " ", 0), 0u) << message;
        EXPECT_NE(message.find(c.message), std::string::npos) << c.message << "\n gave: " << message;
        EXPECT_EQ(width, -1);
    }
    std::vector<float> read;
    int32_t size = 0;
    EXPECT_EQ(LoadPfmGrey(dir.file("none.pfm"), &read, &size, &size),
              dir.file("none.pfm") + " cannot be opened");
    EXPECT_EQ(LoadPfmGrey(dir.path().string(), &read, &size, &size),
              dir.path().string() + " is not a regular file");
}

}  // namespace
