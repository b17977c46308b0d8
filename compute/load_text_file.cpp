#include "compute/load_text_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>

std::optional<std::string> LoadTextFile(const std::string& fileName) {
    // Asking the file system first turns a folder or a device into a plain failure
    // instead of a nonsense size to reserve.
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(fileName, ec);
    std::ifstream ifsFile(fileName);
    if (ec || !ifsFile) {
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
