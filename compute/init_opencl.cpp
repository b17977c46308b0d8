#include "compute/init_opencl.h"

#include <string>
#include <vector>

#include "compute/app_state.h"
#include "compute/kernel_build.h"
#include "diagnostics/debug_print.h"

namespace {

// The bindings report CL_DEVICE_NOT_FOUND as success with an empty list; both
// mean that the platform has no device of this type.
bool FindDevices(const cl::Platform& clPlatform, cl_device_type type, std::vector<cl::Device>* pvDevices) {
    std::vector<cl::Device> vFound;
    if (clPlatform.getDevices(type, &vFound) != CL_SUCCESS || vFound.empty()) {
        return false;
    }
    *pvDevices = vFound;
    return true;
}

void PrintDeviceReport(const cl::Device& device) {
    std::string sDeviceName;
    std::string sDeviceVendor;
    std::string sDeviceVersion;
    device.getInfo(CL_DEVICE_NAME, &sDeviceName);
    device.getInfo(CL_DEVICE_VENDOR, &sDeviceVendor);
    device.getInfo(CL_DEVICE_VERSION, &sDeviceVersion);
    DEBUG_PRINT("CommandQueue created on Device 0\n  %s\n  %s\n  %s\n", sDeviceName.c_str(),
                sDeviceVendor.c_str(), sDeviceVersion.c_str());

    cl_uint uiMaxComputeUnits = 0;
    cl_uint uiMaxWorkItemDimensions = 0;
    std::vector<size_t> viMaxWorkItemSize;
    size_t uiMaxWorkGroupSize = 0;
    device.getInfo(CL_DEVICE_MAX_COMPUTE_UNITS, &uiMaxComputeUnits);
    device.getInfo(CL_DEVICE_MAX_WORK_ITEM_DIMENSIONS, &uiMaxWorkItemDimensions);
    device.getInfo(CL_DEVICE_MAX_WORK_ITEM_SIZES, &viMaxWorkItemSize);
    device.getInfo(CL_DEVICE_MAX_WORK_GROUP_SIZE, &uiMaxWorkGroupSize);

    DEBUG_PRINT("  CL_DEVICE_MAX_COMPUTE_UNITS: %d\n", static_cast<int>(uiMaxComputeUnits));
    DEBUG_PRINT("  CL_DEVICE_MAX_WORK_ITEM_DIMENSIONS: %d\n", static_cast<int>(uiMaxWorkItemDimensions));
    DEBUG_PRINT("  CL_DEVICE_MAX_WORK_ITEM_SIZES:");
    for (auto itrMaxWorkItemSize = viMaxWorkItemSize.begin(); itrMaxWorkItemSize != viMaxWorkItemSize.end();
         ++itrMaxWorkItemSize) {
        DEBUG_PRINT(" %d", static_cast<int>(*itrMaxWorkItemSize));
    }
    DEBUG_PRINT("\n");
    DEBUG_PRINT("  CL_DEVICE_MAX_WORK_GROUP_SIZE: %d\n", static_cast<int>(uiMaxWorkGroupSize));
}

}  // namespace

bool InitComputeDevice(cl_command_queue_properties queueProperties, ComputeDevice* pDevice) {
    std::vector<cl::Platform> vPlatforms;
    const cl_int iPlatformStatus = cl::Platform::get(&vPlatforms);
    if (iPlatformStatus != CL_SUCCESS || vPlatforms.empty()) {
        DEBUG_PRINT("No OpenCL platform found (status %d): is an OpenCL runtime installed?\n",
                    iPlatformStatus);
        return false;
    }
    const cl::Platform clPlatform = vPlatforms.front();

    std::string sPlatformName;
    std::string sPlatformVendor;
    clPlatform.getInfo(CL_PLATFORM_NAME, &sPlatformName);
    clPlatform.getInfo(CL_PLATFORM_VENDOR, &sPlatformVendor);
    DEBUG_PRINT("Successfull creation context on platform:\n  %s\n  %s\n", sPlatformName.c_str(),
                sPlatformVendor.c_str());

    std::vector<cl::Device> vDevices;
    if (!FindDevices(clPlatform, CL_DEVICE_TYPE_GPU, &vDevices)) {
        DEBUG_PRINT("Could not find GPU devices, trying CPU ...\n");
        if (!FindDevices(clPlatform, CL_DEVICE_TYPE_CPU, &vDevices)) {
            DEBUG_PRINT("Could not find CPU devices, no devices in the system.\n");
            return false;
        }
    }

    for (auto itr = vDevices.begin(); itr != vDevices.end(); ++itr) {
        PrintDeviceReport(*itr);
    }

    // A failed context shows later, as a failed kernel creation.
    cl_int iErrNum = CL_SUCCESS;
    pDevice->clContext = cl::Context(vDevices, nullptr, nullptr, nullptr, &iErrNum);
    pDevice->clCommandQueue = cl::CommandQueue(pDevice->clContext, vDevices.front(), queueProperties);
    pDevice->clDevice = vDevices.front();
    return true;
}

bool InitOpenCL() {
    ComputeDevice device;
    if (!InitComputeDevice(0, &device)) {
        return false;
    }
    appState.clContext = device.clContext;
    appState.clCommandQueue = device.clCommandQueue;
    return BuildKernelAndBuffers(device.clDevice);
}
