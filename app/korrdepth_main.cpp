// korrdepth's entry: the command line, the compute setup shared with korrapp, then
// either one frame (--once) or frames whenever no window message is pending, until
// the window is closed.
#include <cstdio>
#include <string>

#include "app/message_loop.h"
#include "app/platform_messages.h"
#include "compute/app_state.h"
#include "compute/init_opencl.h"
#include "depth/depth_frame.h"
#include "depth/kitti_folder.h"
#include "depth/output_guard.h"
#include "depth/scene_folder.h"
#include "diagnostics/debug_print.h"
#include "platform/platform.h"

namespace {

constexpr const char* kInitialTitle = "KorrDepthWindow";
constexpr int32_t kWindowWidth = 3 * kPyramidBaseWidth;
constexpr int32_t kWindowHeight = kPyramidBaseHeight;

bool SetUp(DepthState* pState) {
    ComputeDevice device;
    return InitComputeDevice(0, &device) && pState->matcher.Init(device, pState->options.iMaxDisparity);
}

int RunWindow(DepthState* pState) {
    if (!PlatformStartWindowSystem()) {
        return 1;
    }
    PlatformWindow* hWnd = PlatformCreateMainWindow(kInitialTitle, kWindowWidth, kWindowHeight);
    if (hWnd == nullptr) {
        PlatformStopWindowSystem();
        return 1;
    }
    PlatformShowMainWindow(hWnd);
    const bool bReady = SetUp(pState);
    pState->hWindow = hWnd;
    if (bReady) {
        PlatformMessages messages;
        RunMessageLoop(messages, [pState] { ProcessDepthFrame(pState); });
    }
    PlatformDestroyWindow(hWnd);
    pState->hWindow = nullptr;
    PlatformStopWindowSystem();
    return bReady ? 0 : 1;
}

int RefuseCommandLine(const std::string& mistake) {
    std::fprintf(stderr, "korrdepth: %s\n%s", mistake.c_str(), kDepthUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    DepthState state;
    std::string error;
    switch (ParseDepthOptions(argc, argv, &state.options, &error)) {
        case DepthCommand::Help:
            std::fputs(kDepthUsage, stdout);
            return 0;
        case DepthCommand::Mistake:
            return RefuseCommandLine(error);
        case DepthCommand::Version:
            std::printf("korrdepth %s\n", KORRAPP_VERSION);
            return 0;
        case DepthCommand::Run:
            break;
    }
    if (!state.options.sKittiDir.empty()) {
        KittiFolder folder;
        const std::string problem = FindKittiFolder(state.options, &folder);
        if (!problem.empty()) {
            DEBUG_PRINT("%s\n", problem.c_str());
            return 1;
        }
        state.options.iMaxDisparity = folder.iMaxDisparity;
        return SetUp(&state) ? RunKittiFolder(folder, &state.matcher) : 1;
    }
    const std::string problem =
        state.options.sSceneDir.empty() ? std::string() : ApplySceneFolder(&state.options);
    if (!problem.empty()) {
        DEBUG_PRINT("%s\n", problem.c_str());
        return 1;
    }
    // Known once a scene folder has named its files, and before any is read.
    const std::string overInput = OutputOverInput(state.options);
    if (!overInput.empty()) {
        return RefuseCommandLine(overInput);
    }
    if (state.options.bOnce) {
        return SetUp(&state) && ProcessDepthFrame(&state) ? 0 : 1;
    }
    return RunWindow(&state);
}
