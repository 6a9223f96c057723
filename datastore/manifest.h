#pragma once
// The data-file manifest "kalvo.kvo": every file of a data folder's edition
// with its CRC-32 and size, and the data version.  Made for a freshly built
// folder (create mode), checked against the files (check mode), and compared
// by size alone (ManifestDiffs).
//
// Runs on the installer's worker as well as on the main thread: no static
// state, its own table handle, reports through a callback.  Data-store
// errors met while checking also reach the error hook in effect on the
// calling thread (see ThreadDbErrorHook in db_table.h).

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "datastore/db_table.h"

// ------------------------------------------------------------ data-file table

namespace DataFileKind {
constexpr uint8_t Table = 0;      // record file of the following indexes
constexpr uint8_t Index = 1;      // ".sez" of the current table
constexpr uint8_t SignSets = 2;   // ".sgn", "B6"
constexpr uint8_t UserSigns = 3;  // ".sgn", bare 16-bit words
constexpr uint8_t PackedText = 4; // ".dat", "X6"
constexpr uint8_t OtherData = 5;  // ".dat"
constexpr uint8_t English = 6;    // ".ang"
constexpr uint8_t Czech = 7;      // ".ces"
constexpr uint8_t WordList = 8;   // ".slw"
constexpr uint8_t Json = 9;       // ".json"
constexpr uint8_t Optional = 0x10;
} // namespace DataFileKind

struct DataFileEntry {
    uint8_t kind;   // low nibble the kind, 0x10 optional
    uint8_t mask;   // editions the entry belongs to
    const char* id; // file identity; the kind gives the extension

    uint8_t Kind() const { return kind & 0x0F; }
    bool IsOptional() const { return (kind & DataFileKind::Optional) != 0; }
    // Identity + the kind's extension (a table: ".dat").
    std::string FileName() const;
};

extern const std::array<DataFileEntry, 136> DataFileTable;

// Edition letters -> mask: "H" 0x01, "F" and "P" 0x02, "T" 0x04, "V" 0x08,
// "C" 0x80; other characters add nothing.
uint8_t WareMask(std::string_view letters);

// ---------------------------------------------------------------------- CRCs
// The register starts at 0xFFFFFFFF and is kept without the final inversion
// (zlib's crc32 XOR 0xFFFFFFFF).  Each routine returns the size it reports.

constexpr uint32_t kManifestCrcStart = 0xFFFFFFFFu;
uint32_t ManifestCrcUpdate(uint32_t crc, const void* data, size_t n);

// The record file open in the handle: the header bytes from the field count
// through the last descriptor, then data records 1 .. count - 1; size =
// (record count + header shift) x record length.
int64_t DatCrc(TDbTable& table, uint32_t& crc);
// Every entry of the index open in the handle; size = entries x entry size.
int64_t SezCrc(TDbTable& table, uint32_t& crc);
// The bytes from `offset` to the end; a missing file or one shorter than 5
// bytes gives size 0.
int64_t FileCrc(const std::string& path, int64_t offset, uint32_t& crc);
// A "B6" file whose first set belongs to `table`: bytes 4 to the end, and
// the first set's bit count.  -1 when the magic or the table differ; size 0
// as for FileCrc.
int64_t SignSetCrc(const std::string& path, const TFileId& table, uint32_t& crc, int32_t& firstBitCount);
// An "X6" file walked record by record from offset 16: the first 5 bytes of
// every item.  The file size; minus the offset of the first record whose
// marker is not 0xFFFF or whose head, items or data run past the end; 0 for a
// file shorter than its header.
int64_t PackedTextCrc(const std::string& path, uint32_t& crc);

// ---------------------------------------------------------------- the manifest

using ManifestReport = std::function<void(const std::string& line)>;

constexpr int kManifestFormat = 641; // "dbf=6.41"

// create (check false): writes "kalvo.kvo" into the folder for the edition
// letters `ware` and returns 641; reports "!! files" and "!! defect" lines.
// check: reads the manifest (its "ware=" replaces the argument), reports its
// "ver=" and "date=" lines, every judged file ("<name> OK" or "!! Bad CRC
// <name>: <stored> # <crc>,<size>") and the "!! files" and "!! defect"
// lines; returns its "dbf=" value without the point (625 when that is not a
// number).  A missing manifest or an empty edition judges nothing and says
// so ("!! files kalvo.kvo <status>", "!! files kalvo.kvo ware=<value>").
// `now` gives the date of the "ver=" and "date=" lines.
int DataManifest(const std::string& folder, bool check, std::string_view ware, const ManifestReport& report,
                 std::time_t now = std::time(nullptr));

// Compares the manifest's sizes with the files.  `text` gets one CR LF line
// per difference ("<folder><name>: <listed> x <actual>", actual -1 for a
// missing file) and "kvoErr <line>" for a line it cannot read ("kvoErr
// kalvo.kvo" without a manifest).  Returns the "dbf=" value without the
// point, 0 when absent.
int ManifestDiffs(const std::string& folder, std::string& text);

// The version stamp of a day: year "." quarter, then from the quarter's
// second week a letter per half week ("a" Monday-Wednesday of week two, "b"
// Thursday-Sunday, "c" ...), weeks counted from the Monday on or before the
// quarter's first day.
std::string QuarterStamp(int year, int month, int day);
// The stamp of `now` in local time.
std::string QuarterStamp(std::time_t now = std::time(nullptr));

// Size of a file, -1 when it does not exist.
int64_t FileSizeOf(const std::string& path);
