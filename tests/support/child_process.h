#pragma once
#include <sys/types.h>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A program started in its own working directory, its output kept in files.
class ChildProcess {
public:
    struct Options {
        std::filesystem::path workingDirectory;
        std::map<std::string, std::optional<std::string>> environment;  // nullopt: unset
        std::filesystem::path stdoutFile;
        std::filesystem::path stderrFile;
    };

    // `arguments` follow the program's name on its command line.
    ChildProcess(const std::filesystem::path& program, const Options& options,
                 const std::vector<std::string>& arguments = {});
    ~ChildProcess();  // kills a child that is still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    void Signal(int signalNumber);
    // The exit status, or nothing if it still runs after `timeout`.
    // A child ended by a signal reports 128 + the signal number.
    std::optional<int> Wait(std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// Polls `condition` until it holds or `timeout` passes.
template <class Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
