#pragma once
#include <filesystem>
#include <string>

// Where the shared real-world data lives, or an empty path when this checkout has none.
// Tests that need it call GTEST_SKIP() with SharedTestDataMissing() as the message.
std::filesystem::path SharedTestDataDir();
std::string SharedTestDataMissing();

// The kernel source as it stands in the source tree.
std::filesystem::path KernelSourceFile();
// korrdepth's device code as it stands in the source tree.
std::filesystem::path StereoKernelSourceFile();
