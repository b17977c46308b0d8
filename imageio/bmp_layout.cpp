#include "imageio/bmp_layout.h"

#include <algorithm>

#include "imageio/little_endian.h"
#include "imageio/pixel_buffer.h"

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kLargestInfoHeader = 124;

enum Compression : uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitfields = 3,
    kAlphaBitfields = 6,
};

// The fields every header variant has, in one shape. Masks hold red, green, blue,
// alpha as far as the header carries them.
struct InfoFields {
    int64_t width = 0;
    int64_t height = 0;
    uint32_t planes = 0;
    uint32_t bitCount = 0;
    uint32_t compression = kRgb;
    uint32_t colorsUsed = 0;
    uint32_t paletteEntryBytes = 4;
    uint32_t masks[4] = {};
    int maskCount = 0;
};

// OS/2 1.x (12), OS/2 2.x (16, 64) and the Windows versions.
bool IsKnownInfoHeader(uint32_t infoSize) {
    switch (infoSize) {
        case 12:
        case 16:
        case 40:
        case 52:
        case 56:
        case 64:
        case 108:
        case 124:
            return true;
        default:
            return false;
    }
}

bool IsOs2Version2(uint32_t infoSize) {
    return infoSize == 16 || infoSize == 64;
}

ImageFileError ParseInfoHeader(const unsigned char* info, uint32_t infoSize, InfoFields* f) {
    if (infoSize == 12) {
        f->width = ReadLe16(info + 4);
        f->height = ReadLe16(info + 6);
        f->planes = ReadLe16(info + 8);
        f->bitCount = ReadLe16(info + 10);
        f->paletteEntryBytes = 3;
        return ImageFileError::None;
    }
    f->planes = ReadLe16(info + 12);
    f->bitCount = ReadLe16(info + 14);
    if (IsOs2Version2(infoSize)) {
        // Unsigned sizes; the 64-byte form may also say "not bottom-up" or "not RGB",
        // and its compression numbers 3 and 4 mean other codings than Windows'.
        f->width = ReadLe32(info + 4);
        f->height = ReadLe32(info + 8);
        if (infoSize == 64) {
            f->compression = ReadLe32(info + 16);
            f->colorsUsed = ReadLe32(info + 32);
            const bool bottomUpRgb = ReadLe16(info + 44) == 0 && ReadLe32(info + 56) == 0;
            if (f->compression != kRgb || !bottomUpRgb) return ImageFileError::Unsupported;
        }
        return ImageFileError::None;
    }
    f->width = ReadLeSigned32(info + 4);
    f->height = ReadLeSigned32(info + 8);
    f->compression = ReadLe32(info + 16);
    f->colorsUsed = ReadLe32(info + 32);
    f->maskCount = infoSize == 40 ? 0 : infoSize == 52 ? 3 : 4;
    for (int i = 0; i < f->maskCount; ++i) f->masks[i] = ReadLe32(info + 40 + 4 * i);
    return ImageFileError::None;
}

ImageFileError CheckCoding(const InfoFields& f, BmpPixelCoding* coding) {
    switch (f.compression) {
        case kRgb:
            break;
        case kRle8:
            *coding = BmpPixelCoding::Rle8;
            return f.bitCount == 8 ? ImageFileError::None : ImageFileError::Corrupt;
        case kRle4:
            *coding = BmpPixelCoding::Rle4;
            return f.bitCount == 4 ? ImageFileError::None : ImageFileError::Corrupt;
        case kBitfields:
        case kAlphaBitfields:
            *coding = BmpPixelCoding::Masked;
            return f.bitCount == 16 || f.bitCount == 32 ? ImageFileError::None : ImageFileError::Corrupt;
        default:
            return ImageFileError::Unsupported;  // JPEG, PNG, CMYK and unknown codings
    }
    switch (f.bitCount) {
        case 1:
        case 2:
        case 4:
        case 8:
            *coding = BmpPixelCoding::Palette;
            return ImageFileError::None;
        case 16:
        case 32:
            *coding = BmpPixelCoding::Masked;
            return ImageFileError::None;
        case 24:
            *coding = BmpPixelCoding::Bgr24;
            return ImageFileError::None;
        case 64:
            return ImageFileError::Unsupported;
        default:
            return ImageFileError::Corrupt;
    }
}

int CountTrailingZeros(uint32_t value) {
    int count = 0;
    for (; (value & 1) == 0; value >>= 1) ++count;
    return count;
}

// Masks must be contiguous, within the pixel and disjoint; anything else has no
// exact reading.
ImageFileError SetChannels(const uint32_t masks[4], int bitCount, BmpLayout* layout) {
    BmpChannel* channels[4] = {&layout->red, &layout->green, &layout->blue, &layout->alpha};
    const uint64_t pixelBits = (uint64_t{1} << bitCount) - 1;
    uint32_t seen = 0;
    for (int i = 0; i < 4; ++i) {
        const uint32_t mask = masks[i];
        if (mask == 0) continue;
        if ((mask & ~pixelBits) != 0 || (mask & seen) != 0) return ImageFileError::Corrupt;
        seen |= mask;
        const int shift = CountTrailingZeros(mask);
        const uint32_t max = mask >> shift;
        if ((max & (uint64_t{max} + 1)) != 0) return ImageFileError::Unsupported;
        *channels[i] = BmpChannel{mask, shift, max};
    }
    return ImageFileError::None;
}

void DefaultMasks(int bitCount, uint32_t masks[4]) {
    if (bitCount == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
        masks[3] = 0;
    } else {
        // The fourth byte of a plain 32-bit pixel is unused: files leave it zero or
        // fill it with anything, and neither makes the picture transparent.
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
        masks[3] = 0;
    }
}

int64_t FileLength(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long length = std::ftell(file);
    if (length < 0 || std::fseek(file, 0, SEEK_SET) != 0) return -1;
    return length;
}

}  // namespace

ImageFileError ReadBmpLayout(std::FILE* file, BmpLayout* layout) {
    const int64_t fileLength = FileLength(file);
    if (fileLength < 0) return ImageFileError::CannotOpen;

    unsigned char headers[kFileHeaderSize + kLargestInfoHeader];
    const size_t got = std::fread(headers, 1, kFileHeaderSize + 4, file);
    if (std::ferror(file)) return ImageFileError::CannotOpen;
    if (got < 2 || headers[0] != 'B' || headers[1] != 'M') return ImageFileError::NotThisFormat;
    if (got < kFileHeaderSize + 4) return ImageFileError::Corrupt;

    const uint32_t infoSize = ReadLe32(headers + kFileHeaderSize);
    if (!IsKnownInfoHeader(infoSize)) return ImageFileError::Unsupported;
    if (std::fread(headers + kFileHeaderSize + 4, 1, infoSize - 4, file) != infoSize - 4)
        return ImageFileError::Corrupt;

    InfoFields info;
    ImageFileError error = ParseInfoHeader(headers + kFileHeaderSize, infoSize, &info);
    if (error != ImageFileError::None) return error;
    if (info.planes != 1) return ImageFileError::Corrupt;
    if ((error = CheckCoding(info, &layout->coding)) != ImageFileError::None) return error;

    const bool rle = layout->coding == BmpPixelCoding::Rle8 || layout->coding == BmpPixelCoding::Rle4;
    if (info.width < 0 || (info.height < 0 && rle)) return ImageFileError::Corrupt;
    const int64_t height = info.height < 0 ? -info.height : info.height;
    if (!FitsPixelLimit(info.width, height)) return ImageFileError::TooLarge;
    layout->width = static_cast<int32_t>(info.width);
    layout->height = static_cast<int32_t>(height);
    layout->topDown = info.height < 0;
    layout->bitCount = static_cast<int>(info.bitCount);

    // A 40-byte header leaves the masks to follow it; larger ones hold them.
    if (info.maskCount == 0 && layout->coding == BmpPixelCoding::Masked && info.compression != kRgb) {
        info.maskCount = info.compression == kAlphaBitfields ? 4 : 3;
        unsigned char masks[16];
        const size_t bytes = 4 * static_cast<size_t>(info.maskCount);
        if (std::fread(masks, 1, bytes, file) != bytes) return ImageFileError::Corrupt;
        for (int i = 0; i < info.maskCount; ++i) info.masks[i] = ReadLe32(masks + 4 * i);
    }
    const uint32_t paletteStart = kFileHeaderSize + infoSize + (infoSize == 40 ? 4 * info.maskCount : 0);

    layout->pixelOffset = ReadLe32(headers + 10);
    if (layout->pixelOffset < paletteStart || layout->pixelOffset > fileLength)
        return ImageFileError::Corrupt;

    if (layout->coding == BmpPixelCoding::Masked) {
        if (info.compression == kRgb) {
            info.maskCount = 4;
            DefaultMasks(layout->bitCount, info.masks);
        }
        if ((error = SetChannels(info.masks, layout->bitCount, layout)) != ImageFileError::None) return error;
    }

    const int64_t indexable = layout->bitCount <= 8 ? int64_t{1} << layout->bitCount : 0;
    const int64_t declared = info.colorsUsed != 0 ? int64_t{info.colorsUsed} : indexable;
    if (paletteStart + declared * info.paletteEntryBytes > fileLength) return ImageFileError::Corrupt;
    if (layout->coding == BmpPixelCoding::Bgr24 || layout->coding == BmpPixelCoding::Masked)
        return ImageFileError::None;

    // Entries that would overlap the pixels are not part of the palette.
    const int64_t room = (layout->pixelOffset - paletteStart) / info.paletteEntryBytes;
    layout->paletteSize = static_cast<int>(std::min({declared, indexable, room}));
    unsigned char entries[256 * 4];
    const size_t bytes = static_cast<size_t>(layout->paletteSize) * info.paletteEntryBytes;
    if (std::fseek(file, paletteStart, SEEK_SET) != 0 || std::fread(entries, 1, bytes, file) != bytes)
        return ImageFileError::Corrupt;
    for (int i = 0; i < layout->paletteSize; ++i) {
        const unsigned char* entry = entries + i * info.paletteEntryBytes;
        layout->palette[i] = BmpColor{entry[0], entry[1], entry[2]};
    }
    return ImageFileError::None;
}
