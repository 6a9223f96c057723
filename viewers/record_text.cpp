#include "viewers/record_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "lists/list_text_helpers.h"
#include "platform/fs.h"

namespace {

// ------------------------------------------------------------ small pieces

constexpr int kRawReadLimit = 30000;      // bytes read of ind_ome.dat and symbol.dat
constexpr int kBorrowedLimit = 9999;      // bytes copied of a borrowed paragraph
constexpr int kDrugRecordLength = 346;
constexpr int kPriceRecordLength = 124;
constexpr int kDeviceRecordLength = 290;
constexpr int kPriceSlots = 14;

// The hook's location code for a raw file that could not be read.
constexpr uint16_t kRawReadFailed = 11;

char At(std::string_view rec, int pos) // 1-based; a blank past the end
{
    return pos >= 1 && static_cast<size_t>(pos) <= rec.size() ? rec[static_cast<size_t>(pos - 1)]
                                                               : ' ';
}

bool AboveBlank(char c)
{
    return static_cast<uint8_t>(c) > 0x20;
}

std::string F(std::string_view rec, int pos, int len)
{
    return GetField(rec, pos, len);
}

std::string_view TrimView(std::string_view s)
{
    while (!s.empty() && static_cast<uint8_t>(s.front()) <= 0x20)
        s.remove_prefix(1);
    while (!s.empty() && static_cast<uint8_t>(s.back()) <= 0x20)
        s.remove_suffix(1);
    return s;
}

std::string Trim(std::string_view s)
{
    return std::string(TrimView(s));
}

std::string FT(std::string_view rec, int pos, int len)
{
    return Trim(GetField(rec, pos, len));
}

std::string Key(char c)
{
    return std::string(1, c);
}

std::string Data(std::string_view section, std::string_view key)
{
    return LookupText(DataTexts, section, key);
}

std::string Ui(std::string_view section, std::string_view key)
{
    return LookupText(UiTexts, section, key);
}

std::string WithoutLeadingPlus(std::string text)
{
    if (!text.empty() && text[0] == '+')
        text.erase(0, 1);
    return text;
}

bool HasHint(const std::string& hint)
{
    return !hint.empty() && hint[0] != '!';
}

bool IsLowerAscii(char c)
{
    return c >= 'a' && c <= 'z';
}

// The emitted byte groups.
void Heading(CtrlTextWriter& w, std::string_view text)
{
    w.Code(18, {11}).Text(text);
}

void TableDrug(CtrlTextWriter& w)
{
    w.Code(14).Code(24, {112, 1, 57, 199});
}

void TableDevice(CtrlTextWriter& w)
{
    w.Code(14).Code(24, {112, 1, 50, 200});
}

void EmphOn(CtrlTextWriter& w) { w.Code(20, {1}); }
void EmphOff(CtrlTextWriter& w) { w.Code(20, {0}); }
void HintOn(CtrlTextWriter& w) { w.Code(31, {1}); }
void HintOff(CtrlTextWriter& w) { w.Code(31, {0}); }
void CodeItem(CtrlTextWriter& w) { w.Code(22, {32}); }
void SectionEnd(CtrlTextWriter& w) { w.Code(4); }
void Par(CtrlTextWriter& w) { w.Code(14); }
void Br(CtrlTextWriter& w) { w.Code(13); }

void Hint(CtrlTextWriter& w, const std::string& hint)
{
    if (!HasHint(hint))
        return;
    HintOn(w);
    w.Text(hint);
    HintOff(w);
}

void AddCaption(std::string& captions, std::string_view caption)
{
    if (!captions.empty())
        captions += "\r\n";
    captions += caption;
}

// The 32-bit little-endian integer at a 1-based position, from bytes.
int32_t Le32At(std::string_view rec, int pos)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(At(rec, pos + i));
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
        w.Text(Data("Pre", code));
    }
}

// ------------------------------------------------------------- raw files

enum class RawResult { Missing, Read, Failed };

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
    w.Text(WithoutLeadingPlus(Data(section, key)));
    Hint(w, Data(hintSection, key));
    w.Code(6);
}

// ------------------------------------------------------- the indication

// The indication text of a price record: from the record's offset + 21 of
// ind_ome.dat, cut after the first 0 of a pair of 0s (or after its last
// whole item, closed with a 0), from its first code 19 (30) on.  False when
// there is no such text there.
bool IndicationText(std::string raw, std::string& out)
{
    CtrlTokenizer walk(raw);
    CtrlItem item;
    int cut = -1;
    bool lastWasZero = false;
    int zeroAt = 0;
    while (walk.Next(item)) {
        if (item.IsCode(0)) {
            if (lastWasZero) {
                cut = zeroAt + 1;
                break;
            }
            lastWasZero = true;
            zeroAt = item.offset;
        } else {
            lastWasZero = false;
        }
    }
    if (cut >= 0) {
        raw.resize(static_cast<size_t>(cut));
    } else {
        raw.resize(static_cast<size_t>(CtrlLastWholeItemEnd(raw)));
        raw.push_back('\0');
    }
    CtrlItem marker;
    if (!FindCode19(raw, 30, marker))
        return false;
    out = raw.substr(static_cast<size_t>(marker.offset));
    return true;
}

void IndicationParagraph(CtrlTextWriter& w, std::string& captions, std::string_view price,
                         const std::string& name)
{
    const int32_t offset = Le32At(price, 121);
    std::string raw;
    // With no offset nothing is read, but the file must be there.
    const RawResult r = ReadRawFile("ind_ome.dat", int64_t{offset} + 21,
                                    offset < 1 ? 0 : kRawReadLimit, raw);
    if (r == RawResult::Missing)
        return;
    Heading(w, WithoutLeadingPlus(Data("Hlav", "indo")) + name);
    AddCaption(captions, Data("Hlav", "indoZ"));
    std::string text;
    if (offset >= 1 && IndicationText(raw, text)) {
        w.Raw(text);
        return;
    }
    Par(w);
    w.Text(Ui("Chyby", "InOmNo"));
    w.Text(" " + std::to_string(offset));
}

void LimitationParagraph(CtrlTextWriter& w, std::string& captions, const std::string& codes,
                         const std::string& name)
{
    std::string raw;
    if (ReadRawFile("symbol.dat", 0, kRawReadLimit, raw) != RawResult::Read)
        return;
    // The legend ends at its first code 0; a cut splits no code.
    raw.resize(CtrlTextUpToEnd(raw).size());
    raw.resize(static_cast<size_t>(CtrlLastWholeItemEnd(raw)));
    FilterLimitParagraphs(raw, codes);
    Heading(w, WithoutLeadingPlus(Data("Hlav", "limit")) + name);
    AddCaption(captions, Data("Hlav", "limitZ"));
    w.Raw(raw);
}

// ------------------------------------------------------------ drug parts

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
bool Open(TDbTable& t, const char* dat, const char* sez, uint16_t length)
{
    OpenTable(t, TFileId(dat), TFileId(sez), length);
    return DbStatus == 0;
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

int SlotOfKind(char kind)
{
    const int k = static_cast<uint8_t>(kind);
    int slot = k >= 'a' ? 2 * (k - 'a') + 1 : 2 * (k - 'A');
    if (slot > 13)
        slot = 12;
    if (slot < 0)
        slot = 0;
    return slot;
}

bool SlotFilled(const std::string& rec)
{
    return At(rec, 8) != ' ';
}

void Replacements(CtrlTextWriter& w, std::string_view outage, std::string_view drug)
{
    const std::string list = FT(outage, 13, 50);
    TDbTable& kl = Table("kl");
    const bool open = Open(kl, "kl", "klkod", kDrugRecordLength);
    bool first = true;
    auto line = [&]() {
        if (!first)
            Br(w);
        first = false;
    };
    std::string rec;
    for (size_t i = 0; i < list.size(); i += 7) {
        const std::string piece = list.substr(i, 7);
        if (TrimView(piece).empty())
            continue;
        if (piece.size() < 7) {
            line();
            w.Text(Data("Hlav", "vyp_kl"));
            continue;
        }
        if (!open || !FindExact(kl, piece, rec))
            continue;
        const char status = At(rec, 190);
        if (status == '-' || status == '\\')
            continue;
        if (GetField(rec, 193, 3) != GetField(drug, 193, 3))
            continue;
        line();
        w.Field(Trim(piece) + ", " + FT(rec, 8, 70) + ", " + FT(rec, 117, 24) + " " +
                FT(rec, 78, 27) + " " + FT(rec, 141, 22) + ", " + FT(rec, 193, 7));
    }
}

void OutageSection(CtrlTextWriter& w, std::string& captions, std::string_view drug)
{
    if (!AboveBlank(At(drug, 319)))
        return;
    TDbTable& t = Table("vypad");
    std::string rec;
    if (!Open(t, "vypad", "vypadkod", 244) || !FindExact(t, F(drug, 1, 7), rec))
        return;
    Heading(w, Data("Hlav", "vypad"));
    AddCaption(captions, Data("Hlav", "vypadZ"));
    TableDrug(w);
    char kind = At(rec, 8);
    if (kind >= 'a' && kind <= 'z')
        kind = static_cast<char>(kind - 32);
    DrugLabelCell(w, "vtyp");
    w.Text(Data("VypTyp", Key(kind)));
    DrugLabelCell(w, "vod");
    w.Text(DayMonthYearText(F(rec, 9, 4)));
    if (const std::string reason = FT(rec, 191, 50); !reason.empty()) {
        DrugLabelCell(w, "duvod");
        w.Field(reason);
    }
    DrugLabelCell(w, "obnov");
    const std::string renewal = F(rec, 241, 4);
    w.Text(renewal == "99CZ" ? Data("Hlav", "vyp_oo") : DayMonthYearText(renewal));
    DrugLabelCell(w, "nahr");
    Replacements(w, rec, drug);
    if (const std::string note = FT(rec, 63, 128); !note.empty()) {
        DrugLabelCell(w, "pozn");
        w.Field(note);
    }
    SectionEnd(w);
}

void ClassesSection(CtrlTextWriter& w, std::string& captions, std::string_view drug)
{
    Heading(w, Data("Hlav", "tridy"));
    AddCaption(captions, Data("Hlav", "tridyZ"));
    TableDrug(w);
    const std::string code = F(drug, 1, 7);
    DrugLabelCell(w, "inds");
    w.Text(LookupIsv(F(drug, 191, 2)));

    const std::string atc = F(drug, 193, 7);
    DrugLabelCell(w, "atc5");
    w.Text(Trim(LookupAtc(atc, code)));
    w.Field(" (" + Trim(atc) + ")");
    if (AboveBlank(At(drug, 198))) {
        const std::string atc4 = atc.substr(0, std::min<size_t>(atc.size(), 5));
        DrugLabelCell(w, "atc4");
        w.Text(Trim(LookupAtc(atc4, code)));
        w.Field(" (" + Trim(atc4) + ")");
    }

    DrugLabelCell(w, "ddd");
    const std::string ddd = Trim(F(drug, 224, 4) + " " + F(drug, 228, 2));
    w.Field(ddd.empty() ? std::string(" -") : ddd);

    const std::string db = F(drug, 230, 8);
    std::string dddb = db.substr(0, std::min<size_t>(db.size(), 5));
    dddb += At(drug, 235) != ' ' ? '.' : ' ';
    if (db.size() > 5)
        dddb += db.substr(5);
    dddb = Trim(dddb);
    if (!dddb.empty()) {
        DrugLabelCell(w, "dddb");
        w.Field(dddb);
    }

    DrugLabelCell(w, "lzav");
    w.Text(StripAngleTags(Data("ZavW", Key(At(drug, 221)))));

    DrugLabelCell(w, "dopig");
    std::string dop = F(drug, 238, 3);
    dop.resize(3, ' ');
    if (dop[0] == ' ') {
        w.Text(" -");
    } else {
        if (IsLowerAscii(dop[0]))
            dop = "OOO";
        std::string key = dop;
        if (key[2] == ' ')
            key[2] = '_';
        w.Field(dop);
        w.Text(" - " + StripAngleTags(Data("DopW", key)));
    }

    DrugLabelCell(w, "narvl");
    const std::string nv = F(drug, 241, 2);
    if (TrimView(nv).empty()) {
        w.Text(" -");
    } else {
        w.Field(nv);
        w.Text(" - " + Data("Dnv", nv));
    }
    SectionEnd(w);
}

void RegistrationSection(CtrlTextWriter& w, std::string& captions, std::string_view drug)
{
    Heading(w, Data("Hlav", "regis"));
    AddCaption(captions, Data("Hlav", "regisZ"));
    TableDrug(w);
    if (const char tr = At(drug, 216); tr != ' ') {
        DrugLabelCell(w, "treg");
        w.Text(Data("RetW", Key(tr)));
    }
    const char status = At(drug, 190);
    DrugLabelCell(w, "sreg");
    w.Text(Data("RegW", status == ' ' ? std::string("_") : Key(status)));
    if (status == '-' || status == '\\')
        w.Text(" (" + MonthYearText(F(drug, 245, 4)) + ")");
    if (At(drug, 184) != ' ') {
        DrugLabelCell(w, "drz");
        w.Text(Trim(LookupHolder(F(drug, 184, 3) + F(drug, 187, 3))) + ", " +
               Trim(LookupCountry(F(drug, 187, 3))));
    }
    if (const std::string rc = FormatTwoCodes(F(drug, 200, 11), F(drug, 211, 5)); !rc.empty()) {
        DrugLabelCell(w, "rcis");
        w.Field(rc);
    }
    if (const char bra = At(drug, 244); bra != ' ') {
        DrugLabelCell(w, "brail");
        w.Text(Data("Bra", Key(bra)));
    }
    SectionEnd(w);
}

void FurtherSection(CtrlTextWriter& w, std::string& captions, std::string_view drug,
                    const std::string& slot0)
{
    Heading(w, Data("Hlav", "dalsi"));
    AddCaption(captions, Data("Hlav", "dalsiZ"));
    TableDrug(w);
    DrugLabelCell(w, "exsp");
    const std::string ex = FT(drug, 217, 4);
    if (ex.empty())
        w.Text(" -");
    else
        w.Field(ex.substr(0, ex.size() - 1) + " " + ex.back());

    if (const char kind = At(drug, 306); kind == 'E' || kind == 'S') {
        DrugLabelCell(w, std::string("prum") + kind);
        w.Field(FormatCode7(F(drug, 307, 9)));
        w.Text(CurrencySuffix());
    }
    if (At(slot0, 8) == 'A') {
        if (AboveBlank(At(slot0, 19))) {
            DrugLabelCell(w, At(slot0, 10) == 'M' ? "vyrc" : "puvc");
            w.Field(FormatCode8(F(slot0, 11, 10)));
            w.Text(CurrencySuffix());
        }
        if (const char lv = At(slot0, 21); AboveBlank(lv)) {
            DrugLabelCell(w, "puvl");
            w.Text(Data("LegV", Key(lv)));
        }
    }
    if (static_cast<uint8_t>(At(drug, 318)) != 0) {
        // The EAN codes of kinds above "7".
        TDbTable& kle = Table("kle");
        std::string rec;
        std::string eans;
        const std::string code = F(drug, 1, 7);
        if (Open(kle, "kle", "klekod", 21) && FindExact(kle, code, rec)) {
            do {
                if (static_cast<uint8_t>(At(rec, 21)) > '7') {
                    if (!eans.empty())
                        eans += ", ";
                    eans += FT(rec, 8, 13);
                }
            } while (NextInOrder(kle, rec) && rec.compare(0, 7, code) == 0);
        }
        if (!eans.empty()) {
            DrugLabelCell(w, "eany");
            w.Field(eans);
        }
    }
    SectionEnd(w);
}

void CompanySection(CtrlTextWriter& w, std::string& captions, std::string_view drug)
{
    TDbTable& t = Table("vpois");
    std::string rec;
    if (!Open(t, "vpois", "vpois", 300) || !FindExact(t, F(drug, 252, 4), rec))
        return;
    Heading(w, Data("Hlav", "vpois"));
    AddCaption(captions, Data("Hlav", "vpoisZ"));
    TableDrug(w);
    auto row = [&](const char* key, const std::string& value) {
        if (value.empty())
            return;
        DrugLabelCell(w, key);
        w.Field(value);
    };
    auto joined = [](const std::string& a, const std::string& b) {
        return a.empty() ? b : b.empty() ? a : a + "   " + b;
    };
    row("nazSp", FT(rec, 5, 70));
    row("webSp", FT(rec, 75, 90));
    row("mailSp", joined(FT(rec, 165, 50), FT(rec, 215, 50)));
    row("telSp", joined(FT(rec, 265, 18), FT(rec, 283, 18)));
    SectionEnd(w);
}

// ---------------------------------------------------------- device parts

// A paragraph of the device's document borrowed by its marker: the bytes
// after code 19 (v) up to the next code 19 or the end, at most 9999 bytes,
// whole items only.
struct Borrowed {
    bool present = false;
    std::string text;
};

Borrowed Borrow(std::string_view doc, int value)
{
    Borrowed b;
    CtrlItem marker;
    if (!FindCode19(doc, value, marker))
        return b;
    b.present = true;
    const std::string_view rest = doc.substr(static_cast<size_t>(marker.End()));
    CtrlTokenizer walk(rest);
    CtrlItem item;
    int end = static_cast<int>(rest.size());
    while (walk.Next(item)) {
        if (item.IsCode(19) || item.IsCode(0)) {
            end = item.offset;
            break;
        }
    }
    const std::string_view para = rest.substr(0, static_cast<size_t>(end));
    b.text = std::string(para.substr(0, static_cast<size_t>(CtrlLastWholeItemEnd(
                                            para, std::min(end, kBorrowedLimit)))));
    return b;
}

void AppendBorrowed(CtrlTextWriter& w, const Borrowed& b)
{
    if (!b.present)
        return;
    Br(w);
    w.Raw(b.text);
}

void DeviceHeading(CtrlTextWriter& w, std::string& captions, const char* key, const char* caption)
{
    Heading(w, Data("tHla", key));
    AddCaption(captions, Data("tHla", caption));
}

void CodeAndText(CtrlTextWriter& w, char c, std::string_view section)
{
    w.Field(Key(c));
    w.Text(" - " + Data(section, Key(c)));
}

// The records of a device's code that follow the given one in key order.
std::vector<std::string> Variants(std::string_view device, int32_t recordNumber)
{
    std::vector<std::string> out;
    TDbTable& t = Table("pzt");
    std::string rec;
    const std::string code = F(device, 1, 7);
    if (!Open(t, "pzt", "pztkod", kDeviceRecordLength) || !FindExact(t, code, rec))
        return out;
    std::vector<std::pair<int32_t, std::string>> same;
    do {
        same.emplace_back(t.recNo, rec);
    } while (NextInOrder(t, rec) && rec.compare(0, 7, code) == 0);
    // From after the given record; when it is not among them, after the first.
    size_t from = 1;
    for (size_t i = 0; i < same.size(); ++i)
        if (same[i].first == recordNumber) {
            from = i + 1;
            break;
        }
    for (size_t i = from; i < same.size(); ++i)
        out.push_back(std::move(same[i].second));
    return out;
}

} // namespace

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
    auto same = [&](int pos, int len) { return GetField(a, pos, len) == GetField(b, pos, len); };
    if (!same(22, 9) || !same(33, 9) || !same(46, 35) || !same(45, 1))
        return false;
    switch (At(b, 9)) {
    case 'B': case 'K': case 'S': case 'T': case 'U':
        return true;
    default:
        return same(105, 9) && same(114, 1);
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

// -------------------------------------------------------------- price block

void ComposePriceBlock(CtrlTextWriter& w, std::string& captions, std::string_view price,
                       bool single, std::string_view pairedCodes)
{
    const char kind = At(price, 8);
    const bool lower = IsLowerAscii(kind);
    const std::string d(1, static_cast<char>((kind & 0x0F) + '0'));

    std::string heading = Data("Hlav", "uhr1");
    std::string caption;
    std::string name;
    if (single) {
        if (lower) {
            heading += Data("Hlav", "uhrU");
            caption = Data("Hlav", "ust1Z");
            name = " (" + Data("Hlav", "ust1") + ")";
        } else {
            caption = Data("Hlav", "uhr1Z");
        }
    } else {
        heading += " " + d;
        if (lower) {
            heading += Data("Hlav", "uhrU");
            caption = Data("Hlav", "ust1Z") + " " + d;
            name = " (" + Data("Hlav", "ust1") + " " + d + ")";
        } else {
            caption = Data("Hlav", "uhr1Z") + " " + d;
            name = " (" + Data("Hlav", "uhr1") + " " + d + ")";
        }
    }
    if (AboveBlank(At(price, 120)))
        heading += Data("Hlav", "uhrD");
    Heading(w, heading);
    AddCaption(captions, caption);
    TableDrug(w);

    // The limitation codes: the record's own, and the twin's after a comma.
    std::string paired = Trim(pairedCodes);
    const char legal = At(price, 42);
    if ((legal == 'M' || legal == 'P') && paired == "L")
        paired = "L'";
    const std::string own = FT(price, 43, 2);
    const std::string codes = paired.empty() ? own : own + "," + paired;

    if (AboveBlank(At(price, 120))) {
        DrugLabelCell(w, "plat");
        std::string date = MonthYearText(F(price, 117, 4));
        std::replace(date.begin(), date.end(), '/', '.');
        EmphOn(w);
        w.Text("1." + date);
        EmphOff(w);
    }
    if (kind == 'a' && AboveBlank(At(price, 19)) && At(price, 10) == 'M') {
        DrugLabelCell(w, "vyrc");
        w.Field(FormatCode8(F(price, 11, 10)));
        w.Text(CurrencySuffix());
    }
    {
        const char mark = At(price, 31);
        const std::string amount = FormatCode7(F(price, 22, 9));
        if (!amount.empty() || mark != ' ') {
            DrugLabelCell(w, mark == 'X' ? "kdoh" : "kori");
            if (!amount.empty()) {
                w.Field(amount);
                w.Text(CurrencySuffix());
            }
            if (mark == 'Y')
                w.Text(Data("Hlav", "kory"));
        }
    }
    {
        const std::string field = F(price, 33, 9);
        const std::string amount = FormatCode7(field);
        std::string bare;
        for (char c : field)
            if (c != ' ')
                bare.push_back(c);
        if (amount == "c.c." || bare == "c.c.") {
            DrugLabelCell(w, "muhc");
            w.Text("clearing centrum");
        } else if (!amount.empty()) {
            DrugLabelCell(w, "muhc");
            EmphOn(w);
            w.Field(amount);
            w.Text(CurrencySuffix());
            EmphOff(w);
        }
    }
    if (const char c = At(price, 32); c != ' ') {
        DrugLabelCell(w, "muhp");
        w.Text(Data("PuhW", Key(c)));
    }
    if (legal != ' ') {
        DrugLabelCell(w, "muhl");
        w.Text(Data("LegW", Key(legal)));
    }
    if (AboveBlank(At(price, 30)) && static_cast<uint8_t>(At(price, 41)) > '.') {
        const int64_t a = IntegerOf(F(price, 22, 9));
        const int64_t b = IntegerOf(F(price, 33, 9));
        if (a > 0 && b > 0) {
            DrugLabelCell(w, "orid");
            EmphOn(w);
            w.Text(HundredthsText(a - b));
            w.Text(CurrencySuffix());
            EmphOff(w);
        }
    }
    if (const std::string amount = FormatCode7(F(price, 105, 9)); !amount.empty()) {
        DrugLabelCell(w, "zapd");
        w.Field(amount);
        w.Text(CurrencySuffix());
        if (!paired.empty() && std::string_view("BKSTU").find(paired[0]) != std::string_view::npos)
            Hint(w, Data("HlavH", "zulp"));
    }
    if (const std::string t = Data("NezW", Key(At(price, 114))); !t.empty()) {
        DrugLabelCell(w, "nezap");
        w.Text(t);
    }
    if (AboveBlank(At(price, 45))) {
        DrugLabelCell(w, "indo");
        EmphOn(w);
        w.Text(Ui("Uvod", "ano"));
        EmphOff(w);
        Hint(w, Data("HlavH", "detInd"));
    }
    if (const std::string spec = FT(price, 46, 35); !spec.empty()) {
        DrugLabelCell(w, "spec");
        EmphOn(w);
        w.Field(spec);
        EmphOff(w);
        AppendPreCodes(w, spec);
    }
    if (!codes.empty()) {
        DrugLabelCell(w, "limit");
        EmphOn(w);
        w.Field(codes);
        EmphOff(w);
        Hint(w, Data("HlavH", "detLim"));
    }
    if (const std::string t = Trim(F(price, 88, 5) + " " + F(price, 93, 2)); !t.empty()) {
        DrugLabelCell(w, "odtd");
        w.Field(t);
    }
    if (const std::string t = Data("Odz", Key(At(price, 104))); !t.empty()) {
        DrugLabelCell(w, "odtdz");
        w.Text(t);
    }
    if (const std::string amount = FormatCode7(F(price, 95, 9)); !amount.empty()) {
        DrugLabelCell(w, "ekviv");
        w.Field(amount);
        w.Text(CurrencySuffix());
    }
    // Without this the tables and headings after the block would nest in
    // its last cell.
    SectionEnd(w);

    if (AboveBlank(At(price, 45)))
        IndicationParagraph(w, captions, price, name);
    if (!codes.empty())
        LimitationParagraph(w, captions, codes, name);
}

// ---------------------------------------------------------------- the drug

RecordText ComposeDrugText(std::string_view drug)
{
    RecordText out;
    CtrlTextWriter w;
    std::string& captions = out.captions;
    const std::string code = F(drug, 1, 7);

    // 1. The price records, each in the slot of its kind letter.
    std::array<std::string, kPriceSlots> slots;
    slots.fill(std::string(kPriceRecordLength, ' '));
    if (AboveBlank(At(drug, 250))) {
        TDbTable& t = Table("cvzp");
        std::string rec;
        if (Open(t, "cvzp", "cvzpkod", kPriceRecordLength) && FindExact(t, code, rec)) {
            do {
                slots[static_cast<size_t>(SlotOfKind(At(rec, 8)))] = rec;
            } while (NextInOrder(t, rec) && rec.compare(0, 7, code) == 0);
        }
    }
    bool single = true;
    for (int i = 2; i < kPriceSlots; ++i)
        if (SlotFilled(slots[static_cast<size_t>(i)]))
            single = false;

    // 2. General.
    Heading(w, Data("Hlav", "obec"));
    AddCaption(captions, Data("Hlav", "obecZ"));
    TableDrug(w);
    DrugLabelCell(w, "nazev");
    w.Field(FT(drug, 8, 70));
    if (const std::string s = FT(drug, 117, 24); !s.empty()) {
        DrugLabelCell(w, "sila");
        w.Field(s);
    }
    const std::string form = FT(drug, 78, 27);
    DrugLabelCell(w, "lform");
    if (const std::string t = TranslateUnitText(form); !t.empty())
        w.Text(t);
    else
        w.Field(form);
    if (form.find("TBL") != std::string::npos) {
        DrugLabelCell(w, "pulit");
        w.Text(Data("PulTyp", Key(At(drug, 320))));
    }
    if (const std::string s = FT(drug, 141, 22); !s.empty()) {
        DrugLabelCell(w, "vbal");
        w.Field(s);
    }
    {
        const std::string pack = F(drug, 178, 6);
        std::string t = Data("Obal", pack);
        const bool viaTable = !(t.empty() || t[0] == ' ' || t[0] == '!');
        if (!viaTable)
            t = Trim(pack);
        if (!TrimView(t).empty()) {
            DrugLabelCell(w, "tbal");
            if (viaTable)
                w.Text(t);
            else
                w.Field(t);
        }
    }
    DrugLabelCell(w, "vydej");
    if (const char vp = At(drug, 222); vp == ' ')
        w.Text(" -");
    else
        w.Text(Data("VydW", Key(vp) + "_"));
    if (const char status = At(drug, 190); status != '-' && status != '\\') {
        DrugLabelCell(w, "obch");
        w.Text(static_cast<uint8_t>(At(drug, 243)) >= '1' ? Ui("Uvod", "ano") : Ui("Uvod", "ne"));
    }
    SectionEnd(w);

    // 3.-6.
    OutageSection(w, captions, drug);
    ClassesSection(w, captions, drug);
    RegistrationSection(w, captions, drug);
    FurtherSection(w, captions, drug, slots[0]);

    // 7. Price blocks, pair by pair.
    if (At(slots[0], 9) == '6' || At(slots[0], 9) == '8')
        slots[0][7] = ' ';
    for (int j = 0; j < 7; ++j) {
        const std::string& upper = slots[static_cast<size_t>(2 * j)];
        const std::string& lower = slots[static_cast<size_t>(2 * j + 1)];
        const bool hasUpper = SlotFilled(upper);
        const bool hasLower = SlotFilled(lower);
        if (!hasUpper && !hasLower)
            continue;
        if (!hasUpper) {
            ComposePriceBlock(w, captions, lower, single, {});
        } else if (hasLower && SamePriceTerms(upper, lower)) {
            ComposePriceBlock(w, captions, upper, single, FT(lower, 43, 2));
        } else {
            ComposePriceBlock(w, captions, upper, single, {});
            if (hasLower)
                ComposePriceBlock(w, captions, lower, single, {});
        }
    }

    // 8. The company's contacts.
    CompanySection(w, captions, drug);

    w.Code(0);
    out.text = w.Take();
    return out;
}

// -------------------------------------------------------------- the device

RecordText ComposeDeviceText(std::string_view device, int32_t recordNumber,
                             std::string_view documentText, std::string_view group)
{
    RecordText out;
    CtrlTextWriter w;
    std::string& captions = out.captions;
    const std::string_view doc = CtrlTextUpToEnd(documentText);

    // 1. Basic data.
    DeviceHeading(w, captions, "tZakl", "zZakl");
    TableDevice(w);
    DeviceLabelCell(w, "Kod");
    w.Field(F(device, 1, 7));
    if (At(device, 10) != ' ') {
        DeviceLabelCell(w, "PKod");
        w.Field(F(device, 10, 7));
    }
    DeviceLabelCell(w, "Naz");
    w.Field(FT(device, 17, 70));
    DeviceLabelCell(w, "Dop");
    w.Field(FT(device, 87, 80));
    if (!TrimView(F(device, 183, 3)).empty()) {
        TDbTable& t = Table("pztvyrv");
        std::string rec;
        if (Open(t, "pztvyrv", "pztvyrko", 186) && FindExact(t, F(device, 183, 3), rec)) {
            DeviceLabelCell(w, "Vyr");
            w.Field(FT(rec, 7, 60));
            w.Text(", " + Trim(LookupCountry(F(device, 186, 3))));
        }
    }
    DeviceLabelCell(w, "Bal");
    w.Text(Data("TBa", Key(At(device, 182))));
    {
        const std::string type = F(device, 168, 2);
        TDbTable& t = Table("pzttypv");
        std::string rec;
        DeviceLabelCell(w, "Typ");
        w.Field(type);
        if (Open(t, "pzttypv", "pzttypko", 106) && FindExact(t, type, rec)) {
            w.Text(" - ");
            w.Field(FT(rec, 3, 100));
        } else {
            w.Text(Ui("Chyby", "NotFndIn") + "\"PZTTYPV\"");
        }
    }
    if (const char c = At(device, 275); c != ' ') {
        DeviceLabelCell(w, "SkuPo");
        w.Field(Key(c));
    }
    if (const char unit = At(device, 181); unit != ' ') {
        DeviceLabelCell(w, "MerJd");
        w.Text(Data("TBa", Key(unit)));
        DeviceLabelCell(w, "MJBal");
        w.Field(FT(device, 175, 6));
    }
    const bool grouped = At(device, 170) != ' ';
    if (grouped) {
        DeviceLabelCell(w, "UhrSk", CtrlCodeBytes(20, {1}));
        EmphOn(w);
        w.Field(CompactToCode(GetField(group, 1, 4)));
        EmphOff(w);
        Br(w);
        w.Field(Trim(GetField(group, 5, 128) + GetField(group, 133, 52)));
    }
    SectionEnd(w);

    // 2. Paragraphs borrowed from the group's document.
    const Borrowed popis = Borrow(doc, 21);
    const Borrowed indikace = Borrow(doc, 36);
    const Borrowed limit = Borrow(doc, 37);
    if (grouped && (popis.present || indikace.present || limit.present)) {
        DeviceHeading(w, captions, "tUhrSk", "zUhrSk");
        auto paragraph = [&](const char* key, const Borrowed& b) {
            if (!b.present)
                return;
            Par(w);
            EmphOn(w);
            w.Text(WithoutLeadingPlus(Data("tHla", key)));
            EmphOff(w);
            Par(w);
            w.Raw(b.text);
        };
        paragraph("UhPop", popis);
        paragraph("UhInd", indikace);
        paragraph("UhrLim", limit);
    }

    // 3. Reimbursement basics.
    DeviceHeading(w, captions, "tZakUh", "zZakUh");
    TableDevice(w);
    DeviceLabelCell(w, "PreZ");
    CodeAndText(w, At(device, 167), "TPr");
    if (const Borrowed b = Borrow(doc, 75); At(device, 267) != ' ' || b.present) {
        DeviceLabelCell(w, "UhrP");
        w.Field(F(device, 266, 2));
        AppendBorrowed(w, b);
    }
    if (const Borrowed b = Borrow(doc, 73); At(device, 274) != ' ' || b.present) {
        DeviceLabelCell(w, "UziD");
        w.Field(FT(device, 272, 3) + " ");
        if (At(device, 274) != ' ')
            w.Text(Data("tHla", "mesic"));
        AppendBorrowed(w, b);
    }
    if (At(device, 271) != ' ') {
        DeviceLabelCell(w, "KusUD");
        w.Field(FT(device, 268, 4));
    }
    if (At(device, 263) != ' ') {
        DeviceLabelCell(w, "MaxC");
        w.Field(FormatCode7(F(device, 255, 9)));
        w.Text(CurrencySuffix());
    }
    if (const char c = At(device, 264); c != ' ') {
        DeviceLabelCell(w, "DNC");
        CodeAndText(w, c, "TDC");
    }
    SectionEnd(w);

    // 4. One section per reimbursement variant.
    const Borrowed way = Borrow(doc, 76);
    const Borrowed limits = Borrow(doc, 38);
    for (const std::string& v : Variants(device, recordNumber)) {
        std::string extra = " ";
        extra += At(v, 8);
        if (const char m = MaskMarkLetter(At(v, 9), At(v, 167)); m != ' ')
            extra += " (" + Data("TZd", Key(m)) + ")";
        Heading(w, Data("tHla", "tUhr"));
        w.Field(extra.substr(0, 2));
        w.Text(extra.substr(2));
        AddCaption(captions, Data("tHla", "zUhr") + extra);
        TableDevice(w);
        DeviceLabelCell(w, "ZpUhr");
        CodeAndText(w, At(v, 265), "TUh");
        AppendBorrowed(w, way);
        if (At(v, 201) != ' ') {
            DeviceLabelCell(w, "Uhr");
            w.Field(FormatCode7(F(v, 193, 9)));
            w.Text(CurrencySuffix());
        }
        if (const char c = At(v, 202); c != ' ' || limits.present) {
            DeviceLabelCell(w, "Lim");
            CodeAndText(w, c, "TRl");
            AppendBorrowed(w, limits);
        }
        DeviceLabelCell(w, "Pre");
        const std::string pre = FT(v, 203, 52);
        w.Field(pre);
        AppendPreCodes(w, pre);
        SectionEnd(w);
    }

    // 5. Administration.
    DeviceHeading(w, captions, "tAdm", "zAdm");
    TableDevice(w);
    if (const std::string holder = F(device, 189, 4); holder != "____") {
        TDbTable& t = Table("pztohl");
        std::string rec;
        if (Open(t, "pztohl", "pztohlko", 64) && FindExact(t, holder, rec)) {
            DeviceLabelCell(w, "Ohl");
            w.Field(FT(rec, 5, 60));
        }
    }
    DeviceLabelCell(w, "DatZm");
    w.Field(CompactDateStr(F(device, 276, 4), false));
    SectionEnd(w);

    w.Code(0);
    out.text = w.Take();
    return out;
}

std::string DeviceGroupRecord(std::string_view device)
{
    const std::string code = F(device, 170, 4);
    if (TrimView(code).empty())
        return {};
    TDbTable& t = Table("pztuhs");
    std::string rec;
    if (Open(t, "pztuhs", "pztuhsko", 194) && FindExact(t, code, rec))
        return rec.substr(0, 184);
    std::string group = code;
    group.resize(184, ' ');
    return group;
}
