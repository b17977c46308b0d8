#include "app/debug_print.h"

#include <cstdarg>

#include "platform/platform.h"

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
