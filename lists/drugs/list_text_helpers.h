#pragma once
// Texts of the list windows that the record viewers share: the translation
// of a packed dosage form into words, the device mark letter, and which
// edition's tables the lists read.

#include <string>
#include <string_view>

#include "datastore/device_mark.h"

// A packed dosage-form text ("TBLFLM", "TBL FLM", "SUSPOR20ML") in words,
// through the data text sections "Lbal" (a three-character package suffix,
// tried when the text is longer than 6 characters), "Lfor" (the form) and
// "Cpod" (the part before the first blank).  Empty when the form is not
// found.  Trailing blanks of `text` are dropped first.  A look-up counts as
// found when its answer does not begin with "!".
std::string TranslateUnitText(std::string_view text);

// Whether the lists read the English edition's tables ("atca", "isva", ...):
// the program runs in English.
bool EnglishTables();

// The device mark letter and MaskMarkLetter: datastore/device_mark.h.
