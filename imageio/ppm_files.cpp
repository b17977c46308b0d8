#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "imageio/byte_buffer.h"
#include "imageio/image_files.h"
#include "imageio/native_file.h"
#include "imageio/pnm_samples.h"
#include "imageio/reader_limits.h"
#include "imageio/whole_file.h"

namespace {

constexpr int kEnd = -1;

bool IsPpmSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// The file's bytes, read front to back.
class Cursor {
public:
    explicit Cursor(const ByteBuffer& bytes) : bytes_(bytes) {}
    int Next() { return at_ < bytes_.size() ? bytes_[at_++] : kEnd; }
    void Back() { --at_; }
    size_t Offset() const { return at_; }

private:
    const ByteBuffer& bytes_;
    size_t at_ = 0;
};

// Skips whitespace and '#' comments, which run to the end of the line, and
// returns the first character after them.
int SkipSpaceAndComments(Cursor& in) {
    for (;;) {
        int c = in.Next();
        if (c == '#') {
            do c = in.Next();
            while (c != '\n' && c != '\r' && c != kEnd);
        }
        if (!IsPpmSpace(c)) return c;
    }
}

// Reads one decimal header field and returns the character that ended it; a '#'
// is left for the next field's comment skipping. Values beyond INT32_MAX saturate
// there, so no digit string can overflow.
int ReadField(Cursor& in, int64_t* value, ImageFileError* error) {
    int c = SkipSpaceAndComments(in);
    if (!IsDigit(c)) {
        *error = ImageFileError::Corrupt;
        return c;
    }
    int64_t v = 0;
    for (; IsDigit(c); c = in.Next()) v = std::min<int64_t>(v * 10 + (c - '0'), INT32_MAX);
    *value = v;
    if (c == '#')
        in.Back();
    else if (!IsPpmSpace(c))
        *error = ImageFileError::Corrupt;
    return c;
}

// P6, or with greyToo P5 as well; maxval is checked for range only.
ImageFileError ReadHeaderFields(Cursor& in, bool greyToo, PnmHeader* pHeader) {
    const int magic[3] = {in.Next(), in.Next(), in.Next()};
    if (magic[0] != 'P' || !(magic[1] == '6' || (greyToo && magic[1] == '5')) || !IsPpmSpace(magic[2]))
        return ImageFileError::NotThisFormat;
    pHeader->channels = magic[1] == '6' ? 3 : 1;

    ImageFileError error = ImageFileError::None;
    ReadField(in, &pHeader->width, &error);
    if (error == ImageFileError::None) ReadField(in, &pHeader->height, &error);
    // Exactly one whitespace character separates maxval from the raster.
    if (error == ImageFileError::None && !IsPpmSpace(ReadField(in, &pHeader->maxval, &error)))
        error = ImageFileError::Corrupt;
    if (error != ImageFileError::None) return error;
    if (pHeader->maxval == 0 || pHeader->maxval > 65535) return ImageFileError::Corrupt;
    pHeader->rasterOffset = in.Offset();
    return ImageFileError::None;
}

ImageFileError ReadPpmHeader(Cursor& in, int64_t* width, int64_t* height) {
    PnmHeader header;
    const ImageFileError error = ReadHeaderFields(in, false, &header);
    if (error != ImageFileError::None) return error;
    if (header.maxval > 255) return ImageFileError::Unsupported;  // two-byte samples
    if (!FitsPixelLimit(header.width, header.height)) return ImageFileError::TooLarge;
    *width = header.width;
    *height = header.height;
    return ImageFileError::None;
}

ImageFileError DecodePpmFile(const char* fileName, std::unique_ptr<unsigned char[]>* pixels, int64_t* width,
                             int64_t* height, PpmLengths* pLengths) {
    ByteBuffer bytes;
    ImageFileError error = ReadWholeFile(fileName, &bytes);
    if (error != ImageFileError::None) return error;
    Cursor in(bytes);
    if ((error = ReadPpmHeader(in, width, height)) != ImageFileError::None) return error;
    const size_t stride = static_cast<size_t>(*width) * 3;
    const int64_t declared = static_cast<int64_t>(stride) * *height;
    const int64_t held = static_cast<int64_t>(bytes.size() - in.Offset());
    if (!IsPlausiblyFilled(declared, held)) return ImageFileError::Corrupt;
    if (pLengths) {
        pLengths->declared = static_cast<int64_t>(in.Offset()) + declared;
        pLengths->held = static_cast<int64_t>(bytes.size());
    }

    *pixels = NewPixelBuffer(*width, *height, 3);
    if (!*pixels) return ImageFileError::TooLarge;
    // The file runs top row first, the buffer bottom row first; red and blue trade
    // places. Whatever a short file lacks is zero.
    const unsigned char* raster = bytes.data() + in.Offset();
    size_t left = static_cast<size_t>(held);
    for (int64_t y = *height - 1; y >= 0 && stride > 0; --y) {
        unsigned char* row = pixels->get() + stride * y;
        const size_t got = std::min(stride, left);
        std::copy(raster, raster + got, row);
        std::fill(row + got, row + stride, 0);
        for (size_t i = 0; i + 2 < stride; i += 3) std::swap(row[i], row[i + 2]);
        raster += got;
        left -= got;
    }
    return ImageFileError::None;
}

}  // namespace

ImageFileError ReadPnmHeader(const ByteBuffer& bytes, PnmHeader* pHeader) {
    Cursor in(bytes);
    const ImageFileError error = ReadHeaderFields(in, true, pHeader);
    if (error != ImageFileError::None) return error;
    if (!FitsPixelLimit(pHeader->width, pHeader->height)) return ImageFileError::TooLarge;
    if (!IsPlausiblyFilled(PnmDeclaredLength(*pHeader) - static_cast<int64_t>(pHeader->rasterOffset),
                           static_cast<int64_t>(bytes.size() - pHeader->rasterOffset)))
        return ImageFileError::Corrupt;
    return ImageFileError::None;
}

int64_t PnmDeclaredLength(const PnmHeader& header) {
    const int64_t sampleBytes = header.maxval > 255 ? 2 : 1;
    return static_cast<int64_t>(header.rasterOffset) +
           header.width * header.height * header.channels * sampleBytes;
}

ImageFileError DecodePnmSamples(const ByteBuffer& bytes, const PnmHeader& header, SampleImage* pImage) {
    const bool wide = header.maxval > 255;
    const size_t count = static_cast<size_t>(header.width * header.height * header.channels);
    try {
        pImage->vSamples.resize(count);
    } catch (const std::exception&) {
        return ImageFileError::TooLarge;
    }
    // Samples run most significant byte first; other ranges than a full 8 or 16 bits
    // are scaled to them, rounding, and samples beyond maxval are taken as maxval.
    const uint32_t full = wide ? 65535 : 255;
    const uint32_t maxval = static_cast<uint32_t>(header.maxval);
    const unsigned char* raster = bytes.data() + header.rasterOffset;
    const size_t held = (bytes.size() - header.rasterOffset) / (wide ? 2 : 1);
    for (size_t i = 0; i < count; ++i) {
        uint32_t v = 0;
        if (i < held) v = wide ? uint32_t{raster[2 * i]} << 8 | raster[2 * i + 1] : raster[i];
        if (maxval != full) v = (std::min(v, maxval) * full + maxval / 2) / maxval;
        pImage->vSamples[i] = static_cast<uint16_t>(v);
    }
    pImage->iWidth = static_cast<int32_t>(header.width);
    pImage->iHeight = static_cast<int32_t>(header.height);
    pImage->iChannels = header.channels;
    pImage->iBitDepth = wide ? 16 : 8;
    return ImageFileError::None;
}

unsigned char* LoadPpmRgbWithLengths(const char* fileName, int32_t* piWidth, int32_t* piHeight,
                                     ImageFileError* pError, PpmLengths* pLengths) {
    std::unique_ptr<unsigned char[]> pixels;
    int64_t width = 0, height = 0;
    const ImageFileError error = DecodePpmFile(fileName, &pixels, &width, &height, pLengths);
    if (pError) *pError = error;
    if (error != ImageFileError::None) return nullptr;
    if (piWidth) *piWidth = static_cast<int32_t>(width);
    if (piHeight) *piHeight = static_cast<int32_t>(height);
    return pixels.release();
}

unsigned char* LoadPpmRgb(const char* fileName, int32_t* piWidth, int32_t* piHeight, ImageFileError* pError) {
    return LoadPpmRgbWithLengths(fileName, piWidth, piHeight, pError, nullptr);
}

void SavePpmFromRgb(const char* fileName, const unsigned char* pRGBBuffer, int32_t iWidth, int32_t iHeight) {
    if (iWidth < 0 || iHeight < 0) return;
    const size_t stride = static_cast<size_t>(iWidth) * 3;
    char header[48];
    const int headerSize = std::snprintf(header, sizeof header, "P6\n%d %d\n255\n", static_cast<int>(iWidth),
                                         static_cast<int>(iHeight));
    std::vector<unsigned char> file;
    if (pRGBBuffer) {
        try {
            file.resize(static_cast<size_t>(headerSize + uint64_t{stride} * static_cast<uint32_t>(iHeight)));
        } catch (const std::exception&) {
            return;  // beyond memory, or beyond what a vector may hold
        }
        unsigned char* out = std::copy(header, header + headerSize, file.data());
        for (int32_t y = iHeight - 1; y >= 0; --y) {
            const unsigned char* in = pRGBBuffer + stride * y;
            for (size_t i = 0; i < stride; i += 3, out += 3) {
                out[0] = in[i + 2];
                out[1] = in[i + 1];
                out[2] = in[i];
            }
        }
    }
    ReplaceFileWhole(fileName, file.data(), file.size(), nullptr);
}
