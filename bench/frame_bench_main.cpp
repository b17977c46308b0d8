// Runs the frame benchmarks in the prepared folder and ends with the ratios that say
// how close a frame comes to the work it cannot avoid. Medians over repetitions are
// the measure; unless the command line says otherwise, each benchmark runs 9 times,
// the repetitions of all benchmarks interleaved at random so that a machine whose
// load changes meanwhile slows them alike, and only the aggregates are shown.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "bench/bench_setup.h"

namespace {

constexpr const char* kDefaultOptions[] = {
    "--benchmark_repetitions=9",
    "--benchmark_enable_random_interleaving=true",
    "--benchmark_display_aggregates_only=true",
};

// Without a display, frames show their title as a status line on standard error;
// on a terminal it is wiped before the table or the ratios continue.
bool StatusLineShares(std::FILE* stream) {
    return isatty(fileno(stream)) != 0 && isatty(STDERR_FILENO) != 0;
}

// The console table, keeping each benchmark's median wall time in seconds (its only
// time when it ran once).
class MedianReporter : public benchmark::ConsoleReporter {
public:
    MedianReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if ((median || single) && !run.error_occurred) {
                seconds_[run.run_name.function_name] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            }
        }
        if (StatusLineShares(stdout)) GetOutputStream() << "\r\033[K";
        ConsoleReporter::ReportRuns(runs);
    }

    // Zero when the benchmark did not run.
    double Seconds(const std::string& name) const {
        const auto found = seconds_.find(name);
        return found == seconds_.end() ? 0.0 : found->second;
    }

private:
    std::map<std::string, double> seconds_;
};

void PrintRatios(const MedianReporter& reporter) {
    const double frame = reporter.Seconds("BM_ProcessFrame");
    const double fileFloor = reporter.Seconds("BM_FileFloor");
    const double deviceFloor = reporter.Seconds("BM_DeviceFloor");
    const double opencv = reporter.Seconds("BM_OpenCvFrame");
    if (StatusLineShares(stdout)) std::printf("\r\033[K");
    if (frame > 0 && fileFloor > 0 && deviceFloor > 0) {
        std::printf("BM_ProcessFrame / (BM_FileFloor + BM_DeviceFloor) = %.3f / (%.3f + %.3f) ms = %.2f\n",
                    frame * 1e3, fileFloor * 1e3, deviceFloor * 1e3, frame / (fileFloor + deviceFloor));
    }
    if (frame > 0 && opencv > 0) {
        std::printf("BM_OpenCvFrame / BM_ProcessFrame = %.3f / %.3f ms = %.2f\n", opencv * 1e3, frame * 1e3,
                    opencv / frame);
    }
}

// The command line with each default option added unless it names that option.
std::vector<char*> WithDefaults(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    for (const char* option : kDefaultOptions) {
        const size_t nameLength = std::strchr(option, '=') - option;
        bool given = false;
        for (int i = 1; i < argc; ++i) {
            given = given || std::strncmp(argv[i], option, nameLength) == 0;
        }
        if (!given) args.push_back(const_cast<char*>(option));
    }
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args = WithDefaults(argc, argv);
    int argCount = static_cast<int>(args.size());
    benchmark::Initialize(&argCount, args.data());
    if (benchmark::ReportUnrecognizedArguments(argCount, args.data())) return 1;

    const bool ready = SetUpBenchmarks();
    int status = 1;
    if (ready) {
        MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        PrintRatios(reporter);
        status = 0;
    }
    TearDownBenchmarks();
    benchmark::Shutdown();
    return status;
}
