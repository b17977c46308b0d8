// The Windows window system: one window class, a window procedure that only turns
// the window's destruction into the quit message, and GDI for drawing.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/window_backend.h"

namespace {

static_assert(sizeof(MSG) <= sizeof(PlatformMessage::bytes), "a MSG must fit a message");

constexpr const char* kClassName = "KorrAppClass";
constexpr int kIconResource = 101;

HWND ToHwnd(PlatformWindow* window) {
    return reinterpret_cast<HWND>(window);
}

MSG ToMsg(const PlatformMessage& message) {
    MSG msg;
    std::memcpy(&msg, message.bytes, sizeof msg);
    return msg;
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT uiMessage, WPARAM wParam, LPARAM lParam) {
    if (uiMessage == WM_DESTROY) {
        PostQuitMessage(0);
    }
    return DefWindowProcA(hWnd, uiMessage, wParam, lParam);
}

bool Start() {
    HINSTANCE hInstance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(kIconResource));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) != 0;
}

PlatformWindow* CreateMainWindow(const char* title, int32_t width, int32_t height) {
    HWND hWnd = CreateWindowExA(0, kClassName, title, WS_OVERLAPPEDWINDOW, 0, 0, width, height, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    return reinterpret_cast<PlatformWindow*>(hWnd);
}

// The show command comes from the process's start-up information, as WinMain's would.
void ShowMainWindow(PlatformWindow* window) {
    ShowWindow(ToHwnd(window), SW_SHOWDEFAULT);
    SetForegroundWindow(ToHwnd(window));
    SetFocus(ToHwnd(window));
}

// After a normal close the window is gone already and this fails without effect.
void DestroyMainWindow(PlatformWindow* window) {
    DestroyWindow(ToHwnd(window));
}

void SetWindowTitle(PlatformWindow* window, const char* title) {
    SetWindowTextA(ToHwnd(window), title);
}

// GDI takes rows at 4-byte boundaries; rows that are not get a padded copy, kept
// for the next call so that drawing allocates nothing once the size is set.
const unsigned char* AlignedRows(const PixelRows& rows) {
    static std::vector<unsigned char> vPadded;
    const size_t rowBytes = static_cast<size_t>(rows.width) * static_cast<size_t>(rows.bytesPerPixel);
    const size_t stride = (rowBytes + 3) & ~static_cast<size_t>(3);
    if (stride == rowBytes) {
        return rows.pixels;
    }
    vPadded.resize(stride * static_cast<size_t>(rows.height));
    for (size_t row = 0; row < static_cast<size_t>(rows.height); ++row) {
        std::memcpy(&vPadded[row * stride], rows.pixels + row * rowBytes, rowBytes);
        std::memset(&vPadded[row * stride + rowBytes], 0, stride - rowBytes);
    }
    return vPadded.data();
}

// The rows are described as a top-down bitmap, so they show right side up.
void DrawPixels(PlatformWindow* window, int32_t x, int32_t y, const PixelRows& rows) {
    const unsigned char* pixels = AlignedRows(rows);
    HWND hWnd = ToHwnd(window);
    HDC hdc = GetDC(hWnd);
    HDC hdcMem = CreateCompatibleDC(hdc);
    HBITMAP hBitmap = CreateCompatibleBitmap(hdc, rows.width, rows.height);
    HGDIOBJ hOld = SelectObject(hdcMem, hBitmap);

    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = rows.width;
    bmi.bmiHeader.biHeight = -rows.height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = static_cast<WORD>(rows.bytesPerPixel * 8);
    bmi.bmiHeader.biCompression = BI_RGB;
    SetDIBits(hdcMem, hBitmap, 0, static_cast<UINT>(rows.height), pixels, &bmi, DIB_RGB_COLORS);
    BitBlt(hdc, x, y, rows.width, rows.height, hdcMem, 0, 0, SRCCOPY);

    SelectObject(hdcMem, hOld);
    DeleteObject(hBitmap);
    DeleteDC(hdcMem);
    ReleaseDC(hWnd, hdc);
}

void Stop() {}

void GetClientSize(PlatformWindow* window, int32_t* pWidth, int32_t* pHeight) {
    RECT client = {};
    if (window == nullptr || GetClientRect(ToHwnd(window), &client) == 0) {
        *pWidth = *pHeight = 0;
        return;
    }
    *pWidth = client.right - client.left;
    *pHeight = client.bottom - client.top;
}

// How much the window's frame (borders, title bar) adds to a client area.
SIZE FrameSize(HWND hWnd) {
    RECT frame = {0, 0, 0, 0};
    const DWORD style = static_cast<DWORD>(GetWindowLongA(hWnd, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(hWnd, GWL_EXSTYLE));
    if (AdjustWindowRectEx(&frame, style, FALSE, exStyle) == 0) {
        return SIZE{0, 0};
    }
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

// The work area of the monitor the window is on, or of the primary one.
bool WorkArea(HWND hWnd, RECT* pWork) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromWindow(hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor) != 0) {
        *pWork = monitor.rcWork;
        return true;
    }
    return SystemParametersInfoA(SPI_GETWORKAREA, 0, pWork, 0) != 0;
}

// A window that grew past an edge of the work area moves back onto it.
void SetClientSize(PlatformWindow* window, int32_t width, int32_t height) {
    if (window == nullptr) {
        return;
    }
    const HWND hWnd = ToHwnd(window);
    const SIZE frame = FrameSize(hWnd);
    const int outerWidth = width + frame.cx;
    const int outerHeight = height + frame.cy;
    RECT place = {};
    RECT work = {};
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (GetWindowRect(hWnd, &place) == 0 || !WorkArea(hWnd, &work)) {
        flags |= SWP_NOMOVE;
    }
    const LONG left = std::max(work.left, std::min(place.left, work.right - outerWidth));
    const LONG top = std::max(work.top, std::min(place.top, work.bottom - outerHeight));
    SetWindowPos(hWnd, nullptr, left, top, outerWidth, outerHeight, flags);
}

void GetUsableClientSize(PlatformWindow* window, int32_t* pWidth, int32_t* pHeight) {
    *pWidth = *pHeight = 0;
    RECT work = {};
    if (window == nullptr || !WorkArea(ToHwnd(window), &work)) {
        return;
    }
    const SIZE frame = FrameSize(ToHwnd(window));
    *pWidth = std::max<LONG>(work.right - work.left - frame.cx, 0);
    *pHeight = std::max<LONG>(work.bottom - work.top - frame.cy, 0);
}

bool TakeMessage(PlatformMessage* message) {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) == 0) {
        return false;
    }
    std::memset(message->bytes, 0, sizeof message->bytes);
    std::memcpy(message->bytes, &msg, sizeof msg);
    return true;
}

bool IsQuitMessage(const PlatformMessage& message) {
    return ToMsg(message).message == WM_QUIT;
}

void TranslateTakenMessage(const PlatformMessage& message) {
    const MSG msg = ToMsg(message);
    TranslateMessage(&msg);
}

void DispatchTakenMessage(const PlatformMessage& message) {
    const MSG msg = ToMsg(message);
    DispatchMessageA(&msg);
}

}  // namespace

const WindowBackend kWin32Backend = {
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
