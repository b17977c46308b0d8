#include "depth/output_guard.h"

#include "platform/same_file.h"

std::string OutputOverInput(const DepthOptions& options) {
    const std::string* outputs[] = {&options.sOutputFile, &options.sPfmFile, &options.sTimeFile,
                                    &options.sDepthFile, &options.sPlyFile};
    const std::string* inputs[] = {&options.sLeftFile, &options.sRightFile, &options.sTruthFile,
                                   &options.sTruthMaskFile};
    for (const std::string* output : outputs) {
        for (const std::string* input : inputs) {
            if (!output->empty() && !input->empty() && PlatformSameFile(*output, *input)) {
                return "the output " + *output + " would replace the input " + *input +
                       "; nothing was written";
            }
        }
    }
    return std::string();
}
