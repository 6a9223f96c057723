#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datastore/ctrl_text.h"
#include "datastore/packed_text.h"
#include "tests/support/bytes.h"

namespace {

// A short name keeps the byte tables below on one line each.
constexpr auto B = test_support::Bytes;

// One line per item: "T off len", "C code off", "P code off len [values] [!]".
std::vector<std::string> Walk(std::string_view text)
{
    std::vector<std::string> out;
    CtrlTokenizer walk(text);
    CtrlItem item;
    while (walk.Next(item)) {
        std::string line;
        switch (item.kind) {
        case CtrlItemKind::Text:
            line = "T " + std::to_string(item.offset) + " " + std::to_string(item.length);
            break;
        case CtrlItemKind::Code:
            line = "C" + std::to_string(item.code) + " " + std::to_string(item.offset);
            break;
        case CtrlItemKind::Params:
            line = "P" + std::to_string(item.code) + " " + std::to_string(item.offset) + " " +
                   std::to_string(item.length);
            for (int v : CtrlPairValues(text, item))
                line += " " + std::to_string(v);
            if (item.truncated)
                line += " !";
            break;
        }
        out.push_back(line);
    }
    return out;
}

using Lines = std::vector<std::string>;

} // namespace

TEST(CtrlTokenizer, ItemsOfByteCases)
{
    struct Case {
        const char* name;
        std::string bytes;
        Lines items;
    };
    const Case cases[] = {
        {"code 18 value 11", B({18, 11, 16}), {"P18 0 3 11"}},
        {"code 19 value 1", B({19, 1, 16}), {"P19 0 3 1"}},
        {"code 18 value 27", B({18, 27, 16}), {"P18 0 3 27"}},
        {"12-bit value from the high nibble", B({22, 0x34, 0xF2}), {"P22 0 3 564"}},
        {"text, codes, text",
         B({'A', 'b', 14, 127, 0xE1, 6, 'x'}),
         {"T 0 2", "C14 2", "T 3 2", "C6 5", "T 6 1"}},
        {"three pairs skip onto the next byte",
         B({24, 160, 0, 145, 0, 5, 17, 'Z'}),
         {"P24 0 7 160 145 261", "T 7 1"}},
        {"a pair may hold a 0 and a byte below 32", B({24, 0, 1, 3, 16, 'a'}), {"P24 0 5 256 3", "T 5 1"}},
        {"a lone 0 before text is reported, the walk goes on", B({0, 'A', 0}), {"C0 0", "T 1 1", "C0 2"}},
        {"truncated: no pair at all", B({'A', 20}), {"T 0 1", "P20 1 1 !"}},
        {"truncated: half a pair", B({20, 5}), {"P20 0 2 !"}},
        {"truncated: the pairs never close", B({24, 1, 2, 3, 4}), {"P24 0 5 513 1027 !"}},
        {"a code 16..31 as a high byte closes the pair", B({21, 3, 2 + 16, 6}), {"P21 0 3 515", "C6 3"}},
        {"empty", "", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Walk(c.bytes), c.items) << c.name;
}

TEST(CtrlTokenizer, TruncatedItemEndsTheWalkAndPeekAgrees)
{
    const std::string t = B({'a', 24, 1, 2, 3});
    CtrlTokenizer walk(t);
    CtrlItem item, peeked;
    ASSERT_TRUE(walk.Peek(peeked));
    ASSERT_TRUE(walk.Next(item));
    EXPECT_EQ(peeked.offset, item.offset);
    ASSERT_TRUE(walk.Next(item));
    EXPECT_TRUE(item.truncated);
    EXPECT_EQ(item.End(), 5);
    EXPECT_FALSE(walk.Next(item));
    EXPECT_FALSE(walk.Peek(item));
    EXPECT_TRUE(walk.AtEnd());
    // Only whole pairs are read.
    CtrlItemAt(t, 1, item);
    EXPECT_EQ(item.PairCount(), 1);
    EXPECT_EQ(CtrlPairValue(t, item, 0), 1 + (2 << 8));
    EXPECT_EQ(CtrlPairValue(t, item, 1), 0) << "half a pair is not read";
}

TEST(CtrlTokenizer, EndAndCutsGoItemByItem)
{
    // The 0 inside code 18's pair does not end the text; the code 0 does.
    const std::string t = B({'A', 18, 0, 16, 'B', 0, 'C'});
    EXPECT_EQ(CtrlTextUpToEnd(t), B({'A', 18, 0, 16, 'B'}));
    EXPECT_EQ(CtrlTextUpToEnd("abc"), "abc");

    // A cut never splits a code: inside code 24 it falls back before it.
    const std::string u = B({'x', 'y', 24, 1, 0, 2, 16, 'z'});
    EXPECT_EQ(CtrlLastWholeItemEnd(u), 8);
    EXPECT_EQ(CtrlLastWholeItemEnd(u, 5), 2);
    EXPECT_EQ(CtrlLastWholeItemEnd(u, 7), 7);
    EXPECT_EQ(CtrlLastWholeItemEnd(u, 1), 1) << "text runs may be cut anywhere";
    EXPECT_EQ(CtrlLastWholeItemEnd(B({'x', 24, 1, 2})), 1) << "a truncated code is dropped";
}

TEST(CtrlTokenizer, StringParameters)
{
    struct Case {
        std::string text;
        std::string back;
    };
    const Case cases[] = {
        {"ABCDE", "ABCDE"},   // five characters: three pairs, the last second half 0
        {"OBSAH_", "OBSAH_"}, // even
        {"X", "X"},           // odd: a closing blank
        {" ABC", " ABC"},     // a leading blank round-trips
        {"@1", "@1"},         {"", ""},
    };
    for (const Case& c : cases) {
        CtrlTextWriter w;
        w.CodeString(26, c.text).Text("tail");
        const std::string t = w.Bytes();
        CtrlItem item;
        ASSERT_TRUE(CtrlItemAt(t, 0, item));
        EXPECT_FALSE(item.truncated) << c.text;
        EXPECT_EQ(item.PairCount(), std::max<int>(1, (static_cast<int>(c.text.size()) + 1) / 2)) << c.text;
        EXPECT_EQ(CtrlStringParam(t, item), c.back) << c.text;
        EXPECT_EQ(t.substr(static_cast<size_t>(item.End())), "tail") << c.text;
    }

    // The five characters laid out by hand: A=33 B=34 C=35 D=36 E=37.
    CtrlTextWriter w;
    w.CodeString(26, "ABCDE");
    EXPECT_EQ(w.Bytes(), B({26, 33 | (2 << 6), 8, 35 | (0 << 6), 9, 37, 0 + 16}));

    // A picture: two numbers, then the name.
    CtrlTextWriter p;
    p.CodeString(25, "P1", {300, 0x123});
    CtrlItem item;
    ASSERT_TRUE(CtrlItemAt(p.Bytes(), 0, item));
    EXPECT_EQ(CtrlPairValue(p.Bytes(), item, 0), 300);
    EXPECT_EQ(CtrlPairValue(p.Bytes(), item, 1), 0x123);
    EXPECT_EQ(CtrlStringParam(p.Bytes(), item, 2), "P1");
}

TEST(CtrlTextWriter, BytesLaidOutByHand)
{
    CtrlTextWriter w;
    w.Code(19, {1}).Text("Nazev").Code(7).Code(12);
    w.Code(24, {160, 145, 0x2F0, 96}).Code(22, {0x010}).Code(23, {0x411}).Code(4);
    w.Code(21, {0x0F41}).Code(31, {1}).Code(31, {0});
    w.Field(B({'a', 0, 'b', 13, 'c'}));
    w.Code(18, {4096 + 11}); // masked to 12 bits
    EXPECT_EQ(w.Bytes(), B({19,   1,  16, 'N', 'a', 'z',  'e', 'v', 7,    12,     24, 160, 0,    145,     0,
                            0xF0, 2,  96, 16,  22,  0x10, 16,  23,  0x11, 4 + 16, 4,  21,  0x41, 15 + 16, 31,
                            1,    16, 31, 0,   16,  'a',  ' ', 'b', ' ',  'c',    18, 11,  16}));
    // A code below 16 never takes pairs; a code 16..31 always has one.
    EXPECT_EQ(CtrlCodeBytes(9, {5}), B({9}));
    CtrlTextWriter z;
    z.Code(31);
    EXPECT_EQ(z.Bytes(), B({31, 0, 16}));
}

TEST(CtrlTextWriter, RecordTextByteGroups)
{
    // The groups the record texts are made of, as their byte table gives them.
    struct Case {
        const char* name;
        std::string written;
        std::string bytes;
    };
    const Case cases[] = {
        {"heading", CtrlTextWriter().Code(18, {11}).Take(), B({0x12, 0x0B, 0x10})},
        {"drug table", CtrlTextWriter().Code(14).Code(24, {112, 1, 57, 199}).Take(),
         B({0x0E, 0x18, 0x70, 0x00, 0x01, 0x00, 0x39, 0x00, 0xC7, 0x10})},
        {"device table", CtrlTextWriter().Code(14).Code(24, {112, 1, 50, 200}).Take(),
         B({0x0E, 0x18, 0x70, 0x00, 0x01, 0x00, 0x32, 0x00, 0xC8, 0x10})},
        {"emphasis", CtrlTextWriter().Code(20, {1}).Code(20, {0}).Take(),
         B({0x14, 0x01, 0x10, 0x14, 0x00, 0x10})},
        {"hint", CtrlTextWriter().Code(31, {1}).Text("h").Code(31, {0}).Take(),
         B({0x1F, 0x01, 0x10, 'h', 0x1F, 0x00, 0x10})},
        {"code item", CtrlTextWriter().Code(22, {32}).Take(), B({0x16, 0x20, 0x10})},
        {"section end, paragraph, break", CtrlTextWriter().Code(4).Code(14).Code(13).Take(),
         B({0x04, 0x0E, 0x0D})},
        {"limitation marker", CtrlTextWriter().Code(18, {8}).Take(), B({0x12, 0x08, 0x10})},
        {"indication marker", CtrlTextWriter().Code(19, {30}).Take(), B({0x13, 0x1E, 0x10})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.written, c.bytes) << c.name;
}

TEST(CtrlTextWriter, WhatTheWriterWritesWalksBackValueForValue)
{
    CtrlTextWriter w;
    const std::vector<int> widths = {0, 1, 255, 256, 4095, 17, 31};
    w.Code(24, widths).Text("x").Code(0);
    CtrlTokenizer walk(w.Bytes());
    CtrlItem item;
    ASSERT_TRUE(walk.Next(item));
    EXPECT_EQ(CtrlPairValues(w.Bytes(), item), widths);
    ASSERT_TRUE(walk.Next(item));
    EXPECT_TRUE(item.IsText());
    ASSERT_TRUE(walk.Next(item));
    EXPECT_TRUE(item.IsCode(0));
    EXPECT_FALSE(walk.Next(item));
}
