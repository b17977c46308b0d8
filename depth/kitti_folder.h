#pragma once
// A KITTI stereo folder, matched pair by pair: DIR/image_2/NNNNNN_10.png with
// DIR/image_3/NNNNNN_10.png (KITTI 2015; colored_0 and colored_1 in KITTI 2012) into
// OUTDIR/disp_0/NNNNNN_10.png, 16-bit disparity x 256 with 0 where there is no
// estimate, scored against DIR/disp_occ_0 (disp_occ) and, for the visible pixels,
// disp_noc_0 (disp_noc) where they hold the pair's truth.

#include <string>
#include <vector>

#include "depth/depth_options.h"
#include "depth/stereo_matcher.h"

struct KittiFolder {
    std::string sLeftDir;
    std::string sRightDir;
    std::string sTruthDir;            // none when empty
    std::string sVisibleDir;          // none when empty
    std::string sOutputDir;           // OUTDIR/disp_0, made when missing
    std::vector<std::string> vNames;  // of the left views, in order
    int iMaxDisparity = 0;
};

// The folder's layout and pairs, and the range: 192 disparities unless given. Empty
// on success; otherwise one line saying what is missing.
std::string FindKittiFolder(const DepthOptions& options, KittiFolder* pFolder);

// Matches and writes every pair, telling its progress, and ends with the mean scores.
// A pair that fails is named and skipped. The exit status: 0 when every pair was
// written, 1 otherwise.
int RunKittiFolder(const KittiFolder& folder, StereoMatcher* pMatcher);
