#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "pipeline/frame_timing.h"

namespace {

// Runs frames of the given tick counts through the title arithmetic, as the frame does.
std::vector<std::string> Titles(int64_t frequency, std::initializer_list<int64_t> frameTicks) {
    const float secondsPerTick = SecondsPerTick(frequency);
    double totalTime = 0.0;
    float titleTotalTime = 0.0f;
    int32_t frameCount = 0;
    std::vector<std::string> titles;
    for (int64_t ticks : frameTicks) {
        const float dt = TicksToSeconds(ticks, secondsPerTick);
        CountFrame(dt, &totalTime, &titleTotalTime, &frameCount);
        char title[kWindowTitleSize];
        FormatFrameTitle(title, dt, titleTotalTime, frameCount);
        titles.emplace_back(title);
    }
    return titles;
}

TEST(FrameTitle, PowerOfTwoFrequencyGivesExactRatesAndRunningMeans) {
    const auto titles = Titles(1048576, {32768, 65536});
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titles[0], "Fps: 32.000000 - 0.031250 s, 32.000000 - 0.031250 s");
    EXPECT_EQ(titles[1], "Fps: 16.000000 - 0.062500 s, 21.333333 - 0.046875 s");
}

// Single-precision seconds per tick show in the rate; double arithmetic would say 40.
TEST(FrameTitle, SinglePrecisionShowsInTheRate) {
    const auto titles = Titles(10000000, {250000});
    EXPECT_EQ(titles[0], "Fps: 39.999999 - 0.025000 s, 39.999999 - 0.025000 s");
}

// Ten million frames of 1.5, 2 and 2.5 ms, about five and a half hours at the rate
// this program runs: the title's means stay those of the frames. A float sum alone
// stops taking in whole frames after about an hour, and its mean drifts by percents.
TEST(FrameTiming, RunningMeansHoldOverHoursOfFrames) {
    const int64_t frequency = GetCounterFrequency();
    const int64_t start = 0;
    const int64_t ends[] = {frequency * 3 / 2000, frequency * 2 / 1000, frequency * 5 / 2000};
    double totalTime = 0.0;
    float titleTotalTime = 0.0f;
    int32_t frameCount = 0;
    double exactTotal = 0.0;
    float dt = 0.0f;
    constexpr int32_t kFrames = 10000000;
    for (int32_t i = 0; i < kFrames; ++i) {
        dt = GetElapsedSeconds(&ends[i % 3], &start);
        exactTotal += static_cast<double>(dt);
        CountFrame(dt, &totalTime, &titleTotalTime, &frameCount);
    }
    ASSERT_EQ(frameCount, kFrames);
    char title[kWindowTitleSize];
    FormatFrameTitle(title, dt, titleTotalTime, frameCount);
    double rate = 0, time = 0, meanRate = 0, meanTime = 0;
    ASSERT_EQ(std::sscanf(title, "Fps: %lf - %lf s, %lf - %lf s", &rate, &time, &meanRate, &meanTime), 4)
        << title;
    const double exactMean = exactTotal / kFrames;
    EXPECT_NEAR(meanTime, exactMean, 2e-6) << title;
    EXPECT_NEAR(meanRate, 1.0 / exactMean, 1e-3) << title;
}

TEST(FrameTiming, ElapsedSecondsFollowTheRealCounter) {
    int64_t start = 0;
    int64_t end = 0;
    ReadCounter(&start);
    ReadCounter(&end);
    EXPECT_GE(end, start);
    EXPECT_GT(GetCounterFrequency(), 0);
    const int64_t oneSecond = start + GetCounterFrequency();
    EXPECT_NEAR(GetElapsedSeconds(&oneSecond, &start), 1.0f, 1e-6f);
}

}  // namespace
