// Halves a picture of 3-byte pixels: each output sample is the mean of the 2 x 2
// input block at (2x, 2y), rounded half up. Dimension 0 runs over output rows,
// dimension 1 over output columns.
__kernel void DecimateImage(__global const uchar* pInput, __global uchar* pOutput,
                            int iInputWidth, int iInputHeight,
                            int iOutputWidth, int iOutputHeight)
{
    const int y = (int)get_global_id(0);
    const int x = (int)get_global_id(1);
    if (y >= iOutputHeight || x >= iOutputWidth) {
        return;
    }
    const int iInputStride = iInputWidth * 3;
    __global const uchar* pTop = pInput + (2 * y) * iInputStride + (2 * x) * 3;
    __global const uchar* pBottom = pTop + iInputStride;
    __global uchar* pOut = pOutput + (y * iOutputWidth + x) * 3;
    for (int c = 0; c < 3; ++c) {
        const int sum = pTop[c] + pTop[c + 3] + pBottom[c] + pBottom[c + 3];
        pOut[c] = (uchar)((sum + 2) / 4);
    }
}
