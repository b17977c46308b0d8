#include <cstdint>
#include <memory>
#include <new>

#include "imageio/image_files.h"
#include "imageio/little_endian.h"
#include "imageio/stdio_file.h"

namespace {

constexpr uint32_t kHeadersSize = 14 + 40;

void WriteHeaders(std::FILE* file, int32_t width, int32_t height, uint32_t fileSize) {
    unsigned char h[kHeadersSize] = {};
    h[0] = 'B';
    h[1] = 'M';
    WriteLe32(h + 2, fileSize);
    WriteLe32(h + 10, kHeadersSize);
    WriteLe32(h + 14, 40);
    WriteLe32(h + 18, static_cast<uint32_t>(width));
    WriteLe32(h + 22, static_cast<uint32_t>(height));
    WriteLe16(h + 26, 1);
    WriteLe16(h + 28, 24);
    // Compression, image size, resolution and colour counts all stay zero.
    std::fwrite(h, 1, sizeof h, file);
}

// Writes 24-bit bottom-up rows from bytes 0..2 of each `samples`-byte pixel.
void SaveBmp(const char* fileName, const unsigned char* pixels, int samples, int32_t width, int32_t height) {
    if (width < 0 || height < 0) return;
    const uint64_t stride = (uint64_t{3} * static_cast<uint32_t>(width) + 3) & ~uint64_t{3};
    const uint64_t fileSize = kHeadersSize + stride * static_cast<uint32_t>(height);
    if (fileSize > UINT32_MAX) return;

    // The row is allocated before the file is opened so that a failure leaves it alone.
    std::unique_ptr<unsigned char[]> row;
    if (pixels && stride > 0) {
        row.reset(new (std::nothrow) unsigned char[stride]());
        if (!row) return;
    }
    StdioFile file = OpenStdioFile(fileName, "wb");
    if (!file || !pixels) return;
    WriteHeaders(file.get(), width, height, static_cast<uint32_t>(fileSize));
    if (stride == 0) return;

    const size_t inStride = static_cast<size_t>(width) * samples;
    for (int32_t y = height - 1; y >= 0; --y) {
        const unsigned char* in = pixels + inStride * y;
        unsigned char* out = row.get();
        for (int32_t x = 0; x < width; ++x, in += samples, out += 3) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
        std::fwrite(row.get(), 1, stride, file.get());
    }
}

}  // namespace

void SaveBmpFromRgb(const char* fileName, const unsigned char* pRGBBuffer, int32_t iWidth, int32_t iHeight) {
    SaveBmp(fileName, pRGBBuffer, 3, iWidth, iHeight);
}

void SaveBmpFromRgba(const char* fileName, const unsigned char* pRGBABuffer, int32_t iWidth,
                     int32_t iHeight) {
    SaveBmp(fileName, pRGBABuffer, 4, iWidth, iHeight);
}
