#include "bench/resident_memory.h"

#include <fstream>

#if defined(__linux__)
#include <unistd.h>
#endif

uint64_t ResidentBytes() {
#if defined(__linux__)
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0, resident = 0;
    if (statm >> pages >> resident) {
        return resident * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    }
#endif
    return 0;
}

void CountResidentMemory(benchmark::State& state, uint64_t warmBytes) {
    const uint64_t bytes = ResidentBytes();
    if (bytes == 0 || warmBytes == 0) {
        return;
    }
    constexpr double kMegabyte = 1024.0 * 1024.0;
    state.counters["rss_mb"] = static_cast<double>(bytes) / kMegabyte;
    state.counters["rss_growth_mb"] =
        (static_cast<double>(bytes) - static_cast<double>(warmBytes)) / kMegabyte;
}
