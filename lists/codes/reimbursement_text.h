#pragma once
// The texts of the reimbursement lists, as pure functions over record
// buffers: a price field with its decimal point, the limitation column and
// the whole row of a drug and its price record.  Texts are bytes in the data
// code page.

#include <cstdint>
#include <string>
#include <string_view>

// Width of the row text after its status character.
constexpr int kReimbursementRowWidth = 221;
// Width of the limitation column.
constexpr int kLimitTextWidth = 17;

// A price field with a decimal point before its last two characters ("     1234"
// -> "     12.34"); a blank stands in place of the point when the first of those
// two is blank ("        5" -> "         5").  Only the last 13 characters
// count.  A text of fewer than three characters comes back unchanged, and a
// text that already holds a point before its last character (a literal such
// as "c.c.") is right-aligned in one character more instead, since moving
// its characters would double the point.
std::string FormatPrice(std::string_view field);

// The limitation column of a price record ("cvzp"), exactly 17 characters:
// the limitation code and "/", the indication mark "P/" when the record has
// an indication text, and the first part of the specialist codes.
std::string ReimbursementLimitText(std::string_view cvzpRecord);

// The row text of a drug ("kl") and its first price record: the status
// character NUL, then kReimbursementRowWidth characters laid out as the
// reimbursement lists' columns expect.  `signedDrug` lowers the code's first
// character by 32 (the drug is on the active user sign list).
std::string ReimbursementRowText(std::string_view drugRecord, std::string_view cvzpRecord, bool signedDrug);

// Whether a drug's reimbursement key (its "UH" byte) is among the chosen
// kinds; a blank key is chosen as "_".
bool ReimbursementKindChosen(char key, std::string_view choice);
