// The loader's news jobs against a loopback server: the feed into its cache,
// the quarterly notice, the zlp package; and the demo feeds read back as the
// start page reads them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/rss_item.h"
#include "datastore/tagged_record.h"
#include "datastore/utf8_text.h"
#include "frame/dates.h"
#include "frame/start/shared_helpers.h"
#include "maintenance/news.h"
#include "maintenance/update_test_support.h"
#include "writers/zip_writer.h"
#include "writers/zlp_writer.h"

namespace {

using namespace updatetest;

std::string RunLogLines()
{
    return RunLogText();
}

int LineCount(const std::string& text)
{
    int n = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
        ++n;
    return n;
}

std::string Feed(const char* name)
{
    return ReadBytes(std::string(QEVW_SOURCE_DIR) + "/demo/news/" + name);
}

std::vector<RssItem> ReadCache(const std::string& path)
{
    RssLineReader in;
    std::vector<RssItem> items;
    if (in.Open(path) != 0)
        return items;
    RssItem item;
    while (ReadRssItem(in, item))
        items.push_back(item);
    return items;
}

class NewsTest : public UpdateFixture {
protected:
    void SetUp() override
    {
        UpdateFixture::SetUp();
        savedDataSet_ = CurrentDataSet();
        SetCurrentDataSet(DataSetCode::Drugs);
        savedDataDir_ = DataDir();
        SetDataDir(running);
        Config().Update([](ConfigValues& v) {
            v.NewsOption = '3';
            v.newsDate = "2000/01/01";
            v.updateBase = ' ';
            v.updateDate.clear();
            v.zlpDate.clear();
            v.zlpSize.clear();
        });
        cache = download + kNewsCacheName;
    }
    void TearDown() override
    {
        SetDataDir(savedDataDir_);
        SetCurrentDataSet(savedDataSet_);
        UpdateFixture::TearDown();
    }

    std::string cache;

private:
    DataSetCode savedDataSet_ = DataSetCode::Drugs;
    std::string savedDataDir_;
};

// --- The cache ---------------------------------------------------------------------

TEST_F(NewsTest, CacheLiesInThePrivateFolderAndNeedsADataSet)
{
    EXPECT_EQ(news::NewsCachePath(), cache);
    // A "KALVO.rss" another user planted in the shared temporary folder is
    // never the cache.
    EXPECT_NE(news::NewsCachePath(), TempFolder() + "KALVO.rss");
    SetCurrentDataSet(DataSetCode::None);
    EXPECT_EQ(news::NewsCachePath(), "");
    server.SetBody("/rss/", Feed("kalvo.rss"));
    news::FetchNews();
    EXPECT_TRUE(Targets().empty());
}

TEST_F(NewsTest, AGoodFeedReplacesTheCacheAndSetsTheNextDate)
{
    const std::string feed = Feed("kalvo.rss");
    server.SetBody("/rss/", feed);
    Config().Update([](ConfigValues& v) { v.NewsOption = '5'; });
    news::FetchNews();
    EXPECT_EQ(ReadBytes(cache), feed);
    EXPECT_EQ(Config().Snapshot().newsDate, DateTextYmd(5));
    EXPECT_EQ(RunLogLines(), "new " + std::to_string(feed.size()) + " e 0\r\n");
    EXPECT_EQ(Targets(), std::vector<std::string>{"/rss/"});
}

TEST_F(NewsTest, AFailedFetchKeepsTheOldCacheAndDate)
{
    const std::string old = Feed("web_cdata.rss");
    WriteBytes(cache, old, 0600);
    struct Case {
        const char* what;
        std::function<void(testhttp::HttpTestServer&)> serve;
        bool failWrite = false;
    };
    const std::vector<Case> cases = {
        {"empty body", [](auto& s) { s.SetBody("/rss/", ""); }},
        {"404 with HTML", [](auto& s) { s.SetBody("/rss/", "<html><body>Not found</body></html>", 404); }},
        {"a portal's page with 200",
         [](auto& s) { s.SetBody("/rss/", "<html><body>Přihlášení</body></html>"); }},
        {"a close mid-body", [](auto& s) { s.SetCut("/rss/", Feed("kalvo.rss"), 200); }},
        {"an unwritable folder", [](auto& s) { s.SetBody("/rss/", Feed("kalvo.rss")); }, true},
    };
    for (const Case& c : cases) {
        ClearRunLog();
        c.serve(server);
        if (c.failWrite) {
            test_support::FailingFileSystem failing;
            failing.failAt = test_support::FailingFileSystem::Step::Create;
            news::FetchNews(failing);
        } else {
            news::FetchNews();
        }
        EXPECT_EQ(ReadBytes(cache), old) << c.what;
        EXPECT_EQ(Config().Snapshot().newsDate, "2000/01/01") << c.what;
        EXPECT_EQ(LineCount(RunLogLines()), 1) << c.what << ": " << RunLogLines();
    }
}

// Each demo feed, served, fetched and read back as the start page reads it.
TEST_F(NewsTest, DemoFeedsReadBackAsWritten)
{
    auto fetch = [&](const char* name) {
        server.SetBody("/rss/", Feed(name));
        news::FetchNews();
        EXPECT_EQ(ReadBytes(cache), Feed(name)) << name;
        return ReadCache(cache);
    };
    const std::vector<RssItem> maker = fetch("kalvo.rss");
    ASSERT_EQ(maker.size(), 4u);
    EXPECT_EQ(maker[0].title, Utf8ToCodePage("Prosincová data jsou připravena"));
    EXPECT_EQ(maker[0].date, "8.12.2025");
    EXPECT_EQ(TrailingDigits(maker[0].link), "2417");
    EXPECT_EQ(maker[3].date, "17.9.2025");

    const std::vector<RssItem> web = fetch("web_cdata.rss");
    ASSERT_EQ(web.size(), 3u);
    EXPECT_EQ(web[0].title, Utf8ToCodePage("Úhrady <b>od ledna</b> & změny")); // CDATA title shown
    EXPECT_EQ(web[0].description, Utf8ToCodePage("Nové úhrady platí od 1. ledna."));
    EXPECT_EQ(web[0].date, "1.1.2026");
    EXPECT_EQ(web[1].title, Utf8ToCodePage("Léky &amp; zdravotnické prostředky")); // "&amp;" kept
    EXPECT_EQ(web[1].description,
              Utf8ToCodePage("Seznam prostředků je doplněn o 40&#160;položek, viz&#x20;web."));
    EXPECT_EQ(web[1].date, "30.12.2025");
    EXPECT_EQ(web[2].title, Utf8ToCodePage("Tabulátory uvnitř textu")); // tabs
    EXPECT_EQ(web[2].description, Utf8ToCodePage("Popis s \"uvozovkami\" a tabulátorem uvnitř."));

    const std::vector<RssItem> sparse = fetch("web_sparse.rss");
    ASSERT_EQ(sparse.size(), 4u);
    EXPECT_EQ(sparse[0].date, "");
    EXPECT_EQ(sparse[0].link, "");
    EXPECT_EQ(sparse[1].description, ""); // the empty line ended the item
    EXPECT_EQ(sparse[2].title, Utf8ToCodePage("Řádky oddělené jen CR"));
    EXPECT_EQ(sparse[2].date, "2.3.2025");
    EXPECT_EQ(sparse[3].title, "");

    const std::vector<RssItem> longFeed = fetch("web_long.rss");
    ASSERT_EQ(longFeed.size(), 2u);
    EXPECT_EQ(longFeed[0].description.size(), kRssMaxText);

    EXPECT_TRUE(fetch("web_oneline.rss").empty());
}

// --- The quarterly notice -------------------------------------------------------------

TEST(QuarterLetter, ReadsTheDigitsAfterTheCentury)
{
    const std::pair<const char*, char> cases[] = {
        {"KALVO 2014.3", 'N'}, {"Data 2026.1", 'B'},          {"KALVO bez roku", '@'}, {"KALVO 20", 'C'},
        {"KALVO 202", 'C'},    {"KALVO 2026.1 (leden)", 'B'}, {"KALVO 20xy", 'C'},     {"", '@'},
    };
    for (const auto& [title, letter] : cases)
        EXPECT_EQ(news::QuarterLetter(title), letter) << title;
}

TEST_F(NewsTest, QuarterlyNoticeOncePerLetter)
{
    const char letter = news::QuarterLetter(LookupText(DataTexts, "Stat", "Nadpis"));
    // A new letter: stored, no request.
    Config().Update([](ConfigValues& v) { v.updateDate = "2025/01/01"; });
    EXPECT_TRUE(news::FetchNewXml());
    EXPECT_EQ(Config().Snapshot().updateBase, letter);
    EXPECT_EQ(Config().Snapshot().updateDate, "");
    EXPECT_EQ(RunLogLines(), std::string("Sq-Ub ") + letter + "\r\n");
    EXPECT_TRUE(Targets().empty());

    // The same letter: the file is asked for; an empty reply or a 404 leaves
    // the date empty.
    const std::string target = "/new" + news::InstallationTag() + ".xml";
    server.SetBody(target, "");
    ClearRunLog();
    EXPECT_TRUE(news::FetchNewXml());
    EXPECT_EQ(Config().Snapshot().updateDate, "");
    server.SetBody(target, "<html>404</html>", 404);
    EXPECT_TRUE(news::FetchNewXml());
    EXPECT_EQ(Config().Snapshot().updateDate, "");
    server.SetBody(target, "<ok/>");
    EXPECT_TRUE(news::FetchNewXml());
    EXPECT_EQ(Config().Snapshot().updateDate, DateTextYmd(0));
    EXPECT_EQ(RunLogLines(), "Sq-Ud \r\nSq-Ud \r\nSq-Ud " + DateTextYmd(0) + "\r\n");
    EXPECT_EQ(Targets(), (std::vector<std::string>{target, target, target}));

    // Sent for this quarter: nothing more.
    EXPECT_FALSE(news::FetchNewXml());
    EXPECT_EQ(Targets().size(), 3u);
}

std::string RecordOf(uint32_t number, const std::string& item6 = {}, const std::string& item7 = {})
{
    TTaggedRecord r;
    std::string head(4, '\0');
    for (int i = 0; i < 4; ++i)
        head[static_cast<size_t>(i)] = static_cast<char>((number >> (8 * i)) & 0xFF);
    EXPECT_TRUE(PutTaggedField(r, kTaggedHead, head));
    if (!item6.empty())
        EXPECT_TRUE(PutTaggedField(r, 6, item6));
    if (!item7.empty())
        EXPECT_TRUE(PutTaggedField(r, 7, item7));
    return r;
}

TEST(InstallationTag, NumberOrNameWorkedByHand)
{
    // 12345679 = 4F 61 BC 00: "T2G8AA", the last dropped, then one "A".
    EXPECT_EQ(news::InstallationTagOf(RecordOf(12345679), ""), "T2G8");
    // 12345678 fails the check digit and 9999 is below the range: the name
    // branch.  "ABCDEF" (6 distinct letters): groups A B C = 1,2,3 -> 0x0443,
    // D E F = 4,5,6 -> 0x10A6: bytes 04 43 10 A6 -> "BEMQpg".
    EXPECT_EQ(news::InstallationTagOf(RecordOf(12345678, "", "ABCDEF"), ""), "BEMQpg");
    EXPECT_EQ(news::InstallationTagOf(RecordOf(9999, "", "ABCDEF"), ""), "BEMQpg");
    // A digit: "ABCDE1" -> 1 becomes code 28; F -> 28: 0x10BC -> 04 43 10 BC.
    // "BEMQvA", its trailing "A" dropped.
    EXPECT_EQ(news::InstallationTagOf(RecordOf(1, "", "ABCDE1"), ""), "BEMQv");
    // Fewer than 6 distinct characters: item 6, or the user's name when it
    // has more.  "AB" -> "AB" + two blanks: 1,2,0 -> 0x0440 -> 04 40 -> "BEA",
    // an "A" dropped.
    EXPECT_EQ(news::InstallationTagOf(RecordOf(1, "AB", "AAA"), "A"), "BE");
    EXPECT_EQ(news::InstallationTagOf(RecordOf(1, "A", "AAA"), "AB"), "BE");
    // Longer than 9 with a blank: "ABCDEFGH IJ" (11) loses 2 characters just
    // before the blank -> "ABCDEF IJ": A B C, D E F, " " I J = 0,9,10 ->
    // 0x012A: 04 43 10 A6 01 2A -> "BEMQpgEq".
    EXPECT_EQ(news::InstallationTagOf(RecordOf(1, "", "ABCDEFGH IJ"), ""), "BEMQpgEq");
    // The cut reaches the blank: "ABC DEFGHIJKL" (13): 4 >= 4, the first
    // word and the blank go -> "DEFGHIJKL": 4,5,6 7,8,9 10,11,12 ->
    // 0x10A6 0x1D09 0x296C -> 10 A6 1D 09 29 6C -> "EKYdCSls".
    EXPECT_EQ(news::InstallationTagOf(RecordOf(1, "", "ABC DEFGHIJKL"), ""), "EKYdCSls");
}

// --- The zlp package -------------------------------------------------------------------

std::string ZlpBytes(uint32_t code)
{
    ZlpSpec spec;
    ZlpThresholdBytes(3, spec.monthBase, spec.fraction);
    spec.letters = "A";
    spec.rows = {{code, std::string(1, '\x02')}};
    return BuildZlpFile(spec);
}

std::string ZipOf(std::vector<std::pair<std::string, std::string>> entries)
{
    std::vector<ZipWriterEntry> e;
    for (auto& [name, data] : entries) {
        ZipWriterEntry entry;
        entry.name = name;
        entry.data = data;
        e.push_back(entry);
    }
    return BuildZip(e);
}

class ZlpPackageTest : public NewsTest {
protected:
    void SetUp() override
    {
        NewsTest::SetUp();
        oldZlp = ZlpBytes(1111);
        WriteBytes(running + "zlp.dat", oldZlp);
        UpdateShared().serverListReady = true;
    }
    void Serve(const std::string& zip, const std::string& listedSize)
    {
        server.SetBody("/files/zlp.zip", zip);
        UpdateShared().SetServerList(NormaliseServerList("kalvo263a.zip,100\nzlp.zip," + listedSize + "\n"),
                                     "");
    }
    void ExpectUnchanged(const char* what)
    {
        EXPECT_EQ(ReadBytes(running + "zlp.dat"), oldZlp) << what;
        EXPECT_EQ(Config().Snapshot().zlpSize, "") << what;
        EXPECT_FALSE(FileExists(running + "zlp.zip")) << what;
    }
    std::string oldZlp;
};

TEST_F(ZlpPackageTest, NothingToFetch)
{
    // No list line, size 0, the stored size, a list fetch still running.
    UpdateShared().SetServerList(NormaliseServerList("kalvo263a.zip,100\n"), "");
    news::UpdateZlpPackage();
    Serve(ZipOf({{"zlp.dat", ZlpBytes(2222)}}), "0");
    news::UpdateZlpPackage();
    Serve(ZipOf({{"zlp.dat", ZlpBytes(2222)}}), "512");
    Config().Update([](ConfigValues& v) { v.zlpSize = "512"; });
    news::UpdateZlpPackage();
    Config().Update([](ConfigValues& v) { v.zlpSize.clear(); });
    UpdateShared().serverListReady = false;
    UpdateShared().serverListFetchStarted = true;
    news::UpdateZlpPackage();
    EXPECT_TRUE(Targets().empty());
    ExpectUnchanged("nothing to fetch");
}

TEST_F(ZlpPackageTest, AGoodPackageInstallsZlpDat)
{
    const std::string fresh = ZlpBytes(2222);
    const std::string zip = ZipOf({{"ZLP.DAT", fresh}});
    Serve(zip, std::to_string(zip.size()));
    news::UpdateZlpPackage();
    EXPECT_EQ(ReadBytes(running + "zlp.dat"), fresh);
    EXPECT_FALSE(FileExists(running + "ZLP.DAT"));
    EXPECT_FALSE(FileExists(running + "zlp.zip"));
    EXPECT_EQ(Config().Snapshot().zlpSize, std::to_string(zip.size()));
    EXPECT_EQ(Config().Snapshot().zlpDate, DateTextYmd(8));
    EXPECT_NE(RunLogLines().find("zlp OK\r\n"), std::string::npos);
}

TEST_F(ZlpPackageTest, ABadPackageKeepsTheOldFile)
{
    const std::string good = ZipOf({{"zlp.dat", ZlpBytes(2222)}});
    std::string flipped = good;
    flipped[40] = static_cast<char>(flipped[40] ^ 0x55); // inside the entry's data: the CRC fails
    const std::string other = ZipOf({{"readme.txt", "x"}});
    struct Case {
        const char* what;
        std::string body;
        std::string listed;
        int status = 200;
    };
    const std::vector<Case> cases = {
        {"one byte short", good.substr(0, good.size() - 1), std::to_string(good.size())},
        {"a flipped byte", flipped, std::to_string(flipped.size())},
        {"no zlp.dat entry", other, std::to_string(other.size())},
        {"404", "<html>404</html>", "77", 404},
    };
    for (const Case& c : cases) {
        server.SetBody("/files/zlp.zip", c.body, c.status);
        UpdateShared().SetServerList(NormaliseServerList("zlp.zip," + c.listed + "\n"), "");
        ClearRunLog();
        news::UpdateZlpPackage();
        ExpectUnchanged(c.what);
        EXPECT_FALSE(RunLogLines().empty()) << c.what;
    }
}

TEST_F(ZlpPackageTest, OnlyZlpDatIsWritten)
{
    const std::string klBefore = ReadBytes(running + "kl.dat");
    const std::string fresh = ZlpBytes(3333);
    const std::string zip = ZipOf({{"kl.dat", "planted"}, {"../x", "planted"}, {"zlp.dat", fresh}});
    Serve(zip, std::to_string(zip.size()));
    news::UpdateZlpPackage();
    EXPECT_EQ(ReadBytes(running + "zlp.dat"), fresh);
    EXPECT_EQ(ReadBytes(running + "kl.dat"), klBefore);
    EXPECT_FALSE(FileExists(running + "x"));
    EXPECT_FALSE(FileExists(root + "base/x"));
}

} // namespace
