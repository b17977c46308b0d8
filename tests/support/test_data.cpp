#include "tests/support/test_data.h"

namespace fs = std::filesystem;

fs::path SharedTestDataDir() {
    fs::path dir(KORRAPP_TESTDATA_DIR);
    std::error_code ec;
    return fs::is_directory(dir, ec) ? dir : fs::path();
}

std::string SharedTestDataMissing() {
    return std::string("shared test data not found at ") + KORRAPP_TESTDATA_DIR +
           " (set KORRAPP_TESTDATA_DIR to run these tests)";
}

fs::path KernelSourceFile() {
    return fs::path(KORRAPP_KERNEL_SOURCE);
}

fs::path StereoKernelSourceFile() {
    return fs::path(KORRAPP_STEREO_KERNEL_SOURCE);
}
