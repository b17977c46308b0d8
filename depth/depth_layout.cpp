#include "depth/depth_layout.h"

#include <algorithm>
#include <limits>

#include "display/digit_font.h"

namespace {

constexpr int32_t kLabelGap = 3 * kLabelScale;  // the least space between two numbers

struct Placement {
    bool bColumn = false;  // the pictures one under the other
    int32_t iWidth = 0;    // of each picture; 0 when none fits
    int32_t iHeight = 0;
};

int32_t ScaledHeight(int64_t width, int32_t iPairWidth, int32_t iPairHeight) {
    return static_cast<int32_t>(std::max<int64_t>(1, (width * iPairHeight + iPairWidth / 2) / iPairWidth));
}

// The widest picture, at most the pair's width, that fits maxWidth x maxHeight.
Placement Fit(int32_t iPairWidth, int32_t iPairHeight, int64_t maxWidth, int64_t maxHeight) {
    if (maxWidth < 1 || maxHeight < 1) {
        return Placement{};
    }
    // Only widths below (maxHeight + 1/2) x width / height round to a height that fits:
    // start at the first whole width past that and step down.
    int64_t width =
        std::min<int64_t>({iPairWidth, maxWidth, (2 * maxHeight + 1) * iPairWidth / (2 * iPairHeight) + 1});
    while (width > 0 && ScaledHeight(width, iPairWidth, iPairHeight) > maxHeight) {
        --width;
    }
    if (width == 0) {
        return Placement{};
    }
    return Placement{false, static_cast<int32_t>(width), ScaledHeight(width, iPairWidth, iPairHeight)};
}

Placement Place(int64_t clientWidth, int64_t clientHeight, int32_t iPairWidth, int32_t iPairHeight) {
    const int64_t height = clientHeight - kBarBandHeight;
    const Placement row = Fit(iPairWidth, iPairHeight, clientWidth / 3, height);
    Placement column = Fit(iPairWidth, iPairHeight, clientWidth, height / 3);
    column.bColumn = true;
    return column.iWidth > row.iWidth ? column : row;
}

// The smallest of 1, 2, 5, 10, 20, 50, ... whose ticks lie `room` pixels apart.
int LabelStep(int64_t span, int iMaxDisparity, int64_t room) {
    for (int power = 1;; power *= 10) {
        for (int factor : {1, 2, 5}) {
            const int step = factor * power;
            if (step >= iMaxDisparity || step * span >= room * iMaxDisparity) {
                return step;
            }
        }
    }
}

// Ticks at multiples of the step, and one at the largest disparity, whose number
// stands apart from the one before.
std::vector<BarLabel> LabelBar(const PixelRect& bar, int iMaxDisparity) {
    std::vector<BarLabel> labels;
    if (bar.width < 1 || iMaxDisparity < 1) {
        return labels;
    }
    const int64_t span = bar.width - 1;
    const auto label = [&](int value) {
        const int32_t x = bar.x + static_cast<int32_t>((value * span + iMaxDisparity / 2) / iMaxDisparity);
        const int32_t width = NumberWidth(value, kLabelScale);
        const int32_t left = std::max(bar.x, std::min(x - width / 2, bar.x + bar.width - width));
        return BarLabel{value, x, left};
    };
    // Numbers packed any closer are hard to tell apart.
    const int step = LabelStep(span, iMaxDisparity, 2 * NumberWidth(iMaxDisparity, kLabelScale) + kLabelGap);
    const BarLabel last = label(iMaxDisparity);
    for (int value = 0; value < iMaxDisparity; value += step) {
        const BarLabel next = label(value);
        if (next.iLabelX + NumberWidth(value, kLabelScale) + NumberWidth(iMaxDisparity, kLabelScale) <=
            last.iLabelX) {
            labels.push_back(next);
        }
    }
    labels.push_back(last);
    return labels;
}

}  // namespace

void FitDepthWindow(int32_t iPairWidth, int32_t iPairHeight, int32_t iUsableWidth, int32_t iUsableHeight,
                    int32_t* pWidth, int32_t* pHeight) {
    const bool bKnown = iUsableWidth > 0 && iUsableHeight > 0;
    const int64_t unlimited = std::numeric_limits<int32_t>::max();
    const Placement place =
        Place(bKnown ? iUsableWidth : unlimited, bKnown ? iUsableHeight : unlimited, iPairWidth, iPairHeight);
    if (place.iWidth == 0) {
        *pWidth = iUsableWidth;
        *pHeight = iUsableHeight;
        return;
    }
    *pWidth = place.bColumn ? place.iWidth : 3 * place.iWidth;
    *pHeight = (place.bColumn ? 3 * place.iHeight : place.iHeight) + kBarBandHeight;
}

DepthLayout LayOutDepthWindow(int32_t iClientWidth, int32_t iClientHeight, int32_t iPairWidth,
                              int32_t iPairHeight, int iMaxDisparity) {
    DepthLayout layout;
    const Placement place = Place(iClientWidth, iClientHeight, iPairWidth, iPairHeight);
    if (place.iWidth == 0) {
        return layout;
    }
    for (int32_t i = 0; i < 3; ++i) {
        layout.pictures[i] = PixelRect{place.bColumn ? 0 : i * place.iWidth,
                                       place.bColumn ? i * place.iHeight : 0, place.iWidth, place.iHeight};
    }
    const PixelRect& colourMap = layout.pictures[2];
    layout.bar =
        PixelRect{colourMap.x, colourMap.y + colourMap.height + kBarGap, colourMap.width, kBarHeight};
    layout.iTickY = layout.bar.y + kBarHeight;
    layout.iLabelY = layout.iTickY + kTickLength + 2;
    layout.labels = LabelBar(layout.bar, iMaxDisparity);
    return layout;
}
