#include "tests/imageio/bmp_builder.h"

namespace {

void Put16(std::vector<unsigned char>& out, uint32_t value) {
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void Put32(std::vector<unsigned char>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

}  // namespace

std::vector<unsigned char> BmpFields::Bytes() const {
    std::vector<unsigned char> info;
    Put32(info, infoSize);
    Put32(info, static_cast<uint32_t>(width));
    Put32(info, static_cast<uint32_t>(height));
    Put16(info, planes);
    Put16(info, bitCount);
    Put32(info, compression);
    Put32(info, 0);  // image size
    Put32(info, 0);  // pixels per metre, x
    Put32(info, 0);  // and y
    Put32(info, colorsUsed);
    Put32(info, 0);  // important colours
    for (uint32_t mask : masks) Put32(info, mask);
    if (infoSize > 40) info.resize(infoSize, 0);
    for (uint32_t entry : palette) Put32(info, entry);

    std::vector<unsigned char> file = {'B', 'M'};
    const uint32_t offset =
        pixelOffset >= 0 ? static_cast<uint32_t>(pixelOffset) : static_cast<uint32_t>(14 + info.size());
    Put32(file, static_cast<uint32_t>(14 + info.size() + pixels.size()));
    Put32(file, 0);
    Put32(file, offset);
    file.insert(file.end(), info.begin(), info.end());
    // Pixels go where the offset says, or straight after the headers when it
    // points back into them.
    file.resize(offset > file.size() ? offset : file.size(), 0);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}
