#include "platform/status_line.h"

#include <unistd.h>

#include <cstdio>

namespace {
bool statusLineShown = false;
}  // namespace

void ShowStatusLine(const char* text) {
    static const bool bTerminal = isatty(STDERR_FILENO) != 0;
    if (!bTerminal) {
        return;
    }
    std::fprintf(stderr, "\r%s\033[K", text);
    std::fflush(stderr);
    statusLineShown = true;
}

void ClearStatusLine() {
    if (statusLineShown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        statusLineShown = false;
    }
}

void EndStatusLine() {
    if (statusLineShown) {
        std::fputc('\n', stderr);
        statusLineShown = false;
    }
}
