#pragma once
// The pairs korrdepth's frame is measured on: the cones pair from the shared test data,
// and generated pairs at the sizes and ranges of common stereo data sets, written once
// into a folder of this run's own, which is removed at the end.

#include <cstdint>
#include <filesystem>
#include <string>

struct StereoBenchCase {
    const char* name;
    int32_t iWidth;
    int32_t iHeight;
    int iMaxDisparity;
    bool bCones;  // the shared cones pair; else a generated one
};

extern const StereoBenchCase kStereoBenchCases[5];

// The folder holding the case's im2.bmp and im6.bmp; empty, with the reason, when
// there is none.
std::filesystem::path StereoBenchPairFolder(const StereoBenchCase& benchCase, std::string* pReason);
// Where a frame's output goes: a folder of this run's own.
std::filesystem::path StereoBenchScratchFolder();
