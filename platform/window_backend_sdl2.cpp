// A real window through SDL2. SDL's quit event stands for the quit message; drawing
// goes straight to the window surface and keeps nothing between calls.
#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/stop_signals.h"
#include "platform/window_backend.h"

namespace {

static_assert(sizeof(SDL_Event) <= sizeof(PlatformMessage::bytes), "an SDL event must fit a message");

bool stopPosted = false;

SDL_Window* ToSdl(PlatformWindow* window) {
    return reinterpret_cast<SDL_Window*>(window);
}

SDL_Event ToEvent(const PlatformMessage& message) {
    SDL_Event event;
    std::memcpy(&event, message.bytes, sizeof event);
    return event;
}

bool StartsWithSlash(const char* text) {
    return text != nullptr && text[0] == '/';
}

// Without a runtime folder Wayland cannot be reached, and its library says so on
// standard error before SDL moves on; such a run goes headless, which is told anyway.
// A driver the user names is left to SDL.
void SkipUnreachableWayland() {
    if (SDL_getenv("SDL_VIDEODRIVER") != nullptr || SDL_getenv("WAYLAND_SOCKET") != nullptr ||
        StartsWithSlash(SDL_getenv("WAYLAND_DISPLAY")) || StartsWithSlash(SDL_getenv("XDG_RUNTIME_DIR"))) {
        return;
    }
    std::string drivers;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const std::string name = SDL_GetVideoDriver(i);
        // Named, these two would be tried as well; unnamed, SDL skips them.
        if (name != "wayland" && name != "offscreen" && name != "dummy") {
            drivers += (drivers.empty() ? "" : ",") + name;
        }
    }
    SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
}

// SDL falls back to drivers that show nothing; those count as no display.
// The window's pixels stay in memory the process shares with the display, where
// a frame updates only the rectangle it drew. Through a texture instead, every
// update would draw the whole window again, which without a graphics card costs
// milliseconds.
bool Start() {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // ours tell a repeated stop from a later one
    SkipUnreachableWayland();
    CatchStopSignals();  // before SDL_Init, which may start threads
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        SDL_Quit();
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) {
        SDL_Quit();
        return false;
    }
    stopPosted = false;
    return true;
}

PlatformWindow* CreateMainWindow(const char* title, int32_t width, int32_t height) {
    SDL_Window* window =
        SDL_CreateWindow(title, 0, 0, width, height, SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    return reinterpret_cast<PlatformWindow*>(window);
}

void ShowMainWindow(PlatformWindow* window) {
    SDL_ShowWindow(ToSdl(window));
    SDL_RaiseWindow(ToSdl(window));
}

void DestroyMainWindow(PlatformWindow* window) {
    SDL_DestroyWindow(ToSdl(window));
}

void SetWindowTitle(PlatformWindow* window, const char* title) {
    SDL_SetWindowTitle(ToSdl(window), title);
}

void DrawPixels(PlatformWindow* window, int32_t x, int32_t y, const PixelRows& rows) {
    SDL_Surface* target = SDL_GetWindowSurface(ToSdl(window));
    if (target == nullptr || rows.pixels == nullptr) {
        return;
    }
    const Uint32 format = rows.bytesPerPixel == 4 ? SDL_PIXELFORMAT_BGRA32 : SDL_PIXELFORMAT_BGR24;
    // SDL only reads through this pointer; the surface is freed before returning.
    SDL_Surface* source =
        SDL_CreateRGBSurfaceWithFormatFrom(const_cast<unsigned char*>(rows.pixels), rows.width, rows.height,
                                           rows.bytesPerPixel * 8, rows.width * rows.bytesPerPixel, format);
    if (source == nullptr) {
        return;
    }
    SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
    SDL_Rect place = {x, y, rows.width, rows.height};
    const bool bDrawn = SDL_BlitSurface(source, nullptr, target, &place) == 0;
    SDL_FreeSurface(source);
    // The blit leaves in `place` the part of the window it covered.
    if (bDrawn && place.w > 0 && place.h > 0) {
        SDL_UpdateWindowSurfaceRects(ToSdl(window), &place, 1);
    }
}

void Stop() {
    SDL_Quit();
}

void GetClientSize(PlatformWindow* window, int32_t* pWidth, int32_t* pHeight) {
    *pWidth = *pHeight = 0;
    if (window != nullptr) {
        SDL_GetWindowSize(ToSdl(window), pWidth, pHeight);
    }
}

struct Borders {
    int top = 0, left = 0, bottom = 0, right = 0;
};

// The usable part of the window's screen, and the window's frame. The frame is known
// once a window manager has framed the window; until then, and without one, there is
// none.
bool UsableArea(SDL_Window* window, SDL_Rect* pUsable, Borders* pBorders) {
    const int display = SDL_GetWindowDisplayIndex(window);
    if (display < 0 || SDL_GetDisplayUsableBounds(display, pUsable) != 0) {
        return false;
    }
    Borders& b = *pBorders;
    if (SDL_GetWindowBordersSize(window, &b.top, &b.left, &b.bottom, &b.right) != 0) {
        b = Borders{};
    }
    return true;
}

// The window surface follows the new size when it is next asked for. A window that
// grew past an edge of the usable area moves back onto it.
void SetClientSize(PlatformWindow* window, int32_t width, int32_t height) {
    if (window == nullptr) {
        return;
    }
    SDL_SetWindowSize(ToSdl(window), width, height);
    SDL_Rect usable{};
    Borders b;
    if (!UsableArea(ToSdl(window), &usable, &b)) {
        return;
    }
    int x = 0;
    int y = 0;
    SDL_GetWindowPosition(ToSdl(window), &x, &y);
    const int fitX = std::max(usable.x + b.left, std::min(x, usable.x + usable.w - b.right - width));
    const int fitY = std::max(usable.y + b.top, std::min(y, usable.y + usable.h - b.bottom - height));
    if (fitX != x || fitY != y) {
        SDL_SetWindowPosition(ToSdl(window), fitX, fitY);
    }
}

void GetUsableClientSize(PlatformWindow* window, int32_t* pWidth, int32_t* pHeight) {
    *pWidth = *pHeight = 0;
    SDL_Rect usable{};
    Borders b;
    if (window == nullptr || !UsableArea(ToSdl(window), &usable, &b)) {
        return;
    }
    *pWidth = std::max(usable.w - b.left - b.right, 0);
    *pHeight = std::max(usable.h - b.top - b.bottom, 0);
}

bool TakeMessage(PlatformMessage* message) {
    if (StopSignalled() && !stopPosted) {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        stopPosted = SDL_PushEvent(&quit) == 1;
    }
    SDL_Event event;
    if (SDL_PollEvent(&event) == 0) {
        return false;
    }
    std::memset(message->bytes, 0, sizeof message->bytes);
    std::memcpy(message->bytes, &event, sizeof event);
    return true;
}

bool IsQuitMessage(const PlatformMessage& message) {
    return ToEvent(message).type == SDL_QUIT;
}

void TranslateTakenMessage(const PlatformMessage&) {}

// Closing the window quits, whatever SDL's hint about the last window says. Frames
// update only what they draw, so a window uncovered or resized is shown whole once.
void DispatchTakenMessage(const PlatformMessage& message) {
    const SDL_Event event = ToEvent(message);
    if (event.type != SDL_WINDOWEVENT) {
        return;
    }
    if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
        SDL_Window* window = SDL_GetWindowFromID(event.window.windowID);
        if (window != nullptr && SDL_GetWindowSurface(window) != nullptr) {
            SDL_UpdateWindowSurface(window);
        }
    }
}

}  // namespace

const WindowBackend kSdl2Backend = {
    Start,
    nullptr,
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
