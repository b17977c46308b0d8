#include "depth/depth_options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "depth/stereo_matcher.h"

const char kDepthUsage[] =
    "usage: korrdepth [--once] [--max-disparity N] [--left FILE] [--right FILE] [--output FILE]\n"
    "                 [--pfm FILE]\n"
    "Computes the disparity of the left view of a stereo pair on the OpenCL device, frame\n"
    "after frame, in a window that shows the left view, the right view and the disparity.\n"
    "  --once             one frame without a window; exit status 0 when it was written, 1 if not\n"
    "  --max-disparity N  the largest disparity searched, 1 to 1024 pixels, below the views' width\n"
    "                     (default 64)\n"
    "  --left FILE        left view, BMP or binary PPM (default im2.bmp)\n"
    "  --right FILE       right view, likewise (default im6.bmp)\n"
    "  --output FILE      the disparity as a grey BMP, 4 grey levels per pixel of disparity,\n"
    "                     black where there is no estimate (default disparity.bmp)\n"
    "  --pfm FILE         also the exact disparities as a little-endian PFM, infinity where\n"
    "                     there is no estimate\n"
    "  --help             this text\n";

namespace {

bool ParseDisparity(const char* text, int* pValue) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < kMinMaxDisparity || value > kMaxMaxDisparity) {
        return false;
    }
    *pValue = static_cast<int>(value);
    return true;
}

}  // namespace

DepthCommand ParseDepthOptions(int argc, const char* const* argv, DepthOptions* pOptions,
                               std::string* pError) {
    struct FileOption {
        const char* name;
        std::string* pValue;
    };
    const FileOption files[] = {{"--left", &pOptions->sLeftFile},
                                {"--right", &pOptions->sRightFile},
                                {"--output", &pOptions->sOutputFile},
                                {"--pfm", &pOptions->sPfmFile}};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            return DepthCommand::Help;
        }
        if (arg == "--once") {
            pOptions->bOnce = true;
            continue;
        }
        const bool takesValue =
            arg == "--max-disparity" || std::any_of(std::begin(files), std::end(files),
                                                    [&](const FileOption& f) { return arg == f.name; });
        if (!takesValue) {
            *pError = "unknown argument '" + arg + "'";
            return DepthCommand::Mistake;
        }
        if (i + 1 >= argc || argv[i + 1][0] == '\0') {
            *pError = arg + " needs a value";
            return DepthCommand::Mistake;
        }
        const char* value = argv[++i];
        if (arg == "--max-disparity") {
            if (!ParseDisparity(value, &pOptions->iMaxDisparity)) {
                *pError = "--max-disparity must be a whole number from " + std::to_string(kMinMaxDisparity) +
                          " to " + std::to_string(kMaxMaxDisparity) + ", not '" + value + "'";
                return DepthCommand::Mistake;
            }
            continue;
        }
        for (const FileOption& f : files) {
            if (arg == f.name) {
                *f.pValue = value;
            }
        }
    }
    return DepthCommand::Run;
}
