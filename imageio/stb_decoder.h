#pragma once
// PNG and JPEG bytes decoded by stb_image (Debian's libstb-dev). Being a
// header, it compiles into the Windows build as well, so both builds decode every
// file to the same samples; JPEG decoders of different libraries differ in rounding.

#include <cstddef>
#include <string>

#include "imageio/sample_image.h"

struct StbHeader {
    int iWidth = 0;
    int iHeight = 0;
    int iChannels = 0;
    bool b16Bit = false;
};

// Each gives an empty string on success, otherwise the decoder's reason, such as
// "Corrupt PNG". The header is read without decoding any pixel.
std::string ReadStbHeader(const unsigned char* bytes, size_t size, StbHeader* pHeader);
std::string DecodeWithStb(const unsigned char* bytes, size_t size, const StbHeader& header,
                          SampleImage* pImage);
