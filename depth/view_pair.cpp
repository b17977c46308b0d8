#include "depth/view_pair.h"

#include <new>
#include <utility>

#include "imageio/sample_image.h"

namespace {

struct View {
    std::unique_ptr<unsigned char[]> pPixels;
    int32_t iWidth = 0;
    int32_t iHeight = 0;
};

std::string SizeText(int32_t iWidth, int32_t iHeight) {
    return std::to_string(iWidth) + " x " + std::to_string(iHeight) + " pixels";
}

std::string SizeProblem(const std::string& file, int32_t iWidth, int32_t iHeight) {
    if (iWidth >= kMinViewSize && iHeight >= kMinViewSize && iWidth <= kMaxViewSize &&
        iHeight <= kMaxViewSize) {
        return std::string();
    }
    return file + " is " + SizeText(iWidth, iHeight) + "; each side must be from " +
           std::to_string(kMinViewSize) + " to " + std::to_string(kMaxViewSize) + " pixels";
}

// 16-bit samples are rounded to the nearest of the matcher's 8-bit levels.
unsigned char To8Bit(uint16_t sample, int iBitDepth) {
    return static_cast<unsigned char>(iBitDepth == 16 ? (uint32_t{sample} * 255 + 32767) / 65535 : sample);
}

// Grey is repeated in blue, green and red; alpha is left out.
bool ToBgr8(const SampleImage& image, std::unique_ptr<unsigned char[]>* pPixels) {
    const size_t pixels = static_cast<size_t>(image.iWidth) * static_cast<size_t>(image.iHeight);
    pPixels->reset(new (std::nothrow) unsigned char[pixels * 3]);
    if (!*pPixels) return false;
    const bool colour = image.iChannels >= 3;
    const uint16_t* in = image.vSamples.data();
    unsigned char* out = pPixels->get();
    for (size_t i = 0; i < pixels; ++i, in += image.iChannels, out += 3) {
        out[0] = To8Bit(in[colour ? 2 : 0], image.iBitDepth);
        out[1] = To8Bit(in[colour ? 1 : 0], image.iBitDepth);
        out[2] = To8Bit(in[0], image.iBitDepth);
    }
    return true;
}

// Empty when the view was read whole and its size is one the matcher takes; the
// size is checked from the file's header, before its pixels are decoded.
std::string ReadView(const std::string& file, View* pView) {
    SampleImage image;
    const std::string problem = ReadSampleImage(file, &image, [&file](int32_t iWidth, int32_t iHeight) {
        return SizeProblem(file, iWidth, iHeight);
    });
    if (!problem.empty()) return problem;
    if (!ToBgr8(image, &pView->pPixels)) return "not enough memory to read " + file;
    pView->iWidth = image.iWidth;
    pView->iHeight = image.iHeight;
    return std::string();
}

}  // namespace

std::string ReadViewPair(const std::string& leftFile, const std::string& rightFile, ViewPair* pPair) {
    View left;
    View right;
    std::string problem = ReadView(leftFile, &left);
    if (problem.empty()) problem = ReadView(rightFile, &right);
    if (problem.empty() && (left.iWidth != right.iWidth || left.iHeight != right.iHeight)) {
        problem = leftFile + " is " + SizeText(left.iWidth, left.iHeight) + " but " + rightFile + " is " +
                  SizeText(right.iWidth, right.iHeight);
    }
    if (!problem.empty()) return problem;
    pPair->pLeft = std::move(left.pPixels);
    pPair->pRight = std::move(right.pPixels);
    pPair->iWidth = left.iWidth;
    pPair->iHeight = left.iHeight;
    return std::string();
}
