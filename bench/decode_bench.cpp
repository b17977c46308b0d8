// Decoding one 741 x 497 view of a stereo pair, the Middlebury 2014 Motorcycle
// im0.png: stb_image, which both builds use, beside the libraries Debian ships for
// Linux alone (libpng, libspng where installed, libjpeg-turbo), each from the same
// bytes in memory to 8-bit red-green-blue. The JPEG is the same view encoded here at
// quality 90. ReadSampleImage adds reading the file and widening to 16-bit samples.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>
#include <stb_image.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "imageio/byte_buffer.h"
#include "imageio/sample_image.h"
#include "imageio/whole_file.h"

#ifdef KORRAPP_BENCH_SPNG
#include <spng.h>
#endif

namespace {

using Bytes = std::vector<unsigned char>;

std::string ViewFile() {
    return (std::filesystem::path(KORRAPP_TESTDATA_DIR) / "stereo-modern" / "middlebury2014-Q" /
            "Motorcycle" / "im0.png")
        .string();
}

// The PNG's bytes, empty where the shared test data is missing.
const ByteBuffer& PngBytes() {
    static const ByteBuffer bytes = [] {
        ByteBuffer read;
        if (ReadWholeFile(ViewFile().c_str(), &read) != ImageFileError::None) read.clear();
        return read;
    }();
    return bytes;
}

Bytes EncodeJpeg(const unsigned char* rgb, int width, int height) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(rgb) + static_cast<size_t>(cinfo.next_scanline) * width * 3;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes jpeg(buffer, buffer + size);
    std::free(buffer);
    return jpeg;
}

const Bytes& JpegBytes() {
    static const Bytes bytes = [] {
        int width = 0, height = 0, channels = 0;
        const ByteBuffer& png = PngBytes();
        std::unique_ptr<unsigned char, void (*)(void*)> rgb(
            stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width, &height, &channels, 3),
            stbi_image_free);
        return rgb ? EncodeJpeg(rgb.get(), width, height) : Bytes();
    }();
    return bytes;
}

bool Present(benchmark::State& state, size_t size) {
    if (size == 0) state.SkipWithError(("no view to decode at " + ViewFile()).c_str());
    return size > 0;
}

void BM_ReadSampleImage_Png(benchmark::State& state) {
    if (!Present(state, PngBytes().size())) return;
    const std::string file = ViewFile();
    for (auto _ : state) {
        SampleImage image;
        if (!ReadSampleImage(file, &image).empty()) state.SkipWithError("the view could not be read");
        benchmark::DoNotOptimize(image.vSamples.data());
    }
}

void StbRgb(benchmark::State& state, const unsigned char* bytes, size_t size) {
    if (!Present(state, size)) return;
    for (auto _ : state) {
        int width = 0, height = 0, channels = 0;
        unsigned char* rgb =
            stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height, &channels, 3);
        if (!rgb) state.SkipWithError(stbi_failure_reason());
        benchmark::DoNotOptimize(rgb);
        stbi_image_free(rgb);
    }
}

void BM_Stb_Png(benchmark::State& state) {
    StbRgb(state, PngBytes().data(), PngBytes().size());
}

void BM_Libpng_Png(benchmark::State& state) {
    const ByteBuffer& png = PngBytes();
    if (!Present(state, png.size())) return;
    Bytes rgb;
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) {
            state.SkipWithError(image.message);
            break;
        }
        image.format = PNG_FORMAT_RGB;
        rgb.resize(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
            state.SkipWithError(image.message);
        benchmark::DoNotOptimize(rgb.data());
    }
}

#ifdef KORRAPP_BENCH_SPNG
void BM_Spng_Png(benchmark::State& state) {
    const ByteBuffer& png = PngBytes();
    if (!Present(state, png.size())) return;
    Bytes rgb;
    for (auto _ : state) {
        spng_ctx* ctx = spng_ctx_new(0);
        size_t size = 0;
        int status = spng_set_png_buffer(ctx, png.data(), png.size());
        if (status == 0) status = spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &size);
        if (status == 0) {
            rgb.resize(size);
            status = spng_decode_image(ctx, rgb.data(), size, SPNG_FMT_RGB8, 0);
        }
        if (status != 0) state.SkipWithError(spng_strerror(status));
        benchmark::DoNotOptimize(rgb.data());
        spng_ctx_free(ctx);
    }
}
BENCHMARK(BM_Spng_Png)->Unit(benchmark::kMillisecond);
#endif

void BM_Stb_Jpeg(benchmark::State& state) {
    StbRgb(state, JpegBytes().data(), JpegBytes().size());
}

void BM_LibjpegTurbo_Jpeg(benchmark::State& state) {
    const Bytes& jpeg = JpegBytes();
    if (!Present(state, jpeg.size())) return;
    Bytes rgb;
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr error;
        cinfo.err = jpeg_std_error(&error);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_RGB;
        jpeg_start_decompress(&cinfo);
        const size_t stride = static_cast<size_t>(cinfo.output_width) * 3;
        rgb.resize(stride * cinfo.output_height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = rgb.data() + stride * cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(rgb.data());
    }
}

BENCHMARK(BM_ReadSampleImage_Png)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stb_Png)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libpng_Png)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stb_Jpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibjpegTurbo_Jpeg)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
