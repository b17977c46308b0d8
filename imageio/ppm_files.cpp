#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "imageio/image_files.h"
#include "imageio/pixel_buffer.h"
#include "imageio/stdio_file.h"

namespace {

bool IsPpmSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// Skips whitespace and '#' comments, which run to the end of the line, and
// returns the first character after them.
int SkipSpaceAndComments(std::FILE* file) {
    for (;;) {
        int c = std::getc(file);
        if (c == '#') {
            do c = std::getc(file);
            while (c != '\n' && c != '\r' && c != EOF);
        }
        if (!IsPpmSpace(c)) return c;
    }
}

// Reads one decimal header field and returns the character that ended it; a '#'
// is left in the file for the next field's comment skipping. Values beyond
// INT32_MAX saturate there, so no digit string can overflow.
int ReadField(std::FILE* file, int64_t* value, ImageFileError* error) {
    int c = SkipSpaceAndComments(file);
    if (!IsDigit(c)) {
        *error = ImageFileError::Corrupt;
        return c;
    }
    int64_t v = 0;
    for (; IsDigit(c); c = std::getc(file)) v = std::min<int64_t>(v * 10 + (c - '0'), INT32_MAX);
    *value = v;
    if (c == '#')
        std::ungetc(c, file);
    else if (!IsPpmSpace(c))
        *error = ImageFileError::Corrupt;
    return c;
}

ImageFileError ReadPpmHeader(std::FILE* file, int64_t* width, int64_t* height) {
    char magic[3] = {};
    const size_t got = std::fread(magic, 1, 3, file);
    if (std::ferror(file)) return ImageFileError::CannotOpen;
    if (got < 3 || magic[0] != 'P' || magic[1] != '6' || !IsPpmSpace(magic[2]))
        return ImageFileError::NotThisFormat;

    ImageFileError error = ImageFileError::None;
    int64_t maxval = 0;
    ReadField(file, width, &error);
    if (error == ImageFileError::None) ReadField(file, height, &error);
    // Exactly one whitespace character separates maxval from the raster.
    if (error == ImageFileError::None && !IsPpmSpace(ReadField(file, &maxval, &error)))
        error = ImageFileError::Corrupt;
    if (error != ImageFileError::None) return error;
    if (maxval == 0 || maxval > 65535) return ImageFileError::Corrupt;
    if (maxval > 255) return ImageFileError::Unsupported;  // two-byte samples
    if (!FitsPixelLimit(*width, *height)) return ImageFileError::TooLarge;
    return ImageFileError::None;
}

ImageFileError DecodePpmFile(const char* fileName, std::unique_ptr<unsigned char[]>* pixels, int64_t* width,
                             int64_t* height) {
    StdioFile file = OpenStdioFile(fileName, "rb");
    if (!file) return ImageFileError::CannotOpen;
    const ImageFileError error = ReadPpmHeader(file.get(), width, height);
    if (error != ImageFileError::None) return error;

    *pixels = NewPixelBuffer(*width, *height, 3);
    const size_t stride = static_cast<size_t>(*width) * 3;
    // The file runs top row first; the buffer bottom row first. Samples are read in
    // place, then red and blue trade places. Whatever a short file lacks stays zero.
    for (int64_t y = *height - 1; y >= 0 && stride > 0; --y) {
        unsigned char* row = pixels->get() + stride * y;
        const size_t got = std::fread(row, 1, stride, file.get());
        for (size_t i = 0; i + 2 < stride; i += 3) std::swap(row[i], row[i + 2]);
        if (got < stride) break;
    }
    return ImageFileError::None;
}

}  // namespace

unsigned char* LoadPpmRgb(const char* fileName, int32_t* piWidth, int32_t* piHeight, ImageFileError* pError) {
    std::unique_ptr<unsigned char[]> pixels;
    int64_t width = 0, height = 0;
    const ImageFileError error = DecodePpmFile(fileName, &pixels, &width, &height);
    if (pError) *pError = error;
    if (error != ImageFileError::None) return nullptr;
    if (piWidth) *piWidth = static_cast<int32_t>(width);
    if (piHeight) *piHeight = static_cast<int32_t>(height);
    return pixels.release();
}

void SavePpmFromRgb(const char* fileName, const unsigned char* pRGBBuffer, int32_t iWidth, int32_t iHeight) {
    if (iWidth < 0 || iHeight < 0) return;
    const size_t stride = static_cast<size_t>(iWidth) * 3;
    // The row is allocated before the file is opened so that a failure leaves it alone.
    std::unique_ptr<unsigned char[]> row;
    if (pRGBBuffer && stride > 0) {
        row.reset(new (std::nothrow) unsigned char[stride]);
        if (!row) return;
    }
    StdioFile file = OpenStdioFile(fileName, "wb");
    if (!file || !pRGBBuffer) return;
    std::fprintf(file.get(), "P6\n%d %d\n255\n", static_cast<int>(iWidth), static_cast<int>(iHeight));
    if (stride == 0) return;
    for (int32_t y = iHeight - 1; y >= 0; --y) {
        const unsigned char* in = pRGBBuffer + stride * y;
        for (size_t i = 0; i < stride; i += 3) {
            row[i] = in[i + 2];
            row[i + 1] = in[i + 1];
            row[i + 2] = in[i];
        }
        std::fwrite(row.get(), 1, stride, file.get());
    }
}
