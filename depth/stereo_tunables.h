#pragma once
// The matcher's tunables that the host and stereo.cl share. The device code gets them
// as build options (-DNAME=value); its own defaults are the same, and it refuses at
// build time what its vectors and sums cannot hold.

#include <string>

constexpr int kStereoCandidates = 16;   // per pixel and level: two runs of 8
constexpr int kStereoBlock = 16;        // pixels of a row that one work-item takes in vectors
constexpr int kStereoPathsPerItem = 4;  // paths that one work-item of the aggregation walks
// The census compares a pixel with those up to this far to each side and above and
// below it: a window wider than high, as disparities run along the rows.
constexpr int kStereoCensusReachX = 3;
constexpr int kStereoCensusReachY = 2;
constexpr int kStereoCensusBits = (2 * kStereoCensusReachX + 1) * (2 * kStereoCensusReachY + 1) - 1;
// Matching cost: census bits that differ plus the difference of the horizontal
// gradients (half the grey difference of a pixel's neighbours left and right) up to
// the limit. Both are blind to an exposure offset between the views; the gradient tells
// weakly textured surfaces apart where the census bits are mostly noise.
constexpr int kStereoGradientLimit = 4;
// Aggregation: a step of one disparity along a path, any larger step, and how much
// less that costs per grey level of brightness change.
constexpr int kStereoSmallStepPenalty = 20;
constexpr int kStereoLargeStepPenalty = 72;
constexpr int kStereoEdgeSlope = 2;
// Coarser pixels around the parent whose estimates set a pixel's candidates.
constexpr int kStereoRangeRadius = 2;
// The search of each level's whole range by census alone tries at most this many
// disparities, in steps as wide as that takes.
constexpr int kStereoSearchDisparities = 24;
// Its match stands only where its census distance over three pixels of a row is lower
// than at the level's own estimate by more than this many bits.
constexpr int kStereoSearchMargin = 9;
// The final mean: its reach in pixels along the row and across it, and the grey levels
// a neighbour may differ by.
constexpr int kStereoSmoothReachX = 4;
constexpr int kStereoSmoothReachY = 1;
constexpr int kStereoSmoothGreyLimit = 32;
// Depth edges: the reach in pixels of the vote on a pixel's side along the row and
// across it, and the levels by which a voter's blue, green and red may each differ.
// Both reach farther along the rows, where a census window drags a surface across an
// edge.
constexpr int kStereoEdgeReachX = 5;
constexpr int kStereoEdgeReachY = 2;
constexpr int kStereoEdgeColourLimit = 20;
// The fill by colour: a rejected pixel of the finest level takes the plane through the
// lower half of the checked estimates on 9 pixels reaching this far along its row and
// along the rows half this far and this far above and below whose blue, green and red
// lie within the limit of its own, where there are at least the least of them.
constexpr int kStereoFillColourReachX = 24;
constexpr int kStereoFillColourReachY = 8;
constexpr int kStereoFillColourLimit = 10;
constexpr int kStereoFillColourLeast = 3;

struct StereoTunable {
    const char* name;  // in stereo.cl
    int value;
};

constexpr StereoTunable kStereoTunables[] = {
    {"CANDIDATES", kStereoCandidates},
    {"BLOCK", kStereoBlock},
    {"PATHS_PER_ITEM", kStereoPathsPerItem},
    {"CENSUS_REACH_X", kStereoCensusReachX},
    {"CENSUS_REACH_Y", kStereoCensusReachY},
    {"GRADIENT_LIMIT", kStereoGradientLimit},
    {"SMALL_STEP_PENALTY", kStereoSmallStepPenalty},
    {"LARGE_STEP_PENALTY", kStereoLargeStepPenalty},
    {"EDGE_SLOPE", kStereoEdgeSlope},
    {"RANGE_RADIUS", kStereoRangeRadius},
    {"SEARCH_MARGIN", kStereoSearchMargin},
    {"SMOOTH_REACH_X", kStereoSmoothReachX},
    {"SMOOTH_REACH_Y", kStereoSmoothReachY},
    {"SMOOTH_GREY_LIMIT", kStereoSmoothGreyLimit},
    {"EDGE_REACH_X", kStereoEdgeReachX},
    {"EDGE_REACH_Y", kStereoEdgeReachY},
    {"EDGE_COLOUR_LIMIT", kStereoEdgeColourLimit},
    {"FILL_COLOUR_REACH_X", kStereoFillColourReachX},
    {"FILL_COLOUR_REACH_Y", kStereoFillColourReachY},
    {"FILL_COLOUR_LIMIT", kStereoFillColourLimit},
    {"FILL_COLOUR_LEAST", kStereoFillColourLeast},
};

// The build options of stereo.cl for a range of 0 to iMaxDisparity.
std::string StereoBuildOptions(int iMaxDisparity);
