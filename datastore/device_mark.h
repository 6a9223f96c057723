#pragma once
// The device mark letter: the letter of a device's mark ("ZDR") that the
// lists and record texts leave blank on a device sold with a prescription
// ("PRO" "M").  "B", or "F" when the data text "TZd.!" is "F"; set where
// the main window reads the data texts.  Any thread.

// The process-wide device mark letter.
char DeviceMarkLetter();
void SetDeviceMarkLetter(char letter);
// Sets it from the data texts, as start-up does.
void LoadDeviceMarkLetter();

// The mark letter of a device record as lists and record texts show it: a
// blank for "G", and for the device mark letter when the sale letter is "M";
// else the letter itself.
char MaskMarkLetter(char letter, char saleLetter);
