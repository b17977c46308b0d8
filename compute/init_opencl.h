#pragma once
#include "compute/opencl_bindings.h"

// The device half of the setup: what both programs share.
struct ComputeDevice {
    cl::Context clContext;            // over every device found
    cl::CommandQueue clCommandQueue;  // in order, on the first device found
    cl::Device clDevice;              // that first device, whose build logs are shown
};

// First platform; its GPU devices or, failing that, its CPU devices; the report of
// each; the context and the queue, made with `queueProperties`. False, with the
// reason printed, when there is no device.
bool InitComputeDevice(cl_command_queue_properties queueProperties, ComputeDevice* pDevice);

// One-time compute setup: the device half with queue properties 0, then the kernel
// from "test.cl" in the working directory, the image pyramids and the event slots.
// Prints its report and, on failure, why; false means no frame may run.
bool InitOpenCL();
