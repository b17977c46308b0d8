#pragma once
// Reading the stereo pair, a view at a time so that each can be uploaded as soon as
// it is read, with every check that keeps a bad pair away from the device. The
// views are read into buffers that serve every frame: once the first frame has run,
// reading the pair allocates nothing.

#include <cstdint>

constexpr const char* kLeftImageFile = "im2.bmp";
constexpr const char* kRightImageFile = "im6.bmp";

enum class StereoView { Left, Right };

// Opens both views and checks their headers together: one size, that the pyramids
// hold and that can be halved. True with the size; otherwise false, and a line
// naming the file and the reason is printed when that reason first appears.
bool OpenStereoPair(int32_t* piWidth, int32_t* piHeight);

// The pixels of one view of the opened pair, read whole, 3 bytes a pixel; they stay
// until the view is read again. Null when the view is not usable yet, told as above.
// The right view read whole makes a good pair, which clears the problem told.
const unsigned char* ReadStereoView(StereoView view);

// Closes what the pair still has open; every frame ends its reading with this.
void CloseStereoPair();
