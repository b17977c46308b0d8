#include "imageio/whole_file.h"

#include <stdexcept>

#include "imageio/native_file.h"
#include "imageio/open_image_file.h"

ImageFileError ReadWholeFile(const char* fileName, ByteBuffer* bytes) {
    InputFile file;
    const ImageFileError error = OpenImageFile(fileName, &file);
    if (error != ImageFileError::None) return error;
    try {
        bytes->resize(static_cast<size_t>(file.Length()));
    } catch (const std::exception&) {
        return ImageFileError::TooLarge;  // beyond memory, or beyond what a vector may hold
    }
    size_t got = 0;
    if (!file.ReadAt(0, bytes->data(), bytes->size(), &got)) return ImageFileError::CannotOpen;
    bytes->resize(got);
    return ImageFileError::None;
}
