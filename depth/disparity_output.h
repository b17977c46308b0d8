#pragma once
// Writing a frame's result: the grey BMP and, when asked for, the PFM.

#include <string>

#include "depth/depth_options.h"
#include "depth/stereo_matcher.h"

// Adds one file's "name (reason)" to such a list; nothing when it is empty.
void AddUnwritten(const std::string& unwritten, std::string* pList);

// Each file is replaced whole or left as it was, one failing not keeping the other from
// being written. Empty when every file asked for was written; otherwise each that was
// not, with its reason: "name (reason)", comma-separated.
std::string WriteDisparityFiles(const DepthOptions& options, const DisparityResult& result);
