#include "tools/random_dot_scene.h"

#include <cstddef>

namespace {

// Texture in the surface's own coordinates, so that both eyes see the same pattern.
unsigned char Texture(int u, int y, unsigned layer) {
    unsigned h =
        static_cast<unsigned>(u) * 73856093u ^ static_cast<unsigned>(y) * 19349663u ^ layer * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return static_cast<unsigned char>(h);
}

}  // namespace

RandomDotPair RenderRandomDotPair(const RandomDotScene& s) {
    RandomDotPair pair;
    const size_t pixels = static_cast<size_t>(s.width) * static_cast<size_t>(s.height);
    pair.left.resize(pixels * 3);
    pair.right.resize(pixels * 3);
    pair.truth.resize(pixels);
    const auto inFront = [&](int u, int y) {
        return s.front > 0 && u >= s.left && u < s.right && y >= s.top && y < s.bottom;
    };
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            const size_t p = static_cast<size_t>(y) * static_cast<size_t>(s.width) + static_cast<size_t>(x);
            // Left pixel x shows surface point u = x; right pixel x shows u = x + d.
            const bool leftFront = inFront(x, y);
            const bool rightFront = inFront(x + s.front, y);
            const unsigned char l = leftFront ? Texture(x, y, 1) : Texture(x, y, 0);
            const unsigned char r = rightFront ? Texture(x + s.front, y, 1) : Texture(x + s.background, y, 0);
            for (int c = 0; c < 3; ++c) {
                pair.left[3 * p + c] = static_cast<unsigned char>(l ^ (c * 37));
                pair.right[3 * p + c] = static_cast<unsigned char>(r ^ (c * 37));
            }
            const int d = leftFront ? s.front : s.background;
            pair.truth[p] = x >= d ? static_cast<float>(d) : 0.0f;
        }
    }
    return pair;
}
