// Whole frames, as the program runs them: the message loop's turn that finds no
// message pending (taking any that are, as the loop would), then the frame: the
// pair read from the prepared folder, the device work, depth.bmp written, the
// result drawn and the title set.
#include <benchmark/benchmark.h>

#include "pipeline/process_frame.h"
#include "platform/platform.h"

namespace {

void BM_ProcessFrame(benchmark::State& state) {
    PlatformMessage msg{};
    for (auto _ : state) {
        while (PlatformPeekMessage(&msg)) {
            PlatformTranslateMessage(msg);
            PlatformDispatchMessage(msg);
        }
        ProcessFrame();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
