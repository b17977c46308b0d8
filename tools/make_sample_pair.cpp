// Lays out the project's own sample stereo pair, so the program runs without outside data.

#include <cstring>
#include <iostream>

#include "tools/sample_pair_files.h"
#include "tools/sample_scene.h"

namespace {

const char kUsage[] =
    "usage: make_sample_pair OUTPUT_DIR\n"
    "Writes a synthetic stereo pair into OUTPUT_DIR (created if missing):\n"
    "  im2.bmp             left view, 450 x 375, 24-bit\n"
    "  im6.bmp             right view; a point at left-view column x appears at x - d\n"
    "  true_disparity.bmp  ground-truth d of each left-view pixel as grey, value = d x 4\n"
    "The surfaces lie at d = 8 (back wall), 16, 24, 32 and 40 (nearest) pixels.\n"
    "The output is the same, byte for byte, on every run.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::cout << kUsage;
        return 0;
    }
    if (argc != 2 || argv[1][0] == '\0') {
        std::cerr << kUsage;
        return 2;
    }
    const std::string failed = WriteSamplePair(argv[1], GenerateSampleScene());
    if (!failed.empty()) {
        std::cerr << "make_sample_pair: cannot write " << failed << '\n';
        return 1;
    }
    return 0;
}
