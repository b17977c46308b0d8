#pragma once
// Frame timing in the single precision the title shows: seconds per tick and each
// frame's time are floats; only the title's rates are computed in double.

#include <cstdint>

int64_t GetCounterFrequency();
void ReadCounter(int64_t* pCounter);
// Seconds from *pStart to *pEnd; the seconds per tick are fixed at the first call.
float GetElapsedSeconds(const int64_t* pEnd, const int64_t* pStart);

// The arithmetic beneath, apart from the clock.
float SecondsPerTick(int64_t iFrequency);
float TicksToSeconds(int64_t iTicks, float fSecondsPerTick);

constexpr int kWindowTitleSize = 2000;

// "Fps: <this frame's rate> - <its time> s, <mean rate> - <mean time> s", where the
// means are over fTotalTime and iFrameCount, which already include this frame.
void FormatFrameTitle(char (&sWindowTitle)[kWindowTitleSize], float fFrameTime, float fTotalTime,
                      int32_t iFrameCount);
