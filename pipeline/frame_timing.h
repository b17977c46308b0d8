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

// Counts one frame of fFrameTime seconds. The total the title shows is a float, but
// it is taken from a sum in double: a float sum of a few milliseconds at a time
// stops growing by whole frames after about an hour, and the mean drifts.
void CountFrame(float fFrameTime, double* pdTotalTime, float* pfTotalTime, int32_t* piFrameCount);

constexpr int kWindowTitleSize = 2000;

// "Fps: <this frame's rate> - <its time> s, <mean rate> - <mean time> s", where the
// means are over fTotalTime and iFrameCount, which already include this frame.
void FormatFrameTitle(char (&sWindowTitle)[kWindowTitleSize], float fFrameTime, float fTotalTime,
                      int32_t iFrameCount);

// Ends the frame whose counter read cnt1 at its start: counts it as above and
// formats the title it gives.
void CountFrameForTitle(int64_t cnt1, double* pdTotalTime, float* pfTotalTime, int32_t* piFrameCount,
                        char (&sWindowTitle)[kWindowTitleSize]);
