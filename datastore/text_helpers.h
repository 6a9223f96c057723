#pragma once
// Small pure routines shared by lists, viewers and services: searching in
// texts, line-break positions, check digits, normalised organisation names,
// and the compact stored forms of codes and dates.  Positions are 1-based;
// 0 means "not found" / "none".

#include <cstdint>
#include <string>
#include <string_view>

// First position at or after `from` holding `c`.  A start below 1 counts as
// 1; a start past the text gives 0.
int PosCharFrom(char c, std::string_view text, int from);
// First position at or after `from` where `pattern` starts.  A start below 1
// counts as 1; a start past the text or an empty pattern gives 0.
int PosStrFrom(std::string_view pattern, std::string_view text, int from);
// Last position holding `c`.
int LastCharPos(std::string_view s, char c);
// A position before which the text (data code page) may be broken when it
// must be broken before `p`; 0 when none, when p < 1 or p > length.
int LineBreakPos(std::string_view s, int p);

// An EAN-8, UPC-A (12 digits) or EAN-13 code with a correct check digit;
// blanks around the code are ignored.
bool EanValid(std::string_view text);
// 0 when the text is an identification number of 1 to 8 decimal digits
// whose last digit is its check digit, 1 otherwise.
int CheckId8(std::string_view text);

// An organisation name reduced for comparison: plain capitals without the
// common institution words, other characters as single blanks.  The input
// may be in either code page.  Both names give the same result.
std::string NormalizeNameA(std::string_view name);
std::string NormalizeNameB(std::string_view name);
// The number of distinct bytes in the text.
int DistinctChars(std::string_view text);

// Each character gives (c - 32) & 63, the first one highest; the low 32 bits.
uint32_t Pack6ToInt(std::string_view text);
// "yymd" (month and day as base-36 digits) as "dd.mm.20yy"; without
// `keepZeros` the leading zeros of month and day go.  Empty for a code
// shorter than 4 characters, starting below "0", or with a month or day
// that is not a base-36 digit.
std::string CompactDateStr(std::string_view code, bool keepZeros);
// A displayed classification code to its 4-character stored form and back.
std::string CodeToCompact(std::string_view code);
std::string CompactToCode(std::string_view compact);
