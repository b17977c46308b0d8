// LoadBmpRgb / LoadBmpRgba on small files built byte by byte.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imageio/bmp_file.h"
#include "imageio/image_files.h"
#include "imageio/reader_limits.h"
#include "tests/imageio/bmp_builder.h"
#include "tests/imageio/loaded_image.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;

enum Compression : uint32_t { kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6 };

class BmpReader : public ::testing::Test {
protected:
    Loaded Load(const Bytes& file, bool withAlpha) {
        const std::string path = dir_.file("test.bmp");
        WriteFileBytes(path, file);
        return withAlpha ? LoadWith(LoadBmpRgba, path, 4) : LoadWith(LoadBmpRgb, path, 3);
    }
    Loaded Load(const BmpFields& fields, bool withAlpha) { return Load(fields.Bytes(), withAlpha); }

    TempDir dir_;
};

BmpFields TwentyFourBit(int32_t width, int32_t height, Bytes pixels) {
    BmpFields fields;
    fields.width = width;
    fields.height = height;
    fields.pixels = std::move(pixels);
    return fields;
}

// Two rows of five pixels; each row ends in a 0xEE pad byte the reader must drop.
const Bytes kFiveByTwo = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 0xEE,
                          21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 0xEE};

TEST_F(BmpReader, RowsArriveTopRowFirstWithoutPadding) {
    const Loaded rgb = Load(TwentyFourBit(5, 2, kFiveByTwo), false);
    ASSERT_NE(rgb.pixels, nullptr);
    EXPECT_EQ(rgb.error, ImageFileError::None);
    EXPECT_EQ(std::make_pair(rgb.width, rgb.height), std::make_pair(5, 2));
    EXPECT_EQ(rgb.samples, (Bytes{21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35,
                                  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15}));

    // Callers of the 4-sample reader expect 24-bit files red first.
    const Loaded rgba = Load(TwentyFourBit(5, 2, kFiveByTwo), true);
    ASSERT_NE(rgba.pixels, nullptr);
    EXPECT_EQ(Bytes(rgba.samples.begin(), rgba.samples.begin() + 8),
              (Bytes{23, 22, 21, 255, 26, 25, 24, 255}));

    const Loaded topDown = Load(TwentyFourBit(5, -2, kFiveByTwo), false);
    ASSERT_NE(topDown.pixels, nullptr);
    EXPECT_EQ(topDown.height, 2);
    EXPECT_EQ(Bytes(topDown.samples.begin(), topDown.samples.begin() + 3), (Bytes{1, 2, 3}));
}

TEST_F(BmpReader, PaletteIndicesUnpackMostSignificantBitsFirst) {
    // Nine pixels cross a byte boundary at every depth; indices count 0, 1, 2, ...
    // modulo the palette size, and entry i has blue i, green 100 + i, red 200 - i.
    for (const uint16_t bits : {uint16_t{1}, uint16_t{2}, uint16_t{4}, uint16_t{8}}) {
        SCOPED_TRACE(bits);
        BmpFields fields;
        fields.width = 9;
        fields.bitCount = bits;
        const unsigned entries = 1u << bits;
        for (unsigned i = 0; i < entries; ++i) fields.palette.push_back((200 - i) << 16 | (100 + i) << 8 | i);
        fields.pixels.assign((9 * bits + 31) / 32 * 4, 0);
        for (unsigned x = 0; x < 9; ++x) {
            const unsigned bit = x * bits;
            fields.pixels[bit / 8] |= static_cast<unsigned char>((x % entries) << (8 - bits - bit % 8));
        }
        const Loaded r = Load(fields, true);
        ASSERT_NE(r.pixels, nullptr);
        for (unsigned x = 0; x < 9; ++x) {
            const unsigned i = x % entries;
            EXPECT_EQ(Bytes(r.samples.begin() + 4 * x, r.samples.begin() + 4 * x + 4),
                      (Bytes{static_cast<unsigned char>(i), static_cast<unsigned char>(100 + i),
                             static_cast<unsigned char>(200 - i), 255}))
                << "pixel " << x;
        }
    }
}

TEST_F(BmpReader, IndexBeyondThePaletteIsRefused) {
    BmpFields declared;
    declared.bitCount = 8;
    declared.width = 2;
    declared.colorsUsed = 2;
    declared.palette = {0x112233, 0x445566};
    declared.pixels = {1, 2, 0, 0};
    EXPECT_EQ(Load(declared, false).error, ImageFileError::Corrupt);
    declared.pixels = {1, 0, 0, 0};
    EXPECT_NE(Load(declared, false).pixels, nullptr);

    // Without a count the palette ends where the pixels begin, even when the file
    // is long enough for all 256 entries.
    BmpFields implicit = declared;
    implicit.colorsUsed = 0;
    implicit.height = 300;
    implicit.pixels.assign(4 * 300, 1);
    EXPECT_NE(Load(implicit, false).pixels, nullptr);
    implicit.pixels[5] = 2;
    EXPECT_EQ(Load(implicit, false).error, ImageFileError::Corrupt);
}

TEST_F(BmpReader, ThirtyTwoBitFourthByteIsAlphaOnlyWhereMasksSaySo) {
    BmpFields plain;  // the fourth byte of a plain file is unused, whatever it holds
    plain.bitCount = 32;
    plain.pixels = {10, 20, 30, 40};
    EXPECT_EQ(Load(plain, false).samples, (Bytes{10, 20, 30}));
    EXPECT_EQ(Load(plain, true).samples, (Bytes{10, 20, 30, 255}));

    BmpFields noAlphaMask = plain;  // masks name no alpha channel: opaque
    noAlphaMask.compression = kBitfields;
    noAlphaMask.masks = {0xFF000000, 0x00FF0000, 0x0000FF00};
    EXPECT_EQ(Load(noAlphaMask, true).samples, (Bytes{20, 30, 40, 255}));
}

TEST_F(BmpReader, ChannelsOfAnyWidthAreRoundedToEightBits) {
    BmpFields rgb555;  // default 16-bit layout; 16 of 31 rounds up to 132
    rgb555.bitCount = 16;
    rgb555.width = 2;
    rgb555.pixels = {0xFF, 0x7F, 0x10, 0x42};
    EXPECT_EQ(Load(rgb555, true).samples, (Bytes{255, 255, 255, 255, 132, 132, 132, 255}));

    BmpFields rgb565 = rgb555;
    rgb565.compression = kBitfields;
    rgb565.masks = {0xF800, 0x07E0, 0x001F};
    rgb565.pixels = {0xFF, 0xFF, 0x00, 0x04};  // green 32 of 63 gives 130
    EXPECT_EQ(Load(rgb565, false).samples, (Bytes{255, 255, 255, 0, 130, 0}));

    // A channel no mask covers is zero (this once divided by zero).
    BmpFields noBlue = rgb565;
    noBlue.masks = {0xFF00, 0x00FF, 0};
    EXPECT_EQ(Load(noBlue, false).samples, (Bytes{0, 255, 255, 0, 0, 4}));

    // 10-bit colour and 2-bit alpha: red 1023, green 512, blue 1, alpha 2 of 3.
    BmpFields wide;
    wide.bitCount = 32;
    wide.compression = kAlphaBitfields;
    wide.masks = {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000};
    wide.pixels = {0x01, 0x00, 0xF8, 0xBF};
    EXPECT_EQ(Load(wide, true).samples, (Bytes{0, 128, 255, 170}));
}

BmpFields Rle(uint32_t compression, int32_t width, int32_t height, Bytes stream) {
    BmpFields fields;
    fields.bitCount = compression == kRle8 ? 8 : 4;
    fields.compression = compression;
    fields.width = width;
    fields.height = height;
    fields.colorsUsed = 3;
    fields.palette = {0x000000, 0x0000FF, 0x00FF00};  // black, blue, green
    fields.pixels = std::move(stream);
    return fields;
}

TEST_F(BmpReader, RleRunsLiteralsAndEscapesPlacePixels) {
    // Bottom row: run of one, three literals (padded); then a delta skips row 1
    // and half of row 2, which ends in a run of two.
    const Loaded rle8 = Load(Rle(kRle8, 4, 3, {1, 1, 0, 3, 2, 1, 2, 0, 0, 0, 0, 2, 2, 1, 2, 2, 0, 1}), true);
    ASSERT_NE(rle8.pixels, nullptr);
    const Bytes o = {0, 0, 0, 0}, b = {255, 0, 0, 255}, g = {0, 255, 0, 255};
    Bytes expected;
    for (const Bytes* p : {&o, &o, &g, &g, &o, &o, &o, &o, &b, &g, &b, &g})
        expected.insert(expected.end(), p->begin(), p->end());
    EXPECT_EQ(rle8.samples, expected) << "skipped pixels are zero, alpha included";

    // Nibbles alternate high, low within a run and follow each other in a literal.
    const Loaded rle4 = Load(Rle(kRle4, 5, 2, {5, 0x12, 0, 0, 0, 3, 0x21, 0x00, 0, 1}), false);
    ASSERT_NE(rle4.pixels, nullptr);
    EXPECT_EQ(rle4.samples, (Bytes{0,   255, 0, 255, 0,   0, 0,   0, 0, 0, 0,   0, 0,   0, 0,
                                   255, 0,   0, 0,   255, 0, 255, 0, 0, 0, 255, 0, 255, 0, 0}));

    // Runs that reach past the row's end, as some writers make them for the row's
    // padding, are cut at the end; the next row starts afresh.
    const Loaded clipped = Load(Rle(kRle8, 2, 2, {3, 1, 0, 0, 2, 2, 4, 0, 0, 1}), false);
    ASSERT_NE(clipped.pixels, nullptr);
    EXPECT_EQ(clipped.samples, (Bytes{0, 255, 0, 0, 255, 0, 255, 0, 0, 255, 0, 0}));
    const Loaded clipped4 = Load(Rle(kRle4, 3, 1, {6, 0x12, 0, 1}), false);
    ASSERT_NE(clipped4.pixels, nullptr);
    EXPECT_EQ(clipped4.samples, (Bytes{255, 0, 0, 0, 255, 0, 255, 0, 0}));

    // A stream cut inside a literal keeps what it painted, as a short file does.
    const Loaded cut = Load(Rle(kRle8, 3, 1, {0, 3, 1, 2}), false);
    ASSERT_NE(cut.pixels, nullptr);
    EXPECT_EQ(cut.samples, (Bytes{255, 0, 0, 0, 255, 0, 0, 0, 0}));
}

TEST_F(BmpReader, RleThatLeavesThePictureOrPaletteIsRefused) {
    const struct {
        const char* what;
        BmpFields fields;
    } cases[] = {
        {"literal past the row end", Rle(kRle8, 2, 2, {0, 3, 1, 1, 1, 0})},
        {"delta past the right edge", Rle(kRle8, 4, 2, {0, 2, 5, 0, 0, 1})},
        {"delta past the top", Rle(kRle8, 4, 2, {0, 2, 0, 3, 0, 1})},
        {"end of line above the top", Rle(kRle8, 1, 1, {0, 0, 0, 0, 0, 1})},
        {"pixel above the top", Rle(kRle8, 1, 1, {0, 0, 1, 1})},
        {"index beyond the palette", Rle(kRle4, 2, 1, {2, 0x13, 0, 1})},
        {"top-down", Rle(kRle8, 1, -1, {1, 1, 0, 1})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Load(c.fields, false).error, ImageFileError::Corrupt) << c.what;
    }
}

TEST_F(BmpReader, MissingPixelBytesReadAsZero) {
    // The top row stops after one and a half pixels.
    const Bytes cut = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10};
    const Loaded r = Load(TwentyFourBit(2, 2, cut), true);
    ASSERT_NE(r.pixels, nullptr);
    EXPECT_EQ(r.samples, (Bytes{9, 8, 7, 255, 0, 0, 10, 255, 3, 2, 1, 255, 6, 5, 4, 255}));

    const Loaded headersOnly = Load(TwentyFourBit(2, 2, {}), false);
    ASSERT_NE(headersOnly.pixels, nullptr);
    EXPECT_EQ(headersOnly.samples, Bytes(12, 0));
}

TEST_F(BmpReader, HeadersAreBelievedOnlyAsFarAsTheFileBacksThem) {
    // Uncompressed rows: up to half of them may be missing, or up to the allowance.
    const auto rows = [](int32_t width, int32_t height, size_t held) {
        return TwentyFourBit(width, height, Bytes(held, 7));
    };
    EXPECT_NE(Load(rows(200, 200, 60000), false).pixels, nullptr) << "half of 120000 bytes";
    EXPECT_EQ(Load(rows(200, 200, 50000), false).error, ImageFileError::Corrupt) << "too little of 120000";
    EXPECT_NE(Load(rows(100, 100, 0), false).pixels, nullptr) << "30000 missing, within the allowance";
    EXPECT_EQ(Load(rows(16384, 16384, 0), true).error, ImageFileError::Corrupt) << "a 54-byte file";

    // A compressed stream may say little: a lone end-of-bitmap fills a large picture.
    const Loaded blank = Load(Rle(kRle8, 2048, 2048, {0, 1}), false);
    ASSERT_NE(blank.pixels, nullptr);
    EXPECT_EQ(std::count(blank.samples.begin(), blank.samples.end(), 0), 2048 * 2048 * 3);

    // A palette count must fit before the pixels; without a count the palette ends
    // there, however short or long the file.
    BmpFields palette;
    palette.bitCount = 8;
    palette.palette = {0x010203, 0x040506};
    palette.pixels = {1, 0, 0, 0};
    EXPECT_NE(Load(palette, false).pixels, nullptr);
    palette.height = 300;
    palette.pixels.assign(4 * 300, 1);
    EXPECT_NE(Load(palette, false).pixels, nullptr);
    palette.colorsUsed = 3;
    EXPECT_EQ(Load(palette, false).error, ImageFileError::Corrupt);
}

// One BmpFile opened again and again, as a frame opens its views: a file that fits
// what the buffer held before is read whole at Open, and each decodes as a fresh
// reader decodes it, cut short and later bytes included.
TEST_F(BmpReader, AReopenedFileReadsEachFileAsAFreshReaderDoes) {
    Bytes rows(904 * 200);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<unsigned char>(i * 7 % 251);
    const Bytes large = TwentyFourBit(301, 200, rows).Bytes();
    Bytes cut = large;
    cut.resize(large.size() - 5000);
    BmpFields gap = TwentyFourBit(5, 2, kFiveByTwo);
    gap.pixelOffset = 100;
    const struct {
        const char* what;
        Bytes file;
    } files[] = {
        {"small", TwentyFourBit(5, 2, kFiveByTwo).Bytes()},
        {"larger than the buffer", large},
        {"palette", Rle(kRle8, 4, 1, {4, 2, 0, 1}).Bytes()},
        {"cut short", cut},
        {"gap before the rows", gap.Bytes()},
        {"the large one again", large},
    };
    const std::string path = dir_.file("view.bmp");
    BmpFile file;
    for (const auto& f : files) {
        WriteFileBytes(path, f.file);
        const Loaded fresh = LoadWith(LoadBmpRgb, path, 3);
        ASSERT_NE(fresh.pixels, nullptr) << f.what;
        ASSERT_EQ(file.Open(path.c_str()), ImageFileError::None) << f.what;
        Bytes pixels(fresh.samples.size() + 1, 0xAB);
        EXPECT_EQ(file.Decode(false, pixels.data()), ImageFileError::None) << f.what;
        EXPECT_EQ(Bytes(pixels.begin(), pixels.end() - 1), fresh.samples) << f.what;
        EXPECT_EQ(pixels.back(), 0xAB) << f.what;
        const int64_t declared = file.DeclaredLength();
        EXPECT_EQ(std::min(file.HeldLength(), declared), std::min<int64_t>(f.file.size(), declared))
            << f.what;
    }
}

TEST_F(BmpReader, EmptyPictureGivesABufferAndItsSize) {
    for (const auto& size : {std::make_pair(0, 3), std::make_pair(4, 0), std::make_pair(0, INT32_MAX)}) {
        const Loaded r = Load(TwentyFourBit(size.first, size.second, {}), true);
        EXPECT_NE(r.pixels, nullptr);
        EXPECT_EQ(r.width, size.first);
        EXPECT_EQ(r.height, size.second);
    }
}

TEST_F(BmpReader, RefusedFilesLeaveTheOutParametersAlone) {
    // A one-pixel 24-bit file with one change, and cut to `keep` bytes.
    const auto with = [](auto change, size_t keep = SIZE_MAX) {
        BmpFields fields = TwentyFourBit(1, 1, {1, 2, 3, 0});
        change(fields);
        Bytes file = fields.Bytes();
        file.resize(std::min(keep, file.size()));
        return file;
    };
    Bytes bitmapArray = with([](BmpFields&) {});
    bitmapArray[1] = 'A';
    const struct {
        const char* what;
        Bytes file;
        ImageFileError error;
    } cases[] = {
        {"empty file", {}, ImageFileError::NotThisFormat},
        {"BA signature", bitmapArray, ImageFileError::NotThisFormat},
        {"file header only", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0}, ImageFileError::Corrupt},
        {"info header cut", with([](BmpFields&) {}, 40), ImageFileError::Corrupt},
        {"unknown header size", with([](BmpFields& s) { s.infoSize = 66; }), ImageFileError::Unsupported},
        {"pixels inside headers", with([](BmpFields& s) { s.pixelOffset = 20; }), ImageFileError::Corrupt},
        {"pixels beyond the file", with([](BmpFields& s) { s.pixelOffset = 1000; }, 100),
         ImageFileError::Corrupt},
        {"two planes", with([](BmpFields& s) { s.planes = 2; }), ImageFileError::Corrupt},
        {"3 bits per pixel", with([](BmpFields& s) { s.bitCount = 3; }), ImageFileError::Corrupt},
        {"64 bits per pixel", with([](BmpFields& s) { s.bitCount = 64; }), ImageFileError::Unsupported},
        {"embedded JPEG", with([](BmpFields& s) { s.compression = 4; }), ImageFileError::Unsupported},
        {"unknown compression", with([](BmpFields& s) { s.compression = 9; }), ImageFileError::Unsupported},
        {"RLE8 at 24 bits", with([](BmpFields& s) { s.compression = kRle8; }), ImageFileError::Corrupt},
        {"negative width", with([](BmpFields& s) { s.width = -1; }), ImageFileError::Corrupt},
        {"most negative height", with([](BmpFields& s) { s.height = INT32_MIN; }), ImageFileError::TooLarge},
        {"most negative height, no width", with([](BmpFields& s) {
             s.width = 0;
             s.height = INT32_MIN;
         }),
         ImageFileError::TooLarge},
        {"one pixel over the limit",
         with([](BmpFields& s) { s.width = static_cast<int32_t>(kMaxImagePixels + 1); }),
         ImageFileError::TooLarge},
        {"area overflowing 32 bits", with([](BmpFields& s) { s.width = s.height = 65536; }),
         ImageFileError::TooLarge},
        {"largest sizes", with([](BmpFields& s) { s.width = s.height = INT32_MAX; }),
         ImageFileError::TooLarge},
        {"palette beyond the file", with([](BmpFields& s) { s.colorsUsed = 1000; }), ImageFileError::Corrupt},
        {"masks cut off", with([](BmpFields& s) {
             s.bitCount = 16;
             s.compression = kBitfields;
             s.pixels.clear();
             s.pixelOffset = 54;
         }),
         ImageFileError::Corrupt},
        {"overlapping masks", with([](BmpFields& s) {
             s.bitCount = 16;
             s.compression = kBitfields;
             s.masks = {0xF800, 0x0FE0, 0x001F};
         }),
         ImageFileError::Corrupt},
        {"mask wider than the pixel", with([](BmpFields& s) {
             s.bitCount = 16;
             s.compression = kBitfields;
             s.masks = {0x1F0000, 0x07E0, 0x001F};
         }),
         ImageFileError::Corrupt},
        {"mask with a gap", with([](BmpFields& s) {
             s.bitCount = 16;
             s.compression = kBitfields;
             s.masks = {0xD800, 0x07E0, 0x001F};
         }),
         ImageFileError::Unsupported},
    };
    for (const auto& c : cases) {
        for (const bool withAlpha : {false, true}) {
            const Loaded r = Load(c.file, withAlpha);
            EXPECT_EQ(r.pixels, nullptr) << c.what;
            EXPECT_EQ(r.error, c.error) << c.what;
            EXPECT_EQ(r.width, -7) << c.what;
            EXPECT_EQ(r.height, -7) << c.what;
        }
    }
}

TEST_F(BmpReader, MissingFilesAndOtherThanRegularFilesAreRefusedWithoutWaiting) {
    // A pipe nobody writes to would hold a plain open for ever.
    const std::string pipe = dir_.file("pipe.bmp");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::pair<std::string, ImageFileError> cases[] = {
        {dir_.file("absent.bmp"), ImageFileError::CannotOpen},
        {dir_.path().string(), ImageFileError::NotRegularFile},
        {pipe, ImageFileError::NotRegularFile},
        {"/dev/zero", ImageFileError::NotRegularFile},
    };
    for (const auto& [name, expected] : cases) {
        ImageFileError error = ImageFileError::None;
        int32_t width = -7, height = -7;
        EXPECT_EQ(LoadBmpRgb(name.c_str(), &width, &height, &error), nullptr);
        EXPECT_EQ(error, expected) << name;
        EXPECT_EQ(width, -7);
    }
    int32_t width = 0, height = 0;
    EXPECT_EQ(LoadBmpRgba(nullptr, &width, &height), nullptr);  // and no error argument
}

}  // namespace
