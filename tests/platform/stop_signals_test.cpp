// A process that no longer reaches its loop: a repeated stop leaves it running, only a
// stop signal more than a second after the first ends it, by that signal.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <optional>
#include <thread>

#include "platform/stop_signals.h"

using namespace std::chrono_literals;

namespace {

// The child's wait status once it has ended, waiting at most `timeout`; else it is
// killed and nothing is returned.
std::optional<int> Ended(pid_t child, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(10ms);
    }
    return status;
}

TEST(StopSignals, ARepeatWithinASecondIsTheSameStopALaterOneEndsTheProcess) {
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CatchStopSignals();
            const char byte = 1;
            (void)!write(ready[1], &byte, 1);
            for (;;) pause();  // never looks at the stop
        }
        char byte = 0;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        close(ready[1]);

        // The second once the first has been taken: two pending at once would be one.
        kill(child, signalNumber);
        std::this_thread::sleep_for(100ms);
        kill(child, signalNumber);
        std::this_thread::sleep_for(1100ms);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, WNOHANG), 0) << "signal " << signalNumber << ": a pair is one stop";
        kill(child, signalNumber);
        const std::optional<int> ended = Ended(child, 5s);
        ASSERT_TRUE(ended.has_value()) << "signal " << signalNumber << ": a later one ends the process";
        EXPECT_TRUE(WIFSIGNALED(*ended) && WTERMSIG(*ended) == signalNumber)
            << "signal " << signalNumber << ": status " << *ended;
    }
}

}  // namespace
