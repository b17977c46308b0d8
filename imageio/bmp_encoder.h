#pragma once
// A 24-bit bottom-up BMP file built whole in memory, to be written with one call.

#include <cstdint>
#include <string>
#include <vector>

// Takes bytes 0..2 of each `samples`-byte pixel (row 0 on top) as blue, green, red
// and fills *pFile with the 54 header bytes and the rows, each padded with zeros to
// whole 32-bit words. *pFile keeps its capacity between calls. False, with *pFile
// untouched, for sizes no BMP file holds or when memory runs out.
bool EncodeBmp24(const unsigned char* pixels, int samples, int32_t width, int32_t height,
                 std::vector<unsigned char>* pFile);

// Encodes as above into *pFile and replaces `fileName` whole with it (see
// ReplaceFileWhole). False, with the reason where psReason is given, when either
// fails; the file then stays as it was.
bool SaveBmp24(const char* fileName, const unsigned char* pixels, int samples, int32_t width, int32_t height,
               std::vector<unsigned char>* pFile, std::string* psReason);
