#include "depth/view_pair.h"

#include <cstring>
#include <new>
#include <utility>

#include "imageio/bmp_file.h"
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

std::string SizeProblem(const std::string& file, int32_t iWidth, int32_t iHeight) {
    if (iWidth >= kMinViewSize && iHeight >= kMinViewSize && iWidth <= kMaxViewSize &&
        iHeight <= kMaxViewSize) {
        return std::string();
    }
    return file + " is " + SizeText(iWidth, iHeight) + "; each side must be from " +
           std::to_string(kMinViewSize) + " to " + std::to_string(kMaxViewSize) + " pixels";
}

// A file still being written holds less than its header declares; its missing rows
// would be matched as black.
std::string LengthProblem(const std::string& file, int64_t held, int64_t declared) {
    if (held >= declared) return std::string();
    return file + " is incomplete: it holds " + std::to_string(held) + " of " + std::to_string(declared) +
           " bytes";
}

std::string ReadPpmView(const std::string& file, View* pView) {
    ImageFileError error = ImageFileError::None;
    PpmLengths lengths;
    pView->pPixels.reset(
        LoadPpmRgbWithLengths(file.c_str(), &pView->iWidth, &pView->iHeight, &error, &lengths));
    if (error == ImageFileError::NotThisFormat) return file + " is neither a BMP nor a binary PPM file";
    if (!pView->pPixels) return file + " " + DescribeImageFileError(error);
    std::string problem = SizeProblem(file, pView->iWidth, pView->iHeight);
    if (problem.empty()) problem = LengthProblem(file, lengths.held, lengths.declared);
    if (problem.empty()) FlipRows(pView->pPixels.get(), pView->iWidth, pView->iHeight);
    return problem;
}

// Empty when the view was read whole and its size is one the matcher takes. A BMP
// file's size is checked from its header, before any pixel is read.
std::string ReadView(const std::string& file, View* pView) {
    BmpFile bmp;
    ImageFileError error = bmp.Open(file.c_str());
    if (error == ImageFileError::NotThisFormat) return ReadPpmView(file, pView);
    if (error != ImageFileError::None) return file + " " + DescribeImageFileError(error);
    std::string problem = SizeProblem(file, bmp.Width(), bmp.Height());
    if (!problem.empty()) return problem;
    pView->iWidth = bmp.Width();
    pView->iHeight = bmp.Height();
    pView->pPixels.reset(
        new (std::nothrow) unsigned char[static_cast<size_t>(pView->iWidth) * pView->iHeight * 3]);
    if (!pView->pPixels) return "not enough memory to read " + file;
    if ((error = bmp.Decode(false, pView->pPixels.get())) != ImageFileError::None) {
        return file + " " + DescribeImageFileError(error);
    }
    return LengthProblem(file, bmp.HeldLength(), bmp.DeclaredLength());
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
