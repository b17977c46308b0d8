// korrdepth's whole frame on the cones pair at 64 disparities: reading both views,
// the device work, the read-back and writing the grey BMP. Beside it, the device
// time of each kernel in a frame, from a queue that profiles.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "compute/init_opencl.h"
#include "depth/depth_frame.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMaxDisparity = 64;
constexpr int kProfiledFrames = 10;

// A folder of this run's own for the frames' output, removed at the end.
struct ScratchFolder {
    const fs::path path =
        fs::temp_directory_path() /
        ("korrdepth-bench-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    ScratchFolder() { fs::create_directories(path); }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

fs::path ConesDir() {
    return fs::path(KORRAPP_TESTDATA_DIR) / "middlebury" / "cones";
}

// stereo.cl is read from the working directory: the run folder's copy.
bool SetUp(DepthState* pState, cl_command_queue_properties properties, const fs::path& scratch) {
    static const bool movedToRunDir = (fs::current_path(KORRAPP_RUN_DIR), true);
    (void)movedToRunDir;
    pState->options.iMaxDisparity = kMaxDisparity;
    pState->options.sLeftFile = (ConesDir() / "im2.bmp").string();
    pState->options.sRightFile = (ConesDir() / "im6.bmp").string();
    pState->options.sOutputFile = (scratch / "disparity.bmp").string();
    ComputeDevice device;
    return InitComputeDevice(properties, &device) && pState->matcher.Init(device, kMaxDisparity);
}

void BM_DepthFrame(benchmark::State& state) {
    if (!fs::exists(ConesDir() / "im2.bmp")) {
        state.SkipWithError(("the cones pair is missing under " + ConesDir().string()).c_str());
        return;
    }
    const ScratchFolder folder;
    const fs::path& scratch = folder.path;
    DepthState depth;
    if (!SetUp(&depth, 0, scratch) || !ProcessDepthFrame(&depth)) {  // builds and warms up
        state.SkipWithError("korrdepth's setup or first frame failed");
        return;
    }
    for (auto _ : state) {
        if (!ProcessDepthFrame(&depth)) {
            state.SkipWithError("a frame failed");
            return;
        }
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);

    // The kernels' own times, each the fastest of a few frames.
    DepthState profiled;
    if (!SetUp(&profiled, CL_QUEUE_PROFILING_ENABLE, scratch)) {
        return;
    }
    std::map<std::string, double> fastest;
    double fastestSpan = 1e30;
    for (int i = 0; i < kProfiledFrames && ProcessDepthFrame(&profiled); ++i) {
        fastestSpan = std::min(fastestSpan, profiled.matcher.LastKernelSpanMilliseconds());
        for (const KernelTime& time : profiled.matcher.LastKernelTimes()) {
            auto [it, added] = fastest.emplace(time.sName, time.dMilliseconds);
            it->second = added ? time.dMilliseconds : std::min(it->second, time.dMilliseconds);
        }
    }
    for (const auto& [name, milliseconds] : fastest) {
        state.counters[name + "_ms"] = milliseconds;
    }
    state.counters["kernel_span_ms"] = fastestSpan;
}
BENCHMARK(BM_DepthFrame)->Unit(benchmark::kMillisecond)->UseRealTime();  // device threads do the work

}  // namespace

BENCHMARK_MAIN();
