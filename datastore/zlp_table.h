#pragma once
// The zlp table ("zlp.dat" in the data folder): per drug, one month value for
// each of a few document letters ("C", "S", "L", "H"), which tells whether
// that document changed lately.  Layout and rules: docs/formats/zlp.md.
//
// The table is loaded once (by the start-up loader) and published whole by
// one atomic store: readers on any thread see either no table or a complete
// one, and a published table is never changed or freed while the program
// runs.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Layout constants of the file.
namespace ZlpFormat {
constexpr size_t kMinFileBytes = 256; // smaller files count as absent
constexpr size_t kHeaderBytes = 5;    // 2 unused, month base, fraction, column count
constexpr size_t kCodeWidth = 3;      // column 1: the drug code, 24-bit LE
constexpr size_t kFirstDataEntry = 2; // entries 0 and 1 hold the header
constexpr size_t kMaxLetters = 15;
constexpr size_t kMaxColumns = 255;
} // namespace ZlpFormat

// A table as read: the bytes and what is derived from them.
struct ZlpTable {
    std::string data;                   // the whole file
    int threshold = 0;                  // 3 * b2 - 120 (+1 when b3 > 96, +1 more when b3 > 176)
    std::string letters;                // at most 15 letters "A".."Y", in column order
    std::vector<uint16_t> letterOffset; // per letter: the offset of its column in an entry (up to 2,040)
    size_t entrySize = 0;               // E
    size_t entryCount = 0;              // file size div E (entries 0 and 1 included)
    // The codes of entries 2 .. entryCount - 1, side by side: the search
    // touches a few cache lines instead of one per step.
    std::vector<uint32_t> codes;
};

// The table of a file's bytes; nullptr when the bytes are no usable table
// (fewer than 256 bytes, fewer than 2 columns, column 1 not 3 wide, a header
// that reaches past entry 1, or no data entry).
std::unique_ptr<ZlpTable> ParseZlpTable(std::string bytes);

// 1 flagged, 0 not flagged (also for unusable input), -1 a code that the
// table does not hold.  The code is the record's first 7 characters, blanks
// trimmed, 1-7 digits.
int CheckZlpEntryIn(const ZlpTable& table, std::string_view record, char letter, int dataMonth);

// The data month of a data version text ("Verze.Cislo", e.g. "2025.4n").
int DataMonthOfVersion(std::string_view cislo);
// The process's data month (set when the data set's texts are loaded).
int DataMonth();
void SetDataMonth(int month);

// Loads DataDir() + "zlp.dat" (any letter case) unless a table is loaded.
void LoadZlpTable();
// CheckZlpEntryIn over the loaded table and DataMonth(); 0 without a table.
int CheckZlpEntry(std::string_view record, char letter);

// The loaded table's parts (empty / 0 without one).
std::string_view ZlpData();
int ZlpThreshold();
std::string_view ZlpLetters();
size_t ZlpEntrySize();

// Forgets the loaded table for the next LoadZlpTable (tests; the retired
// table stays in memory, as readers may still hold it).
void ForgetZlpTable();
