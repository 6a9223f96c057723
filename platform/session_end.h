#pragma once
// The end of the session as the system announces it to a running program:
// SIGTERM (the desktop's log-out or shut-down, `kill`) and SIGHUP (the
// terminal it runs in went away).  The handler runs on the main thread from
// its event loop, never inside the signal, so it may do anything the program
// does at a normal end.  After the first such signal a second one ends the
// process at once, the system's default.
//
// Main thread only; a QCoreApplication must exist.

#include <functional>

// Installs `handler` (replacing an earlier one).  False when the signals
// could not be caught (the process then ends on them as before).
bool OnSessionEnd(std::function<void()> handler);
