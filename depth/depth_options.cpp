#include "depth/depth_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "depth/stereo_matcher.h"

const char kDepthUsage[] =
    "usage: korrdepth [--once] [--max-disparity N] [--left FILE] [--right FILE] [--output FILE]\n"
    "                 [--pfm FILE] [--truth FILE [--truth-mask FILE] [--truth-scale S]]\n"
    "                 [--focal PX --baseline MM [--doffs PX]] [--depth FILE] [--ply FILE]\n"
    "       korrdepth [options] [--name NAME] DIR\n"
    "       korrdepth --kitti DIR OUTDIR [--max-disparity N]\n"
    "Computes the disparity of the left view of a stereo pair on the OpenCL device, frame\n"
    "after frame, in a window that shows the left view, the right view and the disparity.\n"
    "  --once             one frame without a window; exit status 0 when it was written, 1 if not\n"
    "  --max-disparity N  the largest disparity searched, 1 to 1024 pixels, below the views' width\n"
    "                     (default 64; a scene folder's ndisp - 1; 191 for --kitti)\n"
    "  --left FILE        left view: PNG, JPEG, BMP or binary PPM (default im2.bmp)\n"
    "  --right FILE       right view, likewise (default im6.bmp)\n"
    "  --output FILE      the disparity as a grey BMP, 4 grey levels per pixel of disparity,\n"
    "                     black where there is no estimate (default disparity.bmp; none for DIR)\n"
    "  --pfm FILE         also the exact disparities as a little-endian PFM, infinity where\n"
    "                     there is no estimate (for DIR: disp0NAME.pfm)\n"
    "  --truth FILE       print scores against this true disparity: a float PFM (infinity\n"
    "                     unknown), a 16-bit PNG of disparity x 256 or, with --truth-scale S, a\n"
    "                     picture of disparity x S (0 unknown)\n"
    "  --truth-mask FILE  which pixels both views see: 255 visible, 128 occluded, 0 no truth\n"
    "  --focal PX, --baseline MM, --doffs PX\n"
    "                     the camera, for --depth and --ply (a scene folder's calib.txt gives it)\n"
    "  --depth FILE       the left view's depth in metres as a PFM, infinity where no estimate\n"
    "  --ply FILE         the points with their colours as a binary PLY, metres\n"
    "  DIR                a scene folder: im0.png, im1.png, calib.txt, and disp0GT.pfm and\n"
    "                     mask0nocc.png when there; results go to disp0NAME.pfm and\n"
    "                     timeNAME.txt in the working folder\n"
    "  --name NAME        NAME in those file names (default korrdepth)\n"
    "  --kitti DIR OUTDIR every pair DIR/image_2/*_10.png with DIR/image_3 (or colored_0 and\n"
    "                     colored_1) into OUTDIR/disp_0/ as 16-bit PNG of disparity x 256,\n"
    "                     scored against DIR/disp_occ_0 and disp_noc_0 where there\n"
    "  --version          the version\n"
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

bool ParseReal(const char* text, bool bPositive, double* pValue) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !std::isfinite(value) || (bPositive && !(value > 0.0))) {
        return false;
    }
    *pValue = value;
    return true;
}

struct Parsed {
    double dFocal = 0.0;
    double dBaselineMm = 0.0;
    double dDoffs = 0.0;
    std::string sGiven;  // the options given, each followed by a space
};

bool Given(const Parsed& parsed, const char* name) {
    return parsed.sGiven.find(std::string(name) + " ") != std::string::npos;
}

// The options that only make sense together, or apart.
std::string CombinationProblem(const DepthOptions& options, const Parsed& parsed) {
    const bool kitti = !options.sKittiDir.empty();
    for (const char* name :
         {"--left", "--right", "--output", "--pfm", "--truth", "--truth-mask", "--truth-scale", "--focal",
          "--baseline", "--doffs", "--depth", "--ply", "--name", "--once"}) {
        if (kitti && Given(parsed, name)) return std::string(name) + " does not go with --kitti";
    }
    if (kitti && !options.sSceneDir.empty()) return "a scene folder does not go with --kitti";
    for (const char* name : {"--left", "--right"}) {
        if (!options.sSceneDir.empty() && Given(parsed, name))
            return std::string(name) + " does not go with a scene folder";
    }
    if (Given(parsed, "--focal") != Given(parsed, "--baseline") ||
        (Given(parsed, "--doffs") && !Given(parsed, "--focal"))) {
        return "--focal and --baseline come together (--doffs with them)";
    }
    const bool camera = Given(parsed, "--focal") || !options.sSceneDir.empty();
    for (const char* name : {"--depth", "--ply"}) {
        if (Given(parsed, name) && !camera) {
            return std::string(name) +
                   " needs a camera: --focal and --baseline, or a scene folder's calib.txt";
        }
    }
    const bool truth = Given(parsed, "--truth") || !options.sSceneDir.empty();
    for (const char* name : {"--truth-mask", "--truth-scale"}) {
        if (Given(parsed, name) && !truth) return std::string(name) + " needs --truth";
    }
    return std::string();
}

}  // namespace

DepthCommand ParseDepthOptions(int argc, const char* const* argv, DepthOptions* pOptions,
                               std::string* pError) {
    struct TextOption {
        const char* name;
        std::string* pValue;
    };
    const TextOption texts[] = {
        {"--left", &pOptions->sLeftFile},     {"--right", &pOptions->sRightFile},
        {"--output", &pOptions->sOutputFile}, {"--pfm", &pOptions->sPfmFile},
        {"--truth", &pOptions->sTruthFile},   {"--truth-mask", &pOptions->sTruthMaskFile},
        {"--depth", &pOptions->sDepthFile},   {"--ply", &pOptions->sPlyFile},
        {"--name", &pOptions->sName},         {"--kitti", &pOptions->sKittiDir}};
    Parsed parsed;
    struct NumberOption {
        const char* name;
        bool bPositive;
        double* pValue;
    };
    const NumberOption numbers[] = {{"--truth-scale", true, &pOptions->dTruthScale},
                                    {"--focal", true, &parsed.dFocal},
                                    {"--baseline", true, &parsed.dBaselineMm},
                                    {"--doffs", false, &parsed.dDoffs}};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return DepthCommand::Help;
        if (arg == "--version") return DepthCommand::Version;
        if (arg == "--once") {
            pOptions->bOnce = true;
            parsed.sGiven += arg + " ";
            continue;
        }
        if (arg.rfind("-", 0) != 0 && pOptions->sSceneDir.empty()) {
            pOptions->sSceneDir = arg;
            continue;
        }
        const TextOption* text = nullptr;
        const NumberOption* number = nullptr;
        for (const TextOption& t : texts) text = arg == t.name ? &t : text;
        for (const NumberOption& n : numbers) number = arg == n.name ? &n : number;
        if (text == nullptr && number == nullptr && arg != "--max-disparity") {
            *pError = "unknown argument '" + arg + "'";
            return DepthCommand::Mistake;
        }
        const int values = arg == "--kitti" ? 2 : 1;
        for (int v = 1; v <= values; ++v) {
            if (i + v >= argc || argv[i + v][0] == '\0') {
                *pError = arg + (values == 2 ? " needs two values" : " needs a value");
                return DepthCommand::Mistake;
            }
        }
        parsed.sGiven += arg + " ";
        const char* value = argv[++i];
        if (arg == "--max-disparity") {
            if (!ParseDisparity(value, &pOptions->iMaxDisparity)) {
                *pError = "--max-disparity must be a whole number from " + std::to_string(kMinMaxDisparity) +
                          " to " + std::to_string(kMaxMaxDisparity) + ", not '" + value + "'";
                return DepthCommand::Mistake;
            }
            pOptions->bMaxDisparityGiven = true;
        } else if (number != nullptr) {
            if (!ParseReal(value, number->bPositive, number->pValue)) {
                *pError = arg + " must be a " + (number->bPositive ? "positive " : "") + "number, not '" +
                          value + "'";
                return DepthCommand::Mistake;
            }
        } else {
            *text->pValue = value;
        }
        if (arg == "--kitti") pOptions->sKittiOutputDir = argv[++i];
    }
    *pError = CombinationProblem(*pOptions, parsed);
    if (!pError->empty()) return DepthCommand::Mistake;
    if (!pOptions->sSceneDir.empty()) {
        // Named as a Middlebury submission names its results.
        if (!Given(parsed, "--output")) pOptions->sOutputFile.clear();
        if (!Given(parsed, "--pfm")) pOptions->sPfmFile = "disp0" + pOptions->sName + ".pfm";
        pOptions->sTimeFile = "time" + pOptions->sName + ".txt";
    }
    if (Given(parsed, "--focal")) {
        // Without calib.txt the principal point is the view's centre.
        pOptions->camera =
            StereoCamera{parsed.dFocal, parsed.dFocal, NAN, NAN, parsed.dDoffs, parsed.dBaselineMm};
    }
    return DepthCommand::Run;
}
