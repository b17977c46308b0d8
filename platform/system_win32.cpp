#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>

#include "platform/system.h"

// A GUI process has no console until it makes one; it does so at its first message.
FILE* PlatformOpenConsole() {
    static bool bConsoleToOpen = true;
    if (bConsoleToOpen) {
        AllocConsole();
        // A failed reopen leaves later prints failing quietly; nothing else could show them.
        FILE* pConsole = freopen("CONOUT$", "w", stdout);
        (void)pConsole;
        bConsoleToOpen = false;
    }
    return stdout;
}

// The console that AllocConsole made closes when the process ends.
bool PlatformConsoleClosesWithProcess() {
    return true;
}

void PlatformShowMessageBox(const char* text, const char* caption) {
    MessageBoxA(nullptr, text, caption, MB_OK);
}

// The console that AllocConsole made is a terminal; the line is padded over the last.
bool PlatformShowProgress(const char* text) {
    std::fprintf(PlatformOpenConsole(), "\r%-79s\r%s", "", text);
    std::fflush(stdout);
    return true;
}

int64_t PlatformReadCounter() {
    LARGE_INTEGER cnt;
    QueryPerformanceCounter(&cnt);
    return static_cast<int64_t>(cnt.QuadPart);
}

int64_t PlatformCounterFrequency() {
    LARGE_INTEGER fr;
    QueryPerformanceFrequency(&fr);
    return static_cast<int64_t>(fr.QuadPart);
}
