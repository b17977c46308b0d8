#include "imageio/bmp_file.h"

#include <algorithm>
#include <new>

#include "imageio/bmp_decoders.h"
#include "imageio/open_image_file.h"

ImageFileError BmpFile::Open(const char* fileName) {
    layout_ = BmpLayout();
    length_ = 0;
    heldLength_ = 0;
    const ImageFileError openError = OpenImageFile(fileName, &file_);
    if (openError != ImageFileError::None) return openError;
    // Beyond the headers, as much as the buffer already has room for: a file read
    // again and again takes one call and is closed at once, and no file grows the
    // buffer before its headers are checked.
    const size_t room = std::max(bytes_.capacity(), kBmpLayoutBytes);
    const size_t wanted = static_cast<size_t>(std::min<int64_t>(file_.Length(), static_cast<int64_t>(room)));
    bytes_.resize(wanted);
    size_t got = 0;
    if (!file_.ReadAt(0, bytes_.data(), wanted, &got)) return ImageFileError::CannotOpen;
    bytes_.resize(got);
    // A file that ends sooner than it did when opened is being rewritten; what it
    // holds now is all there is.
    length_ = got < wanted ? static_cast<int64_t>(got) : file_.Length();
    heldLength_ = length_;
    if (static_cast<int64_t>(got) == length_) file_.Close();
    return ParseBmpLayout(bytes_.data(), std::min(got, kBmpLayoutBytes), length_, &layout_);
}

void BmpFile::Close() {
    file_.Close();
}

bool BmpFile::IsCompressed() const {
    return layout_.coding == BmpPixelCoding::Rle8 || layout_.coding == BmpPixelCoding::Rle4;
}

ImageFileError BmpFile::Decode(bool withAlpha, unsigned char* pixels) {
    // Pixel data that starts inside the bytes already read continues from there;
    // data further on is read to the end of the buffer, skipping any gap.
    const int64_t start = layout_.pixelOffset;
    const int64_t end = IsCompressed() ? length_ : std::min(length_, DeclaredLength());
    const int64_t already = static_cast<int64_t>(bytes_.size());
    const int64_t readFrom = std::max(start, already);
    const size_t dataStart = static_cast<size_t>(std::min(start, already));
    if (end > readFrom) {
        try {
            bytes_.resize(static_cast<size_t>(already + end - readFrom));
        } catch (const std::bad_alloc&) {
            return ImageFileError::TooLarge;
        }
        size_t got = 0;
        const bool ok =
            file_.ReadAt(readFrom, bytes_.data() + already, static_cast<size_t>(end - readFrom), &got);
        bytes_.resize(static_cast<size_t>(already) + got);
        heldLength_ = readFrom + static_cast<int64_t>(got);
        if (!ok) return ImageFileError::CannotOpen;
    } else {
        heldLength_ = std::min(heldLength_, end);
    }
    file_.Close();

    const size_t dataSize =
        std::min<size_t>(bytes_.size(), static_cast<size_t>(dataStart + (end - start))) - dataStart;
    const unsigned char* data = bytes_.data() + dataStart;
    // Callers of the 4-sample reader rely on 24-bit files arriving red first.
    const SampleOrder order{withAlpha ? 4 : 3, withAlpha && layout_.coding == BmpPixelCoding::Bgr24};
    return IsCompressed() ? DecodeBmpRle(data, dataSize, layout_, order, pixels)
                          : DecodeBmpRows(data, dataSize, layout_, order, pixels);
}
