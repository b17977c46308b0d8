// Dense disparity of the left view, coarse to fine over four pyramid levels.
//
// Each level: a census transform of both views; for every pixel a window of 16
// disparity candidates, all of them on the coarsest level and around the coarser
// level's result on the others; matching costs; semi-global aggregation along eight
// paths; the best candidate with a sub-pixel parabola, for the left view and, from
// the same sums, for the right view; a 3 x 3 median; a left-right check; and the
// pixels the check removed filled from their row.
//
// Images are row 0 on top, rows without gaps. Disparity maps are floats: a left-view
// pixel at x matches the right-view pixel at x - d. A negative value marks a pixel
// without an estimate until the filling, INFINITY one that stays without.

#define CANDIDATES 16
#define NO_ESTIMATE (-1.0f)

// Aggregation penalties, in census bits: a step of one disparity between
// neighbours, and any larger step.
#define SMALL_STEP_PENALTY 10
#define LARGE_STEP_PENALTY 64

// The large-step penalty shrinks across a change of brightness, where depth edges are:
// to half at a step of EDGE_SOFTNESS grey levels.
#define EDGE_SOFTNESS 8

#define FAR_COST 8000          // "no such candidate" in the aggregation; sums stay in 16 bits
#define OUTSIDE_COST 10        // the match would fall left of the right view
#define OUT_OF_RANGE_COST 255  // beyond the disparity range searched

// A match is kept when the other view's disparity at its partner differs by at most this.
#define CONSISTENCY_LIMIT 1.0f

// ---------------------------------------------------------------------------------
// Pyramid

// Rec. 601 luma in 8 bits, from blue, green, red.
__kernel void GreyFromBgr(__global const uchar* bgr, __global uchar* grey, int width, int height)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const int p = y * width + x;
    const uint value = 29u * bgr[3 * p] + 150u * bgr[3 * p + 1] + 77u * bgr[3 * p + 2];
    grey[p] = (uchar)((value + 128u) >> 8);
}

// Mean of each 2 x 2 block, as from one pyramid level to the next.
__kernel void HalveGrey(__global const uchar* input, __global uchar* output, int inputWidth, int width,
                        int height)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    __global const uchar* top = input + 2 * y * inputWidth + 2 * x;
    const uint sum = top[0] + top[1] + top[inputWidth] + top[inputWidth + 1];
    output[y * width + x] = (uchar)((sum + 2u) >> 2);
}

// ---------------------------------------------------------------------------------
// Census transform: one bit per pixel of the 7 x 7 neighbourhood but the centre, set
// where that pixel is darker than the centre. Borders repeat the edge pixels.
__kernel void Census(__global const uchar* grey, __global ulong* census, int width, int height)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const uchar centre = grey[y * width + x];
    ulong bits = 0;
    for (int dy = -3; dy <= 3; ++dy) {
        const int row = clamp(y + dy, 0, height - 1) * width;
        for (int dx = -3; dx <= 3; ++dx) {
            if (dx == 0 && dy == 0) {
                continue;
            }
            const uchar other = grey[row + clamp(x + dx, 0, width - 1)];
            bits = (bits << 1) | (ulong)(other < centre);
        }
    }
    census[y * width + x] = bits;
}

// ---------------------------------------------------------------------------------
// Candidate windows: pixel p tries 16 disparities, window[p].x + 0..7 and
// window[p].y + 0..7, with y >= x + 8; where y == x + 8 they are one run of 16.
// They cover twice the smallest and twice the largest disparity of the coarser level
// around p's parent, so that an edge that moved by a pixel keeps both surfaces.

#define HALF_WINDOW 8

int CandidateDisparity(short2 window, int k)
{
    return k < HALF_WINDOW ? window.x + k : window.y + k - HALF_WINDOW;
}

// The candidate of `window` that is disparity d, or -1.
int CandidateIndex(short2 window, int d)
{
    const int first = d - window.x;
    const int second = d - window.y;
    return (first >= 0 && first < HALF_WINDOW) ? first
                                              : (second >= 0 && second < HALF_WINDOW) ? HALF_WINDOW + second : -1;
}

__kernel void ChooseWindows(__global const float* coarse, int coarseWidth, int coarseHeight,
                            __global short2* window, int width, int height, int maxDisparity)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const int px = min(x / 2, coarseWidth - 1);
    const int py = min(y / 2, coarseHeight - 1);
    float lowest = INFINITY;
    float highest = -INFINITY;
    for (int j = -1; j <= 1; ++j) {
        const int row = clamp(py + j, 0, coarseHeight - 1) * coarseWidth;
        for (int i = -1; i <= 1; ++i) {
            const float d = coarse[row + clamp(px + i, 0, coarseWidth - 1)];
            if (isfinite(d) && d >= 0.0f) {
                lowest = fmin(lowest, d);
                highest = fmax(highest, d);
            }
        }
    }
    int first = 0;
    int second = HALF_WINDOW;
    if (highest >= lowest) {
        const int needLow = (int)floor(2.0f * lowest) - 1;
        const int needHigh = (int)ceil(2.0f * highest) + 1;
        const int span = needHigh - needLow + 1;
        if (span <= CANDIDATES) {
            first = needLow - (CANDIDATES - span) / 2;
            second = first + HALF_WINDOW;
        } else {
            first = (int)round(2.0f * lowest) - HALF_WINDOW / 2 + 1;
            second = (int)round(2.0f * highest) - HALF_WINDOW / 2;
        }
    }
    first = clamp(first, 0, max(0, maxDisparity - (CANDIDATES - 1)));
    second = clamp(second, first + HALF_WINDOW, max(first + HALF_WINDOW, maxDisparity - (HALF_WINDOW - 1)));
    window[y * width + x] = (short2)((short)first, (short)second);
}

// ---------------------------------------------------------------------------------
// Matching cost of each candidate: the Hamming distance of the census bits.
__kernel void MatchingCost(__global const ulong* leftCensus, __global const ulong* rightCensus,
                           __global const short2* window, __global uchar* cost, int width, int height,
                           int maxDisparity)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const int p = y * width + x;
    const ulong bits = leftCensus[p];
    const short2 w = window[p];
    uchar costs[CANDIDATES];
    for (int k = 0; k < CANDIDATES; ++k) {
        const int d = CandidateDisparity(w, k);
        const int xr = x - d;
        uchar c = OUTSIDE_COST;
        if (d > maxDisparity) {
            c = OUT_OF_RANGE_COST;
        } else if (xr >= 0) {
            c = (uchar)popcount(bits ^ rightCensus[y * width + xr]);
        }
        costs[k] = c;
    }
    vstore16(vload16(0, costs), p, cost);
}

// ---------------------------------------------------------------------------------
// Semi-global aggregation along one direction (dx, dy): one work-item per path, which
// walks from the border where the direction enters to where it leaves, adding its
// path costs into the sums (or writing them, for the first direction).

// The previous pixel's path costs are kept by disparity, far costs elsewhere, so that
// each pixel reads its candidates and their neighbours whatever the two windows are.
#define BY_DISPARITY_OFFSET 8
#define BY_DISPARITY_SIZE 160

ushort LowestOf(ushort16 v)
{
    const ushort8 a = min(v.lo, v.hi);
    const ushort4 b = min(a.lo, a.hi);
    const ushort2 c = min(b.lo, b.hi);
    return min(c.x, c.y);
}

void AddToSums(__global ushort* sums, int p, ushort16 pathCost, int accumulate)
{
    if (accumulate) {
        pathCost += vload16(p, sums);
    }
    vstore16(pathCost, p, sums);
}

ushort16 ReadByDisparity(const ushort* byDisparity, short2 w, int shift)
{
    return (ushort16)(vload8(0, byDisparity + BY_DISPARITY_OFFSET + w.x + shift),
                      vload8(0, byDisparity + BY_DISPARITY_OFFSET + w.y + shift));
}

void WriteByDisparity(ushort* byDisparity, short2 w, ushort16 values)
{
    vstore8(values.lo, 0, byDisparity + BY_DISPARITY_OFFSET + w.x);
    vstore8(values.hi, 0, byDisparity + BY_DISPARITY_OFFSET + w.y);
}

__kernel void AggregatePath(__global const uchar* cost, __global const short2* window,
                            __global const uchar* grey, __global ushort* sums, int width, int height, int dx,
                            int dy, int accumulate)
{
    const int t = get_global_id(0);
    int x;
    int y;
    if (dy == 0) {
        if (t >= height) {
            return;
        }
        x = dx > 0 ? 0 : width - 1;
        y = t;
    } else if (dx == 0) {
        if (t >= width) {
            return;
        }
        x = t;
        y = dy > 0 ? 0 : height - 1;
    } else {
        if (t >= width + height - 1) {
            return;
        }
        if (t < width) {
            x = t;
            y = dy > 0 ? 0 : height - 1;
        } else {
            x = dx > 0 ? 0 : width - 1;
            y = dy > 0 ? t - width + 1 : height - 2 - (t - width);
        }
    }

    ushort byDisparity[BY_DISPARITY_SIZE];
    for (int i = 0; i < BY_DISPARITY_SIZE / 16; ++i) {
        vstore16((ushort16)(FAR_COST), i, byDisparity);
    }

    int p = y * width + x;
    ushort16 pathCost = convert_ushort16(vload16(p, cost));
    AddToSums(sums, p, pathCost, accumulate);
    short2 previousWindow = window[p];
    int previousGrey = grey[p];
    ushort previousLowest = LowestOf(pathCost);

    for (;;) {
        x += dx;
        y += dy;
        if (x < 0 || x >= width || y < 0 || y >= height) {
            break;
        }
        p = y * width + x;
        WriteByDisparity(byDisparity, previousWindow, pathCost);
        const short2 w = window[p];
        const ushort16 same = ReadByDisparity(byDisparity, w, 0);
        const ushort16 lower = ReadByDisparity(byDisparity, w, -1);
        const ushort16 higher = ReadByDisparity(byDisparity, w, 1);
        WriteByDisparity(byDisparity, previousWindow, (ushort16)(FAR_COST));

        const int brightness = grey[p];
        const int largeStep = max(SMALL_STEP_PENALTY + 1, LARGE_STEP_PENALTY * EDGE_SOFTNESS /
                                                               (EDGE_SOFTNESS + (int)abs(brightness - previousGrey)));
        ushort16 best = min(same, (ushort16)(previousLowest + largeStep));
        best = min(best, min(lower, higher) + (ushort16)(SMALL_STEP_PENALTY));
        pathCost = convert_ushort16(vload16(p, cost)) + best - (ushort16)(previousLowest);
        AddToSums(sums, p, pathCost, accumulate);
        previousWindow = w;
        previousGrey = brightness;
        previousLowest = LowestOf(pathCost);
    }
}

// ---------------------------------------------------------------------------------
// Best candidates

// The lowest sum's candidate, refined by the parabola through it and its two
// neighbours where both are candidates too.
__kernel void SelectLeft(__global const ushort* sums, __global const short2* window, __global float* disparity,
                         int width, int height)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const int p = y * width + x;
    const short2 w = window[p];
    ushort s[CANDIDATES];
    vstore16(vload16(p, sums), 0, s);
    int best = 0;
    for (int k = 1; k < CANDIDATES; ++k) {
        best = s[k] < s[best] ? k : best;
    }
    const bool oneRun = w.y == w.x + HALF_WINDOW;
    const bool inside = best % HALF_WINDOW != 0 && best % HALF_WINDOW != HALF_WINDOW - 1;
    float offset = 0.0f;
    if (best > 0 && best < CANDIDATES - 1 && (inside || oneRun)) {
        const float below = s[best - 1];
        const float centre = s[best];
        const float above = s[best + 1];
        const float curvature = below - 2.0f * centre + above;
        offset = curvature > 0.0f ? (below - above) / (2.0f * curvature) : 0.0f;
    }
    disparity[p] = (float)CandidateDisparity(w, best) + offset;
}

// The right view from the left view's sums: right pixel x with disparity d is left
// pixel x + d, so each candidate of the right window is looked up among the
// candidates of the left pixel it names.
__kernel void SelectRight(__global const ushort* sums, __global const short2* leftWindow,
                          __global const short2* rightWindow, __global float* disparity, int width, int height)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const int row = y * width;
    const short2 w = rightWindow[row + x];
    uint lowest = 0xFFFFFFFFu;
    float found = NO_ESTIMATE;
    for (int k = 0; k < CANDIDATES; ++k) {
        const int d = CandidateDisparity(w, k);
        const int xl = x + d;
        if (xl < width) {
            const int kl = CandidateIndex(leftWindow[row + xl], d);
            if (kl >= 0) {
                const uint s = sums[(row + xl) * CANDIDATES + kl];
                if (s < lowest) {
                    lowest = s;
                    found = (float)d;
                }
            }
        }
    }
    disparity[row + x] = found;
}

// ---------------------------------------------------------------------------------
// Clean-up

#define SORT2(a, b)              \
    {                            \
        const float low = fmin(a, b); \
        b = fmax(a, b);          \
        a = low;                 \
    }

// 3 x 3 median; pixels without an estimate count as the largest values.
__kernel void Median3x3(__global const float* input, __global float* output, int width, int height)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const int xl = max(x - 1, 0);
    const int xr = min(x + 1, width - 1);
    const int up = max(y - 1, 0) * width;
    const int mid = y * width;
    const int down = min(y + 1, height - 1) * width;
    float v[9] = {input[up + xl],   input[up + x],   input[up + xr],   input[mid + xl], input[mid + x],
                  input[mid + xr],  input[down + xl], input[down + x], input[down + xr]};
    for (int i = 0; i < 9; ++i) {
        v[i] = v[i] < 0.0f ? INFINITY : v[i];
    }
    // The classic 19-exchange network for the median of nine.
    SORT2(v[1], v[2]); SORT2(v[4], v[5]); SORT2(v[7], v[8]);
    SORT2(v[0], v[1]); SORT2(v[3], v[4]); SORT2(v[6], v[7]);
    SORT2(v[1], v[2]); SORT2(v[4], v[5]); SORT2(v[7], v[8]);
    SORT2(v[0], v[3]); SORT2(v[5], v[8]); SORT2(v[4], v[7]);
    SORT2(v[3], v[6]); SORT2(v[1], v[4]); SORT2(v[2], v[5]);
    SORT2(v[4], v[7]); SORT2(v[4], v[2]); SORT2(v[6], v[4]);
    SORT2(v[4], v[2]);
    output[mid + x] = isfinite(v[4]) ? v[4] : NO_ESTIMATE;
}

// Keeps a disparity only where the other view's disparity at its partner agrees.
// `direction` is -1 for the left view (partner at x - d) and +1 for the right view.
__kernel void CheckConsistency(__global const float* disparity, __global const float* other,
                               __global float* checked, int width, int height, int direction)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const int p = y * width + x;
    const float d = disparity[p];
    float kept = NO_ESTIMATE;
    if (d >= 0.0f) {
        const int partner = (int)floor((float)x + (float)direction * d + 0.5f);
        if (partner >= 0 && partner < width) {
            const float e = other[y * width + partner];
            kept = (e >= 0.0f && fabs(d - e) <= CONSISTENCY_LIMIT) ? d : NO_ESTIMATE;
        }
    }
    checked[p] = kept;
}

// A pixel without an estimate takes the lower of the nearest estimates to its left
// and right in its row: the background, which is what an occlusion hides. With
// none in the row it stays without (INFINITY).
__kernel void FillHoles(__global const float* input, __global float* output, int width, int height)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const int row = y * width;
    float d = input[row + x];
    if (d < 0.0f) {
        float left = INFINITY;
        for (int i = x - 1; i >= 0; --i) {
            if (input[row + i] >= 0.0f) {
                left = input[row + i];
                break;
            }
        }
        float right = INFINITY;
        for (int i = x + 1; i < width; ++i) {
            if (input[row + i] >= 0.0f) {
                right = input[row + i];
                break;
            }
        }
        d = fmin(left, right);
    }
    output[row + x] = d;
}

// ---------------------------------------------------------------------------------
// Pictures of the result: grey = 4 x disparity (black without an estimate), and a
// colour map from blue (0) through green and yellow to red (maxDisparity), 3 bytes
// per pixel in blue, green, red order.
__kernel void ShowDisparity(__global const float* disparity, __global uchar* grey, __global uchar* colour,
                            int width, int height, int maxDisparity)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const int p = y * width + x;
    const float d = disparity[p];
    const bool known = isfinite(d);
    const uchar g = known ? (uchar)clamp(round(4.0f * d), 0.0f, 255.0f) : (uchar)0;
    const float t = clamp(d / (float)max(maxDisparity, 1), 0.0f, 1.0f);
    const float r = clamp(1.5f - fabs(4.0f * t - 3.0f), 0.0f, 1.0f);
    const float gr = clamp(1.5f - fabs(4.0f * t - 2.0f), 0.0f, 1.0f);
    const float b = clamp(1.5f - fabs(4.0f * t - 1.0f), 0.0f, 1.0f);
    grey[3 * p] = g;
    grey[3 * p + 1] = g;
    grey[3 * p + 2] = g;
    colour[3 * p] = known ? (uchar)(255.0f * b + 0.5f) : (uchar)0;
    colour[3 * p + 1] = known ? (uchar)(255.0f * gr + 0.5f) : (uchar)0;
    colour[3 * p + 2] = known ? (uchar)(255.0f * r + 0.5f) : (uchar)0;
}
