#include "imageio/png_chunk_check.h"

#include <cstdint>

#include "imageio/crc32.h"

namespace {

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr bool kCrcsCount = false;
#else
constexpr bool kCrcsCount = true;
#endif

uint32_t ReadBe32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// "the IDAT chunk", or "an unnamed chunk" where the type is not four letters.
std::string ChunkName(const unsigned char* type) {
    std::string name;
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = type[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return "an unnamed chunk";
        name += static_cast<char>(c);
    }
    return "the " + name + " chunk";
}

}  // namespace

PngChunkCheck CheckPngChunks(const unsigned char* bytes, size_t size) {
    PngChunkCheck check;
    size_t at = 8;  // past the signature
    // Each chunk: its data's length, its type, the data, the CRC of type and data. The
    // decoder reads a header of zeros where the file ends; nothing is left to allocate.
    while (at < size) {
        if (size - at < 12 || ReadBe32(bytes + at) > size - at - 12) {
            check.bRunsPastEnd = true;
            break;
        }
        const uint32_t length = ReadBe32(bytes + at);
        const unsigned char* type = bytes + at + 4;
        if (kCrcsCount && Crc32(type, 4 + size_t{length}) != ReadBe32(type + 4 + length)) {
            check.sDamage =
                "the CRC of " + ChunkName(type) + " at byte " + std::to_string(at) + " does not match";
            break;
        }
        if (type[0] == 'I' && type[1] == 'E' && type[2] == 'N' && type[3] == 'D') break;
        at += 12 + size_t{length};
    }
    return check;
}
