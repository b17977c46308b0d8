#pragma once
// The surface finishes of the sample scene.

#include <cstdint>

struct Bgr {
    uint8_t b, g, r;
};

// Where a pixel falls on a surface: (u, v) from the top-left corner of its footprint.
struct Patch {
    int u, v, width, height;
};

// Each finish depends on the patch alone, so a surface looks the same from either eye.
Bgr BrickWall(const Patch& p);
Bgr WoodPlanks(const Patch& p);
Bgr StripedBanner(const Patch& p);
Bgr CheckerBox(const Patch& p);
Bgr TargetDisc(const Patch& p);   // footprint is a square holding the disc
Bgr SpottedBall(const Patch& p);  // likewise
