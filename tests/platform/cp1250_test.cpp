#include <gtest/gtest.h>

#include "platform/cp1250.h"

TEST(Cp1250, EveryByteSurvivesARoundTripThroughQString)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const QString q = Cp1250ToQString(all);
    ASSERT_EQ(q.size(), 256);
    EXPECT_EQ(QStringToCp1250(q), all);
}

TEST(Cp1250, CzechLettersMapToTheirCodePoints)
{
    struct Case {
        unsigned char byte;
        char16_t unicode;
    };
    const Case cases[] = {
        {0xC8, u'Č'}, {0xE8, u'č'}, {0x8A, u'Š'}, {0x9A, u'š'},      {0x8E, u'Ž'},
        {0x9E, u'ž'}, {0xF8, u'ř'}, {0xF9, u'ů'}, {0xA0, u'\u00A0'}, {0x80, u'€'},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Cp1250ToUnicode(c.byte), c.unicode) << int(c.byte);
        unsigned char back = 0;
        ASSERT_TRUE(UnicodeToCp1250(c.unicode, back));
        EXPECT_EQ(back, c.byte);
    }
}

TEST(Cp1250, StrictUtf8ConversionRejectsWhatTheCodePageCannotHold)
{
    std::string out;
    size_t bad = 99;
    EXPECT_TRUE(Utf8ToCp1250("Žluťoučký kůň", out, &bad));
    EXPECT_EQ(Cp1250ToUtf8(out), "Žluťoučký kůň");
    EXPECT_FALSE(Utf8ToCp1250("ab\xE4\xB8\xAD", out, &bad)); // a CJK character
    EXPECT_EQ(bad, 2u);
    EXPECT_FALSE(Utf8ToCp1250("a\xFF", out, &bad)); // invalid UTF-8
    EXPECT_EQ(QStringToCp1250(QString::fromUtf8("x\xE4\xB8\xADy")), "x?y");
}
