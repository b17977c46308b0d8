#include <algorithm>
#include <cstdint>
#include <memory>

#include "imageio/bmp_pixels.h"
#include "imageio/little_endian.h"

namespace {

// Rounds to the nearest 8-bit value in both directions, so a 5-bit 31 gives 255
// and a 10-bit 1023 gives 255. A channel the masks leave out reads as zero.
unsigned char ScaleChannel(uint32_t pixel, const BmpChannel& channel) {
    if (channel.max == 0) return 0;
    const uint64_t value = (pixel & channel.mask) >> channel.shift;
    if (channel.max == 255) return static_cast<unsigned char>(value);
    return static_cast<unsigned char>((value * 255 + channel.max / 2) / channel.max);
}

// Returns false at the first index the palette does not hold.
bool DecodePaletteRow(const BmpLayout& layout, const unsigned char* row, int64_t count, SampleOrder order,
                      unsigned char* out) {
    const int bits = layout.bitCount;
    const unsigned indexMask = (1u << bits) - 1;
    for (int64_t x = 0; x < count; ++x, out += order.samples) {
        const int64_t bit = x * bits;
        const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & indexMask;
        if (index >= static_cast<unsigned>(layout.paletteSize)) return false;
        const BmpColor& color = layout.palette[index];
        order.Store(out, color.blue, color.green, color.red, 255);
    }
    return true;
}

void DecodeBgrRow(const unsigned char* row, int64_t count, SampleOrder order, unsigned char* out) {
    for (int64_t x = 0; x < count; ++x, row += 3, out += order.samples)
        order.Store(out, row[0], row[1], row[2], 255);
}

void DecodeMaskedRow(const BmpLayout& layout, const unsigned char* row, int64_t count, SampleOrder order,
                     unsigned char* out) {
    const int bytes = layout.bitCount / 8;
    for (int64_t x = 0; x < count; ++x, row += bytes, out += order.samples) {
        const uint32_t pixel = bytes == 2 ? ReadLe16(row) : ReadLe32(row);
        const unsigned char alpha = layout.alpha.max != 0 ? ScaleChannel(pixel, layout.alpha) : 255;
        order.Store(out, ScaleChannel(pixel, layout.blue), ScaleChannel(pixel, layout.green),
                    ScaleChannel(pixel, layout.red), alpha);
    }
}

}  // namespace

ImageFileError DecodeBmpRows(std::FILE* file, const BmpLayout& layout, SampleOrder order,
                             unsigned char* pixels) {
    if (layout.width == 0 || layout.height == 0) return ImageFileError::None;
    const int64_t rowBits = int64_t{layout.width} * layout.bitCount;
    const size_t stride = static_cast<size_t>((rowBits + 31) / 32 * 4);
    const size_t outStride = static_cast<size_t>(layout.width) * order.samples;
    std::unique_ptr<unsigned char[]> row(new unsigned char[stride]);

    for (int32_t y = 0; y < layout.height; ++y) {
        const size_t got = std::fread(row.get(), 1, stride, file);
        // A short row still decodes the pixel it stops in, its missing bytes zero;
        // pixels past that stay zero in the buffer.
        const int64_t count = std::min<int64_t>(
            layout.width, (static_cast<int64_t>(got) * 8 + layout.bitCount - 1) / layout.bitCount);
        std::fill(row.get() + got, row.get() + std::min(stride, got + 4), 0);
        const int32_t outRow = layout.topDown ? y : layout.height - 1 - y;
        unsigned char* out = pixels + outStride * outRow;
        switch (layout.coding) {
            case BmpPixelCoding::Palette:
                if (!DecodePaletteRow(layout, row.get(), count, order, out)) return ImageFileError::Corrupt;
                break;
            case BmpPixelCoding::Bgr24:
                DecodeBgrRow(row.get(), count, order, out);
                break;
            default:
                DecodeMaskedRow(layout, row.get(), count, order, out);
                break;  // 16, 32 bits
        }
        if (got < stride) break;
    }
    return ImageFileError::None;
}
