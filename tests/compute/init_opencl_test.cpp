#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>

#include "compute/app_state.h"
#include "compute/init_opencl.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_data.h"

namespace fs = std::filesystem;

namespace {

struct SetupRun {
    bool result;
    std::string report;
};

constexpr const char* kFolderInstead = "<a folder>";

// Runs the setup afresh in a folder holding `kernelSource` as test.cl (none if null).
SetupRun RunSetup(const char* kernelSource) {
    TempDir dir;
    if (kernelSource == kFolderInstead) {
        fs::create_directory(dir.path() / "test.cl");
    } else if (kernelSource != nullptr) {
        std::ofstream(dir.file("test.cl")) << kernelSource;
    }
    ScopedWorkingDirectory cwd(dir.path());
    appState = AppState();
    testing::internal::CaptureStdout();
    const bool result = InitOpenCL();
    return {result, testing::internal::GetCapturedStdout()};
}

std::string ReadKernelSource() {
    std::ifstream in(KernelSourceFile());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Info(const cl::Platform& platform, cl_platform_info what) {
    std::string text;
    platform.getInfo(what, &text);
    return text;
}

// The report the program must print for the first platform, up to the build log.
std::string ExpectedReport() {
    std::vector<cl::Platform> platforms;
    cl::Platform::get(&platforms);
    const cl::Platform& platform = platforms.at(0);
    std::string report = "Successfull creation context on platform:\n  " + Info(platform, CL_PLATFORM_NAME) +
                         "\n  " + Info(platform, CL_PLATFORM_VENDOR) + "\n";
    std::vector<cl::Device> devices;
    if (platform.getDevices(CL_DEVICE_TYPE_GPU, &devices) != CL_SUCCESS || devices.empty()) {
        report += "Could not find GPU devices, trying CPU ...\n";
        devices.clear();
        platform.getDevices(CL_DEVICE_TYPE_CPU, &devices);
    }
    for (const cl::Device& device : devices) {
        report += "CommandQueue created on Device 0\n  " + device.getInfo<CL_DEVICE_NAME>() + "\n  " +
                  device.getInfo<CL_DEVICE_VENDOR>() + "\n  " + device.getInfo<CL_DEVICE_VERSION>() + "\n";
        report += "  CL_DEVICE_MAX_COMPUTE_UNITS: " +
                  std::to_string(device.getInfo<CL_DEVICE_MAX_COMPUTE_UNITS>()) + "\n";
        report += "  CL_DEVICE_MAX_WORK_ITEM_DIMENSIONS: " +
                  std::to_string(device.getInfo<CL_DEVICE_MAX_WORK_ITEM_DIMENSIONS>()) + "\n";
        report += "  CL_DEVICE_MAX_WORK_ITEM_SIZES:";
        for (size_t size : device.getInfo<CL_DEVICE_MAX_WORK_ITEM_SIZES>()) {
            report += " " + std::to_string(size);
        }
        report += "\n  CL_DEVICE_MAX_WORK_GROUP_SIZE: " +
                  std::to_string(device.getInfo<CL_DEVICE_MAX_WORK_GROUP_SIZE>()) + "\n";
    }
    return report + "Build Log:\n";
}

size_t BufferBytes(const cl::Buffer& buffer) {
    return buffer.getInfo<CL_MEM_SIZE>();
}

TEST(InitOpenCL, PrintsTheReportAndFillsTheState) {
    const SetupRun run = RunSetup(ReadKernelSource().c_str());
    ASSERT_TRUE(run.result) << run.report;
    const std::string expected = ExpectedReport();
    EXPECT_EQ(run.report.substr(0, expected.size()), expected);

    EXPECT_EQ(appState.clKernel.getInfo<CL_KERNEL_FUNCTION_NAME>(), "DecimateImage");
    const size_t levelBytes[kPyramidLevels] = {506250, 126225, 31248, 7728};
    for (int level = 0; level < kPyramidLevels; ++level) {
        EXPECT_EQ(BufferBytes(appState.clLeftPyramid[level]), levelBytes[level]) << "left level " << level;
        EXPECT_EQ(BufferBytes(appState.clRightPyramid[level]), levelBytes[level]) << "right level " << level;
    }
    EXPECT_EQ(appState.vUploadEvents.size(), 2u);
    EXPECT_EQ(appState.vKernelEvents.size(), 1u);
}

TEST(InitOpenCL, UnreadableKernelSourceIsNamedAndStopsSetup) {
    for (const char* source : {static_cast<const char*>(nullptr), kFolderInstead}) {
        const SetupRun run = RunSetup(source);
        EXPECT_FALSE(run.result);
        const std::string line = "Cannot read the kernel source test.cl from the working directory\n";
        ASSERT_GE(run.report.size(), line.size());
        EXPECT_EQ(run.report.substr(run.report.size() - line.size()), line);
        EXPECT_EQ(run.report.find("Build Log:"), std::string::npos);
        EXPECT_EQ(appState.clKernel(), nullptr);
    }
}

TEST(InitOpenCL, KernelFailuresPrintTheStatusAndStopSetup) {
    struct Case {
        const char* what;
        const char* source;
        const char* expectedTail;
    };
    const Case cases[] = {
        {"no kernel of that name", "__kernel void Other(__global uchar* p) { p[0] = 1; }\n",
         "Faild to create DecimateImage kernel -46\n"},
        {"a syntax error", "__kernel void DecimateImage( {\n", "Faild to create DecimateImage kernel -45\n"},
        {"an empty file", "", "Faild to create DecimateImage kernel -"},
    };
    for (const Case& c : cases) {
        const SetupRun run = RunSetup(c.source);
        EXPECT_FALSE(run.result) << c.what;
        EXPECT_NE(run.report.find("Build Log:\n"), std::string::npos) << c.what;
        EXPECT_NE(run.report.find(c.expectedTail), std::string::npos) << c.what << "\n" << run.report;
        EXPECT_EQ(appState.clLeftPyramid[0](), nullptr) << c.what;
        EXPECT_TRUE(appState.vUploadEvents.empty()) << c.what;
    }
}

TEST(InitOpenCL, BuildErrorsReachTheLog) {
    const SetupRun run =
        RunSetup("__kernel void DecimateImage(__global uchar* p) { undeclared_name = 1; }\n");
    EXPECT_FALSE(run.result);
    EXPECT_NE(run.report.find("undeclared_name"), std::string::npos) << run.report;
}

}  // namespace
