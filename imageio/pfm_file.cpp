#include "imageio/pfm_file.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "imageio/little_endian.h"
#include "imageio/native_file.h"

bool SavePfmGrey(const char* fileName, const float* pValues, int32_t iWidth, int32_t iHeight,
                 std::string* psReason) {
    if (pValues == nullptr || iWidth <= 0 || iHeight <= 0) {
        if (psReason != nullptr) *psReason = "no picture to write";
        return false;
    }
    char header[64];
    const int headerBytes =
        std::snprintf(header, sizeof header, "Pf\n%d %d\n-1\n", static_cast<int>(iWidth), static_cast<int>(iHeight));
    const size_t rowBytes = static_cast<size_t>(iWidth) * 4;
    std::vector<unsigned char> vFile;
    try {
        vFile.resize(static_cast<size_t>(headerBytes) + rowBytes * static_cast<size_t>(iHeight));
    } catch (const std::bad_alloc&) {
        if (psReason != nullptr) *psReason = "not enough memory";
        return false;
    }
    std::memcpy(vFile.data(), header, static_cast<size_t>(headerBytes));
    unsigned char* pOut = vFile.data() + headerBytes;
    for (int32_t y = iHeight - 1; y >= 0; --y) {
        const float* values = pValues + static_cast<size_t>(y) * static_cast<size_t>(iWidth);
        for (int32_t x = 0; x < iWidth; ++x, pOut += 4) {
            uint32_t bits = 0;
            std::memcpy(&bits, &values[x], sizeof bits);
            WriteLe32(pOut, bits);
        }
    }
    return ReplaceFileWhole(fileName, vFile.data(), vFile.size(), psReason);
}
