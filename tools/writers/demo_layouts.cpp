#include "writers/demo_layouts.h"

#include <stdexcept>

#include "datastore/db_table.h"
#include "datastore/table_layouts.h"

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

using R = DemoFieldRule;

// A table written through its layout in datastore/table_layouts.h, from the
// source of its own name.
DemoTableSpec Spec(const std::string& id, std::vector<DemoIndexSpec> indexes,
                   std::vector<DemoFieldRule> rules, uint16_t stamp = 0)
{
    const TableLayout* layout = FindTableLayout(id);
    if (!layout)
        throw std::invalid_argument("no layout of table " + id);
    return {id, id + ".csv", DatLayout(*layout), std::move(indexes), std::move(rules), stamp};
}

// The English edition of a table: the same fields, its own identity and
// index identities ("isva": "isvkoda", "isvnaza").
DemoTableSpec English(const DemoTableSpec& czech, const std::string& id)
{
    DemoTableSpec t = Spec(id, czech.indexes, czech.rules, czech.stamp);
    for (DemoIndexSpec& ix : t.indexes)
        ix.id += "a";
    return t;
}

std::vector<DemoTableSpec> MakeSpecs()
{
    std::vector<DemoTableSpec> v;

    // kl: drugs, the main table.
    v.push_back(Spec("kl",
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
                     kDemoKlStamp));

    v.push_back(
        Spec("kle", {{"klekod", "KOD", 0, 32, 7}, {"kleean", "EAN", 0, 32, 13}}, {R{"EAN", DemoForm::Left}}));

    v.push_back(Spec("cvzp", {{"cvzpkod", "KOD", 0, 32, 7}},
                     {R{"PLA", DemoForm::CDate}, R{"ODK", DemoForm::Doc, "ind_ome", 0},
                      R{"UCE", DemoForm::ClearingAmount}}));

    DemoTableSpec isv = Spec("isv", {{"isvkod", "INS", 0, 0, 2}, {"isvnaz", "NAZ", 0, 192, 10}}, {});
    v.push_back(isv);
    v.push_back(English(isv, "isva"));

    DemoTableSpec atc = Spec("atc", {{"atckod", "ATC", 0, 0, 7}, {"atcnaz", "NAZ", 0, 192, 10}}, {});
    v.push_back(atc);
    v.push_back(English(atc, "atca"));

    DemoTableSpec atcp = Spec("atcp", {{"atcpkod", "ATC", 0, 0, 3}, {"atcpnaz", "NAZ", 0, 192, 10}}, {});
    v.push_back(atcp);
    v.push_back(English(atcp, "atcpa"));

    v.push_back(Spec("drzv", {{"drzvkod", "DRZ", 6, 0, 6}, {"drzvnaz", "NAZ", 0, 192, 10}}, {}));

    DemoTableSpec zemv = Spec("zemv", {{"zemvkod", "ZEM", 0, 0, 3}, {"zemvnaz", "NAZ", 0, 192, 10}}, {});
    v.push_back(zemv);
    v.push_back(English(zemv, "zemva"));

    v.push_back(Spec("klc", {{"klclek", "LEK", 0, 32, 7}, {"klckomp", "KOM", 0, 0, 5}}, {}));

    v.push_back(
        Spec("kk", {{"kknaz", "NAZ", 0, 192, 10}, {"kkkod", "KOD", 0, 0, 5}, {"kkbas", "SUL", 0, 0, 5}}, {}));

    v.push_back(Spec("kab", {}, {R{"SUB", DemoForm::SixBit}, R{"GRP", DemoForm::SixBit}}));

    v.push_back(Spec("zdrv", {{"zdrvkod", "KOD", 0, 0, 4}}, {}));

    // Price history and consumption: the layout is the data set's own; the
    // lists seek the drug code at 1-7 and show the fields by their names.
    v.push_back(Spec("vzph", {{"vzphkod", "KOD", 0, 32, 7}}, {}));
    v.push_back(Spec("spot1", {{"spot1atc", "KOD", 0, 32, 7}}, {}));
    v.push_back(Spec("spot2", {{"spot2atc", "KOD", 0, 32, 7}}, {}));

    v.push_back(Spec("vpois", {{"vpois", "KOD", 0, 0, 4}}, {}));

    v.push_back(Spec("vypad", {{"vypadkod", "KOD", 0, 32, 7}},
                     {R{"ODD", DemoForm::CDate}, R{"OBN", DemoForm::CDate}}));

    v.push_back(Spec("pfa",
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
                     {R{"EAN", DemoForm::Left}, R{"VYR", DemoForm::Left},
                      R{"CC", DemoForm::Doc, "pfakodex", -1}, R{"CCD", DemoForm::Letter512}}));

    v.push_back(Spec("pfavyrv", {{"pfavyrko", "KOD", 0, 0, 4}, {"pfavyrna", "NAZ", 0, 192, 10}},
                     {R{"KOD", DemoForm::Left}}));
    v.push_back(Spec("pfazemv", {{"pfazemko", "ZEM", 0, 0, 3}, {"pfazemna", "NAZ", 0, 192, 10}}, {}));
    v.push_back(Spec("pfakatv", {{"pfakatko", "KAT", 0, 0, 4}, {"pfakatna", "NAZ", 0, 192, 10}}, {}));
    v.push_back(Spec("pfapk", {{"pfapkkat", "KAT", 0, 0, 5}}, {}));

    v.push_back(Spec("pzt",
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
                     {R{"DZM", DemoForm::CDate}, R{"SEQ", DemoForm::Left}}));

    v.push_back(Spec("pzttypv", {{"pzttypko", "TYP", 0, 0, 2}, {"pzttypna", "NAZ", 0, 192, 10}},
                     {R{"MET", DemoForm::Doc, "pztmet", -1}}));
    v.push_back(Spec("pztuhs", {{"pztuhsko", "KOD", 0, 0, 4}, {"pztuhsna", "NAZ", 0, 192, 10}},
                     {R{"ART", DemoForm::Doc, "pztuhsx", 0}}));
    v.push_back(Spec("pztvyrv", {{"pztvyrko", "KOD", 0, 0, 3}, {"pztvyrna", "VYR", 0, 192, 10}}, {}));
    v.push_back(Spec("pztohl", {{"pztohlko", "OHL", 0, 0, 4}, {"pztohlna", "NAZ", 0, 192, 10}}, {}));
    v.push_back(Spec("pztzemv", {{"pztzemko", "ZEM", 0, 0, 3}, {"pztzemna", "NAZ", 0, 192, 10}}, {}));
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
