#pragma once
// The readers take file names, so each fuzz input is written to one temporary
// file per process and read back from there, as the program reads its images.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

class FuzzInputFile {
public:
    FuzzInputFile() {
        char name[] = "/tmp/korr-fuzz-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) std::abort();
        close(fd);
        path_ = name;
    }
    ~FuzzInputFile() { std::remove(path_.c_str()); }

    const char* Write(const uint8_t* data, size_t size) const {
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (!file) std::abort();
        std::fwrite(data, 1, size, file);
        std::fclose(file);
        return path_.c_str();
    }

private:
    std::string path_;
};

// Reads the first and the last sample of a returned buffer, so the sanitizers see a
// buffer shorter than the size the reader reported; the readers write every sample
// themselves. Reading all of them would cost seconds for a large picture.
inline void TouchPixels(const unsigned char* pixels, int32_t width, int32_t height, int samples) {
    if (!pixels || width < 0 || height < 0) std::abort();
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height) * samples;
    volatile unsigned sum = pixels[0];
    if (count > 0) sum = sum + pixels[count - 1];
}
