// The reimbursement lists' texts as pure functions: prices, the limitation
// column and a whole row, laid out by hand.

#include <gtest/gtest.h>

#include <string>

#include "datastore/table_layouts.h"
#include "lists/codes/reimbursement_text.h"
#include "writers/dat_writer.h"

namespace {

struct PriceCase {
    const char* name;
    std::string field;
    std::string expected;
};

TEST(ReimbursementText, FormatPriceTable)
{
    const PriceCase cases[] = {
        {"nine digits", "123456789", "1234567.89"},
        {"four digits right-aligned", "     1234", "     12.34"},
        {"two digits after blanks", "       12", "       .12"},
        {"one digit: a blank stands for the point", "        5", "         5"},
        {"blank field", "         ", "          "},
        {"two characters come back as they are", "12", "12"},
        {"clearing centrum as stored", "      cc.", "      c.c."},
        {"clearing centrum literal", "     c.c.", "      c.c."},
        {"only the last 13 characters count", "xx1234567890123", "12345678901.23"},
    };
    for (const PriceCase& c : cases)
        EXPECT_EQ(FormatPrice(c.field), c.expected) << c.name;
}

using Fields = std::initializer_list<std::pair<const char*, std::string_view>>;

// A blank record of a table with these fields written in.
std::string Record(const TableLayout& table, Fields fields)
{
    const DatLayout layout(table);
    std::string rec = layout.BlankRecord();
    for (const auto& [name, text] : fields)
        layout.PutText(rec, name, text);
    return rec;
}

// A price record with the limitation fields set; everything else blank.
std::string Cvzp(std::string_view limit, char indication, std::string_view specialists)
{
    const std::string flag(1, indication);
    return Record(kCvzpLayout, {{"LIM", limit}, {"IND", flag}, {"SPE", specialists}});
}

TEST(ReimbursementText, LimitTextTable)
{
    struct Case {
        const char* name;
        std::string record;
        std::string expected;
    };
    const Case cases[] = {
        {"all blank", Cvzp("  ", ' ', ""), std::string(17, ' ')},
        {"L alone", Cvzp("L ", ' ', ""), "L/" + std::string(15, ' ')},
        {"L with specialists", Cvzp("L ", ' ', "INT,KAR"), "L/INT,KAR        "},
        {"L with indication", Cvzp("L ", '1', ""), "L/P " + std::string(13, ' ')},
        {"L with indication and specialists", Cvzp("L ", '1', "PSY"), "L/P/PSY          "},
        {"K3 alone", Cvzp("K3", ' ', ""), "K3/" + std::string(14, ' ')},
        {"K3 with specialists cut at 17", Cvzp("K3", ' ', "GER,INT,KAR,NEU"), "K3/GER,INT,KAR,  "},
        {"K3 with indication keeps its P", Cvzp("K3", '1', ""), "K3/P " + std::string(12, ' ')},
        {"K3 with indication and specialists", Cvzp("K3", '1', "GER,INT,KAR,NEU"), "K3/P/GER,INT,KAR,"},
        {"blank code with indication", Cvzp("  ", '1', "INT"), "/P/INT           "},
        {"blank code with specialists only", Cvzp("  ", ' ', "INT"), "/INT             "},
    };
    for (const Case& c : cases) {
        const std::string got = ReimbursementLimitText(c.record);
        EXPECT_EQ(got, c.expected) << c.name;
        EXPECT_EQ(got.size(), 17u) << c.name;
    }
}

TEST(ReimbursementText, KindChoiceTakesUnderscoreForBlank)
{
    EXPECT_TRUE(ReimbursementKindChosen('A', "AB"));
    EXPECT_FALSE(ReimbursementKindChosen('C', "AB"));
    EXPECT_TRUE(ReimbursementKindChosen(' ', "A_"));
    EXPECT_FALSE(ReimbursementKindChosen(' ', "AB"));
    EXPECT_FALSE(ReimbursementKindChosen('A', ""));
}

// One row laid out character by character from the column positions: a drug
// with every column filled and a paired lower slot.
TEST(ReimbursementText, RowHasEveryColumnAtItsPlace)
{
    const std::string kl = Record(kKlLayout, {{"KOD", "0000320"},
                                              {"NAZ", "RAMIPRIL TEST"},
                                              {"SIL", "5MG"},
                                              {"BAL", "30"},
                                              {"DRZ", "TEV"},
                                              {"ZED", "CZ "},
                                              {"ATC", "C09AA05"}});
    const std::string cvzp = Record(kCvzpLayout, {{"KOD", "0000320"},
                                                  {"DRU", "a"},
                                                  {"UHR", "N"},
                                                  {"OCE", "    11490"},
                                                  {"OZN", "X"},
                                                  {"PUH", "P"},
                                                  {"UCE", "     1234"},
                                                  {"LIM", "K3"},
                                                  {"IND", "1"},
                                                  {"SPE", "KAR,INT,NEU/GER,PSY"},
                                                  {"EKV", "       12"}});

    std::string expected;
    expected += '\0';
    expected += "0000320";                              // 2-8
    expected += "RAMIPRIL TEST" + std::string(57, ' '); // 9-78
    expected += "5MG 30" + std::string(40, ' ');        // 79-124
    expected += "TEVCZ C09AA05";                        // 125-137
    expected += "     12.34";                           // 138-147
    expected += "N";                                    // 148
    expected += "    114.90";                           // 149-158
    expected += "P*";                                   // 159-160
    expected += "K3/P/KAR,INT,NEU/";                    // 161-177
    expected += "GER,PSY" + std::string(15, ' ');       // 178-199
    expected += "       .12";                           // 200-209
    expected += std::string(10, ' ');                   // 210-219
    expected += "-  ";                                  // 220-222
    ASSERT_EQ(expected.size(), 222u);
    EXPECT_EQ(ReimbursementRowText(kl, cvzp, false), expected);

    std::string signedRow = expected;
    signedRow[1] = static_cast<char>('0' - 32);
    EXPECT_EQ(ReimbursementRowText(kl, cvzp, true), signedRow);
}

} // namespace
