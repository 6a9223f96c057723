// Medication lists on the demo data set: XML and plain lists, goods code
// lists, the list channels, and requests for one item against a recording
// dispatcher.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/hooks.h"
#include "platform/ascii.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/shared_memory.h"
#include "support/text_tables.h"
#include "viewers/medication_list.h"

namespace {

namespace fs = std::filesystem;

class DemoData : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = DataDir();
        SetDataDir(WithTrailingSlash(QEVW_DEMO_DATA_DIR));
    }
    void TearDown() override { SetDataDir(previous_); }

    // The product code of a position in "kl" ("-" for 0).
    static std::string CodeAt(int32_t position)
    {
        if (position == 0)
            return "-";
        TDbTable t;
        OpenTable(t, "kl", "klkod", kKlLayout.Length());
        std::string rec;
        ReadRecord(t.dat, position, rec);
        OpenTable(t, TFileId(), TFileId(), 0);
        return rec.substr(0, 7);
    }
    static std::string GoodsCodeAt(int32_t position)
    {
        TDbTable t;
        OpenTable(t, "pfa", "pfakod", kPfaLayout.Length());
        std::string rec;
        ReadRecord(t.dat, position, rec);
        OpenTable(t, TFileId(), TFileId(), 0);
        return rec.substr(0, 5);
    }
    static std::vector<std::string> Codes(const std::vector<int32_t>& positions, int count)
    {
        std::vector<std::string> out;
        for (int i = 0; i < count; ++i)
            out.push_back(CodeAt(positions[static_cast<size_t>(i)]));
        return out;
    }

private:
    std::string previous_;
};

std::string Utf8(std::string_view cp1250)
{
    return Cp1250ToUtf8(cp1250);
}

std::string Cp(const char* utf8)
{
    std::string out;
    EXPECT_TRUE(Utf8ToCp1250(utf8, out)) << utf8;
    return out;
}

std::string ReadFixture(const std::string& name)
{
    std::string text;
    EXPECT_EQ(ReadWholeFile(std::string(QEVW_SOURCE_DIR) + "/demo/lists/" + name, text), 0) << name;
    return text;
}

std::string Item(const std::string& inner)
{
    return "<erp:PLP>\n" + inner + "</erp:PLP>\n";
}

std::string Reg(const std::string& code)
{
    return "  <erp:HVLPReg>\n    <erp:Kod>" + code + "</erp:Kod>\n  </erp:HVLPReg>\n";
}

// --- XML --------------------------------------------------------------------

TEST_F(DemoData, XmlListsGiveOnePositionAndOneDosagePerItem)
{
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> codes;
        std::vector<std::string> dosages;
        std::string patient;
        std::string report;
    };
    const std::string navod2 = "  <erp:Navod>1-0-1</erp:Navod>\n  <erp:Navod>druh\xC3\xBD</erp:Navod>\n";
    const std::string navod3 = navod2 + "  <erp:Navod>t\xC5\x99"
                                        "et\xC3\xAD</erp:Navod>\n";
    const Case cases[] = {
        {"byte-order mark and declaration",
         "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<erp:Doklad xmlns:erp=\"urn:x\">\n" + Item(Reg("0000113")) +
             "</erp:Doklad>\n",
         {"0000113"},
         {""},
         "",
         ""},
        {"a leading blank line, then <medi",
         "\r\n  <medikace>\n" + Item(Reg("0000129") + "<erp:Navod>1 tbl</erp:Navod>\n") + "</medikace>",
         {"0000129"},
         {"1 tbl"},
         "",
         ""},
        {"a patient with diacritics, entities in the dosage",
         "<erp:Doklad>\n<erp:Pacient>\n<erp:Jmena>Ji\xC5\x99\xC3\xAD</erp:Jmena>\n"
         "<erp:Prijmeni>Dvo\xC5\x99\xC3\xA1k</erp:Prijmeni>\n</erp:Pacient>\n" +
             Item(Reg("0000152") + "<erp:Navod>1 &lt; 2 &amp; 3\xC3\x97 denn\xC4\x9B</erp:Navod>\n") +
             "</erp:Doklad>",
         {"0000152"},
         {Cp("1 < 2 &amp; 3× denně")},
         Cp("Jiří Dvořák"),
         ""},
        {"a code outside the registered product counts the item without a position",
         "<erp:Doklad>\n" + Item("<erp:Kod>0000113</erp:Kod>\n") + Item(Reg("0000129")) + "</erp:Doklad>",
         {"-", "0000129"},
         {"", ""},
         "",
         ""},
        {"five digits and an unknown code are reported",
         "<erp:Doklad>\n" + Item(Reg("00001")) + Item(Reg("9999999")) + Item(Reg("0000113")) +
             "</erp:Doklad>",
         {"-", "-", "0000113"},
         {"", "", ""},
         "",
         "nenalezen 00001\r\nnenalezen 9999999"},
        {"an element split over two lines is not one",
         "<erp:Doklad>\n<erp:PLP>\n<erp:HVLPReg>\n<erp:Kod>\n0000113</erp:Kod>\n</erp:HVLPReg>\n</"
         "erp:PLP>\n</erp:Doklad>",
         {"-"},
         {""},
         "",
         "nenalezen "},
        {"zero, two and three dosages keep later items in step",
         "<erp:Doklad>\n" + Item(Reg("0000113")) + Item(Reg("0000129") + navod2) +
             Item(Reg("0000152") + navod3) +
             Item(Reg("0000211") + "<erp:Navod>posledn\xC3\xAD</erp:Navod>\n") + "</erp:Doklad>",
         {"0000113", "0000129", "0000152", "0000211"},
         {"", "1-0-1", "1-0-1", Cp("poslední")},
         "",
         ""},
        {"tabs are blanks and lines are trimmed",
         "<erp:Doklad>\n\t<erp:PLP>\n\t\t<erp:HVLPReg>\n\t\t\t<erp:Kod>0000113</erp:Kod>\n\t\t</"
         "erp:HVLPReg>\n\t</erp:PLP>\n",
         {"0000113"},
         {""},
         "",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = c.text;
        std::vector<int32_t> positions;
        std::vector<std::string> dosages{"stale"};
        ListValues values{"stale=1"};
        const int n = ParseMedicationList(text, positions, dosages, values);
        ASSERT_EQ(n, static_cast<int>(c.codes.size()));
        EXPECT_EQ(positions.size(), 50u);
        EXPECT_EQ(Codes(positions, n), c.codes);
        EXPECT_EQ(dosages, c.dosages);
        EXPECT_EQ(ListValue(values, "pacos.jmeno"), c.patient);
        EXPECT_EQ(ListValue(values, "stale"), "");
        EXPECT_EQ(text, c.report);
    }
}

TEST_F(DemoData, XmlReadsAtMostFiftyItems)
{
    std::string text = "<erp:Doklad>\n";
    for (int i = 0; i < 51; ++i)
        text +=
            Item(Reg(i == 50 ? "0000129" : "0000113") + "<erp:Navod>" + std::to_string(i) + "</erp:Navod>\n");
    std::vector<int32_t> positions;
    std::vector<std::string> dosages;
    ListValues values;
    EXPECT_EQ(ParseMedicationList(text, positions, dosages, values), 50);
    ASSERT_EQ(dosages.size(), 50u);
    EXPECT_EQ(dosages.back(), "49");
    EXPECT_EQ(CodeAt(positions[49]), "0000113");
}

TEST_F(DemoData, TheEveryLevelFixturesResolveAlike)
{
    for (const char* name :
         {"erecept_vsechny_urovne.xml", "vsechny_urovne_cp1250.txt", "vsechny_urovne_utf8.txt"}) {
        SCOPED_TRACE(name);
        std::string text = DecodeListText(ReadFixture(name));
        std::vector<int32_t> positions;
        std::vector<std::string> dosages;
        ListValues values;
        const int n = ParseMedicationList(text, positions, dosages, values);
        ASSERT_EQ(n, 11);
        const std::vector<std::string> codes = Codes(positions, n);
        EXPECT_EQ(codes[0], "0000113");
        EXPECT_EQ(codes[1], "0000129");
        EXPECT_EQ(codes[3], "0001163");
        EXPECT_EQ(codes[10], "0000422");
        EXPECT_EQ(text, "");
        EXPECT_EQ(dosages.size(), 11u);
        EXPECT_EQ(Utf8(ListValue(values, "pacos.jmeno")).substr(0, 6), "Jiří");
    }
}

// --- Plain lists --------------------------------------------------------------

TEST_F(DemoData, PlainListsResolveCodesNamesAndGoods)
{
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> codes;
        std::string patient;
        std::string report;
    };
    const Case cases[] = {
        {"patient line, heading and comments",
         Cp("=Jiří Dvořák\r\nKód   Název\r\n# komentář\r\n!x\r\n==\r\n0000113\r\n"),
         {"0000113"},
         Cp("Jiří Dvořák"),
         ""},
        {"a code with its name, a tab after a code",
         "0000129 PARALGEN 500\n0000152\tIbuprofen\n",
         {"0000129", "0000152"},
         "",
         ""},
        {"a goods code is reported, not stored",
         "10112 Vitamin C\n0000113\n",
         {"0000113"},
         "",
         "parafarm. 10112 Vitamin C"},
        {"a name stops before its strength, with the blank",
         Cp("Žaludex 40 mg\nDiklofenak Indigo 50 mg\n"),
         {"0000211", "0001163"},
         "",
         ""},
        {"a goods name and unknown lines",
         Cp("Vitamin C 1000 mg retard\n0009999 nic\nZázračný elixír\n99999\n"),
         {},
         "",
         Cp("parafarm. Vitamin C 1000 mg retard\r\nnenalezen 0009999 nic\r\nnenalezen Zázračný "
            "elixír\r\nnenalezen 99999")},
        {"a tab inside a name is no blank",
         "Ibuprofen\tDalmora 400 mg\n",
         {},
         "",
         "nenalezen Ibuprofen\x1F"
         "Dalmora "},
        {"a patient line without a line feed", "=Jan Novak", {}, "Jan Novak", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = c.text;
        std::vector<int32_t> positions;
        std::vector<std::string> dosages;
        ListValues values;
        const int n = ParseMedicationList(text, positions, dosages, values);
        EXPECT_EQ(positions.size(), 500u);
        EXPECT_EQ(Codes(positions, n), c.codes);
        EXPECT_EQ(dosages, std::vector<std::string>(c.codes.size()));
        EXPECT_EQ(ListValue(values, "pacos.jmeno"), c.patient);
        EXPECT_EQ(text, c.report);
    }
}

TEST_F(DemoData, PlainListsStopAtFiveHundredProducts)
{
    std::string text;
    for (int i = 0; i < 501; ++i)
        text += (i == 500 ? "0009999\n" : "0000113\n");
    std::vector<int32_t> positions;
    ListValues values;
    EXPECT_EQ(ResolveDrugCodeList(text, positions, values), 500);
    EXPECT_EQ(text, ""); // the 501st line, unknown, is never read
}

TEST_F(DemoData, GoodsCodeListsByCodeLength)
{
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> codes;
        std::string report;
    };
    const Case cases[] = {
        {"five digits, heading and comment",
         Cp("Kód zboží\n10010\n# x\n10027 krém\n99999\n1001\n"),
         {"10010", "10027"},
         "nenalezen 99999\r\nnenalezen 1001"},
        {"six digits", "= Chyby 6\n300000\n300037\n", {"10010", "10027"}, ""},
        {"EAN, CR LF", "= Chyby 13\r\n8591100277772\r\n8591101127779\r\n", {"10027", "10112"}, ""},
        {"a length that is no number keeps five", "= Chyby x\n10010\n", {"10010"}, ""},
        {"a length of 0 keeps five", "= Chyby 0\n10010\nabc\n", {"10010"}, "nenalezen abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = c.text;
        std::vector<int32_t> positions;
        const int n = ResolvePfaCodeList(text, positions);
        std::vector<std::string> codes;
        for (int i = 0; i < n; ++i)
            codes.push_back(GoodsCodeAt(positions[static_cast<size_t>(i)]));
        EXPECT_EQ(codes, c.codes);
        EXPECT_EQ(text, c.report);
    }
}

TEST(GoodsCodeList, WithoutTheTableTheTextStays)
{
    const std::string previous = DataDir();
    SetDataDir("/nonexistent-folder/");
    std::string text = "10010\n";
    std::vector<int32_t> positions;
    EXPECT_EQ(ResolvePfaCodeList(text, positions), 0);
    EXPECT_EQ(text, "10010\n");
    SetDataDir(previous);
}

// --- Channels ---------------------------------------------------------------

class ListChannels : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::path(QEVW_BINARY_DIR) / "test-lists" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    std::string Write(const std::string& name, const std::string& content)
    {
        const std::string path = (dir_ / name).string();
        EXPECT_EQ(WriteFileAtomic(path, content), 0);
        return path;
    }
    fs::path dir_;
};

TEST_F(ListChannels, FilesAreBoundedAtTheirLastLineFeed)
{
    std::string text;
    EXPECT_EQ(ReadListFile((dir_ / "missing.txt").string(), text, 65530), -2);
    EXPECT_LT(ReadListFile(dir_.string(), text, 65530), 0); // a folder cannot be read
    EXPECT_EQ(text, "");

    const std::string small = Write("small.txt", "0000113\n0000129");
    EXPECT_EQ(ReadListFile(small, text, 65530), 15);
    EXPECT_EQ(text, "0000113\n0000129");

    std::string big;
    while (big.size() < 65530 - 8)
        big += "0000113\n";
    big += "0000129 Paralgen\n"; // crosses the bound
    const std::string bigPath = Write("big.txt", big);
    EXPECT_EQ(ReadListFile(bigPath, text, 65530), static_cast<int>(big.size() - 17));
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find("0000129"), std::string::npos);

    // A backslash in the value reads as a folder separator.
    std::string windows = small;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    EXPECT_EQ(ReadListFile(windows, text, 0), 15);
}

TEST_F(ListChannels, SharedBlocksAndThePathRule)
{
    const std::string name =
        "qevw-test-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    std::string text;
    {
        ScopedSharedBlock block(name, "0000113\n0000129\n");
        ASSERT_EQ(block.Result(), 0);
        ReadSharedListBlock(name, text);
        EXPECT_EQ(text, "0000113\n0000129\n");
        const ListSourceText source = ReadListSource(name);
        EXPECT_TRUE(source.readable);
        EXPECT_EQ(source.text, "0000113\n0000129\n");
    }
    ReadSharedListBlock(name, text);
    EXPECT_EQ(text, "!"); // gone
    {
        ScopedSharedBlock block(name, "0000113\n", 4096); // a length past the block
        ReadSharedListBlock(name, text);
        EXPECT_EQ(text, "!");
        const ListSourceText source = ReadListSource(name);
        EXPECT_FALSE(source.readable);
        EXPECT_NE(source.reason.find("past the block"), std::string::npos);
    }
    {
        ScopedSharedBlock block(name, "");
        ReadSharedListBlock(name, text);
        EXPECT_EQ(text, "");
    }
    {
        // A UTF-8 plain list is converted; XML is left to the parser.
        ScopedSharedBlock block(name, "\xC5\xBD"
                                      "aludex 40 mg\n");
        EXPECT_EQ(ReadListSource(name).text, Cp("Žaludex 40 mg\n"));
    }

    EXPECT_TRUE(IsListFilePath("C:\\lists\\a.txt"));
    EXPECT_TRUE(IsListFilePath("lists/a.txt"));
    EXPECT_FALSE(IsListFilePath("ERP_BLOCK"));
    const std::string path = Write("list.txt", "0000113\n");
    EXPECT_TRUE(ReadListSource(path).readable);
    const ListSourceText missing = ReadListSource((dir_ / "none.txt").string());
    EXPECT_FALSE(missing.readable);
    EXPECT_NE(missing.reason.find("none.txt"), std::string::npos);
}

// --- Requests ---------------------------------------------------------------

class RecordingTarget : public RequestTarget {
public:
    DataSetCode dataSet = DataSetCode::Drugs;
    std::vector<std::string> calls;
    DataSetCode ActiveDataSet() override { return dataSet; }
    void CloseDataWindowsButMain() override { calls.push_back("close"); }
    void ShowDrugResultList(const std::vector<int32_t>& positions, const std::string& title) override
    {
        std::string s = "list " + title;
        for (int32_t p : positions)
            s += " " + std::to_string(p);
        calls.push_back(s);
    }
    void ExecuteCommand(uint16_t code, int32_t value) override
    {
        calls.push_back("exec " + KindText(code) + " " + std::to_string(value));
    }
    void TileWindows() override { calls.push_back("tile"); }
    void SetRequestMode(uint8_t mode) override { calls.push_back("mode " + std::to_string(mode)); }
    void SetRequestPosition(int32_t position) override { calls.push_back("pos " + std::to_string(position)); }
    void SetRequestTableKind(LinkKind kind) override
    {
        calls.push_back("table " + std::to_string(static_cast<int>(kind)));
    }
    void SetRequestCommand(uint16_t code) override { calls.push_back("command " + KindText(code)); }
    void SetRequestText(const std::string& text) override { calls.push_back("text " + text); }
    void SetRequestedParagraph(uint8_t p) override { calls.push_back("paragraph " + std::to_string(p)); }
    void SetRequestedSection(uint8_t s) override { calls.push_back("section " + std::to_string(s)); }

    // "dMA": a lower-case first letter is bit 15.
    static std::string KindText(uint16_t code)
    {
        if (code == 0)
            return "0";
        std::string s(3, ' ');
        const int first = (code >> 10) & 0x3F;
        s[0] = static_cast<char>(first >= 32 ? first + 64 : first + 64);
        s[1] = static_cast<char>(((code >> 5) & 31) + 64);
        s[2] = static_cast<char>((code & 31) + 64);
        if (first >= 32)
            s[0] = static_cast<char>(first - 32 + 96);
        return s;
    }
};

TEST(RequestCommandCode, ChoosesTheFirstLetterByKindAndCode)
{
    RecordingTarget target;
    RequestTarget* old = SetRequestTarget(&target);
    test_support::ScopedTextTable ui(UiTexts,
                                     test_support::CompileTable("[Prohlizec]\nZkr1=ABCS\nZkr2=AKXP\n"));
    struct Case {
        char kind;
        const char* a;
        const char* code;
        const char* effect;
    };
    const Case cases[] = {
        {'d', "SP#4.5", "dSP", "paragraph 69"},
        {'d', "DAK", "dAK", ""},
        {'d', "BA", "DBA", ""},
        {'d', "xs", "CXS", ""},
        {'d', "A ", "0", ""}, // "A " must not match across "MA AE"
        {'d', "MAA", "0", ""},
        {'d', "DAK#SP", "dAK", "section 3"},
        {'d', "DAK#7", "dAK", "section 7"},
        {'d', "DAK#_C", "dAK", "section 0"},
        {'c', "SY", "cSY", ""},
        {'c', "XC", "DXC", ""},
        {'c', "MA", "0", ""},
        {'d', "", "0", ""},
    };
    for (const Case& c : cases) {
        target.calls.clear();
        const std::string query = std::string("|1=x|a=") + c.a + "|";
        EXPECT_EQ(RecordingTarget::KindText(medication::RequestCommandCode(c.kind, query)), c.code) << c.a;
        EXPECT_EQ(target.calls.empty() ? std::string() : target.calls[0], c.effect) << c.a;
    }
    SetRequestTarget(old);
}

TEST(SectionCodeIndex, NumbersAndLetterPairs)
{
    test_support::ScopedTextTable ui(UiTexts,
                                     test_support::CompileTable("[Prohlizec]\nZkr1= ABS\nZkr2=CKKP\n"));
    EXPECT_EQ(SectionCodeIndex("12"), 12);
    EXPECT_EQ(SectionCodeIndex("99"), 0);
    EXPECT_EQ(SectionCodeIndex("C"), 0); // " C"
    EXPECT_EQ(SectionCodeIndex("_C"), 0);
    EXPECT_EQ(SectionCodeIndex("ak"), 1);
    EXPECT_EQ(SectionCodeIndex("SP"), 3);
    EXPECT_EQ(SectionCodeIndex("ZZ"), 0);
}

TEST(DigitHelpers, RunsAndWholeStrings)
{
    EXPECT_TRUE(IsAllDigits(""));
    EXPECT_TRUE(IsAllDigits("0123"));
    EXPECT_FALSE(IsAllDigits("12a"));
    EXPECT_TRUE(IsDigitRun("12345x", 1, 5));
    EXPECT_FALSE(IsDigitRun("1234", 1, 5)); // past the end
    EXPECT_FALSE(IsDigitRun("123", 0, 2));
}

class Requests : public DemoData {
protected:
    void SetUp() override
    {
        DemoData::SetUp();
        old_ = SetRequestTarget(&target);
    }
    void TearDown() override
    {
        SetRequestTarget(old_);
        DemoData::TearDown();
    }
    std::vector<std::string> Run(const std::string& query)
    {
        target.calls.clear();
        medication::OpenRequestedItem(query);
        return target.calls;
    }
    static std::string Pos(const char* table, const char* index, const std::string& key)
    {
        TDbTable t;
        OpenTable(t, table, index, 0);
        std::string rec;
        FindRecord(t, key, rec);
        const int32_t r = DbStatus == 0 ? t.recNo : -1;
        OpenTable(t, TFileId(), TFileId(), 0);
        return std::to_string(r);
    }
    RecordingTarget target;

private:
    RequestTarget* old_ = nullptr;
};

TEST_F(Requests, EachLookupRowSetsTheRequestAndRunsItsCommand)
{
    using V = std::vector<std::string>;
    const std::string kl113 = Pos("kl", "klkod", "0000113");
    // 0000113 has a summary text: "dAK"; the request's own code wins.
    EXPECT_EQ(Run("|1=0000113|"), (V{"close", "pos " + kl113, "table 6", "command dAK", "exec dAK 0"}));
    EXPECT_EQ(Run("|1=0000113|a=SP#4.5|"),
              (V{"close", "paragraph 69", "pos " + kl113, "table 6", "command dSP", "exec dSP 0"}));
    EXPECT_EQ(Run("|1=,113,9|"), (V{"close", "pos " + kl113, "table 6", "command dAK", "exec dAK 0"}));
    // An EAN through "kle" (kle.csv: 0000129,8594000012917).
    EXPECT_EQ(Run("|1=8594000012917|"),
              (V{"close", "pos " + Pos("kl", "klkod", "0000129"), "table 6", "command dAK", "exec dAK 0"}));
    // A small-letter ATC code.
    EXPECT_EQ(Run("|1=c10aa05|"),
              (V{"close", "pos " + Pos("atc", "atckod", "C10AA05"), "table 2", "command DAA", "exec DAA 0"}));
    EXPECT_EQ(Run("|1=n02|"),
              (V{"close", "pos " + Pos("atc", "atckod", "N02    "), "table 2", "command DAA", "exec DAA 0"}));
    // A name goes to the name list as the request text.
    EXPECT_EQ(Run("|1=PARA|2=500|"), (V{"close", "text PARA 500", "exec DNA 0"}));
    EXPECT_EQ(Run("|1=,,Para|"), (V{"close", "text Para", "exec DNA 0"}));
    EXPECT_EQ(Run("|1=9999999|"), (V{"close", "text 9999999", "exec DCD 0"}));
    EXPECT_EQ(Run("|1=  |"), (V{}));
    // Goods and devices by the data set.
    target.dataSet = DataSetCode::Goods;
    EXPECT_EQ(Run("|1=10010|"),
              (V{"close", "pos " + Pos("pfa", "pfakod", "10010"), "table 20", "command pAR", "exec pAR 0"}));
    EXPECT_EQ(Run("|1=8591100277772|"), (V{"close", "pos " + Pos("pfa", "pfaean", "8591100277772"),
                                           "table 20", "command pAR", "exec pAR 0"}));
}

TEST_F(Requests, CasNumbersArePaddedToTheirColumn)
{
    using V = std::vector<std::string>;
    TDbTable kk;
    OpenTable(kk, "kk", "kknaz", 0);
    std::string rec;
    FindRecord(kk, "CAS ", rec);
    OpenTable(kk, TFileId(), TFileId(), 0);
    ASSERT_EQ(rec.substr(8, 3), "CAS");
    const std::string stored(TrimRightBlanks(rec.substr(8, 64)));
    const size_t dash = stored.find('-');
    ASSERT_EQ(dash, 11u);
    const std::string number = stored.substr(stored.find_first_not_of(' ', 3));
    const std::vector<std::string> calls = Run("|1=CAS " + number + "|");
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[2], "table 7");
    EXPECT_EQ(calls[4], "exec cSY 0");
    EXPECT_EQ(Run("|1=CASX 1-2|"), (V{"close", "text CASX 1-2", "exec DNA 0"}));
}

TEST_F(Requests, CodeListsOpenWindowsOrOneList)
{
    using V = std::vector<std::string>;
    const std::string a = Pos("kl", "klkod", "0000113"), b = Pos("kl", "klkod", "0000129");
    EXPECT_EQ(Run("|1=0000113;0000129|m=f3t|a=DAK|"),
              (V{"close", "mode 6", "pos " + b, "exec dAK 1", "pos " + a, "exec dAK 1", "tile"}));
    EXPECT_EQ(Run("|1=0000113;0000129|a=DAK|"), (V{"close", "list Seznam " + a + " " + b, "exec dAK 0"}));
    EXPECT_EQ(Run("|1=0000113;0000129|m=f3|"), (V{"close", "list Seznam " + a + " " + b, "exec 0 0"}));
    EXPECT_EQ(Run("|1=0000113;9999999|m=f3|a=DAK|"), (V{"close", "mode 6", "pos " + a, "exec dAK 1"}));
    // No code found: looked up as one item, which fails.
    EXPECT_EQ(Run("|1=9999998;9999999|m=f3|a=DAK|"), (V{"close", "text 9999998;9999999", "exec DNA 0"}));
}

} // namespace
