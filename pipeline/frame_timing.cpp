#include "pipeline/frame_timing.h"

#include <cstdio>

#include "platform/system.h"

int64_t GetCounterFrequency() {
    return PlatformCounterFrequency();
}

void ReadCounter(int64_t* pCounter) {
    *pCounter = PlatformReadCounter();
}

float SecondsPerTick(int64_t iFrequency) {
    return 1.0f / static_cast<float>(static_cast<double>(iFrequency));
}

float TicksToSeconds(int64_t iTicks, float fSecondsPerTick) {
    return static_cast<float>(static_cast<double>(iTicks)) * fSecondsPerTick;
}

float GetElapsedSeconds(const int64_t* pEnd, const int64_t* pStart) {
    static const float fSecondsPerTick = SecondsPerTick(GetCounterFrequency());
    return TicksToSeconds(*pEnd - *pStart, fSecondsPerTick);
}

void CountFrame(float fFrameTime, double* pdTotalTime, float* pfTotalTime, int32_t* piFrameCount) {
    *pdTotalTime += static_cast<double>(fFrameTime);
    *pfTotalTime = static_cast<float>(*pdTotalTime);
    *piFrameCount += 1;
}

void FormatFrameTitle(char (&sWindowTitle)[kWindowTitleSize], float fFrameTime, float fTotalTime,
                      int32_t iFrameCount) {
    const double dFrameRate = 1.0 / static_cast<double>(fFrameTime);
    const double dMeanRate = static_cast<double>(iFrameCount) * 1.0 / static_cast<double>(fTotalTime);
    const float fMeanTime = fTotalTime / static_cast<float>(iFrameCount);
    std::snprintf(sWindowTitle, sizeof sWindowTitle, "Fps: %f - %f s, %f - %f s", dFrameRate,
                  static_cast<double>(fFrameTime), dMeanRate, static_cast<double>(fMeanTime));
}

void CountFrameForTitle(int64_t cnt1, double* pdTotalTime, float* pfTotalTime, int32_t* piFrameCount,
                        char (&sWindowTitle)[kWindowTitleSize]) {
    int64_t cnt2 = 0;
    ReadCounter(&cnt2);
    const float dt = GetElapsedSeconds(&cnt2, &cnt1);
    CountFrame(dt, pdTotalTime, pfTotalTime, piFrameCount);
    FormatFrameTitle(sWindowTitle, dt, *pfTotalTime, *piFrameCount);
}
