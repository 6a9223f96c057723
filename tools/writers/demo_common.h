#pragma once
// Small helpers of the demo data-set builder (tools/demo_builder): the error
// log, the field encodings of the data folder (amounts, compact and packed
// dates, EAN check digits, 6-bit numbers, record names) and the folding of
// names for the word lists.  No state beyond the log the caller owns.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Collects the builder's error messages ("kl.csv:12: NAZ: ...").  The build
// goes on after an error where it can, so one run shows several mistakes, and
// writes nothing once the log holds one.
class DemoLog {
public:
    explicit DemoLog(std::function<void(const std::string&)> sink = nullptr) : sink_(std::move(sink)) {}

    void Error(const std::string& message);
    // "file:line: message", or "file: message" when line is 0.
    void Error(const std::string& file, int line, const std::string& message);
    // Progress and measurements; not errors.
    void Note(const std::string& message) const;

    bool Ok() const { return errors_.empty(); }
    const std::vector<std::string>& Errors() const { return errors_; }

private:
    std::function<void(const std::string&)> sink_;
    std::vector<std::string> errors_;
};

// "12.34" -> n - 2 integer digits right-aligned + two decimals ("     1234"
// in 9).  An amount below 1 keeps its "0" integer digit ("      050").
bool DemoAmount(std::string_view value, int width, std::string& out);

// "2025-11-03" -> year, month, day; false for anything else or a day that
// does not exist.
bool ParseIsoDate(std::string_view text, int& year, int& month, int& day);
// Compact date: two year digits, then month and day as one base-36 digit
// each ("2453" = 3 May 2024).
std::string CompactDate(int year, int month, int day);
// Packed date: day + 32 x ((year - 1980) x 12 + month - 1).
uint16_t PackedDate(int year, int month, int day);

// EAN-13: the check digit of the first 12 digits (EanValid of
// datastore/text_helpers.h is the program's test).
char EanCheckDigit(std::string_view twelveDigits);

// A number in `chars` 6-bit characters, most significant first (character =
// 6-bit digit + 32).
std::string SixBitNumber(uint32_t value, int chars);

// A document record's name: at most 8 characters of the base64url alphabet
// (A-Z a-z 0-9 - _).  The 6 key bytes are its base64url decoding after
// padding with "_", so the viewers show the name again (trailing "_" removed).
bool RecordKeyFromName(std::string_view name, std::array<uint8_t, 6>& key);

// A name as the name indexes fold it (section "Folding" of the data folder
// reference): KamUpper byte by byte, trailing blanks removed.
std::string FoldedName(std::string_view kam);

// Trailing and leading blanks removed.
std::string Trimmed(std::string_view s);

// Base-36 digit of 0..35 ("0"-"9", "A"-"Z").
char Base36Digit(int v);
