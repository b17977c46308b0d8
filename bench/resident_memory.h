#pragma once
// The process's resident memory, to tell whether frames keep it flat.

#include <benchmark/benchmark.h>

#include <cstdint>

// Frames to run before resident memory is first taken: after the first, the C library
// keeps a freed view's memory for the next view of that size, a step of one view's
// bytes that is not growth.
constexpr int kSettlingFrames = 2;

// Bytes, or 0 where the system does not tell.
uint64_t ResidentBytes();

// Counters rss_mb, after the timed frames, and rss_growth_mb, since `warmBytes` was
// taken after the settling frames; none where the system does not tell.
void CountResidentMemory(benchmark::State& state, uint64_t warmBytes);
