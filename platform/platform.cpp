#include "platform/platform.h"

#include "platform/window_backend.h"

namespace {

// In order of preference; the build decides which backends exist.
const WindowBackend* const kCandidates[] = {
#if defined(KORRAPP_PLATFORM_WIN32)
    &kWin32Backend,
#elif defined(KORRAPP_PLATFORM_SDL2)
    &kSdl2Backend,
    &kHeadlessBackend,
#else
    &kHeadlessBackend,
#endif
};
constexpr int kCandidateCount = static_cast<int>(sizeof(kCandidates) / sizeof(kCandidates[0]));

const WindowBackend* activeBackend = nullptr;

// Before the window system starts, the last resort answers: it needs no start.
const WindowBackend& Active() {
    return activeBackend != nullptr ? *activeBackend : *kCandidates[kCandidateCount - 1];
}

}  // namespace

bool PlatformStartWindowSystem() {
    for (const WindowBackend* backend : kCandidates) {
        if (backend->start()) {
            activeBackend = backend;
            return true;
        }
    }
    return false;
}

PlatformWindow* PlatformCreateMainWindow(const char* title, int32_t width, int32_t height) {
    return Active().createMainWindow(title, width, height);
}

void PlatformShowMainWindow(PlatformWindow* window) {
    Active().showMainWindow(window);
}

void PlatformDestroyWindow(PlatformWindow* window) {
    Active().destroyWindow(window);
}

void PlatformSetWindowTitle(PlatformWindow* window, const char* title) {
    Active().setWindowTitle(window, title);
}

void PlatformDrawPixels(PlatformWindow* window, int32_t x, int32_t y, const PixelRows& rows) {
    Active().drawPixels(window, x, y, rows);
}

void PlatformStopWindowSystem() {
    if (activeBackend != nullptr) {
        activeBackend->stop();
        activeBackend = nullptr;
    }
}

bool PlatformPeekMessage(PlatformMessage* message) {
    return Active().peekMessage(message);
}

bool PlatformIsQuitMessage(const PlatformMessage& message) {
    return Active().isQuitMessage(message);
}

void PlatformTranslateMessage(const PlatformMessage& message) {
    Active().translateMessage(message);
}

void PlatformDispatchMessage(const PlatformMessage& message) {
    Active().dispatchMessage(message);
}

void PlatformShowMessageBox(const char* text, const char* caption) {
    Active().showMessageBox(text, caption);
}
