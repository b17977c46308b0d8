#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "imageio/bmp_encoder.h"
#include "imageio/image_files.h"
#include "imageio/little_endian.h"
#include "imageio/native_file.h"

namespace {

constexpr uint32_t kHeadersSize = 14 + 40;

void WriteHeaders(unsigned char* h, int32_t width, int32_t height, uint32_t fileSize) {
    std::memset(h, 0, kHeadersSize);
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
}

uint64_t RowStride(int32_t width) {
    return (uint64_t{3} * static_cast<uint32_t>(width) + 3) & ~uint64_t{3};
}

// 0 for sizes no BMP file holds.
uint64_t FileSize(int32_t width, int32_t height) {
    if (width < 0 || height < 0) return 0;
    const uint64_t fileSize = kHeadersSize + RowStride(width) * static_cast<uint32_t>(height);
    return fileSize <= UINT32_MAX ? fileSize : 0;
}

// A null buffer still replaces the file, with an empty one.
void SaveBmp(const char* fileName, const unsigned char* pixels, int samples, int32_t width, int32_t height) {
    if (FileSize(width, height) == 0) return;
    std::vector<unsigned char> file;
    if (pixels) {
        SaveBmp24(fileName, pixels, samples, width, height, &file, nullptr);
    } else {
        ReplaceFileWhole(fileName, file.data(), 0, nullptr);
    }
}

}  // namespace

bool EncodeBmp24(const unsigned char* pixels, int samples, int32_t width, int32_t height,
                 std::vector<unsigned char>* pFile) {
    const uint64_t fileSize = FileSize(width, height);
    if (fileSize == 0) return false;
    const uint64_t stride = RowStride(width);
    try {
        pFile->resize(static_cast<size_t>(fileSize));
    } catch (const std::bad_alloc&) {
        return false;
    }
    unsigned char* out = pFile->data();
    WriteHeaders(out, width, height, static_cast<uint32_t>(fileSize));
    out += kHeadersSize;

    const size_t inStride = static_cast<size_t>(width) * samples;
    const size_t pad = static_cast<size_t>(stride) - 3 * static_cast<size_t>(width);
    for (int32_t y = height - 1; y >= 0; --y) {
        const unsigned char* in = pixels + inStride * y;
        if (samples == 3) {
            std::memcpy(out, in, inStride);
            out += inStride;
        } else {
            for (int32_t x = 0; x < width; ++x, in += samples, out += 3) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            }
        }
        std::memset(out, 0, pad);
        out += pad;
    }
    return true;
}

void SaveBmpFromRgb(const char* fileName, const unsigned char* pRGBBuffer, int32_t iWidth, int32_t iHeight) {
    SaveBmp(fileName, pRGBBuffer, 3, iWidth, iHeight);
}

void SaveBmpFromRgba(const char* fileName, const unsigned char* pRGBABuffer, int32_t iWidth,
                     int32_t iHeight) {
    SaveBmp(fileName, pRGBABuffer, 4, iWidth, iHeight);
}

bool SaveBmp24(const char* fileName, const unsigned char* pixels, int samples, int32_t width, int32_t height,
               std::vector<unsigned char>* pFile, std::string* psReason) {
    if (!EncodeBmp24(pixels, samples, width, height, pFile)) {
        if (psReason) *psReason = "not enough memory";
        return false;
    }
    return ReplaceFileWhole(fileName, pFile->data(), pFile->size(), psReason);
}
