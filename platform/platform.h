#pragma once
// The one door to the window system. Everything above it is portable; each backend
// (Win32, SDL2, headless) implements the same list and no OS type crosses this header.
// The console, the message box and the counter are apart, in platform/system.h.

#include <cstdint>

struct PlatformWindow;  // opaque: a window of whichever backend runs

// One message of the window system, held as the backend's own record.
struct PlatformMessage {
    alignas(8) unsigned char bytes[64];
};

// Pixels for PlatformDrawPixels: top row first, rows without a gap between them,
// each pixel blue, green, red and, for 4 bytes per pixel, a fourth byte.
struct PixelRows {
    const unsigned char* pixels;
    int32_t width;
    int32_t height;
    int32_t bytesPerPixel;  // 3 or 4
};

// Window system: start, main window, title, drawing, shutdown.
bool PlatformStartWindowSystem();
PlatformWindow* PlatformCreateMainWindow(const char* title, int32_t width, int32_t height);
void PlatformShowMainWindow(PlatformWindow* window);  // show, bring to front, focus
void PlatformDestroyWindow(PlatformWindow* window);
void PlatformSetWindowTitle(PlatformWindow* window, const char* title);
void PlatformDrawPixels(PlatformWindow* window, int32_t x, int32_t y, const PixelRows& rows);
void PlatformStopWindowSystem();

// The window's drawing area (client area), in pixels: its size now, a new size, and
// the largest that stays within the usable part of the window's screen (without task
// bars, and leaving room for the window's frame). Sizes are 0 x 0 without a window.
void PlatformGetClientSize(PlatformWindow* window, int32_t* pWidth, int32_t* pHeight);
void PlatformSetClientSize(PlatformWindow* window, int32_t width, int32_t height);
void PlatformGetUsableClientSize(PlatformWindow* window, int32_t* pWidth, int32_t* pHeight);

// Message source: never waits.
bool PlatformPeekMessage(PlatformMessage* message);  // false when none is pending
bool PlatformIsQuitMessage(const PlatformMessage& message);
void PlatformTranslateMessage(const PlatformMessage& message);
void PlatformDispatchMessage(const PlatformMessage& message);
