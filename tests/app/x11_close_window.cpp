// Sends a window the close request that a window manager sends when the user clicks
// the close box, for scripts that drive a program on a display without a window
// manager:  x11_close_window <window id>
#include <cstdio>
#include <cstdlib>

#include "tests/app/x11_close_request.h"

int main(int argc, char** argv) {
    char* end = nullptr;
    const unsigned long window = argc == 2 ? std::strtoul(argv[1], &end, 0) : 0;
    if (window == 0 || *end != '\0') {
        std::fprintf(stderr, "usage: x11_close_window <window id>\n");
        return 2;
    }
    RequestWindowClose(window);
    return 0;
}
