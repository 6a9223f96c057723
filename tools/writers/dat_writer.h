#pragma once
// Writer of record files (".dat", magic "D6"): a header of field names and
// descriptors, then fixed-length records.  Used by the data-set builder and by
// tests; the layout is in docs/formats/dat.md.
//
//   DatLayout kl({{"KOD", 0x96}, {"NAZ", 0x45}, ...});
//   std::string rec = kl.BlankRecord();
//   kl.PutText(rec, "NAZ", kamText);
//   WriteDatFile(dir + "/kl.dat", kl, {rec, ...}, stamp);
//
// Record i of the vector becomes record number i + 1.  The header takes file
// record 0, or records 0 and 1 when 3n + 5 > L (header shift); unused header
// bytes are zero.  The writer does not pad a small table to 185 bytes: a
// data set meant for older readers should have enough records itself.
// A rule broken by the caller (no fields, more than 60, a header longer than
// two records, a record of the wrong length, an unknown field name, a value
// that does not fit) throws std::invalid_argument.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/table_layouts.h"

struct DatField {
    std::string name;   // three letters ("KOD"; "SR" is stored as "SR ")
    uint8_t descriptor; // length and kind, see FieldLength
};

// Packs a name of up to three letters: letter i in bits 10-5i .. 14-5i, each
// letter as its code AND 0x1F (a blank or a missing letter is 0).
uint16_t PackFieldName(std::string_view name);

class DatLayout {
public:
    explicit DatLayout(std::vector<DatField> fields);
    // The fields of a table of the data folder (datastore/table_layouts.h).
    explicit DatLayout(const TableLayout& layout);

    const std::vector<DatField>& Fields() const { return fields_; }
    int Length() const { return length_; }
    // 1 when the header needs a second record.
    int HeaderShift() const { return 3 * static_cast<int>(fields_.size()) + 5 > length_ ? 1 : 0; }

    // Index of a field by name (blank padded names match "SR"); -1 if absent.
    int Find(std::string_view name) const;
    // 0-based offset and width of a field; throws for an unknown name.
    int Offset(std::string_view name) const;
    int Width(std::string_view name) const;

    // A record of L blanks.
    std::string BlankRecord() const { return std::string(static_cast<size_t>(length_), ' '); }

    // Text left-aligned, padded with blanks (bytes given as stored).
    void PutText(std::string& rec, std::string_view name, std::string_view text) const;
    // Text right-aligned, padded on the left with `pad`.
    void PutRight(std::string& rec, std::string_view name, std::string_view text, char pad = ' ') const;
    // A little-endian binary integer over the whole field (1..8 bytes).
    void PutInt(std::string& rec, std::string_view name, int64_t value) const;

private:
    std::vector<DatField> fields_;
    std::vector<int> offsets_;
    int length_ = 0;
};

// The whole file: header record(s), then the records.
std::string BuildDatFile(const DatLayout& layout, const std::vector<std::string>& records,
                         uint16_t stamp = 0);
// Builds the file and writes it atomically; 0 or the I/O result.
int WriteDatFile(const std::string& path, const DatLayout& layout, const std::vector<std::string>& records,
                 uint16_t stamp = 0);
