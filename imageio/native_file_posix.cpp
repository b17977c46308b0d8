#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "imageio/native_file.h"

namespace {

void SetReason(std::string* psReason, const char* reason) {
    if (psReason) *psReason = reason;
}

// ".depth.bmp.<pid>.tmp" beside "depth.bmp": hidden, and never shared by two
// processes writing the same name.
std::string TemporaryNameFor(const std::string& fileName) {
    const size_t slash = fileName.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return fileName.substr(0, nameStart) + "." + fileName.substr(nameStart) + "." +
           std::to_string(static_cast<long>(getpid())) + ".tmp";
}

// The name may be free, a link, or a regular file that its owner lets be written.
bool MayReplace(const char* fileName, std::string* psReason) {
    struct stat st {};
    if (lstat(fileName, &st) != 0) {
        if (errno == ENOENT) return true;
        SetReason(psReason, std::strerror(errno));
        return false;
    }
    if (S_ISLNK(st.st_mode)) return true;
    if (S_ISDIR(st.st_mode)) {
        SetReason(psReason, std::strerror(EISDIR));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        SetReason(psReason, "Not a regular file");
        return false;
    }
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        SetReason(psReason, "File is read-only");
        return false;
    }
    return true;
}

bool WriteAll(int fd, const unsigned char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

InputFile::~InputFile() {
    Close();
}

void InputFile::Close() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
    handle_ = -1;
    length_ = 0;
}

FileOpenResult InputFile::Open(const char* fileName) {
    Close();
    if (fileName == nullptr) return FileOpenResult::CannotOpen;
    // Non-blocking, so a pipe without a writer cannot hold the open; regular files
    // ignore the flag when read.
    const int fd = open(fileName, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return FileOpenResult::CannotOpen;
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        close(fd);
        return FileOpenResult::CannotOpen;
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        return FileOpenResult::NotRegular;
    }
    handle_ = fd;
    length_ = static_cast<int64_t>(st.st_size);
    return FileOpenResult::Opened;
}

bool InputFile::ReadAt(int64_t offset, void* buffer, size_t count, size_t* pGot) {
    *pGot = 0;
    unsigned char* out = static_cast<unsigned char*>(buffer);
    while (*pGot < count) {
        const ssize_t got = pread(static_cast<int>(handle_), out + *pGot, count - *pGot,
                                  static_cast<off_t>(offset + static_cast<int64_t>(*pGot)));
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) break;
        *pGot += static_cast<size_t>(got);
    }
    return true;
}

bool ReplaceFileWhole(const char* fileName, const void* data, size_t size, std::string* psReason) {
    if (fileName == nullptr || !MayReplace(fileName, psReason)) return false;
    const std::string temporary = TemporaryNameFor(fileName);
    // O_NOFOLLOW and O_NONBLOCK: a link or a pipe planted under the temporary name
    // fails the open instead of being written through or waited on.
    const int fd =
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetReason(psReason, std::strerror(errno));
        return false;
    }
    bool ok = WriteAll(fd, static_cast<const unsigned char*>(data), size);
    int error = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && !MoveFileOver(temporary.c_str(), fileName)) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(temporary.c_str());
        SetReason(psReason, std::strerror(error));
    }
    return ok;
}

// Where the system can swap two names, the new file swaps with the old one, which
// then goes. A rename over an existing file makes some file systems (ext4) write
// the new bytes to the disk at once, at every frame; a swapped-in file is written
// out in the system's own time, and most frames' files are gone before then. Where
// the name is free, or the file system cannot swap, a plain rename does.
bool MoveFileOver(const char* from, const char* to) {
#ifdef RENAME_EXCHANGE
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE) == 0) {
        unlink(from);
        return true;
    }
#endif
    return rename(from, to) == 0;
}
