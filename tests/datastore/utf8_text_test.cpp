#include <gtest/gtest.h>

#include <string>

#include "datastore/utf8_text.h"

namespace {

struct StripCase {
    const char* in;
    const char* out;
};

TEST(StripTagsAndEntities, RemovesTagsAndOnlyTheFourEntities)
{
    const StripCase cases[] = {
        {"<b>Tučné</b> písmo", "Tučné písmo"},
        {"a <br/> b", "a  b"},
        {"1 &lt; 2 &amp;&amp; 3 &gt; 2", "1 < 2 &amp;&amp; 3 > 2"},
        {"&quot;x&quot;&nbsp;y", "\"x\" y"},
        {"&#269;&#x10D;", "&#269;&#x10D;"}, // numeric references stay
        {"a > b <c>d", "a > b <c>d"},       // a ">" before the first "<" ends the deletion
        {"<unclosed", "<unclosed"},
        {"x<a>y<b", "xy<b"},
        {"&lt;i&gt;kept&lt;/i&gt;", "<i>kept</i>"}, // escaped markup survives one pass
        {"", ""},
    };
    for (const StripCase& c : cases) {
        std::string s = c.in;
        StripTagsAndEntities(s);
        EXPECT_EQ(s, c.out) << c.in;
    }
    std::string nbsp = "a\xA0"
                       "b";
    StripTagsAndEntities(nbsp);
    EXPECT_EQ(nbsp, "a b");
}

TEST(Utf8ToText, ConvertsToCodePage1250AndStrips)
{
    // "Žluťoučký kůň" in UTF-8 becomes its code page 1250 bytes.
    EXPECT_EQ(Utf8ToText("\xC5\xBD"
                         "lu\xC5\xA5ou\xC4\x8D"
                         "k\xC3\xBD k\xC5\xAF\xC5\x88"),
              "\x8Elu\x9Dou\xE8k\xFD k\xF9\xF2");
    EXPECT_EQ(Utf8ToText("<erp:x>1 tbl\xC2\xA0r\xC3\xA1no</erp:x>"), "1 tbl r\xE1no");
    // A character outside the code page and broken sequences become "?".
    EXPECT_EQ(Utf8ToCodePage("\xE2\x82\xAC \xE4\xB8\xAD"), "\x80 ?");
    EXPECT_EQ(Utf8ToCodePage("a\xC3"), "a?");
    EXPECT_EQ(Utf8ToCodePage("\xC0\xAF|\xED\xA0\x80|\xFF"), "??|???|?");
}

TEST(LooksLikeUtf8, NeedsWellFormedMultiByteText)
{
    EXPECT_TRUE(LooksLikeUtf8("Ibalgin \xC4\x8D"));
    EXPECT_FALSE(LooksLikeUtf8("plain ascii"));
    EXPECT_FALSE(LooksLikeUtf8("Ibalgin \xE8\xE1")); // code page 1250 letters
    EXPECT_FALSE(LooksLikeUtf8("\xC4\x8D\xE8"));
    EXPECT_FALSE(LooksLikeUtf8(""));
}

} // namespace
