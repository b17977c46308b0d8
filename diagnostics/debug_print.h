#pragma once
// The diagnostic print: printf-style, no prefix, no time stamp, no added line end;
// each message reaches its sinks before the print returns.
// Each sink is switched when the program is built (a build may set the switches
// with -D; the sinks that are off still compile).

#include <cstdio>
#include <string>

#ifndef DEBUG_TO_CONSOLE
#define DEBUG_TO_CONSOLE 1
#endif
#ifndef DEBUG_TO_LOGFILE
#define DEBUG_TO_LOGFILE 0
#endif
#ifndef DEBUG_TO_MESSAGEBOX
#define DEBUG_TO_MESSAGEBOX 0
#endif

// The console stream, opened at the first call.
FILE* GetConsoleStream();
// "log.txt" in the working directory, opened at the first call; null for good if that failed.
FILE* GetLogFile();

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void DebugPrint(const char* format, ...);

#define DEBUG_PRINT(...) DebugPrint(__VA_ARGS__)

// The end of everything printed so far, whatever the sinks: as much as a message box
// shows (2047 bytes), starting at a line's start where a cut was needed.
std::string RecentDebugOutput();
// Shows that in a message box, for a reason to stop that must outlast the console.
void ShowDebugOutputInMessageBox();
