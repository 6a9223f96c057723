#include "writers/demo_layouts.h"

#include <stdexcept>

#include "datastore/db_table.h"

const DemoFieldRule* DemoTableSpec::Rule(std::string_view field) const
{
    for (const DemoFieldRule& r : rules)
        if (r.field == field)
            return &r;
    return nullptr;
}

SezKeySpec DemoTableSpec::Key(const DemoIndexSpec& ix) const
{
    return SezKeySpec{layout.Offset(ix.field), ix.width ? ix.width : layout.Width(ix.field), ix.type, ix.k};
}

namespace {

using F = DatField;
using R = DemoFieldRule;

// Tables of the two editions share a layout; the English one has its own
// identity and index identities ("isva": "isvkoda", "isvnaza").
DemoTableSpec English(const DemoTableSpec& czech, const std::string& id)
{
    DemoTableSpec t = czech;
    t.id = id;
    t.source = id + ".csv";
    for (DemoIndexSpec& ix : t.indexes)
        ix.id += "a";
    return t;
}

std::vector<DemoTableSpec> MakeSpecs()
{
    std::vector<DemoTableSpec> v;

    // kl: drugs, the main table (L = 346, 52 fields).
    v.push_back({"kl", "kl.csv",
                 DatLayout({
                     {"KOD", 0x96}, {"NAZ", 0x45}, {"LFO", 0x1A}, {"SIT", 0x05}, {"BAT", 0x05}, {"SIL", 0x17},
                     {"BAL", 0x15}, {"CES", 0x0E}, {"OBA", 0x05}, {"DRZ", 0x02}, {"ZED", 0x02}, {"SR", 0x00},
                     {"INS", 0x91}, {"ATC", 0x06}, {"RC", 0x0A},  {"SD", 0x04},  {"TR", 0x00},  {"EX", 0x03},
                     {"ZAV", 0x00}, {"VP", 0x01},  {"DDM", 0xA3}, {"DDJ", 0x01}, {"DDB", 0xA7}, {"DP", 0x02},
                     {"NV", 0x01},  {"OB", 0x00},  {"BRA", 0x00}, {"PDO", 0x03}, {"PNE", 0x00}, {"UH", 0x00},
                     {"OME", 0x00}, {"VPO", 0x03}, {"ZAS", 0x00}, {"OZN", 0x02}, {"STR", 0x2B}, {"TYP", 0x01},
                     {"PPC", 0x00}, {"PC", 0xB8},  {"WEB", 0x00}, {"SLO", 0x00}, {"PEA", 0xF8}, {"VYP", 0x00},
                     {"PUL", 0x00}, {"CC", 0xF3},  {"LC", 0xF3},  {"AC", 0xF3},  {"SC", 0xF3},  {"LSD", 0xF9},
                     {"SSD", 0xF9}, {"CCD", 0xF9}, {"LCD", 0xF9}, {"SCD", 0xF9},
                 }),
                 {
                     {"klnaz", "NAZ", 0, 192, 10},
                     {"klkod", "KOD", 0, 32, 7},
                     {"klzed", "ZED", 0, 0, 3},
                     {"kldrz", "DRZ", 6, 0, 6},
                     {"klis", "INS", 0, 0, 2},
                     {"klatc", "ATC", 0, 0, 7},
                     {"klatcp", "OZN", 0, 0, 3},
                     {"klrc", "RC", 0, 32, 11},
                     {"klstr", "STR", 0, 192, 10},
                     {"klpln", "NAZ", 0, 192, 10},
                     {"kodex", "CC", 0, 160, 4},
                     {"kodexa", "AC", 0, 160, 4},
                     {"letak", "LC", 0, 160, 4},
                     {"spc", "SC", 0, 160, 4},
                 },
                 {
                     R{"PDO", DemoForm::CDate},
                     R{"DDB", DemoForm::DailyDose},
                     R{"CC", DemoForm::Doc, "kodex", -1},
                     R{"LC", DemoForm::Doc, "letak", -1},
                     R{"AC", DemoForm::Doc, "kodexa", -1},
                     R{"SC", DemoForm::Doc, "spc", -1},
                     R{"LSD", DemoForm::PDate},
                     R{"SSD", DemoForm::PDate},
                     R{"CCD", DemoForm::PDate},
                     R{"LCD", DemoForm::PDate},
                     R{"SCD", DemoForm::PDate},
                 },
                 kDemoKlStamp});

    v.push_back({"kle", "kle.csv", DatLayout({{"KOD", 0x96}, {"EAN", 0xDC}, {"DRU", 0x00}}),
                 {{"klekod", "KOD", 0, 32, 7}, {"kleean", "EAN", 0, 32, 13}},
                 {R{"EAN", DemoForm::Left}}});

    v.push_back({"cvzp", "cvzp.csv",
                 DatLayout({
                     {"KOD", 0x96}, {"DRU", 0x00}, {"UHR", 0x00}, {"CER", 0x00}, {"PUV", 0xB9}, {"LGV", 0x00},
                     {"OCE", 0xB8}, {"OZN", 0x00}, {"PUH", 0x00}, {"UCE", 0xB8}, {"LGW", 0x00}, {"LIM", 0x01},
                     {"IND", 0x00}, {"SPE", 0x22}, {"FR1", 0x06}, {"ODT", 0x04}, {"ODJ", 0x01}, {"EKV", 0xB8},
                     {"ODZ", 0x00}, {"ZAP", 0xB8}, {"NEZ", 0x00}, {"FR2", 0x01}, {"PLA", 0x03}, {"ODK", 0xF3},
                 }),
                 {{"cvzpkod", "KOD", 0, 32, 7}},
                 {R{"PLA", DemoForm::CDate}, R{"ODK", DemoForm::Doc, "ind_ome", 0},
                  R{"UCE", DemoForm::ClearingAmount}}});

    DemoTableSpec isv{"isv", "isv.csv", DatLayout({{"INS", 0x01}, {"NAZ", 0x37}}),
                      {{"isvkod", "INS", 0, 0, 2}, {"isvnaz", "NAZ", 0, 192, 10}}, {}};
    v.push_back(isv);
    v.push_back(English(isv, "isva"));

    DemoTableSpec atc{"atc", "atc.csv",
                      DatLayout({{"ATC", 0x06}, {"REZ", 0x00}, {"NAZ", 0x7F}, {"NAR", 0x17}, {"ACT", 0x00},
                                 {"DUP", 0x00}, {"DFI", 0x03}}),
                      {{"atckod", "ATC", 0, 0, 7}, {"atcnaz", "NAZ", 0, 192, 10}}, {}};
    v.push_back(atc);
    v.push_back(English(atc, "atca"));

    DemoTableSpec atcp{"atcp", "atcp.csv", DatLayout({{"ATC", 0x02}, {"NAZ", 0x63}}),
                       {{"atcpkod", "ATC", 0, 0, 3}, {"atcpnaz", "NAZ", 0, 192, 10}}, {}};
    v.push_back(atcp);
    v.push_back(English(atcp, "atcpa"));

    v.push_back({"drzv", "drzv.csv", DatLayout({{"DRZ", 0x02}, {"ZEM", 0x02}, {"NAZ", 0x62}, {"SOR", 0x00}}),
                 {{"drzvkod", "DRZ", 6, 0, 6}, {"drzvnaz", "NAZ", 0, 192, 10}}, {}});

    DemoTableSpec zemv{"zemv", "zemv.csv", DatLayout({{"ZEM", 0x02}, {"ACT", 0x00}, {"NAZ", 0x1D}}),
                       {{"zemvkod", "ZEM", 0, 0, 3}, {"zemvnaz", "NAZ", 0, 192, 10}}, {}};
    v.push_back(zemv);
    v.push_back(English(zemv, "zemva"));

    v.push_back({"klc", "klc.csv",
                 DatLayout({{"LEK", 0x96}, {"KOM", 0x84}, {"STA", 0x00}, {"MN", 0xA5}, {"JD", 0x01}}),
                 {{"klclek", "LEK", 0, 32, 7}, {"klckomp", "KOM", 0, 0, 5}}, {}});

    v.push_back({"kk", "kk.csv",
                 DatLayout({{"KOD", 0x84}, {"SQ", 0x81}, {"SQR", 0x00}, {"NAZ", 0x3F}, {"ZAV", 0x00},
                            {"DPG", 0x00}, {"NVL", 0x00}, {"SUL", 0x84}, {"ZDR", 0x03}, {"DPR", 0x00},
                            {"SOR", 0x00}}),
                 {{"kknaz", "NAZ", 0, 192, 10}, {"kkkod", "KOD", 0, 0, 5}, {"kkbas", "SUL", 0, 0, 5}}, {}});

    v.push_back({"kab", "kab.csv", DatLayout({{"SUB", 0x02}, {"GRP", 0x02}}), {},
                 {R{"SUB", DemoForm::SixBit}, R{"GRP", DemoForm::SixBit}}});

    v.push_back({"zdrv", "zdrv.csv", DatLayout({{"KOD", 0x03}, {"NAZ", 0x45}}), {{"zdrvkod", "KOD", 0, 0, 4}},
                 {}});

    // Price history and consumption: the layout is the data set's own; the
    // lists seek the drug code at 1-7 and show the fields by their names.
    v.push_back({"vzph", "vzph.csv",
                 DatLayout({{"KOD", 0x96}, {"ROC", 0x05}, {"UH", 0x01}, {"VC", 0xBA}, {"OC", 0xB9},
                            {"UC", 0xB9}, {"HR", 0x00}, {"DNC", 0x00}, {"TCR", 0x00}, {"LPR", 0x27},
                            {"ZAD", 0x09}, {"NEZ", 0x00}, {"EKV", 0xB9}, {"ATC", 0x06}, {"DPH", 0x82}}),
                 {{"vzphkod", "KOD", 0, 32, 7}}, {}});
    DemoTableSpec spot{"spot1", "spot1.csv",
                       DatLayout({{"KOD", 0x96}, {"OBD", 0x05}, {"BAL", 0x88}, {"HOD", 0xBA}, {"ATC", 0x06}}),
                       {{"spot1atc", "KOD", 0, 32, 7}}, {}};
    v.push_back(spot);
    spot.id = "spot2";
    spot.source = "spot2.csv";
    spot.indexes[0].id = "spot2atc";
    v.push_back(spot);

    v.push_back({"vpois", "vpois.csv",
                 DatLayout({{"KOD", 0x03}, {"NAZ", 0x45}, {"WEB", 0x59}, {"ML1", 0x31}, {"ML2", 0x31},
                            {"TE1", 0x11}, {"TE2", 0x11}}),
                 {{"vpois", "KOD", 0, 0, 4}}, {}});

    v.push_back({"vypad", "vypad.csv",
                 DatLayout({{"KOD", 0x96}, {"TYP", 0x00}, {"ODD", 0x03}, {"NAH", 0x31}, {"POZ", 0x7F},
                            {"DUV", 0x31}, {"OBN", 0x03}}),
                 {{"vypadkod", "KOD", 0, 32, 7}},
                 {R{"ODD", DemoForm::CDate}, R{"OBN", DemoForm::CDate}}});

    v.push_back({"pfa", "pfa.csv",
                 DatLayout({{"KOD", 0x94}, {"EUC", 0x95}, {"FLG", 0x01}, {"STR", 0x2B}, {"NAZ", 0x3B},
                            {"DOP", 0x3B}, {"BAL", 0x1F}, {"VYR", 0x93}, {"ZEM", 0x02}, {"EAN", 0xDC},
                            {"OB", 0x00}, {"PC", 0xB8}, {"OBR", 0x00}, {"CC", 0xF3}, {"CCD", 0xF9}}),
                 {
                     {"pfanaz", "NAZ", 0, 192, 10},
                     {"pfastr", "STR", 0, 192, 10},
                     {"pfakod", "KOD", 0, 32, 5},
                     {"pfazem", "ZEM", 0, 0, 3},
                     {"pfavyr", "VYR", 0, 0, 4},
                     {"pfahem", "EUC", 0, 32, 6},
                     {"pfaean", "EAN", 0, 32, 13},
                     {"pfakodex", "CC", 0, 160, 4},
                 },
                 {R{"EAN", DemoForm::Left}, R{"VYR", DemoForm::Left}, R{"CC", DemoForm::Doc, "pfakodex", -1},
                  R{"CCD", DemoForm::Letter512}}});

    v.push_back({"pfavyrv", "pfavyrv.csv", DatLayout({{"KOD", 0x93}, {"NAZ", 0x49}}),
                 {{"pfavyrko", "KOD", 0, 0, 4}, {"pfavyrna", "NAZ", 0, 192, 10}}, {R{"KOD", DemoForm::Left}}});
    v.push_back({"pfazemv", "pfazemv.csv", DatLayout({{"ZEM", 0x02}, {"ACT", 0x00}, {"NAZ", 0x1D}}),
                 {{"pfazemko", "ZEM", 0, 0, 3}, {"pfazemna", "NAZ", 0, 192, 10}}, {}});
    v.push_back({"pfakatv", "pfakatv.csv", DatLayout({{"KAT", 0x03}, {"NAZ", 0x3F}}),
                 {{"pfakatko", "KAT", 0, 0, 4}, {"pfakatna", "NAZ", 0, 192, 10}}, {}});
    v.push_back({"pfapk", "pfapk.csv", DatLayout({{"KOD", 0x94}, {"KAT", 0x04}}),
                 {{"pfapkkat", "KAT", 0, 0, 5}}, {}});

    v.push_back({"pzt", "pzt.csv",
                 DatLayout({{"KOD", 0x96}, {"SEQ", 0x90}, {"ZDR", 0x00}, {"PUV", 0x96}, {"NAZ", 0x45},
                            {"DOP", 0x4F}, {"PRO", 0x00}, {"TYP", 0x91}, {"UHS", 0x03}, {"UHF", 0x00},
                            {"MJB", 0xA5}, {"MJZ", 0x00}, {"TBZ", 0x00}, {"VYR", 0x02}, {"ZEM", 0x02},
                            {"OHL", 0x03}, {"UC", 0xB8},  {"LIM", 0x00}, {"PRE", 0x33}, {"MFC", 0xB8},
                            {"DNC", 0x00}, {"ZUP", 0x00}, {"UHP", 0x81}, {"KUD", 0xA3}, {"UDO", 0xA2},
                            {"SKP", 0x00}, {"DZM", 0x03}, {"KAT", 0x04}, {"RPQ", 0x00}, {"RPT", 0x00},
                            {"RPU", 0x83}}),
                 {
                     {"pztnaz", "NAZ", 0, 192, 10},
                     {"pztkod", "KOD", 0, 32, 7},
                     {"pztpkod", "PUV", 0, 32, 7},
                     {"pztzem", "ZEM", 0, 0, 3},
                     {"pztvyr", "VYR", 0, 0, 3},
                     {"pztohl", "OHL", 0, 0, 4},
                     {"pzttyp", "TYP", 0, 0, 2},
                     {"pztuhs", "UHS", 0, 0, 4},
                 },
                 {R{"DZM", DemoForm::CDate}, R{"SEQ", DemoForm::Left}}});

    v.push_back({"pzttypv", "pzttypv.csv", DatLayout({{"TYP", 0x91}, {"NAZ", 0x63}, {"MET", 0xF3}}),
                 {{"pzttypko", "TYP", 0, 0, 2}, {"pzttypna", "NAZ", 0, 192, 10}},
                 {R{"MET", DemoForm::Doc, "pztmet", -1}}});
    v.push_back({"pztuhs", "pztuhs.csv",
                 DatLayout({{"KOD", 0x03}, {"NAZ", 0x7F}, {"NAR", 0x33}, {"ACT", 0x00}, {"FLG", 0x00},
                            {"KUD", 0xA3}, {"ART", 0xF3}}),
                 {{"pztuhsko", "KOD", 0, 0, 4}, {"pztuhsna", "NAZ", 0, 192, 10}},
                 {R{"ART", DemoForm::Doc, "pztuhsx", 0}}});
    v.push_back({"pztvyrv", "pztvyrv.csv",
                 DatLayout({{"KOD", 0x02}, {"ZEM", 0x02}, {"VYR", 0x3B}, {"ZST", 0x3B}, {"DIS", 0x3B}}),
                 {{"pztvyrko", "KOD", 0, 0, 3}, {"pztvyrna", "VYR", 0, 192, 10}}, {}});
    v.push_back({"pztohl", "pztohl.csv", DatLayout({{"OHL", 0x03}, {"NAZ", 0x3B}}),
                 {{"pztohlko", "OHL", 0, 0, 4}, {"pztohlna", "NAZ", 0, 192, 10}}, {}});
    v.push_back({"pztzemv", "pztzemv.csv", DatLayout({{"ZEM", 0x02}, {"ACT", 0x00}, {"NAZ", 0x1D}}),
                 {{"pztzemko", "ZEM", 0, 0, 3}, {"pztzemna", "NAZ", 0, 192, 10}}, {}});
    return v;
}

} // namespace

const std::vector<DemoTableSpec>& DemoTableSpecs()
{
    static const std::vector<DemoTableSpec> specs = MakeSpecs();
    return specs;
}

const DemoTableSpec* FindDemoTableSpec(std::string_view id)
{
    for (const DemoTableSpec& t : DemoTableSpecs())
        if (t.id == id)
            return &t;
    return nullptr;
}

const DemoTableSpec& DemoTable(std::string_view id)
{
    if (const DemoTableSpec* t = FindDemoTableSpec(id))
        return *t;
    throw std::invalid_argument("no demo table " + std::string(id));
}
