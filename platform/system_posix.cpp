// Where the process already has a terminal: standard output is the console, a message
// box is a line on standard error, and the steady clock is the performance counter.
#include <unistd.h>

#include <chrono>

#include "platform/status_line.h"
#include "platform/system.h"

// A status line may share the terminal with standard output.
FILE* PlatformOpenConsole() {
    ClearStatusLine();
    return stdout;
}

bool PlatformConsoleClosesWithProcess() {
    return false;
}

void PlatformShowMessageBox(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
}

// The status line's terminal; printing to the console takes the line off.
bool PlatformShowProgress(const char* text) {
    static const bool bTerminal = isatty(STDERR_FILENO) != 0;
    if (bTerminal) ShowStatusLine(text);
    return bTerminal;
}

std::string PlatformProgramFolder() {
    std::string path(256, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
        if (length < 0) return std::string();
        if (static_cast<size_t>(length) < path.size()) {
            path.resize(static_cast<size_t>(length));
            break;
        }
        path.resize(path.size() * 2);  // perhaps cut short: try again with more room
    }
    return path.substr(0, path.find_last_of('/') + 1);
}

int64_t PlatformReadCounter() {
    return static_cast<int64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

int64_t PlatformCounterFrequency() {
    using Period = std::chrono::steady_clock::period;
    static_assert(Period::num == 1, "the counter needs a whole number of ticks per second");
    return static_cast<int64_t>(Period::den);
}
