#include "tests/imageio/png_reference.h"

#include <png.h>

#include <cstdio>

namespace {

// Kept apart from the caller so that no local of a function that calls setjmp is
// modified before a libpng error jumps back.
bool ReadPng(png_structp png, png_infop info, RgbaImage* image, std::vector<png_bytep>* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    image->width = static_cast<int>(png_get_image_width(png, info));
    image->height = static_cast<int>(png_get_image_height(png, info));
    image->rgba.assign(static_cast<size_t>(image->width) * image->height * 4, 0);
    rows->resize(static_cast<size_t>(image->height));
    for (size_t y = 0; y < rows->size(); ++y)
        (*rows)[y] = image->rgba.data() + y * static_cast<size_t>(image->width) * 4;
    png_read_image(png, rows->data());
    return true;
}

}  // namespace

bool LoadPngRgba(const std::string& fileName, RgbaImage* image) {
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_bytep> rows;
    bool ok = false;
    if (info) {
        png_init_io(png, file);
        ok = ReadPng(png, info, image, &rows);
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    std::fclose(file);
    return ok;
}
