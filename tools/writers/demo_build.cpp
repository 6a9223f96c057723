#include "writers/demo_build.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <set>
#include <stdexcept>
#include <tuple>

#include <QBuffer>
#include <QColor>
#include <QImage>

#include "datastore/ctrl_text.h"
#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/manifest.h"
#include "datastore/table_layouts.h"
#include "datastore/text_helpers.h"
#include "datastore/zlp_table.h"
#include "platform/ascii.h"
#include "platform/file_saver.h"
#include "platform/fs.h"
#include "writers/csv_source.h"
#include "writers/ctrl_markup.h"
#include "writers/help_writer.h"
#include "writers/mkn_source.h"
#include "writers/notes_writer.h"
#include "writers/sgn_writer.h"
#include "writers/zlp_writer.h"

namespace fs = std::filesystem;

// ------------------------------------------------------------------ data set

const std::vector<std::string>& DemoDataSet::Records(const std::string& id) const
{
    static const std::vector<std::string> none;
    auto it = records.find(id);
    return it == records.end() ? none : it->second;
}

std::string DemoDataSet::Origin(const std::string& id, size_t index) const
{
    auto it = origins.find(id);
    if (it != origins.end() && index < it->second.size() && !it->second[index].empty())
        return it->second[index];
    return id + " record " + std::to_string(index + 1);
}

namespace {

std::string Field(const DemoTableSpec& spec, const std::string& rec, std::string_view name)
{
    return rec.substr(static_cast<size_t>(spec.layout.Offset(name)),
                      static_cast<size_t>(spec.layout.Width(name)));
}

bool IsDigits(std::string_view s)
{
    return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

bool ParseInt(std::string_view s, int64_t& v)
{
    if (s.empty())
        return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size();
}

} // namespace

// ------------------------------------------------------------------ documents

const std::vector<std::string>& DemoDocFamilies()
{
    static const std::vector<std::string> families = {"kodex",    "kodexa", "letak",   "spc",
                                                      "pfakodex", "pztmet", "pztuhsx", "ind_ome"};
    return families;
}

DemoDocFile MakeDemoDocFile(const std::string& family)
{
    DemoDocFile f;
    f.family = family;
    X6FileOptions o;
    if (family == "ind_ome") {
        // The price records' reader starts at the record's offset + 21: a
        // 16-byte head and exactly one 5-byte item of a stored record.
        o.compressed = false;
        f.compressed = false;
        f.minItems = 1;
    }
    f.numbered = family == "spc";
    f.writer = std::make_unique<X6Writer>(o);
    return f;
}

std::vector<std::string> DemoDocItems(const std::string& text, int minItems, size_t itemSize, uint16_t bValue)
{
    std::vector<std::string> items;
    auto item = [&](char kind, int value, uint16_t extra) {
        std::string it(itemSize, '\0');
        it[0] = kind;
        it[1] = static_cast<char>(value & 0xFF);
        it[2] = static_cast<char>((value >> 8) & 0xFF);
        if (itemSize >= 5) {
            it[3] = static_cast<char>(extra & 0xFF);
            it[4] = static_cast<char>(extra >> 8);
        }
        items.push_back(std::move(it));
    };
    if (bValue != 0)
        item('B', 0, bValue);
    CtrlTokenizer tok(text);
    CtrlItem ci;
    while (tok.Next(ci) && items.size() < 255) {
        if (ci.IsCode(19))
            item('P', CtrlPairValue(text, ci, 0) % 100, 0);
        else if (ci.IsCode(18)) {
            const int v = CtrlPairValue(text, ci, 0);
            if (v == 10 || v == 11)
                item('H', v, 0);
        }
    }
    while (static_cast<int>(items.size()) < minItems)
        item('Z', 0, 0);
    if (minItems == 1)
        items.resize(1);
    return items;
}

bool AddDemoDocument(DemoDocFile& file, const std::string& name, const std::string& text, uint16_t bValue,
                     const std::string& where, DemoLog& log)
{
    X6Record r;
    if (!RecordKeyFromName(name, r.key)) {
        log.Error(where, 0, "\"" + name + "\" is no record name (1 to 8 letters, digits, \"-\" or \"_\")");
        return false;
    }
    if (file.offsets.count(name)) {
        log.Error(where, 0, "a second record named " + name + " in " + file.family + ".dat");
        return false;
    }
    r.text = text;
    if (file.compressed) {
        // The encoder adds the two closing zero bytes itself.
        while (!r.text.empty() && r.text.back() == '\0')
            r.text.pop_back();
    }
    r.flag = file.numbered;
    r.name = where;
    r.items = DemoDocItems(text, file.minItems, file.compressed ? 8 : 5, bValue);
    try {
        file.offsets[name] = file.writer->Add(r);
    } catch (const X6Error& e) {
        log.Error(where, 0, e.what());
        return false;
    }
    file.textBytes += r.text.size();
    return true;
}

bool DemoMarkupToCtrlText(std::string_view utf8, const std::string& file, std::string& out, uint16_t& bValue,
                          DemoLog& log, int* items)
{
    if (items)
        *items = -1;
    const auto directive = [&](std::string_view line, std::string&) {
        int64_t v = 0;
        if (line.substr(0, 3) == "@B " && ParseInt(line.substr(3), v) && v > 0 && v <= 0xFFFF) {
            bValue = static_cast<uint16_t>(v);
            return true;
        }
        if (items && line.substr(0, 3) == "@I " && ParseInt(line.substr(3), v) && v >= 1 && v <= 255) {
            *items = static_cast<int>(v);
            return true;
        }
        return false;
    };
    return CtrlMarkupToText(
        utf8, out, [&](int line, const std::string& reason) { log.Error(file, line, reason); }, directive);
}

// -------------------------------------------------------------------- records

bool FillDemoRecord(const DemoTableSpec& spec, const CsvTable& csv, size_t row, const DemoDataSet& set,
                    std::string& rec, DemoLog& log)
{
    const DatLayout& layout = spec.layout;
    rec = layout.BlankRecord();
    const std::string file = spec.source;
    const int line = csv.LineOf(row);
    bool ok = true;
    auto fail = [&](const std::string& field, const std::string& message) {
        log.Error(file, line, field + ": " + message);
        ok = false;
    };
    for (const DatField& f : layout.Fields()) {
        const DemoFieldRule* rule = spec.Rule(f.name);
        const DemoForm form = rule ? rule->form : DemoForm::Auto;
        const std::string& value = csv.Value(row, f.name);
        const int width = FieldLength(f.descriptor);
        try {
            if (f.descriptor >= 0xF0) {
                int64_t v = rule ? rule->binaryDefault : 0;
                int y = 0, m = 0, d = 0;
                if (value.empty()) {
                } else if (form == DemoForm::Doc && !ParseInt(value, v)) {
                    auto doc = set.docs.find(rule->family);
                    if (doc == set.docs.end() || !doc->second.offsets.count(value)) {
                        fail(f.name, "no document " + value + " in demo/" + rule->family + "/");
                        continue;
                    }
                    v = doc->second.offsets.at(value);
                } else if (form == DemoForm::PDate) {
                    if (!ParseIsoDate(value, y, m, d)) {
                        fail(f.name, "not a date (yyyy-mm-dd): " + value);
                        continue;
                    }
                    v = PackedDate(y, m, d);
                } else if (form == DemoForm::Letter512) {
                    if (value.size() != 1 || static_cast<unsigned char>(value[0]) > 127) {
                        fail(f.name, "one letter expected: " + value);
                        continue;
                    }
                    v = static_cast<unsigned char>(value[0]) * 512;
                } else if (form != DemoForm::Doc && !ParseInt(value, v)) {
                    fail(f.name, "not a number: " + value);
                    continue;
                }
                layout.PutInt(rec, f.name, v);
                continue;
            }
            if (value.empty())
                continue;
            if (form == DemoForm::SixBit) {
                int64_t n = 0;
                if (!ParseInt(value, n) || n < 0 || 2 * n >= (int64_t{1} << (6 * width))) {
                    fail(f.name, "not a number of this width: " + value);
                    continue;
                }
                layout.PutText(rec, f.name, SixBitNumber(static_cast<uint32_t>(2 * n), width));
                continue;
            }
            std::string kam;
            std::string error;
            if (!Utf8ToKam(value, kam, error)) {
                fail(f.name, error);
                continue;
            }
            for (unsigned char c : kam)
                if (c < 32) {
                    fail(f.name, "a control character");
                    break;
                }
            int y = 0, m = 0, d = 0;
            if (form == DemoForm::CDate) {
                if (ParseIsoDate(value, y, m, d))
                    layout.PutText(rec, f.name, CompactDate(y, m, d));
                else if (static_cast<int>(kam.size()) == width)
                    layout.PutText(rec, f.name, kam); // a special code such as "99CZ"
                else
                    fail(f.name, "not a date (yyyy-mm-dd) nor a 4-character code: " + value);
            } else if (form == DemoForm::DailyDose) {
                const size_t dot = value.find('.');
                const std::string whole = value.substr(0, dot);
                std::string dec = dot == std::string::npos ? "" : value.substr(dot + 1);
                if (!IsDigits(whole) || whole.size() > 5 || dec.size() > 3 ||
                    (!dec.empty() && !IsDigits(dec))) {
                    fail(f.name, "not a dose of up to 5 + 3 digits: " + value);
                    continue;
                }
                // Both readers find the fraction: one tests 235, the other 237.
                if (!dec.empty())
                    dec.append(3 - dec.size(), '0');
                std::string text = std::string(5 - whole.size(), ' ') + whole + dec;
                layout.PutText(rec, f.name, text);
            } else if (form == DemoForm::ClearingAmount && value == "c.c.") {
                // FormatCode7 of six blanks and "cc." gives "c.c."
                layout.PutText(rec, f.name, "      cc.");
            } else if ((f.descriptor >= 0xB0 && f.descriptor <= 0xBF) &&
                       static_cast<int>(value.size()) == width && value[0] == ' ' &&
                       value.find_first_not_of(" 0123456789") == std::string::npos) {
                // Blanks and digits of the field's width: stored as they stand
                // ("       12", an amount without its integer digit).
                layout.PutText(rec, f.name, value);
            } else if (form == DemoForm::Left) {
                layout.PutText(rec, f.name, kam);
            } else if ((f.descriptor >= 0xB0 && f.descriptor <= 0xBF) || form == DemoForm::ClearingAmount) {
                std::string amount;
                if (!DemoAmount(value, width, amount))
                    fail(f.name, "not an amount of this width: " + value);
                else
                    layout.PutText(rec, f.name, amount);
            } else if (f.descriptor >= 0x90 && f.descriptor <= 0x9F && IsDigits(kam)) {
                layout.PutRight(rec, f.name, kam, '0');
            } else if ((f.descriptor >= 0x80 && f.descriptor <= 0x8F) ||
                       (f.descriptor >= 0xA0 && f.descriptor <= 0xAF)) {
                layout.PutRight(rec, f.name, kam, ' ');
            } else {
                layout.PutText(rec, f.name, kam);
            }
        } catch (const std::invalid_argument& e) {
            fail(f.name, e.what());
        }
    }
    return ok;
}

// ------------------------------------------------------------- text tables

namespace {

const textsrc::Section* FindSection(const textsrc::Source& src, std::string_view name)
{
    for (const textsrc::Section& s : src.sections)
        if (s.name == name)
            return &s;
    return nullptr;
}

std::string EntryValue(const textsrc::Source& src, std::string_view section, std::string_view key)
{
    if (const textsrc::Section* s = FindSection(src, section))
        for (const textsrc::Entry& e : s->entries)
            if (e.key == key)
                return e.value;
    return {};
}

} // namespace

bool CompileDemoTextTable(textsrc::Source& src, const std::string& name, std::string& bytes, DemoLog& log)
{
    // Both forms of the paragraph titles, and both spellings of the
    // regulation section, so that every reader finds them.
    if (FindSection(src, "Nadpis") || FindSection(src, "DNV")) {
        log.Error(name, 0, "sections Nadpis and DNV are made by the builder; leave them out");
        return false;
    }
    textsrc::Section nadpis;
    nadpis.name = "Nadpis";
    for (const char* group : {"Odst", "Ospc"})
        if (const textsrc::Section* s = FindSection(src, group))
            for (const textsrc::Entry& e : s->entries)
                nadpis.entries.push_back({group + e.key, e.value, e.line});
    if (const textsrc::Section* dnv = FindSection(src, "Dnv")) {
        textsrc::Section copy = *dnv;
        copy.name = "DNV";
        src.sections.push_back(std::move(copy));
    }
    src.sections.push_back(std::move(nadpis));
    textsrc::Error err;
    if (!textsrc::BuildTable(src, 0x0641, name, bytes, err)) {
        log.Error(err.Message());
        return false;
    }
    return true;
}

// ------------------------------------------------------------- sources

namespace {

struct Ctx {
    std::string srcDir; // with trailing "/"
    DemoDataSet& set;
    DemoLog& log;
};

bool LoadCsv(Ctx& c, const std::string& file, CsvTable& csv)
{
    std::string error;
    if (!csv.Load(c.srcDir + file, error)) {
        c.log.Error(error);
        return false;
    }
    return true;
}

// One record of a table being loaded, as the table's own rules see it.
struct RowInput {
    const DemoTableSpec& spec;
    const std::string& rec;
    const std::string& where; // "file:line" of the source row
    DemoLog& log;

    std::string Field(std::string_view name) const { return ::Field(spec, rec, name); }
    void Error(const std::string& message) const { log.Error(where + ": " + message); }
};

using RowCheck = std::function<void(const RowInput& row)>;

// Reads the table's source into its records.  Columns whose name starts
// with "_" are notes for the reader of the source; any other column must be a
// field of the table.
bool LoadTable(Ctx& c, const std::string& id, const RowCheck& check = {})
{
    const DemoTableSpec& spec = DemoTable(id);
    CsvTable csv;
    if (!LoadCsv(c, spec.source, csv))
        return false;
    bool ok = true;
    for (const std::string& column : csv.Header())
        if (column.empty() || (column[0] != '_' && spec.layout.Find(column) < 0)) {
            c.log.Error(spec.source, 0, "column \"" + column + "\" is no field of table " + id);
            ok = false;
        }
    if (!ok)
        return false;
    std::vector<std::string>& recs = c.set.records[id];
    std::vector<std::string>& origins = c.set.origins[id];
    recs.clear();
    origins.clear();
    const size_t before = c.log.Errors().size();
    for (size_t row = 0; row < csv.RowCount(); ++row) {
        std::string rec;
        const std::string where = spec.source + ":" + std::to_string(csv.LineOf(row));
        if (!FillDemoRecord(spec, csv, row, c.set, rec, c.log))
            continue;
        if (check)
            check(RowInput{spec, rec, where, c.log});
        recs.push_back(std::move(rec));
        origins.push_back(where);
    }
    return c.log.Errors().size() == before;
}

// One function per table: the table's own rules on top of the field forms.

bool BuildKl(Ctx& c)
{
    std::set<std::string> codes;
    return LoadTable(c, "kl", [&](const RowInput& row) {
        const std::string kod = row.Field("KOD");
        if (!IsDigits(kod))
            row.Error("KOD: seven digits expected");
        if (!codes.insert(kod).second)
            row.Error("KOD " + kod + " twice");
        if (Trimmed(row.Field("NAZ")).empty())
            row.Error("NAZ: a drug needs a name");
        const std::string rc = row.Field("RC");
        if (rc[0] == '=' || rc[0] == '>') {
            if (!IsDigits(rc.substr(1, 2)) || !IsDigits(rc.substr(7, 2)))
                row.Error("RC: national form is \"=\" year(2) number(4) prefix(2)");
        } else if (rc[0] != ' ' && !(IsDigits(rc.substr(0, 9)) && rc.substr(9) == "  ")) {
            row.Error("RC: an EU number has 9 digits");
        }
        const std::string oba = row.Field("OBA");
        if (oba != "      " && oba.find(' ') != std::string::npos)
            row.Error("OBA: a package-type code has six characters without blanks");
        const std::string sr = row.Field("SR");
        if (std::string(" R-NY\\FPI").find(sr[0]) == std::string::npos)
            row.Error("SR: unknown registration state " + sr);
        if ((sr == "-" || sr == "\\") && row.Field("PDO") == "    ")
            row.Error("PDO: a cancelled drug shows its cancellation date");
    });
}

bool BuildKle(Ctx& c)
{
    CsvTable notes;
    return LoadTable(c, "kle", [&](const RowInput& row) {
        const std::string ean = row.Field("EAN");
        const bool twelve = IsDigits(ean.substr(0, 12)) && ean[12] == ' ';
        if (!twelve && !IsDigits(ean))
            row.Error("EAN: 13 digits, or 12 digits and a blank");
    });
}

bool BuildCvzp(Ctx& c)
{
    return LoadTable(c, "cvzp", [&](const RowInput& row) {
        const char kind = row.Field("DRU")[0];
        if (!((kind >= 'A' && kind <= 'G') || (kind >= 'a' && kind <= 'g')))
            row.Error("DRU: a price slot letter A-G or a-g");
    });
}

bool BuildIsv(Ctx& c)
{
    return LoadTable(c, "isv");
}
bool BuildIsva(Ctx& c)
{
    return LoadTable(c, "isva");
}

bool BuildAtc(Ctx& c, const std::string& id)
{
    return LoadTable(c, id, [&](const RowInput& row) {
        const std::string code = Trimmed(row.Field("ATC"));
        if (code.size() != 1 && code.size() != 3 && code.size() != 4 && code.size() != 5 && code.size() != 7)
            row.Error("ATC: a code of 1, 3, 4, 5 or 7 characters");
        if (Trimmed(row.Field("NAR")).size() > 0 && Trimmed(row.Field("NAZ")).size() < 128)
            row.Error("NAR continues a name that fills NAZ");
    });
}
bool BuildAtcCz(Ctx& c)
{
    return BuildAtc(c, "atc");
}
bool BuildAtca(Ctx& c)
{
    return BuildAtc(c, "atca");
}

bool BuildAtcp(Ctx& c, const std::string& id)
{
    return LoadTable(c, id, [&](const RowInput& row) {
        const std::string code = row.Field("ATC");
        if (code[0] < 'A' || code[0] > 'Z' || code[1] < '0' || code[1] > '9')
            row.Error("ATC: a reference group is a letter and a digit, then one character");
    });
}
bool BuildAtcpCz(Ctx& c)
{
    return BuildAtcp(c, "atcp");
}
bool BuildAtcpa(Ctx& c)
{
    return BuildAtcp(c, "atcpa");
}

bool BuildDrzv(Ctx& c)
{
    return LoadTable(c, "drzv");
}
bool BuildZemv(Ctx& c)
{
    return LoadTable(c, "zemv");
}
bool BuildZemva(Ctx& c)
{
    return LoadTable(c, "zemva");
}

// Loads a table whose rows must come in ascending order of `field`; `rule`
// tells the author of the source how.
bool BuildSortedBy(Ctx& c, const std::string& id, std::string_view field, const std::string& rule)
{
    std::string previous;
    return LoadTable(c, id, [&](const RowInput& row) {
        const std::string value = row.Field(field);
        if (value < previous)
            row.Error(std::string(field) + ": " + rule);
        previous = value;
    });
}

bool BuildKlc(Ctx& c)
{
    return BuildSortedBy(c, "klc", "LEK", "composition lines go in drug-code order");
}

bool BuildKk(Ctx& c)
{
    return LoadTable(c, "kk", [&](const RowInput& row) {
        // Long-name and continued records have no fixed layout: keep them out.
        if (row.Field("SQR") != "`")
            row.Error("SQR: the demo set uses the standard layout \"`\" only");
        if (Trimmed(row.Field("KOD")).empty())
            row.Error("KOD: a substance needs a code");
    });
}

bool BuildKab(Ctx& c)
{
    return BuildSortedBy(c, "kab", "SUB", "pairs go in ascending substance order");
}

bool BuildZdrv(Ctx& c)
{
    return LoadTable(c, "zdrv");
}
bool BuildVzph(Ctx& c)
{
    return LoadTable(c, "vzph");
}
bool BuildSpot1(Ctx& c)
{
    return LoadTable(c, "spot1");
}
bool BuildSpot2(Ctx& c)
{
    return LoadTable(c, "spot2");
}
bool BuildVpois(Ctx& c)
{
    return LoadTable(c, "vpois");
}

bool BuildVypad(Ctx& c)
{
    return LoadTable(c, "vypad", [&](const RowInput& row) {
        if (row.Field("TYP") == " ")
            row.Error("TYP: an outage has a type");
    });
}

bool BuildPfa(Ctx& c)
{
    return LoadTable(c, "pfa", [&](const RowInput& row) {
        const std::string ean = row.Field("EAN");
        if (Trimmed(ean).size() > 0 && (Trimmed(ean).size() != 13 || !EanValid(ean)))
            row.Error(std::string("EAN: not a valid EAN-13 (check digit ") + EanCheckDigit(ean) + ")");
    });
}

bool BuildPfavyrv(Ctx& c)
{
    return LoadTable(c, "pfavyrv", [&](const RowInput& row) {
        if (row.Field("KOD")[3] == ' ')
            row.Error("KOD: the fourth character of a maker code is never blank");
    });
}
bool BuildPfazemv(Ctx& c)
{
    return LoadTable(c, "pfazemv");
}
bool BuildPfakatv(Ctx& c)
{
    return LoadTable(c, "pfakatv");
}
bool BuildPfapk(Ctx& c)
{
    return LoadTable(c, "pfapk");
}

bool BuildPzt(Ctx& c)
{
    return LoadTable(c, "pzt", [&](const RowInput& row) {
        if (!IsDigits(row.Field("KOD")))
            row.Error("KOD: seven digits expected");
    });
}

bool ValidCompactCode(std::string_view code)
{
    if (code.size() != 4)
        return false;
    for (size_t i = 0; i < 4; ++i) {
        const char ch = code[i];
        const bool ok = (ch >= '1' && ch <= '9') || (ch >= 'A' && ch <= 'V') || (i == 3 && ch == '0');
        if (!ok)
            return false;
    }
    return true;
}

bool BuildPzttypv(Ctx& c)
{
    return LoadTable(c, "pzttypv");
}
bool BuildPztuhs(Ctx& c)
{
    return LoadTable(c, "pztuhs", [&](const RowInput& row) {
        if (!ValidCompactCode(row.Field("KOD")))
            row.Error("KOD: a compact group code is four characters 1-9/A-V, the fourth may be 0");
        if (row.Field("FLG") != " ")
            row.Error("FLG: a group whose flag is set never shows its document; keep it blank");
    });
}
bool BuildPztvyrv(Ctx& c)
{
    return LoadTable(c, "pztvyrv");
}
bool BuildPztohl(Ctx& c)
{
    return LoadTable(c, "pztohl");
}
bool BuildPztzemv(Ctx& c)
{
    return LoadTable(c, "pztzemv");
}

struct TableBuilder {
    const char* id;
    bool (*build)(Ctx&);
};

const TableBuilder kTableBuilders[] = {
    {"kl", &BuildKl},           {"kle", &BuildKle},         {"cvzp", &BuildCvzp},
    {"isv", &BuildIsv},         {"isva", &BuildIsva},       {"atc", &BuildAtcCz},
    {"atca", &BuildAtca},       {"atcp", &BuildAtcpCz},     {"atcpa", &BuildAtcpa},
    {"drzv", &BuildDrzv},       {"zemv", &BuildZemv},       {"zemva", &BuildZemva},
    {"klc", &BuildKlc},         {"kk", &BuildKk},           {"kab", &BuildKab},
    {"zdrv", &BuildZdrv},       {"vzph", &BuildVzph},       {"spot1", &BuildSpot1},
    {"spot2", &BuildSpot2},     {"vpois", &BuildVpois},     {"vypad", &BuildVypad},
    {"pfa", &BuildPfa},         {"pfavyrv", &BuildPfavyrv}, {"pfazemv", &BuildPfazemv},
    {"pfakatv", &BuildPfakatv}, {"pfapk", &BuildPfapk},     {"pzt", &BuildPzt},
    {"pzttypv", &BuildPzttypv}, {"pztuhs", &BuildPztuhs},   {"pztvyrv", &BuildPztvyrv},
    {"pztohl", &BuildPztohl},   {"pztzemv", &BuildPztzemv},
};

// demo/<family>/*.txt, in name order; the file's stem is the record name.
// The pictures of a document, where the viewer looks for them below the
// data set's picture base "pictures/".
void NotePictures(DemoDataSet& set, const std::string& family, const std::string& name,
                  const std::string& text)
{
    const std::string prefix = family == "letak" ? "LET_PICT/" : family == "spc" ? "SPC_PICT/" : "";
    const std::string folder = name.compare(0, 2, "CH") == 0 ? "CH" : name.substr(0, 1);
    CtrlTokenizer tok(text);
    CtrlItem item;
    while (tok.Next(item)) {
        if (!item.IsCode(25))
            continue;
        std::string picture = CtrlStringParam(text, item, 2);
        for (size_t i = 0; i < picture.size(); ++i) {
            if (i < 6 && picture[i] == '"')
                picture[i] = '~';
            if (picture[i] >= 'A' && picture[i] <= 'Z')
                picture[i] = static_cast<char>(picture[i] - 'A' + 'a');
        }
        set.pictures.push_back({"pictures/" + prefix + folder + "/" + name + picture + ".png",
                                CtrlPairValue(text, item, 0) & 0x7FF, CtrlPairValue(text, item, 1)});
    }
}

bool LoadDocuments(Ctx& c)
{
    bool ok = true;
    for (const std::string& family : DemoDocFamilies()) {
        DemoDocFile& file = c.set.docs[family] = MakeDemoDocFile(family);
        const fs::path dir = fs::path(c.srcDir) / family;
        std::vector<fs::path> paths;
        std::error_code ec;
        if (fs::is_directory(dir, ec))
            for (const fs::directory_entry& e : fs::directory_iterator(dir, ec))
                if (e.path().extension() == ".txt")
                    paths.push_back(e.path());
        std::sort(paths.begin(), paths.end());
        for (const fs::path& p : paths) {
            const std::string where = family + "/" + p.filename().string();
            std::string utf8;
            if (int r = ReadWholeFile(p.string(), utf8)) {
                c.log.Error(where, 0, "cannot read (I/O result " + std::to_string(r) + ")");
                ok = false;
                continue;
            }
            std::string text;
            uint16_t bValue = 0;
            int items = -1;
            if (!DemoMarkupToCtrlText(utf8, where, text, bValue, c.log, &items)) {
                ok = false;
                continue;
            }
            if (family == "ind_ome") {
                // Code 19 (30) opens the indication text; the reader cuts at
                // the first pair of zero bytes.
                if (text.compare(0, 3, "\x13\x1E\x10") != 0) {
                    c.log.Error(where, 0, "an indication text begins with {19:30}");
                    ok = false;
                    continue;
                }
                text.append(2, '\0');
            }
            if (family != "ind_ome")
                NotePictures(c.set, family, p.stem().string(), text);
            // "@I n": a record of n items (fewer than the family's least
            // make an article that counts as missing).
            const int familyItems = file.minItems;
            if (items > 0)
                file.minItems = items;
            ok = AddDemoDocument(file, p.stem().string(), text, bValue, where, c.log) && ok;
            file.minItems = familyItems;
        }
    }
    return ok;
}

// symbol.dat: a paragraph starts with code 19 (7) at p; its key letter is the
// byte at p + 10 and its qualifier the byte at p + 11.
bool CheckSymbolText(const std::string& text, const std::string& where, DemoLog& log)
{
    bool ok = true;
    int paragraphs = 0;
    CtrlTokenizer tok(text);
    CtrlItem item;
    while (tok.Next(item)) {
        if (!item.IsCode(19) || CtrlPairValue(text, item, 0) != 7)
            continue;
        ++paragraphs;
        const size_t p = static_cast<size_t>(item.offset);
        if (p + 11 >= text.size() || text[p + 10] < 'A' || text[p + 10] > 'Z') {
            log.Error(where, 0,
                      "paragraph " + std::to_string(paragraphs) +
                          ": the key letter must stand 10 bytes after its {19:7}");
            ok = false;
        }
    }
    if (paragraphs == 0) {
        log.Error(where, 0, "no paragraph {19:7}");
        ok = false;
    }
    return ok;
}

bool LoadSymbol(Ctx& c)
{
    std::string utf8;
    if (int r = ReadWholeFile(c.srcDir + "symbol.txt", utf8)) {
        c.log.Error("symbol.txt", 0, "cannot read (I/O result " + std::to_string(r) + ")");
        return false;
    }
    uint16_t unused = 0;
    if (!DemoMarkupToCtrlText(utf8, "symbol.txt", c.set.symbol, unused, c.log))
        return false;
    return CheckSymbolText(c.set.symbol, "symbol.txt", c.log);
}

// The second help file and the doping list, stored (the manual beside the
// program is the compressed one).
bool LoadHelpFile(Ctx& c, const std::string& folder, HelpFileKind kind, std::string& bytes)
{
    HelpCompileOptions options;
    options.kind = kind;
    options.compressed = false;
    std::vector<HelpCompileError> errors;
    if (CompileHelpFolder(c.srcDir + folder, options, bytes, errors))
        return true;
    for (const HelpCompileError& e : errors)
        c.log.Error(e.Text());
    return false;
}

bool LoadClassification(Ctx& c, const std::string& folder, std::string& file, std::string& words)
{
    std::vector<std::string> errors;
    if (BuildMknFromFolder(c.srcDir + folder, file, words, errors))
        return true;
    for (const std::string& e : errors)
        c.log.Error(folder + "/" + e);
    return false;
}

bool LoadTextTable(Ctx& c, const std::string& file, textsrc::Source& src, std::string& bytes)
{
    std::string utf8;
    if (int r = ReadWholeFile(c.srcDir + file, utf8)) {
        c.log.Error(file, 0, "cannot read (I/O result " + std::to_string(r) + ")");
        return false;
    }
    textsrc::Error err;
    if (!textsrc::ParseSource(utf8, file, src, err)) {
        c.log.Error(err.Message());
        return false;
    }
    return CompileDemoTextTable(src, file, bytes, c.log);
}

bool LoadRelease(Ctx& c)
{
    CsvTable csv;
    if (!LoadCsv(c, "release.csv", csv))
        return false;
    if (csv.RowCount() != 1 || !ParseIsoDate(csv.Value(0, "DATE"), c.set.year, c.set.month, c.set.day)) {
        c.log.Error("release.csv", 0, "one row with DATE (yyyy-mm-dd) and WARE expected");
        return false;
    }
    c.set.ware = csv.Value(0, "WARE");
    if (WareMask(c.set.ware) == 0) {
        c.log.Error("release.csv", csv.LineOf(0), "WARE: edition letters (H, P, T ...) expected");
        return false;
    }
    return true;
}

bool LoadVidud(Ctx& c)
{
    CsvTable csv;
    if (!LoadCsv(c, "vidud.csv", csv))
        return false;
    for (size_t r = 0; r < csv.RowCount(); ++r)
        c.set.vidudCodes.push_back(csv.Value(r, "KOD"));
    return true;
}

} // namespace

bool LoadDemoSources(const std::string& srcDir, DemoDataSet& set, DemoLog& log)
{
    Ctx c{WithTrailingSlash(srcDir), set, log};
    bool ok = LoadRelease(c);
    ok = LoadTextTable(c, "kalvo.ces.ini", set.ces, set.cesBytes) && ok;
    ok = LoadTextTable(c, "kalvo.ang.ini", set.ang, set.angBytes) && ok;
    // Documents before the tables: records point at them by name.
    ok = LoadDocuments(c) && ok;
    ok = LoadSymbol(c) && ok;
    ok = LoadHelpFile(c, "help", HelpFileKind::Second, set.helpFile) && ok;
    ok = LoadHelpFile(c, "doping", HelpFileKind::Doping, set.dopingFile) && ok;
    ok = LoadClassification(c, "mkn", set.mknFile, set.mknWords) && ok;
    ok = LoadClassification(c, "mkno", set.mknoFile, set.mknoWords) && ok;
    for (const TableBuilder& b : kTableBuilders)
        ok = b.build(c) && ok;
    ok = LoadVidud(c) && ok;
    if (ok)
        DeriveDemoFields(set);
    return ok && log.Ok();
}

void DeriveDemoFields(DemoDataSet& set)
{
    const DemoTableSpec& kl = DemoTable("kl");
    const DemoTableSpec& kle = DemoTable("kle");
    std::map<std::string, int> eans;
    for (const std::string& rec : set.Records("kle"))
        ++eans[Field(kle, rec, "KOD")];
    for (std::string& rec : set.records["kl"]) {
        auto it = eans.find(Field(kl, rec, "KOD"));
        kl.layout.PutInt(rec, "PEA", it == eans.end() ? 0 : std::min(it->second, 255));
    }
}

// ----------------------------------------------------------------- checks

namespace {

struct KeySet {
    std::set<std::string> keys;
    bool Has(const std::string& k) const { return keys.count(k) != 0; }
};

KeySet Keys(const DemoDataSet& set, const std::string& id, const std::string& field, int width = 0)
{
    const DemoTableSpec& t = DemoTable(id);
    KeySet k;
    const size_t off = static_cast<size_t>(t.layout.Offset(field));
    const size_t w = static_cast<size_t>(width ? width : t.layout.Width(field));
    for (const std::string& rec : set.Records(id))
        k.keys.insert(rec.substr(off, w));
    return k;
}

// A code's key in a data text section: each blank character written "_".
std::string BlankAsUnderscore(std::string s)
{
    std::replace(s.begin(), s.end(), ' ', '_');
    return s;
}

} // namespace

bool CheckDemoDataSet(const DemoDataSet& set, DemoLog& log)
{
    const size_t before = log.Errors().size();
    auto bad = [&](const std::string& id, size_t i, const std::string& message) {
        log.Error(set.Origin(id, i) + ": " + message);
    };

    // Every record file is at least 185 bytes: the program reads that much
    // header when it opens one.
    for (const DemoTableSpec& t : DemoTableSpecs()) {
        auto it = set.records.find(t.id);
        if (it == set.records.end())
            continue;
        const int64_t size = int64_t(it->second.size() + 1 + t.layout.HeaderShift()) * t.layout.Length();
        if (size < DatHeaderBytes)
            log.Error(t.id + ".dat: " + std::to_string(size) + " bytes; a record file needs at least 185");
    }

    const DemoTableSpec& kl = DemoTable("kl");
    const KeySet klCodes = Keys(set, "kl", "KOD");
    const KeySet vypadCodes = Keys(set, "vypad", "KOD");
    const KeySet cvzpCodes = Keys(set, "cvzp", "KOD");
    const KeySet vpois = Keys(set, "vpois", "KOD");
    const KeySet drzv = Keys(set, "drzv", "DRZ", 6);
    const KeySet zemv = Keys(set, "zemv", "ZEM");
    const KeySet isv = Keys(set, "isv", "INS");
    const KeySet atc = Keys(set, "atc", "ATC");
    const KeySet atcp = Keys(set, "atcp", "ATC");
    const KeySet kk = Keys(set, "kk", "KOD");
    const KeySet zdrv = Keys(set, "zdrv", "KOD");

    // The English tables describe the same codes.
    for (const auto& [cz, en, field] :
         {std::tuple{"isv", "isva", "INS"}, std::tuple{"atc", "atca", "ATC"},
          std::tuple{"atcp", "atcpa", "ATC"}, std::tuple{"zemv", "zemva", "ZEM"}})
        if (Keys(set, cz, field).keys != Keys(set, en, field).keys)
            log.Error(std::string(en) + ".csv: the codes differ from " + cz + ".csv");

    const std::vector<std::string>& klRecs = set.Records("kl");
    for (size_t i = 0; i < klRecs.size(); ++i) {
        const std::string& r = klRecs[i];
        const std::string kod = Field(kl, r, "KOD");
        if ((Field(kl, r, "VYP") != " ") != vypadCodes.Has(kod))
            bad("kl", i, "VYP is set exactly when vypad.csv has the drug");
        // A kind without price records is allowed: the reimbursement lists
        // must leave such a drug out.
        if (Field(kl, r, "UH") == " " && cvzpCodes.Has(kod))
            bad("kl", i, "UH is set whenever cvzp.csv has records of the drug");
        const std::string vpo = Field(kl, r, "VPO");
        if (vpo != "    " && !vpois.Has(vpo))
            bad("kl", i, "VPO " + vpo + " is not in vpois.csv");
        if (!drzv.Has(Field(kl, r, "DRZ") + Field(kl, r, "ZED")))
            bad("kl", i, "DRZ + ZED " + Field(kl, r, "DRZ") + Field(kl, r, "ZED") + " is not in drzv.csv");
        if (!zemv.Has(Field(kl, r, "ZED")))
            bad("kl", i, "ZED " + Field(kl, r, "ZED") + " is not in zemv.csv");
        if (!isv.Has(Field(kl, r, "INS")))
            bad("kl", i, "INS " + Field(kl, r, "INS") + " is not in isv.csv");
        const std::string code = Field(kl, r, "ATC");
        if (code[0] >= 'A' && !atc.Has(code))
            bad("kl", i, "ATC " + code + " is not in atc.csv");
        const std::string ozn = Field(kl, r, "OZN");
        if (ozn != "   " && !atcp.Has(ozn))
            bad("kl", i, "OZN " + ozn + " is not in atcp.csv");
    }
    // EAN codes of 000999x belong to no drug on purpose: the EAN list shows
    // such a code with its "no drug" row.
    auto orphanAllowed = [](std::string_view id, const std::string& rec) {
        return id == "kle" && rec.compare(0, 6, "000999") == 0;
    };
    for (const char* id : {"kle", "cvzp", "vypad", "vzph", "spot1", "spot2"}) {
        const std::vector<std::string>& recs = set.Records(id);
        for (size_t i = 0; i < recs.size(); ++i)
            if (!klCodes.Has(recs[i].substr(0, 7)) && !orphanAllowed(id, recs[i]))
                bad(id, i, "drug " + recs[i].substr(0, 7) + " is not in kl.csv");
    }
    {
        const DemoTableSpec& v = DemoTable("vypad");
        const std::vector<std::string>& recs = set.Records("vypad");
        for (size_t i = 0; i < recs.size(); ++i) {
            // A last piece shorter than 7 characters marks an incomplete list.
            const std::string nah = Trimmed(Field(v, recs[i], "NAH"));
            for (size_t p = 0; p + 7 <= nah.size(); p += 7) {
                const std::string piece = nah.substr(p, 7);
                if (piece != "       " && !klCodes.Has(piece))
                    bad("vypad", i, "replacement " + piece + " is not in kl.csv");
            }
        }
    }
    {
        const DemoTableSpec& t = DemoTable("klc");
        const std::vector<std::string>& recs = set.Records("klc");
        for (size_t i = 0; i < recs.size(); ++i) {
            if (!klCodes.Has(Field(t, recs[i], "LEK")))
                bad("klc", i, "drug " + Field(t, recs[i], "LEK") + " is not in kl.csv");
            const std::string kom = Field(t, recs[i], "KOM");
            const bool group = kom == "    0" || kom == "   -1" || kom[4] == '-';
            if (!group && !kk.Has(kom))
                bad("klc", i, "substance " + kom + " is not in kk.csv");
        }
    }
    {
        const DemoTableSpec& t = DemoTable("kk");
        const std::vector<std::string>& recs = set.Records("kk");
        std::set<std::string> mains;
        for (size_t i = 0; i < recs.size(); ++i) {
            const std::string zdr = Field(t, recs[i], "ZDR");
            if (zdr != "    " && !zdrv.Has(zdr))
                bad("kk", i, "source " + zdr + " is not in zdrv.csv");
            const std::string sul = Field(t, recs[i], "SUL");
            if (sul != "     " && !kk.Has(sul))
                bad("kk", i, "base substance " + sul + " is not in kk.csv");
            if (Field(t, recs[i], "SQ") == " 0" && !mains.insert(Field(t, recs[i], "KOD")).second)
                bad("kk", i, "a second main record of " + Field(t, recs[i], "KOD"));
        }
        for (const std::string& code : kk.keys)
            if (!mains.count(code))
                log.Error("kk.csv: substance " + code + " has no main record (SQ 0)");
    }
    {
        const DemoTableSpec& t = DemoTable("kab");
        const std::vector<std::string>& recs = set.Records("kab");
        auto number = [](const std::string& s) {
            uint32_t v = 0;
            for (char ch : s)
                v = v * 64 + static_cast<uint32_t>((static_cast<unsigned char>(ch) - 32) % 64);
            return v / 2;
        };
        for (size_t i = 0; i < recs.size(); ++i) {
            const uint32_t grp = number(Field(t, recs[i], "GRP"));
            std::string code = std::to_string(grp);
            code = std::string(5 - std::min<size_t>(5, code.size()), ' ') + code;
            if (grp < 90000 && !kk.Has(code))
                bad("kab", i, "group " + Trimmed(code) + " is not in kk.csv");
        }
    }
    {
        const DemoTableSpec& t = DemoTable("pzt");
        const KeySet typ = Keys(set, "pzttypv", "TYP"), uhs = Keys(set, "pztuhs", "KOD"),
                     vyr = Keys(set, "pztvyrv", "KOD"), ohl = Keys(set, "pztohl", "OHL"),
                     zem = Keys(set, "pztzemv", "ZEM");
        const std::vector<std::string>& recs = set.Records("pzt");
        for (size_t i = 0; i < recs.size(); ++i) {
            const std::string& r = recs[i];
            if (!typ.Has(Field(t, r, "TYP")))
                bad("pzt", i, "TYP " + Field(t, r, "TYP") + " is not in pzttypv.csv");
            if (Field(t, r, "UHS") != "    " && !uhs.Has(Field(t, r, "UHS")))
                bad("pzt", i, "UHS " + Field(t, r, "UHS") + " is not in pztuhs.csv");
            if (Field(t, r, "VYR") != "   " && !vyr.Has(Field(t, r, "VYR")))
                bad("pzt", i, "VYR " + Field(t, r, "VYR") + " is not in pztvyrv.csv");
            const std::string o = Field(t, r, "OHL");
            if (o != "____" && o != "    " && !ohl.Has(o))
                bad("pzt", i, "OHL " + o + " is not in pztohl.csv");
            if (Field(t, r, "ZEM") != "   " && !zem.Has(Field(t, r, "ZEM")))
                bad("pzt", i, "ZEM " + Field(t, r, "ZEM") + " is not in pztzemv.csv");
        }
        const DemoTableSpec& v = DemoTable("pztvyrv");
        const std::vector<std::string>& makers = set.Records("pztvyrv");
        for (size_t i = 0; i < makers.size(); ++i)
            if (!zem.Has(Field(v, makers[i], "ZEM")))
                bad("pztvyrv", i, "ZEM " + Field(v, makers[i], "ZEM") + " is not in pztzemv.csv");
    }
    {
        const DemoTableSpec& t = DemoTable("pfa");
        const KeySet vyr = Keys(set, "pfavyrv", "KOD"), zem = Keys(set, "pfazemv", "ZEM");
        const std::vector<std::string>& recs = set.Records("pfa");
        for (size_t i = 0; i < recs.size(); ++i) {
            const std::string v = Field(t, recs[i], "VYR");
            if (v[3] != ' ' && !vyr.Has(v))
                bad("pfa", i, "VYR " + v + " is not in pfavyrv.csv");
            if (Field(t, recs[i], "ZEM") != "   " && !zem.Has(Field(t, recs[i], "ZEM")))
                bad("pfa", i, "ZEM " + Field(t, recs[i], "ZEM") + " is not in pfazemv.csv");
        }
        const KeySet goods = Keys(set, "pfa", "KOD"), kat = Keys(set, "pfakatv", "KAT");
        const DemoTableSpec& pk = DemoTable("pfapk");
        const std::vector<std::string>& pairs = set.Records("pfapk");
        for (size_t i = 0; i < pairs.size(); ++i) {
            if (!goods.Has(Field(pk, pairs[i], "KOD")))
                bad("pfapk", i, "goods " + Field(pk, pairs[i], "KOD") + " is not in pfa.csv");
            if (!kat.Has(Field(pk, pairs[i], "KAT").substr(0, 4)))
                bad("pfapk", i, "category " + Field(pk, pairs[i], "KAT") + " is not in pfakatv.csv");
        }
    }

    // Codes shown through a data text section have their entry there, in
    // both languages.
    struct CodeText {
        const char* table;
        const char* field;
        const char* section;
        int form; // 0 the code with blanks as "_"; 1 first character + "_"; 2 padded to 3 with "_";
                  // 3 upper case; 4 the list of specialist codes
        bool blankToo;
    };
    static const CodeText kCodeTexts[] = {
        {"kl", "SR", "RegW", 0, true},     {"kl", "SR", "Reg", 0, false},
        {"kl", "TR", "RetW", 0, false},    {"kl", "TR", "ReZ", 0, false},
        {"kl", "VP", "VydZ", 0, true},     {"kl", "VP", "VydW", 1, true},
        {"kl", "VP", "Vyd", 0, false},     {"kl", "ZAV", "ZavW", 0, false},
        {"kl", "ZAV", "Zav", 0, false},    {"kl", "DP", "Dop", 2, false},
        {"kl", "DP", "DopW", 2, false},    {"kl", "NV", "Dnv", 0, false},
        {"kl", "BRA", "Bra", 0, false},    {"kl", "OBA", "Obal", 0, false},
        {"kl", "PUL", "PulTyp", 0, false}, {"kl", "UH", "Uhr", 0, false},
        {"kl", "DDJ", "Jedn", 0, false},   {"cvzp", "CER", "Cer", 0, false},
        {"cvzp", "LGV", "LegV", 0, false}, {"cvzp", "PUH", "Puh", 0, false},
        {"cvzp", "PUH", "PuhW", 0, false}, {"cvzp", "LGW", "LegW", 0, false},
        {"cvzp", "NEZ", "NezW", 0, true},  {"cvzp", "ODZ", "Odz", 0, true},
        {"cvzp", "SPE", "Pre", 4, false},  {"vypad", "TYP", "VypTyp", 3, false},
        {"pzt", "PRO", "TPr", 0, false},   {"pzt", "ZUP", "TUh", 0, false},
        {"pzt", "TBZ", "TBa", 0, false},   {"pzt", "MJZ", "TBa", 0, false},
        {"pzt", "DNC", "TDC", 0, false},   {"pzt", "ZDR", "TZd", 0, false},
        {"pzt", "LIM", "TRl", 0, false},   {"pzt", "PRE", "Pre", 4, false},
        {"kk", "ZAV", "Zvk", 0, false},    {"kk", "DPG", "DopZ", 0, false},
        {"klc", "STA", "SloS", 0, false},  {"klc", "JD", "Jedn", 0, false},
    };
    std::set<std::string> cesKeys, angKeys;
    for (const auto& [src, keys] : {std::pair{&set.ces, &cesKeys}, std::pair{&set.ang, &angKeys}})
        for (const textsrc::Section& s : src->sections)
            for (const textsrc::Entry& e : s.entries)
                keys->insert(s.name + '\n' + e.key);
    for (const CodeText& ct : kCodeTexts) {
        const DemoTableSpec& t = DemoTable(ct.table);
        const std::vector<std::string>& recs = set.Records(ct.table);
        for (size_t i = 0; i < recs.size(); ++i) {
            std::string code = Field(t, recs[i], ct.field);
            if (Trimmed(code).empty() && !ct.blankToo)
                continue;
            std::vector<std::string> keys;
            switch (ct.form) {
            case 0: keys.push_back(BlankAsUnderscore(code)); break;
            case 1: keys.push_back(BlankAsUnderscore(code.substr(0, 1)) + "_"); break;
            case 2: {
                code = Trimmed(code);
                code.append(3 - std::min<size_t>(3, code.size()), '_');
                keys.push_back(BlankAsUnderscore(code));
                break;
            }
            case 3:
                keys.push_back(std::string(1, static_cast<char>(KamUpper[static_cast<uint8_t>(code[0])])));
                break;
            case 4: {
                // "L,K3/x": the first "/" becomes ",", codes are cut to three
                // characters, a two-character code gets "_"; codes that begin
                // with a small letter are not looked up.
                std::string list = Trimmed(code);
                const size_t slash = list.find('/');
                if (slash != std::string::npos)
                    list[slash] = ',';
                size_t p = 0;
                while (p <= list.size()) {
                    size_t comma = list.find(',', p);
                    if (comma == std::string::npos)
                        comma = list.size();
                    std::string one = Trimmed(list.substr(p, comma - p)).substr(0, 3);
                    p = comma + 1;
                    if (one.empty() || (one[0] >= 'a' && one[0] <= 'z'))
                        continue;
                    if (one.size() == 2)
                        one += "_";
                    if (one.size() == 1)
                        continue;
                    keys.push_back(one);
                }
                break;
            }
            }
            for (const std::string& key : keys)
                for (const auto* src : {&cesKeys, &angKeys})
                    if (!src->count(ct.section + ('\n' + key)))
                        bad(ct.table, i,
                            std::string(ct.field) + " needs the entry " + ct.section + "." + key + " in " +
                                (src == &cesKeys ? "kalvo.ces.ini" : "kalvo.ang.ini"));
        }
    }

    // The data version in the texts and in the manifest describe one release.
    const std::string stamp = QuarterStamp(set.year, set.month, set.day);
    for (const auto& [src, name] :
         {std::pair{&set.ces, "kalvo.ces.ini"}, std::pair{&set.ang, "kalvo.ang.ini"}}) {
        if (EntryValue(*src, "Verze", "Cislo") != stamp)
            log.Error(std::string(name) + ": Verze.Cislo must be " + stamp +
                      ", the stamp of the release date");
        if (EntryValue(*src, "Stat", "Nadpis").find(" " + stamp.substr(0, 6)) == std::string::npos)
            log.Error(std::string(name) + ": Stat.Nadpis must hold \" " + stamp.substr(0, 6) + "\"");
    }
    for (const std::string& code : set.vidudCodes)
        if (!klCodes.Has(code))
            log.Error("vidud.csv: drug " + code + " is not in kl.csv");
    return log.Errors().size() == before;
}

bool MakeDemoRelease(DemoDataSet& set, int year, int month, int day, const std::string& title, DemoLog& log)
{
    if (std::tie(year, month, day) < std::tie(set.year, set.month, set.day)) {
        log.Error("a release date before the sources' own");
        return false;
    }
    set.year = year;
    set.month = month;
    set.day = day;
    const std::string stamp = QuarterStamp(year, month, day);
    for (auto [src, bytes, name] : {std::tuple{&set.ces, &set.cesBytes, "kalvo.ces"},
                                    std::tuple{&set.ang, &set.angBytes, "kalvo.ang"}}) {
        for (textsrc::Section& section : src->sections) {
            for (textsrc::Entry& e : section.entries) {
                if (section.name == "Verze" && e.key == "Cislo")
                    e.value = stamp;
                else if (section.name == "Verze" && e.key == "Nadpis" && !title.empty())
                    e.value = QStringToKam(QString::fromUtf8(title.c_str()));
                else if (section.name == "Stat" && e.key == "Nadpis") {
                    // " 2025.4" becomes the new year and quarter.
                    const size_t at = e.value.find(" 20");
                    if (at != std::string::npos && at + 7 <= e.value.size())
                        e.value.replace(at + 1, 6, stamp.substr(0, 6));
                }
            }
        }
        textsrc::Error err;
        if (!textsrc::BuildTable(*src, 0x0641, name, *bytes, err)) {
            log.Error(err.Message());
            return false;
        }
    }
    auto it = set.records.find("kl");
    if (it != set.records.end() && !it->second.empty()) {
        std::string& rec = it->second.front();
        std::string name(TrimRightBlanks(FieldBytes(rec, kDrugName)));
        name += " " + stamp;
        name.resize(kDrugName.length, ' ');
        rec.replace(kDrugName.Offset(), kDrugName.length, name);
    }
    return CheckDemoDataSet(set, log);
}

// --------------------------------------------------------- derived files

std::array<bool, 8> DemoKlSigns(const std::string& rec, int releaseYear)
{
    const char sr = FieldByte(rec, kDrugState);
    const char uh = FieldByte(rec, kDrugReimbursementKind);
    const char ob = FieldByte(rec, kDrugCategory);
    const bool cancelled = sr == '-' || sr == 'N' || sr == '\\';
    // A drug cancelled more than three years before the release is no longer
    // listed at all.
    const std::string pdo(FieldBytes(rec, kDrugCancellationDate).substr(0, 2));
    const int cancelYear = IsDigits(pdo) ? 2000 + std::stoi(pdo) : releaseYear;
    const bool old = cancelled && cancelYear < releaseYear - 3;
    return {
        !cancelled,                                    // Actual
        !old,                                          // Act_Old
        FieldByte(rec, kDrugCode) != '9',              // nVeter
        FieldBytes(rec, kDrugIndicationGroup) != "93", // nHomeo
        sr == 'R',                                     // ActReg
        uh != ' ' && uh != '6' && uh != '8',           // Prizes
        ob == '1' || ob == '2',                        // Stocked
        FieldByte(rec, kDrugOnePack) != ' ',           // OnePack
    };
}

std::string DemoKlWordList(const std::vector<std::string>& klRecs, int releaseYear)
{
    const DemoTableSpec& kl = DemoTable("kl");
    std::map<std::string, int> flags;
    for (const std::string& rec : klRecs) {
        const std::array<bool, 8> s = DemoKlSigns(rec, releaseYear);
        if (!s[1])
            continue; // never listed
        int f = 1;
        f |= s[4] ? 0x02 : 0; // ActReg
        f |= s[6] ? 0x04 : 0; // Stocked
        f |= s[5] ? 0x08 : 0; // Prizes
        f |= s[0] ? 0x10 : 0; // Actual
        f |= s[3] ? 0x20 : 0; // nHomeo
        f |= s[2] ? 0x40 : 0; // nVeter
        flags[FoldedName(Field(kl, rec, "NAZ"))] |= f;
    }
    std::vector<std::string> lines;
    for (const auto& [name, f] : flags)
        lines.push_back(name + " " + static_cast<char>(f));
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& l : lines)
        out += (out.empty() ? "" : "\n") + l;
    return out;
}

namespace {

std::string AtcWordList(const DemoDataSet& set, const TBits& noEmpty)
{
    const DemoTableSpec& atc = DemoTable("atc");
    const std::vector<std::string>& recs = set.Records("atc");
    std::map<std::string, int> flags;
    for (size_t i = 0; i < recs.size(); ++i)
        flags[FoldedName(Field(atc, recs[i], "NAZ"))] |=
            0x40 | (BitTest(noEmpty, static_cast<int64_t>(i)) ? 1 : 0);
    std::vector<std::string> lines;
    for (const auto& [name, f] : flags)
        lines.push_back(name + " " + static_cast<char>(f));
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& l : lines)
        out += (out.empty() ? "" : "\n") + l;
    return out;
}

std::string GoodsWordList(const DemoDataSet& set)
{
    const DemoTableSpec& pfa = DemoTable("pfa");
    std::set<std::string> names;
    for (const std::string& rec : set.Records("pfa"))
        names.insert(FoldedName(Field(pfa, rec, "NAZ")) + " @");
    std::string out;
    for (const std::string& l : names)
        out += (out.empty() ? "" : "\n") + l;
    return out;
}

bool WriteFile(const std::string& path, const std::string& bytes, DemoLog& log)
{
    if (int r = WriteFileAtomic(path, bytes)) {
        log.Error(path + ": write failed (I/O result " + std::to_string(r) + ")");
        return false;
    }
    return true;
}

// The user's files of the demo: a notes set (a note on two drugs with an
// empty free-text line, one that fills its last block exactly) and a
// maximal-dose folder ("maxim/", two groups sharing a code, a skipped file),
// both in subfolders, which no data package carries.
bool WriteDemoUserFiles(const std::string& out, const std::vector<std::string>& kl, DemoLog& log)
{
    if (kl.size() < 6)
        return true;
    auto line = [&](size_t i) { return "01" + FormatDrugLine(kl[i]) + "\r\n"; };
    std::string both = line(0) + line(1) +
                       "Poznamka ke dvema pripravkum.\r\n\r\n"
                       "Po prazdnem radku pokracuje text.\r\n";
    std::string full = line(2);
    full += std::string(254 - full.size() - 2, 'x') + "\r\n";
    // A folder of its own (QEVNOTES): a data package carries no user's notes.
    if (RealFileSystem().MakeFolders(out + "notes") != 0) {
        log.Error("notes: folder not made");
        return false;
    }
    if (int r = WriteNotesSet(out + "notes/NOTES", {{both, {1, 2}}, {full, {3}}},
                              static_cast<int32_t>(kl.size() + 1))) {
        log.Error("NOTES: write failed (I/O result " + std::to_string(r) + ")");
        return false;
    }
    auto maxFile = [&](std::vector<size_t> drugs, const std::string& status) {
        std::string s = "{\"group\":\"demo\",\"involvedDrugs\":[";
        for (size_t i : drugs)
            s += "{\"code\":\"" + kl[i].substr(0, 7) + "\"},";
        s += "],\"ATC\":\"" + Trimmed(Field(DemoTable("kl"), kl[drugs[0]], "ATC")) + "\",\"status\":\"" +
             status + "\",\"doses\":[]}";
        return s;
    };
    const std::string maxim = out + "maxim/";
    for (const char* folder : {"analgetika", "antibiotika"})
        if (RealFileSystem().MakeFolders(maxim + folder) != 0) {
            log.Error("maxim: folder not made");
            return false;
        }
    return WriteFile(maxim + "analgetika/skupina1.max", maxFile({0, 1}, "For Publication"), log) &&
           WriteFile(maxim + "antibiotika/skupina2.max", maxFile({1, 4}, "For Review"), log) &&
           WriteFile(maxim + "antibiotika/-koncept.max", maxFile({5}, "In Progress"), log);
}

bool WriteSignSets(const std::string& out, const DemoDataSet& set, DemoLog& log)
{
    try {
        // kl.sgn: the sets the drug lists filter by.
        const std::vector<std::string>& kl = set.Records("kl");
        static const char* kKlSets[8] = {"Actual", "Act_Old", "nVeter",  "nHomeo",
                                         "ActReg", "Prizes",  "Stocked", "OnePack"};
        std::vector<SignSetSpec> sets(8);
        for (int s = 0; s < 8; ++s) {
            sets[s].table = "kl";
            sets[s].name = kKlSets[s];
            sets[s].bitCount = static_cast<int32_t>(kl.size());
            sets[s].bits.assign((kl.size() + 7) / 8 + 1, 0);
        }
        for (size_t i = 0; i < kl.size(); ++i) {
            const std::array<bool, 8> m = DemoKlSigns(kl[i], set.year);
            for (int s = 0; s < 8; ++s)
                if (m[static_cast<size_t>(s)])
                    BitSet(sets[static_cast<size_t>(s)].bits, static_cast<int64_t>(i));
        }
        if (int r = WriteSignSetFile(out + "kl.sgn", sets)) {
            log.Error("kl.sgn: write failed (I/O result " + std::to_string(r) + ")");
            return false;
        }

        // atc.sgn: noEmpty = groups some listed drug belongs to; Level1 the
        // top level of the tree.
        const DemoTableSpec& atcSpec = DemoTable("atc");
        const std::vector<std::string>& atc = set.Records("atc");
        std::set<std::string> used;
        for (const std::string& rec : kl)
            if (DemoKlSigns(rec, set.year)[1])
                used.insert(Trimmed(Field(DemoTable("kl"), rec, "ATC")));
        SignSetSpec noEmpty{"atc", "noEmpty", static_cast<int32_t>(atc.size()), {}, "", ""};
        SignSetSpec level1{"atc", "Level1", static_cast<int32_t>(atc.size()), {}, "", ""};
        noEmpty.bits.assign(atc.size() / 8 + 1, 0);
        level1.bits.assign(atc.size() / 8 + 1, 0);
        for (size_t i = 0; i < atc.size(); ++i) {
            const std::string code = Trimmed(Field(atcSpec, atc[i], "ATC"));
            for (const std::string& u : used)
                if (!code.empty() && u.compare(0, code.size(), code) == 0) {
                    BitSet(noEmpty.bits, static_cast<int64_t>(i));
                    break;
                }
            if (code.size() == 1)
                BitSet(level1.bits, static_cast<int64_t>(i));
        }
        if (int r = WriteSignSetFile(out + "atc.sgn", {noEmpty, level1})) {
            log.Error("atc.sgn: write failed (I/O result " + std::to_string(r) + ")");
            return false;
        }
        if (int r = WriteFileAtomic(out + "atcnaz.slw", AtcWordList(set, noEmpty.bits))) {
            log.Error("atcnaz.slw: write failed (I/O result " + std::to_string(r) + ")");
            return false;
        }

        // kk.sgn: declared by the program, never read; written so that the
        // declared sets exist.
        const DemoTableSpec& kkSpec = DemoTable("kk");
        const std::vector<std::string>& kk = set.Records("kk");
        static const char* kKkSets[6] = {"MainRec", "PreferN", "LatCzEn", "nDescrpt", "ActSubst", "nHomeo"};
        std::vector<SignSetSpec> kks(6);
        for (int s = 0; s < 6; ++s) {
            kks[s].table = "kk";
            kks[s].name = kKkSets[s];
            kks[s].bitCount = static_cast<int32_t>(kk.size());
            kks[s].bits.assign(kk.size() / 8 + 1, 0);
        }
        for (size_t i = 0; i < kk.size(); ++i) {
            const std::string sq = Field(kkSpec, kk[i], "SQ");
            const bool main = sq == " 0";
            const bool member[6] = {main,       sq == "60", main || sq == "55" || sq == "60",
                                    sq != "50", main,       true};
            for (int s = 0; s < 6; ++s)
                if (member[s])
                    BitSet(kks[static_cast<size_t>(s)].bits, static_cast<int64_t>(i));
        }
        if (int r = WriteSignSetFile(out + "kk.sgn", kks)) {
            log.Error("kk.sgn: write failed (I/O result " + std::to_string(r) + ")");
            return false;
        }

        // vidud.sgn: a bare array of 16-bit words over kl, bit r mod 16 of
        // word r div 16 for record r (record 0 is the header).
        const size_t n = kl.size() + 1;
        std::string words(((n - 1) / 16) * 2 + 2, '\0');
        const std::set<std::string> listed(set.vidudCodes.begin(), set.vidudCodes.end());
        for (size_t i = 0; i < kl.size(); ++i)
            if (listed.count(kl[i].substr(0, 7))) {
                const size_t r = i + 1;
                words[(r / 16) * 2 + (r % 16) / 8] |= static_cast<char>(1 << (r % 8));
            }
        if (!WriteFile(out + "vidud.sgn", words, log))
            return false;
        return WriteDemoUserFiles(out, kl, log);
    } catch (const std::invalid_argument& e) {
        log.Error(std::string("sign sets: ") + e.what());
        return false;
    }
}

// A made-up picture: a gradient with a frame and a diagonal, as PNG bytes.
std::string DemoPng(int width, int height, uint32_t seed)
{
    QImage image(std::max(width, 8), std::max(height, 8), QImage::Format_RGB32);
    const QColor a = QColor::fromHsv(static_cast<int>(seed % 360), 90, 240);
    const QColor b = QColor::fromHsv(static_cast<int>((seed * 7 + 120) % 360), 160, 170);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const double t = static_cast<double>(x + y) / (image.width() + image.height());
            QColor c =
                QColor::fromRgbF(a.redF() * (1 - t) + b.redF() * t, a.greenF() * (1 - t) + b.greenF() * t,
                                 a.blueF() * (1 - t) + b.blueF() * t);
            const bool frame = x < 2 || y < 2 || x >= image.width() - 2 || y >= image.height() - 2;
            const bool diagonal =
                std::abs(x * image.height() - y * image.width()) < image.width() + image.height();
            image.setPixel(x, y, frame || diagonal ? qRgb(40, 40, 60) : c.rgb());
        }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// The document pictures and the product photos ("photos/CODE.png" for a
// drug with the photo bit and a good with the photo letter).
bool WriteDemoMedia(const std::string& out, const DemoDataSet& set, DemoLog& log)
{
    std::error_code ec;
    bool ok = true;
    uint32_t seed = 1;
    auto write = [&](const std::string& path, int width, int height) {
        fs::create_directories(fs::path(out + path).parent_path(), ec);
        ok = WriteFile(out + path, DemoPng(width, height, seed++), log) && ok;
    };
    for (const DemoDataSet::Picture& p : set.pictures)
        write(p.path, p.width, p.height);
    if (!set.photos)
        return ok;
    for (const std::string& rec : set.Records("kl"))
        if (static_cast<uint8_t>(FieldByte(rec, kDrugWebFlags)) & 1)
            write("photos/" + std::string(FieldBytes(rec, kDrugCode)) + ".png", 320, 240);
    for (const std::string& rec : set.Records("pfa"))
        if (FieldByte(rec, kGoodsPhoto) != ' ')
            write("photos/" + std::string(FieldBytes(rec, kGoodsCode)) + ".png", 320, 240);
    return ok;
}

} // namespace

namespace {

// The header of a written record file against its layout: what the readers
// will open, read back.
bool HeaderFollowsLayout(const std::string& path, const std::string& id, DemoLog& log)
{
    const TableLayout* layout = FindTableLayout(id);
    if (!layout) {
        log.Error(id + ".dat: no layout in datastore/table_layouts.h");
        return false;
    }
    ReadOnlyFile f;
    std::string header(static_cast<size_t>(DatHeaderBytes), '\0');
    size_t got = 0;
    int r = f.Open(path);
    if (r == 0)
        r = f.ReadAt(0, header.data(), header.size(), &got);
    if (r != 0 && r != IoResult::ShortRead) {
        log.Error(id + ".dat: cannot read it back (I/O result " + std::to_string(r) + ")");
        return false;
    }
    header.resize(got);
    const std::vector<std::string> diffs = LayoutDifferences(*layout, header);
    for (const std::string& d : diffs)
        log.Error(id + ".dat: differs from its layout: " + d);
    return diffs.empty();
}

} // namespace

std::string DemoZlpFile(const DemoDataSet& set)
{
    ZlpSpec spec;
    spec.letters = "CSLH";
    ZlpThresholdBytes(DataMonthOfVersion(EntryValue(set.ces, "Verze", "Cislo")) + 3, spec.monthBase,
                      spec.fraction);
    const std::vector<std::string>& kl = set.Records("kl");
    for (size_t i = 0; i < kl.size(); ++i) {
        const size_t number = i + 1;
        uint32_t code = 0;
        const std::string_view field = std::string_view(kl[i]).substr(0, 7);
        std::from_chars(field.data(), field.data() + field.size(), code);
        if (code == 0)
            continue;
        auto value = [](bool flagged) { return static_cast<char>(flagged ? 0 : 12); };
        spec.rows.push_back({code,
                             {value(number % 5 == 0), value(number % 7 == 1), value(number % 3 == 2),
                              value(number % 11 == 0)}});
    }
    return BuildZlpFile(spec);
}

// A one-page PDF showing a line of text, for the product document commands
// that open the first "<letter>*.PDF" of the data folder.
std::string OnePagePdf(const std::string& line)
{
    const std::string stream = "BT /F1 18 Tf 72 720 Td (" + line + ") Tj ET";
    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R /Resources << /Font << /F1 5 0 "
        "R >> >> >>",
        "<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream + "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    };
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t off : offsets) {
        char entry[24];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", off);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

bool WriteDemoFolder(const std::string& outDir, const DemoDataSet& set, DemoLog& log)
{
    const std::string out = WithTrailingSlash(outDir);
    std::error_code ec;
    fs::create_directories(out, ec);
    if (!FolderExists(out)) {
        log.Error("cannot create " + out);
        return false;
    }
    // An old manifest would describe files that are about to change.
    fs::remove(out + "kalvo.kvo", ec);

    for (const DemoTableSpec& t : DemoTableSpecs()) {
        auto it = set.records.find(t.id);
        if (it == set.records.end())
            continue;
        const uint16_t stamp = t.id == "kl" ? set.klStamp : t.stamp;
        try {
            if (int r = WriteDatFile(out + t.id + ".dat", t.layout, it->second, stamp)) {
                log.Error(t.id + ".dat: write failed (I/O result " + std::to_string(r) + ")");
                return false;
            }
            if (!HeaderFollowsLayout(out + t.id + ".dat", t.id, log))
                return false;
            for (const DemoIndexSpec& ix : t.indexes)
                if (int r = WriteSezFile(out + ix.id + ".sez", it->second, t.Key(ix))) {
                    log.Error(ix.id + ".sez: write failed (I/O result " + std::to_string(r) + ")");
                    return false;
                }
        } catch (const std::invalid_argument& e) {
            log.Error(t.id + ": " + e.what());
            return false;
        }
    }
    if (!WriteSignSets(out, set, log))
        return false;
    bool ok = WriteFile(out + "klnaz.slw", DemoKlWordList(set.Records("kl"), set.year), log);
    ok = WriteFile(out + "pfanaz.slw", GoodsWordList(set), log) && ok;
    for (const auto& [family, file] : set.docs)
        if (int r = file.writer->WriteTo(out + family + ".dat")) {
            log.Error(family + ".dat: write failed (I/O result " + std::to_string(r) + ")");
            ok = false;
        }
    ok = WriteFile(out + "symbol.dat", set.symbol, log) && ok;
    ok = WriteFile(out + "kalvo.hla", set.helpFile, log) && ok;
    ok = WriteFile(out + "doping.dat", set.dopingFile, log) && ok;
    ok = WriteFile(out + "mkn.dat", set.mknFile, log) && ok;
    ok = WriteFile(out + "mkn.slw", set.mknWords, log) && ok;
    ok = WriteFile(out + "mkno.dat", set.mknoFile, log) && ok;
    ok = WriteFile(out + "mkno.slw", set.mknoWords, log) && ok;
    ok = WriteDemoMedia(out, set, log) && ok;
    ok = WriteFile(out + "kalvo.ces", set.cesBytes, log) && ok;
    ok = WriteFile(out + "kalvo.ang", set.angBytes, log) && ok;
    // Its presence alone tells the program that the name word list is there.
    ok = WriteFile(out + "klnaz.txt", "klnaz.slw\r\n", log) && ok;
    ok = WriteFile(out + "zlp.dat", DemoZlpFile(set), log) && ok;
    // The documents of the menu's PDF items: "S" the product summary, "L" the leaflet.
    ok = WriteFile(out + "S_souhrn.pdf", OnePagePdf("KALVO demo: summary of product characteristics"), log) &&
         ok;
    ok = WriteFile(out + "L_letak.pdf", OnePagePdf("KALVO demo: package leaflet"), log) && ok;
    if (!ok)
        return false;

    // The manifest, made last over the final files, dated by the release.
    std::tm tm{};
    tm.tm_year = set.year - 1900;
    tm.tm_mon = set.month - 1;
    tm.tm_mday = set.day;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    const std::time_t when = std::mktime(&tm);
    bool clean = true;
    DataManifest(
        out, false, set.ware,
        [&](const std::string& line) {
            log.Error("kalvo.kvo: " + line);
            clean = false;
        },
        when);
    if (!clean)
        return false;
    DataManifest(
        out, true, "",
        [&](const std::string& line) {
            if (line.rfind("!!", 0) == 0) {
                log.Error("kalvo.kvo check: " + line);
                clean = false;
            }
        },
        when);
    return clean;
}
