#pragma once
// The text-table writer: compiles an editable UTF-8 source into a text table
// ("M6", docs/formats/text-table.md) and prints any table back as source.
//
// Source form (UTF-8; a BOM and CR LF line ends are accepted):
//   [Section]        starts a section
//   Key=Value        an entry: the key is everything before the first "=",
//                    the value everything after it, both exact (never trimmed)
//   ; comment        skipped, as are empty lines and lines of blanks only
// Escapes in names, keys and values: "\\" a backslash, "\xHH" one byte as it
// is, unconverted (a control code, a blank ending a value, "=" in a key, a
// leading ";" or "[").  Text goes from Unicode to code page 1250 and then
// to the Kamenický code page; a character that would not come back
// unchanged for display is refused, so the program shows what the source says.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace textsrc {

struct Entry {
    std::string key; // bytes as stored
    std::string value;
    int line = 0;
};

struct Section {
    std::string name;
    std::vector<Entry> entries;
    int line = 0;
};

struct Source {
    std::vector<Section> sections;
    int lastLine = 0;
};

struct Error {
    std::string file;
    int line = 0;
    std::string reason;
    // "file:line: reason"
    std::string Message() const;
};

constexpr uint16_t kDefaultStamp = 256;

// Parses a source; false and `err` (file, line, reason) on the first error.
bool ParseSource(std::string_view utf8, const std::string& fileName, Source& out, Error& err);

// Lays the table out: "M6", the stamp, the size, zeros, the sections.  The
// table is extended when its file bytes 14 and 15 are both "_".  False and
// `err` for an empty value in an extended table or a table over 65,500 bytes.
bool BuildTable(const Source& src, uint16_t stamp, const std::string& fileName, std::string& out, Error& err);

// Parses and builds; the whole compiler but the file handling.
bool CompileSource(std::string_view utf8, const std::string& fileName, uint16_t stamp, std::string& table,
                   Error& err);

// Reads `sourcePath`, compiles it and writes `outputPath` atomically.  On any
// error nothing is written (an existing output stays) and `message` names
// the file, the line and the reason.  This is what the build's compiler and
// the demo-data builder call.
bool CompileTextTableFile(const std::string& sourcePath, const std::string& outputPath, uint16_t stamp,
                          std::string& message);

// Prints a table ("M6" or "V6", plain or extended) in the source form, so
// that compiling the dump of a compiled table gives the same bytes.  False
// and `message` when the table is damaged (what could be read is in `out`).
bool DumpTable(std::string_view table, std::string& out, std::string& message);

} // namespace textsrc
