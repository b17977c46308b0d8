#pragma once
// The sample pair as files, laid out the way the program reads them.

#include <filesystem>
#include <string>

#include "tools/sample_scene.h"

// Writes im2.bmp (left view), im6.bmp (right view) and true_disparity.bmp (grey = disparity x 4)
// into dir, creating it if needed. Returns the first file that did not come out whole, or
// an empty string when all did.
std::string WriteSamplePair(const std::filesystem::path& dir, const StereoSample& sample);
