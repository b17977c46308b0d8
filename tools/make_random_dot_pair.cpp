// Writes a random-dot stereo pair of a given size and disparity, for checks of the
// device code on pairs of any size.

#include <cstdlib>
#include <iostream>
#include <string>

#include "imageio/image_files.h"
#include "tools/random_dot_scene.h"

namespace {

const char kUsage[] =
    "usage: make_random_dot_pair WIDTH HEIGHT BACKGROUND FRONT LEFT.ppm RIGHT.ppm\n"
    "Writes a random-dot pair: a background at disparity BACKGROUND and, unless FRONT is 0,\n"
    "a rectangle over the middle third of the view at disparity FRONT; sides 1 to 8192.\n";

bool ParseSize(const char* text, int* pValue) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > 8192) {
        return false;
    }
    *pValue = static_cast<int>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int numbers[4] = {};
    bool ok = argc == 7;
    for (int i = 0; ok && i < 4; ++i) {
        ok = ParseSize(argv[i + 1], &numbers[i]);
    }
    if (!ok || numbers[0] < 1 || numbers[1] < 1) {
        std::cerr << kUsage;
        return 2;
    }
    const int width = numbers[0];
    const int height = numbers[1];
    const RandomDotPair pair = RenderRandomDotPair(
        {width, height, numbers[2], numbers[3], width / 3, height / 3, 2 * width / 3, 2 * height / 3});
    SavePpmFromRgb(argv[5], pair.left.data(), width, height);
    SavePpmFromRgb(argv[6], pair.right.data(), width, height);
    return 0;
}
