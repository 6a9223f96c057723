#pragma once
// Writer of the zlp table ("zlp.dat", docs/formats/zlp.md): a header, then
// one entry per drug of its 24-bit code and one byte per letter column.
// Filler columns (name 0, width 8) follow the letter columns until the header
// fits in entries 0 and 1.  Used by the data-set builder, the benchmark and
// tests.  A rule broken by the caller throws std::invalid_argument.

#include <cstdint>
#include <string>
#include <vector>

struct ZlpRow {
    uint32_t code = 0;  // 1 .. 0xFFFFFF
    std::string values; // one byte per letter, in the order of `letters`
};

struct ZlpSpec {
    uint8_t monthBase = 0;    // b2
    uint8_t fraction = 0;     // b3
    std::string letters;      // one column per letter, "A".."Y", at most 15
    std::vector<ZlpRow> rows; // any order; written sorted by code
};

// The month base and fraction bytes whose threshold is `threshold`.
void ZlpThresholdBytes(int threshold, uint8_t& monthBase, uint8_t& fraction);

std::string BuildZlpFile(const ZlpSpec& spec);
// Builds the file and writes it atomically; 0 or the I/O result.
int WriteZlpFile(const std::string& path, const ZlpSpec& spec);
