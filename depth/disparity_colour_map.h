#pragma once
// The colour map of disparities on the host, the one the device's ShowDisparity
// kernel draws: dark blue at 0, through cyan, green and yellow, to dark red at the
// largest disparity searched; black where there is no estimate.

void DisparityColour(float fDisparity, int iMaxDisparity, unsigned char bgr[3]);
