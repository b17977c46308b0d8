// Arbitrary bytes through the PPM reader.

#include "fuzz/fuzz_input_file.h"
#include "imageio/image_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzInputFile input;
    const char* path = input.Write(data, size);
    int32_t width = 0, height = 0;
    ImageFileError error = ImageFileError::None;
    if (unsigned char* pixels = LoadPpmRgb(path, &width, &height, &error)) {
        TouchPixels(pixels, width, height, 3);
        delete[] pixels;
    } else if (error == ImageFileError::None) {
        std::abort();
    }
    return 0;
}
