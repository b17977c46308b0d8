#include "imageio/pfm_file.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "imageio/little_endian.h"
#include "imageio/native_file.h"
#include "imageio/reader_limits.h"

namespace {

// The header's three fields after "Pf": width, height, scale, each ended by one
// whitespace byte; the raster starts after the scale's.
constexpr size_t kMaxHeaderBytes = 256;

bool ReadField(const unsigned char* header, size_t size, size_t* pAt, std::string* pField) {
    while (*pAt < size && std::isspace(header[*pAt])) ++*pAt;
    const size_t start = *pAt;
    while (*pAt < size && !std::isspace(header[*pAt])) ++*pAt;
    if (*pAt == start || *pAt >= size) return false;
    pField->assign(reinterpret_cast<const char*>(header + start), *pAt - start);
    ++*pAt;
    return true;
}

bool ParseWhole(const std::string& text, int64_t* pValue) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *pValue = std::stoll(text);
    return true;
}

}  // namespace

std::string LoadPfmGrey(const std::string& fileName, std::vector<float>* pValues, int32_t* piWidth,
                        int32_t* piHeight) {
    InputFile file;
    const FileOpenResult opened = file.Open(fileName.c_str());
    if (opened == FileOpenResult::CannotOpen) return fileName + " cannot be opened";
    if (opened == FileOpenResult::NotRegular) return fileName + " is not a regular file";
    unsigned char header[kMaxHeaderBytes];
    size_t got = 0;
    if (!file.ReadAt(0, header, sizeof header, &got)) return fileName + " cannot be read";
    size_t at = 2;
    std::string fields[3];
    bool whole = got > 2 && header[0] == 'P' && header[1] == 'f';
    for (std::string& field : fields) whole = whole && ReadField(header, got, &at, &field);
    int64_t width = 0;
    int64_t height = 0;
    char* end = nullptr;
    const double scale = whole ? std::strtod(fields[2].c_str(), &end) : 0.0;
    if (!whole || !ParseWhole(fields[0], &width) || !ParseWhole(fields[1], &height) || *end != '\0' ||
        !(scale != 0.0)) {
        return fileName + " is not a grey float map (PFM)";
    }
    if (width == 0 || height == 0 || !FitsPixelLimit(width, height)) {
        return fileName + " declares " + fields[0] + " x " + fields[1] + " pixels, beyond what is read";
    }
    const int64_t rasterBytes = width * height * 4;
    if (file.Length() != static_cast<int64_t>(at) + rasterBytes) {
        return fileName + " holds " + std::to_string(file.Length()) + " bytes where its header declares " +
               std::to_string(static_cast<int64_t>(at) + rasterBytes);
    }
    std::vector<unsigned char> raster;
    try {
        raster.resize(static_cast<size_t>(rasterBytes));
        pValues->resize(static_cast<size_t>(width * height));
    } catch (const std::bad_alloc&) {
        return "not enough memory to read " + fileName;
    }
    if (!file.ReadAt(static_cast<int64_t>(at), raster.data(), raster.size(), &got) || got != raster.size()) {
        return fileName + " cannot be read";
    }
    const bool bigEndian = scale > 0.0;
    for (int64_t y = 0; y < height; ++y) {
        const unsigned char* row = raster.data() + static_cast<size_t>((height - 1 - y) * width * 4);
        float* values = pValues->data() + static_cast<size_t>(y * width);
        for (int64_t x = 0; x < width; ++x) {
            const unsigned char* b = row + 4 * x;
            const unsigned char le[4] = {b[3], b[2], b[1], b[0]};
            const uint32_t bits = ReadLe32(bigEndian ? le : b);
            std::memcpy(&values[x], &bits, sizeof bits);
        }
    }
    *piWidth = static_cast<int32_t>(width);
    *piHeight = static_cast<int32_t>(height);
    return std::string();
}

bool SavePfmGrey(const char* fileName, const float* pValues, int32_t iWidth, int32_t iHeight,
                 std::string* psReason) {
    if (pValues == nullptr || iWidth <= 0 || iHeight <= 0) {
        if (psReason != nullptr) *psReason = "no picture to write";
        return false;
    }
    char header[64];
    const int headerBytes = std::snprintf(header, sizeof header, "Pf\n%d %d\n-1\n", static_cast<int>(iWidth),
                                          static_cast<int>(iHeight));
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
