#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <climits>

#include "imageio/native_file.h"

namespace {

HANDLE ToHandle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// The system's own text for an error, without its closing full stop and line end.
void SetReason(std::string* psReason, DWORD error) {
    if (!psReason) return;
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        error, 0, text, sizeof text, nullptr);
    std::string reason(text, length);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    *psReason = reason.empty() ? "error " + std::to_string(error) : reason;
}

// ".depth.bmp.<pid>.tmp" beside "depth.bmp": never shared by two processes
// writing the same name.
std::string TemporaryNameFor(const std::string& fileName) {
    const size_t slash = fileName.find_last_of("/\\:");
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return fileName.substr(0, nameStart) + "." + fileName.substr(nameStart) + "." +
           std::to_string(GetCurrentProcessId()) + ".tmp";
}

bool WriteAll(HANDLE file, const unsigned char* data, size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr)) return false;
        data += written;
        size -= written;
    }
    return true;
}

}  // namespace

InputFile::~InputFile() {
    Close();
}

void InputFile::Close() {
    if (handle_ != -1) CloseHandle(ToHandle(handle_));
    handle_ = -1;
    length_ = 0;
}

FileOpenResult InputFile::Open(const char* fileName) {
    Close();
    if (fileName == nullptr) return FileOpenResult::CannotOpen;
    const DWORD attributes = GetFileAttributesA(fileName);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return FileOpenResult::NotRegular;
    // Others may go on writing, renaming or deleting the file while it is read.
    HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FileOpenResult::CannotOpen;
    LARGE_INTEGER size;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return FileOpenResult::NotRegular;
    }
    handle_ = reinterpret_cast<intptr_t>(file);
    length_ = static_cast<int64_t>(size.QuadPart);
    return FileOpenResult::Opened;
}

bool InputFile::ReadAt(int64_t offset, void* buffer, size_t count, size_t* pGot) {
    *pGot = 0;
    unsigned char* out = static_cast<unsigned char*>(buffer);
    while (*pGot < count) {
        const uint64_t at = static_cast<uint64_t>(offset) + *pGot;
        OVERLAPPED place = {};
        place.Offset = static_cast<DWORD>(at);
        place.OffsetHigh = static_cast<DWORD>(at >> 32);
        const size_t left = count - *pGot;
        const DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!ReadFile(ToHandle(handle_), out + *pGot, chunk, &got, &place)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return false;
        }
        if (got == 0) break;
        *pGot += got;
    }
    return true;
}

// A reader that holds the file without sharing its deletion makes the replace fail
// with a sharing error; the caller tries again with its next file.
bool ReplaceFileWhole(const char* fileName, const void* data, size_t size, std::string* psReason) {
    if (fileName == nullptr) return false;
    const std::string temporary = TemporaryNameFor(fileName);
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        SetReason(psReason, GetLastError());
        return false;
    }
    bool ok = WriteAll(file, static_cast<const unsigned char*>(data), size);
    DWORD error = GetLastError();
    if (!CloseHandle(file) && ok) {
        ok = false;
        error = GetLastError();
    }
    if (ok && !MoveFileOver(temporary.c_str(), fileName)) {
        ok = false;
        error = GetLastError();
    }
    if (!ok) {
        DeleteFileA(temporary.c_str());
        SetReason(psReason, error);
    }
    return ok;
}

bool MoveFileOver(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}
