#pragma once
// Pictures at the precision their files hold, for callers that want more than the
// 8-bit blue-green-red buffers of image_files.h: 16-bit PNG and PGM views and
// disparity maps, grey and colour alike.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A picture as its file holds it: 1 to 4 channels of 8 or 16 bits, row 0 on top.
struct SampleImage {
    int32_t iWidth = 0;
    int32_t iHeight = 0;
    int iChannels = 0;               // 1 grey, 2 grey + alpha, 3 red-green-blue, 4 with alpha
    int iBitDepth = 0;               // 8 or 16
    std::vector<uint16_t> vSamples;  // iWidth x iHeight x iChannels, row 0 on top
};

// PNG, JPEG, BMP and binary PPM/PGM, told apart by content. Empty on success; otherwise
// one line naming the file and what is wrong. *pImage is written only on success.
// PNG (every bit depth, palette and interlaced files) and JPEG (baseline and
// progressive) are decoded by stb_image, in the Windows build too; BMP, PGM and PPM by
// this folder's own readers. Palette pictures arrive as red-green-blue (with alpha
// where the palette has it), bit depths below 8 widened to 8 bits, PGM/PPM ranges
// other than 255 and 65535 scaled to the nearer, BMP always as 3 channels of 8 bits.
// A file that holds less than its header declares is refused as incomplete.
std::string ReadSampleImage(const std::string& file, SampleImage* pImage);

// The same, with a check of the picture's size made before its pixels are decoded
// (after, for PPM): a non-empty answer is returned as the reason.
using SampleSizeCheck = std::function<std::string(int32_t iWidth, int32_t iHeight)>;
std::string ReadSampleImage(const std::string& file, SampleImage* pImage, const SampleSizeCheck& sizeCheck);

// The same files as 8-bit blue-green-red pixels, row 0 on top, as the matcher takes its
// views: 16-bit samples rounded to the nearest 8-bit level, grey repeated, alpha left
// out. A BMP file goes straight into the buffer, since views are read every frame.
struct Bgr8Image {
    std::unique_ptr<unsigned char[]> pPixels;  // iWidth x iHeight x 3
    int32_t iWidth = 0;
    int32_t iHeight = 0;
};
std::string ReadBgr8Image(const std::string& file, const SampleSizeCheck& sizeCheck, Bgr8Image* pImage);

// A 16-bit grey PNG, replaced whole (as the BMP writer replaces files: see imageio/), on
// Linux and Windows alike. Empty on success; otherwise the reason.
// The image data is stored without compression, so the file holds about two bytes a
// pixel; any PNG reader reads it.
std::string WritePngGrey16(const std::string& file, const uint16_t* pSamples, int32_t iWidth,
                           int32_t iHeight);
