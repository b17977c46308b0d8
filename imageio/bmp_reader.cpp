#include <memory>

#include "imageio/bmp_layout.h"
#include "imageio/bmp_pixels.h"
#include "imageio/image_files.h"
#include "imageio/pixel_buffer.h"
#include "imageio/stdio_file.h"

namespace {

ImageFileError DecodeBmpFile(const char* fileName, bool withAlpha, std::unique_ptr<unsigned char[]>* pixels,
                             BmpLayout* layout) {
    StdioFile file = OpenStdioFile(fileName, "rb");
    if (!file) return ImageFileError::CannotOpen;
    ImageFileError error = ReadBmpLayout(file.get(), layout);
    if (error != ImageFileError::None) return error;

    // Callers of the 4-sample reader rely on 24-bit files arriving red first.
    const SampleOrder order{withAlpha ? 4 : 3, withAlpha && layout->coding == BmpPixelCoding::Bgr24};
    *pixels = NewPixelBuffer(layout->width, layout->height, order.samples);
    if (std::fseek(file.get(), layout->pixelOffset, SEEK_SET) != 0) return ImageFileError::Corrupt;
    const bool rle = layout->coding == BmpPixelCoding::Rle8 || layout->coding == BmpPixelCoding::Rle4;
    return rle ? DecodeBmpRle(file.get(), *layout, order, pixels->get())
               : DecodeBmpRows(file.get(), *layout, order, pixels->get());
}

unsigned char* LoadBmp(const char* fileName, bool withAlpha, int32_t* piWidth, int32_t* piHeight,
                       ImageFileError* pError) {
    std::unique_ptr<unsigned char[]> pixels;
    BmpLayout layout;
    const ImageFileError error = DecodeBmpFile(fileName, withAlpha, &pixels, &layout);
    if (pError) *pError = error;
    if (error != ImageFileError::None) return nullptr;
    if (piWidth) *piWidth = layout.width;
    if (piHeight) *piHeight = layout.height;
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
