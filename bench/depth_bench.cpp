// korrdepth's whole frame, as ProcessDepthFrame runs it: reading both views, the device
// work, the read-back and writing the grey BMP, on the cones pair and on generated
// pairs up to 3000 x 2000 pixels. Beside it, the device time of each kernel in a frame,
// from a queue that profiles, and, where OpenCV is built in, its semi-global matcher
// doing the same whole frame, alone and in turn with korrdepth's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "bench/resident_memory.h"
#include "bench/stereo_bench_pairs.h"
#include "compute/init_opencl.h"
#include "depth/depth_frame.h"
#include "depth/view_pair.h"
#if defined(KORRAPP_OPENCV_SGBM)
#include "bench/opencv_sgbm_bench.h"
#endif

namespace fs = std::filesystem;

namespace {

constexpr int kProfiledFrames = 10;

// stereo.cl is read from the working directory: the run folder's copy.
bool SetUp(DepthState* pState, cl_command_queue_properties properties, const StereoBenchCase& benchCase,
           const fs::path& pair) {
    static const bool movedToRunDir = (fs::current_path(KORRAPP_RUN_DIR), true);
    (void)movedToRunDir;
    pState->options.iMaxDisparity = benchCase.iMaxDisparity;
    pState->options.sLeftFile = (pair / "im2.bmp").string();
    pState->options.sRightFile = (pair / "im6.bmp").string();
    pState->options.sOutputFile = (StereoBenchScratchFolder() / "disparity.bmp").string();
    ComputeDevice device;
    return InitComputeDevice(properties, &device) && pState->matcher.Init(device, benchCase.iMaxDisparity);
}

// Sizes and ranges the command line would refuse.
std::string Refusal(const StereoBenchCase& benchCase) {
    if (benchCase.iMaxDisparity > kMaxMaxDisparity) {
        return "korrdepth searches at most " + std::to_string(kMaxMaxDisparity) + " disparities, not " +
               std::to_string(benchCase.iMaxDisparity);
    }
    if (std::max(benchCase.iWidth, benchCase.iHeight) > kMaxViewSize) {
        return "korrdepth takes views of at most " + std::to_string(kMaxViewSize) + " pixels a side";
    }
    return std::string();
}

void CountKernelTimes(benchmark::State& state, const StereoBenchCase& benchCase, const fs::path& pair) {
    DepthState profiled;
    if (!SetUp(&profiled, CL_QUEUE_PROFILING_ENABLE, benchCase, pair)) {
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

// Sets up korrdepth's frame and runs its first ones; false, the benchmark skipped with
// the reason, where it cannot. `pPair` gets the pair's folder.
bool ReadyDepthFrame(benchmark::State& state, const StereoBenchCase& benchCase, DepthState* pDepth,
                     fs::path* pPair) {
    std::string reason = Refusal(benchCase);
    if (reason.empty()) {
        *pPair = StereoBenchPairFolder(benchCase, &reason);
    }
    if (!reason.empty()) {
        state.SkipWithError(reason.c_str());
        return false;
    }
    bool bReady = SetUp(pDepth, 0, benchCase, *pPair);
    for (int i = 0; i < kSettlingFrames && bReady; ++i) {
        bReady = ProcessDepthFrame(pDepth);
    }
    if (!bReady) {
        state.SkipWithError("korrdepth's setup or first frames failed");
    }
    return bReady;
}

// An unchanged pair would be given again undecoded; each frame reads both views, as the
// peer's does.
bool ProcessFrameReadingBothViews(DepthState* pDepth) {
    pDepth->reader = ViewPairReader();
    return ProcessDepthFrame(pDepth);
}

void BM_DepthFrame(benchmark::State& state, const StereoBenchCase& benchCase) {
    DepthState depth;
    fs::path pair;
    if (!ReadyDepthFrame(state, benchCase, &depth, &pair)) {
        return;
    }
    const uint64_t warmBytes = ResidentBytes();
    for (auto _ : state) {
        if (!ProcessFrameReadingBothViews(&depth)) {
            state.SkipWithError("a frame failed");
            return;
        }
    }
    CountResidentMemory(state, warmBytes);
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    CountKernelTimes(state, benchCase, pair);
}

#if defined(KORRAPP_OPENCV_SGBM)
// korrdepth's frame and the peer's in turn, timed each: this machine's speed drifts by
// a quarter within minutes, which two benchmarks run one after the other meet
// differently, while frames in turn meet it alike. The time is korrdepth's; the
// counters give the peer's and how many times korrdepth's it took.
void BM_DepthFrameAgainstPeer(benchmark::State& state, const StereoBenchCase& benchCase) {
    DepthState depth;
    fs::path pair;
    if (!ReadyDepthFrame(state, benchCase, &depth, &pair)) {
        return;
    }
    std::string reason;
    const std::function<bool()> peerFrame = MakeOpenCvSgbmFrame(benchCase, &reason);
    if (!peerFrame) {
        state.SkipWithError(reason.c_str());
        return;
    }
    using Clock = std::chrono::steady_clock;
    Clock::duration own{};
    Clock::duration peer{};
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const bool bOwn = ProcessFrameReadingBothViews(&depth);
        const Clock::time_point middle = Clock::now();
        const bool bPeer = peerFrame();
        const Clock::time_point end = Clock::now();
        if (!bOwn || !bPeer) {
            state.SkipWithError(bOwn ? "the peer's frame failed" : "a frame failed");
            return;
        }
        own += middle - start;
        peer += end - middle;
        state.SetIterationTime(std::chrono::duration<double>(middle - start).count());
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["peer_ms"] = std::chrono::duration<double, std::milli>(peer).count() / iterations;
    state.counters["peer_over_korrdepth"] =
        std::chrono::duration<double>(peer).count() / std::chrono::duration<double>(own).count();
}
#endif

}  // namespace

// Each size's korrdepth frame and OpenCV's next to each other.
int main(int argc, char** argv) {
    for (const StereoBenchCase& benchCase : kStereoBenchCases) {
        const std::string name = std::string(benchCase.name) + "/" + std::to_string(benchCase.iMaxDisparity);
        benchmark::RegisterBenchmark(("BM_DepthFrame/" + name).c_str(), BM_DepthFrame, benchCase)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();  // device threads do the work
#if defined(KORRAPP_OPENCV_SGBM)
        RegisterOpenCvSgbmFrame(name, benchCase);
        benchmark::RegisterBenchmark(("BM_DepthFrameAgainstPeer/" + name).c_str(), BM_DepthFrameAgainstPeer,
                                     benchCase)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
#endif
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
