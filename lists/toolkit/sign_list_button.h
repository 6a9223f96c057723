#pragma once
// Whether the lists offer the user's sign list (button "U"): the program
// registers a query (the user sign list is loaded and active), which the
// list windows ask each time they lay out their buttons.  Without one the
// answer is the fixed value of SetUserSignListsAvailable (false at first).
//
// Main thread only.

#include <functional>

void SetUserSignListsQuery(std::function<bool()> available);
