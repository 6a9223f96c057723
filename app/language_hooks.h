#pragma once
// The program's side of the language switch (datastore/language.h): folders,
// data set and settings.  The main window adds its own part while it lives.

// Registers the hooks (program start, tests).
void InstallLanguageHooks();
