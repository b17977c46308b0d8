#include "diagnostics/debug_print.h"

#include <cstdarg>
#include <string>

#include "platform/system.h"

namespace {

constexpr size_t kMessageBoxTextSize = 2048;
constexpr const char* kMessageBoxCaption = "---Veskaro---";

// Flushed at once, so that a redirected console or the log has every message even
// when the process is killed or hangs in a kernel.
void PrintTo(FILE* pStream, const char* format, va_list args) {
    va_list sinkArgs;
    va_copy(sinkArgs, args);
    std::vfprintf(pStream, format, sinkArgs);
    va_end(sinkArgs);
    std::fflush(pStream);
}

// The end of everything printed, one byte more than a box shows, so that the reader
// can tell whether the text starts at a line's start.
std::string& RecentOutput() {
    static std::string sRecent;
    return sRecent;
}

void KeepRecent(const char* format, va_list args) {
    va_list sinkArgs;
    va_copy(sinkArgs, args);
    const int iLength = std::vsnprintf(nullptr, 0, format, sinkArgs);
    va_end(sinkArgs);
    if (iLength <= 0) {
        return;
    }
    std::string& sRecent = RecentOutput();
    const size_t oldSize = sRecent.size();
    sRecent.resize(oldSize + static_cast<size_t>(iLength) + 1);
    va_copy(sinkArgs, args);
    std::vsnprintf(&sRecent[oldSize], static_cast<size_t>(iLength) + 1, format, sinkArgs);
    va_end(sinkArgs);
    sRecent.pop_back();
    if (sRecent.size() > kMessageBoxTextSize) {
        sRecent.erase(0, sRecent.size() - kMessageBoxTextSize);
    }
}

}  // namespace

FILE* GetConsoleStream() {
    return PlatformOpenConsole();
}

FILE* GetLogFile() {
    static FILE* const pLogFile = std::fopen("log.txt", "w");
    return pLogFile;
}

// Switched-off sinks stay compiled, so their code cannot rot unnoticed.
void DebugPrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    KeepRecent(format, args);
    if (DEBUG_TO_CONSOLE) {
        if (FILE* pConsole = GetConsoleStream()) {
            PrintTo(pConsole, format, args);
        }
    }
    if (DEBUG_TO_LOGFILE) {
        if (FILE* pLog = GetLogFile()) {
            PrintTo(pLog, format, args);
        }
    }
    if (DEBUG_TO_MESSAGEBOX) {
        // A longer message is cut to fit; the box is for a glance, the console has it all.
        char debug_string[kMessageBoxTextSize];
        va_list sinkArgs;
        va_copy(sinkArgs, args);
        std::vsnprintf(debug_string, sizeof debug_string, format, sinkArgs);
        va_end(sinkArgs);
        PlatformShowMessageBox(debug_string, kMessageBoxCaption);
    }
    va_end(args);
}

std::string RecentDebugOutput() {
    const std::string& sRecent = RecentOutput();
    if (sRecent.size() < kMessageBoxTextSize) {
        return sRecent;
    }
    // Cut: start after the first line end, unless that would leave nothing.
    size_t start = 1;
    if (sRecent[0] != '\n') {
        const size_t lineEnd = sRecent.find('\n', 1);
        if (lineEnd != std::string::npos && lineEnd + 1 < sRecent.size()) {
            start = lineEnd + 1;
        }
    }
    return sRecent.substr(start);
}

void ShowDebugOutputInMessageBox() {
    PlatformShowMessageBox(RecentDebugOutput().c_str(), kMessageBoxCaption);
}
