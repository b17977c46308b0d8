#include "imageio/stb_decoder.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

namespace {

// stb_image sizes some buffers by what a file's fields claim before it finds out
// whether the data is there (an inflate that keeps doubling its output, for one).
// Each allocation is held to what the picture at hand can need: 16 bytes a pixel, with
// a block's margin on each side, besides twice the file.
thread_local size_t tAllocationCap = 0;

void* CappedMalloc(size_t size) {
    return size <= tAllocationCap ? std::malloc(size) : nullptr;
}

void* CappedRealloc(void* p, size_t size) {
    return size <= tAllocationCap ? std::realloc(p, size) : nullptr;
}

void SetAllocationCap(size_t fileSize, int width, int height) {
    tAllocationCap = size_t{16} * (static_cast<size_t>(width) + 16) * (static_cast<size_t>(height) + 16) +
                     2 * fileSize + (size_t{1} << 20);
}

}  // namespace

#define STBI_MALLOC(size) CappedMalloc(size)
#define STBI_REALLOC(p, size) CappedRealloc(p, size)
#define STBI_FREE(p) std::free(p)
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
// Files are read by imageio's own calls, which never block on a pipe and take
// Windows names alike.
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_FAILURE_USERMSG
#include <stb_image.h>

namespace {

struct StbFree {
    void operator()(void* p) const { stbi_image_free(p); }
};

}  // namespace

std::string ReadStbHeader(const unsigned char* bytes, size_t size, StbHeader* pHeader) {
    if (size > static_cast<size_t>(INT_MAX)) return "larger than 2 GiB";
    const int length = static_cast<int>(size);
    SetAllocationCap(size, 0, 0);
    if (!stbi_info_from_memory(bytes, length, &pHeader->iWidth, &pHeader->iHeight, &pHeader->iChannels)) {
        // The header pass reports only that no format matched; a decode stops at the
        // same place and says why.
        int width = 0, height = 0, channels = 0;
        stbi_image_free(stbi_load_from_memory(bytes, length, &width, &height, &channels, 0));
        return stbi_failure_reason();
    }
    pHeader->b16Bit = stbi_is_16_bit_from_memory(bytes, length) != 0;
    return std::string();
}

std::string DecodeWithStb(const unsigned char* bytes, size_t size, const StbHeader& header,
                          SampleImage* pImage) {
    // Asking for the channels the header reported keeps the layout fixed even where
    // the decoder would add one (a grey picture with a transparent colour).
    const int length = static_cast<int>(size);
    SetAllocationCap(size, header.iWidth, header.iHeight);
    int width = 0, height = 0, fileChannels = 0;
    std::unique_ptr<void, StbFree> decoded(
        header.b16Bit ? static_cast<void*>(stbi_load_16_from_memory(bytes, length, &width, &height,
                                                                    &fileChannels, header.iChannels))
                      : static_cast<void*>(stbi_load_from_memory(bytes, length, &width, &height,
                                                                 &fileChannels, header.iChannels)));
    if (!decoded) {
        // Within the cap, running out of memory means data that unpacks to far more.
        const std::string reason = stbi_failure_reason();
        return reason == "Out of memory" ? "its data unpacks to more than the picture holds" : reason;
    }

    SampleImage image;
    image.iWidth = header.iWidth;
    image.iHeight = header.iHeight;
    image.iChannels = header.iChannels;
    image.iBitDepth = header.b16Bit ? 16 : 8;
    const size_t count = static_cast<size_t>(header.iWidth) * static_cast<size_t>(header.iHeight) *
                         static_cast<size_t>(header.iChannels);
    try {
        if (header.b16Bit) {
            const auto* samples = static_cast<const uint16_t*>(decoded.get());
            image.vSamples.assign(samples, samples + count);
        } else {
            const auto* samples = static_cast<const unsigned char*>(decoded.get());
            image.vSamples.assign(samples, samples + count);
        }
    } catch (const std::bad_alloc&) {
        return "Out of memory";
    }
    *pImage = std::move(image);
    return std::string();
}
