#pragma once
// A small reader of the text sources in demo/: UTF-8 CSV files with a header
// row of column names.
//
//  - Fields are separated by ","; a field in double quotes may hold ",", line
//    breaks and doubled quotes ("").
//  - A line whose first character is "#" is a comment; empty lines are
//    skipped; a UTF-8 byte order mark and CR LF line ends are accepted.
//  - A row with more fields than the header is an error; missing trailing
//    fields read as empty.
//
// Texts stay UTF-8 here; Utf8ToKam turns a value into the data code page.

#include <string>
#include <string_view>
#include <vector>

class CsvTable {
public:
    // Reads a file; false with a message ("kl.csv:12: ...") on failure.
    bool Load(const std::string& path, std::string& error);
    // Parses text; `name` only labels the messages.
    bool Parse(std::string_view text, const std::string& name, std::string& error);

    const std::vector<std::string>& Header() const { return header_; }
    size_t RowCount() const { return rows_.size(); }
    // Column index by name (exact match), -1 when absent.
    int Column(std::string_view name) const;
    // The value of a row in a column; "" when the column is absent.
    const std::string& Value(size_t row, std::string_view column) const;
    const std::vector<std::string>& Row(size_t row) const { return rows_[row]; }
    // Source line of a row, for messages.
    int LineOf(size_t row) const { return lines_[row]; }

private:
    std::vector<std::string> header_;
    std::vector<std::vector<std::string>> rows_;
    std::vector<int> lines_;
};

// UTF-8 to the data code page (Kamenický): through code page 1250, then the
// data code page's letters.  Typographic quotes and dashes become ASCII.
// False (with a message naming the character) for invalid UTF-8 or a
// character that the data code page cannot hold.
bool Utf8ToKam(std::string_view utf8, std::string& out, std::string& error);
