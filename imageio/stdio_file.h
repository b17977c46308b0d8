#pragma once
// A FILE* that closes itself, so every early return in the readers and writers
// releases the handle.

#include <cstdio>
#include <memory>

struct StdioFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using StdioFile = std::unique_ptr<std::FILE, StdioFileCloser>;

inline StdioFile OpenStdioFile(const char* fileName, const char* mode) {
    return StdioFile(fileName ? std::fopen(fileName, mode) : nullptr);
}
