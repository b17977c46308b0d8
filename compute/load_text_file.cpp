#include "compute/load_text_file.h"

#include <fstream>
#include <iterator>

std::optional<std::string> LoadTextFile(const std::string& fileName) {
    std::ifstream ifsFile(fileName);
    if (!ifsFile.seekg(0, std::ios::end)) {
        return std::nullopt;
    }
    const std::streamoff size = ifsFile.tellg();
    if (size < 0 || !ifsFile.seekg(0, std::ios::beg)) {
        return std::nullopt;
    }
    std::string str;
    str.reserve(static_cast<size_t>(size));
    str.assign(std::istreambuf_iterator<char>(ifsFile), std::istreambuf_iterator<char>());
    if (ifsFile.bad()) {
        return std::nullopt;
    }
    return str;
}
