#pragma once
// The CRC-32 of PNG chunks and zip files (polynomial 0xEDB88320, reflected).

#include <cstddef>
#include <cstdint>

uint32_t Crc32(const unsigned char* p, size_t count);
