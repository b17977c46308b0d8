// No display: no window to draw in. The title becomes a status line on a terminal,
// and SIGINT or SIGTERM stands for closing the window.
#include <chrono>
#include <cstring>

#include "platform/status_line.h"
#include "platform/stop_signals.h"
#include "platform/window_backend.h"

namespace {

constexpr uint32_t kQuitMessage = 1;
constexpr std::chrono::milliseconds kStatusInterval(250);
// What a common screen leaves usable; nothing is shown, so any fixed size serves.
constexpr int32_t kUsableWidth = 1920;
constexpr int32_t kUsableHeight = 1040;

bool quitDelivered = false;
std::chrono::steady_clock::time_point lastStatus;
bool statusShown = false;

// Any distinct non-null address serves as the one window.
struct PlatformWindowTag {
} headlessWindow;
int32_t clientWidth = 0;
int32_t clientHeight = 0;

bool Start() {
    CatchStopSignals();
    quitDelivered = false;
    return true;
}

PlatformWindow* CreateMainWindow(const char*, int32_t width, int32_t height) {
    clientWidth = width;
    clientHeight = height;
    return reinterpret_cast<PlatformWindow*>(&headlessWindow);
}

void ShowMainWindow(PlatformWindow*) {}

void DestroyMainWindow(PlatformWindow*) {
    EndStatusLine();
}

// Frames run far faster than a terminal is read.
void SetWindowTitle(PlatformWindow*, const char* title) {
    const auto now = std::chrono::steady_clock::now();
    if (statusShown && now - lastStatus < kStatusInterval) {
        return;
    }
    ShowStatusLine(title);
    lastStatus = now;
    statusShown = true;
}

void DrawPixels(PlatformWindow*, int32_t, int32_t, const PixelRows&) {}

// The stop signals stay caught until the process ends.
void Stop() {}

void GetClientSize(PlatformWindow*, int32_t* pWidth, int32_t* pHeight) {
    *pWidth = clientWidth;
    *pHeight = clientHeight;
}

void SetClientSize(PlatformWindow*, int32_t width, int32_t height) {
    clientWidth = width;
    clientHeight = height;
}

void GetUsableClientSize(PlatformWindow*, int32_t* pWidth, int32_t* pHeight) {
    *pWidth = kUsableWidth;
    *pHeight = kUsableHeight;
}

bool TakeMessage(PlatformMessage* message) {
    if (!StopSignalled() || quitDelivered) {
        return false;
    }
    quitDelivered = true;
    std::memcpy(message->bytes, &kQuitMessage, sizeof kQuitMessage);
    return true;
}

bool IsQuitMessage(const PlatformMessage& message) {
    uint32_t id = 0;
    std::memcpy(&id, message.bytes, sizeof id);
    return id == kQuitMessage;
}

void TranslateTakenMessage(const PlatformMessage&) {}

void DispatchTakenMessage(const PlatformMessage&) {}

}  // namespace

const WindowBackend kHeadlessBackend = {
    Start,
    "No display could be opened: running headless until interrupted (Ctrl+C).\n",
    CreateMainWindow,
    ShowMainWindow,
    DestroyMainWindow,
    SetWindowTitle,
    DrawPixels,
    Stop,
    GetClientSize,
    SetClientSize,
    GetUsableClientSize,
    TakeMessage,
    IsQuitMessage,
    TranslateTakenMessage,
    DispatchTakenMessage,
};
