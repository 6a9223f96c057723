#pragma once
// What the codes of a CtrlText mean to the rich-text layout: paragraph
// starts and their styles, font flags, numbered-item labels, table
// definitions and extents, cell attributes and link kinds.  Pure functions
// over the items of datastore/ctrl_text.h; the HTML conversion keeps its own
// meanings of some codes.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/ctrl_text.h"

// ------------------------------------------------------------ paragraphs

// The code-19 style map a view gives the engine: the low nibble of byte 0 is
// the default style, bytes 1-10 the styles of code 19 with values 1-10.
using CtrlStyleMap = std::array<uint8_t, 12>;
// The map of the help, doping and classification windows.
constexpr CtrlStyleMap kHelpStyleMap = {0, 14, 15, 4, 4, 2, 4, 2, 2, 2, 7, 0};

inline int DefaultStyle(const CtrlStyleMap& map)
{
    return map[0] & 0x0F;
}

struct CtrlParagraphStart {
    bool starts = false;
    int style = 0;
    int offset = 0;        // where the paragraph begins (code 12: the text after it)
    int bulletLevel = 0;   // 1..3 for codes 1-3
    bool numbered = false; // code 21: label and level from NumberedItem*
    int value = 0;         // the code's first value (18, 19, 21)
};

struct CtrlParagraphRules {
    CtrlStyleMap styleMap = kHelpStyleMap;
    bool ignoreStyleMap = false; // mode 2: every code 19 takes the default style
};

// Whether the item opens a paragraph, looking at the item after it where the
// code's rule says so.  Inside a table code 14 opens none.
CtrlParagraphStart ParagraphStartAt(std::string_view text, const CtrlItem& item,
                                    const CtrlParagraphRules& rules, bool insideTable);

// Style of code 18 with value v: v mod 32, or 0 when that is 16 or more.
int Code18Style(int v);
// Style of code 19 with value v under the rules.
int Code19Style(int v, const CtrlParagraphRules& rules);

// ------------------------------------------------------------- font flags

struct CtrlFontFlags {
    bool bold = false;        // 0x001 or 0x100
    bool italic = false;      // 0x002
    bool underline = false;   // 0x004
    bool highlight = false;   // 0x008
    bool superscript = false; // 0x010
    bool subscript = false;   // 0x020
    bool operator==(const CtrlFontFlags&) const = default;
};
CtrlFontFlags FontFlagsOf(int value);

// --------------------------------------------------------- numbered items

// Level 0..2 of code 21 with value v.
int NumberedItemLevel(int v);
// Its label: "3.", "C)", "a)", "2.a".
std::string NumberedItemLabel(int v);

// ----------------------------------------------------------------- tables

constexpr int kCtrlMaxColumns = 12;
constexpr int kCtrlMaxTables = 32;

struct CtrlTableDef {
    int headerRows = 0;                        // p1 bits 0-2
    bool grid = false;                         // p1 bit 3
    int headerAttr = 0;                        // p1 bits 4-11, in place (a cell attribute)
    int headerColumns = 0;                     // p2 bits 0-3
    int bodyAttr = 0;                          // p2 bits 4-11, in place
    bool ruled = false;                        // p1 = 160 and p2 = 145
    int columns = 0;                           // width pairs given, at most 12
    std::array<int, kCtrlMaxColumns> widths{}; // given or default, fifths of a character
};

// The default width of column i (1-based): 480 div (i + 1).
int DefaultColumnWidth(int column);
// Reads a code 24 item.  Widths beyond the 12th are read and ignored.
CtrlTableDef TableDefOf(std::string_view text, const CtrlItem& item);

// Codes that end a table: 0, 1, 2, 3, 4, 5, 10, 12, 18, 19, 21, 24.
bool EndsTable(uint8_t code);

// Follows table definitions and their extents through a text, item by item:
// which table (if any) an item belongs to, and which row of it.
class CtrlTableTracker {
public:
    // Feed every item in order.
    void Feed(std::string_view text, const CtrlItem& item);

    bool InTable() const { return inTable_; }
    // Number of the current (or, outside a table, the next) table.
    int TableNumber() const { return counter_; }
    const CtrlTableDef& Def() const { return def_; }
    // 1-based row of the current table (0 before its first row code).
    int Row() const { return row_; }
    // 0-based column of the current cell.
    int Column() const { return column_; }
    bool HeaderRow() const { return row_ >= 1 && row_ <= def_.headerRows; }
    // The current cell's attribute, the value 15 resolved.
    int CellAttribute() const { return cellAttr_; }

private:
    int counter_ = 0;
    bool inTable_ = false;
    bool open_ = false; // a definition not yet closed by a code 4
    CtrlTableDef def_;
    int row_ = 0;
    int column_ = 0;
    int cellAttr_ = 0;
};

// ---------------------------------------------------------- cell attributes

// The value 15 means "from the definition": the header attribute in a header
// row or header column, else the body attribute.
int ResolveCellAttribute(int attr, const CtrlTableDef& def, bool headerRow, int column);
int CellSpan(int attr);      // bits 0-3; 0 and 15 count as 1
int CellAlignment(int attr); // bits 4-6
int CellRule(int attr);      // bits 7-8: 1 or 2 in a ruled table
int CellFontFlags(int attr); // bits 9-11 as font flags 1, 2, 4

// ------------------------------------------------------------------ links

enum class CtrlLinkKind { HelpTopic, Email, Web, Other };
struct CtrlLink {
    CtrlLinkKind kind = CtrlLinkKind::Other;
    std::string parameter; // the unpacked string
};
// Reads a code 26 item: three pairs are a help topic abbreviation, one pair
// a marker ("@" first: e-mail, else web address: the link text is the target).
CtrlLink LinkOf(std::string_view text, const CtrlItem& item);
