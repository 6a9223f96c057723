#pragma once
// What the record-text composers share: the emitted byte groups, the field
// and text helpers, the raw files and the table handles.  The drug text, the
// device text and the price block are composed in files of their own
// (drug_record_text.cpp, device_record_text.cpp, price_block_text.cpp); not
// for other callers.
//
// No Qt.

#include <cstdint>
#include <string>
#include <string_view>

#include "datastore/ctrl_text.h"
#include "datastore/db_table.h"
#include "datastore/table_layouts.h"
#include "platform/ascii.h"

namespace record_parts {

inline constexpr int kRawReadLimit = 30000; // bytes read of ind_ome.dat and symbol.dat

// The hook's location code for a raw file that could not be read.
inline constexpr uint16_t kRawReadFailed = 11;

inline bool AboveBlank(char c)
{
    return static_cast<uint8_t>(c) > 0x20;
}

// A field's bytes as a string; TrimmedField without the blanks and control
// bytes around them.
inline std::string FieldText(std::string_view rec, FieldPos f)
{
    return std::string(FieldBytes(rec, f));
}

inline std::string_view TrimView(std::string_view s)
{
    return TrimIf(s, IsBlankOrControl);
}

inline std::string Trim(std::string_view s)
{
    return std::string(TrimView(s));
}

inline std::string TrimmedField(std::string_view rec, FieldPos f)
{
    return Trim(FieldBytes(rec, f));
}

inline std::string Key(char c)
{
    return std::string(1, c);
}

inline std::string WithoutLeadingPlus(std::string text)
{
    if (!text.empty() && text[0] == '+')
        text.erase(0, 1);
    return text;
}

inline bool HasHint(const std::string& hint)
{
    return !hint.empty() && hint[0] != '!';
}

inline bool IsLowerAscii(char c)
{
    return c >= 'a' && c <= 'z';
}

// The emitted byte groups.
inline void Heading(CtrlTextWriter& w, std::string_view text)
{
    w.Code(18, {11}).Text(text);
}

inline void TableDrug(CtrlTextWriter& w)
{
    w.Code(14).Code(24, {112, 1, 57, 199});
}

inline void TableDevice(CtrlTextWriter& w)
{
    w.Code(14).Code(24, {112, 1, 50, 200});
}

inline void EmphOn(CtrlTextWriter& w)
{
    w.Code(20, {1});
}
inline void EmphOff(CtrlTextWriter& w)
{
    w.Code(20, {0});
}
inline void HintOn(CtrlTextWriter& w)
{
    w.Code(31, {1});
}
inline void HintOff(CtrlTextWriter& w)
{
    w.Code(31, {0});
}
inline void CodeItem(CtrlTextWriter& w)
{
    w.Code(22, {32});
}
inline void SectionEnd(CtrlTextWriter& w)
{
    w.Code(4);
}
inline void ParagraphBreak(CtrlTextWriter& w)
{
    w.Code(14);
}
inline void LineBreak(CtrlTextWriter& w)
{
    w.Code(13);
}

inline void Hint(CtrlTextWriter& w, const std::string& hint)
{
    if (!HasHint(hint))
        return;
    HintOn(w);
    w.Text(hint);
    HintOff(w);
}

inline void AddCaption(std::string& captions, std::string_view caption)
{
    if (!captions.empty())
        captions += "\r\n";
    captions += caption;
}

// The 32-bit little-endian integer of a field, from bytes.
int32_t Le32At(std::string_view rec, FieldPos f);
// The integer of an amount field; an unparsable field reads 0.
int64_t IntegerOf(std::string_view field);
std::string HundredthsText(int64_t d);
// The codes of a specialist list: the first "/" read as ",", pieces cut at
// ",", trimmed, cut to 3 characters, a 2-character code with "_"; codes
// beginning with a small letter are not looked up.
void AppendPreCodes(CtrlTextWriter& w, std::string list);

enum class RawResult { Missing, Read, Failed };

// Reads at most `limit` bytes at `offset` of a file in the data folder.  A
// read past the end is short, not an error.  A file that exists but cannot
// be read reports through DbStatus and the error hook.
RawResult ReadRawFile(const char* name, int64_t offset, int limit, std::string& out);
// The first code 19 written as exactly these three bytes (19, v, 16).
bool FindCode19(std::string_view text, int value, CtrlItem& found);

void LabelCell(CtrlTextWriter& w, std::string_view section, std::string_view hintSection,
               std::string_view key, std::string_view prefix);

// The composers' handle of a table on this thread, kept open between
// compositions: opening maps the files and reads the index's upper levels,
// a cost that grows with the register.  Each composer uses a handle only
// between its own calls, never across a call that uses the same table.
TDbTable& Table(std::string_view dat);
// Opens a table (a handle already open on it in the data folder stays as it
// is); false when it cannot.
bool Open(TDbTable& t, const TableLayout& table, const char* sez);
// Whether a record read in key order still has the code it was sought by.
bool SameCode(std::string_view rec, FieldPos codeField, std::string_view code);
// Finds the first record whose key begins with `key`.
bool FindExact(TDbTable& t, std::string_view key, std::string& rec);
// Steps to the next record in key order; false at the end or on an error.
bool NextInOrder(TDbTable& t, std::string& rec);

} // namespace record_parts
