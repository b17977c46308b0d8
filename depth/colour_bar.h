#pragma once
// The bar under the colour map: the map from 0 to the largest disparity, left to
// right, with ticks and numbers where the layout puts them.

#include "depth/depth_layout.h"
#include "display/canvas.h"

void DrawColourBar(Canvas* pCanvas, const DepthLayout& layout, int iMaxDisparity);
