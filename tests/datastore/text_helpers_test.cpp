#include <gtest/gtest.h>

#include <string>

#include "datastore/text_helpers.h"

using namespace std::string_literals;

TEST(TextHelpers, PosCharFrom)
{
    const struct {
        char c;
        const char* text;
        int from;
        int want;
    } cases[] = {
        {'a', "banana", 1, 2}, {'a', "banana", 3, 4},  {'a', "banana", 6, 6}, {'a', "banana", 7, 0},
        {'a', "banana", 0, 2}, {'a', "banana", -5, 2}, {'x', "banana", 1, 0}, {'a', "", 1, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PosCharFrom(c.c, c.text, c.from), c.want) << c.text << " " << c.from;
}

TEST(TextHelpers, PosStrFrom)
{
    const struct {
        const char* pat;
        const char* text;
        int from;
        int want;
    } cases[] = {
        {"an", "banana", 1, 2},     {"an", "banana", 3, 4},      {"an", "banana", 5, 0},
        {"an", "banana", 0, 2},     {"an", "banana", 7, 0},      {"", "banana", 1, 0},
        {"banana", "banana", 1, 1}, {"bananas", "banana", 1, 0}, {"a", "banana", 6, 6},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PosStrFrom(c.pat, c.text, c.from), c.want) << c.pat << " " << c.from;
}

TEST(TextHelpers, LastCharPos)
{
    EXPECT_EQ(LastCharPos("banana", 'a'), 6);
    EXPECT_EQ(LastCharPos("banana", 'b'), 1);
    EXPECT_EQ(LastCharPos("banana", 'x'), 0);
    EXPECT_EQ(LastCharPos("", 'x'), 0);
}

TEST(TextHelpers, LineBreakPos)
{
    const struct {
        std::string s;
        int p;
        int want;
    } cases[] = {
        {"hello world", 8, 7},  // after the blank
        {"hello world", 11, 9}, // at the end: between a vowel and a letter
        {"hello world", 6, 0},  // on a blank
        {"aaaa,bbbb", 7, 6},    // after a comma before a non-digit
        {"aaaa,1111", 7, 4},    // not after a comma before a digit
        {"bcdf-ghjk", 8, 5},    // before a hyphen
        {"bcd\xA0"
         "fgh",
         6, 5},                // data code page "á" folds to a vowel
        {"bcdfghjk", 6, 0},    // nowhere to break
        {"abc", 2, 0},         // too short
        {"hello world", 0, 0}, // outside the text
        {"hello world", 12, 0},
        {"hello world", -3, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LineBreakPos(c.s, c.p), c.want) << c.s << " " << c.p;
}

TEST(TextHelpers, EanValid)
{
    const struct {
        const char* code;
        bool want;
    } cases[] = {
        {"4006381333931", true},  // EAN-13
        {"96385074", true},       // EAN-8
        {"036000291452", true},   // UPC-A
        {"4006381333932", false}, // wrong check digit
        {"96385075", false},
        {"036000291453", false},
        {"400638 1333931", false},  // inner blank
        {"  4006381333931 ", true}, // surrounding blanks
        {"40063813339", false},     // 11 digits
        {"400638133393A", false},
        {"", false},
        {"   ", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EanValid(c.code), c.want) << c.code;
}

TEST(TextHelpers, CheckId8)
{
    const struct {
        const char* text;
        int want;
    } cases[] = {
        {"25596641", 0}, {"25596642", 1}, {"123455", 0}, // six digits: the padding blanks count 0
        {"123456", 1},   {"-123455", 1},  {" 123455", 1},
        {"123455 ", 1},  {"+123455", 1},  {"125596641", 1}, // nine digits
        {"", 1},         {"12a4", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckId8(c.text), c.want) << c.text;
}

TEST(TextHelpers, NormalizeName)
{
    const struct {
        std::string in;
        const char* want;
    } cases[] = {
        {"NEMOCNICE,BENESOV", "BENESOV"},
        {"L\x82k\xA0rna, U And\x88la", "U ANDELA"}, // data code page
        {"Nemocnice T\xE1"
         "bor",
         "TABOR"},                 // code page 1250
        {"FARMLEKARNAX", "FARMX"}, // inside a longer word
        {"LEKLEKARAR", ""},        // removal joins a new occurrence
        {"\x97stav 12 - Praha", "12 PRAHA"},
        {"  a--b  ", "A B"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NormalizeNameA(c.in), c.want) << c.in;
        EXPECT_EQ(NormalizeNameB(c.in), c.want) << c.in;
    }
}

TEST(TextHelpers, DistinctChars)
{
    EXPECT_EQ(DistinctChars(""), 0);
    EXPECT_EQ(DistinctChars("aaa"), 1);
    EXPECT_EQ(DistinctChars("abca"), 3);
    EXPECT_EQ(DistinctChars("\x80\x81\x80"), 2);
}

TEST(TextHelpers, Pack6ToInt)
{
    EXPECT_EQ(Pack6ToInt(""), 0u);
    EXPECT_EQ(Pack6ToInt("!"), 1u);
    EXPECT_EQ(Pack6ToInt("AB"), 33u * 64 + 34);
    // A byte below 32 sets no bits above its own six.
    EXPECT_EQ(Pack6ToInt("\x01\x01"), 33u * 64 + 33);
    EXPECT_EQ(Pack6ToInt("!!!!!!"), 1090785345u);
    // Only the low 32 bits remain: the seventh character's first pushes out.
    EXPECT_EQ(Pack6ToInt("!!!!!!!"), 1090785345u);
}

TEST(TextHelpers, CompactDateStr)
{
    const struct {
        const char* code;
        bool zeros;
        const char* want;
    } cases[] = {
        {"2453", false, "3.5.2024"},
        {"2453", true, "03.05.2024"},
        {"25CV", false, "31.12.2025"},
        {"25AA", true, "10.10.2025"},
        {"24C1", false, "1.12.2024"},
        {"2453xyz", false, "3.5.2024"},
        {"245", false, ""},
        {"", false, ""},
        {" 453", false, ""},
        {"24a1", false, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CompactDateStr(c.code, c.zeros), c.want) << c.code;
}

TEST(TextHelpers, CodeToCompact)
{
    const struct {
        const char* code;
        const char* want;
    } cases[] = {
        {"11", "B"},
        {"U.12.3", "U123"},
        {"01.10.03.00", "1A30"},
        {"01.10.03.0", "1A30"},  // a 10-character code gets its last "0"
        {"12.34.05.00", "C  ~"}, // 34 is out of range: building stops
        {"31.31.31.31", "VVVV"},
        {"00.01.01.01", "   ~"}, // the first three groups start at 1
        {"01.02.03.32", "123~"},
        {"ab.01.01.01", "   ~"}, // not two digits
        {"", ""},
        {"123", "~"},
        {"X.12.3", "~"},
        {"U1234", "~"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CodeToCompact(c.code), c.want) << c.code;
}

TEST(TextHelpers, CompactToCode)
{
    const struct {
        const char* compact;
        const char* want;
    } cases[] = {
        {"1A30", "01.10.03.00"}, {"C  ~", "12"}, // a partial code ends at its first non-digit
        {"123~", "01.02.03"},    {"~", ""},      {"B", "11"},  {"B   ", "11"}, {"U123", "U.12.3"},
        {"VVVV", "31.31.31.31"}, {"", ""},       {" 123", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CompactToCode(c.compact), c.want) << c.compact;
    for (const char* code : {"01.10.03.00", "U.12.3", "11", "31.31.31.31"})
        EXPECT_EQ(CompactToCode(CodeToCompact(code)), code);
}
