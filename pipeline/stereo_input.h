#pragma once
// Reading the stereo pair for one frame, with every check that keeps a bad pair
// away from the device.

#include <cstdint>
#include <memory>

constexpr const char* kLeftImageFile = "im2.bmp";
constexpr const char* kRightImageFile = "im6.bmp";

struct StereoPair {
    std::unique_ptr<unsigned char[]> pLeftPixels;
    std::unique_ptr<unsigned char[]> pRightPixels;
    int32_t iWidth = 0;
    int32_t iHeight = 0;
};

// True with both views read whole, of one size, that the pyramids hold and that
// can be halved. Both headers are checked before any pixel buffer is allocated.
// Otherwise false, and a line naming the file and the reason is printed when that
// reason first appears; a good pair clears it.
bool ReadStereoPair(StereoPair* pPair);
