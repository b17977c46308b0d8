// The demonstrator's entry: the main window, the compute setup, then frames whenever
// no window message is pending, until the window is closed. The exit code is 0 on
// every path; the command line is not used.
#include "app/message_loop.h"
#include "app/platform_messages.h"
#include "compute/app_state.h"
#include "compute/init_opencl.h"
#include "pipeline/process_frame.h"
#include "platform/platform.h"

namespace {

constexpr const char* kInitialTitle = "KorrAppWindow";
constexpr int32_t kWindowWidth = 3 * kPyramidBaseWidth;
constexpr int32_t kWindowHeight = kPyramidBaseHeight;

}  // namespace

int main() {
    if (!PlatformStartWindowSystem()) {
        return 0;
    }
    PlatformWindow* hWnd = PlatformCreateMainWindow(kInitialTitle, kWindowWidth, kWindowHeight);
    if (hWnd == nullptr) {
        PlatformStopWindowSystem();
        return 0;
    }
    PlatformShowMainWindow(hWnd);

    const bool bReady = InitOpenCL();
    appState.hMainWindow = hWnd;
    if (bReady) {
        PlatformMessages messages;
        RunMessageLoop(messages, ProcessFrame);
    }

    PlatformDestroyWindow(hWnd);
    appState.hMainWindow = nullptr;
    PlatformStopWindowSystem();
    return 0;
}
