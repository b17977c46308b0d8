// 16-bit grey PNG files written without a compression library, so that the Windows
// build writes the same bytes as the Linux build: the image data goes into stored
// deflate blocks, which every PNG reader inflates.

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "imageio/crc32.h"
#include "imageio/native_file.h"
#include "imageio/png_signature.h"
#include "imageio/reader_limits.h"
#include "imageio/sample_image.h"

namespace {

constexpr size_t kStoredBlockMax = 65535;

uint32_t Adler32(const unsigned char* p, size_t count) {
    // 5552 bytes are the most that keep both sums within 32 bits between reductions.
    uint32_t a = 1, b = 0;
    while (count > 0) {
        const size_t run = count < 5552 ? count : 5552;
        for (size_t i = 0; i < run; ++i) b += a += p[i];
        a %= 65521;
        b %= 65521;
        p += run;
        count -= run;
    }
    return b << 16 | a;
}

void PutBe32(std::vector<unsigned char>* out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<unsigned char>(value >> shift));
}

void PutChunk(std::vector<unsigned char>* out, const char* type, const unsigned char* data, size_t count) {
    PutBe32(out, static_cast<uint32_t>(count));
    const size_t typeAt = out->size();
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), data, data + count);
    PutBe32(out, Crc32(out->data() + typeAt, count + 4));
}

// Each row: filter type 0, then its samples most significant byte first.
std::vector<unsigned char> RawRows(const uint16_t* pSamples, int32_t iWidth, int32_t iHeight) {
    const size_t rowBytes = 1 + static_cast<size_t>(iWidth) * 2;
    std::vector<unsigned char> raw(rowBytes * static_cast<size_t>(iHeight));
    unsigned char* out = raw.data();
    for (int32_t y = 0; y < iHeight; ++y) {
        *out++ = 0;
        const uint16_t* row = pSamples + static_cast<size_t>(y) * static_cast<size_t>(iWidth);
        for (int32_t x = 0; x < iWidth; ++x) {
            *out++ = static_cast<unsigned char>(row[x] >> 8);
            *out++ = static_cast<unsigned char>(row[x]);
        }
    }
    return raw;
}

// A zlib stream of stored blocks.
std::vector<unsigned char> StoredZlib(const std::vector<unsigned char>& raw) {
    const size_t blocks = raw.empty() ? 1 : (raw.size() + kStoredBlockMax - 1) / kStoredBlockMax;
    std::vector<unsigned char> z;
    z.reserve(2 + blocks * 5 + raw.size() + 4);
    z.push_back(0x78);  // deflate, 32 KiB window
    z.push_back(0x01);  // no dictionary; the header is a multiple of 31
    size_t at = 0;
    for (size_t block = 0; block < blocks; ++block) {
        const size_t count = std::min(kStoredBlockMax, raw.size() - at);
        z.push_back(block + 1 == blocks ? 1 : 0);  // final flag, type 00: stored
        z.push_back(static_cast<unsigned char>(count));
        z.push_back(static_cast<unsigned char>(count >> 8));
        z.push_back(static_cast<unsigned char>(~count));
        z.push_back(static_cast<unsigned char>(~count >> 8));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                 raw.begin() + static_cast<std::ptrdiff_t>(at + count));
        at += count;
    }
    PutBe32(&z, Adler32(raw.data(), raw.size()));
    return z;
}

}  // namespace

std::string WritePngGrey16(const std::string& file, const uint16_t* pSamples, int32_t iWidth,
                           int32_t iHeight) {
    if (pSamples == nullptr || iWidth <= 0 || iHeight <= 0) return "no picture to write";
    // Within the readers' limit the image data stays far below a chunk's 2^31 bytes.
    if (!FitsPixelLimit(iWidth, iHeight)) return "the picture is too large to write";
    std::vector<unsigned char> png;
    try {
        const std::vector<unsigned char> zlib = StoredZlib(RawRows(pSamples, iWidth, iHeight));
        png.reserve(zlib.size() + 64);
        png.assign(kPngSignature, kPngSignature + sizeof kPngSignature);
        std::vector<unsigned char> ihdr;
        PutBe32(&ihdr, static_cast<uint32_t>(iWidth));
        PutBe32(&ihdr, static_cast<uint32_t>(iHeight));
        // 16 bits, grey, deflate, adaptive filters (each row says none), not interlaced.
        const unsigned char rest[5] = {16, 0, 0, 0, 0};
        ihdr.insert(ihdr.end(), rest, rest + 5);
        PutChunk(&png, "IHDR", ihdr.data(), ihdr.size());
        PutChunk(&png, "IDAT", zlib.data(), zlib.size());
        PutChunk(&png, "IEND", nullptr, 0);
    } catch (const std::exception&) {
        return "not enough memory";
    }
    std::string reason;
    if (!ReplaceFileWhole(file.c_str(), png.data(), png.size(), &reason)) return reason;
    return std::string();
}
