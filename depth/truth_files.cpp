#include "depth/truth_files.h"

#include <cmath>
#include <new>

#include "imageio/native_file.h"
#include "imageio/pfm_file.h"
#include "imageio/sample_image.h"

namespace {

std::string SizeText(int32_t iWidth, int32_t iHeight) {
    return std::to_string(iWidth) + " x " + std::to_string(iHeight);
}

std::string SizeProblem(const std::string& fileName, int32_t iWidth, int32_t iHeight, const TruthMap& truth) {
    if (iWidth == truth.iWidth && iHeight == truth.iHeight) return std::string();
    return fileName + " is " + SizeText(iWidth, iHeight) + " pixels where the truth is " +
           SizeText(truth.iWidth, truth.iHeight);
}

bool IsPfm(const std::string& fileName) {
    InputFile file;
    char magic[2] = {};
    size_t got = 0;
    return file.Open(fileName.c_str()) == FileOpenResult::Opened && file.ReadAt(0, magic, 2, &got) &&
           got == 2 && magic[0] == 'P' && magic[1] == 'f';
}

}  // namespace

std::string ReadTruthMap(const std::string& fileName, double scale, TruthMap* pTruth) {
    TruthMap truth;
    if (IsPfm(fileName)) {
        std::string problem = LoadPfmGrey(fileName, &truth.vDisparity, &truth.iWidth, &truth.iHeight);
        if (!problem.empty()) return problem;
        *pTruth = std::move(truth);
        return std::string();
    }
    SampleImage image;
    std::string problem = ReadSampleImage(fileName, &image);
    if (!problem.empty()) return problem;
    if (scale <= 0.0 && image.iBitDepth == 8) {
        return fileName +
               " holds 8-bit samples: give their scale, grey levels per pixel of disparity "
               "(--truth-scale)";
    }
    if (scale <= 0.0) scale = 256.0;
    truth.iWidth = image.iWidth;
    truth.iHeight = image.iHeight;
    truth.vDisparity.resize(static_cast<size_t>(image.iWidth) * static_cast<size_t>(image.iHeight));
    for (size_t i = 0; i < truth.vDisparity.size(); ++i) {
        const uint16_t sample = image.vSamples[i * static_cast<size_t>(image.iChannels)];
        truth.vDisparity[i] = sample == 0 ? INFINITY : static_cast<float>(sample / scale);
    }
    *pTruth = std::move(truth);
    return std::string();
}

std::string ReadTruthMask(const std::string& fileName, TruthMap* pTruth) {
    SampleImage mask;
    std::string problem = ReadSampleImage(fileName, &mask);
    if (problem.empty()) problem = SizeProblem(fileName, mask.iWidth, mask.iHeight, *pTruth);
    if (problem.empty() && mask.iBitDepth != 8) problem = fileName + " is not an 8-bit mask";
    if (!problem.empty()) return problem;
    pTruth->vVisible.resize(pTruth->vDisparity.size());
    for (size_t i = 0; i < pTruth->vVisible.size(); ++i) {
        const uint16_t sample = mask.vSamples[i * static_cast<size_t>(mask.iChannels)];
        pTruth->vVisible[i] = sample == 255;
        if (sample == 0) pTruth->vDisparity[i] = INFINITY;
    }
    return std::string();
}

std::string ReadVisibleTruth(const std::string& fileName, TruthMap* pTruth) {
    TruthMap visible;
    std::string problem = ReadTruthMap(fileName, 0.0, &visible);
    if (problem.empty()) problem = SizeProblem(fileName, visible.iWidth, visible.iHeight, *pTruth);
    if (!problem.empty()) return problem;
    pTruth->vVisible.resize(pTruth->vDisparity.size());
    for (size_t i = 0; i < pTruth->vVisible.size(); ++i)
        pTruth->vVisible[i] = std::isfinite(visible.vDisparity[i]);
    return std::string();
}

std::string ReadPairTruth(const std::string& fileName, const std::string& maskFileName, double scale,
                          int32_t iWidth, int32_t iHeight, TruthMap* pTruth) {
    std::string problem = ReadTruthMap(fileName, scale, pTruth);
    if (problem.empty() && (pTruth->iWidth != iWidth || pTruth->iHeight != iHeight)) {
        problem = fileName + " is " + SizeText(pTruth->iWidth, pTruth->iHeight) +
                  " pixels where the views are " + SizeText(iWidth, iHeight);
    }
    if (problem.empty() && !maskFileName.empty()) problem = ReadTruthMask(maskFileName, pTruth);
    return problem;
}
