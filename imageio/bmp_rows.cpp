#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imageio/bmp_decoders.h"
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

// The file's own order is the buffer's for 3 samples: the row is copied as it lies.
void DecodeBgrRow(const unsigned char* row, int64_t count, SampleOrder order, unsigned char* out) {
    if (order.samples == 3 && !order.redFirst) {
        std::memcpy(out, row, static_cast<size_t>(count) * 3);
        return;
    }
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

// False at the first index the palette does not hold.
bool DecodeRow(const BmpLayout& layout, const unsigned char* row, int64_t count, SampleOrder order,
               unsigned char* out) {
    switch (layout.coding) {
        case BmpPixelCoding::Palette:
            return DecodePaletteRow(layout, row, count, order, out);
        case BmpPixelCoding::Bgr24:
            DecodeBgrRow(row, count, order, out);
            return true;
        default:
            DecodeMaskedRow(layout, row, count, order, out);  // 16, 32 bits
            return true;
    }
}

}  // namespace

ImageFileError DecodeBmpRows(const unsigned char* data, size_t size, const BmpLayout& layout,
                             SampleOrder order, unsigned char* pixels) {
    if (layout.width == 0) return ImageFileError::None;
    const size_t stride = static_cast<size_t>(BmpRowStride(layout.width, layout.bitCount));
    const size_t outStride = static_cast<size_t>(layout.width) * order.samples;
    std::vector<unsigned char> shortRow;

    for (int32_t y = 0; y < layout.height; ++y) {
        const int32_t outRow = layout.topDown ? y : layout.height - 1 - y;
        unsigned char* out = pixels + outStride * outRow;
        const size_t offset = stride * y;
        const size_t got = offset < size ? std::min(stride, size - offset) : 0;
        int64_t count = layout.width;
        const unsigned char* row = got > 0 ? data + offset : nullptr;
        if (got < stride) {
            // Only one row can stop short; it still decodes the pixel it stops in,
            // its missing bytes zero. The rows after it hold nothing.
            count = std::min(count, (static_cast<int64_t>(got) * 8 + layout.bitCount - 1) / layout.bitCount);
            if (count > 0) {
                shortRow.assign(row, row + got);
                shortRow.resize(stride, 0);
                row = shortRow.data();
            }
        }
        if (count > 0 && !DecodeRow(layout, row, count, order, out)) return ImageFileError::Corrupt;
        std::fill(out + count * order.samples, out + outStride, 0);
    }
    return ImageFileError::None;
}
