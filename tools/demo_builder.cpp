// demo_builder DEMO_SRC_DIR OUT_DIR
//
// Builds the demo data folder from the UTF-8 text sources in demo/.  One
// function per table reads its source, writes its record file and indexes,
// and returns false (after printing why) when the source is wrong; the
// builder then fails so the build stops instead of shipping a partial folder.
//
// To add a table: describe its record layout (a DatLayout with the names and
// descriptors of the data folder reference), write a Build<Table> function
// that fills records with FillRecordFromCsv and calls WriteTable, and add it
// to kTables.

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "datastore/db_table.h"
#include "platform/fs.h"
#include "writers/csv_source.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"

namespace {

struct BuildContext {
    std::string srcDir; // with trailing "/"
    std::string outDir; // with trailing "/"
};

struct IndexSpec {
    std::string id;  // file identity of the index ("klnaz")
    std::string field;
    uint8_t type;
    int k;
};

void Fail(const std::string& message)
{
    std::fprintf(stderr, "demo_builder: %s\n", message.c_str());
}

// "12.34" -> right-aligned integer digits + two decimals ("     1234" in 9).
bool AmountText(const std::string& value, int width, std::string& out)
{
    std::string intPart = value;
    std::string dec = "00";
    const size_t dot = value.find('.');
    if (dot != std::string::npos) {
        intPart = value.substr(0, dot);
        dec = value.substr(dot + 1);
        if (dec.size() == 1)
            dec += '0';
    }
    if (intPart.empty())
        intPart = "0";
    if (dec.size() != 2 || intPart.find_first_not_of("0123456789") != std::string::npos ||
        dec.find_first_not_of("0123456789") != std::string::npos)
        return false;
    if (static_cast<int>(intPart.size()) > width - 2)
        return false;
    out = std::string(static_cast<size_t>(width - 2) - intPart.size(), ' ') + intPart + dec;
    return true;
}

// Fills every field that has a column in the source, by the family of its
// descriptor: text left-aligned (converted to the data code page), digit
// codes zero-padded, other codes right-aligned, money amounts in the amount
// form, binary integers little-endian.  Binary fields without a value take
// binaryDefaults[name] or 0.
bool FillRecordFromCsv(const DatLayout& layout, const CsvTable& csv, size_t row, std::string& rec,
                       const std::map<std::string, int64_t>& binaryDefaults, const std::string& source)
{
    rec = layout.BlankRecord();
    const std::string where = source + ":" + std::to_string(csv.LineOf(row)) + ": ";
    for (const DatField& f : layout.Fields()) {
        const int width = FieldLength(f.descriptor);
        const std::string& value = csv.Value(row, f.name);
        try {
            if (f.descriptor >= 0xF0) {
                int64_t v = 0;
                if (value.empty()) {
                    auto it = binaryDefaults.find(f.name);
                    v = it == binaryDefaults.end() ? 0 : it->second;
                } else {
                    auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
                    if (ec != std::errc() || p != value.data() + value.size()) {
                        Fail(where + f.name + ": not a number: " + value);
                        return false;
                    }
                }
                layout.PutInt(rec, f.name, v);
                continue;
            }
            if (value.empty())
                continue;
            std::string kam;
            std::string error;
            if (!Utf8ToKam(value, kam, error)) {
                Fail(where + f.name + ": " + error);
                return false;
            }
            if (f.descriptor >= 0xB0 && f.descriptor <= 0xBF) {
                std::string amount;
                if (!AmountText(value, width, amount)) {
                    Fail(where + f.name + ": not an amount of this width: " + value);
                    return false;
                }
                layout.PutText(rec, f.name, amount);
            } else if (f.descriptor >= 0x90 && f.descriptor <= 0x9F &&
                       kam.find_first_not_of("0123456789") == std::string::npos) {
                layout.PutRight(rec, f.name, kam, '0');
            } else if (f.descriptor >= 0x80 && f.descriptor <= 0x8F) {
                layout.PutRight(rec, f.name, kam, ' ');
            } else {
                layout.PutText(rec, f.name, kam);
            }
        } catch (const std::invalid_argument& e) {
            Fail(where + e.what());
            return false;
        }
    }
    // A column that names no field is most likely a typing error.
    for (const std::string& column : csv.Header())
        if (layout.Find(column) < 0) {
            Fail(source + ": column " + column + " is no field of the table");
            return false;
        }
    return true;
}

bool LoadSource(const BuildContext& ctx, const std::string& file, CsvTable& csv)
{
    std::string error;
    if (!csv.Load(ctx.srcDir + file, error)) {
        Fail(error);
        return false;
    }
    return true;
}

// Writes "<id>.dat" and its indexes.
bool WriteTable(const BuildContext& ctx, const std::string& id, const DatLayout& layout,
                const std::vector<std::string>& records, uint16_t stamp, const std::vector<IndexSpec>& indexes)
{
    try {
        if (int r = WriteDatFile(ctx.outDir + id + ".dat", layout, records, stamp)) {
            Fail(id + ".dat: write failed (I/O result " + std::to_string(r) + ")");
            return false;
        }
        for (const IndexSpec& ix : indexes) {
            SezKeySpec key{layout.Offset(ix.field), layout.Width(ix.field), ix.type, ix.k};
            if (int r = WriteSezFile(ctx.outDir + ix.id + ".sez", records, key)) {
                Fail(ix.id + ".sez: write failed (I/O result " + std::to_string(r) + ")");
                return false;
            }
        }
    } catch (const std::invalid_argument& e) {
        Fail(id + ": " + e.what());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// kl: drugs (L = 346, 52 fields)

const DatLayout& KlLayout()
{
    static const DatLayout layout({
        {"KOD", 0x96}, {"NAZ", 0x45}, {"LFO", 0x1A}, {"SIT", 0x05}, {"BAT", 0x05}, {"SIL", 0x17},
        {"BAL", 0x15}, {"CES", 0x0E}, {"OBA", 0x05}, {"DRZ", 0x02}, {"ZED", 0x02}, {"SR", 0x00},
        {"INS", 0x91}, {"ATC", 0x06}, {"RC", 0x0A},  {"SD", 0x04},  {"TR", 0x00},  {"EX", 0x03},
        {"ZAV", 0x00}, {"VP", 0x01},  {"DDM", 0xA3}, {"DDJ", 0x01}, {"DDB", 0xA7}, {"DP", 0x02},
        {"NV", 0x01},  {"OB", 0x00},  {"BRA", 0x00}, {"PDO", 0x03}, {"PNE", 0x00}, {"UH", 0x00},
        {"OME", 0x00}, {"VPO", 0x03}, {"ZAS", 0x00}, {"OZN", 0x02}, {"STR", 0x2B}, {"TYP", 0x01},
        {"PPC", 0x00}, {"PC", 0xB8},  {"WEB", 0x00}, {"SLO", 0x00}, {"PEA", 0xF8}, {"VYP", 0x00},
        {"PUL", 0x00}, {"CC", 0xF3},  {"LC", 0xF3},  {"AC", 0xF3},  {"SC", 0xF3},  {"LSD", 0xF9},
        {"SSD", 0xF9}, {"CCD", 0xF9}, {"LCD", 0xF9}, {"SCD", 0xF9},
    });
    return layout;
}

// Bits 4-11 of the kl stamp tell data sets apart between running copies.
constexpr uint16_t kDemoStamp = 0x0D50;

bool BuildKl(const BuildContext& ctx)
{
    const DatLayout& layout = KlLayout();
    if (layout.Length() != 346) {
        Fail("kl layout is " + std::to_string(layout.Length()) + " bytes, expected 346");
        return false;
    }
    CsvTable csv;
    if (!LoadSource(ctx, "kl.csv", csv))
        return false;
    // Text positions: -1 = no text in that file.
    const std::map<std::string, int64_t> defaults = {{"CC", -1}, {"LC", -1}, {"AC", -1}, {"SC", -1}};
    std::vector<std::string> records;
    for (size_t row = 0; row < csv.RowCount(); ++row) {
        std::string rec;
        if (!FillRecordFromCsv(layout, csv, row, rec, defaults, "kl.csv"))
            return false;
        records.push_back(std::move(rec));
    }
    return WriteTable(ctx, "kl", layout, records, kDemoStamp,
                      {{"klnaz", "NAZ", 192, 10}, {"klkod", "KOD", 32, 7}});
}

struct TableBuilder {
    const char* name;
    bool (*build)(const BuildContext&);
};

const TableBuilder kTables[] = {
    {"kl", &BuildKl},
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: demo_builder DEMO_SRC_DIR OUT_DIR\n");
        return 2;
    }
    BuildContext ctx{WithTrailingSlash(argv[1]), WithTrailingSlash(argv[2])};
    ::mkdir(ctx.outDir.c_str(), 0755);
    if (!FolderExists(ctx.outDir)) {
        Fail("cannot create " + ctx.outDir);
        return 1;
    }
    for (const TableBuilder& t : kTables) {
        if (!t.build(ctx)) {
            Fail(std::string("table ") + t.name + " not built");
            return 1;
        }
    }
    return 0;
}
