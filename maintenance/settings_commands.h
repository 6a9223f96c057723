#pragma once
// Registers the settings dialogs and the statistics box as the dispatcher's
// handlers "TNastav1" .. "TNastav5" and "TStatistika" (the commands "SSF",
// "SSL", "SSC", "SSW", "SSI" and "SOS").  The program's entry calls it once
// at start-up.

void RegisterSettingsCommands();
