#pragma once
// Lower case in the data code page.

#include <array>

// Data code page letters to lower case, the capitals with diacritics
// included, through the display code page.
const std::array<unsigned char, 256>& KamLower();
