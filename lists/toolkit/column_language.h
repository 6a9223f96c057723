#pragma once
// The column language the list openers describe their columns in, and the
// range set-up of an index walk.  Pure functions over short strings in the
// data code page.
//
//  - RowLayoutSpec: three-letter column codes in the order their texts lie in
//    the row text, each optionally followed by "=NN" (length in the row
//    text) and/or "-NN" (shown length); NN is two characters, each "0" + a
//    digit value ("B0" = 180).  Ends with ".".
//  - ColumnWidthTable: n, n packed codes (u16 little-endian, 5 bits per
//    letter) and n field descriptors: bytes 4 .. 4 + 3n of a record file
//    header.  A column without "=NN" takes its field's length from it.
//  - ColumnNameList: the codes in column-number order separated by ",";
//    ",;" starts the next column group; "/n;" is a divider of style n.
//  - ColumnGeometry (what the grid parses): per column "offset",
//    "offset/length" or "0/0", group separators and dividers as above.
//  - ColumnOrderSpec: column numbers in priority order, each optionally "/w"
//    (width in 0.4 characters).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct TDatFile;
struct TDbTable;
struct TableLayout;
struct VybRec;

// The geometry of the columns a name list asks for.  A code missing from the
// layout (or without a place in the row text) vanishes together with the
// separator that ends it, so later column numbers shift.
std::string CompileColumnLayout(std::string_view rowLayoutSpec, std::string_view columnWidthTable,
                                std::string_view columnNameList);

// A display order written with codes ("Kod/18,Naz/42,SR") as one with column
// numbers.  Every item of the name list takes one number: dividers, the empty
// item of a group break (which no code matches) and two-letter codes (read
// with a trailing blank) included.  An unknown code is dropped together with
// its width.
std::string ColumnNamesToOrder(std::string_view columnNameList, std::string_view orderByCodes);

// The ColumnWidthTable of a record file's header (bytes 4 .. 4 + 3n).
std::string ColumnWidthTableOf(const TDatFile& dat);
// The same from a table's layout, so a list needs no open file for it.
std::string ColumnWidthTableOf(const TableLayout& layout);

// For a Fetch callback that has just positioned `table` on rec.Prefix with
// FindRecord: sets Count, RangeFirst and RangeLast (0-based positions in key
// order).  Without strict mode the range is the whole index; in strict mode
// exactly the keys that start with the prefix.  "=" on a digit key, "_" on a
// 6-bit key count the rest of the index from the current position.  The
// table's position is left on RangeFirst.
void InitFetchRange(VybRec& rec, TDbTable& table);

// The start of a Seek or First fetch: positions `table` on rec.Prefix, reads
// the entry found into `entry` and its place in key order into `position`.
// On a Seek that entry anchors the list (FoundPos, TopPos 0) and the fetch
// range is set.  False when there is nothing to show: unreadable data
// (`noData` is called, the list reports it) or a key outside the index.
bool SeekFetchStart(VybRec& rec, TDbTable& table, std::string& entry, int32_t& position,
                    const std::function<void()>& noData);
