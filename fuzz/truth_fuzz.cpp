// Arbitrary bytes as the files korrdepth reads beside its views: a float map (the
// truth, scored against itself) and a calib.txt.

#include <cmath>

#include "depth/calibration.h"
#include "depth/disparity_scores.h"
#include "fuzz/fuzz_input_file.h"
#include "imageio/pfm_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzInputFile input;
    const char* path = input.Write(data, size);
    TruthMap truth;
    if (LoadPfmGrey(path, &truth.vDisparity, &truth.iWidth, &truth.iHeight).empty()) {
        if (truth.vDisparity.size() !=
            static_cast<size_t>(truth.iWidth) * static_cast<size_t>(truth.iHeight)) {
            std::abort();
        }
        const DisparityScores scores = ScoreDisparity(truth.vDisparity.data(), truth);
        if (scores.all.dBadPercent[0] != 0.0) std::abort();
    }
    SceneCalibration calibration;
    if (ParseCalibration("calib.txt", std::string(reinterpret_cast<const char*>(data), size), &calibration)
            .empty() &&
        (calibration.iDisparityCount < 2 || !(calibration.camera.dBaselineMm > 0.0))) {
        std::abort();
    }
    return 0;
}
