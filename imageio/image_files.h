#pragma once
// Pixel buffers and the files they come from.
//
// A pixel buffer is one new[]-allocated array of 8-bit samples, width x height x N
// (N = 3: blue, green, red; N = 4: blue, green, red, alpha), rows without gaps.
// Width and height travel beside it as signed 32-bit integers; null means no image.
// The caller owns a returned buffer and releases it with delete[].
//
// Row order: the BMP routines keep row 0 as the top row of the picture; the PPM
// routines keep row 0 as the bottom row.
//
// Readers write the out-parameters only when they return a buffer. A reader that
// returns null says why through the optional error argument. A file shorter than
// its header declares gives a buffer whose missing samples are zero, unless it
// holds too little to make the header believable (see reader_limits.h).

#include <cstdint>

enum class ImageFileError {
    None,
    CannotOpen,      // missing or unreadable
    NotRegularFile,  // a folder, a pipe or a device: refused without waiting on it
    NotThisFormat,   // the signature is wrong
    Unsupported,     // a valid file this reader does not decode exactly
    TooLarge,        // dimensions beyond the reader's limit, overflowing, or beyond memory
    Corrupt,         // headers that contradict themselves or the file
};

// A short lower-case phrase for console messages, such as "cannot be opened".
const char* DescribeImageFileError(ImageFileError error);

// BGR, or for LoadBmpRgba BGRA except that 24-bit files give RGBA (R, G, B, 255).
unsigned char* LoadBmpRgb(const char* fileName, int32_t* piWidth, int32_t* piHeight,
                          ImageFileError* pError = nullptr);
unsigned char* LoadBmpRgba(const char* fileName, int32_t* piWidth, int32_t* piHeight,
                           ImageFileError* pError = nullptr);

// Always a 24-bit bottom-up file; the 4-sample writer ignores byte 3 of each pixel.
// The file is replaced whole (see ReplaceFileWhole): on failure it stays as it was.
void SaveBmpFromRgb(const char* fileName, const unsigned char* pRGBBuffer, int32_t iWidth, int32_t iHeight);
void SaveBmpFromRgba(const char* fileName, const unsigned char* pRGBABuffer, int32_t iWidth, int32_t iHeight);

// Raw P6 files; buffer row 0 is the picture's bottom row. Written whole like BMP files.
unsigned char* LoadPpmRgb(const char* fileName, int32_t* piWidth, int32_t* piHeight,
                          ImageFileError* pError = nullptr);
// The same, with the lengths that tell a file cut short from a whole one.
struct PpmLengths {
    int64_t declared = 0;  // header and raster, as the header states them
    int64_t held = 0;      // what the file held when read
};
unsigned char* LoadPpmRgbWithLengths(const char* fileName, int32_t* piWidth, int32_t* piHeight,
                                     ImageFileError* pError, PpmLengths* pLengths);
void SavePpmFromRgb(const char* fileName, const unsigned char* pRGBBuffer, int32_t iWidth, int32_t iHeight);
