#pragma once
// The list every window backend fills; platform.cpp picks one at start.

#include "platform/platform.h"

struct WindowBackend {
    bool (*start)();  // false: this backend cannot run here (no display)
    // Told on standard error, once the loop runs, when this backend runs because an
    // earlier one could not start; null when there is nothing to tell.
    const char* fallbackNotice;
    PlatformWindow* (*createMainWindow)(const char* title, int32_t width, int32_t height);
    void (*showMainWindow)(PlatformWindow* window);
    void (*destroyMainWindow)(PlatformWindow* window);
    void (*setWindowTitle)(PlatformWindow* window, const char* title);
    void (*drawPixels)(PlatformWindow* window, int32_t x, int32_t y, const PixelRows& rows);
    void (*stop)();
    void (*getClientSize)(PlatformWindow* window, int32_t* pWidth, int32_t* pHeight);
    void (*setClientSize)(PlatformWindow* window, int32_t width, int32_t height);
    void (*getUsableClientSize)(PlatformWindow* window, int32_t* pWidth, int32_t* pHeight);
    bool (*takeMessage)(PlatformMessage* message);
    bool (*isQuitMessage)(const PlatformMessage& message);
    void (*translateMessage)(const PlatformMessage& message);
    void (*dispatchMessage)(const PlatformMessage& message);
};

// Defined by the backend files the build selects.
extern const WindowBackend kWin32Backend;
extern const WindowBackend kSdl2Backend;
extern const WindowBackend kHeadlessBackend;
