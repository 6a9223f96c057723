#include "datastore/device_mark.h"

#include <atomic>

#include "datastore/text_table.h"

namespace {

std::atomic<char> markLetter{'B'};

} // namespace

char DeviceMarkLetter()
{
    return markLetter.load();
}

void SetDeviceMarkLetter(char letter)
{
    markLetter.store(letter);
}

void LoadDeviceMarkLetter()
{
    SetDeviceMarkLetter(LookupText(DataTexts, "TZd", "!") == "F" ? 'F' : 'B');
}

char MaskMarkLetter(char letter, char saleLetter)
{
    if (letter == 'G' || (saleLetter == 'M' && letter == DeviceMarkLetter()))
        return ' ';
    return letter;
}
