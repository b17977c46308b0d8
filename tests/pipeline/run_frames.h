#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "pipeline/process_frame.h"
#include "tests/support/temp_dir.h"

// Runs `count` frames in `dir` and returns what they printed.
inline std::string RunFramesIn(const std::filesystem::path& dir, int count) {
    ScopedWorkingDirectory cwd(dir);
    testing::internal::CaptureStdout();
    for (int i = 0; i < count; ++i) ProcessFrame();
    return testing::internal::GetCapturedStdout();
}
