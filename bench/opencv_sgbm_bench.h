#pragma once
// OpenCV's semi-global matcher doing korrdepth's whole frame, for comparison: read the
// pair, match, write the grey BMP. Built only where OpenCV is found.

#include <string>

#include "bench/stereo_bench_pairs.h"

void RegisterOpenCvSgbmFrame(const std::string& name, const StereoBenchCase& benchCase);
