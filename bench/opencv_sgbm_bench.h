#pragma once
// OpenCV's semi-global matcher doing korrdepth's whole frame, for comparison: read the
// pair, match, write the grey BMP. Built only where OpenCV is found.

#include <functional>
#include <string>

#include "bench/stereo_bench_pairs.h"

void RegisterOpenCvSgbmFrame(const std::string& name, const StereoBenchCase& benchCase);

// One of those frames a call, its first ones already run; empty, with the reason, where
// the pair cannot be had or the frame fails.
std::function<bool()> MakeOpenCvSgbmFrame(const StereoBenchCase& benchCase, std::string* pReason);
