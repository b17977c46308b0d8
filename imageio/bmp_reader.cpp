#include <memory>

#include "imageio/bmp_file.h"
#include "imageio/image_files.h"
#include "imageio/reader_limits.h"

namespace {

ImageFileError DecodeBmpFile(const char* fileName, bool withAlpha, std::unique_ptr<unsigned char[]>* pixels,
                             BmpFile* file) {
    ImageFileError error = file->Open(fileName);
    if (error != ImageFileError::None) return error;
    // Compressed streams may legitimately be tiny; the pixel limit alone bounds them.
    if (!file->IsCompressed() && !IsPlausiblyFilled(file->DeclaredLength(), file->HeldLength()))
        return ImageFileError::Corrupt;
    *pixels = NewPixelBuffer(file->Width(), file->Height(), withAlpha ? 4 : 3);
    if (!*pixels) return ImageFileError::TooLarge;
    return file->Decode(withAlpha, pixels->get());
}

unsigned char* LoadBmp(const char* fileName, bool withAlpha, int32_t* piWidth, int32_t* piHeight,
                       ImageFileError* pError) {
    std::unique_ptr<unsigned char[]> pixels;
    BmpFile file;
    const ImageFileError error = DecodeBmpFile(fileName, withAlpha, &pixels, &file);
    if (pError) *pError = error;
    if (error != ImageFileError::None) return nullptr;
    if (piWidth) *piWidth = file.Width();
    if (piHeight) *piHeight = file.Height();
    return pixels.release();
}

}  // namespace

unsigned char* LoadBmpRgb(const char* fileName, int32_t* piWidth, int32_t* piHeight, ImageFileError* pError) {
    return LoadBmp(fileName, false, piWidth, piHeight, pError);
}

unsigned char* LoadBmpRgba(const char* fileName, int32_t* piWidth, int32_t* piHeight,
                           ImageFileError* pError) {
    return LoadBmp(fileName, true, piWidth, piHeight, pError);
}
