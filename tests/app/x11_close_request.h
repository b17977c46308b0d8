#pragma once
// Kept apart from the tests: Xlib's macros (None, Status, ...) clash with C++ names.

// What a window manager sends when the user clicks the close box.
void RequestWindowClose(unsigned long window);
