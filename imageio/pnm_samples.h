#pragma once
// Binary PGM (P5) and PPM (P6) files at their own precision, for ReadSampleImage.
// maxval 255 gives 8-bit samples, 65535 16-bit ones; other ranges are scaled to the
// nearer of the two by rounding.

#include <cstddef>
#include <cstdint>

#include "imageio/byte_buffer.h"
#include "imageio/image_files.h"
#include "imageio/sample_image.h"

struct PnmHeader {
    int channels = 0;  // 1 for P5, 3 for P6
    int64_t width = 0;
    int64_t height = 0;
    int64_t maxval = 0;
    size_t rasterOffset = 0;
};

// Checks the size against the readers' limits, and that the file holds enough of its
// raster to be believed (reader_limits.h).
ImageFileError ReadPnmHeader(const ByteBuffer& bytes, PnmHeader* pHeader);
// Header and raster as the header declares them.
int64_t PnmDeclaredLength(const PnmHeader& header);
// Every sample is written; those a short file lacks are zero.
ImageFileError DecodePnmSamples(const ByteBuffer& bytes, const PnmHeader& header, SampleImage* pImage);
