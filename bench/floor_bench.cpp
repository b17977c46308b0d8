// What a frame cannot avoid, measured with nothing around it. BM_FileFloor: both
// views read whole with one call each and a file of depth.bmp's size written once,
// as a temporary file put in the previous one's place the way depth.bmp is. BM_DeviceFloor: the two blocking
// uploads, the launch on one-item work-groups and the blocking read-back.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "bench/bench_setup.h"
#include "bench/device_steps.h"
#include "imageio/native_file.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kFloorFile = "floor.bmp";
constexpr const char* kFloorTemporaryFile = "floor.bmp.tmp";

// Unbuffered, so each call is one request to the system and nothing is copied twice.
std::FILE* OpenUnbuffered(const char* fileName, const char* mode) {
    std::FILE* file = std::fopen(fileName, mode);
    if (file != nullptr) std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

// The buffer holds one byte more than the file, so the one read also meets the end.
size_t ReadWhole(const char* fileName, std::vector<unsigned char>* pBuffer) {
    std::FILE* file = OpenUnbuffered(fileName, "rb");
    if (file == nullptr) return 0;
    const size_t bytes = std::fread(pBuffer->data(), 1, pBuffer->size(), file);
    std::fclose(file);
    return bytes;
}

bool ReplaceFile(const char* fileName, const char* temporaryName, const std::vector<unsigned char>& bytes) {
    std::FILE* file = OpenUnbuffered(temporaryName, "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) return false;
    return MoveFileOver(temporaryName, fileName);
}

size_t DepthFileBytes(const BenchFrame& frame) {
    const size_t stride = (static_cast<size_t>(frame.iOutputWidth) * 3 + 3) & ~size_t{3};
    return 54 + stride * static_cast<size_t>(frame.iOutputHeight);
}

void BM_FileFloor(benchmark::State& state) {
    std::vector<unsigned char> vLeft(fs::file_size("im2.bmp") + 1);
    std::vector<unsigned char> vRight(fs::file_size("im6.bmp") + 1);
    const std::vector<unsigned char> vDepth(DepthFileBytes(Frame()), 0x80);
    for (auto _ : state) {
        const size_t bytes = ReadWhole("im2.bmp", &vLeft) + ReadWhole("im6.bmp", &vRight);
        if (bytes + 2 != vLeft.size() + vRight.size() ||
            !ReplaceFile(kFloorFile, kFloorTemporaryFile, vDepth)) {
            state.SkipWithError("file work failed");
            break;
        }
    }
}
BENCHMARK(BM_FileFloor)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_DeviceFloor(benchmark::State& state) {
    const BenchFrame& frame = Frame();
    if (SetHalvingArguments(frame) != CL_SUCCESS) {
        state.SkipWithError("cannot set the kernel's arguments");
        return;
    }
    for (auto _ : state) {
        if (UploadPair(frame) != CL_SUCCESS || EnqueueHalving(frame) != CL_SUCCESS ||
            ReadBackHalf(frame, &appState.vKernelEvents) != CL_SUCCESS) {
            state.SkipWithError("device work failed");
            break;
        }
    }
}
// Device threads do the work, so wall-clock time is the measure.
BENCHMARK(BM_DeviceFloor)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
