#include "pipeline/stereo_input.h"

#include <new>
#include <string>

#include "compute/app_state.h"
#include "diagnostics/debug_print.h"
#include "imageio/bmp_file.h"
#include "pipeline/problem_latch.h"

namespace {

ProblemLatch pairProblem;

// What keeps a pair from a frame: sKey tells one problem from another, sText is
// the line for the user. Empty when there is none.
struct Problem {
    std::string sKey;
    std::string sText;

    explicit Problem(std::string sWhat = std::string()) : sKey(sWhat), sText(std::move(sWhat)) {}
    bool Exists() const { return !sText.empty(); }
};

std::string SizeText(int32_t iWidth, int32_t iHeight) {
    return std::to_string(iWidth) + " x " + std::to_string(iHeight) + " pixels";
}

bool FitsPyramid(int32_t iWidth, int32_t iHeight) {
    const auto bytes = [](int64_t w, int64_t h) { return w * kPyramidBytesPerPixel * h; };
    return bytes(iWidth, iHeight) <= static_cast<int64_t>(PyramidLevelBytes(0)) &&
           bytes(iWidth / 2, iHeight / 2) <= static_cast<int64_t>(PyramidLevelBytes(1));
}

// From the headers alone, so that no pixel buffer exists for a view that cannot be used.
Problem OpenView(const char* fileName, BmpFile* pFile) {
    const ImageFileError error = pFile->Open(fileName);
    if (error != ImageFileError::None) {
        return Problem(std::string(fileName) + " " + DescribeImageFileError(error));
    }
    const int32_t iWidth = pFile->Width();
    const int32_t iHeight = pFile->Height();
    if (iWidth < 2 || iHeight < 2) {
        return Problem(std::string(fileName) + " is " + SizeText(iWidth, iHeight) + ", too small to halve");
    }
    if (!FitsPyramid(iWidth, iHeight)) {
        return Problem(std::string(fileName) + " is " + SizeText(iWidth, iHeight) +
                       ", more than the device buffers hold (" +
                       SizeText(kPyramidBaseWidth, kPyramidBaseHeight) + ")");
    }
    return Problem();
}

// A file still being written holds less than its headers declare; the frame waits
// for the rest rather than show the rows it lacks.
Problem DecodeView(const char* fileName, BmpFile* pFile, std::unique_ptr<unsigned char[]>* ppPixels) {
    const size_t bytes =
        static_cast<size_t>(pFile->Width()) * kPyramidBytesPerPixel * static_cast<size_t>(pFile->Height());
    ppPixels->reset(new (std::nothrow) unsigned char[bytes]);
    if (!*ppPixels) {
        return Problem(std::string("not enough memory to read ") + fileName);
    }
    const ImageFileError error = pFile->Decode(false, ppPixels->get());
    if (error != ImageFileError::None) {
        return Problem(std::string(fileName) + " " + DescribeImageFileError(error));
    }
    if (pFile->HeldLength() < pFile->DeclaredLength()) {
        Problem incomplete(std::string(fileName) + " is incomplete");
        incomplete.sText += ": it holds " + std::to_string(pFile->HeldLength()) + " of " +
                            std::to_string(pFile->DeclaredLength()) + " bytes";
        return incomplete;
    }
    return Problem();
}

}  // namespace

bool ReadStereoPair(StereoPair* pPair) {
    BmpFile left;
    BmpFile right;
    Problem problem = OpenView(kLeftImageFile, &left);
    if (!problem.Exists()) {
        problem = OpenView(kRightImageFile, &right);
    }
    if (!problem.Exists() && (right.Width() != left.Width() || right.Height() != left.Height())) {
        problem = Problem(std::string(kLeftImageFile) + " is " + SizeText(left.Width(), left.Height()) +
                          " but " + kRightImageFile + " is " + SizeText(right.Width(), right.Height()));
    }
    if (!problem.Exists()) {
        problem = DecodeView(kLeftImageFile, &left, &pPair->pLeftPixels);
    }
    if (!problem.Exists()) {
        problem = DecodeView(kRightImageFile, &right, &pPair->pRightPixels);
    }

    if (problem.Exists()) {
        if (pairProblem.IsNew(problem.sKey)) {
            DEBUG_PRINT("Waiting for a usable stereo pair: %s\n", problem.sText.c_str());
        }
        return false;
    }
    pPair->iWidth = right.Width();
    pPair->iHeight = right.Height();
    pairProblem.Clear();
    return true;
}
