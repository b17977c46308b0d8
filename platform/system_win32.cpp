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

std::string PlatformProgramFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // cut short: try again with more room
    }
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
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
