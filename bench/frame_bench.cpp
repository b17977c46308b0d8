// Whole frames, as the program runs them: the pair read from the prepared folder,
// the device work, depth.bmp written, the result drawn and the title set.
#include <benchmark/benchmark.h>

#include "pipeline/process_frame.h"

namespace {

void BM_ProcessFrame(benchmark::State& state) {
    for (auto _ : state) {
        ProcessFrame();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
