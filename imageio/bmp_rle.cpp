#include <algorithm>
#include <cstdint>
#include <cstring>

#include "imageio/bmp_decoders.h"

namespace {

// The compressed stream as it lies in memory.
class ByteSource {
public:
    ByteSource(const unsigned char* data, size_t size) : next_(data), end_(data + size) {}

    bool Next(unsigned& byte) {
        if (next_ == end_) return false;
        byte = *next_++;
        return true;
    }

private:
    const unsigned char* next_;
    const unsigned char* end_;
};

enum Escape : unsigned { kEndOfLine = 0, kEndOfBitmap = 1, kDelta = 2 };

// The i-th index packed into a run's byte: the byte itself for RLE8, alternating
// high and low nibbles for RLE4.
unsigned RunIndex(unsigned value, unsigned i, bool fourBit) {
    if (!fourBit) return value;
    return i % 2 == 0 ? value >> 4 : value & 0x0F;
}

// Cursor over the picture in file order: bottom row first. Every pixel is placed
// only after checking it lies inside the picture and the palette.
class RlePainter {
public:
    RlePainter(const BmpLayout& layout, SampleOrder order, unsigned char* pixels)
        : layout_(layout), order_(order), pixels_(pixels) {}

    bool HasRoomFor(unsigned count) const { return y_ < layout_.height && count <= RoomInRow(); }

    // Writers that encode a row's padding as part of a run reach past the row's
    // end; the common decoders drop what lies beyond it, and so does this one.
    bool PaintRun(unsigned count, unsigned value, bool fourBit) {
        if (y_ >= layout_.height) return false;
        const unsigned painted = std::min(count, RoomInRow());
        for (unsigned i = 0; i < painted; ++i)
            if (!Paint(RunIndex(value, i, fourBit))) return false;
        return true;
    }

    bool Paint(unsigned index) {
        if (index >= static_cast<unsigned>(layout_.paletteSize)) return false;
        const BmpColor& color = layout_.palette[index];
        const size_t row = static_cast<size_t>(layout_.height - 1 - y_);
        unsigned char* out = pixels_ + (row * layout_.width + static_cast<size_t>(x_)) * order_.samples;
        order_.Store(out, color.blue, color.green, color.red, 255);
        ++x_;
        return true;
    }

    bool Move(unsigned right, unsigned up) {
        if (right > RoomInRow() || up > static_cast<unsigned>(layout_.height - y_)) return false;
        x_ += static_cast<int32_t>(right);
        y_ += static_cast<int32_t>(up);
        return true;
    }

    bool NextLine() {
        if (y_ >= layout_.height) return false;
        x_ = 0;
        ++y_;
        return true;
    }

private:
    unsigned RoomInRow() const { return static_cast<unsigned>(layout_.width - x_); }

    const BmpLayout& layout_;
    SampleOrder order_;
    unsigned char* pixels_;
    int32_t x_ = 0;
    int32_t y_ = 0;
};

}  // namespace

// Pixels the stream skips or never reaches stay zero, as in a short uncompressed file.
ImageFileError DecodeBmpRle(const unsigned char* data, size_t size, const BmpLayout& layout,
                            SampleOrder order, unsigned char* pixels) {
    std::memset(pixels, 0,
                static_cast<size_t>(layout.width) * static_cast<size_t>(layout.height) * order.samples);
    const bool fourBit = layout.coding == BmpPixelCoding::Rle4;
    ByteSource in(data, size);
    RlePainter painter(layout, order, pixels);
    unsigned first = 0, second = 0;
    while (in.Next(first) && in.Next(second)) {
        if (first > 0) {
            if (!painter.PaintRun(first, second, fourBit)) return ImageFileError::Corrupt;
        } else if (second == kEndOfLine) {
            if (!painter.NextLine()) return ImageFileError::Corrupt;
        } else if (second == kEndOfBitmap) {
            return ImageFileError::None;
        } else if (second == kDelta) {
            unsigned right = 0, up = 0;
            if (!in.Next(right) || !in.Next(up)) return ImageFileError::None;
            if (!painter.Move(right, up)) return ImageFileError::Corrupt;
        } else {
            // Literal pixels, padded to an even number of bytes.
            const unsigned count = second;
            if (!painter.HasRoomFor(count)) return ImageFileError::Corrupt;
            const unsigned bytes = fourBit ? (count + 1) / 2 : count;
            unsigned value = 0;
            for (unsigned i = 0; i < count; ++i) {
                if ((!fourBit || i % 2 == 0) && !in.Next(value)) return ImageFileError::None;
                if (!painter.Paint(RunIndex(value, i, fourBit))) return ImageFileError::Corrupt;
            }
            if (bytes % 2 == 1 && !in.Next(value)) return ImageFileError::None;
        }
    }
    return ImageFileError::None;
}
