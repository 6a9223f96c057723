// Paragraph codes, their selections and the lists read from the text tables.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "datastore/hex_base64.h"
#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "tests/support/bytes.h"
#include "tests/support/text_tables.h"

using Texts = test_support::ScopedTexts;

namespace {

constexpr auto Codes = test_support::Bytes;

TEST(Paragraphs, TextAndPredecessor)
{
    EXPECT_EQ(ParagraphText(0x40), "4");
    EXPECT_EQ(ParagraphText(0x41), "4.1");
    EXPECT_EQ(ParagraphText(0x4C), "4.12");
    EXPECT_EQ(ParagraphText(0xA1), "10.1");
    const std::map<int, int> prev = {{0x41, 0x40}, {0x50, 0x49}, {0x60, 0x53}, {0x70, 0x66},
                                     {0x40, 0x30}, {0x80, 0x70}, {0x4C, 0x4B}};
    for (const auto& [code, before] : prev)
        EXPECT_EQ(PrevParagraph(static_cast<uint8_t>(code)), before) << code;
}

TEST(Paragraphs, KeysToCodes)
{
    const std::map<std::string, int> keys = {
        {"4", 0x40},    {"12", 0xC0},   {"16", 0},      {"09", 0},   {"4.1", 0x41},
        {"4_1", 0x41},  {"4.12", 0x4C}, {"4.15", 0x4F}, {"4.16", 0}, {"4.21", 0},
        {"10_1", 0xA1}, {"15_9", 0xF9}, {"16_1", 0},    {"4x", 0},   {"a.1", 0},
        {"", 0},        {"4.1.2", 0},   {"x", 0},       {"4..1", 0}, {"1a_1", 0},
    };
    for (const auto& [key, code] : keys)
        EXPECT_EQ(ParagraphKeyToCode(key), code) << key;
}

TEST(Paragraphs, SelectionsAsText)
{
    Texts t("[Text]\nbez=vše kromě\\x20\n", "[X]\na=b\n");
    EXPECT_EQ(ParagraphSetText(Codes({0x41, 0x42, 0x43, 0x51, '+'}), 'S'), "4.1-4.3,5.1");
    EXPECT_EQ(ParagraphSetText(Codes({0x41, 0x42, 0x43, 0x51, '+'}), 'I'), "4.1-4.3,5.1");
    // 4.9 and 5 are consecutive in the summary's numbering.
    EXPECT_EQ(KamToQString(ParagraphSetText(Codes({0x40, 0x49, 0x50, '-'}), 'S')).toStdString(),
              "vše kromě 4,4.9-5");
    EXPECT_EQ(ParagraphSetText("+", 'S'), "");
    // Other kinds: the hexadecimal digits read as a decimal number.
    EXPECT_EQ(ParagraphSetText(Codes({0x12, 0x01, 0x20, '+'}), 'K'), "12,1,20");
    SetParagraphLabelLookup([](int n) { return n == 12 ? std::string("Ab") : std::string(); });
    EXPECT_EQ(ParagraphSetText(Codes({0x12, 0x01, '+'}), 'K'), "Ab,1");
    SetParagraphLabelLookup({});
}

TEST(Paragraphs, GroupsOfEachKind)
{
    for (int c : {0x00, 0x0F, 0x40, 0x4F, 0x50, 0x5F, 0x60, 0x6F})
        EXPECT_TRUE(IsParagraphGroup(static_cast<uint8_t>(c), 'S')) << c;
    EXPECT_FALSE(IsParagraphGroup(0x30, 'S'));
    EXPECT_FALSE(IsParagraphGroup(0xC0, 'S'));
    EXPECT_TRUE(IsParagraphGroup(191, 'K'));
    EXPECT_FALSE(IsParagraphGroup(190, 'K'));
    EXPECT_EQ(ParagraphGroupEnd(0x40, 'S'), 0x4F);
    EXPECT_EQ(ParagraphGroupEnd(0xC0, 'K'), 0xD0);
}

TEST(Paragraphs, EncodeSelectionsWorkedByHand)
{
    // Summary list: group 4 (0x40) with 4.1-4.3, group 5 with 5.1, 5.2,
    // group 6 with 6.1.
    const std::string S = Codes({0x40, 0x41, 0x42, 0x43, 0x50, 0x51, 0x52, 0x60, 0x61});
    struct Case {
        std::string set;
        std::string expected;
    };
    const Case summary[] = {
        // 4.2 off: "all but 4.2" is shorter than listing the other five.
        {Codes({0x42}), Codes({0x42, '-'})},
        // Group 4 whole (its end code), the rest by membership: all selected.
        {Codes({0x4F}), ""},
        // Group 4 off (its head): 4.1-4.3 excluded, 5.1, 5.2, 6.1 listed.
        {Codes({0x40}), Codes({0x51, 0x52, 0x61, '+'})},
        // A set ending in 0xFF counts as empty.
        {Codes({0x42, 0xFF}), ""},
    };
    for (const Case& c : summary)
        EXPECT_EQ(EncodeParagraphSet(c.set, 'S', S), c.expected) << HexOfBytes(c.set);

    // Other kinds: heads above 190, group end = head + 16.
    const std::string K = Codes({0xC0, 0x01, 0x02, 0xC1, 0x11, 0x12});
    const Case other[] = {
        {Codes({0xD0, 0x12}), Codes({0x12, '-'})},
        {Codes({0xC1}), Codes({0x01, 0x02, '+'})},
    };
    for (const Case& c : other)
        EXPECT_EQ(EncodeParagraphSet(c.set, 'K', K), c.expected) << HexOfBytes(c.set);
}

TEST(Paragraphs, ListsFromTheTextTables)
{
    std::string mask(100, '-');
    for (int i : {0, 12, 13, 99})
        mask[static_cast<size_t>(i)] = '+';
    // What precedes "Nadpis" is no paragraph; a blank in a two-character
    // key counts as 0.
    Texts t("[Prohlizec]\nVybK=" + mask + "\nZkr1=P00000000011IK\nZkr2=R12345678901NI\n",
            "[Odst]\n5=Not a group\nNadpis=Heading\n1=Group one\n 0=Zero\n12=Twelve\n14=Fourteen\n"
            "2=Group two\n13=Thirteen\n99=Last\n"
            "[Ospc]\n7=Not a paragraph\nNadpis=Heading\n4=Four\n4.1=a\n4.12=b\n10=Ten\n0=Nil\n");
    EXPECT_EQ(ParagraphListOfKind('K'), Codes({0xC1, 0x00, 0x12, 0xC2, 0x13, 0x99}));
    // Without a mask only the groups pass.
    EXPECT_EQ(ParagraphListOfKind('B'), Codes({0xC1, 0xC2}));
    EXPECT_EQ(ProductSummaryParagraphList(), Codes({0x40, 0x41, 0x4C, 0xA0, 0x00}));
    LoadParagraphLists();
    EXPECT_EQ(ParagraphList('I'), ParagraphList('S'));
    EXPECT_EQ(ParagraphList('X'), ParagraphList('K'));
    EXPECT_EQ(EncodeParagraphSet(Codes({0x13, 0x99}), 'K'), Codes({0x00, 0x12, '+'}));
    // The labels: letters where "Zkr1" has one, else the number.
    EXPECT_EQ(ParagraphAbbreviation(12), "IN");
    EXPECT_EQ(ParagraphAbbreviation(5), "");
    EXPECT_EQ(ParagraphAbbreviation(0), "PR");
    EXPECT_EQ(ParagraphSetText(Codes({0x12, 0x05, 0x13, '+'}), 'K'), "IN,5,KI");
    EXPECT_EQ(ParagraphSetText(Codes({0x99, '+'}), 'K'), "99");
    SetParagraphLabelLookup({});
}

} // namespace
