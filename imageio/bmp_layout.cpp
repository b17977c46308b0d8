#include "imageio/bmp_layout.h"

#include <algorithm>

#include "imageio/little_endian.h"
#include "imageio/reader_limits.h"

namespace {

constexpr uint32_t kFileHeaderSize = 14;

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

}  // namespace

ImageFileError ParseBmpLayout(const unsigned char* bytes, size_t count, int64_t fileLength,
                              BmpLayout* layout) {
    if (count < 2 || bytes[0] != 'B' || bytes[1] != 'M') return ImageFileError::NotThisFormat;
    if (count < kFileHeaderSize + 4) return ImageFileError::Corrupt;

    const unsigned char* info = bytes + kFileHeaderSize;
    const uint32_t infoSize = ReadLe32(info);
    if (!IsKnownInfoHeader(infoSize)) return ImageFileError::Unsupported;
    if (count < kFileHeaderSize + infoSize) return ImageFileError::Corrupt;

    InfoFields fields;
    ImageFileError error = ParseInfoHeader(info, infoSize, &fields);
    if (error != ImageFileError::None) return error;
    if (fields.planes != 1) return ImageFileError::Corrupt;
    if ((error = CheckCoding(fields, &layout->coding)) != ImageFileError::None) return error;

    const bool rle = layout->coding == BmpPixelCoding::Rle8 || layout->coding == BmpPixelCoding::Rle4;
    if (fields.width < 0 || (fields.height < 0 && rle)) return ImageFileError::Corrupt;
    const int64_t height = fields.height < 0 ? -fields.height : fields.height;
    if (!FitsPixelLimit(fields.width, height)) return ImageFileError::TooLarge;
    layout->width = static_cast<int32_t>(fields.width);
    layout->height = static_cast<int32_t>(height);
    layout->topDown = fields.height < 0;
    layout->bitCount = static_cast<int>(fields.bitCount);

    // A 40-byte header leaves the masks to follow it; larger ones hold them.
    uint32_t paletteStart = kFileHeaderSize + infoSize;
    if (fields.maskCount == 0 && layout->coding == BmpPixelCoding::Masked && fields.compression != kRgb) {
        fields.maskCount = fields.compression == kAlphaBitfields ? 4 : 3;
        paletteStart += 4 * static_cast<uint32_t>(fields.maskCount);
        if (count < paletteStart) return ImageFileError::Corrupt;
        for (int i = 0; i < fields.maskCount; ++i) fields.masks[i] = ReadLe32(info + infoSize + 4 * i);
    }

    layout->pixelOffset = ReadLe32(bytes + 10);
    if (layout->pixelOffset < paletteStart || layout->pixelOffset > fileLength)
        return ImageFileError::Corrupt;
    layout->dataLength = rle ? (infoSize >= 40 ? ReadLe32(info + 20) : 0)
                             : layout->height * BmpRowStride(layout->width, layout->bitCount);

    if (layout->coding == BmpPixelCoding::Masked) {
        if (fields.compression == kRgb) {
            fields.maskCount = 4;
            DefaultMasks(layout->bitCount, fields.masks);
        }
        if ((error = SetChannels(fields.masks, layout->bitCount, layout)) != ImageFileError::None)
            return error;
    }

    // A count the header states must fit before the pixels; without one the palette
    // simply ends where they begin.
    const int64_t room = (layout->pixelOffset - paletteStart) / fields.paletteEntryBytes;
    if (fields.colorsUsed > room) return ImageFileError::Corrupt;
    if (layout->coding == BmpPixelCoding::Bgr24 || layout->coding == BmpPixelCoding::Masked)
        return ImageFileError::None;

    const int64_t indexable = int64_t{1} << layout->bitCount;
    const int64_t declared = fields.colorsUsed != 0 ? int64_t{fields.colorsUsed} : indexable;
    layout->paletteSize = static_cast<int>(std::min({declared, indexable, room}));
    if (count < paletteStart + static_cast<size_t>(layout->paletteSize) * fields.paletteEntryBytes)
        return ImageFileError::Corrupt;
    for (int i = 0; i < layout->paletteSize; ++i) {
        const unsigned char* entry = bytes + paletteStart + i * fields.paletteEntryBytes;
        layout->palette[i] = BmpColor{entry[0], entry[1], entry[2]};
    }
    return ImageFileError::None;
}
