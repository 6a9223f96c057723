#include "lists/toolkit/column_language.h"

#include <algorithm>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "frame/config/placement_scheme.h"
#include "lists/toolkit/vyb_types.h"
#include "platform/coding.h"

namespace {

struct LayoutColumn {
    std::string code;  // three characters
    int rowLength = 0; // 0 = unknown
    int shown = 255;
    int offset = 0; // 1-based; 0 = no place in the row text
};

// A two-character NN: each character "0" + a digit value.
int TwoCharNumber(char a, char b)
{
    const int n = (static_cast<uint8_t>(a) - 48) * 10 + (static_cast<uint8_t>(b) - 48);
    return std::clamp(n, 0, 255);
}

// Three characters from `at`, blanks where the text ends.
std::string Triple(std::string_view s, size_t at)
{
    std::string t(3, ' ');
    for (size_t i = 0; i < 3 && at + i < s.size(); ++i)
        t[i] = s[at + i];
    return t;
}

bool IsSeparator(char c)
{
    return c == ',' || c == '/' || c == ';';
}

// The elements of a list and the separator that ends each ('\0' for the
// last one).
struct Element {
    std::string_view text;
    char separator;
};

std::vector<Element> SplitElements(std::string_view s, bool (*isSeparator)(char))
{
    std::vector<Element> out;
    size_t start = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size()) {
            if (start < s.size())
                out.push_back({s.substr(start), '\0'});
            break;
        }
        if (isSeparator(s[i])) {
            out.push_back({s.substr(start, i - start), s[i]});
            start = i + 1;
        }
    }
    return out;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The field length of a packed code in the width table; 0 when absent.
int WidthOfCode(std::string_view table, const std::string& code)
{
    if (table.empty())
        return 0;
    const size_t n = static_cast<uint8_t>(table[0]);
    if (table.size() < 1 + 3 * n)
        return 0;
    const uint16_t packed = PackKindCode(code);
    for (size_t i = 0; i < n; ++i)
        if (DecodeLE16(table.data() + 1 + 2 * i) == packed)
            return FieldLength(static_cast<uint8_t>(table[1 + 2 * n + i]));
    return 0;
}

std::vector<LayoutColumn> ParseRowLayout(std::string_view rowLayout, std::string_view widthTable)
{
    std::vector<LayoutColumn> cols;
    for (size_t at = 0; at < rowLayout.size(); at += 3) {
        const std::string t = Triple(rowLayout, at);
        if (t[0] == '=' || t[0] == '-') {
            if (cols.empty())
                continue;
            const int nn = TwoCharNumber(t[1], t[2]);
            (t[0] == '=' ? cols.back().rowLength : cols.back().shown) = nn;
            continue;
        }
        cols.push_back({t});
    }
    int offset = 2; // character 1 is the status character
    for (LayoutColumn& c : cols) {
        if (c.rowLength == 0)
            c.rowLength = WidthOfCode(widthTable, c.code);
        c.shown = std::min(c.shown, c.rowLength);
        if (c.rowLength > 0) {
            // A column that would start past the row text has no place in it.
            c.offset = offset <= 255 ? offset : 0;
            offset += c.rowLength;
        }
    }
    return cols;
}

std::string CodeOfElement(std::string_view element)
{
    std::string code(element.substr(0, std::min<size_t>(3, element.size())));
    code.resize(3, ' ');
    return code;
}

} // namespace

std::string CompileColumnLayout(std::string_view rowLayoutSpec, std::string_view columnWidthTable,
                                std::string_view columnNameList)
{
    const std::vector<LayoutColumn> cols = ParseRowLayout(rowLayoutSpec, columnWidthTable);
    std::string out;
    for (const Element& e : SplitElements(columnNameList, IsSeparator)) {
        std::string_view rest = e.text;
        while (!rest.empty() && IsDigit(rest.front())) {
            out += rest.front();
            rest.remove_prefix(1);
        }
        bool keepSeparator = true;
        if (!rest.empty()) {
            const std::string code = CodeOfElement(rest);
            auto it =
                std::find_if(cols.begin(), cols.end(), [&](const LayoutColumn& c) { return c.code == code; });
            keepSeparator = it != cols.end() && it->offset > 0;
            if (keepSeparator && it->shown == 0)
                out += "0/0";
            else if (keepSeparator)
                out += std::to_string(it->offset) + (it->shown == 1 ? "" : "/" + std::to_string(it->shown));
        }
        if (keepSeparator && e.separator != '\0')
            out += e.separator;
    }
    return out;
}

std::string ColumnNamesToOrder(std::string_view columnNameList, std::string_view orderByCodes)
{
    // One entry per item between "," and ";"; the empty item matches nothing.
    std::vector<std::string> codes;
    for (const Element& e : SplitElements(columnNameList, [](char c) { return c == ',' || c == ';'; }))
        codes.push_back(e.text.empty() ? std::string() : CodeOfElement(e.text));
    if (!columnNameList.empty() && IsSeparator(columnNameList.back()) && columnNameList.back() != '/')
        codes.emplace_back(); // the list ends in a separator: its empty last item

    std::string order(orderByCodes);
    if (!order.empty() && order.back() != ',' && order.back() != ';')
        order += ',';
    std::string out;
    bool dropWidth = false;
    for (const Element& e : SplitElements(order, IsSeparator)) {
        if (dropWidth) {
            dropWidth = false;
            if (!e.text.empty() && IsDigit(e.text.front()))
                continue;
        }
        if (!e.text.empty() && IsDigit(e.text.front())) {
            out += e.text;
            if (e.separator != '\0')
                out += e.separator;
            continue;
        }
        const std::string code = CodeOfElement(e.text);
        auto it = e.text.empty() ? codes.end() : std::find(codes.begin(), codes.end(), code);
        if (it == codes.end()) {
            // The width after an unknown code would read as a column number.
            dropWidth = e.separator == '/';
            continue;
        }
        out += std::to_string(it - codes.begin());
        if (e.separator != '\0')
            out += e.separator;
    }
    return out;
}

std::string ColumnWidthTableOf(const TDatFile& dat)
{
    const int n = dat.FieldCount();
    std::string table(1, static_cast<char>(n));
    for (int i = 0; i < n; ++i) {
        char b[2];
        EncodeLE16(b, dat.FieldName(i));
        table.append(b, 2);
    }
    for (int i = 0; i < n; ++i)
        table += static_cast<char>(dat.FieldDescriptor(i));
    return table;
}

std::string ColumnWidthTableOf(const TableLayout& layout)
{
    std::string table(1, static_cast<char>(layout.FieldCount()));
    for (const FieldDef& f : layout.fields) {
        char b[2];
        EncodeLE16(b, PackedFieldName(f.name));
        table.append(b, 2);
    }
    for (const FieldDef& f : layout.fields)
        table += static_cast<char>(f.descriptor);
    return table;
}

namespace {

// The last character raised by one, dropping characters that cannot be
// raised within the key's alphabet; empty when none can.
std::string RaisedKey(std::string key, bool sixBit)
{
    const uint8_t top = sixBit ? 95 : 255;
    while (!key.empty() && static_cast<uint8_t>(key.back()) >= top)
        key.pop_back();
    if (!key.empty())
        key.back() = static_cast<char>(static_cast<uint8_t>(key.back()) + 1);
    return key;
}

// Whether the key field of the record is below `key` over the key's length.
bool FieldBelow(const TDbTable& t, std::string_view record, std::string_view key, bool folded)
{
    const size_t start = static_cast<size_t>(t.sez.KeyFieldOffset());
    for (size_t i = 0; i < key.size(); ++i) {
        uint8_t f = start + i < record.size() ? static_cast<uint8_t>(record[start + i]) : ' ';
        uint8_t k = static_cast<uint8_t>(key[i]);
        if (folded) {
            f = KamUpper[f];
            k = KamUpper[k];
        }
        if (f != k)
            return f < k;
    }
    return false;
}

} // namespace

void InitFetchRange(VybRec& rec, TDbTable& table)
{
    const int32_t leaves = table.LeafCount();
    rec.Count = leaves;
    rec.RangeFirst = 0;
    rec.RangeLast = leaves - 1;

    const uint8_t type = table.sez.keyType & 0xE0;
    const bool sixBit = type == 64 || type == 192;
    const std::string key = sixBit ? KamFoldUpper(rec.Prefix) : rec.Prefix;
    if (!rec.Strict() || key.empty())
        return;

    const int32_t position = table.Position();
    if (key.size() == 1 && ((key[0] == '=' && type == 32) || (key[0] == '_' && sixBit))) {
        rec.Count = leaves - position;
        return;
    }

    rec.RangeFirst = position;
    const std::string raised = RaisedKey(key, sixBit);
    if (raised.empty()) {
        rec.Count = rec.RangeLast - rec.RangeFirst + 1;
        return;
    }
    const int32_t recNo = table.recNo;
    std::string record;
    FindRecord(table, raised, record);
    if (DbStatus == DbCode::NotExact)
        DbStatus = 0;
    if (DbStatus == 0) {
        const int32_t reached = table.Position();
        rec.RangeLast = FieldBelow(table, record, raised, sixBit) ? reached : reached - 1;
    }
    rec.Count = std::max(0, rec.RangeLast - rec.RangeFirst + 1);
    table.sez.curPos = rec.RangeFirst;
    table.recNo = recNo;
}

bool SeekFetchStart(VybRec& rec, TDbTable& table, std::string& entry, int32_t& position,
                    const std::function<void()>& noData)
{
    FindRecord(table, rec.Prefix, entry);
    if (DbStatus > 0) {
        noData();
        return false;
    }
    if (DbStatus == DbCode::OutOfRange || DbStatus == DbCode::BadKeyChar)
        return false;
    DbStatus = 0;
    position = table.Position();
    if (rec.FetchMode == FetchModeCode::Seek) {
        rec.FoundPos = position;
        rec.TopPos = 0;
        InitFetchRange(rec, table);
        DbStatus = 0;
    }
    return true;
}
