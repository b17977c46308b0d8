// Pictures at their files' own precision: every PNG, JPEG and PNM form made by
// ImageMagick from the sample pair and checked against ImageMagick's own reading;
// files that are cut short, damaged or refused; and the 16-bit PNG writer read back.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "imageio/crc32.h"
#include "imageio/sample_image.h"
#include "tests/support/imagemagick.h"
#include "tests/support/temp_dir.h"
#include "tools/sample_pair_files.h"
#include "tools/sample_scene.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct Variant {
    const char* options;  // convert's options, then the format and the file's suffix
    const char* format;
    int channels;
    int bitDepth;
    // What the file must hold, so that a writer falling back to another form cannot
    // hollow the case out: for PNG the IHDR's bit depth, colour type and interlace
    // method; for JPEG the start-of-frame marker (0xC0 baseline, 0xC2 progressive).
    int pngDepth = -1, pngColourType = -1, pngInterlace = 0;
    int jpegFrame = -1;
};

#define KORR_PNG(type, depth) "-define png:color-type=" #type " -define png:bit-depth=" #depth
const Variant kVariants[] = {
    {"-colorspace Gray -depth 8 " KORR_PNG(0, 8), "png", 1, 8, 8, 0},
    {"-colorspace Gray " KORR_PNG(0, 16), "png", 1, 16, 16, 0},
    {"-colorspace Gray -depth 4 " KORR_PNG(0, 4), "png", 1, 8, 4, 0},  // widened to 8 bits
    {"-colorspace Gray -alpha copy -depth 8 " KORR_PNG(4, 8), "png", 2, 8, 8, 4},
    {"-colorspace Gray -alpha copy " KORR_PNG(4, 16), "png", 2, 16, 16, 4},
    {"-depth 8 " KORR_PNG(2, 8), "png", 3, 8, 8, 2},
    {KORR_PNG(2, 16), "png", 3, 16, 16, 2},
    {"-alpha copy -depth 8 " KORR_PNG(6, 8), "png", 4, 8, 8, 6},
    {"-alpha copy " KORR_PNG(6, 16), "png", 4, 16, 16, 6},
    {"-depth 8 -colors 200 " KORR_PNG(3, 8), "png", 3, 8, 8, 3},
    {"-depth 8 -colors 12 " KORR_PNG(3, 4), "png", 3, 8, 4, 3},
    {"-alpha copy -colors 100", "png8", 4, 8, 8, 3},  // transparency in the palette
    {"-interlace PNG -depth 8 " KORR_PNG(2, 8), "png", 3, 8, 8, 2, 1},
    {"-interlace PNG -colorspace Gray -alpha copy " KORR_PNG(4, 16), "png", 2, 16, 16, 4, 1},
    {"-quality 92", "jpg", 3, 8, -1, -1, 0, 0xC0},
    {"-quality 92 -sampling-factor 1x1", "jpg", 3, 8, -1, -1, 0, 0xC0},
    {"-quality 92 -interlace JPEG", "jpg", 3, 8, -1, -1, 0, 0xC2},
    {"-quality 92 -colorspace Gray", "jpg", 1, 8, -1, -1, 0, 0xC0},
    {"-quality 92 -colorspace Gray -interlace JPEG", "jpg", 1, 8, -1, -1, 0, 0xC2},
    {"-colorspace Gray -depth 8", "pgm", 1, 8},
    {"-colorspace Gray -depth 16", "pgm", 1, 16},
    {"-colorspace Gray -depth 10", "pgm", 1, 16},  // maxval 1023, scaled to 16 bits
    {"-depth 8", "ppm", 3, 8},
    {"-depth 16", "ppm", 3, 16},
    {"-depth 8", "bmp", 3, 8},
};
#undef KORR_PNG

bool HoldsWhatWasMeant(const Bytes& file, const Variant& v) {
    if (v.pngDepth >= 0)
        return file.size() > 28 && file[24] == v.pngDepth && file[25] == v.pngColourType &&
               file[28] == v.pngInterlace;
    if (v.jpegFrame >= 0) {
        for (size_t i = 0; i + 1 < file.size(); ++i)
            if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2))
                return file[i + 1] == v.jpegFrame;
        return false;
    }
    return true;
}

// Red, green, blue and alpha of each pixel at 16 bits, as the reference gives them.
std::vector<uint16_t> AsRgba16(const SampleImage& image) {
    std::vector<uint16_t> rgba;
    const int scale = image.iBitDepth == 16 ? 1 : 257;
    for (size_t i = 0; i < image.vSamples.size(); i += image.iChannels) {
        const uint16_t* p = &image.vSamples[i];
        const bool colour = image.iChannels >= 3;
        const bool alpha = image.iChannels % 2 == 0;
        rgba.push_back(static_cast<uint16_t>(p[0] * scale));
        rgba.push_back(static_cast<uint16_t>(p[colour ? 1 : 0] * scale));
        rgba.push_back(static_cast<uint16_t>(p[colour ? 2 : 0] * scale));
        rgba.push_back(static_cast<uint16_t>(alpha ? p[image.iChannels - 1] * scale : 65535));
    }
    return rgba;
}

// A raw file of little-endian 16-bit samples.
std::vector<uint16_t> ReadLe16Samples(const std::string& file) {
    const Bytes bytes = ReadFileBytes(file);
    std::vector<uint16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return samples;
}

// A 16 x 16 grey PNG whose one IDAT chunk inflates to `unpacked` zero bytes.
Bytes PngOfZeros(size_t unpacked) {
    Bytes raw(unpacked, 0);
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    Bytes packed(packedSize);
    compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9);
    packed.resize(packedSize);
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&png](const char* type, const Bytes& data) {
        for (int shift = 24; shift >= 0; shift -= 8)
            png.push_back(static_cast<unsigned char>(data.size() >> shift));
        const size_t start = png.size();
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), data.begin(), data.end());
        const uint32_t crc = Crc32(&png[start], png.size() - start);
        for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<unsigned char>(crc >> shift));
    };
    chunk("IHDR", {0, 0, 0, 16, 0, 0, 0, 16, 8, 0, 0, 0, 0});
    chunk("IDAT", packed);
    chunk("IEND", {});
    return png;
}

class SampleImageFiles : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveImageMagick()) GTEST_SKIP() << ImageMagickMissing();
        ASSERT_EQ(WriteSamplePair(dir.path(), GenerateSampleScene()), "");
        // A corner of the left view, blurred at 16 bits so that the 16-bit forms hold
        // samples that no 8-bit picture has.
        ASSERT_TRUE(Convert(Quoted(dir.file("im2.bmp")) +
                            " -crop 123x91+160+140 +repage -blur 0x0.8 -depth 16 " + Quoted(source)));
    }
    // Makes the variant of the source; false when convert failed.
    bool Make(const Variant& v, std::string* file) {
        *file = dir.file(std::string("variant.") + v.format);
        return Convert(Quoted(source) + " " + v.options + " " + v.format + ":" + Quoted(*file));
    }
    TempDir dir;
    const std::string source = dir.file("source.png");
};

TEST_F(SampleImageFiles, EveryFormDecodesAsImageMagickReadsIt) {
    for (const Variant& v : kVariants) {
        SCOPED_TRACE(std::string(v.format) + ": " + v.options);
        std::string file;
        ASSERT_TRUE(Make(v, &file));
        ASSERT_TRUE(HoldsWhatWasMeant(ReadFileBytes(file), v));
        const std::string reference = dir.file("reference.rgba");
        ASSERT_TRUE(Convert(Quoted(file) + " -depth 16 -endian LSB rgba:" + Quoted(reference)));

        SampleImage image;
        ASSERT_EQ(ReadSampleImage(file, &image), "");
        EXPECT_EQ(image.iWidth, 123);
        EXPECT_EQ(image.iHeight, 91);
        EXPECT_EQ(image.iChannels, v.channels);
        EXPECT_EQ(image.iBitDepth, v.bitDepth);
        ASSERT_EQ(image.vSamples.size(), size_t{123} * 91 * v.channels);
        const std::vector<uint16_t> ours = AsRgba16(image);
        const std::vector<uint16_t> theirs = ReadLe16Samples(reference);
        ASSERT_EQ(ours.size(), theirs.size());
        // JPEG decoders differ in their rounding; the others agree to the sample.
        int largest = 0;
        double sum = 0;
        for (size_t i = 0; i < ours.size(); ++i) {
            const int difference = std::abs(ours[i] - theirs[i]);
            largest = std::max(largest, difference);
            sum += difference;
        }
        if (v.jpegFrame >= 0) {
            EXPECT_LE(largest, 8 * 257);
            EXPECT_LE(sum / static_cast<double>(ours.size()), 0.5 * 257);
        } else {
            EXPECT_EQ(largest, 0);
        }
    }
}

TEST_F(SampleImageFiles, DamagedCutShortOrRefusedFilesAreOneLineAndChangeNothing) {
    std::string png, jpeg, ppm16;
    ASSERT_TRUE(Make({"-depth 8", "png", 3, 8}, &png));
    ASSERT_TRUE(Make({"-quality 92", "jpg", 3, 8}, &jpeg));
    ASSERT_TRUE(Make({"-depth 16", "ppm", 3, 16}, &ppm16));
    const Bytes pngBytes = ReadFileBytes(png);
    const Bytes jpegBytes = ReadFileBytes(jpeg);
    const Bytes ppmBytes = ReadFileBytes(ppm16);
    const auto with = [](Bytes bytes, size_t at, std::vector<unsigned char> values) {
        std::copy(values.begin(), values.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return bytes;
    };
    // The chunk starting at `at` with its CRC made to match again, so that the decoder sees it.
    const auto resealed = [](Bytes bytes, size_t at) {
        const size_t length = size_t{bytes[at]} << 24 | size_t{bytes[at + 1]} << 16 |
                              size_t{bytes[at + 2]} << 8 | bytes[at + 3];
        const uint32_t crc = Crc32(&bytes[at + 4], 4 + length);
        for (int i = 0; i < 4; ++i)
            bytes[at + 8 + length + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
        return bytes;
    };
    const auto cut = [](const Bytes& bytes, size_t size) {
        return Bytes(bytes.begin(), bytes.begin() + size);
    };
    // The first byte of the first IDAT chunk's data.
    const size_t idat =
        std::search(pngBytes.begin(), pngBytes.end(), "IDAT", "IDAT" + 4) - pngBytes.begin() + 4;
    const auto marker = [&jpegBytes](unsigned char code) {
        const unsigned char pattern[2] = {0xFF, code};
        return static_cast<size_t>(std::search(jpegBytes.begin(), jpegBytes.end(), pattern, pattern + 2) -
                                   jpegBytes.begin());
    };
    const size_t frame = marker(0xC0);
    const size_t table = marker(0xC4);
    const size_t scan = marker(0xDA);

    struct Case {
        const char* name;
        Bytes bytes;
        std::string line;  // after the file's name
    };
    const Case cases[] = {
        {"cut.png", cut(pngBytes, pngBytes.size() / 2),
         " is incomplete: the PNG file ends before its IEND chunk"},
        {"cut.jpg", cut(jpegBytes, jpegBytes.size() / 2),
         " is incomplete: the JPEG file ends before its end-of-image marker"},
        {"depth3.png", resealed(with(pngBytes, 24, {3}), 8),
         " cannot be decoded: PNG not supported: 1/2/4/8/16-bit only"},
        {"flipped.png", with(pngBytes, idat, {0xFF, 0xFF, 0xFF, 0xFF}),
         " is damaged: the CRC of the IDAT chunk at byte " + std::to_string(idat - 8) + " does not match"},
        {"stream.png", resealed(with(pngBytes, idat, {0xFF, 0xFF, 0xFF, 0xFF}), idat - 8),
         " cannot be decoded: Corrupt PNG"},
        {"long.png", with(pngBytes, idat - 8, {0x7F, 0xFF, 0xFF, 0xFF}),
         " cannot be decoded: a chunk runs past the end of the file"},
        {"bomb.png", PngOfZeros(64 << 20),
         " cannot be decoded: its data unpacks to more than the picture holds"},
        {"huge.png", resealed(with(pngBytes, 16, {0, 0, 0x4E, 0x20, 0, 0, 0x3A, 0x98}), 8), " is too large"},
        {"12bit.jpg", with(jpegBytes, frame + 4, {12}),
         " cannot be decoded: JPEG format not supported: 8-bit only"},
        {"codes.jpg", with(jpegBytes, table + 5, {200, 200}),
         " cannot be decoded: Corrupt JPEG (a Huffman table of more than 256 codes)"},
        {"slot.jpg", with(jpegBytes, scan + 6, {0x33}),
         " cannot be decoded: Corrupt JPEG (a scan uses a Huffman table that the file has not defined before "
         "it)"},
        {"quantisation.jpg", with(jpegBytes, frame + 12, {2}),
         " cannot be decoded: Corrupt JPEG (a scan comes before the quantisation tables that the frame "
         "names)"},
        {"cut.ppm", cut(ppmBytes, ppmBytes.size() - 1),
         " is incomplete: it holds " + std::to_string(ppmBytes.size() - 1) + " of " +
             std::to_string(ppmBytes.size()) + " bytes"},
        {"text.png", Bytes{'h', 'i', '\n'}, " is not a PNG, JPEG, BMP or binary PPM/PGM file"},
        {"zero.pgm", Bytes{'P', '5', '\t', '0', '0', '0', '\t', '2', '2', '2', '\t', '5', '\t'},
         " holds no pixels: it is 0 x 222"},
        {"empty.png", Bytes{}, " is empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.file(c.name);
        WriteFileBytes(file, c.bytes);
        SampleImage image;
        image.iWidth = 7;
        EXPECT_EQ(ReadSampleImage(file, &image), file + c.line);
        EXPECT_EQ(image.iWidth, 7);
        EXPECT_TRUE(image.vSamples.empty());
    }

    // A size check refuses from the header, in its own words.
    SampleImage image;
    EXPECT_EQ(
        ReadSampleImage(png, &image,
                        [](int32_t w, int32_t h) { return std::to_string(w) + " by " + std::to_string(h); }),
        "123 by 91");
    EXPECT_TRUE(image.vSamples.empty());
}

// Stored blocks hold 65535 bytes each; this picture needs three, and its odd sizes
// leave partial rows at the blocks' edges.
TEST_F(SampleImageFiles, SixteenBitGreyPngReadsBackHereAndInImageMagick) {
    const int32_t width = 301, height = 123;
    std::vector<uint16_t> samples(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint16_t>(i * 40503u + (i >> 7));
    const std::string file = dir.file("grey16.png");
    WriteFileBytes(file, {'o', 'l', 'd'});
    ASSERT_EQ(WritePngGrey16(file, samples.data(), width, height), "");

    SampleImage image;
    ASSERT_EQ(ReadSampleImage(file, &image), "");
    EXPECT_EQ(image.iWidth, width);
    EXPECT_EQ(image.iHeight, height);
    EXPECT_EQ(image.iChannels, 1);
    EXPECT_EQ(image.iBitDepth, 16);
    EXPECT_EQ(image.vSamples, samples);
    // libpng, under ImageMagick, checks every CRC and the Adler-32 of the stream.
    const std::string reference = dir.file("reference.gray");
    ASSERT_TRUE(Convert(Quoted(file) + " -depth 16 -endian LSB gray:" + Quoted(reference)));
    const std::vector<uint16_t> theirs = ReadLe16Samples(reference);
    EXPECT_EQ(theirs, samples);

    EXPECT_NE(WritePngGrey16(dir.file("no/such/folder.png"), samples.data(), width, height), "");
    EXPECT_EQ(WritePngGrey16(file, samples.data(), 0, height), "no picture to write");
    EXPECT_EQ(NamesBesides(dir.path(), {"grey16.png", "reference.gray", "im2.bmp", "im6.bmp",
                                        "true_disparity.bmp", "source.png"}),
              std::vector<std::string>{});
}

}  // namespace
