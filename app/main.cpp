// The demonstrator's entry: the main window, the compute setup, then frames whenever
// no window message is pending, until the window is closed. The exit code is 0 when
// the user closed the window or stopped the program, 1 when setup failed; the
// command line is not used.
#include "app/message_loop.h"
#include "app/platform_messages.h"
#include "compute/app_state.h"
#include "compute/init_opencl.h"
#include "diagnostics/debug_print.h"
#include "pipeline/process_frame.h"
#include "platform/platform.h"
#include "platform/system.h"

namespace {

constexpr int kExitClosed = 0;
constexpr int kExitSetupFailed = 1;
constexpr const char* kInitialTitle = "KorrAppWindow";
constexpr int32_t kWindowWidth = 3 * kPyramidBaseWidth;
constexpr int32_t kWindowHeight = kPyramidBaseHeight;

}  // namespace

int main() {
    if (!PlatformStartWindowSystem()) {
        return kExitSetupFailed;
    }
    PlatformWindow* hWnd = PlatformCreateMainWindow(kInitialTitle, kWindowWidth, kWindowHeight);
    if (hWnd == nullptr) {
        PlatformStopWindowSystem();
        return kExitSetupFailed;
    }
    PlatformShowMainWindow(hWnd);

    const bool bReady = InitOpenCL();
    appState.hMainWindow = hWnd;
    if (bReady) {
        PlatformMessages messages;
        RunMessageLoop(messages, ProcessFrame);
    } else if (PlatformConsoleClosesWithProcess()) {
        ShowDebugOutputInMessageBox();  // the reason, once the console is gone
    }

    PlatformDestroyWindow(hWnd);
    appState.hMainWindow = nullptr;
    PlatformStopWindowSystem();
    return bReady ? kExitClosed : kExitSetupFailed;
}
