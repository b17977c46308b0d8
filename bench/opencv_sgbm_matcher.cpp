#include "bench/opencv_sgbm_matcher.h"

#include <opencv2/imgproc.hpp>

namespace {

constexpr int kBlockSize = 3;
constexpr int kChannels = 3;

}  // namespace

int OpenCvSgbmRange(int iMaxDisparity) {
    return (iMaxDisparity + 15) / 16 * 16;
}

cv::Ptr<cv::StereoSGBM> MakeOpenCvSgbm(int iRange) {
    return cv::StereoSGBM::create(0, iRange, kBlockSize, 8 * kChannels * kBlockSize * kBlockSize,
                                  32 * kChannels * kBlockSize * kBlockSize, 1, 0, 10, 100, 2,
                                  cv::StereoSGBM::MODE_SGBM_3WAY);
}

cv::Mat OpenCvSgbmMatch(cv::StereoSGBM& matcher, const cv::Mat& left, const cv::Mat& right, int iRange) {
    cv::Mat paddedLeft, paddedRight, disparity;
    cv::copyMakeBorder(left, paddedLeft, 0, 0, iRange, 0, cv::BORDER_REPLICATE);
    cv::copyMakeBorder(right, paddedRight, 0, 0, iRange, 0, cv::BORDER_REPLICATE);
    matcher.compute(paddedLeft, paddedRight, disparity);
    return disparity(cv::Rect(iRange, 0, left.cols, left.rows));
}
