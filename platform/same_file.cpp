#include "platform/same_file.h"

#include <filesystem>
#include <system_error>

#include "platform/file_identity.h"

namespace fs = std::filesystem;

namespace {

// Links among the folders that exist are followed, so "a/../b" and "b" agree.
fs::path Normalised(const std::string& name) {
    std::error_code error;
    fs::path path = fs::absolute(fs::path(name), error);
    if (error) {
        path = fs::path(name);
    }
    const fs::path resolved = fs::weakly_canonical(path, error);
    return error ? path.lexically_normal() : resolved;
}

}  // namespace

bool PlatformSameFile(const std::string& first, const std::string& second) {
    FileIdentity a, b;
    if (ReadFileIdentity(first, &a) && ReadFileIdentity(second, &b)) {
        return a.volume == b.volume && a.file == b.file;
    }
    return Normalised(first) == Normalised(second);
}
