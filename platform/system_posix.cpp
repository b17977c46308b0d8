// Console and clock where the process already has a terminal: standard output is
// the console, and the steady clock is the performance counter.
#include <chrono>

#include "platform/platform.h"
#include "platform/window_backend.h"

// Every posix build has the headless backend, whose status line may share the
// terminal with standard output.
FILE* PlatformOpenConsole() {
    ClearHeadlessStatusLine();
    return stdout;
}

int64_t PlatformReadCounter() {
    return static_cast<int64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

int64_t PlatformCounterFrequency() {
    using Period = std::chrono::steady_clock::period;
    static_assert(Period::num == 1, "the counter needs a whole number of ticks per second");
    return static_cast<int64_t>(Period::den);
}
