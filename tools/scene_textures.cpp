#include "tools/scene_textures.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Integer-only so that every platform produces the same bytes.
uint32_t Hash(int x, int y, uint32_t salt) {
    uint32_t h = static_cast<uint32_t>(x) * 0x9E3779B1u;
    h ^= static_cast<uint32_t>(y) * 0x85EBCA77u + salt * 0xC2B2AE3Du;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// Per-pixel grain in [-amount, amount]; it is what lets a matcher tell pixels apart.
int Grain(int x, int y, uint32_t salt, int amount) {
    return static_cast<int>(Hash(x, y, salt) % static_cast<uint32_t>(2 * amount + 1)) - amount;
}

int FloorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Smooth blotches in [0, 255]: random corner values blended across cellW x cellH cells.
int Blotches(int x, int y, int cellW, int cellH, uint32_t salt) {
    const int cx = FloorDiv(x, cellW), cy = FloorDiv(y, cellH);
    const int fx = x - cx * cellW, fy = y - cy * cellH;
    auto corner = [&](int i, int j) { return static_cast<int>(Hash(cx + i, cy + j, salt) & 255u); };
    const int top = corner(0, 0) * (cellW - fx) + corner(1, 0) * fx;
    const int bottom = corner(0, 1) * (cellW - fx) + corner(1, 1) * fx;
    return (top * (cellH - fy) + bottom * fy) / (cellW * cellH);
}

int ISqrt(int n) {
    int r = 0;
    while ((r + 1) * (r + 1) <= n) ++r;
    return r;
}

// One round dot at a random place inside each cell x cell square, wholly inside it.
bool InDot(int x, int y, int cell, uint32_t salt) {
    const int cx = FloorDiv(x, cell), cy = FloorDiv(y, cell);
    const uint32_t h = Hash(cx, cy, salt);
    const int r = 3 + static_cast<int>(h % 6u);
    const auto room = static_cast<uint32_t>(cell - 2 * r);
    const int dx = x - cx * cell - r - static_cast<int>((h >> 8) % room);
    const int dy = y - cy * cell - r - static_cast<int>((h >> 16) % room);
    return dx * dx + dy * dy <= r * r + r;  // + r rounds off the single-pixel nubs
}

uint8_t Clamp(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

Bgr Rgb(int r, int g, int b) {
    return {Clamp(b), Clamp(g), Clamp(r)};
}

// (du, dv) in half pixels from the centre of a square footprint, so odd sizes stay symmetric.
int CentredU(const Patch& p) {
    return 2 * p.u - (p.width - 1);
}
int CentredV(const Patch& p) {
    return 2 * p.v - (p.height - 1);
}

}  // namespace

Bgr BrickWall(const Patch& p) {
    const int brickW = 32, brickH = 15, mortar = 3;
    const int row = FloorDiv(p.v, brickH);
    const int x = p.u + (row & 1) * (brickW / 2);  // courses are staggered by half a brick
    const int col = FloorDiv(x, brickW);
    const bool inMortar = x - col * brickW < mortar || p.v - row * brickH < mortar;
    const int grain = Grain(p.u, p.v, 1, 12);
    const int soot = (Blotches(p.u, p.v, 40, 40, 2) - 128) / 5;
    const int light = 112 - p.v / 14;  // lit from above
    if (inMortar) {
        const int m = 176 + grain + soot / 2;
        return Rgb(m * light / 100, (m - 5) * light / 100, (m - 16) * light / 100);
    }
    const uint32_t h = Hash(col, row, 3);
    const int tone = static_cast<int>(h % 41u) - 20;
    const int warm = static_cast<int>((h >> 8) % 31u) - 15;
    return Rgb((155 + tone + warm + grain + soot) * light / 100, (78 + tone / 2 + grain + soot) * light / 100,
               (58 + tone / 2 - warm / 2 + grain + soot) * light / 100);
}

Bgr WoodPlanks(const Patch& p) {
    const int plankH = 24, lip = 6;
    const int grain = Grain(p.u, p.v, 7, 8);
    if (p.v < lip) {  // the rounded front edge of the counter top catches the light
        const int glow = 40 - 8 * std::abs(p.v - 2);
        return Rgb(190 + glow + grain, 135 + glow + grain, 80 + glow / 2 + grain);
    }
    const int plank = (p.v - lip) / plankH, pv = (p.v - lip) % plankH;
    const uint32_t h = Hash(plank, 0, 4);
    const int joint = static_cast<int>(h % 170u);
    if (pv < 2 || (p.u + joint) % 170 < 2) return Rgb(58 + grain, 34 + grain, 20 + grain);
    const int tone = static_cast<int>((h >> 8) % 37u) - 18;
    const int wobble = Blotches(p.u, p.v, 50, 6, 5) / 4;
    const int ring = (pv * 8 + wobble + static_cast<int>(h >> 20) % 48) % 48;
    const int dark = ring < 8 ? 34 - 3 * ring : 0;  // grain lines run along the boards
    const int streak = (Blotches(p.u, p.v, 70, 3, 6) - 128) / 6;
    const int shade = tone + streak + grain - dark;
    return Rgb(162 + shade, 106 + shade * 3 / 4, 60 + shade / 2);
}

Bgr StripedBanner(const Patch& p) {
    const int hem = 5;
    const int grain = Grain(p.u, p.v, 9, 10);
    const int weave = ((p.u ^ p.v) & 1) * 8;
    const int fold = 8 - std::abs(p.u % 20 - 10);  // soft vertical folds in the cloth
    const int shade = grain + weave + fold;
    if (p.u < hem || p.u >= p.width - hem || p.v >= p.height - 2 * hem)
        return Rgb(30 + shade, 78 + shade, 46 + shade);
    if (FloorDiv(p.u + p.v, 12) % 2 == 0) return Rgb(52 + shade, 132 + shade, 74 + shade);
    return Rgb(232 + shade, 222 + shade, 190 + shade);
}

Bgr CheckerBox(const Patch& p) {
    const int square = 18, edge = 4;
    const int grain = Grain(p.u, p.v, 8, 14);
    if (p.u < edge || p.v < edge || p.u >= p.width - edge || p.v >= p.height - edge)
        return Rgb(44 + grain, 38 + grain, 32 + grain);
    const int scuff = (Blotches(p.u, p.v, 24, 24, 12) - 128) / 8;
    const int light = 108 - p.u * 16 / p.width;  // lit from the left
    const int s = grain + scuff;
    if (((p.u - edge) / square + (p.v - edge) / square) % 2 == 1)
        return Rgb((42 + s) * light / 100, (72 + s) * light / 100, (158 + s) * light / 100);
    return Rgb((234 + s) * light / 100, (220 + s) * light / 100, (168 + s) * light / 100);
}

Bgr TargetDisc(const Patch& p) {
    const int du = CentredU(p), dv = CentredV(p);
    const int r = ISqrt(du * du + dv * dv) / 2;
    const int grain = Grain(p.u, p.v, 10, 10);
    if (r >= p.width / 2 - 4) return Rgb(40 + grain, 36 + grain, 34 + grain);
    if ((r / 9) % 2 == 0) return Rgb(200 + grain, 46 + grain, 40 + grain);
    return Rgb(240 + grain, 234 + grain, 220 + grain);
}

Bgr SpottedBall(const Patch& p) {
    const int du = CentredU(p), dv = CentredV(p), radius = p.width;  // all in half pixels
    const int z = ISqrt(std::max(0, radius * radius - du * du - dv * dv));
    // The surface normal dotted with a light from upper left front, (-2, -3, 6) / 7.
    const int facing = std::max(0, -2 * du - 3 * dv + 6 * z);
    const int percent = 26 + facing * 72 / (7 * radius);
    const int gloss = std::max(0, 10 * facing - 64 * radius) * 180 / (6 * radius);
    const int grain = Grain(p.u, p.v, 11, 10);  // added after shading so dark and glossy parts keep it
    const bool spot = InDot(p.u, p.v, 24, 13);
    auto finish = [&](int c) {
        const int lit = c * percent / 100;
        return lit + (255 - lit) * gloss / 256 + grain;
    };
    return spot ? Rgb(finish(105), finish(48), finish(22)) : Rgb(finish(236), finish(126), finish(36));
}
