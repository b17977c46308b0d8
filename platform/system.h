#pragma once
// The part of the platform that needs no window: the process's console, a message
// box and the performance counter. Any layer may use it; it pulls in no window system.

#include <cstdint>
#include <cstdio>
#include <string>

// The stream for diagnostics; opened at the first call.
FILE* PlatformOpenConsole();
// True where that console vanishes with the process, so that a reason to stop must
// also be shown in a message box.
bool PlatformConsoleClosesWithProcess();
// Returns when the user has dismissed it.
void PlatformShowMessageBox(const char* text, const char* caption);

// A line of progress rewritten in place on a terminal. False, showing nothing, where
// there is no terminal for it; the caller then prints plain lines instead.
bool PlatformShowProgress(const char* text);

// The folder of the running program's file, ending in a separator; empty where the
// system does not say.
std::string PlatformProgramFolder();

// A monotonic 64-bit tick count and its frequency, fixed for the run.
int64_t PlatformReadCounter();
int64_t PlatformCounterFrequency();
