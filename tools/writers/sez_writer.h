#pragma once
// Writer of key indexes (".sez", magic "S6") over the records of one record
// file.  Used by the data-set builder and by tests; the layout is in
// docs/formats/sez.md.
//
//   SezKeySpec naz{7, 70, 192, 10};          // NAZ 8-77, folded text, k = 10
//   WriteSezFile(dir + "/klnaz.sez", records, naz);
//
// `records` are the data records in record-number order (records[i] is record
// number i + 1), exactly as given to the .dat writer.
//
// What it builds (the structure the search relies on):
//  - P = 2 pointer bytes up to 65,535 records, else 3; E = packed key bytes +
//    P, at most 9 (a longer packed key is cut); W = 640 div E entries.
//  - Leaves: one per record, sorted by the stored key bytes, then by the whole
//    key field (folded for type 192), then by record number.
//  - Middle level: entry j points at leaf min((j + 1)(W - 1), N - 1), until it
//    reaches the last leaf; never empty (an empty table gets one zero entry).
//  - Upper level only when the middle level has more than W entries: entry i
//    points at middle position min((i + 1)(W - 1), middle count - 1), padded
//    to exactly W entries by repeating the last.  The two-block form is not
//    written: a table that would need it (about W^3 records) throws.
//  - Every upper and middle entry carries the key of the entry it points at.
// A rule broken by the caller (unknown type, k < 1, key field outside a
// record, F >= 16384) throws std::invalid_argument.

#include <cstdint>
#include <string>
#include <vector>

struct SezKeySpec {
    int offset = 0;   // 0-based offset of the key field in the record (< 1024)
    int width = 0;    // width of the key field in bytes (4 for type 160)
    uint8_t type = 0; // 0 raw text, 32 digits, 64 6-bit text, 160 int32, 192 folded text
    int k = 0;        // key length in characters (header byte 3)
};

struct SezGeometry {
    int P = 0;        // pointer bytes
    int E = 0;        // entry size
    int keyBytes = 0; // E - P
    int W = 0;        // entries per window
};

// The sizes chosen for an index of `records` records with this key.
SezGeometry SezGeometryFor(size_t records, const SezKeySpec& key);

// The whole file.
std::string BuildSezFile(const std::vector<std::string>& records, const SezKeySpec& key);
// Builds the file and writes it atomically; 0 or the I/O result.
int WriteSezFile(const std::string& path, const std::vector<std::string>& records, const SezKeySpec& key);
