#include "imageio/jpeg_table_check.h"

#include <cstdint>

namespace {

constexpr int kDht = 0xC4;
constexpr int kDqt = 0xDB;
constexpr int kSos = 0xDA;
constexpr int kEoi = 0xD9;
constexpr int kProgressiveFrame = 0xC2;
constexpr int kSlots = 4;  // per class; the decoder refuses selectors above them

// Which Huffman slots of each class (0 DC, 1 AC) a DHT has filled so far, which
// quantisation slots a DQT has, and which quantisation slots the frame's components name.
struct DefinedTables {
    bool slot[2][kSlots] = {};
    bool quantisation[kSlots] = {};
    bool framed[kSlots] = {};
};

bool IsRestart(int marker) {
    return marker >= 0xD0 && marker <= 0xD7;
}

bool IsFrame(int marker) {
    return marker == 0xC0 || marker == 0xC1 || marker == kProgressiveFrame;
}

// The tables of one DQT segment, as the decoder reads them: while the length left is
// positive, a precision-and-slot byte and 64 entries of 1 or 2 bytes.
void ReadQuantisation(const unsigned char* bytes, size_t size, size_t at, int64_t left,
                      DefinedTables* pDefined) {
    while (left > 0 && at < size) {
        const int precision = bytes[at] >> 4;
        const int slot = bytes[at] & 15;
        if (slot < kSlots) pDefined->quantisation[slot] = true;
        const int64_t entries = precision != 0 ? 128 : 64;
        at += 1 + static_cast<size_t>(entries);
        left -= 1 + entries;
    }
}

// The quantisation slots that the frame header at `at` gives its components.
void ReadFrame(const unsigned char* bytes, size_t size, size_t at, DefinedTables* pDefined) {
    if (at + 5 >= size) return;
    const size_t components = bytes[at + 5];
    for (size_t c = 0; c < components && at + 8 + 3 * c < size; ++c) {
        const int slot = bytes[at + 8 + 3 * c];
        if (slot < kSlots) pDefined->framed[slot] = true;
    }
}

// Whether every quantisation slot that the frame's components name has been filled:
// the decoder multiplies by whatever an unfilled one holds.
bool FrameQuantisationDefined(const DefinedTables& defined) {
    for (int slot = 0; slot < kSlots; ++slot) {
        if (defined.framed[slot] && !defined.quantisation[slot]) return false;
    }
    return true;
}

// From a marker's FF: skips fill bytes and returns the marker code, or -1 at the end.
int MarkerAt(const unsigned char* bytes, size_t size, size_t* pAt) {
    while (*pAt < size && bytes[*pAt] == 0xFF) ++*pAt;
    return *pAt < size ? bytes[(*pAt)++] : -1;
}

// The tables of one DHT segment, read as the decoder reads them: while the length left
// is positive, a class-and-slot byte, 16 counts, then as many symbols as they add to.
// Like the decoder, bytes past the end of the file read as zero. False for a table of
// more than 256 codes.
bool ReadTables(const unsigned char* bytes, size_t size, size_t at, int64_t left, DefinedTables* pDefined) {
    while (left > 0 && at < size) {
        const int tableClass = bytes[at] >> 4;
        const int slot = bytes[at] & 15;
        int64_t codes = 0;
        for (size_t i = at + 1; i <= at + 16 && i < size; ++i) codes += bytes[i];
        if (codes > 256) return false;
        if (tableClass <= 1 && slot < kSlots) pDefined->slot[tableClass][slot] = true;
        at += 17 + static_cast<size_t>(codes);
        left -= 17 + codes;
    }
    return true;
}

// Whether every table the scan at `at` (its component count) decodes with has been
// defined: a first DC scan of a progressive frame takes the DC tables, its AC scans
// (a spectrum past 0) the AC tables, and a sequential scan both.
bool ScanTablesDefined(const unsigned char* bytes, size_t size, size_t at, bool progressive,
                       const DefinedTables& defined) {
    if (at >= size) return true;
    const size_t components = bytes[at];
    const size_t spectrum = at + 1 + 2 * components;
    if (spectrum + 2 >= size) return true;
    const bool dc = !progressive || (bytes[spectrum] == 0 && (bytes[spectrum + 2] >> 4) == 0);
    const bool ac = !progressive || bytes[spectrum] != 0;
    for (size_t c = 0; c < components; ++c) {
        const int selectors = bytes[at + 2 + 2 * c];
        const int dcSlot = selectors >> 4;
        const int acSlot = selectors & 15;
        if (dc && dcSlot < kSlots && !defined.slot[0][dcSlot]) return false;
        if (ac && acSlot < kSlots && !defined.slot[1][acSlot]) return false;
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

const char* JpegTableProblem(const unsigned char* bytes, size_t size) {
    DefinedTables defined;
    bool progressive = false;
    size_t at = 2;  // past the start-of-image marker
    while (at < size) {
        // Where no marker stands the decoder either searches on for one or fails, so
        // searching on misses nothing it would read.
        if (bytes[at] != 0xFF) {
            ++at;
            continue;
        }
        const int marker = MarkerAt(bytes, size, &at);
        if (marker < 0 || marker == kEoi) return nullptr;
        if (IsRestart(marker) || marker == 0x01 || marker == 0x00) continue;  // no length follows
        if (at + 2 > size) return nullptr;
        const size_t length = static_cast<size_t>(bytes[at]) << 8 | bytes[at + 1];
        if (length < 2) return nullptr;
        if (marker == kProgressiveFrame) progressive = true;
        if (marker == kDht && !ReadTables(bytes, size, at + 2, static_cast<int64_t>(length) - 2, &defined)) {
            return "a Huffman table of more than 256 codes";
        }
        if (marker == kDqt) ReadQuantisation(bytes, size, at + 2, static_cast<int64_t>(length) - 2, &defined);
        if (IsFrame(marker)) ReadFrame(bytes, size, at + 2, &defined);
        if (marker == kSos && !ScanTablesDefined(bytes, size, at + 2, progressive, defined)) {
            return "a scan uses a Huffman table that the file has not defined before it";
        }
        if (marker == kSos && !FrameQuantisationDefined(defined)) {
            return "a scan comes before the quantisation tables that the frame names";
        }
        at += length;
        if (marker == kSos) at = EndOfScan(bytes, size, at);
    }
    return nullptr;
}
