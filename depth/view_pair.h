#pragma once
// korrdepth's stereo pair: two files of one size, each a PNG, JPEG, BMP or binary
// PPM/PGM file, told apart by their content (see imageio/sample_image.h).

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

// Views are never changed once read, so that a frame, the window and the reader's
// copy of the last pair share them.
struct ViewPair {
    std::shared_ptr<unsigned char[]> pLeft;  // 3 samples per pixel, blue-green-red, row 0 on top
    std::shared_ptr<unsigned char[]> pRight;
    int32_t iWidth = 0;
    int32_t iHeight = 0;
};

// The smallest keeps 2 x 2 pixels on four pyramid levels.
constexpr int32_t kMinViewSize = 16;
constexpr int32_t kMaxViewSize = 8192;

// Empty when both views were read and can be matched; otherwise why not, naming the file.
std::string ReadViewPair(const std::string& leftFile, const std::string& rightFile, ViewPair* pPair);

// Reads a pair frame after frame. Decoding a PNG view takes about as long as matching
// it, so a pair whose files both have the size and modification time they had when
// it was last read is given again as it was.
class ViewPairReader {
public:
    // As ReadViewPair.
    std::string Read(const std::string& leftFile, const std::string& rightFile, ViewPair* pPair);

private:
    struct FileStamp {
        std::string name;
        std::uintmax_t size = 0;
        std::filesystem::file_time_type time;
        bool operator==(const FileStamp& other) const {
            return name == other.name && size == other.size && time == other.time;
        }
    };
    static std::optional<FileStamp> StampOf(const std::string& file);

    ViewPair last_;  // none where the last read failed
    FileStamp leftStamp_;
    FileStamp rightStamp_;
};
