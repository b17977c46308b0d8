// Arbitrary bytes through ReadSampleImage. Built twice, as png_reader_fuzz and
// jpeg_reader_fuzz: the reader tells formats apart by content, so each target's
// starting corpus (scripts/fuzz.sh) keeps it at work on its own decoder.

#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_input_file.h"
#include "imageio/sample_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzInputFile input;
    SampleImage image;
    image.vSamples = {7};
    if (!ReadSampleImage(input.Write(data, size), &image).empty()) {
        if (image.vSamples != std::vector<uint16_t>{7}) std::abort();  // a refused file changes nothing
        return 0;
    }
    const bool validLayout = image.iWidth > 0 && image.iHeight > 0 && image.iChannels >= 1 &&
                             image.iChannels <= 4 && (image.iBitDepth == 8 || image.iBitDepth == 16);
    const size_t count = static_cast<size_t>(image.iWidth) * static_cast<size_t>(image.iHeight) *
                         static_cast<size_t>(image.iChannels);
    if (!validLayout || image.vSamples.size() != count) std::abort();
    const unsigned limit = image.iBitDepth == 8 ? 255 : 65535;
    if (image.vSamples.front() > limit || image.vSamples.back() > limit) std::abort();
    return 0;
}
