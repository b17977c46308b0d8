#include "depth/disparity_colour_map.h"

#include <algorithm>
#include <cmath>

namespace {

// Single precision throughout, as on the device, so that both round alike.
unsigned char Channel(float t, float peak) {
    const float level = std::clamp(1.5f - std::fabs(4.0f * t - peak), 0.0f, 1.0f);
    return static_cast<unsigned char>(255.0f * level + 0.5f);
}

}  // namespace

void DisparityColour(float fDisparity, int iMaxDisparity, unsigned char bgr[3]) {
    if (!std::isfinite(fDisparity)) {
        bgr[0] = bgr[1] = bgr[2] = 0;
        return;
    }
    const float t = std::clamp(fDisparity / static_cast<float>(std::max(iMaxDisparity, 1)), 0.0f, 1.0f);
    bgr[0] = Channel(t, 1.0f);
    bgr[1] = Channel(t, 2.0f);
    bgr[2] = Channel(t, 3.0f);
}
