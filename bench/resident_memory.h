#pragma once
// The process's resident memory, to tell whether frames keep it flat.

#include <benchmark/benchmark.h>

#include <cstdint>

// Bytes, or 0 where the system does not tell.
uint64_t ResidentBytes();

// Counters rss_mb, after the timed frames, and rss_growth_mb, since `warmBytes` was
// taken after the first frame; none where the system does not tell.
void CountResidentMemory(benchmark::State& state, uint64_t warmBytes);
