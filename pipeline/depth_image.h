#pragma once
// Writing the frame's result as "depth.bmp".

#include <cstdint>

// Replaces the file whole or not at all; a failure keeps the previous one and is
// told when it starts. The file is built in memory kept for the next frames.
void SaveDepthImage(const unsigned char* pPixels, int32_t iWidth, int32_t iHeight);
