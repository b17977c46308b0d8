#pragma once
// The list every window backend fills; platform.cpp picks one at start.

#include "platform/platform.h"

struct WindowBackend {
    const char* name;
    bool (*start)();  // false: this backend cannot run here (no display)
    PlatformWindow* (*createMainWindow)(const char* title, int32_t width, int32_t height);
    void (*showMainWindow)(PlatformWindow* window);
    void (*destroyWindow)(PlatformWindow* window);
    void (*setWindowTitle)(PlatformWindow* window, const char* title);
    void (*drawPixels)(PlatformWindow* window, int32_t x, int32_t y, const PixelRows& rows);
    void (*stop)();
    bool (*peekMessage)(PlatformMessage* message);
    bool (*isQuitMessage)(const PlatformMessage& message);
    void (*translateMessage)(const PlatformMessage& message);
    void (*dispatchMessage)(const PlatformMessage& message);
    void (*showMessageBox)(const char* text, const char* caption);
};

// Defined by the backend files the build selects.
extern const WindowBackend kWin32Backend;
extern const WindowBackend kSdl2Backend;
extern const WindowBackend kHeadlessBackend;

// Takes the headless status line off the terminal, so that console text printed
// next starts on a line of its own; the next title shows it again.
void ClearHeadlessStatusLine();
