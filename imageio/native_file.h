#pragma once
// The file calls that differ between systems, behind one small interface: reading
// a regular file without ever waiting on a pipe or a device, and replacing a file
// whole.

#include <cstddef>
#include <cstdint>
#include <string>

enum class FileOpenResult { Opened, CannotOpen, NotRegular };

// A regular file open for reading, closed when it goes.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Never blocks: a pipe, a device or a folder opens as NotRegular without waiting
    // for a writer. A file already open is closed first.
    FileOpenResult Open(const char* fileName);
    void Close();
    // The length when it was opened.
    int64_t Length() const { return length_; }
    // Reads up to `count` bytes from `offset`; *pGot is short only where the file
    // ends. False on a read error.
    bool ReadAt(int64_t offset, void* buffer, size_t count, size_t* pGot);

private:
    intptr_t handle_ = -1;  // a descriptor, or a Windows handle
    int64_t length_ = 0;
};

// Puts `size` bytes under `fileName` whole: they go to a temporary file of this
// process in the same folder, which is then renamed over the name, so a reader sees
// the previous file or the new one, never a part. A link of that name is replaced
// itself, never written through. A read-only file, a folder or another file that is
// not regular stays as it is, and so does everything on failure: no temporary file
// remains. False on failure, with the system's reason in *psReason when given.
bool ReplaceFileWhole(const char* fileName, const void* data, size_t size, std::string* psReason);

// The last step of that: the file `from` takes the name `to` in one step, replacing
// what had the name; false on failure, with the system's error code set.
bool MoveFileOver(const char* from, const char* to);
