#include "depth/view_pair.h"

#include <cstring>
#include <utility>

#include "imageio/image_files.h"

namespace {

struct View {
    std::unique_ptr<unsigned char[]> pPixels;
    int32_t iWidth = 0;
    int32_t iHeight = 0;
};

std::string SizeText(int32_t iWidth, int32_t iHeight) {
    return std::to_string(iWidth) + " x " + std::to_string(iHeight) + " pixels";
}

// The PPM reader keeps the bottom row first.
void FlipRows(unsigned char* pixels, int32_t iWidth, int32_t iHeight) {
    const size_t rowBytes = static_cast<size_t>(iWidth) * 3;
    std::unique_ptr<unsigned char[]> row(new unsigned char[rowBytes]);
    for (int32_t top = 0, bottom = iHeight - 1; top < bottom; ++top, --bottom) {
        unsigned char* a = pixels + rowBytes * static_cast<size_t>(top);
        unsigned char* b = pixels + rowBytes * static_cast<size_t>(bottom);
        std::memcpy(row.get(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, row.get(), rowBytes);
    }
}

// Empty when the view was read and its size is one the matcher takes.
std::string ReadView(const std::string& file, View* pView) {
    ImageFileError error = ImageFileError::None;
    pView->pPixels.reset(LoadBmpRgb(file.c_str(), &pView->iWidth, &pView->iHeight, &error));
    if (!pView->pPixels && error == ImageFileError::NotThisFormat) {
        pView->pPixels.reset(LoadPpmRgb(file.c_str(), &pView->iWidth, &pView->iHeight, &error));
        if (pView->pPixels) {
            FlipRows(pView->pPixels.get(), pView->iWidth, pView->iHeight);
        } else if (error == ImageFileError::NotThisFormat) {
            return file + " is neither a BMP nor a binary PPM file";
        }
    }
    if (!pView->pPixels) {
        return file + " " + DescribeImageFileError(error);
    }
    if (pView->iWidth < kMinViewSize || pView->iHeight < kMinViewSize || pView->iWidth > kMaxViewSize ||
        pView->iHeight > kMaxViewSize) {
        return file + " is " + SizeText(pView->iWidth, pView->iHeight) + "; each side must be from " +
               std::to_string(kMinViewSize) + " to " + std::to_string(kMaxViewSize) + " pixels";
    }
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
