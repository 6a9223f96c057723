#pragma once
// The data code page (a Kamenický variant) and its conversions.  Every data
// text shown to the user passes through KamToWin; every typed text compared
// with data passes through WinToKamTable.

#include <QString>
#include <array>
#include <string>
#include <string_view>

#include "platform/cp1250.h"

extern const std::array<unsigned char, 256> KamToWinTable; // data -> cp1250
extern std::array<unsigned char, 256> WinToKamTable;       // cp1250 -> data
extern const std::array<unsigned char, 256> KamPlain;      // -> plain ASCII, case kept
extern const std::array<unsigned char, 256> KamUpper;      // folding for keys and searches

void BuildKamTables();

std::string KamToWin(std::string_view s);
void KamToWinS(std::string& s);
void WinToKamS(std::string& s);
void KamToAsciiS(std::string& s);
// The whole text folded through KamUpper.
std::string KamFoldUpper(std::string_view s);

// Boundary helpers: data text to display text and typed text back.
QString KamToQString(std::string_view kam);
std::string QStringToKam(const QString& text);

// The data code page's upper-case table: "a"-"z" to "A"-"Z" and the fixed
// table for 0x80-0xAB; accented letters stay accented (KamUpper drops them).
extern const std::array<unsigned char, 256> UpperTable;

// The data code page's lower-case table, the capitals with diacritics
// included (through the display code page).  Made at its first use, after
// BuildKamTables.
const std::array<unsigned char, 256>& KamLower();
// The text with every byte through KamLower.
std::string KamLowerText(std::string_view s);
