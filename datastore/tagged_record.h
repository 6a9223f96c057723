#pragma once
// Three small helpers: the tagged record that small settings and statistics
// sets are kept in, the logged-on user's name, and a packing of short texts
// into a shorter text of 64 symbols.

#include <array>
#include <string>
#include <string_view>

// A tagged record: the bytes of a short string (at most 255 of them).
//   bytes 0-3  head (read and written as item type 8)
//   then items sorted by type, at most one per type: a tag byte
//   (type << 5 | h) and a value of 2h bytes; a tag below 2 ends the list.
// Odd values are stored with one blank appended; items of types 4-7 read
// back without it.  Numbers stored in the head and in items are little-endian.
using TTaggedRecord = std::string;

constexpr int kTaggedHead = 8;
constexpr size_t kTaggedRecordMax = 255;
constexpr size_t kTaggedValueMax = 62;

// The head (type 8) or the value of item `type` (0-7); empty when the type
// is absent or not 0-8.  A record shorter than 5 bytes reads as the reset
// record (head 01 E1 F5 05, no items).  Reading stops at an item whose value
// runs past the record.
std::string GetTaggedField(const TTaggedRecord& record, int type);

// Sets the head (type 8: the value's first 4 bytes, or 02 E1 F5 05 for a
// shorter value) or replaces item `type` (0-7), removing it for an empty
// value.  Values longer than 62 bytes are cut to 62.  A record shorter than 5
// bytes is first reset.  Returns false and leaves the record byte for byte
// unchanged when the type is not 0-8, when the result would pass 255 bytes,
// or for a type-0 value of 1-2 bytes (its tag would read as the end mark).
bool PutTaggedField(TTaggedRecord& record, int type, std::string_view value);

// The logged-on user's name in code page 1250 (characters it cannot hold
// become "?"), at most 255 bytes; empty when no name is known.
std::string WinUserName();

// The two packing tables: each input byte's 5-bit code, and the output
// character of each 6-bit symbol (symbol 0 is "-").
extern const std::array<unsigned char, 256> PackText6Codes;
extern const std::array<char, 64> PackText6Symbols;

// Packs groups of 6 input bytes (zero-padded) into 5 output characters;
// trailing "-" (zero symbols, mostly padding) are dropped.
std::string PackText6(std::string_view text);
