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
#define SMALL_STEP_PENALTY 20
#define LARGE_STEP_PENALTY 72

// The large-step penalty shrinks across a change of brightness, where depth edges are:
// by EDGE_SLOPE per grey level.
#define EDGE_SLOPE 2

#define FAR_COST 8000          // "no such candidate" in the aggregation; sums stay in 16 bits
#define OUTSIDE_COST 10        // the match would fall left of the right view
#define OUT_OF_RANGE_COST 255  // beyond the disparity range searched
#define BRIGHTNESS_LIMIT 32
#define BRIGHTNESS_DIVISOR 2

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
// Blocks: most kernels give each work-item 16 neighbouring pixels of a row, so that
// the work is done in vectors. A block that reaches past an edge of the picture reads
// the edge pixels instead, and writes only what lies inside.

#define BLOCK 16

// Vector types aligned like their elements: loads and stores through them are single
// instructions, where vstoreN is compiled into one store per element.
typedef uchar16 __attribute__((aligned(1))) uchar16_any;
typedef ushort8 __attribute__((aligned(2))) ushort8_any;
typedef ushort16 __attribute__((aligned(2))) ushort16_any;
typedef short16 __attribute__((aligned(2))) short16_any;
typedef int16 __attribute__((aligned(4))) int16_any;
typedef uint16 __attribute__((aligned(4))) uint16_any;
typedef float16 __attribute__((aligned(4))) float16_any;
typedef ulong16 __attribute__((aligned(8))) ulong16_any;

uchar16 LoadUchar16(__global const uchar* row, int x, int width)
{
    if (x >= 0 && x + BLOCK <= width) {
        return vload16(0, row + x);
    }
    uchar v[BLOCK];
    for (int i = 0; i < BLOCK; ++i) {
        v[i] = row[clamp(x + i, 0, width - 1)];
    }
    return vload16(0, v);
}

float16 LoadFloat16(__global const float* row, int x, int width)
{
    if (x >= 0 && x + BLOCK <= width) {
        return vload16(0, row + x);
    }
    float v[BLOCK];
    for (int i = 0; i < BLOCK; ++i) {
        v[i] = row[clamp(x + i, 0, width - 1)];
    }
    return vload16(0, v);
}

void StoreFloat16(float16 value, __global float* row, int x, int width)
{
    if (x + BLOCK <= width) {
        *(__global float16_any*)(row + x) = value;
        return;
    }
    float v[BLOCK];
    *(float16_any*)v = value;
    for (int i = 0; i < BLOCK && x + i < width; ++i) {
        row[x + i] = v[i];
    }
}

// ---------------------------------------------------------------------------------
// Census transform: one bit per pixel of the 7 x 7 neighbourhood but the centre, set
// where that pixel is darker than the centre. Borders repeat the edge pixels.
__kernel void Census(__global const uchar* grey, __global ulong* census, int width, int height)
{
    const int x = get_global_id(0) * BLOCK;
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const uchar16 centre = LoadUchar16(grey + y * width, x, width);
    uint16 high = 0;    // the first 32 bits
    ushort16 low = 0;   // the last 16
    int n = 0;
#pragma unroll
    for (int dy = -3; dy <= 3; ++dy) {
        __global const uchar* row = grey + clamp(y + dy, 0, height - 1) * width;
#pragma unroll
        for (int dx = -3; dx <= 3; ++dx) {
            if (dx != 0 || dy != 0) {
                const char16 darker = LoadUchar16(row, x + dx, width) < centre;
                if (n < 32) {
                    high = (high << 1) | (convert_uint16(darker) & 1u);
                } else {
                    low = (low << (ushort)1) | (convert_ushort16(darker) & (ushort)1);
                }
                ++n;
            }
        }
    }
    const ulong16 bits = (convert_ulong16(high) << 16) | convert_ulong16(low);
    __global ulong* out = census + y * width;
    if (x + BLOCK <= width) {
        *(__global ulong16_any*)(out + x) = bits;
    } else {
        ulong v[BLOCK];
        *(ulong16_any*)v = bits;
        for (int i = 0; i < BLOCK && x + i < width; ++i) {
            out[x + i] = v[i];
        }
    }
}

// ---------------------------------------------------------------------------------
// Candidate windows: pixel p tries 16 disparities, window[p].x + 0..7 and
// window[p].y + 0..7, with y >= x + 8; where y == x + 8 they are one run of 16.
// They cover twice the smallest and twice the largest disparity of the coarser level
// around p's parent, so that an edge that moved by a pixel keeps both surfaces.

#define HALF_WINDOW 8
#define RANGE_RADIUS 2

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

// The smallest and the largest estimate of each 3 x 3 neighbourhood of a coarse map;
// +INFINITY and -INFINITY where it has none.
__kernel void NeighbourRange(__global const float* disparity, __global float* lowest, __global float* highest,
                             int width, int height)
{
    const int x = get_global_id(0) * BLOCK;
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    float16 low = INFINITY;
    float16 high = -INFINITY;
    for (int j = -RANGE_RADIUS; j <= RANGE_RADIUS; ++j) {
        __global const float* row = disparity + clamp(y + j, 0, height - 1) * width;
        for (int i = -RANGE_RADIUS; i <= RANGE_RADIUS; ++i) {
            const float16 d = LoadFloat16(row, x + i, width);
            const int16 known = isfinite(d) && d >= 0.0f;
            low = select(low, fmin(low, d), known);
            high = select(high, fmax(high, d), known);
        }
    }
    StoreFloat16(low, lowest + y * width, x, width);
    StoreFloat16(high, highest + y * width, x, width);
}

__kernel void ChooseWindows(__global const float* lowest, __global const float* highest, int coarseWidth,
                            int coarseHeight, __global short2* window, int width, int height, int maxDisparity)
{
    const int x = get_global_id(0) * BLOCK;
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    // Each coarse pixel is the parent of two neighbours in the row.
    const int row = min(y / 2, coarseHeight - 1) * coarseWidth;
    const float16 parentLow = LoadFloat16(lowest + row, x / 2, coarseWidth).s0011223344556677;
    const float16 parentHigh = LoadFloat16(highest + row, x / 2, coarseWidth).s0011223344556677;
    const int16 known = parentHigh >= parentLow;
    const float16 low = select((float16)(0.0f), 2.0f * parentLow, known);
    const float16 high = select((float16)(0.0f), 2.0f * parentHigh, known);

    const int16 needLow = convert_int16(floor(low)) - 1;
    const int16 needHigh = convert_int16(ceil(high)) + 1;
    const int16 span = needHigh - needLow + 1;
    const int16 oneRun = span <= CANDIDATES;
    const int16 runStart = needLow - (CANDIDATES - span) / 2;
    int16 first = select(convert_int16(rint(low)) - (HALF_WINDOW / 2 - 1), runStart, oneRun);
    int16 second = select(convert_int16(rint(high)) - HALF_WINDOW / 2, runStart + HALF_WINDOW, oneRun);
    first = select((int16)(0), first, known);
    second = select((int16)(HALF_WINDOW), second, known);
    first = clamp(first, 0, max(0, maxDisparity - (CANDIDATES - 1)));
    second = clamp(second, first + HALF_WINDOW, max(first + HALF_WINDOW, maxDisparity - (HALF_WINDOW - 1)));

    short firsts[BLOCK];
    short seconds[BLOCK];
    *(short16_any*)firsts = convert_short16(first);
    *(short16_any*)seconds = convert_short16(second);
    __global short2* out = window + y * width;
    for (int i = 0; i < BLOCK && x + i < width; ++i) {
        out[x + i] = (short2)(firsts[i], seconds[i]);
    }
}

// ---------------------------------------------------------------------------------
// Matching cost of each candidate: the Hamming distance of the census bits.
__kernel void MatchingCost(__global const ulong* leftCensus, __global const ulong* rightCensus,
                           __global const uchar* leftGrey, __global const uchar* rightGrey,
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
    __global const ulong* row = rightCensus + y * width;
    __global const uchar* greyRow = rightGrey + y * width;
    const short brightness = leftGrey[p];
    ushort16 costs;
    if (x - w.y - (HALF_WINDOW - 1) >= 0) {
        // Every candidate's match lies inside the right view: two runs of 8 neighbours.
        const ulong8 first = vload8(0, row + x - w.x - (HALF_WINDOW - 1)).s76543210;
        const ulong8 second = vload8(0, row + x - w.y - (HALF_WINDOW - 1)).s76543210;
        const short8 firstGrey = convert_short8(vload8(0, greyRow + x - w.x - (HALF_WINDOW - 1)).s76543210);
        const short8 secondGrey = convert_short8(vload8(0, greyRow + x - w.y - (HALF_WINDOW - 1)).s76543210);
        const ushort16 census = (ushort16)(convert_ushort8(popcount(first ^ bits)), convert_ushort8(popcount(second ^ bits)));
        const ushort16 difference = convert_ushort16(abs((short16)(firstGrey, secondGrey) - (short16)(brightness)));
        costs = census + min(difference, (ushort16)(BRIGHTNESS_LIMIT)) / (ushort16)(BRIGHTNESS_DIVISOR);
    } else {
        ushort c[CANDIDATES];
        for (int k = 0; k < CANDIDATES; ++k) {
            const int xr = x - CandidateDisparity(w, k);
            c[k] = xr >= 0 ? (ushort)(popcount(bits ^ row[xr]) +
                                      min((int)abs(greyRow[xr] - brightness), BRIGHTNESS_LIMIT) / BRIGHTNESS_DIVISOR)
                           : (ushort)OUTSIDE_COST;
        }
        costs = vload16(0, c);
    }
    const short16 d = (short16)(w.x, w.x, w.x, w.x, w.x, w.x, w.x, w.x, w.y, w.y, w.y, w.y, w.y, w.y, w.y, w.y) +
                      (short16)(0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7);
    costs = select(min(costs, (ushort16)(254)), (ushort16)(OUT_OF_RANGE_COST), d > (short16)(maxDisparity));
    *(__global uchar16_any*)(cost + p * CANDIDATES) = convert_uchar16(costs);
}

// ---------------------------------------------------------------------------------
// Semi-global aggregation along pairs of opposite directions. Each work-item walks
// PATHS_PER_ITEM neighbouring paths, first forward (dx, dy), keeping each step's path
// costs in local memory, then backward (-dx, -dy), adding both into the sums: the sums
// are read and written once per pair.
//
// Horizontal paths are rows and vertical ones columns. A diagonal path t starts at
// column t of the row where it enters and wraps around at the side, starting afresh
// there: all paths of a direction have one length, every pixel lies on exactly one,
// and the paths of a work-item stay side by side.

// One path's steps depend on each other, the paths' steps do not: walking several
// side by side lets the processor overlap them.
#define PATHS_PER_ITEM 4

// The previous pixel's path costs by disparity, far costs elsewhere, for a step
// between pixels with different windows.
#define BY_DISPARITY_OFFSET 8
#define BY_DISPARITY_SIZE 160

// Written as a tree of shuffles on one width, which the compiler maps to the
// processor's horizontal-minimum instruction where there is one.
ushort LowestOf(ushort16 v)
{
    ushort8 a = min(v.lo, v.hi);
    a = min(a, a.s45670123);
    a = min(a, a.s23016745);
    a = min(a, a.s10325476);
    return a.s0;
}

uint LowestOfUint(uint16 v)
{
    const uint8 a = min(v.lo, v.hi);
    const uint4 b = min(a.lo, a.hi);
    const uint2 c = min(b.lo, b.hi);
    return min(c.x, c.y);
}

ushort16 ReadByDisparity(const ushort* byDisparity, short2 w, int shift)
{
    return (ushort16)(*(const ushort8_any*)(byDisparity + BY_DISPARITY_OFFSET + w.x + shift),
                      *(const ushort8_any*)(byDisparity + BY_DISPARITY_OFFSET + w.y + shift));
}

void WriteByDisparity(ushort* byDisparity, short2 w, ushort16 values)
{
    *(ushort8_any*)(byDisparity + BY_DISPARITY_OFFSET + w.x) = values.lo;
    *(ushort8_any*)(byDisparity + BY_DISPARITY_OFFSET + w.y) = values.hi;
}

typedef struct {
    int x;
    int y;
    ushort16 cost;  // the path costs at (x, y)
    short2 window;
    int grey;
    ushort lowest;  // of cost
} Path;

// Moves a path one pixel on, wrapping around at the sides, and gives its new pixel.
int Move(Path* path, int width, int dx, int dy)
{
    path->x += dx;
    path->x = path->x < 0 ? width - 1 : (path->x >= width ? 0 : path->x);
    path->y += dy;
    return path->y * width + path->x;
}

// The path costs at pixel p from those of the pixel before on the path; with
// `restart`, p begins the path.
void Step(Path* path, ushort* byDisparity, __global const uchar* cost, __global const short2* window,
          __global const uchar* grey, int p, bool restart)
{
    const short2 w = window[p];
    const ushort16 matching = convert_ushort16(*(__global const uchar16_any*)(cost + p * CANDIDATES));
    const int brightness = grey[p];

    ushort16 same;
    ushort16 lower;
    ushort16 higher;
    if (w.x == path->window.x && w.y == path->window.y) {
        // The common case: neighbours along the path share their window. Lane k's
        // neighbours are lanes k - 1 and k + 1, but across the gap of two separate runs.
        const ushort far = FAR_COST;
        const ushort16 previous = path->cost;
        same = previous;
        lower = (ushort16)(far, previous.s0, previous.s12, previous.s3456, previous.s789abcde);
        higher = (ushort16)(previous.s12345678, previous.s9abc, previous.sde, previous.sf, far);
        if (w.y != w.x + HALF_WINDOW) {
            lower.s8 = far;
            higher.s7 = far;
        }
    } else {
        WriteByDisparity(byDisparity, path->window, path->cost);
        same = ReadByDisparity(byDisparity, w, 0);
        lower = ReadByDisparity(byDisparity, w, -1);
        higher = ReadByDisparity(byDisparity, w, 1);
        WriteByDisparity(byDisparity, path->window, (ushort16)(FAR_COST));
    }

    const int largeStep = max(SMALL_STEP_PENALTY + 1, LARGE_STEP_PENALTY - EDGE_SLOPE * (int)abs(brightness - path->grey));
    ushort16 best = min(same, (ushort16)(path->lowest + largeStep));
    best = min(best, min(lower, higher) + (ushort16)(SMALL_STEP_PENALTY));
    path->cost = restart ? matching : matching + best - (ushort16)(path->lowest);
    path->window = w;
    path->grey = brightness;
    path->lowest = LowestOf(path->cost);
}

__kernel void AggregatePaths(__global const uchar* cost, __global const short2* window,
                             __global const uchar* grey, __global ushort* sums, __local ushort* forward,
                             int width, int height, int dx, int dy, int accumulate)
{
    const int paths = dy == 0 ? height : width;
    const int length = dy == 0 ? width : height;
    __local ushort* scratch = forward + get_local_id(0) * length * PATHS_PER_ITEM * CANDIDATES;

    Path path[PATHS_PER_ITEM];
    bool owner[PATHS_PER_ITEM];  // false for a padding path, which repeats the last one unwritten
    ushort byDisparity[PATHS_PER_ITEM][BY_DISPARITY_SIZE];
#pragma unroll
    for (int j = 0; j < PATHS_PER_ITEM; ++j) {
        const int t = get_global_id(0) * PATHS_PER_ITEM + j;
        owner[j] = t < paths;
        const int line = min(t, paths - 1);
        path[j].x = dy == 0 ? (dx > 0 ? 0 : width - 1) : line;
        path[j].y = dy == 0 ? line : (dy > 0 ? 0 : height - 1);
        path[j].window = (short2)(-1, -1);
        path[j].cost = (ushort16)(FAR_COST);
        path[j].grey = 0;
        path[j].lowest = 0;
        for (int i = 0; i < BY_DISPARITY_SIZE; i += 16) {
            *(ushort16_any*)(byDisparity[j] + i) = (ushort16)(FAR_COST);
        }
    }

    // Forward. A diagonal path starts afresh where it wraps around to the entry column.
    int entryColumn = dx > 0 ? 0 : width - 1;
    for (int step = 0; step < length; ++step) {
#pragma unroll
        for (int j = 0; j < PATHS_PER_ITEM; ++j) {
            const int p = step == 0 ? path[j].y * width + path[j].x : Move(&path[j], width, dx, dy);
            Step(&path[j], byDisparity[j], cost, window, grey, p, step == 0 || (dx != 0 && path[j].x == entryColumn));
            *(__local ushort16*)(scratch + (step * PATHS_PER_ITEM + j) * CANDIDATES) = path[j].cost;
        }
    }

    // Backward, from where the forward walk ended.
    entryColumn = dx > 0 ? width - 1 : 0;
    for (int step = length - 1; step >= 0; --step) {
#pragma unroll
        for (int j = 0; j < PATHS_PER_ITEM; ++j) {
            const int p = step == length - 1 ? path[j].y * width + path[j].x : Move(&path[j], width, -dx, -dy);
            Step(&path[j], byDisparity[j], cost, window, grey, p,
                 step == length - 1 || (dx != 0 && path[j].x == entryColumn));
            if (owner[j]) {
                __global ushort16_any* sum = (__global ushort16_any*)(sums + p * CANDIDATES);
                const ushort16 both = path[j].cost + *(__local ushort16*)(scratch + (step * PATHS_PER_ITEM + j) * CANDIDATES);
                *sum = accumulate ? *sum + both : both;
            }
        }
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
    const ushort16 sum = vload16(p, sums);
    const ushort16 lanes = (ushort16)(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const int best = LowestOf(select((ushort16)(CANDIDATES), lanes, sum == (ushort16)(LowestOf(sum))));
    ushort s[CANDIDATES];
    *(ushort16_any*)s = sum;
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
    const int16 lanes = (int16)(0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7);
    const int16 d = (int16)((int8)(w.x), (int8)(w.y)) + lanes;
    int16 where;  // of each candidate's sum; -1 where the left pixel does not have it
    if (x + w.y + HALF_WINDOW <= width) {
        // The left pixels named are two runs of 8 neighbours: their windows load as vectors.
        const short16 firstRun = vload16(0, (__global const short*)(leftWindow + row + x + w.x));
        const short16 secondRun = vload16(0, (__global const short*)(leftWindow + row + x + w.y));
        const int16 leftFirst = convert_int16((short16)(firstRun.even, secondRun.even));
        const int16 leftSecond = convert_int16((short16)(firstRun.odd, secondRun.odd));
        const int16 inFirst = d - leftFirst;
        const int16 inSecond = d - leftSecond;
        const int16 index = select(select((int16)(-1), HALF_WINDOW + inSecond, inSecond >= 0 && inSecond < HALF_WINDOW),
                                   inFirst, inFirst >= 0 && inFirst < HALF_WINDOW);
        where = select((int16)(-1), (row + x + d) * CANDIDATES + index, index >= 0);
    } else {
        int v[CANDIDATES];
        for (int k = 0; k < CANDIDATES; ++k) {
            const int dk = CandidateDisparity(w, k);
            const int kl = x + dk < width ? CandidateIndex(leftWindow[row + x + dk], dk) : -1;
            v[k] = kl >= 0 ? (row + x + dk) * CANDIDATES + kl : -1;
        }
        where = vload16(0, v);
    }
    // Read unconditionally, then masked: which candidates exist varies from pixel to
    // pixel, and a branch on it would mostly be mispredicted.
    int at[CANDIDATES];
    *(int16_any*)at = max(where, 0);
    uint found[CANDIDATES];
#pragma unroll
    for (int k = 0; k < CANDIDATES; ++k) {
        found[k] = sums[at[k]];
    }
    const uint16 sum = select(*(uint16_any*)found, (uint16)(0xFFFFu), where < 0);
    const uint lowest = LowestOfUint(sum);
    const int best = (int)LowestOfUint(select((uint16)(CANDIDATES), convert_uint16(lanes + (int16)(0, 0, 0, 0, 0, 0, 0, 0, 8, 8, 8, 8, 8, 8, 8, 8)),
                                              sum == (uint16)(lowest)));
    disparity[row + x] = lowest < 0xFFFFu ? (float)CandidateDisparity(w, best) : NO_ESTIMATE;
}

// ---------------------------------------------------------------------------------
// Clean-up

#define SORT2(a, b)                   \
    {                                 \
        const float16 low = fmin(a, b); \
        b = fmax(a, b);               \
        a = low;                      \
    }

// 3 x 3 median; pixels without an estimate count as the largest values.
__kernel void Median3x3(__global const float* input, __global float* output, int width, int height)
{
    const int x = get_global_id(0) * BLOCK;
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    float16 v[9];
    for (int j = 0; j < 3; ++j) {
        __global const float* row = input + clamp(y + j - 1, 0, height - 1) * width;
        for (int i = 0; i < 3; ++i) {
            const float16 d = LoadFloat16(row, x + i - 1, width);
            v[3 * j + i] = select(d, (float16)(INFINITY), d < 0.0f);
        }
    }
    // The classic 19-exchange network for the median of nine.
    SORT2(v[1], v[2]); SORT2(v[4], v[5]); SORT2(v[7], v[8]);
    SORT2(v[0], v[1]); SORT2(v[3], v[4]); SORT2(v[6], v[7]);
    SORT2(v[1], v[2]); SORT2(v[4], v[5]); SORT2(v[7], v[8]);
    SORT2(v[0], v[3]); SORT2(v[5], v[8]); SORT2(v[4], v[7]);
    SORT2(v[3], v[6]); SORT2(v[1], v[4]); SORT2(v[2], v[5]);
    SORT2(v[4], v[7]); SORT2(v[4], v[2]); SORT2(v[6], v[4]);
    SORT2(v[4], v[2]);
    StoreFloat16(select(v[4], (float16)(NO_ESTIMATE), isinf(v[4])), output + y * width, x, width);
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

// A pixel without an estimate takes the lowest of the nearest estimates to its left,
// right, top and bottom: the background, which is what an occlusion hides. With none
// it stays without (INFINITY).
float NearestEstimate(__global const float* input, int p, int step, int count)
{
    for (int i = 1; i <= count; ++i) {
        const float d = input[p + i * step];
        if (d >= 0.0f) {
            return d;
        }
    }
    return INFINITY;
}

__kernel void FillHoles(__global const float* input, __global float* output, int width, int height)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const int p = y * width + x;
    float d = input[p];
    if (d < 0.0f) {
        d = fmin(fmin(NearestEstimate(input, p, -1, x), NearestEstimate(input, p, 1, width - 1 - x)),
                 fmin(NearestEstimate(input, p, -width, min(y, 12)), NearestEstimate(input, p, width, min(height - 1 - y, 12))));
    }
    output[p] = d;
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
