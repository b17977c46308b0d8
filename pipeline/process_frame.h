#pragma once
// One whole frame: read the pair, upload it, halve the left view on the device, read
// the result back, write it as "depth.bmp", draw it, and put the timing in the title.
void ProcessFrame();
