#pragma once
// A result written over one of the files it comes from would lose the input: a scene
// folder's truth under --name GT, a depth map named as the left view.

#include <string>

#include "depth/depth_options.h"

// Empty when no output names an input; otherwise one line naming both. The same file
// is found through links too, where it exists.
std::string OutputOverInput(const DepthOptions& options);
