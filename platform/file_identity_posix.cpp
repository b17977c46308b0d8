#include <sys/stat.h>

#include "platform/file_identity.h"

bool ReadFileIdentity(const std::string& name, FileIdentity* pIdentity) {
    struct stat info {};
    if (stat(name.c_str(), &info) != 0) {
        return false;
    }
    pIdentity->volume = static_cast<uint64_t>(info.st_dev);
    pIdentity->file = static_cast<uint64_t>(info.st_ino);
    return true;
}
