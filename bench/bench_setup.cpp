#include "bench/bench_setup.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/device_steps.h"
#include "compute/app_state.h"
#include "compute/init_opencl.h"
#include "imageio/image_files.h"
#include "platform/platform.h"
#include "platform/system.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kRunFiles[] = {"test.cl", "im2.bmp", "im6.bmp"};

BenchFrame benchFrame;
fs::path benchFolder;
fs::path previousFolder;

// Unique per process, so two runs on one machine never share a depth.bmp.
bool MakeFolder() {
    benchFolder = fs::temp_directory_path() / ("korrapp-bench-" + std::to_string(PlatformReadCounter()));
    std::error_code ec;
    if (!fs::create_directory(benchFolder, ec)) {
        std::fprintf(stderr, "Cannot create %s\n", benchFolder.string().c_str());
        return false;
    }
    for (const char* name : kRunFiles) {
        if (!fs::copy_file(fs::path(KORRAPP_RUN_DIR) / name, benchFolder / name, ec)) {
            std::fprintf(stderr, "Cannot copy %s from %s: build the run folder first\n", name,
                         KORRAPP_RUN_DIR);
            return false;
        }
    }
    previousFolder = fs::current_path();
    fs::current_path(benchFolder);
    return true;
}

// The window system's start may take over Ctrl+C to stand for closing the window;
// a benchmark should stop at once.
bool OpenWindow() {
    if (!PlatformStartWindowSystem()) {
        std::fprintf(stderr, "No window system could be started\n");
        return false;
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    appState.hMainWindow =
        PlatformCreateMainWindow("KorrAppWindow", 3 * kPyramidBaseWidth, kPyramidBaseHeight);
    if (appState.hMainWindow == nullptr) {
        std::fprintf(stderr, "The main window could not be created\n");
        return false;
    }
    PlatformShowMainWindow(appState.hMainWindow);
    return true;
}

bool ReadPair() {
    BenchFrame& frame = benchFrame;
    frame.pLeftPixels.reset(LoadBmpRgb("im2.bmp", &frame.iWidth, &frame.iHeight));
    frame.pRightPixels.reset(LoadBmpRgb("im6.bmp", &frame.iWidth, &frame.iHeight));
    if (!frame.pLeftPixels || !frame.pRightPixels) {
        std::fprintf(stderr, "The sample pair cannot be read\n");
        return false;
    }
    frame.iOutputWidth = frame.iWidth / 2;
    frame.iOutputHeight = frame.iHeight / 2;
    frame.pOutputPixels.reset(
        new unsigned char[static_cast<size_t>(frame.iOutputWidth) * frame.iOutputHeight * 3]());
    return true;
}

// One whole device pass, so the output block holds a real result to save and draw.
bool FillOutput() {
    if (UploadPair(benchFrame) != CL_SUCCESS || LaunchHalving(benchFrame) != CL_SUCCESS ||
        ReadBackHalf(benchFrame, &appState.vKernelEvents) != CL_SUCCESS) {
        std::fprintf(stderr, "The device pass failed\n");
        return false;
    }
    return true;
}

}  // namespace

bool SetUpBenchmarks() {
    return MakeFolder() && OpenWindow() && InitOpenCL() && ReadPair() && FillOutput();
}

void TearDownBenchmarks() {
    if (appState.hMainWindow != nullptr) {
        PlatformDestroyWindow(appState.hMainWindow);
        appState.hMainWindow = nullptr;
        PlatformStopWindowSystem();
    }
    if (!benchFolder.empty()) {
        std::error_code ec;
        fs::current_path(previousFolder, ec);
        fs::remove_all(benchFolder, ec);
    }
}

const BenchFrame& Frame() {
    return benchFrame;
}
