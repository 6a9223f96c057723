#include <gtest/gtest.h>

#include "datastore/kamenici.h"

TEST(Kamenici, DataCodesSurviveDisplayAndBack)
{
    for (int c = 0; c < 256; ++c) {
        std::string s(1, static_cast<char>(c));
        std::string w = KamToWin(s);
        WinToKamS(w);
        if (c >= 0x7F && c <= 0xAF) {
            EXPECT_EQ(static_cast<unsigned char>(w[0]), c) << c;
        }
    }
    EXPECT_EQ(static_cast<unsigned char>(KamToWin("\x7F")[0]), 0xA0);
    EXPECT_EQ(KamToWin(""), "");
}

TEST(Kamenici, LettersShowAsTheirUnicodeCharacters)
{
    // "Č ü é ď ... ‰ § ° µ" are the data bytes 0x80..0xAF in order.
    std::string all;
    for (int c = 0x80; c <= 0xAF; ++c)
        all.push_back(static_cast<char>(c));
    EXPECT_EQ(KamToQString(all), QString::fromUtf8("ČüéďäĎŤčěĚĹÍľĺÄÁÉžŽôöÓůÚýÖÜŠĽÝŘťáíóúňŇŮÔšřŕŔ‰§°µ"));
    EXPECT_EQ(QStringToKam(QString::fromUtf8("Příliš žluťoučký kůň")),
              std::string("P\xA9\xA1li\xA8 \x91lu\x9Fou\x87k\x98 k\x96\xA4"));
}

TEST(Kamenici, TypographicCharactersBecomeAscii)
{
    std::string s("\x84\x93\x94\x96\x97\x82\x91\x92\xB4\xBD\x8B\x9B\xAD\xA6");
    WinToKamS(s);
    EXPECT_EQ(s, "\"\"\"--''''\"<>-|");
}

TEST(Kamenici, FoldingRows)
{
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"abc-xyz", "ABC XYZ"},
        {"\x7F", " "},
        {"\xAC\xAD", "--"}, // per-mille and section sign
        {"P\xA9\xA1li\xA8 \x91lu\x9Fou\x87k\x98", "PRILIS ZLUTOUCKY"},
        {"\xC8\xE8\xE1\xFD", "CCAY"}, // cp1250 letters fold too
        {"\xFF\xB4", "``"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KamFoldUpper(c.in), c.out) << c.in;
}

TEST(UpperCase, DataCodePageTable)
{
    EXPECT_EQ(UpperTable['a'], 'A');
    EXPECT_EQ(UpperTable['z'], 'Z');
    EXPECT_EQ(UpperTable['1'], '1');
    EXPECT_EQ(UpperTable[0x80], 0x80);
    EXPECT_EQ(UpperTable[0x81], 0x9A); // ü
    EXPECT_EQ(UpperTable[0xA0], 0x8F); // á
    EXPECT_EQ(UpperTable[0xA9], 0x9E); // ř
    EXPECT_EQ(UpperTable[0xAB], 0xC0);
    EXPECT_EQ(UpperTable[0xAC], 0xAC);
}
