#include "viewers/record_text.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "datastore/text_table.h"
#include "platform/fs.h"
#include "viewers/record_text_parts.h"

namespace record_parts {

// The 32-bit little-endian integer of a field, from bytes.
int32_t Le32At(std::string_view rec, FieldPos f)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(FieldByte(rec, f, i));
    return static_cast<int32_t>(v);
}

// The integer of an amount field; an unparsable field reads 0.
int64_t IntegerOf(std::string_view field)
{
    const std::string_view t = TrimView(field);
    int64_t v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || end != t.data() + t.size())
        return 0;
    return v;
}

std::string HundredthsText(int64_t d)
{
    if (d <= 0)
        return "0.00";
    std::string s = std::to_string(d);
    if (d < 10)
        return "0.0" + s;
    if (d < 100)
        return "0." + s;
    s.insert(s.size() - 2, 1, '.');
    return s;
}

// The codes of a specialist list: the first "/" read as ",", pieces cut at
// ",", trimmed, cut to 3 characters, a 2-character code with "_"; codes
// beginning with a small letter are not looked up.
void AppendPreCodes(CtrlTextWriter& w, std::string list)
{
    const size_t slash = list.find('/');
    if (slash != std::string::npos)
        list[slash] = ',';
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        std::string code = Trim(std::string_view(list).substr(start, comma - start));
        start = comma + 1;
        if (code.empty())
            continue;
        if (code.size() > 3)
            code.resize(3);
        if (code.size() == 2)
            code.push_back('_');
        if (IsLowerAscii(code[0]))
            continue;
        CodeItem(w);
        w.Field(code);
        w.Code(6);
        w.Text(DataSetText("Pre", code));
    }
}

// ------------------------------------------------------------- raw files

// Reads at most `limit` bytes at `offset` of a file in the data folder.  A
// read past the end is short, not an error.  A file that exists but cannot
// be read reports through DbStatus and the error hook.
RawResult ReadRawFile(const char* name, int64_t offset, int limit, std::string& out)
{
    out.clear();
    const std::string path = ResolveInFolder(DataDir(), name);
    ReadOnlyFile file;
    int r = file.Open(path);
    if (r == IoResult::NotFound || r == IoResult::PathNotFound)
        return RawResult::Missing;
    if (r == 0) {
        const int64_t size = file.Size();
        if (limit > 0 && offset < size) {
            out.resize(static_cast<size_t>(std::min<int64_t>(limit, size - offset)));
            size_t got = 0;
            r = file.ReadAt(offset, out.data(), out.size(), &got);
            out.resize(got);
            if (r == IoResult::ShortRead)
                r = 0;
        }
    }
    if (r != 0) {
        out.clear();
        DbStatus = r;
        std::string id(name);
        id.resize(id.find('.'));
        CallDbErrorHook(TFileId(id), static_cast<int32_t>(std::min<int64_t>(offset, INT32_MAX)),
                        kRawReadFailed);
        return RawResult::Failed;
    }
    return RawResult::Read;
}

// The first code 19 written as exactly these three bytes (19, v, 16).
bool FindCode19(std::string_view text, int value, CtrlItem& found)
{
    CtrlTokenizer walk(text);
    CtrlItem item;
    while (walk.Next(item)) {
        if (item.IsCode(19) && item.length == 3 && !item.truncated &&
            static_cast<uint8_t>(text[static_cast<size_t>(item.offset + 1)]) == value &&
            static_cast<uint8_t>(text[static_cast<size_t>(item.offset + 2)]) == 16) {
            found = item;
            return true;
        }
    }
    return false;
}

// ----------------------------------------------------------- label cells

void LabelCell(CtrlTextWriter& w, std::string_view section, std::string_view hintSection,
               std::string_view key, std::string_view prefix)
{
    w.Code(11);
    w.Raw(prefix);
    w.Text(WithoutLeadingPlus(DataSetText(section, key)));
    Hint(w, DataSetText(hintSection, key));
    w.Code(6);
}

// ------------------------------------------------------------ table handles

// The composers' handle of a table on this thread, kept open between
// compositions: opening maps the files and reads the index's upper levels,
// a cost that grows with the register.  Each composer uses a handle only
// between its own calls, never across a call that uses the same table.
TDbTable& Table(std::string_view dat)
{
    thread_local std::map<std::string, TDbTable, std::less<>> tables;
    auto it = tables.find(dat);
    if (it == tables.end())
        it = tables.try_emplace(std::string(dat)).first;
    return it->second;
}

// Opens a table (a handle already open on it in the data folder stays as it
// is); false when it cannot.
bool Open(TDbTable& t, const TableLayout& table, const char* sez)
{
    OpenTable(t, TFileId(table.id), TFileId(sez), static_cast<uint16_t>(table.Length()));
    return DbStatus == 0;
}

// Whether a record read in key order still has the code it was sought by.
bool SameCode(std::string_view rec, FieldPos codeField, std::string_view code)
{
    return FieldBytes(rec, codeField) == code;
}

// Finds the first record whose key begins with `key`.
bool FindExact(TDbTable& t, std::string_view key, std::string& rec)
{
    FindRecord(t, key, rec);
    return DbStatus == 0 && rec.compare(0, key.size(), key) == 0;
}

// Steps to the next record in key order; false at the end or on an error.
bool NextInOrder(TDbTable& t, std::string& rec)
{
    ReadByOrder(t, t.Position() + 1, rec);
    return DbStatus == 0;
}

} // namespace record_parts

using namespace record_parts;

// ----------------------------------------------------------------- helpers

void DrugLabelCell(CtrlTextWriter& w, std::string_view key)
{
    LabelCell(w, "Hlav", "HlavH", key, {});
}

void DeviceLabelCell(CtrlTextWriter& w, std::string_view key, std::string_view prefix)
{
    LabelCell(w, "tHla", "tHlaH", key, prefix);
}

namespace {

int MonthOf(char c)
{
    if (c >= '1' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'C')
        return c - 'A' + 10;
    return 0;
}

int DayOf(char c)
{
    if (c >= '1' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'U')
        return c - 'A' + 10;
    if (c >= 'V' && c <= 'Z')
        return 31;
    return 0;
}

std::string TwoDigits(int v)
{
    return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

} // namespace

std::string MonthYearText(std::string_view code)
{
    if (code.size() < 4)
        return {};
    const int month = MonthOf(code[2]);
    if (month == 0)
        return {};
    return std::to_string(month) + "/20" + std::string(code.substr(0, 2));
}

std::string DayMonthYearText(std::string_view code)
{
    if (code.size() < 4)
        return {};
    const int month = MonthOf(code[2]);
    const int day = DayOf(code[3]);
    if (month == 0 || day == 0)
        return {};
    return TwoDigits(day) + "." + TwoDigits(month) + ".20" + std::string(code.substr(0, 2));
}

std::string StripAngleTags(std::string_view text)
{
    std::string s(text);
    for (;;) {
        const size_t open = s.find('<');
        if (open == std::string::npos)
            break;
        const size_t close = s.find('>', open);
        if (close == std::string::npos)
            break;
        s.erase(open, close - open + 1);
    }
    return s;
}

bool SamePriceTerms(std::string_view a, std::string_view b)
{
    auto same = [&](FieldPos f) { return FieldBytes(a, f) == FieldBytes(b, f); };
    if (!same(kPriceAmount) || !same(kPriceMaxReimbursement) || !same(kPriceSpecialists) ||
        !same(kPriceIndication))
        return false;
    switch (FieldByte(b, kPriceReimbursementLetter)) {
    case 'B':
    case 'K':
    case 'S':
    case 'T':
    case 'U': return true;
    default: return same(kPriceZapd) && same(kPriceNezap);
    }
}

void FilterLimitParagraphs(std::string& text, std::string_view codes)
{
    // Split the codes once.
    std::vector<std::string_view> list;
    for (size_t start = 0; start <= codes.size();) {
        size_t comma = codes.find(',', start);
        if (comma == std::string_view::npos)
            comma = codes.size();
        if (comma > start)
            list.push_back(codes.substr(start, comma - start));
        start = comma + 1;
    }
    const size_t size = text.size();
    auto byteAt = [&](size_t p) { return p < size ? text[p] : '\0'; };
    auto wanted = [&](size_t p) {
        if (p + 10 >= size)
            return false; // a marker in the last bytes has no key
        const char key = text[p + 10];
        const char qualifier = byteAt(p + 11);
        for (std::string_view c : list) {
            if (c[0] != key)
                continue;
            const char next = c.size() > 1 ? c[1] : '\0';
            if (next == '3' && qualifier != '3')
                continue;
            if (key == 'L' && (qualifier == '\'') != (next == '\''))
                continue;
            return true;
        }
        return false;
    };

    std::vector<size_t> markers;
    CtrlTokenizer walk(text);
    CtrlItem item;
    while (walk.Next(item))
        if (item.IsCode(19) && item.length >= 3 && static_cast<uint8_t>(byteAt(item.offset + 1)) == 7)
            markers.push_back(static_cast<size_t>(item.offset));

    size_t out = 0;
    auto keep = [&](size_t from, size_t to) {
        if (out != from)
            std::copy(text.begin() + static_cast<std::ptrdiff_t>(from),
                      text.begin() + static_cast<std::ptrdiff_t>(to),
                      text.begin() + static_cast<std::ptrdiff_t>(out));
        out += to - from;
    };
    const size_t first = markers.empty() ? size : markers[0];
    if (codes.find(',') != std::string_view::npos)
        keep(0, first);
    // Decide first: a short paragraph's key may lie on the next marker.
    std::vector<bool> kept(markers.size());
    for (size_t i = 0; i < markers.size(); ++i)
        kept[i] = wanted(markers[i]);
    for (size_t i = 0; i < markers.size(); ++i) {
        const size_t p = markers[i];
        const size_t end = i + 1 < markers.size() ? markers[i + 1] : size;
        if (!kept[i])
            continue;
        text[p] = 18;
        text[p + 1] = 8;
        keep(p, end);
    }
    text.resize(out);
}
