#include "platform/stop_signals.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <system_error>
#include <thread>

namespace {

constexpr std::chrono::seconds kRepeatWindow(1);

std::atomic<bool> stopSignalled(false);
bool bCaught = false;

sigset_t StopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

[[noreturn]] void EndBySignal(int signalNumber) {
    signal(signalNumber, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signalNumber);
    std::abort();  // not reached: the signal's default action ends the process
}

void WatchStopSignals() {
    const sigset_t set = StopSignalSet();
    std::chrono::steady_clock::time_point first;
    for (;;) {
        int signalNumber = 0;
        if (sigwait(&set, &signalNumber) != 0) {
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!stopSignalled.load()) {
            first = now;
            stopSignalled.store(true);
        } else if (now - first >= kRepeatWindow) {
            EndBySignal(signalNumber);
        }
    }
}

}  // namespace

void CatchStopSignals() {
    if (bCaught) {
        return;
    }
    bCaught = true;
    const sigset_t set = StopSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    try {
        std::thread(WatchStopSignals).detach();
    } catch (const std::system_error&) {
        // Blocked with no thread to take them, a stop would be lost; by default it ends
        // the process at once.
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    }
}

bool StopSignalled() {
    return stopSignalled.load();
}
