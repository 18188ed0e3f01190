// The few terminfo look-ups the renderer makes before and while ncurses runs.
// (Kept apart because <term.h> declares a type named like our namespace.)
#pragma once

#include <string>

namespace tinfo {

// Loads the description of $TERM for fd; false when there is none.
bool Load(int fd);
// Drops the description Load made (before ncurses loads its own).
void Unload();
// A string capability of the description in force, or empty.
std::string String(const char* name);
// A numeric capability, or -1.
int Number(const char* name);

}  // namespace tinfo
