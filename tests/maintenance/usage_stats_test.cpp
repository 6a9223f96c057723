// Usage statistics: keys, counting rules, the two stores, the due tests and
// the uploads against a loopback server.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QUrl>

#include <cstdlib>
#include <thread>

#include "datastore/tagged_record.h"
#include "maintenance/usage_stats.h"
#include "platform/coding.h"
#include "platform/system.h"
#include "update_test_support.h"

using namespace updatetest;

namespace {

const uint16_t kOT = StatCodeOfText("oT ");

uint16_t CountOf(uint16_t key)
{
    for (const auto& [k, c] : RunCounters())
        if (k == key)
            return c;
    return 0;
}

uint16_t Today()
{
    return DosDateOf(LocalTimeOf(NowSeconds()));
}

std::string Pairs(std::initializer_list<std::pair<uint16_t, uint16_t>> pairs)
{
    std::string out;
    for (const auto& [k, c] : pairs) {
        char b[4];
        EncodeLE16(b, k);
        EncodeLE16(b + 2, c);
        out.append(b, 4);
    }
    return out;
}

std::string Words(std::initializer_list<uint32_t> words)
{
    std::string out;
    for (uint32_t w : words) {
        char b[4];
        EncodeLE32(b, w);
        out.append(b, 4);
    }
    return out;
}

constexpr uint16_t kJan2020 = (2020 - 1980) << 9 | 1 << 5 | 2; // 2 January 2020

} // namespace

TEST(StatKeys, CodesAndTexts)
{
    EXPECT_EQ(StatCodeOfText("oT"), StatCodeOfText("oT "));
    EXPECT_EQ(StatCodeOfText("ab"), StatCodeOfText("aB"));
    EXPECT_NE(StatCodeOfText("Ab"), StatCodeOfText("ab"));
    EXPECT_EQ(StatKeyText(kOT), "oT_");
    EXPECT_EQ(StatKeyText(StatCodeOfText("ab")), "aB_");
    EXPECT_EQ(StatKeyText(StatCodeOfText("DNA")), "DNA");
    EXPECT_EQ(StatKeyText(StatCodeOfText("~~~")), "~^^");
    EXPECT_EQ(StatKeyText(0xFFFF), "\x7F__" + std::string()) << "the top six bits give DEL";
}

TEST(StatCounting, LimitsLogarithmsDurationsAndProducts)
{
    ClearRunStatistics();
    const uint16_t k = StatCodeOfText("xY");
    updates::StatAdd(k, 65530);
    updates::StatAdd(k, 10);
    EXPECT_EQ(CountOf(k), 65530) << "a sum past 65535 leaves the count";
    updates::StatAdd(k, 5);
    updates::StatCount(k);
    EXPECT_EQ(CountOf(k), 65535);
    updates::StatCount(k);
    EXPECT_EQ(CountOf(k), 65535);

    struct Log4 {
        int64_t value, added;
    };
    for (const Log4& c : {Log4{0, 0}, Log4{-3, 0}, Log4{1, 1}, Log4{4, 2}, Log4{4095, 9}, Log4{4096, 11}}) {
        ClearRunStatistics();
        updates::StatAddLog4(k, c.value);
        EXPECT_EQ(CountOf(k), c.added) << c.value;
    }
    ClearRunStatistics();
    updates::StatCountLog2(k, 5);
    updates::StatCountLog2(k, 0);
    EXPECT_EQ(CountOf(static_cast<uint16_t>(k + 3)), 1);
    EXPECT_EQ(RunCounters().size(), 1u);

    struct Duration {
        double seconds;
        int bucket; // 0: nothing counted
    };
    const Duration durations[] = {{0.25, 0}, {0.35, 1}, {7.9, 1}, {10, 2},      {29.9, 3},    {59.9, 4},
                                  {60, 5},   {180, 6},  {299, 6}, {14 * 60, 7}, {15 * 60, 8}, {-5, 0}};
    for (const Duration& d : durations) {
        ClearRunStatistics();
        updates::StatCountDuration(k, d.seconds * 0.0000116);
        if (d.bucket == 0)
            EXPECT_TRUE(RunCounters().empty()) << d.seconds;
        else
            EXPECT_EQ(CountOf(static_cast<uint16_t>(k + d.bucket)), 1) << d.seconds;
    }

    ClearRunStatistics();
    for (const char* none : {"123456", "12345678", "12a4567", "0000000", " 123456", ""})
        updates::StatCountProduct(none);
    EXPECT_TRUE(RunProducts().empty());
    updates::StatCountProduct("0012345");
    for (int i = 0; i < 300; ++i)
        updates::StatCountProduct("9999999");
    EXPECT_EQ(RunProducts(), (std::vector<uint32_t>{12345u | 1u << 24, 9999999u | 255u << 24}));
}

TEST(StatCounting, ProductValueText)
{
    auto text = [](uint32_t count) { return ProductValueText({1234567u | count << 24}); };
    EXPECT_EQ(text(200), "_QSeH");
    EXPECT_EQ(text(1), "Aq20H");
    EXPECT_EQ(text(106), "-qJEH");
    EXPECT_EQ(text(105), text(160)) << "106 to 160 uses are sent as 105";
    EXPECT_EQ(text(161), text(255));
    EXPECT_EQ(text(0), "");
    EXPECT_EQ(ProductValueText({1234567u | 1u << 24, 1u | 2u << 24}), "Aq20HBMS0B");
}

TEST(StatCounting, QueryQuotingAndEncoding)
{
    EXPECT_EQ(StatQueryOf({"_ICO=0", "_USR=a b", "o`_=3", "x=\"y\"", "DNA=12"}),
              "_ICO=0&%22_USR=a%20b%22&o%60_=3&%22x=%22%22y%22%22%22&DNA=12");
    EXPECT_EQ(StatQueryOf({"a=b=c", "~{|}=1"}), "a=b%3Dc&%7E%7B%7C%7D=1");
}

class StatStoreTest : public UpdateFixture {
protected:
    void SetUp() override
    {
        UpdateFixture::SetUp();
        stats = root + "appdata/";
        SetStatisticsFolderOverride(stats);
        SetStatisticsFileSystem(&QuickFileSystem());
        ClearRunStatistics();
    }
    void TearDown() override
    {
        SetStatisticsFolderOverride("");
        SetStatisticsFileSystem(nullptr);
        ClearRunStatistics();
        UpdateFixture::TearDown();
    }

    std::string Counters() const { return ReadBytes(stats + kCounterStoreName); }
    std::string Products() const { return ReadBytes(stats + kProductStoreName); }

    std::string stats;
    const std::string program = "/opt/base/KALVO_26.1c/"; // version 26103
};

TEST_F(StatStoreTest, SavingMergesIntoHandLaidStores)
{
    // A first save makes the store: the meta pairs, then the counters above
    // 1023 (a window code below stays out).
    updates::StatCount(kOT);
    updates::StatCount(kOT);
    updates::StatCount(5);
    updates::StatSaveCounters(program);
    EXPECT_TRUE(FolderExists(stats));
    EXPECT_EQ(Counters(), Pairs({{0, 26103}, {1, Today()}, {kOT, 2}}));
    updates::StatSaveCounters(program);
    EXPECT_EQ(Counters(), Pairs({{0, 26103}, {1, Today()}, {kOT, 2}}))
        << "a second save counts nothing twice";

    // An existing store keeps its meta pairs and order; sums past 65535
    // leave the stored count.
    WriteBytes(stats + kCounterStoreName, Pairs({{0, 25100}, {1, kJan2020}, {2000, 65530}, {kOT, 7}}));
    updates::StatAdd(2000, 10);
    updates::StatCount(kOT);
    updates::StatCount(3000);
    updates::StatSaveCounters(program);
    EXPECT_EQ(Counters(), Pairs({{0, 25100}, {1, kJan2020}, {2000, 65530}, {kOT, 8}, {3000, 1}}));

    // A damaged store, or one that does not start with the meta pairs, is
    // reset.  (The 10 the full count could not take wait in the run table.)
    ClearRunStatistics();
    for (const std::string& bad : {std::string("\x01\x02\x03\x04\x05\x06", 6), Pairs({{kOT, 1}, {1, 5}})}) {
        WriteBytes(stats + kCounterStoreName, bad);
        updates::StatCount(kOT);
        updates::StatSaveCounters(program);
        EXPECT_EQ(Counters(), Pairs({{0, 26103}, {1, Today()}, {kOT, 1}}));
    }

    // Products: the version, the date and time, then code | count << 24.
    for (int i = 0; i < 3; ++i)
        updates::StatCountProduct("1234567");
    updates::StatSaveProducts(program);
    const std::string p = Products();
    ASSERT_EQ(p.size(), 12u);
    EXPECT_EQ(DecodeLE32(p.data()), 26103u);
    EXPECT_EQ(DecodeLE32(p.data() + 4) >> 16, Today());
    EXPECT_EQ(DecodeLE32(p.data() + 8), 1234567u | 3u << 24);
    WriteBytes(stats + kProductStoreName,
               Words({25100, uint32_t{kJan2020} << 16, 1234567u | 254u << 24, 7u | 1u << 24}));
    updates::StatCountProduct("1234567");
    updates::StatCountProduct("1234567");
    updates::StatCountProduct("0000008");
    updates::StatSaveProducts(program);
    EXPECT_EQ(Products(),
              Words({25100, uint32_t{kJan2020} << 16, 1234567u | 255u << 24, 7u | 1u << 24, 8u | 1u << 24}));
    EXPECT_TRUE(RunProducts().empty());

    // Without an application-data folder nothing is written anywhere.
    SetStatisticsFolderOverride("");
    const std::string saved = AppDataFolder();
    EXPECT_TRUE(saved.empty() || StatisticsFolder() == WithTrailingSlash(saved));
}

TEST_F(StatStoreTest, DueTestsOnFixedDates)
{
    auto counters = [](uint16_t version, uint16_t date, int pairs) {
        std::string s = Pairs({{0, version}, {1, date}});
        for (int i = 2; i < pairs; ++i)
            s += Pairs({{static_cast<uint16_t>(2000 + i), 1}});
        return s;
    };
    struct Case {
        std::string store;
        std::string path;
        bool due;
    };
    const Case cases[] = {
        {counters(26000, kJan2020, 10), program, true},
        {counters(26000, kJan2020, 9), program, false},
        {counters(26103, kJan2020, 10), program, false}, // sent for this version
        {counters(26000, Today(), 10), program, false},  // sent today
        {counters(26000, kJan2020, 10), "/opt/base/KALVO_19.1/", false},
        {counters(10000, kJan2020, 10), "/opt/base/Program/", false},
        {"", program, false},
    };
    for (const Case& c : cases) {
        QFile::remove(QString::fromStdString(stats + kCounterStoreName));
        if (!c.store.empty())
            WriteBytes(stats + kCounterStoreName, c.store);
        EXPECT_EQ(updates::StatShouldSend(c.path), c.due) << c.store.size() / 4 << " pairs " << c.path;
    }
    WriteBytes(stats + kProductStoreName, Words({26000, uint32_t{kJan2020} << 16, 1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(updates::StatShouldSendProducts(program));
    WriteBytes(stats + kProductStoreName, Words({26000, uint32_t{kJan2020} << 16, 1, 2, 3, 4, 5}));
    EXPECT_FALSE(updates::StatShouldSendProducts(program));
    WriteBytes(stats + kProductStoreName, Words({26103, uint32_t{kJan2020} << 16, 1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(updates::StatShouldSendProducts(program));
    WriteBytes(stats + kProductStoreName, Words({26000, uint32_t{Today()} << 16, 1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(updates::StatShouldSendProducts(program));
}

TEST_F(StatStoreTest, RequestItems)
{
    WriteBytes(stats + kCounterStoreName,
               Pairs({{0, 26000}, {1, kJan2020}, {StatCodeOfText("DNA"), 4}, {kOT, 2}}));
    updates::StatCount(kOT);
    updates::StatCount(StatCodeOfText("aCC"));
    std::string record;
    PutTaggedField(record, 8, std::string("\x39\x30\x00\x00", 4)); // customer 12345
    PutTaggedField(record, 0, std::string("\x07\x00\x00\x00", 4)); // user number 7
    UpdateShared().SetInstallationRecord(record);
    std::vector<std::string> items;
    StatRequestItems(items, program);
    EXPECT_EQ(items, (std::vector<std::string>{"_ICO=12345", "_USR=7", "_BEG=2020-01-02", "DNA=4", "aCC=1",
                                               "oT_=3"}));
    UpdateShared().SetInstallationList("PC6=1\r\nPC7=42 a\r\n");
    StatRequestItems(items, program);
    EXPECT_EQ(items[1], "_USR=42 a");
    UpdateShared().SetInstallationRecord("");
    UpdateShared().SetInstallationList("");
    StatRequestItems(items, program);
    EXPECT_EQ(items[0], "_ICO=100000001") << "no record: the reset head, as the loader reads it";
    EXPECT_EQ(items[1], "_USR=1");
}

TEST_F(StatStoreTest, UploadRepliesStampOrKeep)
{
    const std::string store = Pairs({{0, 26000},
                                     {1, kJan2020},
                                     {2001, 1},
                                     {2002, 1},
                                     {2003, 1},
                                     {2004, 1},
                                     {2005, 1},
                                     {2006, 1},
                                     {2007, 1},
                                     {kOT, 5}});
    struct Case {
        std::string reply;
        int status;
        bool success;
    };
    const Case cases[] = {{"OK", 200, true},    {"0", 200, true},   {"200", 200, true}, {"", 200, true},
                          {"200 ", 200, false}, {"ok", 200, false}, {"OK", 404, false}, {"", -1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE("reply \"" + c.reply + "\" status " + std::to_string(c.status));
        WriteBytes(stats + kCounterStoreName, store);
        ClearRunStatistics();
        updates::StatCount(kOT);
        if (c.status == 200)
            server.SetBody("/stats/", c.reply);
        else if (c.status == 404)
            server.SetError("/stats/", 404);
        else
            ReplaceEndpoints(Endpoints{server.Address(), server.Address(), server.Address(), "127.0.0.1",
                                       "127.0.0.1:" + std::to_string(testhttp::ClosedPort()),
                                       server.Address()});
        ASSERT_TRUE(updates::StatShouldSend(program));
        updates::StatSend(program, "l");
        if (c.success) {
            EXPECT_EQ(Counters(), Pairs({{0, 26103}, {1, Today()}}));
            EXPECT_EQ(CountOf(kOT), 0);
            EXPECT_FALSE(updates::StatShouldSend(program));
        } else {
            EXPECT_EQ(Counters(), store);
            EXPECT_EQ(CountOf(kOT), 1);
        }
        ReplaceEndpoints(Endpoints{server.Address(), server.Address(), server.Address(), "127.0.0.1",
                                   server.Address(), server.Address()});
    }
    // The request: the production path, the items in order, decoded.
    const std::vector<std::string> t = Targets();
    ASSERT_FALSE(t.empty());
    const std::string target = t.front();
    ASSERT_EQ(target.rfind("/stats/?", 0), 0u) << target;
    std::vector<std::string> sent;
    for (const QString& item : QString::fromStdString(target.substr(8)).split('&'))
        sent.push_back(QUrl::fromPercentEncoding(item.toLatin1()).toStdString());
    std::vector<std::string> counts = {"oT_=6"};
    for (uint16_t k = 2001; k <= 2007; ++k)
        counts.push_back(StatKeyText(k) + "=1");
    std::sort(counts.begin(), counts.end());
    std::vector<std::string> expected = {"_ICO=100000001", "_USR=1", "_BEG=2020-01-02"};
    expected.insert(expected.end(), counts.begin(), counts.end());
    EXPECT_EQ(sent, expected);
}

TEST_F(StatStoreTest, ProductUploadSendsStoreAndRunAndKeepsLaterCounts)
{
    WriteBytes(stats + kProductStoreName,
               Words({26000, uint32_t{kJan2020} << 16, 1234567u | 199u << 24, 2, 3, 4, 5, 6u | 1u << 24}));
    updates::StatCountProduct("1234567");
    server.SetSlow("/stats/win/", "OK", 400);
    ASSERT_TRUE(updates::StatShouldSendProducts(program));
    std::thread upload([this] { updates::StatSendProducts(program, "t"); });
    // Counted while the upload waits for its reply: kept for the next one.
    for (int i = 0; i < 500 && Targets().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    updates::StatCountProduct("1234567");
    updates::StatCountProduct("7654321");
    upload.join();
    const std::vector<std::string> t = Targets();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0], "/stats/win/?_ICO=100000001&_USR=1&_BEG=2020-01-02&VAL=" +
                        ProductValueText({1234567u | 200u << 24, 6u | 1u << 24}));
    EXPECT_EQ(Products().substr(8), "") << "what was sent left the store";
    EXPECT_EQ(DecodeLE32(Products().data()), 26103u);
    EXPECT_EQ(RunProducts(), (std::vector<uint32_t>{1234567u | 1u << 24, 7654321u | 1u << 24}));
    EXPECT_FALSE(updates::StatShouldSendProducts(program));
}

TEST_F(StatStoreTest, CountsMadeDuringASlowUploadStay)
{
    std::string store = Pairs({{0, 26000}, {1, kJan2020}});
    for (uint16_t k = 2001; k <= 2009; ++k)
        store += Pairs({{k, 2}});
    WriteBytes(stats + kCounterStoreName, store);
    updates::StatCount(kOT);
    server.SetSlow("/stats/", "OK", 400);
    std::thread upload([this] { updates::StatSend(program, "t"); });
    // Once the request is out, everything counted stays.
    for (int i = 0; i < 500 && Targets().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    for (int i = 0; i < 40; ++i) {
        updates::StatCount(kOT);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    upload.join();
    EXPECT_EQ(CountOf(kOT), 40) << "the one sent left, the forty counted meanwhile stay";
    updates::StatSaveCounters(program);
    EXPECT_EQ(Counters(), Pairs({{0, 26103}, {1, Today()}, {kOT, 40}}));
}

// Run as a child by TwoProgramsSavingAddUp: counts and saves many times.
TEST(StatChildProcess, SavesManyTimes)
{
    const char* folder = std::getenv("QEVW_STAT_CHILD_FOLDER");
    if (!folder)
        GTEST_SKIP() << "run by StatStoreTest.TwoProgramsSavingAddUp";
    SetStatisticsFolderOverride(folder);
    SetStatisticsFileSystem(&QuickFileSystem());
    for (int i = 0; i < 1000; ++i) {
        updates::StatCount(kOT);
        updates::StatSaveCounters("/opt/base/KALVO_26.1c/");
    }
    EXPECT_EQ(CountOf(kOT), 0);
}

TEST_F(StatStoreTest, TwoProgramsSavingAddUp)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QEVW_STAT_CHILD_FOLDER", QString::fromStdString(stats));
    QProcess a, b;
    for (QProcess* p : {&a, &b}) {
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QString::fromStdString(ExecutablePath()),
                 {"--gtest_filter=StatChildProcess.SavesManyTimes"});
    }
    for (QProcess* p : {&a, &b}) {
        ASSERT_TRUE(p->waitForFinished(300000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardOutput().toStdString();
    }
    EXPECT_EQ(Counters(), Pairs({{0, 26103}, {1, Today()}, {kOT, 2000}}));
}
