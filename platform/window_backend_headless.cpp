// No display: no window to draw in. The title becomes a status line on a terminal,
// and SIGINT or SIGTERM stands for closing the window.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>

#include "platform/window_backend.h"

namespace {

constexpr uint32_t kQuitMessage = 1;
constexpr std::chrono::milliseconds kStatusInterval(250);

volatile std::sig_atomic_t closeRequested = 0;
bool quitDelivered = false;
bool noticeShown = false;
bool statusLineShown = false;
std::chrono::steady_clock::time_point lastStatus;

// Any distinct non-null address serves as the one window.
struct PlatformWindowTag {
} headlessWindow;

void OnCloseSignal(int) {
    closeRequested = 1;
}

bool Start() {
    struct sigaction action {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // a second signal stops a process that hangs
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    closeRequested = 0;
    quitDelivered = false;
    noticeShown = false;
    return true;
}

PlatformWindow* CreateMainWindow(const char*, int32_t, int32_t) {
    return reinterpret_cast<PlatformWindow*>(&headlessWindow);
}

void ShowMainWindow(PlatformWindow*) {}

void DestroyWindow(PlatformWindow*) {
    if (statusLineShown) {
        std::fputc('\n', stderr);
        statusLineShown = false;
    }
}

void SetWindowTitle(PlatformWindow*, const char* title) {
    if (isatty(STDERR_FILENO) == 0) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (statusLineShown && now - lastStatus < kStatusInterval) {
        return;
    }
    std::fprintf(stderr, "\r%s\033[K", title);
    std::fflush(stderr);
    lastStatus = now;
    statusLineShown = true;
}

void DrawPixels(PlatformWindow*, int32_t, int32_t, const PixelRows&) {}

void Stop() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

// The notice waits for the loop's first turn, so a run whose setup fails does not
// claim to be running.
bool PeekMessage(PlatformMessage* message) {
    if (!noticeShown) {
        std::fprintf(stderr, "No display could be opened: running headless until interrupted (Ctrl+C).\n");
        noticeShown = true;
    }
    if (closeRequested == 0 || quitDelivered) {
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

void TranslateMessage(const PlatformMessage&) {}

void DispatchMessage(const PlatformMessage&) {}

void ShowMessageBox(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
}

}  // namespace

void ClearHeadlessStatusLine() {
    if (statusLineShown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        statusLineShown = false;
    }
}

const WindowBackend kHeadlessBackend = {
    "headless", Start,       CreateMainWindow, ShowMainWindow,   DestroyWindow,   SetWindowTitle, DrawPixels,
    Stop,       PeekMessage, IsQuitMessage,    TranslateMessage, DispatchMessage, ShowMessageBox,
};
