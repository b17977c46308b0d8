#include "imageio/pfm_file.h"

#include <cstring>
#include <vector>

#include "imageio/little_endian.h"
#include "imageio/stdio_file.h"

bool SavePfmGrey(const char* fileName, const float* pValues, int32_t iWidth, int32_t iHeight) {
    if (pValues == nullptr || iWidth <= 0 || iHeight <= 0) return false;
    StdioFile file = OpenStdioFile(fileName, "wb");
    if (!file) return false;
    std::fprintf(file.get(), "Pf\n%d %d\n-1\n", static_cast<int>(iWidth), static_cast<int>(iHeight));
    std::vector<unsigned char> row(static_cast<size_t>(iWidth) * 4);
    for (int32_t y = iHeight - 1; y >= 0; --y) {
        const float* values = pValues + static_cast<size_t>(y) * static_cast<size_t>(iWidth);
        for (int32_t x = 0; x < iWidth; ++x) {
            uint32_t bits = 0;
            std::memcpy(&bits, &values[x], sizeof bits);
            WriteLe32(&row[static_cast<size_t>(x) * 4], bits);
        }
        std::fwrite(row.data(), 1, row.size(), file.get());
    }
    const bool written = std::fflush(file.get()) == 0 && !std::ferror(file.get());
    return std::fclose(file.release()) == 0 && written;
}
