#include "tests/support/imagemagick.h"

#include <cstdlib>

bool HaveImageMagick() {
    return std::system("convert -version > /dev/null 2>&1") == 0;
}

const char* ImageMagickMissing() {
    return "ImageMagick's convert is not installed (scripts/install_deps.sh installs it)";
}

bool Convert(const std::string& arguments) {
    return std::system(("convert " + arguments + " > /dev/null 2>&1").c_str()) == 0;
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}
