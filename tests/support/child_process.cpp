#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace {

void RedirectTo(const std::filesystem::path& file, int fd) {
    if (file.empty()) {
        return;
    }
    const int out = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
        dup2(out, fd);
        close(out);
    }
}

int DecodeStatus(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return 128 + WTERMSIG(status);
}

}  // namespace

ChildProcess::ChildProcess(const std::filesystem::path& program, const Options& options,
                           const std::vector<std::string>& arguments) {
    // Built before the fork: the child only calls what is safe there.
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
            _exit(126);
        }
        for (const auto& [name, value] : options.environment) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        RedirectTo(options.stdoutFile, STDOUT_FILENO);
        RedirectTo(options.stderrFile, STDERR_FILENO);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
}

ChildProcess::~ChildProcess() {
    if (!status_) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

void ChildProcess::Signal(int signalNumber) {
    kill(pid_, signalNumber);
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (status_) {
        return status_;
    }
    WaitUntil(
        [this] {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = DecodeStatus(status);
            }
            return status_.has_value();
        },
        timeout);
    return status_;
}
