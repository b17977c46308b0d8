#pragma once
// OpenCV's semi-global matcher as the project compares with it: 3-way, block 3,
// P1 = 8 x 3 x 9, P2 = 32 x 3 x 9, uniqueness 10, speckles of 100 within 2, left-right
// limit 1. Built only where OpenCV is found.

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>

// The range searched for disparities up to iMaxDisparity: rounded up to a multiple of 16.
int OpenCvSgbmRange(int iMaxDisparity);
cv::Ptr<cv::StereoSGBM> MakeOpenCvSgbm(int iRange);

// The left view's disparity in sixteenths of a pixel (CV_16S, negative where none),
// both views padded on the left by the range, so that every pixel of the view has its
// whole range to search, and the padding cut off again.
cv::Mat OpenCvSgbmMatch(cv::StereoSGBM& matcher, const cv::Mat& left, const cv::Mat& right, int iRange);
