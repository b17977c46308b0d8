#include "platform/platform.h"

#include <cstdio>

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

// Before a backend has started and after it stopped there is no window: nothing is
// drawn, no title is set and no message is pending.
const WindowBackend kNoWindowSystem = {
    [] { return false; },
    nullptr,
    [](const char*, int32_t, int32_t) -> PlatformWindow* { return nullptr; },
    [](PlatformWindow*) {},
    [](PlatformWindow*) {},
    [](PlatformWindow*, const char*) {},
    [](PlatformWindow*, int32_t, int32_t, const PixelRows&) {},
    [] {},
    [](PlatformWindow*, int32_t* pWidth, int32_t* pHeight) { *pWidth = *pHeight = 0; },
    [](PlatformWindow*, int32_t, int32_t) {},
    [](PlatformWindow*, int32_t* pWidth, int32_t* pHeight) { *pWidth = *pHeight = 0; },
    [](PlatformMessage*) { return false; },
    [](const PlatformMessage&) { return false; },
    [](const PlatformMessage&) {},
    [](const PlatformMessage&) {},
};

const WindowBackend* activeBackend = &kNoWindowSystem;
// Told at the loop's first turn rather than at start, so that a run whose setup
// fails does not claim to be running.
const char* pendingNotice = nullptr;

}  // namespace

bool PlatformStartWindowSystem() {
    bool bEarlierFailed = false;
    for (const WindowBackend* backend : kCandidates) {
        if (backend->start()) {
            pendingNotice = bEarlierFailed ? backend->fallbackNotice : nullptr;
            activeBackend = backend;
            return true;
        }
        bEarlierFailed = true;
    }
    return false;
}

PlatformWindow* PlatformCreateMainWindow(const char* title, int32_t width, int32_t height) {
    return activeBackend->createMainWindow(title, width, height);
}

void PlatformShowMainWindow(PlatformWindow* window) {
    activeBackend->showMainWindow(window);
}

void PlatformDestroyWindow(PlatformWindow* window) {
    activeBackend->destroyMainWindow(window);
}

void PlatformSetWindowTitle(PlatformWindow* window, const char* title) {
    activeBackend->setWindowTitle(window, title);
}

void PlatformDrawPixels(PlatformWindow* window, int32_t x, int32_t y, const PixelRows& rows) {
    activeBackend->drawPixels(window, x, y, rows);
}

void PlatformStopWindowSystem() {
    activeBackend->stop();
    activeBackend = &kNoWindowSystem;
}

void PlatformGetClientSize(PlatformWindow* window, int32_t* pWidth, int32_t* pHeight) {
    activeBackend->getClientSize(window, pWidth, pHeight);
}

void PlatformSetClientSize(PlatformWindow* window, int32_t width, int32_t height) {
    activeBackend->setClientSize(window, width, height);
}

void PlatformGetUsableClientSize(PlatformWindow* window, int32_t* pWidth, int32_t* pHeight) {
    activeBackend->getUsableClientSize(window, pWidth, pHeight);
}

bool PlatformPeekMessage(PlatformMessage* message) {
    if (pendingNotice != nullptr) {
        std::fputs(pendingNotice, stderr);
        pendingNotice = nullptr;
    }
    return activeBackend->takeMessage(message);
}

bool PlatformIsQuitMessage(const PlatformMessage& message) {
    return activeBackend->isQuitMessage(message);
}

void PlatformTranslateMessage(const PlatformMessage& message) {
    activeBackend->translateMessage(message);
}

void PlatformDispatchMessage(const PlatformMessage& message) {
    activeBackend->dispatchMessage(message);
}
