#include "depth/output_guard.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    const fs::path pa = fs::u8path(a);
    const fs::path pb = fs::u8path(b);
    if (fs::equivalent(pa, pb, error)) return true;
    return fs::weakly_canonical(pa, error) == fs::weakly_canonical(pb, error) && !error;
}

}  // namespace

std::string OutputOverInput(const DepthOptions& options) {
    const std::string* outputs[] = {&options.sOutputFile, &options.sPfmFile, &options.sTimeFile,
                                    &options.sDepthFile, &options.sPlyFile};
    const std::string* inputs[] = {&options.sLeftFile, &options.sRightFile, &options.sTruthFile,
                                   &options.sTruthMaskFile};
    for (const std::string* output : outputs) {
        for (const std::string* input : inputs) {
            if (!output->empty() && !input->empty() && SameFile(*output, *input)) {
                return "The output " + *output + " would replace the input " + *input +
                       "; nothing was written";
            }
        }
    }
    return std::string();
}
