#pragma once
// Ground-truth disparity maps and the share of pixels an estimate gets wrong.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "depth/disparity_scores.h"
#include "depth/view_pair.h"

// Row 0 on top; 0 where the truth is unknown.
struct DisparityMap {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<float> values;
};

struct TruthPair {
    std::string name;       // folder under middlebury/
    std::string truthFile;  // the left view's disparity as grey levels
    float scale;            // grey levels per pixel of disparity
};

struct StereoSample;
// The generated sample's own disparity, known at every pixel.
DisparityMap SampleTruth(const StereoSample& sample);

// The four Middlebury pairs of the shared data.
const std::vector<TruthPair>& MiddleburyPairs();

// Grey levels divided by `scale`: PNG (first channel), binary PGM, or BMP (its blue
// samples). Empty when the file cannot be read.
DisparityMap LoadTruth(const std::filesystem::path& file, float scale);

// A little-endian PFM with one sample per pixel (as korrdepth writes), row 0 on top;
// empty when the file is not one.
DisparityMap LoadPfm(const std::filesystem::path& file);

// The same map as the scorer takes it: not finite where unknown, no visible set.
TruthMap ToTruthMap(const DisparityMap& map);

// The shared data's modern pairs: four Middlebury 2014 scenes at quarter size, with
// their range from calib.txt, and one KITTI 2015 pair, searched to 191.
struct ModernPair {
    std::string name;
    std::filesystem::path left;
    std::filesystem::path right;
    std::filesystem::path truth;
    std::filesystem::path mask;          // Middlebury's: 255 where visible; or none
    std::filesystem::path visibleTruth;  // KITTI's truth of the visible pixels; or none
    std::filesystem::path calib;         // where the range comes from; none for KITTI
};
const std::vector<ModernPair>& ModernPairs();
// The views, the truth and the range; empty, or why the pair cannot be had.
std::string LoadModernPair(const ModernPair& pair, ViewPair* pViews, TruthMap* pTruth, int* piMaxDisparity);

// Every pair with truth that the accuracy checks score, by name: the four Middlebury
// 2001/2003 pairs (searched to 64), the sample, then the modern pairs.
std::vector<std::string> ScoredPairNames();
struct ScoredPair {
    ViewPair views;
    TruthMap truth;
    int iMaxDisparity = 64;
};
// Empty, or why the pair cannot be had (the shared data missing among others).
std::string LoadScoredPair(const std::string& name, ScoredPair* pPair);

// A scene folder's views im0.png and im1.png, flat grey, iWidth x 16 pixels: enough for
// what reads only their size. Empty on success; otherwise why not.
std::string WriteFlatSceneViews(const std::filesystem::path& folder, int32_t iWidth);

// Of the pixels whose truth is known, the share whose estimate is missing (not
// finite) or more than `threshold` pixels off, as a percentage.
double BadPixelPercent(const DisparityMap& truth, const std::vector<float>& estimate, float threshold = 1.0f);
