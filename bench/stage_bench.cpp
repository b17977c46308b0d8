// Each step of a frame on its own, through the same functions and OpenCL calls that
// ProcessFrame uses: reading the pair, the uploads, the launch (until its event
// completes), the read-back, saving depth.bmp and drawing.
#include <benchmark/benchmark.h>

#include "bench/bench_setup.h"
#include "bench/device_steps.h"
#include "display/draw_image.h"
#include "pipeline/depth_image.h"
#include "pipeline/stereo_input.h"

namespace {

void BM_ReadPair(benchmark::State& state) {
    for (auto _ : state) {
        int32_t iWidth = 0;
        int32_t iHeight = 0;
        const bool bRead = OpenStereoPair(&iWidth, &iHeight) && ReadStereoView(StereoView::Left) != nullptr &&
                           ReadStereoView(StereoView::Right) != nullptr;
        CloseStereoPair();
        if (!bRead) {
            state.SkipWithError("the pair cannot be read");
            break;
        }
    }
}
BENCHMARK(BM_ReadPair)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Uploads(benchmark::State& state) {
    for (auto _ : state) {
        if (UploadPair(Frame()) != CL_SUCCESS) {
            state.SkipWithError("upload failed");
            break;
        }
    }
}
BENCHMARK(BM_Uploads)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Launch(benchmark::State& state) {
    for (auto _ : state) {
        if (LaunchHalving(Frame()) != CL_SUCCESS || appState.vKernelEvents[0].wait() != CL_SUCCESS) {
            state.SkipWithError("launch failed");
            break;
        }
    }
}
BENCHMARK(BM_Launch)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ReadBack(benchmark::State& state) {
    for (auto _ : state) {
        if (ReadBackHalf(Frame(), nullptr) != CL_SUCCESS) {
            state.SkipWithError("read-back failed");
            break;
        }
    }
}
BENCHMARK(BM_ReadBack)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Save(benchmark::State& state) {
    const BenchFrame& frame = Frame();
    for (auto _ : state) {
        SaveDepthImage(frame.pOutputPixels.get(), frame.iOutputWidth, frame.iOutputHeight);
    }
}
BENCHMARK(BM_Save)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Draw(benchmark::State& state) {
    const BenchFrame& frame = Frame();
    for (auto _ : state) {
        DrawImageRgb(appState.hMainWindow, 0, 0, frame.pOutputPixels.get(), frame.iOutputWidth,
                     frame.iOutputHeight);
    }
}
BENCHMARK(BM_Draw)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
