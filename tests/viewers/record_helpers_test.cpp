// The pure helpers of the record texts and the services they call.

#include <gtest/gtest.h>

#include "datastore/drug_helpers.h"
#include "lists/drugs/list_text_helpers.h"
#include "record_text_fixture.h"
#include "viewers/record_text.h"

using namespace rtfix;

namespace {
std::string PadTo(const char* text, size_t n)
{
    std::string s(text);
    s.resize(n, ' ');
    return s;
}
} // namespace

TEST(RecordHelpers, CompactDates)
{
    struct Case {
        const char* code;
        const char* monthYear;
        const char* dayMonthYear;
    };
    const Case cases[] = {
        {"25B1", "11/2025", "01.11.2025"},
        {"2553", "5/2025", "03.05.2025"},
        {"24CA", "12/2024", "10.12.2024"},
        {"241J", "1/2024", "19.01.2024"},
        {"249K", "9/2024", "20.09.2024"},
        {"241U", "1/2024", "30.01.2024"},
        {"241V", "1/2024", "31.01.2024"},
        {"241Z", "1/2024", "31.01.2024"},
        {"24D1", "", ""},       // no month D
        {"2401", "", ""},       // month 0
        {"2410", "1/2024", ""}, // day 0
        {"241a", "1/2024", ""},
        {"24", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MonthYearText(c.code), c.monthYear) << c.code;
        EXPECT_EQ(DayMonthYearText(c.code), c.dayMonthYear) << c.code;
    }
}

TEST(RecordHelpers, StripAngleTags)
{
    EXPECT_EQ(StripAngleTags("<b>bez</b> zav"), "bez zav");
    EXPECT_EQ(StripAngleTags("a<x"), "a<x");
    EXPECT_EQ(StripAngleTags("a>b<c>d"), "a>bd");
    EXPECT_EQ(StripAngleTags("<<a>b>"), "b>");
    EXPECT_EQ(StripAngleTags(""), "");
}

TEST(RecordHelpers, SamePriceTerms)
{
    const std::string a = Price("0000001", 'A').bytes;
    struct Case {
        const char* name;
        int pos;
        const char* value;
        char lowerUhr;
        bool same;
    };
    const Case cases[] = {
        {"equal", 1, "0000001", ' ', true},
        {"price differs", 22, "     5100", ' ', false},
        {"reimbursement differs", 33, "     4100", ' ', false},
        {"indication flag differs", 45, "I", ' ', false},
        {"specialists differ", 46, "ONK", ' ', false},
        {"surcharge differs", 105, "     4600", ' ', false},
        {"surcharge differs, relaxed by K", 105, "     4600", 'K', true},
        {"non-payment letter differs, relaxed by U", 114, "X", 'U', true},
        {"non-payment letter differs", 114, "X", 'A', false},
        {"other fields do not count", 43, "L ", ' ', true},
    };
    for (const Case& c : cases) {
        Rec b = Price("0000001", 'a');
        b.Put(c.pos, c.value).Put(9, std::string(1, c.lowerUhr));
        EXPECT_EQ(SamePriceTerms(a, b.bytes), c.same) << c.name;
    }
}

TEST(RecordHelpers, FilterLimitParagraphs)
{
    auto par = [](const char* kq, bool kept) {
        return B({kept ? 18 : 19, kept ? 8 : 7, 16}) + B({20, 1, 16}) + "Lim:" + kq + "=par" + B({20, 0, 16});
    };
    const std::string legend = SymbolText();
    struct Case {
        const char* codes;
        std::string kept;
    };
    const Case cases[] = {
        {"L,K3", "Legenda" + par("L ", true) + par("K3", true)},
        {"L", par("L ", true)},
        {"L'", par("L'", true)},
        {"K3,L'", "Legenda" + par("L'", true) + par("K3", true)},
        {"K", par("K3", true) + par("K ", true)},
        {"E", par("E ", true)},
        {"3", ""}, // a key never matches a code's second character
        {"X,'", "Legenda"},
        {"", ""},
    };
    for (const Case& c : cases) {
        std::string text = legend;
        FilterLimitParagraphs(text, c.codes);
        EXPECT_EQ(text, c.kept) << c.codes;
    }
    // A 19 inside a pair is no marker; a 19 with another value is none either.
    std::string odd = "a" + B({24, 19, 7, 0, 16}) + B({19, 8, 16}) + "xxxxxxxL z";
    const std::string before = odd;
    FilterLimitParagraphs(odd, "L,K");
    EXPECT_EQ(odd, before);
}

TEST(RecordHelpers, AmountAndRegistrationFormatters)
{
    struct Amount {
        const char* field;
        const char* code7;
    };
    for (const Amount& a :
         {Amount{"     1234", "12.34"}, Amount{"      050", "0.50"}, Amount{"       50", ""},
          Amount{"         ", ""}, Amount{"      cc.", "c.c."}, Amount{"1 2 3 445", "1234.45"}})
        EXPECT_EQ(FormatCode7(a.field), a.code7) << a.field;
    EXPECT_EQ(FormatCode8("    123456"), "1234.56");
    EXPECT_EQ(FormatCode8("          "), "");

    struct Reg {
        const char* rc;
        const char* sd;
        const char* shown;
    };
    const Reg regs[] = {
        {"=07 12307  ", "     ", "07/123/07"},
        {"=991234AB  ", "     ", "AB/1234/99"},
        {"=991234ABCD", "     ", "AB/1234/99-C/D"},
        {"=991234ABC ", "     ", "AB/1234/99-C"},
        {"197049001  ", "     ", "EU/1/97/049/001"},
        {"=991234AB  ", "12345", "AB/1234/99/PI/123/45"},
        {"1XXXXXXXX  ", "12345", "EU/1/XX/XXX/XXX/PD/123/45"},
        {"           ", "     ", ""},
    };
    for (const Reg& r : regs)
        EXPECT_EQ(FormatTwoCodes(r.rc, r.sd), r.shown) << r.rc;
    EXPECT_EQ(FormatCodeField17("           "), std::string(17, ' '));
    EXPECT_EQ(FormatCodeField17("197049001").size(), 17u);
}

class ServiceHelpersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteStandardFolder(folder_.Dir());
        SetUpServices(folder_.Dir());
    }
    Folder folder_{"services"};
};

TEST_F(ServiceHelpersTest, LookupsAndNotFoundTexts)
{
    EXPECT_EQ(IsvCacheCount(), 1);
    EXPECT_EQ(CountryCacheCount(), 2);
    EXPECT_EQ(CurrencyText(), " Kc");
    EXPECT_EQ(LookupIsv("07"), PadTo("Analgetika", 56));
    EXPECT_EQ(LookupIsv("99"), "99 nenalezeno \"ISV\"");
    EXPECT_EQ(LookupIsv(" 9"), "");
    EXPECT_EQ(LookupCountry("DE"), PadTo("Nemecko", 30)) << "a short code is padded";
    EXPECT_EQ(LookupCountry("XX "), "XX  nenalezeno \"ZemV\"");
    EXPECT_EQ(LookupAtc("N02BE01", "0000101").substr(0, 11), "Paracetamol");
    EXPECT_EQ(LookupAtc("N02BE", "0000101").substr(0, 7), "Anilidy");
    EXPECT_EQ(LookupAtc("N02BE", "ABC"), LookupAtc("N02BE", "0000101"))
        << "a non-drug context uses the open ATC index";
    EXPECT_EQ(LookupAtc("X99", "0000101"), "X99 nenalezeno \"ATC\"");
    EXPECT_EQ(LookupAtc("", "0000101"), "");
    EXPECT_EQ(LookupHolder("ABCCZ "), PadTo("Vyrobce a.s.", 99));
    EXPECT_EQ(LookupHolder("ABCDE "), "ABCDE  nenalezeno \"DRZV\"");

    // A missing country table leaves its cache empty and says so.
    const CodeTablesResult goods = LoadCodeTables(DataSetCode::Goods, 0);
    EXPECT_NE(goods.countryStatus, 0);
    EXPECT_EQ(goods.isvStatus, 0);
    EXPECT_EQ(CountryCacheCount(), 0);
    EXPECT_EQ(LookupCountry("DE "), "DE  nenalezeno \"ZemV\"");
}

TEST_F(ServiceHelpersTest, TranslateUnitText)
{
    LoadTexts(DataTexts, "[Lfor]\nTBL=tableta\nTBL FLM=potahovana tableta\nSIR=sirup\n"
                         "[Lbal]\nBLI=\\x20v blistru\n[Cpod]\nDRS=drasla\n");
    struct Case {
        const char* form;
        const char* text;
    };
    const Case cases[] = {
        {"TBL", "tableta"},
        {"TBL FLM", "potahovana tableta"},
        {"TBL BLI", "tableta v blistru"}, // longer than 6: a package suffix
        {"SIR BLI", "sirup v blistru"},
        {"TBL FLM BLI", "potahovana tableta v blistru"},
        {"DRS SIR", "drasla"
                    "sirup"},
        {"XXX SIR", "sirup"},
        {"XXX YYY", ""},
        {"TBLBLI", ""}, // 6 characters or fewer: no suffix tried
    };
    for (const Case& c : cases)
        EXPECT_EQ(TranslateUnitText(c.form), c.text) << c.form;
}

TEST_F(ServiceHelpersTest, MarkLetters)
{
    EXPECT_EQ(DeviceMarkLetter(), 'B');
    EXPECT_EQ(MaskMarkLetter('G', ' '), ' ');
    EXPECT_EQ(MaskMarkLetter('B', 'M'), ' ');
    EXPECT_EQ(MaskMarkLetter('B', 'X'), 'B');
    EXPECT_EQ(MaskMarkLetter('F', 'M'), 'F');
    LoadTexts(DataTexts, "[TZd]\n!=F\n");
    LoadDeviceMarkLetter();
    EXPECT_EQ(DeviceMarkLetter(), 'F');
    EXPECT_EQ(MaskMarkLetter('F', 'M'), ' ');
    EXPECT_EQ(MaskMarkLetter('B', 'M'), 'B');
    SetDeviceMarkLetter('B');
}
