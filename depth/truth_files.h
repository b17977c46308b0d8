#pragma once
// Ground truth as the datasets ship it: a float PFM (infinity unknown), a 16-bit PNG
// of disparity x 256 (0 unknown), or an 8-bit picture of disparity x a given scale
// (0 unknown); and which pixels both views see, from a mask or from a second truth.

#include <string>

#include "depth/disparity_scores.h"

// `scale`: a picture's grey levels per pixel of disparity; 0 takes the format's own
// (256 for 16 bits), and an 8-bit picture needs one. A PFM holds disparities as they are. Empty on success;
// otherwise one line naming the file and what is wrong.
std::string ReadTruthMap(const std::string& fileName, double scale, TruthMap* pTruth);

// A mask of the truth's size: 255 visible, 128 occluded, 0 no truth (which unsets the
// truth there).
std::string ReadTruthMask(const std::string& fileName, TruthMap* pTruth);

// The visible pixels are those where a truth of the visible pixels alone is known
// (KITTI's disp_noc_0 beside disp_occ_0).
std::string ReadVisibleTruth(const std::string& fileName, TruthMap* pTruth);

// The truth of a pair of views of this size, with the visible pixels from the mask when
// one is named: ReadTruthMap and ReadTruthMask, and a size check against the views.
std::string ReadPairTruth(const std::string& fileName, const std::string& maskFileName, double scale,
                          int32_t iWidth, int32_t iHeight, TruthMap* pTruth);
