#pragma once
// Writer of sign-set files ("<table>.sgn", magic "B6"): named bit sets over
// the records of one table.  Used by the data-set builder and by tests.
//
// The first set names the file's table and must have that table's bit count
// (the manifest check reads it; the caller orders the sets).  Each
// bitmap is (bit count - 1) div 8 + 1 bytes with the unused high bits of its
// last byte clear; the flags byte is written as given (0x01 by default,
// never 0x40).  A rule broken by the caller throws std::invalid_argument.

#include <cstdint>
#include <string>
#include <vector>

#include "datastore/bits.h"

struct SignSetSpec {
    std::string table;    // table identity, at most 8 bytes ("kl")
    std::string name;     // set name, at most 8 bytes ("Actual")
    int32_t bitCount = 0; // record count of the table - 1
    TBits bits;           // bit r - 1 = record r; resized to the bitmap size
    std::string text1;    // at most 65535 bytes (Kamenický)
    std::string text2;    // at most 255 bytes
    uint8_t flags = 0x01;
};

// The whole file.
std::string BuildSignSetFile(const std::vector<SignSetSpec>& sets);

// Builds the file and writes it atomically; 0 or the I/O result.
int WriteSignSetFile(const std::string& path, const std::vector<SignSetSpec>& sets);
