#pragma once
// The list windows' wiring: their part of the main window's entry points,
// and every command and service of the lists, registered in one place.

struct MainEntryPoints;

// Fills refreshListMarks (every list offering drug records refills in place)
// and dropRowHints (every list drops its row hint).
void AddListEntryPoints(MainEntryPoints& calls);

// Registers the openers of every list with the dispatcher (drug lists and
// their restricted lists, ATC and code lists, reimbursement and price lists,
// consumption and price history) and the command services the lists offer.
void RegisterListCommands();
