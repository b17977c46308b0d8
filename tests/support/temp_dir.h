#pragma once
#include <filesystem>
#include <set>
#include <string>
#include <vector>

// A fresh folder under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The working directory is process-wide; this puts it back when the scope ends.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const std::filesystem::path& dir);
    ~ScopedWorkingDirectory();
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

std::vector<unsigned char> ReadFileBytes(const std::string& fileName);
// Names in `dir` other than `expected`: what a program left behind.
std::vector<std::string> NamesBesides(const std::filesystem::path& dir,
                                      const std::set<std::string>& expected);
// The whole file as text; empty when it cannot be read.
std::string ReadFileText(const std::filesystem::path& file);
void WriteFileBytes(const std::string& fileName, const std::vector<unsigned char>& bytes);
