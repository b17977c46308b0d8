#include "depth/colour_bar.h"

#include "depth/disparity_colour_map.h"
#include "display/digit_font.h"

namespace {

const unsigned char kLabelColour[3] = {230, 230, 230};

}  // namespace

void DrawColourBar(Canvas* pCanvas, const DepthLayout& layout, int iMaxDisparity) {
    const PixelRect& bar = layout.bar;
    for (int32_t i = 0; i < bar.width; ++i) {
        const float disparity = bar.width > 1 ? static_cast<float>(iMaxDisparity) * static_cast<float>(i) /
                                                    static_cast<float>(bar.width - 1)
                                              : 0.0f;
        unsigned char colour[3];
        DisparityColour(disparity, iMaxDisparity, colour);
        FillRect(pCanvas, PixelRect{bar.x + i, bar.y, 1, bar.height}, colour);
    }
    for (const BarLabel& label : layout.labels) {
        FillRect(pCanvas, PixelRect{label.x, layout.iTickY, 1, kTickLength}, kLabelColour);
        DrawNumber(pCanvas, label.iLabelX, layout.iLabelY, kLabelScale, label.iValue, kLabelColour);
    }
}
