// Where a frame's time goes: reading the pair, writing the result, and whole frames
// on the OpenCL device the setup picks. Runs on the sample pair of the run folder.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "compute/app_state.h"
#include "compute/init_opencl.h"
#include "imageio/image_files.h"
#include "pipeline/process_frame.h"

namespace fs = std::filesystem;

namespace {

// A scratch copy of the run folder, made the working directory for the benchmarks.
struct BenchFolder {
    BenchFolder() : path(fs::temp_directory_path() / "korrapp-bench") {
        fs::create_directories(path);
        for (const char* name : {"test.cl", "im2.bmp", "im6.bmp"}) {
            fs::copy_file(fs::path(KORRAPP_RUN_DIR) / name, path / name,
                          fs::copy_options::overwrite_existing);
        }
        fs::current_path(path);
    }
    fs::path path;
};

BenchFolder& Folder() {
    static BenchFolder folder;
    return folder;
}

void BM_LoadBmpRgb(benchmark::State& state) {
    Folder();
    for (auto _ : state) {
        int32_t width = 0;
        int32_t height = 0;
        std::unique_ptr<unsigned char[]> pixels(LoadBmpRgb("im2.bmp", &width, &height));
        benchmark::DoNotOptimize(pixels.get());
    }
}
BENCHMARK(BM_LoadBmpRgb)->Unit(benchmark::kMicrosecond);

void BM_SaveBmpFromRgb(benchmark::State& state) {
    Folder();
    int32_t width = 0;
    int32_t height = 0;
    std::unique_ptr<unsigned char[]> pixels(LoadBmpRgb("im2.bmp", &width, &height));
    for (auto _ : state) {
        SaveBmpFromRgb("bench-out.bmp", pixels.get(), width / 2, height / 2);
    }
}
BENCHMARK(BM_SaveBmpFromRgb)->Unit(benchmark::kMicrosecond);

void BM_ProcessFrame(benchmark::State& state) {
    Folder();
    // Once per run; its report names the device the frames ran on.
    static const bool ready = InitOpenCL();
    if (!ready) {
        state.SkipWithError("OpenCL setup failed");
        return;
    }
    for (auto _ : state) {
        ProcessFrame();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessFrame)->Unit(benchmark::kMillisecond)->UseRealTime();  // device threads do the work

}  // namespace

BENCHMARK_MAIN();
