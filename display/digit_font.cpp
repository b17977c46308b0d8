#include "display/digit_font.h"

#include <string>

namespace {

// A row of dots a byte, the left dot in bit 2.
constexpr unsigned char kGlyphs[10][kDigitDotRows] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

}  // namespace

int32_t NumberWidth(int iValue, int32_t iScale) {
    const int32_t digits = static_cast<int32_t>(std::to_string(iValue).size());
    return (digits * (kDigitDots + 1) - 1) * iScale;
}

void DrawNumber(Canvas* pCanvas, int32_t x, int32_t y, int32_t iScale, int iValue,
                const unsigned char bgr[3]) {
    if (iValue < 0) {
        return;
    }
    for (const char digit : std::to_string(iValue)) {
        const unsigned char* glyph = kGlyphs[digit - '0'];
        for (int32_t row = 0; row < kDigitDotRows; ++row) {
            for (int32_t dot = 0; dot < kDigitDots; ++dot) {
                if ((glyph[row] >> (kDigitDots - 1 - dot)) & 1) {
                    FillRect(pCanvas, PixelRect{x + dot * iScale, y + row * iScale, iScale, iScale}, bgr);
                }
            }
        }
        x += (kDigitDots + 1) * iScale;
    }
}
