#pragma once
// The list windows' part of the main window's entry points.

struct MainEntryPoints;

// Fills refreshListMarks (every list offering drug records refills in place,
// 297) and dropRowHints (every list drops its row hint).
void AddListEntryPoints(MainEntryPoints& calls);
