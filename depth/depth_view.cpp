#include "depth/depth_view.h"

#include "depth/colour_bar.h"
#include "display/draw_image.h"
#include "platform/platform.h"

namespace {

const unsigned char kBackground[3] = {40, 40, 40};

}  // namespace

void DepthView::Show(PlatformWindow* hWindow, const ViewPair& pair, const DisparityResult& result,
                     int iMaxDisparity) {
    if (hWindow == nullptr) {
        return;
    }
    const bool bNewSize = pair.iWidth != pair_.iWidth || pair.iHeight != pair_.iHeight;
    bStale_ = bStale_ || bNewSize || iMaxDisparity != iMaxDisparity_;
    pair_ = pair;
    vColour_ = result.vColour;
    iMaxDisparity_ = iMaxDisparity;
    if (bNewSize) {
        int32_t usableWidth = 0;
        int32_t usableHeight = 0;
        PlatformGetUsableClientSize(hWindow, &usableWidth, &usableHeight);
        int32_t width = 0;
        int32_t height = 0;
        FitDepthWindow(pair_.iWidth, pair_.iHeight, usableWidth, usableHeight, &width, &height);
        PlatformSetClientSize(hWindow, width, height);
    }
    Draw(hWindow);
}

void DepthView::Refresh(PlatformWindow* hWindow) {
    int32_t width = 0;
    int32_t height = 0;
    PlatformGetClientSize(hWindow, &width, &height);
    if (pair_.pLeft != nullptr && (width != canvas_.iWidth || height != canvas_.iHeight)) {
        Draw(hWindow);
    }
}

void DepthView::Draw(PlatformWindow* hWindow) {
    int32_t width = 0;
    int32_t height = 0;
    PlatformGetClientSize(hWindow, &width, &height);
    if ((bStale_ || width != canvas_.iWidth || height != canvas_.iHeight) && !LayOut(width, height)) {
        return;
    }
    const unsigned char* pictures[] = {
        pair_.pLeft.get(), pair_.pRight.get(),
        vColour_.size() == static_cast<size_t>(pair_.iWidth) * pair_.iHeight * 3 ? vColour_.data() : nullptr};
    for (int i = 0; i < 3; ++i) {
        DrawScaled(&canvas_, layout_.pictures[i], pictures[i], pair_.iWidth, pair_.iHeight);
    }
    DrawImageRgb(hWindow, 0, 0, canvas_.vPixels.data(), canvas_.iWidth, canvas_.iHeight);
}

// The background and the bar stay as they are until the next layout.
bool DepthView::LayOut(int32_t iClientWidth, int32_t iClientHeight) {
    if (!ResizeCanvas(&canvas_, iClientWidth, iClientHeight)) {
        return false;
    }
    layout_ = LayOutDepthWindow(iClientWidth, iClientHeight, pair_.iWidth, pair_.iHeight, iMaxDisparity_);
    FillRect(&canvas_, PixelRect{0, 0, iClientWidth, iClientHeight}, kBackground);
    DrawColourBar(&canvas_, layout_, iMaxDisparity_);
    bStale_ = false;
    return true;
}
