#pragma once
// One frame of korrdepth: read the pair, match it on the device, write the result,
// show the left view, the right view and the disparity, and put the frame rate, the
// pair's name and the disparity range into the title.

#include <cstdint>

#include "depth/depth_options.h"
#include "depth/depth_view.h"
#include "depth/disparity_scores.h"
#include "depth/stereo_matcher.h"
#include "depth/view_pair.h"
#include "pipeline/problem_latch.h"

struct PlatformWindow;

struct DepthState {
    DepthOptions options;
    StereoMatcher matcher;
    DisparityResult result;             // kept, so that frames of one size reuse its memory
    PlatformWindow* hWindow = nullptr;  // none: nothing is drawn and no title set
    ViewPairReader reader;
    DepthView view;
    TruthMap truth;  // read once for the pair's size, not every frame
    double dTotalTime = 0.0;
    float fTotalTime = 0.0f;
    int32_t iFrameCount = 0;
    ProblemLatch problem;  // told once, until a frame succeeds
    ProblemLatch scores;   // told when they change
};

// True when the frame wrote its files. Otherwise a line saying why has been printed,
// unless the same reason was printed for the frame before, and no file was touched
// unless writing it failed.
bool ProcessDepthFrame(DepthState* pState);
