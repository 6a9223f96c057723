// The drug and device record texts on a small data folder, byte for byte.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "datastore/key_index.h"
#include "datastore/packed_text.h"
#include "datastore/table_layouts.h"
#include "record_text_fixture.h"
#include "viewers/record_text.h"

using namespace rtfix;

namespace {

// The byte groups, laid out by hand.
const std::string kTableDrug = B({0x0E, 0x18, 0x70, 0x00, 0x01, 0x00, 0x39, 0x00, 0xC7, 0x10});
const std::string kTableDevice = B({0x0E, 0x18, 0x70, 0x00, 0x01, 0x00, 0x32, 0x00, 0xC8, 0x10});
const std::string kEmphOn = B({0x14, 0x01, 0x10});
const std::string kEmphOff = B({0x14, 0x00, 0x10});
const std::string kHintOn = B({0x1F, 0x01, 0x10});
const std::string kHintOff = B({0x1F, 0x00, 0x10});
const std::string kCodeItem = B({0x16, 0x20, 0x10});
const std::string kEnd = B({0x04});
const std::string kPar = B({0x0E});
const std::string kBr = B({0x0D});
const std::string kCell = B({0x06});

std::string H(const std::string& text)
{
    return B({0x12, 0x0B, 0x10}) + text;
}

std::string L(const std::string& label)
{
    return "\x0B" + label + kCell;
}

std::string LH(const std::string& label, const std::string& hint)
{
    return "\x0B" + label + kHintOn + hint + kHintOff + kCell;
}

std::string E(const std::string& text)
{
    return kEmphOn + text + kEmphOff;
}

std::string Pad(std::string s, size_t n)
{
    s.resize(n, ' ');
    return s;
}

// A symbol.dat paragraph as SymbolText writes it, marker kept or turned.
std::string SymbolPar(const std::string& kq, bool kept)
{
    return B({kept ? 18 : 19, kept ? 8 : 7, 16}) + kEmphOn + "Lim:" + kq + "=par" + kEmphOff;
}

std::string Captions(std::initializer_list<const char*> list)
{
    std::string out;
    for (const char* c : list) {
        if (!out.empty())
            out += "\r\n";
        out += c;
    }
    return out;
}

// Headings (code 18 with 11) the text holds, walked item by item.
int HeadingCount(const std::string& text)
{
    CtrlTokenizer walk(text);
    CtrlItem item;
    int n = 0;
    while (walk.Next(item))
        if (item.IsCode(18) && CtrlPairValue(text, item, 0) == 11)
            ++n;
    return n;
}

int CaptionCount(const std::string& captions)
{
    if (captions.empty())
        return 0;
    int n = 1;
    for (size_t p = captions.find("\r\n"); p != std::string::npos; p = captions.find("\r\n", p + 2))
        ++n;
    return n;
}

// The text walks to its length with no truncated item, ends in a code 0 and
// has one caption per heading.
void ExpectWellFormed(const RecordText& r, const std::string& what)
{
    ASSERT_FALSE(r.text.empty()) << what;
    EXPECT_EQ(r.text.back(), '\0') << what;
    CtrlTokenizer walk(r.text);
    CtrlItem item;
    int end = 0;
    while (walk.Next(item)) {
        EXPECT_FALSE(item.truncated) << what << " at " << item.offset;
        end = item.End();
    }
    EXPECT_EQ(end, static_cast<int>(r.text.size())) << what;
    EXPECT_EQ(HeadingCount(r.text), CaptionCount(r.captions)) << what;
}

// The part of a text from the heading with this text up to the next heading.
std::string SectionOf(const std::string& text, const std::string& heading)
{
    const std::string h = H(heading);
    // Prefer a heading whose text ends there (a code follows), so that
    // "indo" does not find "indo (uhr1 1)"; else the first one.
    size_t start = text.find(h);
    const size_t first = start;
    while (start != std::string::npos) {
        const size_t after = start + h.size();
        if (after < text.size() && static_cast<uint8_t>(text[after]) < 32)
            break;
        start = text.find(h, start + 1);
    }
    if (start == std::string::npos)
        start = first;
    if (start == std::string::npos)
        return {};
    CtrlTokenizer walk(text, static_cast<int>(start + 3));
    CtrlItem item;
    while (walk.Next(item))
        if (item.IsCode(18) && CtrlPairValue(text, item, 0) == 11)
            return text.substr(start, static_cast<size_t>(item.offset) - start);
    return text.substr(start);
}

std::string ReadRecordByCode(const char* table, const char* index, int length, const std::string& code,
                             int32_t* recNo = nullptr)
{
    TDbTable t;
    OpenTable(t, TFileId(table), TFileId(index), static_cast<uint16_t>(length));
    EXPECT_EQ(DbStatus, 0) << table;
    std::string rec;
    FindRecord(t, code, rec);
    EXPECT_EQ(DbStatus, 0) << code;
    if (recNo)
        *recNo = t.recNo;
    return rec;
}

// Errors the data store reports on this thread while a test runs.
struct HookRecord {
    std::vector<std::string> files;
    std::vector<uint16_t> codes;
};
thread_local HookRecord* hookRecord = nullptr;
void RecordingHook(const TFileId& id, int32_t, uint16_t code)
{
    if (hookRecord) {
        hookRecord->files.push_back(FileIdToStr(id));
        hookRecord->codes.push_back(code);
    }
}

class RecordTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = std::make_unique<Folder>(::testing::UnitTest::GetInstance()->current_test_info()->name());
        WriteStandardFolder(folder_->Dir(), &indicationOffset_);
        SetUpServices(folder_->Dir());
        hookRecord = &hooks_;
        ThreadDbErrorHook = RecordingHook;
    }
    void TearDown() override
    {
        ThreadDbErrorHook = nullptr;
        hookRecord = nullptr;
    }
    RecordText Drug(const char* code) { return ComposeDrugText(ReadRecordByCode("kl", "klkod", 346, code)); }
    std::string Dir() const { return folder_->Dir(); }

    std::unique_ptr<Folder> folder_;
    int32_t indicationOffset_ = 0;
    HookRecord hooks_;
};

const std::string kIndication = B({0x13, 0x1E, 0x10}) + "Indikace P" + B({0});

std::string FullDrugText()
{
    std::string t;
    t += H("obec") + kTableDrug;
    t += L("nazev") + "Paralen 500" + LH("sila", "hint-sila") + "500MG" + L("lform") + "tableta";
    t += L("pulit") + "pul1" + L("vbal") + "20" + L("tbal") + "blistr" + L("vydej") + "predpis";
    t += L("obch") + "ano" + kEnd;

    t += H("vypad") + kTableDrug + L("vtyp") + "typA" + L("vod") + "03.05.2025";
    t += L("duvod") + "duvod" + L("obnov") + "neurceno";
    t += L("nahr") + "0000102, Paralen sirup, 5MG SIR 100ML, N02BE01" + kBr + "neuplny";
    t += L("pozn") + "poznamka" + kEnd;

    t += H("tridy") + kTableDrug + L("inds") + Pad("Analgetika", 56);
    t += L("atc5") + "Paracetamol (N02BE01)" + L("atc4") + "Anilidy (N02BE)";
    t += L("ddd") + "1 G" + L("dddb") + "12.500" + L("lzav") + "bez zav";
    t += L("dopig") + "AB  - dopAB" + L("narvl") + " -" + kEnd;

    t += H("regis") + kTableDrug + L("treg") + "retS" + L("sreg") + "registr";
    t += L("drz") + "Vyrobce a.s., Cesko" + L("rcis") + "07/123/07" + L("brail") + "braA" + kEnd;

    t += H("dalsi") + kTableDrug + L("exsp") + "24 M" + L("prumE") + "29.90 Kc";
    t += L("vyrc") + "1234.56 Kc" + L("puvl") + "legv1";
    t += L("eany") + "8590000000011, 8590000000035" + kEnd;

    // "A" and "a" with equal terms: one block, "L" under "M" becomes "L'".
    t += H("uhr1 1+D") + kTableDrug + L("plat") + E("1.11.2025") + L("kori") + "50.00 Kc";
    t += L("muhc") + E("40.00 Kc") + L("muhp") + "puhP" + L("muhl") + "legwM";
    t += L("orid") + E("10.00 Kc") + L("zapd") + "45.00 Kc" + L("indo") + E("ano");
    t += L("spec") + E("ONK/NEU,ab") + kCodeItem + "ONK" + kCell + "onkologie" + kCodeItem + "NEU" + kCell +
         "neurologie";
    t += L("limit") + E("K3,L'") + kHintOn + "hint-lim" + kHintOff + L("odtd") + "30 D" + kEnd;
    t += H("indo (uhr1 1)") + kIndication;
    t += H("limit (uhr1 1)") + "Legenda" + SymbolPar("L'", true) + SymbolPar("K3", true);

    t += H("uhr1 2") + kTableDrug + L("kdoh") + "50.00 Kc" + L("muhc") + "clearing centrum";
    t += L("zapd") + "45.00 Kc" + L("limit") + E("L") + kHintOn + "hint-lim" + kHintOff + kEnd;
    t += H("limit (uhr1 2)") + SymbolPar("L ", true);

    t += H("vpois") + kTableDrug + L("nazSp") + "Firma s.r.o." + L("webSp") + "www.firma.example";
    t += L("mailSp") + "info@firma.example" + L("telSp") + "123   456" + kEnd;
    t += B({0});
    return t;
}

} // namespace

TEST_F(RecordTextTest, DrugWithEverySectionByteForByte)
{
    const RecordText r = Drug("0000101");
    EXPECT_EQ(r.text, FullDrugText());
    EXPECT_EQ(r.captions, Captions({"obecZ", "vypadZ", "tridyZ", "regisZ", "dalsiZ", "uhr1Z 1", "indoZ",
                                    "limitZ", "uhr1Z 2", "limitZ", "vpoisZ"}));
    ExpectWellFormed(r, "0000101");
    EXPECT_TRUE(hooks_.files.empty());
}

TEST_F(RecordTextTest, DrugCases)
{
    struct Case {
        const char* name;
        const char* code;
        const char* heading; // the section checked
        std::string section; // its bytes, up to the next heading
        std::string captions;
    };
    const std::string priceRows = L("kori") + "50.00 Kc" + L("muhc") + E("40.00 Kc");
    const Case cases[] = {
        {"a lone A has no digit; indication offset 0 gives the note", "0000105", "uhr1",
         H("uhr1") + kTableDrug + priceRows + L("orid") + E("10.00 Kc") + L("zapd") + "45.00 Kc" + L("indo") +
             E("ano") + kEnd,
         Captions({"obecZ", "tridyZ", "regisZ", "dalsiZ", "uhr1Z", "indoZ"})},
        {"the indication note", "0000105", "indo", H("indo") + kPar + "Bez indikace 0" + B({0}), ""},
        {"a cancelled drug shows the cancellation month", "0000105", "regis",
         H("regis") + kTableDrug + L("sreg") + "zrusen (5/2024)" + kEnd, ""},
        {"slot 0 emptied by 6: the lower record alone, single", "0000107", "uhr1+U",
         H("uhr1+U") + kTableDrug + priceRows + L("orid") + E("10.00 Kc") + L("zapd") + "45.00 Kc" + kEnd +
             B({0}),
         Captions({"obecZ", "tridyZ", "regisZ", "dalsiZ", "ust1Z"})},
        {"the emptied slot still gives the original price", "0000107", "dalsi",
         H("dalsi") + kTableDrug + L("exsp") + " -" + L("puvc") + "123.45 Kc" + L("puvl") + "legv1" + kEnd,
         ""},
        {"no prices: no block", "0000106", "obec",
         H("obec") + kTableDrug + L("nazev") + "Bez cen" + LH("sila", "hint-sila") + "5MG" + L("lform") +
             "SIR" + L("vbal") + "100ML" + L("vydej") + " -" + L("obch") + "ne" + kEnd,
         Captions({"obecZ", "tridyZ", "regisZ", "dalsiZ"})},
    };
    for (const Case& c : cases) {
        const RecordText r = Drug(c.code);
        EXPECT_EQ(SectionOf(r.text, c.heading), c.section) << c.name;
        if (!c.captions.empty())
            EXPECT_EQ(r.captions, c.captions) << c.name;
        ExpectWellFormed(r, c.name);
    }
}

TEST_F(RecordTextTest, PriceBlockOfOneRecordWithPairedCodes)
{
    // Direct calls: the codes join with ","; a paired "B" code adds the hint.
    Rec p = Price("0000999", 'C');
    p.Put(43, "K ").Put(9, "B");
    CtrlTextWriter w;
    std::string captions;
    ComposePriceBlock(w, captions, p.bytes, false, "B1");
    // A code "K" alone takes the paragraphs of key K whatever their qualifier.
    EXPECT_EQ(w.Bytes(), H("uhr1 3") + kTableDrug + L("kori") + "50.00 Kc" + L("muhc") + E("40.00 Kc") +
                             L("orid") + E("10.00 Kc") + L("zapd") + "45.00 Kc" + kHintOn + "hint-zulp" +
                             kHintOff + L("limit") + E("K,B1") + kHintOn + "hint-lim" + kHintOff + kEnd +
                             H("limit (uhr1 3)") + "Legenda" + SymbolPar("K3", true) + SymbolPar("K ", true));
    EXPECT_EQ(captions, Captions({"uhr1Z 3", "limitZ"}));
}

TEST_F(RecordTextTest, DeviceWithVariantsAndBorrowedParagraphs)
{
    int32_t recNo = 0;
    const std::string device = ReadRecordByCode("pzt", "pztkod", 290, "1000001", &recNo);
    ASSERT_EQ(recNo, 1);
    const std::string group = Pad(Pad("1A30", 4) + "Skupina obvazu", 184);

    // The caller's own handle keeps its place.
    TDbTable caller;
    OpenTable(caller, TFileId("pzt"), TFileId("pztkod"), kPztLayout.Length());
    std::string callerRec;
    ReadByOrder(caller, 3, callerRec);
    const int32_t callerPos = caller.Position(), callerRecNo = caller.recNo;
    const std::string deviceCopy = device;

    const RecordText r = ComposeDeviceText(device, recNo, GroupDocument(), group);

    std::string t;
    t += H("tZakl") + kTableDevice + L("Kod") + "1000001" + L("PKod") + "0999999";
    t += LH("Naz", "hint-naz") + "Obvaz" + L("Dop") + "sterilni" + L("Vyr") + "Medi GmbH, Nemecko";
    t += L("Bal") + "bal" + L("Typ") + "01 - Obvazy" + L("SkuPo") + "S" + L("MerJd") + "kus";
    t += L("MJBal") + "10" + "\x0B" + kEmphOn + "UhrSk" + kCell + E("01.10.03.00") + kBr + "Skupina obvazu" +
         kEnd;
    t += H("tUhrSk") + kPar + E("UhPop") + kPar + "popis" + kBr + "dale";
    t += kPar + E("UhInd") + kPar + "indikace" + kPar + E("UhrLim") + kPar + "limity";
    t += H("tZakUh") + kTableDevice + L("PreZ") + "M - prodej" + L("UhrP") + " 5" + kBr + "poc75";
    t += L("UziD") + "12 mesic" + kBr + "doba73" + L("KusUD") + "10" + L("MaxC") + "15.00 Kc";
    t += L("DNC") + "D - dnc" + kEnd;
    t += H("tUhr A") + kTableDevice + L("ZpUhr") + "Z - zpusob" + kBr + "zp76";
    t += L("Uhr") + "9.00 Kc" + L("Lim") + "L - limit" + kBr + "lim38";
    t += L("Pre") + "ONK,CH/x" + kCodeItem + "ONK" + kCell + "onkologie" + kCodeItem + "CH_" + kCell +
         "chirurgie" + kEnd;
    t += H("tUhr B (zdrF)") + kTableDevice + L("ZpUhr") + "Z - zpusob" + kBr + "zp76";
    t += L("Lim") + "L - limit" + kBr + "lim38" + L("Pre") + kEnd;
    t += H("tAdm") + kTableDevice + L("Ohl") + "Drzitel s.r.o." + L("DatZm") + "3.5.2024" + kEnd;
    t += B({0});
    EXPECT_EQ(r.text, t);
    EXPECT_EQ(r.captions, Captions({"zZakl", "zUhrSk", "zZakUh", "zUhr A", "zUhr B (zdrF)", "zAdm"}));
    ExpectWellFormed(r, "device");

    EXPECT_EQ(device, deviceCopy);
    EXPECT_EQ(caller.Position(), callerPos);
    EXPECT_EQ(caller.recNo, callerRecNo);
}

TEST_F(RecordTextTest, DeviceCases)
{
    const std::string group = Pad(Pad("1A30", 4) + "Skupina obvazu", 184);
    struct Case {
        const char* name;
        const char* code;
        std::string document;
        const char* heading;
        std::string section;
        std::string captions;
    };
    const Case cases[] = {
        {"no markers: no borrowed section, rows without paragraphs", "1000001", "", "tZakUh",
         H("tZakUh") + kTableDevice + L("PreZ") + "M - prodej" + L("UhrP") + " 5" + L("UziD") + "12 mesic" +
             L("KusUD") + "10" + L("MaxC") + "15.00 Kc" + L("DNC") + "D - dnc" + kEnd,
         Captions({"zZakl", "zZakUh", "zUhr A", "zUhr B (zdrF)", "zAdm"})},
        {"only marker 36 opens the borrowed section", "1000001",
         CtrlTextWriter().Text("x").Code(19, {36}).Text("ind").Code(0).Text("lost").Take(), "tUhrSk",
         H("tUhrSk") + kPar + E("UhInd") + kPar + "ind",
         Captions({"zZakl", "zUhrSk", "zZakUh", "zUhr A", "zUhr B (zdrF)", "zAdm"})},
        {"a marker after the end of the document is not there", "1000001",
         CtrlTextWriter().Text("x").Code(0).Code(19, {21}).Text("late").Take(), "tUhrSk", "",
         Captions({"zZakl", "zZakUh", "zUhr A", "zUhr B (zdrF)", "zAdm"})},
        {"a blank group and a missing type", "1000002", GroupDocument(), "tZakl",
         H("tZakl") + kTableDevice + L("Kod") + "1000002" + LH("Naz", "hint-naz") + "Obvaz" + L("Dop") +
             "sterilni" + L("Bal") + "bal" + L("Typ") + "99 nenalezeno \"PZTTYPV\"" + kEnd,
         Captions({"zZakl", "zZakUh", "zAdm"})},
    };
    for (const Case& c : cases) {
        int32_t recNo = 0;
        const std::string device = ReadRecordByCode("pzt", "pztkod", kPztLayout.Length(), c.code, &recNo);
        const RecordText r = ComposeDeviceText(device, recNo, c.document,
                                               FieldByte(device, kDeviceClassGroup) == ' ' ? "" : group);
        EXPECT_EQ(SectionOf(r.text, c.heading), c.section) << c.name;
        EXPECT_EQ(r.captions, c.captions) << c.name;
        ExpectWellFormed(r, c.name);
    }
}

TEST_F(RecordTextTest, DeviceGroupRecordFallsBackToTheCode)
{
    const std::string device = ReadRecordByCode("pzt", "pztkod", 290, "1000001");
    // The folder has no "pztuhs": the code with blank names.
    EXPECT_EQ(DeviceGroupRecord(device), Pad("1A30", 184));
    const std::string blank = ReadRecordByCode("pzt", "pztkod", 290, "1000002");
    EXPECT_EQ(DeviceGroupRecord(blank), "");
    Rec g(194);
    g.Put(1, "1A30").Put(5, "Obvazy a kryti").Put(133, "pokracovani");
    WriteTable(Dir(), "pztuhs", "pztuhsko", 194, 0, 4, 0, {g.bytes});
    EXPECT_EQ(DeviceGroupRecord(device), g.bytes.substr(0, 184));
}

// ------------------------------------------------------------- bad input

TEST_F(RecordTextTest, DamagedRawFilesLeaveAWellFormedText)
{
    int32_t indication = indicationOffset_;
    // The indication record's text starts at offset + 21.
    const int64_t textAt = int64_t{indication} + 21;
    std::string ind;
    ASSERT_EQ(ReadWholeFile(Dir() + "ind_ome.dat", ind), 0);
    const std::string symbol = SymbolText();
    const std::string noIndication = H("indo (uhr1 1)") + kPar + "Bez indikace " + std::to_string(indication);

    struct Case {
        const char* name;
        std::function<void()> damage;
        std::string indication; // the expected indication paragraph
        std::string limitation; // the expected first limitation paragraph
        std::vector<std::string> hookFiles;
    };
    const std::string fullLimit =
        H("limit (uhr1 1)") + "Legenda" + SymbolPar("L'", true) + SymbolPar("K3", true);
    const Case cases[] = {
        {"ind_ome.dat cut inside the text: no 00 00, closed with a 0",
         [&] { ASSERT_EQ(WriteFileAtomic(Dir() + "ind_ome.dat", ind.substr(0, textAt + 8)), 0); },
         H("indo (uhr1 1)") + B({0x13, 0x1E, 0x10}) + "Ind" + B({0}),
         fullLimit,
         {}},
        {"ind_ome.dat cut inside the marker",
         [&] { ASSERT_EQ(WriteFileAtomic(Dir() + "ind_ome.dat", ind.substr(0, textAt + 4)), 0); },
         noIndication,
         fullLimit,
         {}},
        {"ind_ome.dat ending before the offset",
         [&] { ASSERT_EQ(WriteFileAtomic(Dir() + "ind_ome.dat", ind.substr(0, 16)), 0); },
         noIndication,
         fullLimit,
         {}},
        {"ind_ome.dat unreadable",
         [&] {
             std::filesystem::remove(Dir() + "ind_ome.dat");
             std::filesystem::create_directory(Dir() + "ind_ome.dat");
         },
         noIndication,
         fullLimit,
         {"ind_ome"}},
        {"symbol.dat cut inside a marker's pair: the paragraph before it stays",
         [&] {
             const size_t k3 = symbol.find(SymbolPar("K3", false));
             ASSERT_EQ(WriteFileAtomic(Dir() + "symbol.dat", symbol.substr(0, k3 + 2)), 0);
         },
         H("indo (uhr1 1)") + kIndication,
         H("limit (uhr1 1)") + "Legenda" + SymbolPar("L'", true),
         {}},
        {"symbol.dat with a marker in its last bytes",
         [&] {
             const std::string cut =
                 symbol.substr(0, symbol.find(SymbolPar("K ", false))) + B({19, 7, 16}) + "Lim:K3";
             ASSERT_EQ(WriteFileAtomic(Dir() + "symbol.dat", cut), 0);
         },
         H("indo (uhr1 1)") + kIndication,
         fullLimit,
         {}},
        {"symbol.dat unreadable",
         [&] {
             std::filesystem::remove(Dir() + "symbol.dat");
             std::filesystem::create_directory(Dir() + "symbol.dat");
         },
         H("indo (uhr1 1)") + kIndication,
         "",
         {"symbol", "symbol"}},
    };
    for (const Case& c : cases) {
        WriteStandardFolder(Dir());
        c.damage();
        hooks_ = {};
        const RecordText r = Drug("0000101");
        ExpectWellFormed(r, c.name);
        EXPECT_EQ(SectionOf(r.text, "indo (uhr1 1)"), c.indication) << c.name;
        EXPECT_EQ(SectionOf(r.text, "limit (uhr1 1)"), c.limitation) << c.name;
        EXPECT_EQ(hooks_.files, c.hookFiles) << c.name;
        // Everything else is there: the company section closes the text.
        EXPECT_NE(r.text.find(H("vpois") + kTableDrug), std::string::npos) << c.name;
        EXPECT_NE(SectionOf(r.text, "uhr1 2"), "") << c.name;
        std::filesystem::remove_all(Dir() + "ind_ome.dat");
        std::filesystem::remove_all(Dir() + "symbol.dat");
    }
}

TEST_F(RecordTextTest, MissingRawFilesLeaveTheirParagraphsOut)
{
    std::filesystem::remove(Dir() + "ind_ome.dat");
    std::filesystem::remove(Dir() + "symbol.dat");
    const RecordText r = Drug("0000101");
    ExpectWellFormed(r, "missing");
    EXPECT_EQ(SectionOf(r.text, "indo (uhr1 1)"), "");
    EXPECT_EQ(SectionOf(r.text, "limit (uhr1 1)"), "");
    EXPECT_EQ(r.captions,
              Captions({"obecZ", "vypadZ", "tridyZ", "regisZ", "dalsiZ", "uhr1Z 1", "uhr1Z 2", "vpoisZ"}));
    EXPECT_TRUE(hooks_.files.empty());
}

// ------------------------------------------------------------- demo set

TEST(RecordTextDemo, EveryDemoProductComposes)
{
    const std::string dir = WithTrailingSlash(QEVW_DEMO_DATA_DIR);
    if (!FileExists(dir + "kl.dat"))
        GTEST_SKIP() << "no demo data folder";
    SetDataDir(dir);
    LoadTextTable(DataTexts, dir + "kalvo.ces");
    LoadTextTable(UiTexts, WithTrailingSlash(QEVW_PROGRAM_DIR) + "qevw.ces");
    LoadCodeTables(DataSetCode::Drugs, 0);
    LoadDeviceMarkLetter();

    TDbTable kl;
    OpenTable(kl, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
    ASSERT_EQ(DbStatus, 0);
    int drugs = 0;
    std::string rec;
    for (int32_t pos = 0; pos < kl.LeafCount(); ++pos) {
        ReadByOrder(kl, pos, rec);
        ASSERT_EQ(DbStatus, 0);
        const RecordText r = ComposeDrugText(rec);
        ExpectWellFormed(r, std::string(FieldBytes(rec, kDrugCode)));
        ++drugs;
    }
    EXPECT_GT(drugs, 0);

    if (FileExists(dir + "pzt.dat")) {
        LoadCodeTables(DataSetCode::Devices, 0);
        TDbTable pzt;
        OpenTable(pzt, TFileId("pzt"), TFileId("pztkod"), kPztLayout.Length());
        ASSERT_EQ(DbStatus, 0);
        std::string previous;
        for (int32_t pos = 0; pos < pzt.LeafCount(); ++pos) {
            ReadByOrder(pzt, pos, rec);
            ASSERT_EQ(DbStatus, 0);
            if (FieldBytes(rec, kDeviceCode) == previous)
                continue; // a reimbursement variant, shown with its device
            previous = FieldBytes(rec, kDeviceCode);
            const RecordText r = ComposeDeviceText(rec, pzt.recNo, "", DeviceGroupRecord(rec));
            ExpectWellFormed(r, previous);
        }
    }
}
