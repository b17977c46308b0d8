#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/file_identity.h"

// Opened for no access at all, so that a file another program holds open still answers;
// a folder needs the backup flag to be opened.
bool ReadFileIdentity(const std::string& name, FileIdentity* pIdentity) {
    const HANDLE file = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool bKnown = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (!bKnown) {
        return false;
    }
    pIdentity->volume = info.dwVolumeSerialNumber;
    pIdentity->file = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}
