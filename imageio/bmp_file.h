#pragma once
// A BMP file read in two steps, so that a caller can refuse a picture by its size
// before any pixel buffer exists: Open reads and checks the headers and palette,
// Decode then reads the rest of the pixel data with one more read and converts it
// in one pass. The object may be opened again and again; its byte buffer keeps its
// capacity, and a file that fits what the buffer held before is read whole, and
// closed, by Open.

#include <cstdint>

#include "imageio/bmp_layout.h"
#include "imageio/byte_buffer.h"
#include "imageio/image_files.h"
#include "imageio/native_file.h"

class BmpFile {
public:
    // Never blocks: a pipe or a device is refused as NotRegularFile.
    ImageFileError Open(const char* fileName);
    int32_t Width() const { return layout_.width; }
    int32_t Height() const { return layout_.height; }
    bool IsCompressed() const;

    // The length the headers promise, up to the end of the pixel data (for RLE as
    // far as the header states the stream's size), and how much of it the file held
    // when last read: at Open its length, after Decode what the read found. A file
    // that holds less is cut short, or still being written.
    int64_t DeclaredLength() const { return layout_.pixelOffset + layout_.dataLength; }
    int64_t HeldLength() const { return heldLength_; }

    // Fills width x height x (withAlpha ? 4 : 3) bytes: blue, green, red (, alpha),
    // except that a 24-bit file gives red first with alpha. What the file does not
    // hold is zero. Closes the file.
    ImageFileError Decode(bool withAlpha, unsigned char* pixels);
    // For a file that is not decoded after all.
    void Close();

private:
    InputFile file_;
    BmpLayout layout_;
    ByteBuffer bytes_;    // the headers, then the pixel data
    int64_t length_ = 0;  // as far as the file went when opened
    int64_t heldLength_ = 0;
};
