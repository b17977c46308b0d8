// korrdepth's window layout: the size that fits a pair to a screen, and where the
// pictures, the bar and its numbers go in a window of any size.
#include <gtest/gtest.h>

#include <string>

#include "depth/depth_layout.h"
#include "display/digit_font.h"

namespace {

bool Inside(const PixelRect& inner, int32_t width, int32_t height) {
    return inner.x >= 0 && inner.y >= 0 && inner.x + inner.width <= width && inner.y + inner.height <= height;
}

bool Overlap(const PixelRect& a, const PixelRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

TEST(DepthLayout, TheWindowFitsThePairToTheScreenAndItsLayoutFillsIt) {
    struct Case {
        int32_t pairWidth, pairHeight, usableWidth, usableHeight;
        int32_t width, height;                // the window's drawing area
        int32_t pictureWidth, pictureHeight;  // 0: none fits
        bool column;
    };
    const Case cases[] = {
        {450, 375, 1600, 900, 1350, 375 + kBarBandHeight, 450, 375, false},     // at full size
        {1242, 375, 1600, 900, 955, 3 * 288 + kBarBandHeight, 955, 288, true},  // wide: stacked
        {1242, 375, 1920, 1040, 1111, 3 * 335 + kBarBandHeight, 1111, 335, true},
        {1242, 375, 0, 0, 3726, 375 + kBarBandHeight, 1242, 375, false},     // no screen known
        {400, 1200, 1600, 900, 864, 864 + kBarBandHeight, 288, 864, false},  // tall
        {2048, 2048, 800, 600, 798, 266 + kBarBandHeight, 266, 266, false},
        {16, 16, 1600, 900, 48, 16 + kBarBandHeight, 16, 16, false},
        {2048, 16, 1600, 900, 1600, 3 * 13 + kBarBandHeight, 1600, 13, true},
        {450, 375, 100, 30, 100, 30, 0, 0, false},  // nothing fits: the usable area, empty
    };
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.pairWidth) + " x " + std::to_string(c.pairHeight) + " on " +
                                 std::to_string(c.usableWidth) + " x " + std::to_string(c.usableHeight);
        int32_t width = 0;
        int32_t height = 0;
        FitDepthWindow(c.pairWidth, c.pairHeight, c.usableWidth, c.usableHeight, &width, &height);
        EXPECT_EQ(width, c.width) << what;
        EXPECT_EQ(height, c.height) << what;

        const DepthLayout layout = LayOutDepthWindow(width, height, c.pairWidth, c.pairHeight, 64);
        for (int i = 0; i < 3; ++i) {
            const PixelRect& picture = layout.pictures[i];
            EXPECT_EQ(picture.width, c.pictureWidth) << what;
            EXPECT_EQ(picture.height, c.pictureHeight) << what;
            EXPECT_TRUE(Inside(picture, width, height)) << what;
            if (i > 0 && c.pictureWidth > 0) {
                EXPECT_EQ(picture.x, c.column ? 0 : i * c.pictureWidth) << what;
                EXPECT_EQ(picture.y, c.column ? i * c.pictureHeight : 0) << what;
            }
        }
        if (c.pictureWidth == 0) {
            EXPECT_TRUE(layout.labels.empty()) << what;
            continue;
        }
        const PixelRect& colourMap = layout.pictures[2];
        EXPECT_EQ(layout.bar.x, colourMap.x) << what;
        EXPECT_EQ(layout.bar.width, colourMap.width) << what;
        EXPECT_GT(layout.bar.y, colourMap.y + colourMap.height) << what;
        for (const PixelRect& picture : layout.pictures) EXPECT_FALSE(Overlap(picture, layout.bar)) << what;
        for (const BarLabel& label : layout.labels) {
            const PixelRect number{label.iLabelX, layout.iLabelY, NumberWidth(label.iValue, kLabelScale),
                                   kDigitDotRows * kLabelScale};
            EXPECT_TRUE(Inside(number, width, height)) << what << ", number " << label.iValue;
        }
    }
}

TEST(DepthLayout, TheBarIsNumberedAtRoundStepsAndAtItsEndWithoutCrowding) {
    struct Case {
        int32_t barWidth;
        int maxDisparity;
        std::vector<int> values;
    };
    const Case cases[] = {
        {954, 120, {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120}},
        {450, 64, {0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, 64}},  // 60 would crowd 64
        {100, 1, {0, 1}},
        {30, 64, {64}},  // no room for two numbers
        {2000, 120, {0,  5,  10, 15, 20, 25, 30, 35,  40,  45,  50,  55, 60,
                     65, 70, 75, 80, 85, 90, 95, 100, 105, 110, 115, 120}},
    };
    for (const Case& c : cases) {
        // A row of pictures whose colour map is barWidth wide, at full size.
        const DepthLayout layout =
            LayOutDepthWindow(3 * c.barWidth, 10 + kBarBandHeight, c.barWidth, 10, c.maxDisparity);
        const std::string what =
            std::to_string(c.barWidth) + " pixels for 0 - " + std::to_string(c.maxDisparity);
        ASSERT_EQ(layout.bar.width, c.barWidth) << what;
        std::vector<int> values;
        for (size_t i = 0; i < layout.labels.size(); ++i) {
            const BarLabel& label = layout.labels[i];
            values.push_back(label.iValue);
            EXPECT_TRUE(label.x >= layout.bar.x && label.x < layout.bar.x + layout.bar.width) << what;
            EXPECT_GE(label.iLabelX, layout.bar.x) << what;
            EXPECT_LE(label.iLabelX + NumberWidth(label.iValue, kLabelScale), layout.bar.x + layout.bar.width)
                << what;
            if (i > 0) {
                const BarLabel& before = layout.labels[i - 1];
                EXPECT_GT(label.iLabelX,
                          before.iLabelX + NumberWidth(before.iValue, kLabelScale) + kLabelScale)
                    << what << ": " << before.iValue << " and " << label.iValue << " touch";
            }
        }
        EXPECT_EQ(values, c.values) << what;
        EXPECT_EQ(layout.labels.back().x, layout.bar.x + layout.bar.width - 1) << what;
    }
}

}  // namespace
