#include "pipeline/stereo_input.h"

#include <memory>
#include <new>
#include <string>

#include "compute/app_state.h"
#include "diagnostics/debug_print.h"
#include "imageio/bmp_file.h"
#include "pipeline/problem_latch.h"

namespace {

// A view's file and its pixels, kept from frame to frame. The pixel buffer has the
// size of a pyramid's level 0, the most a usable view holds.
struct ViewInput {
    const char* fileName;
    BmpFile file;
    std::unique_ptr<unsigned char[]> pPixels;
};

ViewInput views[] = {{kLeftImageFile, {}, nullptr}, {kRightImageFile, {}, nullptr}};
ProblemLatch pairProblem;

ViewInput& Input(StereoView view) {
    return views[view == StereoView::Left ? 0 : 1];
}

// What keeps a pair from a frame: sKey tells one problem from another, sText is
// the line for the user. Empty when there is none.
struct Problem {
    std::string sKey;
    std::string sText;

    explicit Problem(std::string sWhat = std::string()) : sKey(sWhat), sText(std::move(sWhat)) {}
    bool Exists() const { return !sText.empty(); }
};

// True when the problem stops the pair; told when it first appears.
bool Refuses(const Problem& problem) {
    if (!problem.Exists()) {
        return false;
    }
    if (pairProblem.IsNew(problem.sKey)) {
        DEBUG_PRINT("Waiting for a usable stereo pair: %s\n", problem.sText.c_str());
    }
    return true;
}

std::string SizeText(int32_t iWidth, int32_t iHeight) {
    return std::to_string(iWidth) + " x " + std::to_string(iHeight) + " pixels";
}

bool FitsPyramid(int32_t iWidth, int32_t iHeight) {
    const auto bytes = [](int64_t w, int64_t h) { return w * kPyramidBytesPerPixel * h; };
    return bytes(iWidth, iHeight) <= static_cast<int64_t>(PyramidLevelBytes(0)) &&
           bytes(iWidth / 2, iHeight / 2) <= static_cast<int64_t>(PyramidLevelBytes(1));
}

// From the headers alone, so that no pixel is read for a view that cannot be used.
Problem OpenView(ViewInput& input) {
    const char* fileName = input.fileName;
    const ImageFileError error = input.file.Open(fileName);
    if (error != ImageFileError::None) {
        return Problem(std::string(fileName) + " " + DescribeImageFileError(error));
    }
    const int32_t iWidth = input.file.Width();
    const int32_t iHeight = input.file.Height();
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
Problem DecodeView(ViewInput& input) {
    const char* fileName = input.fileName;
    if (!input.pPixels) {
        input.pPixels.reset(new (std::nothrow) unsigned char[PyramidLevelBytes(0)]);
        if (!input.pPixels) {
            return Problem(std::string("not enough memory to read ") + fileName);
        }
    }
    const ImageFileError error = input.file.Decode(false, input.pPixels.get());
    if (error != ImageFileError::None) {
        return Problem(std::string(fileName) + " " + DescribeImageFileError(error));
    }
    if (input.file.HeldLength() < input.file.DeclaredLength()) {
        Problem incomplete(std::string(fileName) + " is incomplete");
        incomplete.sText += ": it holds " + std::to_string(input.file.HeldLength()) + " of " +
                            std::to_string(input.file.DeclaredLength()) + " bytes";
        return incomplete;
    }
    return Problem();
}

}  // namespace

bool OpenStereoPair(int32_t* piWidth, int32_t* piHeight) {
    const BmpFile& left = Input(StereoView::Left).file;
    const BmpFile& right = Input(StereoView::Right).file;
    Problem problem = OpenView(Input(StereoView::Left));
    if (!problem.Exists()) {
        problem = OpenView(Input(StereoView::Right));
    }
    if (!problem.Exists() && (right.Width() != left.Width() || right.Height() != left.Height())) {
        problem = Problem(std::string(kLeftImageFile) + " is " + SizeText(left.Width(), left.Height()) +
                          " but " + kRightImageFile + " is " + SizeText(right.Width(), right.Height()));
    }
    if (Refuses(problem)) {
        return false;
    }
    *piWidth = right.Width();
    *piHeight = right.Height();
    return true;
}

const unsigned char* ReadStereoView(StereoView view) {
    ViewInput& input = Input(view);
    if (Refuses(DecodeView(input))) {
        return nullptr;
    }
    if (view == StereoView::Right) {
        pairProblem.Clear();
    }
    return input.pPixels.get();
}

void CloseStereoPair() {
    for (ViewInput& input : views) {
        input.file.Close();
    }
}
