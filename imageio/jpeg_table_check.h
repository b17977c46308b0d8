#pragma once
// A guard in front of stb_image's JPEG decoder. The version Debian ships builds each
// Huffman table without checking that its code counts add up to at most 256, and then
// writes past the table's arrays; and it decodes a scan with whatever a table slot
// holds, defined or not, so a slot the file never filled sends its reads far outside
// the table. Likewise it dequantises with whatever a quantisation slot holds, so a
// frame naming a slot that no DQT filled multiplies by uninitialised memory. Later
// upstream versions refuse such files. This walks the file's marker segments as that
// decoder does and finds them first.

#include <cstddef>

// Null when the decoder may be given the file; otherwise what is wrong with its
// Huffman or quantisation tables. Where the walk loses the file's structure it stops
// and answers null: the decoder then refuses the file at the same place.
const char* JpegTableProblem(const unsigned char* bytes, size_t size);
