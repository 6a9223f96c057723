#include "viewers/record_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/table_layouts.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "lists/drugs/list_text_helpers.h"
#include "platform/ascii.h"
#include "platform/fs.h"

namespace {

// ------------------------------------------------------------ small pieces

constexpr int kRawReadLimit = 30000; // bytes read of ind_ome.dat and symbol.dat
constexpr int kBorrowedLimit = 9999; // bytes copied of a borrowed paragraph
constexpr int kPriceSlots = 14;

// The fields read, by table and name; the compiler turns each into its
// position (datastore/table_layouts.h).
consteval FieldPos Drug(std::string_view name)
{
    return kKlLayout.Field(name);
}
consteval FieldPos Ean(std::string_view name)
{
    return kKleLayout.Field(name);
}
consteval FieldPos Price(std::string_view name)
{
    return kCvzpLayout.Field(name);
}
consteval FieldPos Outage(std::string_view name)
{
    return kVypadLayout.Field(name);
}
consteval FieldPos Company(std::string_view name)
{
    return kVpoisLayout.Field(name);
}
consteval FieldPos Device(std::string_view name)
{
    return kPztLayout.Field(name);
}
consteval FieldPos DeviceType(std::string_view name)
{
    return kPzttypvLayout.Field(name);
}
consteval FieldPos Group(std::string_view name)
{
    return kPztuhsLayout.Field(name);
}
consteval FieldPos Maker(std::string_view name)
{
    return kPztvyrvLayout.Field(name);
}
consteval FieldPos Holder(std::string_view name)
{
    return kPztohlLayout.Field(name);
}

constexpr int kPriceRecordLength = kCvzpLayout.Length();
constexpr FieldPos kCode = Drug("KOD"); // the drug code every drug table begins with

// The hook's location code for a raw file that could not be read.
constexpr uint16_t kRawReadFailed = 11;

// Character i of a field; a blank past the end of the record.
char At(std::string_view rec, FieldPos f, int i = 0)
{
    return FieldByte(rec, f, i);
}

bool AboveBlank(char c)
{
    return static_cast<uint8_t>(c) > 0x20;
}

std::string F(std::string_view rec, FieldPos f)
{
    return std::string(FieldBytes(rec, f));
}

std::string_view TrimView(std::string_view s)
{
    return TrimIf(s, IsBlankOrControl);
}

std::string Trim(std::string_view s)
{
    return std::string(TrimView(s));
}

std::string FT(std::string_view rec, FieldPos f)
{
    return Trim(FieldBytes(rec, f));
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

void EmphOn(CtrlTextWriter& w)
{
    w.Code(20, {1});
}
void EmphOff(CtrlTextWriter& w)
{
    w.Code(20, {0});
}
void HintOn(CtrlTextWriter& w)
{
    w.Code(31, {1});
}
void HintOff(CtrlTextWriter& w)
{
    w.Code(31, {0});
}
void CodeItem(CtrlTextWriter& w)
{
    w.Code(22, {32});
}
void SectionEnd(CtrlTextWriter& w)
{
    w.Code(4);
}
void Par(CtrlTextWriter& w)
{
    w.Code(14);
}
void Br(CtrlTextWriter& w)
{
    w.Code(13);
}

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

// The 32-bit little-endian integer of a field, from bytes.
int32_t Le32At(std::string_view rec, FieldPos f)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(At(rec, f, i));
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
    const int32_t offset = Le32At(price, Price("ODK"));
    std::string raw;
    // With no offset nothing is read, but the file must be there.
    const RawResult r = ReadRawFile("ind_ome.dat", int64_t{offset} + 21, offset < 1 ? 0 : kRawReadLimit, raw);
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
bool Open(TDbTable& t, const TableLayout& table, const char* sez)
{
    OpenTable(t, TFileId(table.id), TFileId(sez), static_cast<uint16_t>(table.Length()));
    return DbStatus == 0;
}

// Whether a record read in key order still has the code it was sought by.
bool SameCode(const std::string& rec, std::string_view code)
{
    return rec.compare(static_cast<size_t>(kCode.Offset()), static_cast<size_t>(kCode.length), code) == 0;
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
    return At(rec, Price("DRU")) != ' ';
}

void Replacements(CtrlTextWriter& w, std::string_view outage, std::string_view drug)
{
    const std::string list = FT(outage, Outage("NAH"));
    TDbTable& kl = Table("kl");
    const bool open = Open(kl, kKlLayout, "klkod");
    bool first = true;
    auto line = [&]() {
        if (!first)
            Br(w);
        first = false;
    };
    std::string rec;
    constexpr size_t kStep = kCode.length;
    for (size_t i = 0; i < list.size(); i += kStep) {
        const std::string piece = list.substr(i, kStep);
        if (TrimView(piece).empty())
            continue;
        if (piece.size() < kStep) {
            line();
            w.Text(Data("Hlav", "vyp_kl"));
            continue;
        }
        if (!open || !FindExact(kl, piece, rec))
            continue;
        const char status = At(rec, Drug("SR"));
        if (status == '-' || status == '\\')
            continue;
        // the same ATC main group
        if (FieldBytes(rec, Drug("ATC")).substr(0, 3) != FieldBytes(drug, Drug("ATC")).substr(0, 3))
            continue;
        line();
        w.Field(Trim(piece) + ", " + FT(rec, Drug("NAZ")) + ", " + FT(rec, Drug("SIL")) + " " +
                FT(rec, Drug("LFO")) + " " + FT(rec, Drug("BAL")) + ", " + FT(rec, Drug("ATC")));
    }
}

void OutageSection(CtrlTextWriter& w, std::string& captions, std::string_view drug)
{
    if (!AboveBlank(At(drug, Drug("VYP"))))
        return;
    TDbTable& t = Table("vypad");
    std::string rec;
    if (!Open(t, kVypadLayout, "vypadkod") || !FindExact(t, F(drug, kCode), rec))
        return;
    Heading(w, Data("Hlav", "vypad"));
    AddCaption(captions, Data("Hlav", "vypadZ"));
    TableDrug(w);
    char kind = AsciiUpperChar(At(rec, Outage("TYP")));
    DrugLabelCell(w, "vtyp");
    w.Text(Data("VypTyp", Key(kind)));
    DrugLabelCell(w, "vod");
    w.Text(DayMonthYearText(F(rec, Outage("ODD"))));
    if (const std::string reason = FT(rec, Outage("DUV")); !reason.empty()) {
        DrugLabelCell(w, "duvod");
        w.Field(reason);
    }
    DrugLabelCell(w, "obnov");
    const std::string renewal = F(rec, Outage("OBN"));
    w.Text(renewal == "99CZ" ? Data("Hlav", "vyp_oo") : DayMonthYearText(renewal));
    DrugLabelCell(w, "nahr");
    Replacements(w, rec, drug);
    if (const std::string note = FT(rec, Outage("POZ")); !note.empty()) {
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
    const std::string code = F(drug, kCode);
    DrugLabelCell(w, "inds");
    w.Text(LookupIsv(F(drug, Drug("INS"))));

    const std::string atc = F(drug, Drug("ATC"));
    DrugLabelCell(w, "atc5");
    w.Text(Trim(LookupAtc(atc, code)));
    w.Field(" (" + Trim(atc) + ")");
    if (AboveBlank(At(drug, Drug("ATC"), 5))) {
        const std::string atc4 = atc.substr(0, std::min<size_t>(atc.size(), 5));
        DrugLabelCell(w, "atc4");
        w.Text(Trim(LookupAtc(atc4, code)));
        w.Field(" (" + Trim(atc4) + ")");
    }

    DrugLabelCell(w, "ddd");
    const std::string ddd = Trim(F(drug, Drug("DDM")) + " " + F(drug, Drug("DDJ")));
    w.Field(ddd.empty() ? std::string(" -") : ddd);

    // integer part, then decimals from character 6
    const std::string db = F(drug, Drug("DDB"));
    std::string dddb = db.substr(0, std::min<size_t>(db.size(), 5));
    dddb += At(drug, Drug("DDB"), 5) != ' ' ? '.' : ' ';
    if (db.size() > 5)
        dddb += db.substr(5);
    dddb = Trim(dddb);
    if (!dddb.empty()) {
        DrugLabelCell(w, "dddb");
        w.Field(dddb);
    }

    DrugLabelCell(w, "lzav");
    w.Text(StripAngleTags(Data("ZavW", Key(At(drug, Drug("ZAV"))))));

    DrugLabelCell(w, "dopig");
    std::string dop = F(drug, Drug("DP"));
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
    const std::string nv = F(drug, Drug("NV"));
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
    if (const char tr = At(drug, Drug("TR")); tr != ' ') {
        DrugLabelCell(w, "treg");
        w.Text(Data("RetW", Key(tr)));
    }
    const char status = At(drug, Drug("SR"));
    DrugLabelCell(w, "sreg");
    w.Text(Data("RegW", status == ' ' ? std::string("_") : Key(status)));
    if (status == '-' || status == '\\')
        w.Text(" (" + MonthYearText(F(drug, Drug("PDO"))) + ")");
    if (At(drug, Drug("DRZ")) != ' ') {
        DrugLabelCell(w, "drz");
        w.Text(Trim(LookupHolder(F(drug, Drug("DRZ")) + F(drug, Drug("ZED")))) + ", " +
               Trim(LookupCountry(F(drug, Drug("ZED")))));
    }
    if (const std::string rc = FormatTwoCodes(F(drug, Drug("RC")), F(drug, Drug("SD"))); !rc.empty()) {
        DrugLabelCell(w, "rcis");
        w.Field(rc);
    }
    if (const char bra = At(drug, Drug("BRA")); bra != ' ') {
        DrugLabelCell(w, "brail");
        w.Text(Data("Bra", Key(bra)));
    }
    SectionEnd(w);
}

void FurtherSection(CtrlTextWriter& w, std::string& captions, std::string_view drug, const std::string& slot0)
{
    Heading(w, Data("Hlav", "dalsi"));
    AddCaption(captions, Data("Hlav", "dalsiZ"));
    TableDrug(w);
    DrugLabelCell(w, "exsp");
    const std::string ex = FT(drug, Drug("EX"));
    if (ex.empty())
        w.Text(" -");
    else
        w.Field(ex.substr(0, ex.size() - 1) + " " + ex.back());

    if (const char kind = At(drug, Drug("PPC")); kind == 'E' || kind == 'S') {
        DrugLabelCell(w, std::string("prum") + kind);
        w.Field(FormatCode7(F(drug, Drug("PC"))));
        w.Text(CurrencySuffix());
    }
    if (At(slot0, Price("DRU")) == 'A') {
        if (AboveBlank(At(slot0, Price("PUV"), 8))) {
            DrugLabelCell(w, At(slot0, Price("CER")) == 'M' ? "vyrc" : "puvc");
            w.Field(FormatCode8(F(slot0, Price("PUV"))));
            w.Text(CurrencySuffix());
        }
        if (const char lv = At(slot0, Price("LGV")); AboveBlank(lv)) {
            DrugLabelCell(w, "puvl");
            w.Text(Data("LegV", Key(lv)));
        }
    }
    if (static_cast<uint8_t>(At(drug, Drug("PEA"))) != 0) {
        // The EAN codes of kinds above "7".
        TDbTable& kle = Table("kle");
        std::string rec;
        std::string eans;
        const std::string code = F(drug, kCode);
        if (Open(kle, kKleLayout, "klekod") && FindExact(kle, code, rec)) {
            do {
                if (static_cast<uint8_t>(At(rec, Ean("DRU"))) > '7') {
                    if (!eans.empty())
                        eans += ", ";
                    eans += FT(rec, Ean("EAN"));
                }
            } while (NextInOrder(kle, rec) && SameCode(rec, code));
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
    if (!Open(t, kVpoisLayout, "vpois") || !FindExact(t, F(drug, Drug("VPO")), rec))
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
    row("nazSp", FT(rec, Company("NAZ")));
    row("webSp", FT(rec, Company("WEB")));
    row("mailSp", joined(FT(rec, Company("ML1")), FT(rec, Company("ML2"))));
    row("telSp", joined(FT(rec, Company("TE1")), FT(rec, Company("TE2"))));
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
    b.text = std::string(
        para.substr(0, static_cast<size_t>(CtrlLastWholeItemEnd(para, std::min(end, kBorrowedLimit)))));
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
    const std::string code = F(device, Device("KOD"));
    if (!Open(t, kPztLayout, "pztkod") || !FindExact(t, code, rec))
        return out;
    std::vector<std::pair<int32_t, std::string>> same;
    do {
        same.emplace_back(t.recNo, rec);
    } while (NextInOrder(t, rec) && SameCode(rec, code));
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
    auto same = [&](FieldPos f) { return FieldBytes(a, f) == FieldBytes(b, f); };
    if (!same(Price("OCE")) || !same(Price("UCE")) || !same(Price("SPE")) || !same(Price("IND")))
        return false;
    switch (At(b, Price("UHR"))) {
    case 'B':
    case 'K':
    case 'S':
    case 'T':
    case 'U': return true;
    default: return same(Price("ZAP")) && same(Price("NEZ"));
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

void ComposePriceBlock(CtrlTextWriter& w, std::string& captions, std::string_view price, bool single,
                       std::string_view pairedCodes)
{
    const char kind = At(price, Price("DRU"));
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
    // a validity date with its day shown
    if (AboveBlank(At(price, Price("PLA"), 3)))
        heading += Data("Hlav", "uhrD");
    Heading(w, heading);
    AddCaption(captions, caption);
    TableDrug(w);

    // The limitation codes: the record's own, and the twin's after a comma.
    std::string paired = Trim(pairedCodes);
    const char legal = At(price, Price("LGW"));
    if ((legal == 'M' || legal == 'P') && paired == "L")
        paired = "L'";
    const std::string own = FT(price, Price("LIM"));
    const std::string codes = paired.empty() ? own : own + "," + paired;

    if (AboveBlank(At(price, Price("PLA"), 3))) {
        DrugLabelCell(w, "plat");
        std::string date = MonthYearText(F(price, Price("PLA")));
        std::replace(date.begin(), date.end(), '/', '.');
        EmphOn(w);
        w.Text("1." + date);
        EmphOff(w);
    }
    if (kind == 'a' && AboveBlank(At(price, Price("PUV"), 8)) && At(price, Price("CER")) == 'M') {
        DrugLabelCell(w, "vyrc");
        w.Field(FormatCode8(F(price, Price("PUV"))));
        w.Text(CurrencySuffix());
    }
    {
        const char mark = At(price, Price("OZN"));
        const std::string amount = FormatCode7(F(price, Price("OCE")));
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
        const std::string field = F(price, Price("UCE"));
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
    if (const char c = At(price, Price("PUH")); c != ' ') {
        DrugLabelCell(w, "muhp");
        w.Text(Data("PuhW", Key(c)));
    }
    if (legal != ' ') {
        DrugLabelCell(w, "muhl");
        w.Text(Data("LegW", Key(legal)));
    }
    if (AboveBlank(At(price, Price("OCE"), 8)) && static_cast<uint8_t>(At(price, Price("UCE"), 8)) > '.') {
        const int64_t a = IntegerOf(F(price, Price("OCE")));
        const int64_t b = IntegerOf(F(price, Price("UCE")));
        if (a > 0 && b > 0) {
            DrugLabelCell(w, "orid");
            EmphOn(w);
            w.Text(HundredthsText(a - b));
            w.Text(CurrencySuffix());
            EmphOff(w);
        }
    }
    if (const std::string amount = FormatCode7(F(price, Price("ZAP"))); !amount.empty()) {
        DrugLabelCell(w, "zapd");
        w.Field(amount);
        w.Text(CurrencySuffix());
        if (!paired.empty() && std::string_view("BKSTU").find(paired[0]) != std::string_view::npos)
            Hint(w, Data("HlavH", "zulp"));
    }
    if (const std::string t = Data("NezW", Key(At(price, Price("NEZ")))); !t.empty()) {
        DrugLabelCell(w, "nezap");
        w.Text(t);
    }
    if (AboveBlank(At(price, Price("IND")))) {
        DrugLabelCell(w, "indo");
        EmphOn(w);
        w.Text(Ui("Uvod", "ano"));
        EmphOff(w);
        Hint(w, Data("HlavH", "detInd"));
    }
    if (const std::string spec = FT(price, Price("SPE")); !spec.empty()) {
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
    if (const std::string t = Trim(F(price, Price("ODT")) + " " + F(price, Price("ODJ"))); !t.empty()) {
        DrugLabelCell(w, "odtd");
        w.Field(t);
    }
    if (const std::string t = Data("Odz", Key(At(price, Price("ODZ")))); !t.empty()) {
        DrugLabelCell(w, "odtdz");
        w.Text(t);
    }
    if (const std::string amount = FormatCode7(F(price, Price("EKV"))); !amount.empty()) {
        DrugLabelCell(w, "ekviv");
        w.Field(amount);
        w.Text(CurrencySuffix());
    }
    // Without this the tables and headings after the block would nest in
    // its last cell.
    SectionEnd(w);

    if (AboveBlank(At(price, Price("IND"))))
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
    const std::string code = F(drug, kCode);

    // 1. The price records, each in the slot of its kind letter.
    std::array<std::string, kPriceSlots> slots;
    slots.fill(std::string(kPriceRecordLength, ' '));
    if (AboveBlank(At(drug, Drug("UH")))) {
        TDbTable& t = Table("cvzp");
        std::string rec;
        if (Open(t, kCvzpLayout, "cvzpkod") && FindExact(t, code, rec)) {
            do {
                slots[static_cast<size_t>(SlotOfKind(At(rec, Price("DRU"))))] = rec;
            } while (NextInOrder(t, rec) && SameCode(rec, code));
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
    w.Field(FT(drug, Drug("NAZ")));
    if (const std::string s = FT(drug, Drug("SIL")); !s.empty()) {
        DrugLabelCell(w, "sila");
        w.Field(s);
    }
    const std::string form = FT(drug, Drug("LFO"));
    DrugLabelCell(w, "lform");
    if (const std::string t = TranslateUnitText(form); !t.empty())
        w.Text(t);
    else
        w.Field(form);
    if (form.find("TBL") != std::string::npos) {
        DrugLabelCell(w, "pulit");
        w.Text(Data("PulTyp", Key(At(drug, Drug("PUL")))));
    }
    if (const std::string s = FT(drug, Drug("BAL")); !s.empty()) {
        DrugLabelCell(w, "vbal");
        w.Field(s);
    }
    {
        const std::string pack = F(drug, Drug("OBA"));
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
    if (const char vp = At(drug, Drug("VP")); vp == ' ')
        w.Text(" -");
    else
        w.Text(Data("VydW", Key(vp) + "_"));
    if (const char status = At(drug, Drug("SR")); status != '-' && status != '\\') {
        DrugLabelCell(w, "obch");
        w.Text(static_cast<uint8_t>(At(drug, Drug("OB"))) >= '1' ? Ui("Uvod", "ano") : Ui("Uvod", "ne"));
    }
    SectionEnd(w);

    // 3.-6.
    OutageSection(w, captions, drug);
    ClassesSection(w, captions, drug);
    RegistrationSection(w, captions, drug);
    FurtherSection(w, captions, drug, slots[0]);

    // 7. Price blocks, pair by pair.
    // an "A" record of an empty slot shows no price block
    if (At(slots[0], Price("UHR")) == '6' || At(slots[0], Price("UHR")) == '8')
        slots[0][static_cast<size_t>(Price("DRU").Offset())] = ' ';
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
            ComposePriceBlock(w, captions, upper, single, FT(lower, Price("LIM")));
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

RecordText ComposeDeviceText(std::string_view device, int32_t recordNumber, std::string_view documentText,
                             std::string_view group)
{
    RecordText out;
    CtrlTextWriter w;
    std::string& captions = out.captions;
    const std::string_view doc = CtrlTextUpToEnd(documentText);

    // 1. Basic data.
    DeviceHeading(w, captions, "tZakl", "zZakl");
    TableDevice(w);
    DeviceLabelCell(w, "Kod");
    w.Field(F(device, Device("KOD")));
    if (At(device, Device("PUV")) != ' ') {
        DeviceLabelCell(w, "PKod");
        w.Field(F(device, Device("PUV")));
    }
    DeviceLabelCell(w, "Naz");
    w.Field(FT(device, Device("NAZ")));
    DeviceLabelCell(w, "Dop");
    w.Field(FT(device, Device("DOP")));
    if (!TrimView(F(device, Device("VYR"))).empty()) {
        TDbTable& t = Table("pztvyrv");
        std::string rec;
        if (Open(t, kPztvyrvLayout, "pztvyrko") && FindExact(t, F(device, Device("VYR")), rec)) {
            DeviceLabelCell(w, "Vyr");
            w.Field(FT(rec, Maker("VYR")));
            w.Text(", " + Trim(LookupCountry(F(device, Device("ZEM")))));
        }
    }
    DeviceLabelCell(w, "Bal");
    w.Text(Data("TBa", Key(At(device, Device("TBZ")))));
    {
        const std::string type = F(device, Device("TYP"));
        TDbTable& t = Table("pzttypv");
        std::string rec;
        DeviceLabelCell(w, "Typ");
        w.Field(type);
        if (Open(t, kPzttypvLayout, "pzttypko") && FindExact(t, type, rec)) {
            w.Text(" - ");
            w.Field(FT(rec, DeviceType("NAZ")));
        } else {
            w.Text(Ui("Chyby", "NotFndIn") + "\"PZTTYPV\"");
        }
    }
    if (const char c = At(device, Device("SKP")); c != ' ') {
        DeviceLabelCell(w, "SkuPo");
        w.Field(Key(c));
    }
    if (const char unit = At(device, Device("MJZ")); unit != ' ') {
        DeviceLabelCell(w, "MerJd");
        w.Text(Data("TBa", Key(unit)));
        DeviceLabelCell(w, "MJBal");
        w.Field(FT(device, Device("MJB")));
    }
    const bool grouped = At(device, Device("UHS")) != ' ';
    if (grouped) {
        DeviceLabelCell(w, "UhrSk", CtrlCodeBytes(20, {1}));
        EmphOn(w);
        w.Field(CompactToCode(F(group, Group("KOD"))));
        EmphOff(w);
        Br(w);
        w.Field(Trim(F(group, Group("NAZ")) + F(group, Group("NAR"))));
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
    CodeAndText(w, At(device, Device("PRO")), "TPr");
    // The right-aligned fields count as present when their last character is.
    if (const Borrowed b = Borrow(doc, 75); At(device, Device("UHP"), 1) != ' ' || b.present) {
        DeviceLabelCell(w, "UhrP");
        w.Field(F(device, Device("UHP")));
        AppendBorrowed(w, b);
    }
    if (const Borrowed b = Borrow(doc, 73); At(device, Device("UDO"), 2) != ' ' || b.present) {
        DeviceLabelCell(w, "UziD");
        w.Field(FT(device, Device("UDO")) + " ");
        if (At(device, Device("UDO"), 2) != ' ')
            w.Text(Data("tHla", "mesic"));
        AppendBorrowed(w, b);
    }
    if (At(device, Device("KUD"), 3) != ' ') {
        DeviceLabelCell(w, "KusUD");
        w.Field(FT(device, Device("KUD")));
    }
    if (At(device, Device("MFC"), 8) != ' ') {
        DeviceLabelCell(w, "MaxC");
        w.Field(FormatCode7(F(device, Device("MFC"))));
        w.Text(CurrencySuffix());
    }
    if (const char c = At(device, Device("DNC")); c != ' ') {
        DeviceLabelCell(w, "DNC");
        CodeAndText(w, c, "TDC");
    }
    SectionEnd(w);

    // 4. One section per reimbursement variant.
    const Borrowed way = Borrow(doc, 76);
    const Borrowed limits = Borrow(doc, 38);
    for (const std::string& v : Variants(device, recordNumber)) {
        std::string extra = " ";
        extra += At(v, Device("SEQ"));
        if (const char m = MaskMarkLetter(At(v, Device("ZDR")), At(v, Device("PRO"))); m != ' ')
            extra += " (" + Data("TZd", Key(m)) + ")";
        Heading(w, Data("tHla", "tUhr"));
        w.Field(extra.substr(0, 2));
        w.Text(extra.substr(2));
        AddCaption(captions, Data("tHla", "zUhr") + extra);
        TableDevice(w);
        DeviceLabelCell(w, "ZpUhr");
        CodeAndText(w, At(v, Device("ZUP")), "TUh");
        AppendBorrowed(w, way);
        if (At(v, Device("UC"), 8) != ' ') {
            DeviceLabelCell(w, "Uhr");
            w.Field(FormatCode7(F(v, Device("UC"))));
            w.Text(CurrencySuffix());
        }
        if (const char c = At(v, Device("LIM")); c != ' ' || limits.present) {
            DeviceLabelCell(w, "Lim");
            CodeAndText(w, c, "TRl");
            AppendBorrowed(w, limits);
        }
        DeviceLabelCell(w, "Pre");
        const std::string pre = FT(v, Device("PRE"));
        w.Field(pre);
        AppendPreCodes(w, pre);
        SectionEnd(w);
    }

    // 5. Administration.
    DeviceHeading(w, captions, "tAdm", "zAdm");
    TableDevice(w);
    if (const std::string holder = F(device, Device("OHL")); holder != "____") {
        TDbTable& t = Table("pztohl");
        std::string rec;
        if (Open(t, kPztohlLayout, "pztohlko") && FindExact(t, holder, rec)) {
            DeviceLabelCell(w, "Ohl");
            w.Field(FT(rec, Holder("NAZ")));
        }
    }
    DeviceLabelCell(w, "DatZm");
    w.Field(CompactDateStr(F(device, Device("DZM")), false));
    SectionEnd(w);

    w.Code(0);
    out.text = w.Take();
    return out;
}

std::string DeviceGroupRecord(std::string_view device)
{
    const std::string code = F(device, Device("UHS"));
    if (TrimView(code).empty())
        return {};
    // The code and both parts of the name.
    constexpr size_t kGroupLength = Group("NAR").End();
    TDbTable& t = Table("pztuhs");
    std::string rec;
    if (Open(t, kPztuhsLayout, "pztuhsko") && FindExact(t, code, rec))
        return rec.substr(0, kGroupLength);
    std::string group = code;
    group.resize(kGroupLength, ' ');
    return group;
}
