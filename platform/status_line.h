#pragma once
// A one-line status on the terminal of standard error, where a build without a window
// shows its title. Console text shares that terminal, so the console takes the line
// off before it prints; the next status shows it again.

// Rewrites the line in place; does nothing where standard error is no terminal.
void ShowStatusLine(const char* text);
// Takes the line off the terminal, leaving the cursor at the start of an empty line.
void ClearStatusLine();
// Leaves the line as it stands and moves on to the next one.
void EndStatusLine();
