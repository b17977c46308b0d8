// Dense disparity of the left view, coarse to fine over as many pyramid levels as the
// range needs (the host builds them; four or more).
//
// Each level: a census transform of both views; for every left pixel 16 disparity
// candidates, the whole range on the coarsest level and around the coarser level's
// result on the others; matching costs (census distance plus a little difference of
// the horizontal gradients); semi-global aggregation along rows and columns, both
// ways; the best candidate with a sub-pixel parabola, for the left view and, from the
// same sums, for the right view; a 3 x 3 median; and a left-right check, whose rejects
// take the background disparity around them. Last, on the finest level, each left
// pixel takes the mean of the estimates around it that lie close to its own.
//
// Pictures are row 0 on top, rows without gaps. Both views of a level are stacked in
// one buffer, the left one's rows first. Disparity maps are floats: left pixel x
// matches right pixel x - d, right pixel x matches left pixel x + d. A negative
// value marks a pixel without an estimate; INFINITY one that stays without.
//
// Work-items mostly take a block of 16 neighbouring pixels of a row, or the 16
// candidates of one pixel, and work on them in vectors.

// Tunables. The host passes the ones it shares as build options; these are the
// defaults for a build without them.
#ifndef CANDIDATES
#define CANDIDATES 16
#endif
#ifndef BLOCK
#define BLOCK 16
#endif
#ifndef MAX_DISPARITY
#define MAX_DISPARITY 64
#endif
// One path's steps depend on each other, the paths' steps do not: a work-item that
// walks several side by side lets a processor overlap them.
#ifndef PATHS_PER_ITEM
#define PATHS_PER_ITEM 4
#endif

// The census window: the pixels up to CENSUS_REACH_X to each side and CENSUS_REACH_Y
// above and below, the centre but compared with them.
#ifndef CENSUS_REACH_X
#define CENSUS_REACH_X 3
#endif
#ifndef CENSUS_REACH_Y
#define CENSUS_REACH_Y 2
#endif
#define CENSUS_BITS ((2 * CENSUS_REACH_X + 1) * (2 * CENSUS_REACH_Y + 1) - 1)

// Matching cost: census bits that differ, plus the difference of the horizontal
// gradients (half the grey difference of the pixels left and right) up to
// GRADIENT_LIMIT.
#ifndef GRADIENT_LIMIT
#define GRADIENT_LIMIT 4
#endif
#define OUTSIDE_COST 10        // the match would fall left of the right view
#define OUT_OF_RANGE_COST 255  // beyond the disparity range searched

// Aggregation penalties: a step of one disparity between neighbours on a path, and
// any larger step, which costs less by EDGE_SLOPE per grey level of brightness
// change, as depth edges tend to be brightness edges.
#ifndef SMALL_STEP_PENALTY
#define SMALL_STEP_PENALTY 20
#endif
#ifndef LARGE_STEP_PENALTY
#define LARGE_STEP_PENALTY 72
#endif
#ifndef EDGE_SLOPE
#define EDGE_SLOPE 2
#endif
#define FAR_COST 8000  // a candidate the pixel before did not have

// The census search's match replaces the level's own estimate where its summed census
// distance is lower by more than this (bits over three pixels).
#ifndef SEARCH_MARGIN
#define SEARCH_MARGIN 9
#endif

// The candidates cover the disparities of the coarser level within this many of its
// pixels around the parent.
#ifndef RANGE_RADIUS
#define RANGE_RADIUS 2
#endif


// A match is kept when the other view's disparity at its partner differs by at most this.
#define CONSISTENCY_LIMIT 1.0f
// How far up and down a rejected pixel looks for the background.
#define FILL_REACH_VERTICAL 12

// The final mean takes the estimates within SMOOTH_REACH_X pixels along the row and
// SMOOTH_REACH_Y across it that differ from the pixel's own by at most
// SMOOTH_TOLERANCE, where the grey levels differ by at most SMOOTH_GREY_LIMIT.
#ifndef SMOOTH_REACH_X
#define SMOOTH_REACH_X 4
#endif
#ifndef SMOOTH_REACH_Y
#define SMOOTH_REACH_Y 1
#endif
#ifndef SMOOTH_GREY_LIMIT
#define SMOOTH_GREY_LIMIT 32
#endif
#define SMOOTH_TOLERANCE 2.0f

// Depth edges: where the estimates within EDGE_REACH_X pixels along the row and
// EDGE_REACH_Y across it span more than EDGE_SPAN, neighbours whose colour differs by at
// most EDGE_COLOUR_LIMIT in each of blue, green and red vote on the pixel's side.
#ifndef EDGE_REACH_X
#define EDGE_REACH_X 5
#endif
#ifndef EDGE_REACH_Y
#define EDGE_REACH_Y 2
#endif
#ifndef EDGE_COLOUR_LIMIT
#define EDGE_COLOUR_LIMIT 20
#endif
#define EDGE_SPAN 2.0f

// A rejected pixel of the finest level looks at 9 pixels reaching FILL_COLOUR_REACH_X
// along its row and along the rows half FILL_COLOUR_REACH_Y and FILL_COLOUR_REACH_Y above
// and below it; the checked estimates there whose blue, green and red each lie within
// FILL_COLOUR_LIMIT of its own, where there are at least FILL_COLOUR_LEAST of them, set
// its disparity.
#ifndef FILL_COLOUR_REACH_X
#define FILL_COLOUR_REACH_X 24
#endif
#ifndef FILL_COLOUR_REACH_Y
#define FILL_COLOUR_REACH_Y 8
#endif
#ifndef FILL_COLOUR_LIMIT
#define FILL_COLOUR_LIMIT 10
#endif
#ifndef FILL_COLOUR_LEAST
#define FILL_COLOUR_LEAST 3
#endif
// Squared pixels added to the plane fit's spreads along and across the rows: slopes
// stay finite where the estimates lie on one row or column.
#define FILL_COLOUR_RIDGE 10.0f

#define HALF_WINDOW (CANDIDATES / 2)
#define NO_ESTIMATE (-1.0f)
// The right view's best candidate as a key: the sum above, the disparity below.
#define KEY_DISPARITY_BITS 16

// What the code below is written for; anything else fails here, not on the device.
#if CANDIDATES != 16 || BLOCK != 16
#error "the vector code takes 16 candidates and blocks of 16 pixels"
#endif
#if MAX_DISPARITY < 1 || MAX_DISPARITY + CANDIDATES >= (1 << 15) || MAX_DISPARITY + CANDIDATES >= (1 << KEY_DISPARITY_BITS)
#error "candidate windows are shorts and keys keep 16 bits of disparity"
#endif
#if CENSUS_REACH_X < 1 || CENSUS_REACH_Y < 1 || CENSUS_BITS > 64
#error "a pixel's census bits fill at most one 64-bit word"
#endif
#if PATHS_PER_ITEM < 1 || PATHS_PER_ITEM > 8
#error "PATHS_PER_ITEM must be 1 to 8"
#endif
#if EDGE_REACH_X < 0 || EDGE_REACH_X > BLOCK / 2
#error "the edge vote's first test reads two blocks a row, which cover a reach of up to 8"
#endif
#if FILL_COLOUR_REACH_X < 4 || FILL_COLOUR_REACH_X % 4 || FILL_COLOUR_REACH_Y < 2 || FILL_COLOUR_REACH_Y % 2
#error "the fill by colour steps a quarter of its reach along the rows and half of it across"
#endif
// A path cost stays within OUT_OF_RANGE_COST + LARGE_STEP_PENALTY, below FAR_COST,
// and the sum of four within 16 bits.
#if SMALL_STEP_PENALTY >= LARGE_STEP_PENALTY || OUT_OF_RANGE_COST + LARGE_STEP_PENALTY >= FAR_COST || 4 * FAR_COST >= 65536
#error "the penalties do not fit the 16-bit sums"
#endif

// Helpers are always inlined: a 16-wide vector passed to a function that is not takes
// a calling convention of its own on processors without 512-bit vectors, and the
// compiler warns about every such call.
#define HELPER static inline __attribute__((always_inline))

// Vector types aligned like their elements: loads and stores through them are single
// instructions, where vstoreN may become one store per element.
typedef uchar16 __attribute__((aligned(1))) uchar16_any;
typedef ushort8 __attribute__((aligned(2))) ushort8_any;
typedef ushort16 __attribute__((aligned(2))) ushort16_any;
typedef short16 __attribute__((aligned(2))) short16_any;
typedef uint8 __attribute__((aligned(4))) uint8_any;
typedef uint16 __attribute__((aligned(4))) uint16_any;
typedef float16 __attribute__((aligned(4))) float16_any;
typedef ulong16 __attribute__((aligned(8))) ulong16_any;

// ---------------------------------------------------------------------------------
// Blocks of 16 pixels. A block that reaches past the side of the picture reads the
// edge pixels instead, and writes only what lies inside.

// LoadT16(row, x, width): the 16 values of `row` from x on.
#define DEFINE_LOAD16(NAME, T)                                     \
    HELPER T##16 NAME(__global const T* row, int x, int width)     \
    {                                                              \
        if (x >= 0 && x + BLOCK <= width) {                        \
            return *(__global const T##16_any*)(row + x);          \
        }                                                          \
        T v[BLOCK];                                                \
        for (int i = 0; i < BLOCK; ++i) {                          \
            v[i] = row[clamp(x + i, 0, width - 1)];                \
        }                                                          \
        return *(T##16_any*)v;                                     \
    }
DEFINE_LOAD16(LoadUchar16, uchar)
DEFINE_LOAD16(LoadShort16, short)
DEFINE_LOAD16(LoadUint16, uint)
DEFINE_LOAD16(LoadFloat16, float)
DEFINE_LOAD16(LoadUlong16, ulong)

// StoreT16(value, row, x, width): the 16 values into `row` from x on, those inside.
#define DEFINE_STORE16(NAME, T)                                         \
    HELPER void NAME(T##16 value, __global T* row, int x, int width)    \
    {                                                                   \
        if (x + BLOCK <= width) {                                       \
            *(__global T##16_any*)(row + x) = value;                    \
            return;                                                     \
        }                                                               \
        T v[BLOCK];                                                     \
        *(T##16_any*)v = value;                                         \
        for (int i = 0; i < BLOCK && x + i < width; ++i) {              \
            row[x + i] = v[i];                                          \
        }                                                               \
    }
DEFINE_STORE16(StoreUchar16, uchar)
DEFINE_STORE16(StoreShort16, short)
DEFINE_STORE16(StoreUint16, uint)
DEFINE_STORE16(StoreFloat16, float)
DEFINE_STORE16(StoreUlong16, ulong)

// NAME(v): the lowest (OP min) or highest (OP max) of the 16 values of v. Written as a
// tree of shuffles on one width, which the compiler maps to the processor's
// horizontal-minimum instruction where there is one.
#define DEFINE_REDUCE16(NAME, T, OP)     \
    HELPER T NAME(T##16 v)               \
    {                                    \
        T##8 a = OP(v.lo, v.hi);         \
        a = OP(a, a.s45670123);          \
        a = OP(a, a.s23016745);          \
        a = OP(a, a.s10325476);          \
        return a.s0;                     \
    }
DEFINE_REDUCE16(LowestOf, ushort, min)
DEFINE_REDUCE16(MinOf, float, min)
DEFINE_REDUCE16(MaxOf, float, max)

// Row y of a stack of two views of `height` rows, y + dy kept within y's own view.
HELPER int StackedRow(int y, int dy, int height)
{
    const int top = y >= height ? height : 0;
    return clamp(y + dy, top, top + height - 1);
}

// ---------------------------------------------------------------------------------
// Pyramid

// Rec. 601 luma in 8 bits, from blue, green, red; a block of 16 pixels a work-item, as
// 3-byte pixels read one by one are slow on processors. Beside it, for the left view (the
// first half of the rows), each pixel's colour as blue | green << 8 | red << 16.
__kernel void GreyFromBgr(__global const uchar* bgr, __global uchar* grey, __global uint* colour, int width,
                          int rows)
{
    const int x = get_global_id(0) * BLOCK;
    const int y = get_global_id(1);
    if (x >= width || y >= rows) {
        return;
    }
    __global const uchar* in = bgr + 3 * (y * width + x);
    const int count = min(BLOCK, width - x);
    uchar v[3 * BLOCK];
    if (count == BLOCK) {
        *(uchar16_any*)v = *(__global const uchar16_any*)in;
        *(uchar16_any*)(v + 16) = *(__global const uchar16_any*)(in + 16);
        *(uchar16_any*)(v + 32) = *(__global const uchar16_any*)(in + 32);
    } else {
        for (int i = 0; i < 3 * BLOCK; ++i) {
            v[i] = in[min(i, 3 * count - 1)];
        }
    }
    ushort b[BLOCK];
    ushort g[BLOCK];
    ushort r[BLOCK];
    for (int i = 0; i < BLOCK; ++i) {
        b[i] = v[3 * i];
        g[i] = v[3 * i + 1];
        r[i] = v[3 * i + 2];
    }
    // At most 256 x 255 + 128: within 16 bits.
    const ushort16 value = (ushort16)(29) * *(ushort16_any*)b + (ushort16)(150) * *(ushort16_any*)g +
                           (ushort16)(77) * *(ushort16_any*)r;
    const uchar16 luma = convert_uchar16((value + (ushort16)(128)) >> (ushort16)(8));
    StoreUchar16(luma, grey + y * width, x, width);
    if (y < rows / 2) {
        const uint16 packed = convert_uint16(*(ushort16_any*)b) | convert_uint16(*(ushort16_any*)g) << 8 |
                              convert_uint16(*(ushort16_any*)r) << 16;
        StoreUint16(packed, colour + y * width, x, width);
    }
}

// Mean of each 2 x 2 block, as from one pyramid level to the next.
__kernel void HalveGrey(__global const uchar* input, __global uchar* output, int inputWidth, int inputHeight,
                        int width, int height)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= width || y >= 2 * height) {
        return;
    }
    const int view = y >= height ? 1 : 0;
    __global const uchar* top = input + (view * inputHeight + 2 * (y - view * height)) * inputWidth + 2 * x;
    const uint sum = top[0] + top[1] + top[inputWidth] + top[inputWidth + 1];
    output[y * width + x] = (uchar)((sum + 2u) >> 2);
}

// ---------------------------------------------------------------------------------
// Census transform: one bit per pixel of the census window but the centre, set where
// that pixel is darker than the centre. Beside it the horizontal gradient, 128 plus
// half the grey of the pixel to the right less that of the pixel to the left: the
// matching cost compares both, and neither changes with a view's exposure offset.
// Borders repeat the edge pixels.

// The bits of the block at x of row y. With `inside`, the caller has made sure that
// every row's pixels x - CENSUS_REACH_X to x + BLOCK - 1 + CENSUS_REACH_X lie inside the
// picture, and the loads need no test.
HELPER ulong16 CensusBits(__global const uchar* grey, int x, int y, int width, int height, bool inside,
                          uchar16* gradient)
{
    const uchar16 centre = LoadUchar16(grey + y * width, x, width);
    // The bits gather a byte at a time, at an eighth of the width of the 64-bit lanes
    // they end in; the first neighbour in reading order ends in bit CENSUS_BITS - 1.
    ulong16 bits = 0;
    uchar16 byte = 0;
    uchar16 before = 0;  // the pixels left of the centres, for the gradient
    int n = 0;
#pragma unroll
    for (int dy = -CENSUS_REACH_Y; dy <= CENSUS_REACH_Y; ++dy) {
        __global const uchar* row = grey + StackedRow(y, dy, height) * width;
#pragma unroll
        for (int dx = -CENSUS_REACH_X; dx <= CENSUS_REACH_X; ++dx) {
            if (dx != 0 || dy != 0) {
                const uchar16 other =
                    inside ? *(__global const uchar16_any*)(row + x + dx) : LoadUchar16(row, x + dx, width);
                if (dy == 0 && dx == -1) {
                    before = other;
                } else if (dy == 0 && dx == 1) {
                    *gradient = convert_uchar16((convert_short16(other) - convert_short16(before)) / (short16)(2) +
                                                (short16)(128));
                }
                // Through uint: Oclgrind takes the mask of a comparison of uchars wrongly.
                const uchar16 darker = convert_uchar16(convert_uint16(other < centre) & 1u);
                byte = (byte << (uchar16)(1)) | darker;
                if (++n % 8 == 0) {
                    bits = (bits << (ulong16)(8)) | convert_ulong16(byte);
                    byte = 0;
                }
            }
        }
    }
    if (CENSUS_BITS % 8 != 0) {
        bits = (bits << (ulong16)(CENSUS_BITS % 8)) | convert_ulong16(byte);
    }
    return bits;
}

__kernel void Census(__global const uchar* grey, __global ulong* census, __global uchar* gradient, int width,
                     int height)
{
    const int x = get_global_id(0) * BLOCK;
    const int y = get_global_id(1);
    if (x >= width || y >= 2 * height) {
        return;
    }
    uchar16 g;
    const ulong16 bits = x >= CENSUS_REACH_X && x + BLOCK + CENSUS_REACH_X <= width
                             ? CensusBits(grey, x, y, width, height, true, &g)
                             : CensusBits(grey, x, y, width, height, false, &g);
    StoreUlong16(bits, census + y * width, x, width);
    StoreUchar16(g, gradient + y * width, x, width);
}

// ---------------------------------------------------------------------------------
// The disparity of each left pixel, over the whole range of its level, in steps of
// `step`, whose census matches best, summed over the pixel and its neighbours in
// the row; the smallest among equals, none whose match falls left of the right view.
// Noisy alone, but it sees what the coarser levels were too coarse to see; the next
// finer level takes it among its candidates. It stands only where it matches better
// than the level's own estimate (`own`) by more than SEARCH_MARGIN; elsewhere the
// pixel keeps that estimate, rounded. In weak texture every disparity matches about as
// well, and over a wide range one far from the truth would win by chance.
__kernel void BestCensusMatch(__global const ulong* census, __global const float* own, __global short* best,
                              int width, int height, int maxDisparity, int step)
{
    const int x = get_global_id(0) * BLOCK;
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    __global const ulong* row = census + y * width;
    __global const ulong* right = census + (height + y) * width;
    const ulong16 left = LoadUlong16(row, x, width);
    const ulong leftBefore = row[max(x - 1, 0)];
    const ulong leftAfter = row[min(x + BLOCK, width - 1)];
    const int16 xs = (int16)(x) + (int16)(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    int16 found = 0;
    int16 lowest = INT_MAX;
    for (int d = 0; d <= min(maxDisparity, x + BLOCK - 1); d += step) {
        // Each pixel's distance, then the row's neighbours' added by moving lanes.
        const int16 c = convert_int16(popcount(left ^ LoadUlong16(right, x - d, width)));
        const int before = popcount(leftBefore ^ right[clamp(x - 1 - d, 0, width - 1)]);
        const int after = popcount(leftAfter ^ right[clamp(x + BLOCK - d, 0, width - 1)]);
        const int16 sum =
            c + (int16)(before, c.s0123, c.s456789ab, c.scde) + (int16)(c.s1234, c.s56789abc, c.sdef, after);
        const int16 better = sum < lowest && xs >= (int16)(d);
        found = select(found, (int16)(d), better);
        lowest = select(lowest, sum, better);
    }
    // The distances at the own estimates: their matches gathered one by one, the rest
    // in vectors as above.
    const float16 estimate = LoadFloat16(own + y * width, x, width);
    const int16 known = estimate >= 0.0f && estimate < INFINITY;
    int at[BLOCK];
    vstore16(convert_int16(rint(select((float16)(0.0f), estimate, known))), 0, at);
    ulong matches[3][BLOCK];
    for (int i = 0; i < BLOCK; ++i) {
        for (int k = 0; k < 3; ++k) {
            matches[k][i] = right[clamp(x + i + k - 1 - at[i], 0, width - 1)];
        }
    }
    const ulong16 leftBeforeEach = (ulong16)(leftBefore, left.s0123, left.s456789ab, left.scde);
    const ulong16 leftAfterEach = (ulong16)(left.s1234, left.s56789abc, left.sdef, leftAfter);
    const int16 atOwn = convert_int16(popcount(leftBeforeEach ^ vload16(0, matches[0])) +
                                      popcount(left ^ vload16(0, matches[1])) +
                                      popcount(leftAfterEach ^ vload16(0, matches[2])));
    found = select(found, vload16(0, at), known && lowest + (int16)(SEARCH_MARGIN) >= atOwn);
    StoreShort16(convert_short16(found), best + y * width, x, width);
}

// ---------------------------------------------------------------------------------
// Candidates: pixel p tries window[p].x + 0..7 and window[p].y + 0..7, with
// y >= x + 8; where y == x + 8 they are one run of 16.

HELPER int CandidateDisparity(short2 window, int k)
{
    return k < HALF_WINDOW ? window.x + k : window.y + k - HALF_WINDOW;
}

HELPER int16 EvenAtOrAbove(int16 v)
{
    return (v + 1) & (int16)(~1);
}

// The smallest (low) and largest (high) estimate among the pixels within
// RANGE_RADIUS of each of 8 neighbouring coarse pixels; +-INFINITY where none.
HELPER void CoarseRange(__global const float* coarse, int coarseWidth, int coarseHeight, int cy, int cx,
                 float8* low, float8* high)
{
    *low = INFINITY;
    *high = -INFINITY;
    for (int j = -RANGE_RADIUS; j <= RANGE_RADIUS; ++j) {
        const float16 v =
            LoadFloat16(coarse + clamp(cy + j, 0, coarseHeight - 1) * coarseWidth, cx - RANGE_RADIUS, coarseWidth);
        const int16 known = isfinite(v) && v >= 0.0f;
        const float16 lows = select((float16)(INFINITY), v, known);
        const float16 highs = select((float16)(-INFINITY), v, known);
        *low = fmin(*low, fmin(fmin(fmin(lows.s01234567, lows.s12345678), fmin(lows.s23456789, lows.s3456789a)),
                               lows.s456789ab));
        *high = fmax(*high, fmax(fmax(fmax(highs.s01234567, highs.s12345678), fmax(highs.s23456789, highs.s3456789a)),
                                 highs.s456789ab));
    }
}

// Places the candidates of the left pixels around twice the parent pixel's own
// disparity and twice the one of the coarser level near it that lies farthest from
// it, so that an edge that moved keeps both surfaces and a thin structure that only
// the parent saw keeps its own: one run where they lie close, two where they do not.
// A parent without an estimate takes the smallest and the largest near it. Where both
// fit one run of 8, the other 8 go around twice the parent's best census match
// (`censusBest`, of the coarser level), unless that lies in the run already. Rows 2k
// and 2k + 1 share their parents, so a work-item takes a block of both.
__kernel void ChooseWindows(__global const float* coarse, int coarseWidth, int coarseHeight,
                            __global const short* censusBest, __global short2* window, int width, int height,
                            int maxDisparity)
{
    const int x = get_global_id(0) * BLOCK;
    const int y = 2 * (int)get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const int cy = min(y / 2, coarseHeight - 1);
    float8 nearLow;
    float8 nearHigh;
    CoarseRange(coarse, coarseWidth, coarseHeight, cy, x / 2, &nearLow, &nearHigh);
    const float8 own = LoadFloat16(coarse + cy * coarseWidth, x / 2, coarseWidth).lo;
    const int8 ownKnown = isfinite(own) && own >= 0.0f;
    const float8 farthest = select(nearLow, nearHigh, nearHigh - own > own - nearLow);
    const float8 parentLow = select(nearLow, fmin(own, farthest), ownKnown);
    const float8 parentHigh = select(nearHigh, fmax(own, farthest), ownKnown);
    // Each coarse pixel is the parent of two neighbours in the row.
    const int16 known = (parentHigh >= parentLow).s0011223344556677;
    const float16 low = select((float16)(0.0f), 2.0f * parentLow.s0011223344556677, known);
    const float16 high = select((float16)(0.0f), 2.0f * parentHigh.s0011223344556677, known);

    const int16 needLow = convert_int16(floor(low)) - 1;
    const int16 needHigh = convert_int16(ceil(high)) + 1;
    const int16 span = needHigh - needLow + 1;
    const int16 oneRun = span <= CANDIDATES;
    // Runs start on even disparities, a run of 16 only where it still covers the need:
    // neighbours then share their candidates more often, which the matching costs and
    // the aggregation take on their faster paths.
    const int16 centred = needLow - (CANDIDATES - span) / 2;
    const int16 runStart = max(needHigh - (CANDIDATES - 1), min(needLow, EvenAtOrAbove(centred)));
    int16 first = select(EvenAtOrAbove(convert_int16(rint(low)) - (HALF_WINDOW / 2 - 1)), runStart, oneRun);
    int16 second =
        select(EvenAtOrAbove(convert_int16(rint(high)) - HALF_WINDOW / 2), runStart + HALF_WINDOW, oneRun);
    const int16 searched =
        2 * convert_int16(LoadShort16(censusBest + cy * coarseWidth, x / 2, coarseWidth).s0011223344556677) -
        (HALF_WINDOW / 2 - 1);
    const int16 shortRun = needLow - (HALF_WINDOW - span) / 2;
    const int16 useSearched = span <= HALF_WINDOW && abs(searched - shortRun) >= (uint16)(HALF_WINDOW);
    first = select(first, min(shortRun, searched), useSearched);
    second = select(second, max(shortRun, searched), useSearched);
    first = select((int16)(0), first, known);
    second = select((int16)(HALF_WINDOW), second, known);
    // Vector bounds throughout: not every compiler gets the scalar-bound forms right.
    first = clamp(first, (int16)(0), (int16)(max(0, maxDisparity - (CANDIDATES - 1))));
    second = clamp(second, first + (int16)(HALF_WINDOW),
                   max(first + (int16)(HALF_WINDOW), (int16)(maxDisparity - (HALF_WINDOW - 1))));

    const short16 a = convert_short16(first);
    const short16 b = convert_short16(second);
    const short16 pairsLow = (short16)(a.s0, b.s0, a.s1, b.s1, a.s2, b.s2, a.s3, b.s3,
                                  a.s4, b.s4, a.s5, b.s5, a.s6, b.s6, a.s7, b.s7);
    const short16 pairsHigh = (short16)(a.s8, b.s8, a.s9, b.s9, a.sa, b.sa, a.sb, b.sb,
                                   a.sc, b.sc, a.sd, b.sd, a.se, b.se, a.sf, b.sf);
    for (int row = y; row < min(y + 2, height); ++row) {
        __global short* out = (__global short*)(window + row * width + x);
        if (x + BLOCK <= width) {
            *(__global short16_any*)out = pairsLow;
            *(__global short16_any*)(out + 16) = pairsHigh;
        } else {
            short v[2 * BLOCK];
            *(short16_any*)v = pairsLow;
            *(short16_any*)(v + 16) = pairsHigh;
            for (int i = 0; i < 2 * (width - x); ++i) {
                out[i] = v[i];
            }
        }
    }
}

// ---------------------------------------------------------------------------------
// Matching cost of each candidate of each left pixel; a work-item takes a block of 16
// pixels of a row.

// The gradient part of 16 costs. The difference as the larger less the smaller: abs
// of a vector goes a few lanes at a time on some processors.
HELPER ushort16 GradientCost(uchar16 a, uchar16 b)
{
    return convert_ushort16(min(max(a, b) - min(a, b), (uchar16)(GRADIENT_LIMIT)));
}

// The costs of left pixel (x, y), whose candidates are w.
HELPER uchar16 PixelCosts(__global const ulong* census, __global const uchar* gradient, short2 w, int x, int y,
                          int width, int height, int maxDisparity)
{
    const int p = y * width + x;
    const ulong bits = census[p];
    const uchar slope = gradient[p];
    __global const ulong* rightCensus = census + (height + y) * width;
    __global const uchar* rightGradient = gradient + (height + y) * width;
    ushort16 costs;
    if (x - w.y - (HALF_WINDOW - 1) >= 0) {
        // Every candidate's match lies inside the right view: two runs of 8 neighbours.
        const int a = x - w.x - (HALF_WINDOW - 1);
        const int b = x - w.y - (HALF_WINDOW - 1);
        const ulong8 first = vload8(0, rightCensus + a).s76543210;
        const ulong8 second = vload8(0, rightCensus + b).s76543210;
        const uchar16 other =
            (uchar16)(vload8(0, rightGradient + a).s76543210, vload8(0, rightGradient + b).s76543210);
        const ushort16 differing =
            (ushort16)(convert_ushort8(popcount(first ^ bits)), convert_ushort8(popcount(second ^ bits)));
        costs = differing + GradientCost(other, (uchar16)(slope));
    } else {
        ushort c[CANDIDATES];
        for (int k = 0; k < CANDIDATES; ++k) {
            const int xr = x - CandidateDisparity(w, k);
            c[k] = xr >= 0 ? (ushort)(popcount(bits ^ rightCensus[xr]) +
                                      min((int)abs(rightGradient[xr] - slope), GRADIENT_LIMIT))
                           : (ushort)OUTSIDE_COST;
        }
        costs = *(ushort16_any*)c;
    }
    const short16 d = (short16)((short8)(w.x), (short8)(w.y)) + (short16)(0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7);
    costs = select(min(costs, (ushort16)(OUT_OF_RANGE_COST - 1)), (ushort16)(OUT_OF_RANGE_COST),
                   d > (short16)(maxDisparity));
    return convert_uchar16(costs);
}

// Rows a and b woven lane by lane: the low halves into a, the high ones into b.
#define WEAVE(a, b)                                                                               \
    {                                                                                             \
        const uchar16 low = (uchar16)(a.s0, b.s0, a.s1, b.s1, a.s2, b.s2, a.s3, b.s3, a.s4, b.s4, \
                                      a.s5, b.s5, a.s6, b.s6, a.s7, b.s7);                        \
        b = (uchar16)(a.s8, b.s8, a.s9, b.s9, a.sa, b.sa, a.sb, b.sb, a.sc, b.sc, a.sd, b.sd, a.se, \
                      b.se, a.sf, b.sf);                                                          \
        a = low;                                                                                  \
    }

// Rows of 16 into columns. Weaving row j with row j + 8 into rows 2j and 2j + 1 turns
// an element's place, row and column as 8 bits, by one bit; four times swaps them.
HELPER void Transpose16(uchar16* m)
{
#pragma unroll
    for (int round = 0; round < 4; ++round) {
        uchar16 t[BLOCK];
#pragma unroll
        for (int j = 0; j < BLOCK / 2; ++j) {
            uchar16 a = m[j];
            uchar16 b = m[j + BLOCK / 2];
            WEAVE(a, b);
            t[2 * j] = a;
            t[2 * j + 1] = b;
        }
#pragma unroll
        for (int j = 0; j < BLOCK; ++j) {
            m[j] = t[j];
        }
    }
}

__kernel void MatchingCost(__global const ulong* census, __global const uchar* gradient,
                           __global const short2* window, __global uchar* cost, int width, int height,
                           int maxDisparity)
{
    const int x = get_global_id(0) * BLOCK;
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const int p = y * width + x;
    __global uchar16_any* out = (__global uchar16_any*)(cost + p * CANDIDATES);
    const short2 w = window[p];
    // The common case: the block is whole, its pixels share their candidates, and every
    // match lies inside the right view. Then a candidate's matches of the 16 pixels are
    // 16 neighbouring right pixels, and the costs come a candidate at a time, 16 wide.
    if (x + BLOCK <= width && x - w.y - (HALF_WINDOW - 1) >= 0 &&
        all(*(__global const uint16_any*)(window + p) == (uint16)(as_uint(w)))) {
        const ulong16 bits = *(__global const ulong16_any*)(census + p);
        const uchar16 slope = *(__global const uchar16_any*)(gradient + p);
        __global const ulong* rightCensus = census + (height + y) * width + x;
        __global const uchar* rightGradient = gradient + (height + y) * width + x;
        uchar16 m[CANDIDATES];
#pragma unroll
        for (int k = 0; k < CANDIDATES; ++k) {
            const int d = CandidateDisparity(w, k);
            const ushort16 costs =
                convert_ushort16(popcount(bits ^ *(__global const ulong16_any*)(rightCensus - d))) +
                GradientCost(*(__global const uchar16_any*)(rightGradient - d), slope);
            m[k] = convert_uchar16(d > maxDisparity ? (ushort16)(OUT_OF_RANGE_COST)
                                                    : min(costs, (ushort16)(OUT_OF_RANGE_COST - 1)));
        }
        Transpose16(m);
#pragma unroll
        for (int i = 0; i < BLOCK; ++i) {
            out[i] = m[i];
        }
        return;
    }
    for (int i = 0; i < BLOCK && x + i < width; ++i) {
        out[i] = PixelCosts(census, gradient, window[p + i], x + i, y, width, height, maxDisparity);
    }
}

// ---------------------------------------------------------------------------------
// Semi-global aggregation of the left view's costs along the columns, both ways, and
// then along the rows, both ways. Each work-item walks PATHS_PER_ITEM neighbouring
// columns (or rows), first forward, adding each step's path costs into the sums, then
// backward, adding those too. Nothing is sized by the picture or the range but the
// global buffers.

// The path costs of the pixel before, whose candidates were `window`, held as
// FAR_COST x 8, the first run, FAR_COST x 8, the second run, FAR_COST x 8: a run can be
// looked up by how far it lies from another without a shuffle by lane, which processors
// without one do element by element.
#define PADDED_PREVIOUS (5 * HALF_WINDOW)

// The costs at disparities start + 0..7; FAR_COST where the pixel before had no such
// candidate.
HELPER ushort8 PreviousRun(const ushort* padded, short2 window, int start)
{
    return min(vload8(0, padded + HALF_WINDOW + clamp(start - window.x, -HALF_WINDOW, HALF_WINDOW)),
               vload8(0, padded + 3 * HALF_WINDOW + clamp(start - window.y, -HALF_WINDOW, HALF_WINDOW)));
}

// The cost at disparity d, likewise.
HELPER ushort PreviousOne(const ushort* padded, short2 window, int d)
{
    return min(padded[HALF_WINDOW + clamp(d - window.x, -1, HALF_WINDOW)],
               padded[3 * HALF_WINDOW + clamp(d - window.y, -1, HALF_WINDOW)]);
}

typedef struct {
    ushort16 cost;  // the path costs at the latest pixel
    short2 window;
    int grey;
    ushort lowest;  // of cost
} Path;

// The path costs at pixel p from those of the pixel before on the path; with
// `start`, p begins the path.
HELPER void Step(Path* path, __global const uchar* cost, __global const short2* window,
                        __global const uchar* grey, int p, bool start)
{
    const short2 w = window[p];
    const ushort16 matching = convert_ushort16(*(__global const uchar16_any*)(cost + p * CANDIDATES));
    const int brightness = grey[p];

    ushort16 same;
    ushort16 lower;
    ushort16 higher;
    const ushort16 previous = path->cost;
    if (w.x == path->window.x && w.y == path->window.y) {
        // The common case: neighbours along the path share their candidates. Lane k's
        // neighbours are lanes k - 1 and k + 1, but across the gap of two separate runs.
        const ushort far = FAR_COST;
        same = previous;
        lower = (ushort16)(far, previous.s0, previous.s12, previous.s3456, previous.s789abcde);
        higher = (ushort16)(previous.s12345678, previous.s9abc, previous.sde, previous.sf, far);
        if (w.y != w.x + HALF_WINDOW) {
            lower.s8 = far;
            higher.s7 = far;
        }
    } else {
        // Lane k's neighbours are lanes k - 1 and k + 1 of its own run; those beyond
        // either end of a run are looked up one by one.
        ushort padded[PADDED_PREVIOUS];
        const ushort8 far = FAR_COST;
        vstore8(far, 0, padded);
        vstore8(previous.lo, 1, padded);
        vstore8(far, 2, padded);
        vstore8(previous.hi, 3, padded);
        vstore8(far, 4, padded);
        same = (ushort16)(PreviousRun(padded, path->window, w.x), PreviousRun(padded, path->window, w.y));
        lower = (ushort16)(PreviousOne(padded, path->window, w.x - 1), same.s0, same.s12, same.s3456,
                           PreviousOne(padded, path->window, w.y - 1), same.s8, same.s9a, same.sbcde);
        higher = (ushort16)(same.s1, same.s23, same.s4567,
                            PreviousOne(padded, path->window, w.x + HALF_WINDOW), same.s9, same.sab,
                            same.scdef, PreviousOne(padded, path->window, w.y + HALF_WINDOW));
    }

    const int largeStep =
        max(SMALL_STEP_PENALTY + 1, LARGE_STEP_PENALTY - EDGE_SLOPE * (int)abs(brightness - path->grey));
    ushort16 best = min(same, (ushort16)(path->lowest + largeStep));
    best = min(best, min(lower, higher) + (ushort16)(SMALL_STEP_PENALTY));
    path->cost = start ? matching : matching + best - (ushort16)(path->lowest);
    path->window = w;
    path->grey = brightness;
    path->lowest = LowestOf(path->cost);
}

// The best candidate of a left pixel: the lowest sum, refined by the parabola through
// it and its neighbours where both are candidates too.
HELPER float BestLeft(ushort16 sum, short2 w)
{
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
    return (float)CandidateDisparity(w, best) + offset;
}

// Right pixel x - d sees what left pixel x sees at disparity d. So each left pixel
// offers its sums to the right pixels its candidates name, as keys (sum << 16) | d,
// and each right pixel keeps the lowest key offered: the lowest sum, the smallest
// disparity among equals. One run of 8 candidates from `start` names 8 neighbouring
// right pixels, in reverse order; those left of the view are not offered.
HELPER void OfferRun(__global uint* keys, ushort8 sums, int start, int x)
{
    const int first = x - start - (HALF_WINDOW - 1);
    const uint8 offer = (convert_uint8(sums.s76543210) << KEY_DISPARITY_BITS) |
                        ((uint8)(start) + (uint8)(7, 6, 5, 4, 3, 2, 1, 0));
    if (first >= 0) {
        __global uint8_any* kept = (__global uint8_any*)(keys + first);
        *kept = min(*kept, offer);
    } else {
        uint v[HALF_WINDOW];
        *(uint8_any*)v = offer;
        for (int i = max(-first, 0); i < HALF_WINDOW; ++i) {
            keys[first + i] = min(keys[first + i], v[i]);
        }
    }
}

// The first pass takes the columns and writes the sums; the second takes the rows,
// adds to them, and picks the best candidates of both views into the stacked
// `disparity`, whose right half holds each row's keys until its walk is done.
__kernel void AggregatePaths(__global const uchar* cost, __global const short2* window, __global const uchar* grey,
                             __global ushort* sums, __global uint* disparity, int width, int height, int rows)
{
    const int paths = rows ? height : width;
    const int length = rows ? width : height;
    const int along = rows ? 1 : width;   // from one pixel of a path to the next
    const int across = rows ? width : 1;  // from one path to the next
    if (get_global_id(0) * PATHS_PER_ITEM >= paths) {
        return;
    }

    Path path[PATHS_PER_ITEM];
    int first[PATHS_PER_ITEM];   // pixel
    bool owner[PATHS_PER_ITEM];  // false for a padding path, which repeats the last one unwritten
#pragma unroll
    for (int j = 0; j < PATHS_PER_ITEM; ++j) {
        const int t = get_global_id(0) * PATHS_PER_ITEM + j;
        owner[j] = t < paths;
        first[j] = min(t, paths - 1) * across;
        path[j].window = (short2)(-1, -1);
        path[j].cost = (ushort16)(FAR_COST);
        path[j].grey = 0;
        path[j].lowest = 0;
    }

    for (int step = 0; step < length; ++step) {
#pragma unroll
        for (int j = 0; j < PATHS_PER_ITEM; ++j) {
            const int p = first[j] + step * along;
            Step(&path[j], cost, window, grey, p, step == 0);
            __global ushort16_any* sum = (__global ushort16_any*)(sums + p * CANDIDATES);
            if (owner[j]) {
                *sum = rows ? *sum + path[j].cost : path[j].cost;
            }
        }
    }

    if (rows) {
#pragma unroll
        for (int j = 0; j < PATHS_PER_ITEM; ++j) {
            __global uint* keys = disparity + (height * width + first[j]);
            for (int x = 0; owner[j] && x < width; ++x) {
                keys[x] = 0xFFFFFFFFu;
            }
        }
    }

    for (int step = length - 1; step >= 0; --step) {
#pragma unroll
        for (int j = 0; j < PATHS_PER_ITEM; ++j) {
            const int p = first[j] + step * along;
            Step(&path[j], cost, window, grey, p, step == length - 1);
            if (!owner[j]) {
                continue;
            }
            __global ushort16_any* sum = (__global ushort16_any*)(sums + p * CANDIDATES);
            const ushort16 total = *sum + path[j].cost;
            if (rows) {
                disparity[p] = as_uint(BestLeft(total, path[j].window));
                OfferRun(disparity + height * width + first[j], total.lo, path[j].window.x, step);
                OfferRun(disparity + height * width + first[j], total.hi, path[j].window.y, step);
            } else {
                *sum = total;
            }
        }
    }

    if (rows) {
#pragma unroll 1
        for (int j = 0; j < PATHS_PER_ITEM; ++j) {
            __global uint* keys = disparity + (height * width + first[j]);
            for (int x = 0; owner[j] && x < width; ++x) {
                const uint key = keys[x];
                keys[x] = as_uint(key == 0xFFFFFFFFu ? NO_ESTIMATE
                                                     : (float)(key & ((1u << KEY_DISPARITY_BITS) - 1u)));
            }
        }
    }
}

// ---------------------------------------------------------------------------------
// Clean-up

// min and max, not fmin and fmax: no value here is NaN, and the NaN rules of fmin and
// fmax cost processors a comparison and a blend each.
#define SORT2(a, b)                     \
    {                                   \
        const float16 low = min(a, b);  \
        b = max(a, b);                  \
        a = low;                        \
    }

// 3 x 3 median of both views; pixels without an estimate count as the largest values.
__kernel void Median3x3(__global const float* input, __global float* output, int width, int height)
{
    const int x = get_global_id(0) * BLOCK;
    const int y = get_global_id(1);
    if (x >= width || y >= 2 * height) {
        return;
    }
    // Blocks away from the sides load without testing each load's bounds.
    const bool inside = x >= 1 && x + BLOCK + 1 <= width;
    float16 v[9];
#pragma unroll
    for (int j = 0; j < 3; ++j) {
        __global const float* row = input + StackedRow(y, j - 1, height) * width;
#pragma unroll
        for (int i = 0; i < 3; ++i) {
            const float16 d =
                inside ? *(__global const float16_any*)(row + x + i - 1) : LoadFloat16(row, x + i - 1, width);
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

// The left view's disparities where the right view's disparity at their partner
// agrees, NO_ESTIMATE elsewhere. Only the left view's go on: the right view's serve
// this check alone.
__kernel void CheckConsistency(__global const float* disparity, __global float* checked, int width, int height)
{
    const int x = get_global_id(0);
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const float d = disparity[y * width + x];
    const int partner = (int)floor((float)x - d + 0.5f);
    const float e = d >= 0.0f && partner >= 0 ? disparity[(height + y) * width + partner] : NO_ESTIMATE;
    checked[y * width + x] = e >= 0.0f && fabs(d - e) <= CONSISTENCY_LIMIT ? d : NO_ESTIMATE;
}

// The first estimate from p on in steps of `step`, at most `count` steps; INFINITY if none.
HELPER float NearestEstimate(__global const float* checked, int p, int step, int count)
{
    for (int i = 1; i <= count; ++i) {
        const float d = checked[p + i * step];
        if (d >= 0.0f) {
            return d;
        }
    }
    return INFINITY;
}

// A pixel that failed the check takes the lowest of the nearest estimates to its
// left, its right and a little way up and down: the background, which is what an
// occlusion hides. With none it stays without (INFINITY). One work-item per row of the
// left view, which it sweeps right, noting the nearest estimate to the left, then back
// left.
__kernel void FillHoles(__global const float* checked, __global float* output, int width, int height)
{
    const int y = get_global_id(0);
    if (y >= height) {
        return;
    }
    const int up = min(y, FILL_REACH_VERTICAL);
    const int down = min(height - 1 - y, FILL_REACH_VERTICAL);
    __global const float* in = checked + y * width;
    __global float* out = output + y * width;
    float nearest = INFINITY;
    for (int x = 0; x < width; ++x) {
        const float d = in[x];
        nearest = d >= 0.0f ? d : nearest;
        out[x] = nearest;
    }
    nearest = INFINITY;
    for (int x = width - 1; x >= 0; --x) {
        const float d = in[x];
        if (d >= 0.0f) {
            nearest = d;
        } else {
            const int p = y * width + x;
            out[x] = fmin(fmin(out[x], nearest),
                          fmin(NearestEstimate(checked, p, -width, up), NearestEstimate(checked, p, width, down)));
        }
    }
}

// Each estimate, or `missing` where there is none.
HELPER float16 KnownOr(float16 d, float missing)
{
    return select((float16)(missing), d, isfinite(d));
}

// 16 pixels' colours, each channel less a limit (wrapping below 0), against which other
// colours are tested with one unsigned comparison a channel, as in SmoothDisparity.
typedef struct {
    uint16 blue, green, red;
    uint span;  // twice the limit
} ColourTest;

HELPER ColourTest ColoursWithin(uint16 own, uint limit)
{
    ColourTest test;
    test.blue = (own & 255u) - (uint16)(limit);
    test.green = (own >> 8 & 255u) - (uint16)(limit);
    test.red = (own >> 16) - (uint16)(limit);
    test.span = 2 * limit;
    return test;
}

// Whether each of 16 colours lies within the test's limit of its pixel's in every channel.
HELPER int16 LikeColour(uint16 colour, ColourTest test)
{
    const uint16 span = test.span;
    return (colour & 255u) - test.blue <= span && (colour >> 8 & 255u) - test.green <= span &&
           (colour >> 16) - test.red <= span;
}

// FillByColour's grid: 9 pixels of a row, a quarter of the reach apart, on 5 rows, half
// the reach apart; tap t at column t % 9 and row t / 9, offset from the pixel by
// FILL_DX(column) and FILL_DY(row).
#define FILL_COLUMNS 9
#define FILL_ROWS 5
#define FILL_DX(column) (((column) - FILL_COLUMNS / 2) * (FILL_COLOUR_REACH_X / 4))
#define FILL_DY(row) (((row) - FILL_ROWS / 2) * (FILL_COLOUR_REACH_Y / 2))

// The taps on FillByColour's grid around a block that hold a checked estimate of a
// colour that passes its pixels' test, a bit each, and their count and sum.
HELPER ulong16 LikeEstimates(__global const float* checked, __global const uint* colour, int x, int y,
                             int width, int height, ColourTest like, float16* count, float16* sum)
{
    const int16 lanes = (int16)(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    ulong16 taps = 0;
    *count = 0.0f;
    *sum = 0.0f;
    for (int row = 0; row < FILL_ROWS; ++row) {
        const int yy = y + FILL_DY(row);
        if (yy < 0 || yy >= height) {
            continue;
        }
        for (int column = 0; column < FILL_COLUMNS; ++column) {
            const int xx = x + FILL_DX(column);
            const int16 xs = (int16)(xx) + lanes;
            const float16 d = LoadFloat16(checked + yy * width, xx, width);
            const uint16 c = LoadUint16(colour + yy * width, xx, width);
            const int16 counted = xs >= 0 && xs < width && d >= 0.0f && LikeColour(c, like);
            taps |= select((ulong16)(0), (ulong16)(1ul << (row * FILL_COLUMNS + column)), convert_long16(counted));
            *sum += select((float16)(0.0f), d, counted);
            *count += select((float16)(0.0f), (float16)(1.0f), counted);
        }
    }
    return taps;
}

// Sums over the estimates that a plane through them is fitted to: their count, their
// offsets from the pixel along the row (x) and across it (y), and their disparities
// less a reference (d), which keeps the sums small.
typedef struct {
    float16 n, x, y, xx, xy, yy, d, xd, yd;
} PlaneSums;

// The sums over the taps of `taps` whose estimates are at most `most`, less `most`.
HELPER PlaneSums SumLowerEstimates(__global const float* checked, ulong16 taps, int x, int y, int width,
                                   int height, float16 most)
{
    PlaneSums s;
    s.n = s.x = s.y = s.xx = s.xy = s.yy = s.d = s.xd = s.yd = 0.0f;
    for (int row = 0; row < FILL_ROWS; ++row) {
        const int dy = FILL_DY(row);
        if (y + dy < 0 || y + dy >= height) {
            continue;
        }
        // A row's sums first: those across it follow from them.
        float16 n = 0.0f;
        float16 sx = 0.0f;
        float16 sxx = 0.0f;
        float16 sd = 0.0f;
        float16 sxd = 0.0f;
        for (int column = 0; column < FILL_COLUMNS; ++column) {
            const int dx = FILL_DX(column);
            const float16 d = LoadFloat16(checked + (y + dy) * width, x + dx, width);
            const int16 counted =
                convert_int16((taps >> (ulong)(row * FILL_COLUMNS + column) & 1ul) != 0ul) && d <= most;
            const float16 one = select((float16)(0.0f), (float16)(1.0f), counted);
            const float16 r = select((float16)(0.0f), d - most, counted);
            n += one;
            sx += (float)dx * one;
            sxx += (float)(dx * dx) * one;
            sd += r;
            sxd += (float)dx * r;
        }
        const float fy = (float)dy;
        s.n += n;
        s.x += sx;
        s.y += fy * n;
        s.xx += sxx;
        s.xy += fy * sx;
        s.yy += fy * fy * n;
        s.d += sd;
        s.xd += sxd;
        s.yd += fy * sd;
    }
    return s;
}

// The plane's disparity at the pixel, less the reference: least squares, its slopes
// held a little towards 0 so that estimates on one row or column still fit.
HELPER float16 PlaneAtPixel(PlaneSums s)
{
    const float16 mx = s.x / s.n;
    const float16 my = s.y / s.n;
    const float16 md = s.d / s.n;
    const float16 sxx = s.xx - s.n * mx * mx + FILL_COLOUR_RIDGE;
    const float16 syy = s.yy - s.n * my * my + FILL_COLOUR_RIDGE;
    const float16 sxy = s.xy - s.n * mx * my;
    const float16 sxd = s.xd - s.n * mx * md;
    const float16 syd = s.yd - s.n * my * md;
    const float16 det = sxx * syy - sxy * sxy;
    const float16 a = (sxd * syy - syd * sxy) / det;
    const float16 b = (syd * sxx - sxd * sxy) / det;
    return md - a * mx - b * my;
}

// A rejected pixel of the finest level with enough checked estimates of a like colour
// around it takes the plane through the lower half of them (those not above their
// mean): the surface of its colour, and of two such surfaces the farther, which an
// occlusion hides; a plane, as that surface may slant away behind the occluder.
// Elsewhere FillHoles' lowest neighbour stays. `filled` is FillHoles' result, changed
// in place.
__kernel void FillByColour(__global const float* checked, __global const uint* colour, __global float* filled,
                           int width, int height)
{
    const int x = get_global_id(0) * BLOCK;
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const float16 own = LoadFloat16(checked + y * width, x, width);
    if (all(own >= 0.0f)) {
        return;
    }
    const ColourTest like = ColoursWithin(LoadUint16(colour + y * width, x, width), FILL_COLOUR_LIMIT);
    float16 count;
    float16 sum;
    const ulong16 taps = LikeEstimates(checked, colour, x, y, width, height, like, &count, &sum);
    const int16 fill = own < 0.0f && count >= (float16)(FILL_COLOUR_LEAST);
    if (!any(fill)) {
        return;
    }
    const float16 mean = sum / count;
    const PlaneSums low = SumLowerEstimates(checked, taps, x, y, width, height, mean);
    // Where every one equals the mean, rounding may leave it above the sum's quotient.
    const float16 plane = select(mean, mean + PlaneAtPixel(low), low.n > 0.0f);
    const float16 before = LoadFloat16(filled + y * width, x, width);
    StoreFloat16(select(before, clamp(plane, 0.0f, (float)MAX_DISPARITY), fill), filled + y * width, x, width);
}

// Near a depth edge, the estimates around a left pixel split into a lower and a higher
// side; a pixel on the side that fewer of its neighbours of a like colour take moves to
// the mean of those on the other side. A census window reaching across an edge drags
// the nearer surface over it; the colour says where the edge lies, also where two
// surfaces' greys are alike.
__kernel void ResolveEdges(__global const float* input, __global const uint* colour, __global float* output,
                           int width, int height)
{
    const int x = get_global_id(0) * BLOCK;
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const float16 centre = LoadFloat16(input + y * width, x, width);
    // Most blocks lie away from every depth edge. The estimates within reach of any of
    // the block's pixels, two loads a row, tell so before each pixel's own span is taken.
    float16 low = INFINITY;
    float16 high = -INFINITY;
    for (int dy = -EDGE_REACH_Y; dy <= EDGE_REACH_Y; ++dy) {
        const int row = clamp(y + dy, 0, height - 1) * width;
        const float16 a = LoadFloat16(input + row, x - EDGE_REACH_X, width);
        const float16 b = LoadFloat16(input + row, x + EDGE_REACH_X, width);
        low = min(low, min(KnownOr(a, INFINITY), KnownOr(b, INFINITY)));
        high = max(high, max(KnownOr(a, -INFINITY), KnownOr(b, -INFINITY)));
    }
    if (!(MaxOf(high) - MinOf(low) > EDGE_SPAN) || !any(isfinite(centre))) {
        StoreFloat16(centre, output + y * width, x, width);
        return;
    }
    low = INFINITY;
    high = -INFINITY;
    for (int dy = -EDGE_REACH_Y; dy <= EDGE_REACH_Y; ++dy) {
        const int row = clamp(y + dy, 0, height - 1) * width;
        for (int dx = -EDGE_REACH_X; dx <= EDGE_REACH_X; ++dx) {
            const float16 d = LoadFloat16(input + row, x + dx, width);
            low = min(low, KnownOr(d, INFINITY));
            high = max(high, KnownOr(d, -INFINITY));
        }
    }
    const int16 edge = isfinite(centre) && high - low > (float16)(EDGE_SPAN);
    if (!any(edge)) {
        // No edge near any pixel of the block, as on most of a picture.
        StoreFloat16(centre, output + y * width, x, width);
        return;
    }
    const float16 middle = 0.5f * (low + high);
    const uint16 own = LoadUint16(colour + y * width, x, width);
    const ColourTest alike = ColoursWithin(own, EDGE_COLOUR_LIMIT);
    float16 lowCount = 0.0f;
    float16 lowSum = 0.0f;
    float16 highCount = 0.0f;
    float16 highSum = 0.0f;
    for (int dy = -EDGE_REACH_Y; dy <= EDGE_REACH_Y; ++dy) {
        const int row = clamp(y + dy, 0, height - 1) * width;
        for (int dx = -EDGE_REACH_X; dx <= EDGE_REACH_X; ++dx) {
            const float16 d = LoadFloat16(input + row, x + dx, width);
            const uint16 c = LoadUint16(colour + row, x + dx, width);
            const int16 like = isfinite(d) && LikeColour(c, alike);
            const int16 lower = like && d <= middle;
            const int16 higher = like && d > middle;
            lowCount += select((float16)(0.0f), (float16)(1.0f), lower);
            lowSum += select((float16)(0.0f), d, lower);
            highCount += select((float16)(0.0f), (float16)(1.0f), higher);
            highSum += select((float16)(0.0f), d, higher);
        }
    }
    const int16 ownLower = centre <= middle;
    float16 result = select(centre, highSum / highCount, edge && ownLower && highCount > lowCount);
    result = select(result, lowSum / lowCount, edge && centre > middle && lowCount > highCount);
    StoreFloat16(result, output + y * width, x, width);
}

// The mean of the estimates around a left pixel that lie within SMOOTH_TOLERANCE of
// its own on a surface of a similar grey: the sub-pixel steps of slanted surfaces
// even out, and depth edges stay where they are.
__kernel void SmoothDisparity(__global const float* input, __global const uchar* grey, __global float* output,
                              int width, int height)
{
    const int x = get_global_id(0) * BLOCK;
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const float16 centre = LoadFloat16(input + y * width, x, width);
    // A grey g is within SMOOTH_GREY_LIMIT of the pixel's where g - darkest, unsigned, is
    // within twice that: one comparison, where abs of a vector of ints goes two lanes at a
    // time on some processors.
    const uint16 darkest =
        convert_uint16(LoadUchar16(grey + y * width, x, width)) - (uint16)(SMOOTH_GREY_LIMIT);
    float16 sum = 0.0f;
    float16 count = 0.0f;
    for (int dy = -SMOOTH_REACH_Y; dy <= SMOOTH_REACH_Y; ++dy) {
        const int row = clamp(y + dy, 0, height - 1) * width;
        for (int dx = -SMOOTH_REACH_X; dx <= SMOOTH_REACH_X; ++dx) {
            const float16 d = LoadFloat16(input + row, x + dx, width);
            const uint16 g = convert_uint16(LoadUchar16(grey + row, x + dx, width));
            const int16 near = fabs(d - centre) <= (float16)(SMOOTH_TOLERANCE) &&
                               g - darkest <= (uint16)(2 * SMOOTH_GREY_LIMIT);
            sum += select((float16)(0.0f), d, near);
            count += select((float16)(0.0f), (float16)(1.0f), near);
        }
    }
    // A finite estimate counts itself; a pixel without one (INFINITY) stays without.
    StoreFloat16(select(centre, sum / count, isfinite(centre)), output + y * width, x, width);
}

// ---------------------------------------------------------------------------------
// Pictures of the left view's result: grey = 4 x disparity (black without an
// estimate), and, where `withColour`, a colour map from blue (0) through green and
// yellow to red (maxDisparity); 3 bytes per pixel in blue, green, red order.

// Writes a block's 3-byte pixels from its blues, greens and reds.
HELPER void StorePixels3(uchar16 b, uchar16 g, uchar16 r, __global uchar* row, int x, int width)
{
    uchar v[3 * BLOCK];
    uchar blue[BLOCK];
    uchar green[BLOCK];
    uchar red[BLOCK];
    *(uchar16_any*)blue = b;
    *(uchar16_any*)green = g;
    *(uchar16_any*)red = r;
    for (int i = 0; i < BLOCK; ++i) {
        v[3 * i] = blue[i];
        v[3 * i + 1] = green[i];
        v[3 * i + 2] = red[i];
    }
    __global uchar* out = row + 3 * x;
    if (x + BLOCK <= width) {
        *(__global uchar16_any*)out = *(uchar16_any*)v;
        *(__global uchar16_any*)(out + 16) = *(uchar16_any*)(v + 16);
        *(__global uchar16_any*)(out + 32) = *(uchar16_any*)(v + 32);
        return;
    }
    for (int i = 0; i < 3 * (width - x); ++i) {
        out[i] = v[i];
    }
}

__kernel void ShowDisparity(__global const float* disparity, __global uchar* grey, __global uchar* colour,
                            int width, int height, int maxDisparity, int withColour)
{
    const int x = get_global_id(0) * BLOCK;
    const int y = get_global_id(1);
    if (x >= width || y >= height) {
        return;
    }
    const float16 d = LoadFloat16(disparity + y * width, x, width);
    const int16 known = isfinite(d);
    const uchar16 g = convert_uchar16(select((float16)(0.0f), clamp(round(4.0f * d), 0.0f, 255.0f), known));
    StorePixels3(g, g, g, grey + 3 * y * width, x, width);
    if (!withColour) {
        return;
    }
    const float16 t = clamp(d / (float)max(maxDisparity, 1), 0.0f, 1.0f);
    const float16 r = clamp(1.5f - fabs(4.0f * t - 3.0f), 0.0f, 1.0f);
    const float16 gr = clamp(1.5f - fabs(4.0f * t - 2.0f), 0.0f, 1.0f);
    const float16 b = clamp(1.5f - fabs(4.0f * t - 1.0f), 0.0f, 1.0f);
    const float16 none = 0.0f;
    StorePixels3(convert_uchar16(select(none, 255.0f * b + 0.5f, known)),
                 convert_uchar16(select(none, 255.0f * gr + 0.5f, known)),
                 convert_uchar16(select(none, 255.0f * r + 0.5f, known)), colour + 3 * y * width, x, width);
}
