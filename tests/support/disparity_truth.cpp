#include "tests/support/disparity_truth.h"

#include <cmath>
#include <cstring>
#include <fstream>

#include "imageio/image_files.h"
#include "tests/imageio/png_reference.h"
#include "tools/sample_scene.h"

namespace fs = std::filesystem;

namespace {

DisparityMap FromSamples(int32_t width, int32_t height, const unsigned char* samples, int step, float scale) {
    DisparityMap map{width, height, std::vector<float>(static_cast<size_t>(width) * height)};
    for (size_t i = 0; i < map.values.size(); ++i) {
        map.values[i] = static_cast<float>(samples[i * step]) / scale;
    }
    return map;
}

// Binary PGM with 8-bit samples; comments allowed in the header.
DisparityMap LoadPgm(const fs::path& file, float scale) {
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    in >> magic;
    int32_t fields[3] = {};
    for (int32_t& field : fields) {
        while (in >> std::ws && in.peek() == '#') in.ignore(1 << 20, '\n');
        in >> field;
    }
    in.get();
    if (!in || magic != "P5" || fields[0] <= 0 || fields[1] <= 0 || fields[2] > 255) return DisparityMap();
    std::vector<unsigned char> samples(static_cast<size_t>(fields[0]) * fields[1]);
    in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size()));
    if (!in) return DisparityMap();
    return FromSamples(fields[0], fields[1], samples.data(), 1, scale);
}

}  // namespace

const std::vector<TruthPair>& MiddleburyPairs() {
    static const std::vector<TruthPair> pairs = {
        {"cones", "disp2.png", 4.0f},
        {"teddy", "disp2.png", 4.0f},
        {"tsukuba", "disp3.pgm", 16.0f},
        {"venus", "disp2.pgm", 8.0f},
    };
    return pairs;
}

DisparityMap LoadTruth(const fs::path& file, float scale) {
    const std::string extension = file.extension().string();
    if (extension == ".png") {
        RgbaImage image;
        if (!LoadPngRgba(file.string(), &image)) return DisparityMap();
        return FromSamples(image.width, image.height, image.rgba.data(), 4, scale);
    }
    if (extension == ".pgm") return LoadPgm(file, scale);
    int32_t width = 0;
    int32_t height = 0;
    unsigned char* pixels = LoadBmpRgb(file.string().c_str(), &width, &height);
    if (pixels == nullptr) return DisparityMap();
    DisparityMap map = FromSamples(width, height, pixels, 3, scale);
    delete[] pixels;
    return map;
}

DisparityMap LoadPfm(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    int32_t width = 0;
    int32_t height = 0;
    double scale = 0.0;
    in >> magic >> width >> height >> scale;
    in.get();
    if (!in || magic != "Pf" || scale >= 0.0 || width <= 0 || height <= 0) return DisparityMap();
    std::vector<unsigned char> bytes(static_cast<size_t>(width) * height * 4);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in || in.peek() != std::char_traits<char>::eof()) return DisparityMap();
    DisparityMap map{width, height, std::vector<float>(static_cast<size_t>(width) * height)};
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const unsigned char* b = &bytes[(static_cast<size_t>(height - 1 - y) * width + x) * 4];
            const uint32_t bits = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
            std::memcpy(&map.values[static_cast<size_t>(y) * width + x], &bits, 4);
        }
    }
    return map;
}

double BadPixelPercent(const DisparityMap& truth, const std::vector<float>& estimate, float threshold) {
    if (estimate.size() != truth.values.size()) return 100.0;
    size_t known = 0;
    size_t bad = 0;
    for (size_t i = 0; i < estimate.size(); ++i) {
        if (truth.values[i] == 0.0f) continue;
        ++known;
        bad += !(std::fabs(estimate[i] - truth.values[i]) <= threshold);
    }
    return known == 0 ? 100.0 : 100.0 * static_cast<double>(bad) / static_cast<double>(known);
}

DisparityMap SampleTruth(const StereoSample& sample) {
    return DisparityMap{sample.width, sample.height, {sample.disparity.begin(), sample.disparity.end()}};
}
