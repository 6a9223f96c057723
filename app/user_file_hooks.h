#pragma once
// The program's side of the user's files (datastore/user_files.h): the
// settings they read, the boxes and the maximal-dose timer.

// Registers the hooks (program start, tests).
void InstallUserFileHooks();
