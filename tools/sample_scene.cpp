#include "tools/sample_scene.h"

#include <iterator>

#include "tools/scene_textures.h"

namespace {

constexpr int kWidth = 450;
constexpr int kHeight = 375;

enum class Shape { Rect, Disc };

// Footprints are in left-view coordinates; a disc's footprint is the square around it.
struct Surface {
    int disparity;
    Shape shape;
    int left, top, width, height;
    Bgr (*finish)(const Patch&);
};

// Back to front; the first is the backdrop behind everything.
const Surface kScene[] = {
    {8, Shape::Rect, -100, -100, 700, 600, BrickWall},  {16, Shape::Rect, -100, 290, 700, 100, WoodPlanks},
    {16, Shape::Rect, 28, -10, 82, 240, StripedBanner}, {24, Shape::Rect, 252, 148, 146, 196, CheckerBox},
    {32, Shape::Disc, 318, 22, 111, 111, TargetDisc},   {40, Shape::Disc, 88, 178, 151, 151, SpottedBall},
};

Patch PatchAt(const Surface& s, int x, int y) {
    return {x - s.left, y - s.top, s.width, s.height};
}

bool Covers(const Surface& s, const Patch& p) {
    if (p.u < 0 || p.v < 0 || p.u >= s.width || p.v >= s.height) return false;
    if (s.shape == Shape::Rect) return true;
    const int du = 2 * p.u - (s.width - 1), dv = 2 * p.v - (s.height - 1);
    return du * du + dv * dv <= s.width * s.width;
}

// Each view is drawn from the scene itself, so what one view uncovers is simply there,
// continuing behind the nearer object. The backmost surface is taken wherever nothing else is.
const Surface& Visible(int x, int y, bool rightView, Patch* patch) {
    for (const Surface* s = std::end(kScene) - 1;; --s) {
        *patch = PatchAt(*s, x + (rightView ? s->disparity : 0), y);
        if (s == std::begin(kScene) || Covers(*s, *patch)) return *s;
    }
}

void Put(std::vector<unsigned char>& bgr, int index, Bgr c) {
    bgr[3 * index] = c.b;
    bgr[3 * index + 1] = c.g;
    bgr[3 * index + 2] = c.r;
}

}  // namespace

StereoSample GenerateSampleScene() {
    StereoSample s;
    s.width = kWidth;
    s.height = kHeight;
    s.left.resize(kWidth * kHeight * 3);
    s.right.resize(kWidth * kHeight * 3);
    s.disparity.resize(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int i = y * kWidth + x;
            Patch patch{};
            const Surface& seen = Visible(x, y, false, &patch);
            Put(s.left, i, seen.finish(patch));
            s.disparity[i] = static_cast<unsigned char>(seen.disparity);
            Put(s.right, i, Visible(x, y, true, &patch).finish(patch));
        }
    }
    return s;
}
