#pragma once
// A rectified pair's camera, as a scene folder's calib.txt states it (cam0, doffs,
// baseline, ndisp, one `key=value` a line), or as the command line gives it.

#include <string>

struct StereoCamera {
    double dFocalX = 0.0;  // pixels
    double dFocalY = 0.0;
    double dCx = 0.0;  // the left view's principal point, pixels
    double dCy = 0.0;
    double dDoffs = 0.0;  // the principal points' x difference, right minus left, pixels
    double dBaselineMm = 0.0;
};

struct SceneCalibration {
    StereoCamera camera;
    int iDisparityCount = 0;  // ndisp: disparities 0 to ndisp - 1 are searched
};

// Empty when `text` holds cam0, doffs, baseline and ndisp, each well formed; otherwise
// one line naming `fileName` and the key that is missing or malformed.
std::string ParseCalibration(const std::string& fileName, const std::string& text,
                             SceneCalibration* pCalibration);

// The same, from the file.
std::string ReadCalibration(const std::string& fileName, SceneCalibration* pCalibration);
