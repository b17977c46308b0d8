#pragma once
// korrdepth's window: the last pair and colour map shown, laid out to the window's
// size and composed into one picture, which is drawn whole. A pair of a new size fits
// the window to itself (within the usable screen); a window resized in between is
// laid out again, and drawn again at once, from what was kept.

#include <cstdint>
#include <vector>

#include "depth/depth_layout.h"
#include "depth/stereo_matcher.h"
#include "depth/view_pair.h"
#include "display/canvas.h"

struct PlatformWindow;

class DepthView {
public:
    // Keeps the pair's views and a copy of the colour map. Nothing happens without a window.
    void Show(PlatformWindow* hWindow, const ViewPair& pair, const DisparityResult& result,
              int iMaxDisparity);
    // Draws what was last shown again when the window's size has changed since.
    void Refresh(PlatformWindow* hWindow);

private:
    void Draw(PlatformWindow* hWindow);
    bool LayOut(int32_t iClientWidth, int32_t iClientHeight);

    ViewPair pair_;
    std::vector<unsigned char> vColour_;
    int iMaxDisparity_ = 0;
    bool bStale_ = true;  // the layout is not the pair's
    DepthLayout layout_;
    Canvas canvas_;
};
