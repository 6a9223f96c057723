// The ATC tree as pure operations over the codes of the code index and the
// list's Filter words: the visible rows and their "+"/"-" symbols after each
// tree key, and the order a typed text asks for.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lists/codes/atc_list.h"

namespace {

// Two main groups with codes of 1, 3, 4, 5 and 7 characters.
const std::vector<std::string> kCodes = {
    "A",       "A02", "A02B", "A02BC", "A02BC01", "A02BC02", "A03",     "A03A", "A03AD",
    "A03AD02", "N",   "N02",  "N02B",  "N02BE",   "N02BE01", "N02BE51", "N05",  "N05B",
};

int32_t At(const std::string& code)
{
    return AtcCodePosition(kCodes, code);
}

// The visible rows, each with its tree column when it holds a symbol
// ("A02 -" for an expanded node of three characters).
std::vector<std::string> Shown(const std::vector<uint16_t>& filter)
{
    std::vector<std::string> out;
    for (size_t p = 0; p < kCodes.size(); ++p) {
        if (!FilterBit(filter, static_cast<int32_t>(p)))
            continue;
        std::string column = TreeColumn(kCodes, filter, static_cast<int32_t>(p));
        while (!column.empty() && column.back() == ' ')
            column.pop_back();
        out.push_back(column.empty() ? kCodes[p] : kCodes[p] + " " + column);
    }
    return out;
}

using Rows = std::vector<std::string>;

TEST(AtcListTree, StartsCollapsedToTheMainGroups)
{
    const std::vector<uint16_t> filter = TopLevelFilter(kCodes);
    EXPECT_EQ(filter.size(), kCodes.size() / 16 + 1);
    EXPECT_EQ(Shown(filter), (Rows{"A +", "N +"}));
}

TEST(AtcListTree, KeysOnNodesOfEveryLength)
{
    struct Step {
        char key;
        const char* node;
    };
    struct Case {
        const char* name;
        const char* typedFirst; // a code typed before the keys: its entry shows
        std::vector<Step> steps;
        Rows shown;
        const char* prefix; // after the last step
    };
    const Case cases[] = {
        {"'=' opens one level", nullptr, {{'+', "A"}}, {"A -", "A02  +", "A03  +", "N +"}, ""},
        {"'.' goes into the node and opens it",
         nullptr,
         {{'+', "A"}, {'>', "A02"}},
         {"A -", "A02  -", "A02B   +", "A03  +", "N +"},
         "A02"},
        {"a four-character node opens its five-character level",
         nullptr,
         {{'+', "A"}, {'+', "A02"}, {'+', "A02B"}},
         {"A -", "A02  -", "A02B   -", "A02BC    +", "A03  +", "N +"},
         ""},
        {"a five-character node opens its substances",
         nullptr,
         {{'+', "A"}, {'+', "A02"}, {'+', "A02B"}, {'+', "A02BC"}},
         {"A -", "A02  -", "A02B   -", "A02BC    -", "A02BC01", "A02BC02", "A03  +", "N +"},
         ""},
        {"'_' hides the whole subtree, however deep",
         nullptr,
         {{'+', "A"}, {'+', "A02"}, {'+', "A02B"}, {'+', "A02BC"}, {'-', "A"}},
         {"A +", "N +"},
         ""},
        {"'_' on an inner node keeps its siblings",
         nullptr,
         {{'+', "A"}, {'+', "A02"}, {'+', "A02B"}, {'-', "A02"}},
         {"A -", "A02  +", "A03  +", "N +"},
         ""},
        {"a substance has no level below it",
         nullptr,
         {{'+', "A02BC01"}, {'-', "A02BC01"}},
         {"A +", "N +"},
         ""},
        {"',' on a substance goes to its five-character group",
         "A02BC01",
         {{'<', "A02BC01"}},
         {"A -", "A02  -", "A02B   -", "A02BC    -", "A02BC01", "A02BC02", "A03  +", "N +"},
         "A02BC"},
        {"',' on a five-character group goes to four",
         "A02BC",
         {{'<', "A02BC"}},
         {"A -", "A02  -", "A02B   -", "A02BC    -", "A02BC01", "A02BC02", "A03  +", "N +"},
         "A02B"},
        {"',' on a four-character group goes to three",
         "A02B",
         {{'<', "A02B"}},
         {"A -", "A02  -", "A02B   -", "A02BC    +", "A03  +", "N +"},
         "A02"},
        {"',' on a three-character group goes to the main group",
         "N02",
         {{'<', "N02"}},
         {"A +", "N -", "N02  -", "N02B   +", "N05  +"},
         "N"},
        {"',' on a main group empties the prefix", "N", {{'<', "N"}}, {"A +", "N -", "N02  +", "N05  +"}, ""},
        {"'.' on a substance only types it",
         "N02BE",
         {{'>', "N02BE51"}},
         {"A +", "N -", "N02  -", "N02B   -", "N02BE    -", "N02BE01", "N02BE51", "N05  +"},
         "N02BE51"},
    };
    for (const Case& c : cases) {
        std::vector<uint16_t> filter = TopLevelFilter(kCodes);
        std::string prefix;
        if (c.typedFirst != nullptr)
            RevealEntry(kCodes, filter, At(c.typedFirst));
        for (const Step& s : c.steps)
            ASSERT_TRUE(ApplyTreeKey(kCodes, filter, At(s.node), s.key, prefix)) << c.name;
        EXPECT_EQ(Shown(filter), c.shown) << c.name;
        EXPECT_EQ(prefix, c.prefix) << c.name;
    }
}

TEST(AtcListTree, ATypedCodeShowsTheWayDownToItsEntry)
{
    std::vector<uint16_t> filter = TopLevelFilter(kCodes);
    RevealEntry(kCodes, filter, At("N02BE01"));
    EXPECT_EQ(Shown(filter),
              (Rows{"A +", "N -", "N02  -", "N02B   -", "N02BE    -", "N02BE01", "N02BE51", "N05  +"}));
    filter = TopLevelFilter(kCodes);
    RevealEntry(kCodes, filter, At("A03"));
    EXPECT_EQ(Shown(filter), (Rows{"A -", "A02  +", "A03  -", "A03A   +", "N +"}));
}

TEST(AtcListTree, NoNodeNoChange)
{
    std::vector<uint16_t> filter = TopLevelFilter(kCodes);
    std::string prefix = "X";
    EXPECT_FALSE(ApplyTreeKey(kCodes, filter, -1, '+', prefix));
    EXPECT_FALSE(ApplyTreeKey(kCodes, filter, static_cast<int32_t>(kCodes.size()), '+', prefix));
    EXPECT_EQ(prefix, "X");
    EXPECT_EQ(AtcCodePosition(kCodes, "A0"), -1);
    EXPECT_EQ(At("N05B"), static_cast<int32_t>(kCodes.size()) - 1);
    // The last entry has no next one to show a symbol for.
    EXPECT_EQ(TreeColumn(kCodes, filter, At("N05B")), "    ");
}

TEST(AtcListTree, TypedCharactersAsTreeKeys)
{
    EXPECT_EQ(TreeKeyOfTyped(','), '<');
    EXPECT_EQ(TreeKeyOfTyped('.'), '>');
    EXPECT_EQ(TreeKeyOfTyped('='), '+');
    EXPECT_EQ(TreeKeyOfTyped('_'), '-');
    EXPECT_EQ(TreeKeyOfTyped('/'), 0);
    EXPECT_EQ(TreeKeyOfTyped('A'), 0);
}

TEST(AtcListTree, TheOrderTypedTextAsksFor)
{
    struct Case {
        const char* typed;
        char letter;
        char expected;
    };
    const Case cases[] = {
        {"", 'N', 'C'},    {"A", 'N', 'C'},  {"V", 'C', 'C'},       {"E", 'C', 'N'},   {"K", 'c', 'n'},
        {"A1", 'C', 'C'},  {"AS", 'C', 'N'}, {"AS", 'c', 'n'},      {"N02", 'n', 'c'}, {"W0", 'C', 'N'},
        {"A1X", 'N', 'C'}, {"1A", 'C', 'N'}, {"N02BE01", 'N', 'C'},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AtcOrderLetter(c.typed, c.letter), c.expected) << '"' << c.typed << "\" in " << c.letter;
}

TEST(AtcListTree, FilterBitsOutsideTheWordsAreClearAndStayClear)
{
    std::vector<uint16_t> filter(2, 0);
    SetFilterBit(filter, 17, true);
    SetFilterBit(filter, 32, true); // beyond the words
    SetFilterBit(filter, -1, true);
    EXPECT_EQ(filter, (std::vector<uint16_t>{0, 2}));
    EXPECT_TRUE(FilterBit(filter, 17));
    EXPECT_FALSE(FilterBit(filter, 32));
    EXPECT_FALSE(FilterBit(filter, -1));
}

} // namespace
