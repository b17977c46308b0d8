#pragma once
// One-time compute setup: platform, devices, context, queue, the kernel from
// "test.cl" in the working directory, the image pyramids and the event slots.
// Prints its report and, on failure, why; false means no frame may run.
bool InitOpenCL();
