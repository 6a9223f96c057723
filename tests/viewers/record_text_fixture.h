#pragma once
// A small data folder for the record-text tests, written with the format
// writers: the tables the composers read, their code tables, the data and
// program text tables, "ind_ome.dat" and "symbol.dat".  Labels are their own
// keys ("Hlav.sila" is "sila"), so expected bytes read easily.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "datastore/ctrl_text.h"
#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/text_table.h"
#include "lists/drugs/list_text_helpers.h"
#include "platform/fs.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"
#include "writers/text_table_writer.h"
#include "writers/x6_writer.h"

namespace rtfix {

inline std::string B(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes)
        s.push_back(static_cast<char>(b));
    return s;
}

// A blank record with fields put at 1-based positions.
struct Rec {
    std::string bytes;
    explicit Rec(int length) : bytes(static_cast<size_t>(length), ' ') {}
    Rec& Put(int pos, std::string_view text)
    {
        bytes.replace(static_cast<size_t>(pos - 1), text.size(), text);
        return *this;
    }
    Rec& Int32(int pos, int32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes[static_cast<size_t>(pos - 1 + i)] =
                static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
        return *this;
    }
    Rec& Byte(int pos, int v)
    {
        bytes[static_cast<size_t>(pos - 1)] = static_cast<char>(v);
        return *this;
    }
};

// A layout of text fields covering L bytes: the key field first.
inline DatLayout LayoutOf(int length, int keyLength)
{
    std::vector<DatField> fields;
    fields.push_back({"KEY", static_cast<uint8_t>(keyLength - 1)});
    int left = length - keyLength;
    int n = 0;
    while (left > 0) {
        const int w = std::min(left, 128);
        std::string name = "F";
        name.push_back(static_cast<char>('A' + n / 26));
        name.push_back(static_cast<char>('A' + n % 26));
        fields.push_back({name, static_cast<uint8_t>(w - 1)});
        left -= w;
        ++n;
    }
    return DatLayout(fields);
}

inline void WriteTable(const std::string& dir, const std::string& dat, const std::string& sez, int length,
                       int keyOffset, int keyWidth, uint8_t type, std::vector<std::string> records)
{
    const DatLayout layout = LayoutOf(length, std::min(keyOffset + keyWidth, 128));
    for (auto& r : records)
        ASSERT_EQ(static_cast<int>(r.size()), length) << dat;
    ASSERT_EQ(WriteDatFile(dir + dat + ".dat", layout, records), 0) << dat;
    SezKeySpec spec{keyOffset, keyWidth, type, type == 32 ? std::min(keyWidth, 16) : std::min(keyWidth, 8)};
    ASSERT_EQ(WriteSezFile(dir + sez + ".sez", records, spec), 0) << sez;
}

// Data texts: labels are their keys; hints and code texts as the tests need.
inline std::string DataTextSource()
{
    std::string s = "[Hlav]\n";
    for (const char* k :
         {"obec",  "vypad", "tridy", "regis", "dalsi", "vpois", "uhr1",  "ust1",   "limit", "sila",
          "lform", "pulit", "vbal",  "tbal",  "vydej", "obch",  "vtyp",  "vod",    "duvod", "obnov",
          "nahr",  "pozn",  "inds",  "atc5",  "atc4",  "ddd",   "dddb",  "lzav",   "dopig", "narvl",
          "treg",  "sreg",  "drz",   "rcis",  "brail", "exsp",  "prumE", "prumS",  "puvc",  "vyrc",
          "puvl",  "eany",  "plat",  "kori",  "kdoh",  "muhc",  "muhp",  "muhl",   "orid",  "zapd",
          "nezap", "spec",  "odtd",  "odtdz", "ekviv", "nazSp", "webSp", "mailSp", "telSp"})
        s += std::string(k) + "=" + k + "\n";
    s += "indo=+indo\nnazev=+nazev\nlimit2=x\n";
    for (const char* k :
         {"obec", "vypad", "tridy", "regis", "dalsi", "vpois", "uhr1", "ust1", "indo", "limit"})
        s += std::string(k) + "Z=" + k + "Z\n";
    s += "uhrU=+U\nuhrD=+D\nczk=Kc\nkory=+kory\nvyp_oo=neurceno\nvyp_kl=neuplny\n";
    s += "[HlavH]\nsila=hint-sila\nvbal=!none\nzulp=hint-zulp\ndetLim=hint-lim\n";
    s += "[PulTyp]\n1=pul1\n_=pul-\n";
    s += "[Obal]\nBLI   =blistr\n";
    s += "[VydW]\nR_=predpis\n";
    s += "[VypTyp]\nA=typA\n";
    s += "[ZavW]\n_=<b>bez</b> zav\n";
    s += "[DopW]\nAB_=<i>dop</i>AB\nOOO=male\n";
    s += "[Dnv]\nNV=narizeni\n";
    s += "[RetW]\nS=retS\n";
    s += "[RegW]\nR=registr\n\\\\=zrusen\n_=bez\n";
    s += "[Bra]\nA=braA\n";
    s += "[LegV]\n1=legv1\n";
    s += "[PuhW]\nP=puhP\n";
    s += "[LegW]\nM=legwM\n";
    s += "[NezW]\n_=\n";
    s += "[Odz]\n_=\n";
    s += "[Pre]\nONK=onkologie\nNEU=neurologie\nCH_=chirurgie\n";
    // Devices.
    s += "[tHla]\n";
    for (const char* k :
         {"tZakl", "tUhrSk", "tZakUh", "tUhr",   "tAdm", "zZakl", "zUhrSk", "zZakUh", "zUhr",  "zAdm",
          "Kod",   "PKod",   "Naz",    "Dop",    "Vyr",  "Bal",   "Typ",    "SkuPo",  "MerJd", "MJBal",
          "UhrSk", "UhPop",  "UhInd",  "UhrLim", "PreZ", "UhrP",  "UziD",   "KusUD",  "MaxC",  "DNC",
          "ZpUhr", "Uhr",    "Lim",    "Pre",    "Ohl",  "DatZm", "mesic"})
        s += std::string(k) + "=" + k + "\n";
    s += "[tHlaH]\nNaz=hint-naz\n";
    s += "[TBa]\nB=bal\nK=kus\n";
    s += "[TPr]\nM=prodej\n";
    s += "[TDC]\nD=dnc\n";
    s += "[TUh]\nZ=zpusob\n";
    s += "[TRl]\nL=limit\n";
    s += "[TZd]\nB=zdrB\nF=zdrF\n";
    s += "[Lfor]\nTBL FLM=tableta\n";
    return s;
}

inline std::string UiTextSource()
{
    return "[Chyby]\nNotFndIn=\\x20nenalezeno\\x20\nInOmNo=Bez indikace\n[Uvod]\nano=ano\nne=ne\n";
}

inline void LoadTexts(TextTableSlot& slot, const std::string& source)
{
    std::string table;
    textsrc::Error err;
    ASSERT_TRUE(textsrc::CompileSource(source, "fixture", textsrc::kDefaultStamp, table, err))
        << err.Message();
    TextTablePtr t;
    ASSERT_GE(LoadTextTableFromBytes(t, table), TextTableResult::FirstSuccess);
    slot.Set(t);
}

// ---------------------------------------------------------------- drugs

// The drug with every section: code, name, form ... at their positions.
inline Rec FullDrug()
{
    Rec r(346);
    r.Put(1, "0000101").Put(8, "Paralen 500").Put(78, "TBL FLM").Put(117, "500MG").Put(141, "20");
    r.Put(178, "BLI   ").Put(184, "ABC").Put(187, "CZ ").Put(190, "R").Put(191, "07");
    r.Put(193, "N02BE01").Put(200, "=07 12307").Put(216, "S").Put(217, " 24M").Put(222, "R ");
    r.Put(224, "   1").Put(228, "G ").Put(230, "   12500").Put(238, "AB ").Put(243, "1");
    r.Put(244, "A").Put(250, "A").Put(252, "F001").Put(306, "E").Put(307, "     2990");
    r.Byte(318, 3).Put(319, "!").Put(320, "1");
    return r;
}

inline Rec Drug(const char* code, const char* name, const char* atc, char status)
{
    Rec r(346);
    r.Put(1, code).Put(8, name).Put(78, "SIR").Put(117, "5MG").Put(141, "100ML").Put(193, atc);
    r.Put(190, std::string(1, status)).Put(191, "07");
    return r;
}

// A price record of a kind with the terms the pairs compare.
inline Rec Price(const char* code, char kind)
{
    Rec r(124);
    r.Put(1, code).Put(8, std::string(1, kind));
    r.Put(22, "     5000").Put(33, "     4000").Put(105, "     4500").Int32(121, 0);
    return r;
}

struct DrugFolder {
    std::vector<std::string> kl, cvzp, vypad, kle, vpois;
};

inline DrugFolder StandardDrugs(int32_t indicationOffset)
{
    DrugFolder f;
    f.kl.push_back(FullDrug().bytes);
    f.kl.push_back(Drug("0000102", "Paralen sirup", "N02BE01", 'R').bytes);
    f.kl.push_back(Drug("0000103", "Zruseny", "N02BE01", '-').bytes);
    f.kl.push_back(Drug("0000104", "Jina skupina", "M01AE01", 'R').bytes);
    // A cancelled drug with one "A" whose indication offset is 0.
    Rec d5 = Drug("0000105", "Zrusene A", "N02BE01", '\\');
    d5.Put(245, "2451").Put(250, "A");
    f.kl.push_back(d5.bytes);
    // No prices.
    f.kl.push_back(Drug("0000106", "Bez cen", "N02BE01", 'R').bytes);
    // Slot 0 emptied by "6", a lower record alone.
    Rec d7 = Drug("0000107", "Ustavni", "N02BE01", 'R');
    d7.Put(250, "/");
    f.kl.push_back(d7.bytes);

    Rec a = Price("0000101", 'A');
    a.Put(10, "M").Put(11, "    123456").Put(21, "1").Put(32, "P");
    a.Put(42, "M").Put(43, "K3").Put(45, "I").Put(46, "ONK/NEU,ab").Put(88, "   30").Put(93, "D ");
    a.Put(117, "25B1").Int32(121, indicationOffset);
    Rec lower = Price("0000101", 'a');
    lower.Put(42, "M").Put(43, "L ").Put(45, "I").Put(46, "ONK/NEU,ab").Int32(121, indicationOffset);
    Rec b = Price("0000101", 'B');
    b.Put(31, "X").Put(33, "      cc.").Put(43, "L ");
    f.cvzp = {a.bytes, lower.bytes, b.bytes};

    Rec a5 = Price("0000105", 'A');
    a5.Put(45, "I");
    f.cvzp.push_back(a5.bytes);

    Rec a7 = Price("0000107", 'A');
    a7.Put(9, "6").Put(11, "     12345").Put(21, "1");
    Rec l7 = Price("0000107", 'a');
    f.cvzp.push_back(a7.bytes);
    f.cvzp.push_back(l7.bytes);

    Rec v(244);
    v.Put(1, "0000101").Put(8, "a").Put(9, "2553").Put(13, "000010200001030000104123");
    v.Put(63, "poznamka").Put(191, "duvod").Put(241, "99CZ");
    f.vypad = {v.bytes};

    // Code, EAN-13, kind: kinds above and below "7".
    f.kle = {std::string("0000101") + "8590000000011" + "8", std::string("0000101") + "8590000000028" + "5",
             std::string("0000101") + "8590000000035" + "9", std::string("0000102") + "8590000000042" + "9"};

    Rec c(300);
    c.Put(1, "F001").Put(5, "Firma s.r.o.").Put(75, "www.firma.example").Put(165, "info@firma.example");
    c.Put(265, "123").Put(283, "456");
    f.vpois = {c.bytes};
    return f;
}

// The limitation legend: text before the first marker, then paragraphs of
// keys L (qualifier blank), L' , K3, K (blank) and E.
inline std::string SymbolText()
{
    CtrlTextWriter w;
    w.Text("Legenda");
    for (const char* kq : {"L ", "L'", "K3", "K ", "E "}) {
        w.Code(19, {7}).Code(20, {1}).Text("Lim:").Text(kq).Text("=par").Code(20, {0});
    }
    return w.Take();
}

// ind_ome.dat: one stored record (16-byte head, one 5-byte item) whose text
// has bytes before the marker, the marker, the text and two zeros.  The
// offset of the record's head goes to `offset`.
inline std::string IndOmeFile(int32_t& offset)
{
    X6FileOptions o;
    o.compressed = false;
    o.headSize = 16;
    X6Writer x(o);
    X6Record filler;
    filler.text = "first record";
    filler.items = {std::string(5, 'A')};
    x.Add(filler);
    X6Record r;
    CtrlTextWriter w;
    w.Text("xx").Code(19, {30}).Text("Indikace P").Code(0).Code(0).Text("after");
    r.text = w.Take();
    r.items = {std::string(5, 'I')};
    offset = static_cast<int32_t>(x.Add(r));
    return x.Finish();
}

// ---------------------------------------------------------------- devices

inline Rec Device(const char* code, char seq)
{
    Rec r(290);
    r.Put(1, code).Put(8, std::string(1, seq)).Put(17, "Obvaz").Put(87, "sterilni");
    r.Put(167, "M").Put(168, "01").Put(182, "B").Put(189, "____").Put(276, "2453");
    return r;
}

inline std::vector<std::string> StandardDevices()
{
    Rec d = Device("1000001", ' ');
    d.Put(10, "0999999").Put(170, "1A30").Put(175, "10").Put(181, "K").Put(183, "V01");
    d.Put(186, "DE ").Put(189, "H001").Put(255, "     1500").Put(264, "D").Put(265, "Z");
    d.Put(266, " 5").Put(268, "  10").Put(272, " 12").Put(275, "S");
    Rec va = Device("1000001", 'A');
    va.Put(9, "B").Put(193, "      900").Put(202, "L").Put(203, "ONK,CH/x").Put(265, "Z");
    Rec vb = Device("1000001", 'B');
    vb.Put(9, "F").Put(202, "L").Put(265, "Z");
    // A blank group and a type missing from "pzttypv".
    Rec blank = Device("1000002", ' ');
    blank.Put(168, "99");
    Rec other = Device("1000003", ' ');
    return {d.bytes, va.bytes, vb.bytes, blank.bytes, other.bytes};
}

// A group document with the markers the device text borrows from.
inline std::string GroupDocument()
{
    CtrlTextWriter w;
    w.Text("Uvod");
    w.Code(19, {21}).Text("popis").Code(13).Text("dale");
    w.Code(19, {36}).Text("indikace");
    w.Code(19, {37}).Text("limity");
    w.Code(19, {38}).Text("lim38");
    w.Code(19, {73}).Text("doba73");
    w.Code(19, {75}).Text("poc75");
    w.Code(19, {76}).Text("zp76");
    w.Code(0);
    return w.Take();
}

// ------------------------------------------------------------ the folder

class Folder {
public:
    explicit Folder(const std::string& name)
    {
        const auto base =
            std::filesystem::temp_directory_path() / ("qevw-rt-" + name + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(base);
        std::filesystem::create_directories(base);
        dir_ = WithTrailingSlash(base.string());
    }
    ~Folder() { std::filesystem::remove_all(dir_); }
    const std::string& Dir() const { return dir_; }
    std::string Path(const std::string& name) const { return dir_ + name; }

private:
    std::string dir_;
};

// Writes the standard folder: drug and device tables, code tables, raw files.
inline void WriteStandardFolder(const std::string& dir, int32_t* indicationOffset = nullptr)
{
    int32_t offset = 0;
    const std::string ind = IndOmeFile(offset);
    ASSERT_EQ(WriteFileAtomic(dir + "ind_ome.dat", ind), 0);
    ASSERT_EQ(WriteFileAtomic(dir + "symbol.dat", SymbolText()), 0);
    if (indicationOffset)
        *indicationOffset = offset;

    const DrugFolder f = StandardDrugs(offset);
    WriteTable(dir, "kl", "klkod", 346, 0, 7, 32, f.kl);
    WriteTable(dir, "cvzp", "cvzpkod", 124, 0, 7, 32, f.cvzp);
    WriteTable(dir, "vypad", "vypadkod", 244, 0, 7, 32, f.vypad);
    WriteTable(dir, "kle", "klekod", 21, 0, 7, 32, f.kle);
    WriteTable(dir, "vpois", "vpois", 300, 0, 4, 0, f.vpois);

    Rec isv(58);
    isv.Put(1, "07").Put(3, "Analgetika");
    WriteTable(dir, "isv", "isvkod", 58, 0, 2, 0, {isv.bytes});
    Rec cz(34), de(34);
    cz.Put(1, "CZ ").Put(5, "Cesko");
    de.Put(1, "DE ").Put(5, "Nemecko");
    WriteTable(dir, "zemv", "zemvkod", 34, 0, 3, 0, {cz.bytes, de.bytes});
    WriteTable(dir, "pztzemv", "pztzemko", 34, 0, 3, 0, {cz.bytes, de.bytes});
    Rec atc7(166), atc5(166);
    atc7.Put(1, "N02BE01").Put(9, "Paracetamol");
    atc5.Put(1, "N02BE  ").Put(9, "Anilidy");
    WriteTable(dir, "atc", "atckod", 166, 0, 7, 0, {atc5.bytes, atc7.bytes});
    Rec holder(106);
    holder.Put(1, "ABCCZ ").Put(7, "Vyrobce a.s.");
    WriteTable(dir, "drzv", "drzvkod", 106, 0, 6, 0, {holder.bytes});

    WriteTable(dir, "pzt", "pztkod", 290, 0, 7, 32, StandardDevices());
    Rec maker(186);
    maker.Put(1, "V01").Put(4, "DE ").Put(7, "Medi GmbH");
    WriteTable(dir, "pztvyrv", "pztvyrko", 186, 0, 3, 0, {maker.bytes});
    Rec type(106);
    type.Put(1, "01").Put(3, "Obvazy");
    WriteTable(dir, "pzttypv", "pzttypko", 106, 0, 2, 0, {type.bytes});
    Rec hold(64);
    hold.Put(1, "H001").Put(5, "Drzitel s.r.o.");
    WriteTable(dir, "pztohl", "pztohlko", 64, 0, 4, 0, {hold.bytes});
}

// Points the data store at a folder and loads texts and caches as start-up
// would.
inline void SetUpServices(const std::string& dir, DataSetCode dataSet = DataSetCode::Drugs)
{
    SetDataDir(dir);
    LoadTexts(DataTexts, DataTextSource());
    LoadTexts(UiTexts, UiTextSource());
    const CodeTablesResult r = LoadCodeTables(dataSet, 0);
    ASSERT_EQ(r.isvStatus, 0);
    ASSERT_EQ(r.countryStatus, 0);
    LoadDeviceMarkLetter();
}

} // namespace rtfix
