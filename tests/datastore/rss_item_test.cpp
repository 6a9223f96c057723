// The news cache read back: dates, identifiers, line ends, the item rules
// and feeds built to break the reader.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <string>
#include <vector>

#include "datastore/rss_item.h"
#include "datastore/utf8_text.h"
#include "platform/fs.h"

namespace {

std::vector<RssItem> ReadAll(std::string_view bytes, size_t max = 100000)
{
    RssLineReader in(bytes);
    std::vector<RssItem> items;
    RssItem item;
    while (items.size() < max && ReadRssItem(in, item))
        items.push_back(item);
    return items;
}

std::string Cp(const char* utf8)
{
    return Utf8ToCodePage(utf8);
}

TEST(RssDateText, ReadsDayMonthAndYear)
{
    const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int m = 0; m < 12; ++m)
        EXPECT_EQ(RssDateText(std::string("Mon, 15 ") + months[m] + " 2025 10:00:00 +0100"),
                  "15." + std::to_string(m + 1) + ".2025")
            << months[m];
    const std::pair<const char*, const char*> cases[] = {
        {"08 Dec 2014", "8.12.2014"},
        {"Mon, 08 Dec 2014 10:00:00 +0100", "8.12.2014"},
        {"Thu, 1 Jan 2026 00:00:00 GMT", "1.1.2026"}, // a one-digit day
        {"30 Dec 2025 10:00:00 +0100", "30.12.2025"}, // no weekday
        {"Sun,2 Mar 2025", "2.3.2025"},               // no blank after the comma
        {"Mon, 08 Xyz 2014", "8.1.2014"},             // an unknown month reads as January
        {"Mon", ""},                                  // a short line
        {"8", ""},
        {"", ""},
        {"Mon, 08 Dec 14", ""},    // a two-digit year
        {"Mon, 108 Dec 2014", ""}, // a three-digit day
        {"Mon, 00 Dec 2014", ""},
        {"Mon, 08 De 2014", ""},
        {"2014-12-08T10:00:00Z", ""}, // not an RSS date
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(RssDateText(in), out) << in;
}

TEST(TrailingDigits, NeedsTwoCharactersBeforeTheDigits)
{
    const std::pair<const char*, const char*> cases[] = {
        {"news/1234", "1234"},
        {"https://www.kalvo.example/novinky/2417", "2417"},
        {"1234", ""},
        {"a1234", ""},
        {"ab1", "1"},
        {"news/1234/", ""},
        {"", ""},
        {"clanek?id=3050", "3050"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(TrailingDigits(in), out) << in;
}

TEST(RssLineReader, EndsLinesAtLfCrLfAndLoneCrAndTrims)
{
    RssLineReader in(std::string_view("  a \r\n\tb\rc\n\nd \x01", 16));
    std::vector<std::string> lines;
    std::string line;
    while (in.NextLine(line))
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "", "d"}));
}

TEST(ReadRssItem, FollowsTheLineRules)
{
    const std::string feed =
        "<rss>\n<channel>\n<title>Kanal</title>\n"
        // The maker's shape.
        "<item>\n<title>Prvni</title>\n<link>https://w/n/12</link>\n"
        "<description>Popis &lt;b&gt;tucne&lt;/b&gt; &amp; dal</description>\n"
        "<pubDate>Mon, 08 Dec 2014 10:00:00 +0100</pubDate>\n</item>\n"
        // An empty line ends the item; the rest is skipped.
        "<item>\n<title>Druha polozka</title>\n\n<description>cizi</description>\n</item>\n"
        // "</item>" at the end of a line ends it too.
        "<item>\n<title>Treti polozka</title></item>\n<description>cizi</description>\n"
        // CDATA with markup; a title that holds "<item>" alone on no line.
        "<item>\n<title><![CDATA[A <b>B</b> & C]]></title>\n"
        "<description><![CDATA[<p>x&nbsp;y</p>]]></description>\n</item>\n"
        "</channel></rss>\n";
    const std::vector<RssItem> items = ReadAll(feed);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].title, "Prvni");
    EXPECT_EQ(items[0].link, "https://w/n/12");
    EXPECT_EQ(items[0].description, "Popis tucne &amp; dal");
    EXPECT_EQ(items[0].date, "8.12.2014");
    EXPECT_EQ(items[1].title, "Druha polozka");
    EXPECT_EQ(items[1].description, "");
    EXPECT_EQ(items[2].title, "Treti polozka");
    EXPECT_EQ(items[2].description, "");
    EXPECT_EQ(items[3].title, "A <b>B</b> & C");
    EXPECT_EQ(items[3].description, "x y");
    // The whole feed on one line holds no "<item>" line.
    EXPECT_TRUE(ReadAll("<rss><channel><item><title>X</title></item></channel></rss>").empty());
}

TEST(ReadRssItem, ConvertsUtf8AndBoundsTexts)
{
    const std::string longTitle(10000, 'x');
    const std::string feed =
        "<item>\n<title>Nov\xC3\xA1\tdata</title>\n<description>" + longTitle + "</description>\n</item>\n";
    const std::vector<RssItem> items = ReadAll(feed);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].title, Cp("Nová data"));
    EXPECT_EQ(items[0].description.size(), kRssMaxText);
}

TEST(ReadRssItem, SurvivesHostileFeeds)
{
    const char* files[] = {"rss_binary.rss", "rss_invalid_utf8.rss", "rss_10000_items.rss",
                           "rss_hostile_links.rss"};
    for (const char* name : files) {
        std::string bytes;
        ASSERT_EQ(ReadWholeFile(std::string(QEVW_FIXTURES_DIR) + "/broken/" + name, bytes), 0) << name;
        for (const RssItem& item : ReadAll(bytes)) {
            for (const std::string* text : {&item.date, &item.title, &item.description, &item.link}) {
                EXPECT_LE(text->size(), kRssMaxText) << name;
                for (char c : *text)
                    ASSERT_GE(static_cast<unsigned char>(c), 32u) << name;
            }
        }
    }
    std::string bytes;
    ASSERT_EQ(ReadWholeFile(std::string(QEVW_FIXTURES_DIR) + "/broken/rss_10000_items.rss", bytes), 0);
    EXPECT_EQ(ReadAll(bytes).size(), 10000u);
    ASSERT_EQ(ReadWholeFile(std::string(QEVW_FIXTURES_DIR) + "/broken/rss_hostile_links.rss", bytes), 0);
    const std::vector<RssItem> hostile = ReadAll(bytes);
    ASSERT_EQ(hostile.size(), 5u);
    EXPECT_EQ(hostile[0].link, "file:///etc/passwd/1");
    EXPECT_EQ(hostile[0].date, "");
    EXPECT_EQ(hostile[3].link.size(), kRssMaxText);
    EXPECT_EQ(hostile[4].date, "");
}

TEST(ReadRssItem, ReadsAHugeLineFromAFileInBoundedPieces)
{
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/KALVO.rss";
    std::string bytes = "<item>\n<title>Obri</title>\n<description>";
    bytes.append(64u << 20, 'a');
    bytes += "</description>\n</item>\n<item>\r\n<title>Dalsi</title>\r\n</item>\r\n";
    ASSERT_EQ(WriteFileAtomic(path, bytes), 0);
    bytes.clear();
    bytes.shrink_to_fit();
    RssLineReader in;
    ASSERT_EQ(in.Open(path), 0);
    RssItem item;
    ASSERT_TRUE(ReadRssItem(in, item));
    EXPECT_EQ(item.title, "Obri");
    EXPECT_EQ(item.description.size(), kRssMaxText);
    ASSERT_TRUE(ReadRssItem(in, item));
    EXPECT_EQ(item.title, "Dalsi");
    EXPECT_FALSE(ReadRssItem(in, item));
    // A folder in the cache's place reads as no cache.
    RssLineReader folder;
    EXPECT_NE(folder.Open(dir.path().toStdString()), 0);
    EXPECT_NE(in.Open(path + ".none"), 0);
}

} // namespace
