#include "tests/support/disparity_truth.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

#include "depth/calibration.h"
#include "depth/truth_files.h"
#include "imageio/image_files.h"
#include "imageio/pfm_file.h"
#include "imageio/sample_image.h"
#include "tests/imageio/png_reference.h"
#include "tests/support/test_data.h"
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
    DisparityMap map;
    if (!LoadPfmGrey(file.string(), &map.values, &map.width, &map.height).empty()) return DisparityMap();
    return map;
}

TruthMap ToTruthMap(const DisparityMap& map) {
    TruthMap truth{map.width, map.height, map.values, {}};
    for (float& value : truth.vDisparity) value = value == 0.0f ? INFINITY : value;
    return truth;
}

const std::vector<ModernPair>& ModernPairs() {
    static const std::vector<ModernPair> pairs = [] {
        const fs::path data = SharedTestDataDir() / "stereo-modern";
        std::vector<ModernPair> list;
        for (const char* scene : {"Adirondack", "Jadeplant", "Motorcycle", "Playroom"}) {
            const fs::path dir = data / "middlebury2014-Q" / scene;
            list.push_back({scene,
                            dir / "im0.png",
                            dir / "im1.png",
                            dir / "disp0GT.pfm",
                            dir / "mask0nocc.png",
                            {},
                            dir / "calib.txt"});
        }
        const fs::path kitti = data / "kitti2015" / "training";
        const fs::path name = "000000_10.png";
        list.push_back({"kitti-000000",
                        kitti / "image_2" / name,
                        kitti / "image_3" / name,
                        kitti / "disp_occ_0" / name,
                        {},
                        kitti / "disp_noc_0" / name,
                        {}});
        return list;
    }();
    return pairs;
}

std::string LoadModernPair(const ModernPair& pair, ViewPair* pViews, TruthMap* pTruth, int* piMaxDisparity) {
    if (SharedTestDataDir().empty()) return SharedTestDataMissing();
    *piMaxDisparity = 191;
    if (!pair.calib.empty()) {
        SceneCalibration calibration;
        const std::string problem = ReadCalibration(pair.calib.string(), &calibration);
        if (!problem.empty()) return problem;
        *piMaxDisparity = calibration.iDisparityCount - 1;
    }
    std::string problem = ReadViewPair(pair.left.string(), pair.right.string(), pViews);
    if (problem.empty()) {
        problem = ReadPairTruth(pair.truth.string(), pair.mask.string(), 0.0, pViews->iWidth, pViews->iHeight,
                                pTruth);
    }
    if (problem.empty() && !pair.visibleTruth.empty())
        problem = ReadVisibleTruth(pair.visibleTruth.string(), pTruth);
    return problem;
}

std::vector<std::string> ScoredPairNames() {
    std::vector<std::string> names;
    for (const TruthPair& pair : MiddleburyPairs()) names.push_back(pair.name);
    names.push_back("sample");
    for (const ModernPair& pair : ModernPairs()) names.push_back(pair.name);
    return names;
}

std::string LoadScoredPair(const std::string& name, ScoredPair* pPair) {
    if (name == "sample") {
        const StereoSample sample = GenerateSampleScene();
        ViewPair& views = pPair->views;
        views.iWidth = sample.width;
        views.iHeight = sample.height;
        views.pLeft.reset(new unsigned char[sample.left.size()]);
        views.pRight.reset(new unsigned char[sample.right.size()]);
        std::copy(sample.left.begin(), sample.left.end(), views.pLeft.get());
        std::copy(sample.right.begin(), sample.right.end(), views.pRight.get());
        pPair->truth = ToTruthMap(SampleTruth(sample));
        return "";
    }
    for (const TruthPair& pair : MiddleburyPairs()) {
        if (pair.name != name) continue;
        if (SharedTestDataDir().empty()) return SharedTestDataMissing();
        const fs::path dir = SharedTestDataDir() / "middlebury" / name;
        const std::string problem =
            ReadViewPair((dir / "im2.bmp").string(), (dir / "im6.bmp").string(), &pPair->views);
        if (!problem.empty()) return problem;
        pPair->truth = ToTruthMap(LoadTruth(dir / pair.truthFile, pair.scale));
        return pPair->truth.vDisparity.empty() ? "cannot read " + (dir / pair.truthFile).string() : "";
    }
    for (const ModernPair& pair : ModernPairs()) {
        if (pair.name == name)
            return LoadModernPair(pair, &pPair->views, &pPair->truth, &pPair->iMaxDisparity);
    }
    return "no pair named " + name;
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

std::string WriteFlatSceneViews(const std::filesystem::path& folder, int32_t iWidth) {
    const std::vector<uint16_t> grey(static_cast<size_t>(iWidth) * 16, 30000);
    for (const char* view : {"im0.png", "im1.png"}) {
        const std::string problem = WritePngGrey16((folder / view).string(), grey.data(), iWidth, 16);
        if (!problem.empty()) return problem;
    }
    return std::string();
}
