#pragma once
// stb_image reads PNG chunks without checking their CRCs, so a damaged file could
// decode to wrong pixels without a word; and it makes room for a chunk's data as its
// length field states before reading it, so a few bytes could ask for gigabytes. The
// chunks are walked here first, up to IEND.
//
// The fuzz targets build with FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION, which walks the
// chunks as ever but lets every CRC pass, so that mutated files reach the decoder.

#include <cstddef>
#include <string>

struct PngChunkCheck {
    bool bRunsPastEnd = false;  // a chunk claims more bytes than the file holds
    std::string sDamage;        // which chunk's CRC does not match, when one does not
};

PngChunkCheck CheckPngChunks(const unsigned char* bytes, size_t size);
