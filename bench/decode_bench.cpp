// Decoding one 741 x 497 view of a stereo pair, the Middlebury 2014 Motorcycle
// im0.png: stb_image, which both builds use, beside the libraries Debian ships for
// Linux alone (libpng, libspng where installed, libjpeg-turbo), each from the same
// bytes in memory to 8-bit red-green-blue. The JPEG is the same view encoded here at
// quality 90. ReadSampleImage adds reading the file and widening to 16-bit samples;
// it reads the same view as a BMP beside it.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>
#include <stb_image.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "imageio/byte_buffer.h"
#include "imageio/image_files.h"
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

// The view's red-green-blue samples as stb_image gives them; empty without the view.
const std::vector<unsigned char>& ViewRgb(int* pWidth, int* pHeight) {
    static int width = 0, height = 0;
    static const std::vector<unsigned char> rgb = [] {
        int channels = 0;
        const ByteBuffer& png = PngBytes();
        std::unique_ptr<unsigned char, void (*)(void*)> decoded(
            stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width, &height, &channels, 3),
            stbi_image_free);
        return decoded ? std::vector<unsigned char>(decoded.get(), decoded.get() + size_t{3} * width * height)
                       : std::vector<unsigned char>();
    }();
    *pWidth = width;
    *pHeight = height;
    return rgb;
}

const Bytes& JpegBytes() {
    static const Bytes bytes = [] {
        int width = 0, height = 0;
        const std::vector<unsigned char>& rgb = ViewRgb(&width, &height);
        return rgb.empty() ? Bytes() : EncodeJpeg(rgb.data(), width, height);
    }();
    return bytes;
}

// The view as a 24-bit BMP, for the peer of reading a PNG: what korrdepth's frames
// read before. Its folder is this run's own, removed at exit.
struct BmpView {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("korr-decode-bench-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::string file = (folder / "view.bmp").string();
    BmpView() {
        int width = 0, height = 0;
        const std::vector<unsigned char>& rgb = ViewRgb(&width, &height);
        std::filesystem::create_directories(folder);
        if (!rgb.empty()) SaveBmpFromRgb(file.c_str(), rgb.data(), width, height);
    }
    ~BmpView() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

// Times decode(bytes, size, &rgb), which gives null or its reason for failing.
template <class Decode>
void TimeDecode(benchmark::State& state, const unsigned char* bytes, size_t size, Decode decode) {
    if (size == 0) {
        state.SkipWithError(("no view to decode at " + ViewFile()).c_str());
        return;
    }
    Bytes rgb;
    for (auto _ : state) {
        if (const char* error = decode(bytes, size, &rgb)) {
            state.SkipWithError(error);
            break;
        }
        benchmark::DoNotOptimize(rgb.data());
    }
}

const char* DecodeStb(const unsigned char* bytes, size_t size, Bytes*) {
    int width = 0, height = 0, channels = 0;
    unsigned char* rgb = stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height, &channels, 3);
    benchmark::DoNotOptimize(rgb);
    stbi_image_free(rgb);
    return rgb ? nullptr : stbi_failure_reason();
}

const char* DecodeLibpng(const unsigned char* bytes, size_t size, Bytes* pRgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes, size)) return "libpng cannot read the view";
    image.format = PNG_FORMAT_RGB;
    pRgb->resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, pRgb->data(), 0, nullptr) ? nullptr
                                                                            : "libpng cannot decode the view";
}

#ifdef KORRAPP_BENCH_SPNG
const char* DecodeSpng(const unsigned char* bytes, size_t size, Bytes* pRgb) {
    spng_ctx* ctx = spng_ctx_new(0);
    size_t rgbSize = 0;
    int status = spng_set_png_buffer(ctx, bytes, size);
    if (status == 0) status = spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &rgbSize);
    if (status == 0) {
        pRgb->resize(rgbSize);
        status = spng_decode_image(ctx, pRgb->data(), rgbSize, SPNG_FMT_RGB8, 0);
    }
    spng_ctx_free(ctx);
    return status == 0 ? nullptr : spng_strerror(status);
}
#endif

// libjpeg-turbo's default error handler ends the process; the JPEG is made here.
const char* DecodeLibjpegTurbo(const unsigned char* bytes, size_t size, Bytes* pRgb) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const size_t stride = static_cast<size_t>(cinfo.output_width) * 3;
    pRgb->resize(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pRgb->data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return nullptr;
}

void TimeReadSampleImage(benchmark::State& state, const std::string& file) {
    TimeDecode(state, PngBytes().data(), PngBytes().size(), [&file](const unsigned char*, size_t, Bytes*) {
        SampleImage image;
        const bool read = ReadSampleImage(file, &image).empty();
        benchmark::DoNotOptimize(image.vSamples.data());
        return read ? nullptr : "the view could not be read";
    });
}

void BM_ReadSampleImage_Png(benchmark::State& state) {
    TimeReadSampleImage(state, ViewFile());
}

void BM_ReadSampleImage_Bmp(benchmark::State& state) {
    static const BmpView bmp;
    TimeReadSampleImage(state, bmp.file);
}

void BM_Stb_Png(benchmark::State& state) {
    TimeDecode(state, PngBytes().data(), PngBytes().size(), DecodeStb);
}

void BM_Libpng_Png(benchmark::State& state) {
    TimeDecode(state, PngBytes().data(), PngBytes().size(), DecodeLibpng);
}

#ifdef KORRAPP_BENCH_SPNG
void BM_Spng_Png(benchmark::State& state) {
    TimeDecode(state, PngBytes().data(), PngBytes().size(), DecodeSpng);
}
#endif

void BM_Stb_Jpeg(benchmark::State& state) {
    TimeDecode(state, JpegBytes().data(), JpegBytes().size(), DecodeStb);
}

void BM_LibjpegTurbo_Jpeg(benchmark::State& state) {
    TimeDecode(state, JpegBytes().data(), JpegBytes().size(), DecodeLibjpegTurbo);
}

BENCHMARK(BM_ReadSampleImage_Png)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSampleImage_Bmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stb_Png)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libpng_Png)->Unit(benchmark::kMillisecond);
#ifdef KORRAPP_BENCH_SPNG
BENCHMARK(BM_Spng_Png)->Unit(benchmark::kMillisecond);
#endif
BENCHMARK(BM_Stb_Jpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibjpegTurbo_Jpeg)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
