#pragma once
// The program's composition: every hook, service, entry point and command
// handler the layers below leave to be registered, filled in one place.  The
// program's entry runs it, and so does the test that checks the wiring, so a
// registration missing here fails a test instead of a menu item doing
// nothing.
//
// Main thread only; each call replaces what it fills.

// Before the start-up check: the viewers' services (the batch run's
// duplicity check and the items handed over) and the update services (the
// start-up looks for version folders through them).
void ComposeStartServices();

// After the start-up check, before the main window starts: the network,
// the language switch and the user's files, the pages of the program types,
// the main window's entry points, the command handlers of every layer and
// the hooks of the lists and viewers.
void ComposeProgram();
