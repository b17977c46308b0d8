#pragma once
// A guard in front of stb_image's JPEG decoder. The version Debian ships builds each
// Huffman table without checking that its code counts add up to at most 256, and then
// writes past the table's arrays; later upstream versions refuse such tables. This
// walks the file's marker segments as that decoder does and finds them first.

#include <cstddef>

// False when a Huffman table that the decoder would build holds more than 256 codes.
// Where the walk loses the file's structure it stops and answers true: the decoder
// then refuses the file at the same place.
bool JpegHuffmanTablesFit(const unsigned char* bytes, size_t size);
