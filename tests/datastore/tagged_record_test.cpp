#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "datastore/tagged_record.h"

using namespace std::string_literals;

namespace {
const std::string kHead = "\x01\xE1\xF5\x05"s;
}

TEST(TaggedRecord, ExampleRecordByteForByte)
{
    TTaggedRecord r;
    ASSERT_TRUE(PutTaggedField(r, 5, "abc"));
    EXPECT_EQ(r, kHead + "\xA2"
                         "abc \x00"s);
    EXPECT_EQ(GetTaggedField(r, 5), "abc");
    EXPECT_EQ(GetTaggedField(r, 8), kHead);
    ASSERT_TRUE(PutTaggedField(r, 5, ""));
    EXPECT_EQ(r, kHead + "\x00"s);
    EXPECT_EQ(GetTaggedField(r, 5), "");
}

TEST(TaggedRecord, ItemsKeepTypeOrderAndReplaceTheirOwnType)
{
    TTaggedRecord r;
    ASSERT_TRUE(PutTaggedField(r, 6, "six!"));
    ASSERT_TRUE(PutTaggedField(r, 2, "tw"));
    ASSERT_TRUE(PutTaggedField(r, 7, "seven"));
    ASSERT_TRUE(PutTaggedField(r, 0, "zero"));
    EXPECT_EQ(r, kHead + "\x02zero"s + "\x41tw"s + "\xC2six!"s + "\xE3seven "s + "\x00"s);
    ASSERT_TRUE(PutTaggedField(r, 6, "sixty-six"));
    EXPECT_EQ(GetTaggedField(r, 6), "sixty-six");
    EXPECT_EQ(GetTaggedField(r, 7), "seven");
    EXPECT_EQ(GetTaggedField(r, 2), "tw");
    EXPECT_EQ(GetTaggedField(r, 0), "zero");
    EXPECT_EQ(GetTaggedField(r, 1), "");
    // Types 0-3 keep the padding blank, 4-7 drop it.
    ASSERT_TRUE(PutTaggedField(r, 3, "odd"));
    ASSERT_TRUE(PutTaggedField(r, 4, "odd"));
    EXPECT_EQ(GetTaggedField(r, 3), "odd ");
    EXPECT_EQ(GetTaggedField(r, 4), "odd");
}

TEST(TaggedRecord, HeadAndLongValues)
{
    TTaggedRecord r;
    ASSERT_TRUE(PutTaggedField(r, 8, "\x10\x27\x00\x00xyz"s));
    EXPECT_EQ(GetTaggedField(r, 8), "\x10\x27\x00\x00"s);
    ASSERT_TRUE(PutTaggedField(r, 8, "ab"));
    EXPECT_EQ(GetTaggedField(r, 8), "\x02\xE1\xF5\x05"s);
    ASSERT_TRUE(PutTaggedField(r, 1, std::string(70, 'x')));
    EXPECT_EQ(GetTaggedField(r, 1), std::string(62, 'x'));
    EXPECT_EQ(static_cast<unsigned char>(r[4]), 0x20 | 31);
}

TEST(TaggedRecord, ShortRecordsReadAsTheResetRecord)
{
    for (const std::string& rec : {""s, "\x07"s, "abcd"s}) {
        TTaggedRecord r = rec;
        EXPECT_EQ(GetTaggedField(r, 8), kHead);
        EXPECT_EQ(GetTaggedField(r, 0), "");
        EXPECT_EQ(r, rec) << "a read changes nothing";
    }
}

TEST(TaggedRecord, RefusedPutsLeaveTheRecordUnchanged)
{
    TTaggedRecord r;
    ASSERT_TRUE(PutTaggedField(r, 2, "keep"));
    // 199 bytes: head, "keep", three full items and the end mark.
    for (int t : {3, 4, 5})
        ASSERT_TRUE(PutTaggedField(r, t, std::string(62, 'a' + t)));
    ASSERT_EQ(r.size(), 4u + 5 + 3 * 63 + 1);
    const TTaggedRecord before = r;
    const struct {
        int type;
        std::string value;
    } refused[] = {
        {0, "a"}, // tag 0x01: the end mark
        {0, "ab"},
        {6, std::string(62, 'z')}, // would pass 255 bytes
        {2, std::string(62, 'z')}, // replacing, also too long: old item stays
        {9, "x"},
        {-1, "x"},
    };
    for (const auto& c : refused) {
        EXPECT_FALSE(PutTaggedField(r, c.type, c.value)) << c.type;
        EXPECT_EQ(r, before) << c.type;
    }
    EXPECT_EQ(GetTaggedField(r, 2), "keep");
    EXPECT_EQ(GetTaggedField(r, 9), "");
    // A type-0 value of 3 or more bytes is stored normally.
    TTaggedRecord s;
    EXPECT_TRUE(PutTaggedField(s, 0, "abc"));
    EXPECT_EQ(GetTaggedField(s, 0), "abc ");
}

TEST(TaggedRecord, DamagedRecordReadsWithoutPassingItsEnd)
{
    // The second item claims 62 bytes but the record ends after 3.
    TTaggedRecord r = kHead + "\x41tw"s + "\xBFxyz"s;
    EXPECT_EQ(GetTaggedField(r, 2), "tw");
    EXPECT_EQ(GetTaggedField(r, 5), "");
    // No end mark at all: the record's end ends the list.
    r = kHead + "\x41tw"s;
    EXPECT_EQ(GetTaggedField(r, 2), "tw");
    EXPECT_TRUE(PutTaggedField(r, 3, "xy"));
    EXPECT_EQ(r, kHead + "\x41tw"s + "\x61xy"s);
}

TEST(TaggedRecord, UserNameComesFromTheAccount)
{
    std::string name = WinUserName();
    EXPECT_FALSE(name.empty());
    EXPECT_LE(name.size(), 255u);
}

TEST(PackText6, PinnedSamples)
{
    // Pinned so that the mapping cannot change unnoticed: packed texts are
    // stored and compared elsewhere.
    EXPECT_EQ(PackText6(""), "");
    EXPECT_EQ(PackText6("KALVO"), "L4acV");
    // 7 characters make two groups of 5 symbols; the second group's four
    // padding symbols are dropped.
    EXPECT_EQ(PackText6("Abcdefg"), "17O1bD");
    // Case and diacritics fold (data code page "š" 0xA8, "Š" 0x9B); digits
    // share codes by d mod 5.
    EXPECT_EQ(PackText6("kalvo"), PackText6("KALVO"));
    EXPECT_EQ(PackText6("\xA8"), PackText6("S"));
    EXPECT_EQ(PackText6("\x9B"), PackText6("s"));
    EXPECT_EQ(PackText6("1"), PackText6("6"));
    EXPECT_NE(PackText6("1"), PackText6("2"));
}
