#pragma once
// Bit sets over record numbers or over positions of an index order.
//
// Bit i is bit (i mod 8) of byte i div 8, least significant bit first.  The
// byte count is the set's only size: there is no separate bit count, so the
// bits above the last meaningful one in the last byte must be kept clear by
// whoever fills the set.  A set over record numbers uses bit r - 1 for
// record r; a set over an index order uses bit i for leaf position i.
//
// Every operation tolerates positions outside the array: a test there is
// false, a change there does nothing, and ranges are cut at the array's end.

#include <array>
#include <cstdint>
#include <vector>

using TBits = std::vector<uint8_t>;

// Set bits of each byte value (the counting and n-th-bit walks go byte-wise).
extern const std::array<uint8_t, 256> PopCountTable;

bool BitTest(const TBits& bits, int64_t i);
void BitSet(TBits& bits, int64_t i);
void BitClear(TBits& bits, int64_t i);

// Resizes to (n - 1) div 8 + 1 bytes (one byte for n <= 0) with bits 0..n-1
// set and every higher bit clear.
void BitsInitAll(TBits& bits, int64_t n);

// a := a and b over the shorter length; a's bytes beyond b stay.
void BitsAnd(TBits& a, const TBits& b);
// a := a and not b over the shorter length; a's bytes beyond b stay.
void BitsAndNot(TBits& a, const TBits& b);

// Number of set bits at positions from..to inclusive (0 when to < from).
int64_t BitsCount(const TBits& bits, int64_t from, int64_t to);

struct TDbTable;

// Keeps, of the leaf positions 0 .. record count - 2 of the table's index
// order, those whose record number r has bit r - 1 set in `records`; returns
// their number, -2 when the table has no index open.  A failed index read
// stops the walk (DbStatus positive) with the positions not reached cleared.
int64_t BitsRestrictToTable(TBits& positions, const TBits& records, TDbTable& table);

// The first set bit at or after `from` up to `last`, or -1; the last set
// bit at or before `from` down to `first`, or -1.  Zero bytes are skipped
// whole, so a sparse filter over a large table is walked quickly.
int64_t BitsNextSet(const TBits& bits, int64_t from, int64_t last);
int64_t BitsPreviousSet(const TBits& bits, int64_t from, int64_t first);

// The position just after the n-th set bit at or after `from`; `from` itself
// when n <= 0; when fewer than n bits are set there, the end of the array
// (or `from` when that lies beyond the end).
int64_t BitsNth(const TBits& bits, int64_t from, int64_t n);
