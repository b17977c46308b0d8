#pragma once
// SIGINT and SIGTERM ask a POSIX program to stop after the frame in progress. Scripts
// and service managers often send a pair (`timeout` signals the program, then its
// process group), so a repeat within a second of the first is the same stop; only a
// later one ends the process at once, for a program that no longer reaches its loop.

// Call before the process starts any thread: from then on the two signals are taken
// by a thread of their own and never reach a handler, also not the ones that the
// OpenCL runtime's compiler installs, which end the process on a signal that arrives
// while they reset themselves. Calls after the first change nothing.
void CatchStopSignals();
bool StopSignalled();
