#pragma once
// The structural checker of a data folder (tools/data_struct_check): checks
// what the program relies on without checking itself, on any data folder (the
// demo set, the synthetic scale set, a copy of real data):
//
//  - every record file: magic, header, a whole number of records, at least
//    185 bytes;
//  - every key index against its record file: leaf count = record count - 1,
//    each record exactly once, each leaf key equal to the packed key of its
//    record, leaves in order (packed bytes, then the whole key field folded
//    for name keys, then the record number), the middle and upper levels
//    pointing at the positions the window rule gives and carrying their keys,
//    name keys inside the 6-bit alphabet, and the program's own search
//    (OpenTable + FindRecord) finding every key;
//  - every text table loads and its sections are well formed;
//  - every sign-set file: each set's bit count = its table's record count - 1,
//    clean bitmaps, texts inside the file, kl.sgn membership following the
//    drug records; the user sign list's size;
//  - every compressed-text file walks from offset 16 to its end and every
//    record decodes; the offsets kept in records point at record heads;
//  - word lists sorted, names found by their index;
//  - the manifest check has no "!!" line and no size difference.
//
// Problems are reported as "!! file: what" lines; with `verbose` a line per
// file checked is reported too.  The result is the number of problems.

#include <cstdint>
#include <functional>
#include <string>

struct StructCheckStats {
    int recordFiles = 0;
    int indexes = 0;
    int64_t indexEntries = 0;
    int64_t lookups = 0; // FindRecord calls made
    int textFiles = 0;   // compressed-text files
    int64_t textRecords = 0;
    int64_t textBytes = 0; // decoded
};

int CheckDataFolderStructure(const std::string& folder, const std::function<void(const std::string&)>& report,
                             bool verbose = false, StructCheckStats* stats = nullptr);
