#include "imageio/jpeg_table_check.h"

#include <cstdint>

namespace {

constexpr int kDht = 0xC4;
constexpr int kSos = 0xDA;
constexpr int kEoi = 0xD9;

bool IsRestart(int marker) {
    return marker >= 0xD0 && marker <= 0xD7;
}

// From a marker's FF: skips fill bytes and returns the marker code, or -1 at the end.
int MarkerAt(const unsigned char* bytes, size_t size, size_t* pAt) {
    while (*pAt < size && bytes[*pAt] == 0xFF) ++*pAt;
    return *pAt < size ? bytes[(*pAt)++] : -1;
}

// The tables of one DHT segment, read as the decoder reads them: while the length left
// is positive, a class-and-slot byte, 16 counts, then as many symbols as they add to.
// Like the decoder, bytes past the end of the file read as zero.
bool TablesFit(const unsigned char* bytes, size_t size, size_t at, int64_t left) {
    while (left > 0 && at < size) {
        int64_t codes = 0;
        for (size_t i = at + 1; i <= at + 16 && i < size; ++i) codes += bytes[i];
        if (codes > 256) return false;
        at += 17 + static_cast<size_t>(codes);
        left -= 17 + codes;
    }
    return true;
}

// From the first byte of entropy-coded data to the FF of the marker that ends it;
// stuffed zero bytes and restart markers belong to the data.
size_t EndOfScan(const unsigned char* bytes, size_t size, size_t at) {
    for (; at + 1 < size; ++at) {
        if (bytes[at] != 0xFF) continue;
        size_t next = at + 1;
        while (next < size && bytes[next] == 0xFF) ++next;
        if (next < size && bytes[next] != 0 && !IsRestart(bytes[next])) return at;
        at = next;
    }
    return size;
}

}  // namespace

bool JpegHuffmanTablesFit(const unsigned char* bytes, size_t size) {
    size_t at = 2;  // past the start-of-image marker
    while (at < size) {
        // Where no marker stands the decoder either searches on for one or fails, so
        // searching on misses nothing it would read.
        if (bytes[at] != 0xFF) {
            ++at;
            continue;
        }
        const int marker = MarkerAt(bytes, size, &at);
        if (marker < 0 || marker == kEoi) return true;
        if (IsRestart(marker) || marker == 0x01 || marker == 0x00) continue;  // no length follows
        if (at + 2 > size) return true;
        const size_t length = static_cast<size_t>(bytes[at]) << 8 | bytes[at + 1];
        if (length < 2) return true;
        if (marker == kDht && !TablesFit(bytes, size, at + 2, static_cast<int64_t>(length) - 2)) return false;
        at += length;
        if (marker == kSos) at = EndOfScan(bytes, size, at);
    }
    return true;
}
