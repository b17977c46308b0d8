#pragma once
// What a reader gave for one file, as the reader tests look at it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imageio/image_files.h"

struct Loaded {
    std::unique_ptr<unsigned char[]> pixels;
    int32_t width = -7;  // what the caller had before the call
    int32_t height = -7;
    ImageFileError error = ImageFileError::None;
    std::vector<unsigned char> samples;  // the whole buffer, when there is one
};

using ImageReader = unsigned char* (*)(const char*, int32_t*, int32_t*, ImageFileError*);

inline Loaded LoadWith(ImageReader read, const std::string& path, int samplesPerPixel) {
    Loaded r;
    r.pixels.reset(read(path.c_str(), &r.width, &r.height, &r.error));
    if (r.pixels) {
        const size_t size = static_cast<size_t>(r.width) * static_cast<size_t>(r.height) * samplesPerPixel;
        r.samples.assign(r.pixels.get(), r.pixels.get() + size);
    }
    return r;
}
