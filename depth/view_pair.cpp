#include "depth/view_pair.h"

#include <utility>

#include "imageio/sample_image.h"

namespace {

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

// Empty when the view was read whole and its size is one the matcher takes; the
// size is checked from the file's header, before its pixels are decoded.
std::string ReadView(const std::string& file, Bgr8Image* pView) {
    return ReadBgr8Image(
        file, [&file](int32_t iWidth, int32_t iHeight) { return SizeProblem(file, iWidth, iHeight); }, pView);
}

}  // namespace

std::string ReadViewPair(const std::string& leftFile, const std::string& rightFile, ViewPair* pPair) {
    Bgr8Image left;
    Bgr8Image right;
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

std::optional<ViewPairReader::FileStamp> ViewPairReader::StampOf(const std::string& file) {
    std::error_code error;
    FileStamp stamp{file, std::filesystem::file_size(file, error), {}};
    if (!error) stamp.time = std::filesystem::last_write_time(file, error);
    return error ? std::nullopt : std::optional<FileStamp>(stamp);
}

std::string ViewPairReader::Read(const std::string& leftFile, const std::string& rightFile, ViewPair* pPair) {
    // Stamped before reading: a file that changes meanwhile is read again next time.
    const std::optional<FileStamp> left = StampOf(leftFile);
    const std::optional<FileStamp> right = StampOf(rightFile);
    if (last_.pLeft != nullptr && left && right && *left == leftStamp_ && *right == rightStamp_) {
        *pPair = last_;
        return std::string();
    }
    last_ = ViewPair();
    const std::string problem = ReadViewPair(leftFile, rightFile, pPair);
    if (problem.empty() && left && right) {
        last_ = *pPair;
        leftStamp_ = *left;
        rightStamp_ = *right;
    }
    return problem;
}
