#pragma once
// The main window's shared hint and the hints of a list window's small
// buttons.

#include <atomic>
#include <string>

class TMyHintWindow;

// The main window's shared hint window (not owned), for HideHint.
void SetSharedHintWindow(TMyHintWindow* window);
TMyHintWindow* SharedHintWindow();
void HideHint();
// Whether the shared hint is shown; set by whoever shows it.
extern std::atomic<bool> HintShown;
// The hint of a list window's small button from section "Cudl" of the UI
// texts; two texts are joined by CR.  Data code page.
std::string ButtonHintText(char symbol, int mode, bool state);

// While set, the main window passes no key or character messages to its page.
extern std::atomic<bool> InputBusy;
